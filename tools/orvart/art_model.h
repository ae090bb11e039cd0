#pragma once
// The description of one skinned window: its size and outline, its controls and its texts.
// Everything the art tool writes about a window (its state images, its mask, its Skins.xml
// section and its Strings.xml entries) comes from one of these, so the pictures and the
// rectangles the program reads cannot disagree.
#include <QImage>
#include <QPainterPath>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QPainter;

namespace orv::art {

// The four faces a control is cut from, plus the disabled face of windows that have one.
enum class State { Normal, Over, Down, Disable };

// What a control looks like. The program draws captions on some of them; the art draws the
// rest of the face.
enum class Kind {
  Plate,     // push button, caption baked into the art or drawn by the program
  Icon,      // small square button with a glyph (close, minimise, help)
  TabUp,     // tall edge tab whose caption the program draws rotated upwards
  TabDown,   // tall edge tab whose caption the program draws rotated downwards
  TabFlat,   // wide edge tab whose caption the program draws centred and bold
  Slot,      // assignment label: a sunken slot the program writes the function into
  Card,      // profile button: also shows a character card
  Switch,    // latching on/off switch
  Check,     // toggle drawn as a check box
  Radio,     // toggle drawn as a lamp, one of a group
  Dropdown,  // opens a value menu; the program writes the value on it
  Swatch,    // colour button: the program fills all but its right 21 pixels
  SliderH,   // horizontal slider: normal face empty, pressed face filled
  SliderV,   // vertical slider
  Field,     // a rectangle a native control covers (edit, list, event display): framed well
  TextBox,   // a rectangle the program writes a message into; nothing drawn
  Region,    // a rectangle another control paints whole (the folder bar); framed well
};

enum class Glyph { None, Close, Minimise, Help };

// How the program draws a caption on the face, so that its width can be checked.
enum class CaptionLayout { None, Plain, Light, CentreBold, RotatedUp, RotatedDown };

// Which layout of a window a control belongs to (the macro editor has two).
enum Layouts { kBothLayouts = 3, kFirstLayout = 1, kSecondLayout = 2 };

struct Control {
  QString key;          // Strings.xml key
  QRect rect;           // window client coordinates
  Kind kind = Kind::Plate;
  QString label;        // first field of the entry; the key when empty
  QString tooltip;      // tooltip, or the text of a TextBox
  bool latched = false;
  QString caption;      // caption baked into the art (the program draws none)
  Glyph glyph = Glyph::None;
  CaptionLayout drawn = CaptionLayout::None;  // caption the program draws
  QStringList drawnTexts;  // texts the program may draw on it (checked to fit)
  int layouts = kBothLayouts;
  bool wrapTooltip = false;  // the tooltip is a message drawn word-wrapped in the rectangle
  bool writeEntry = true;    // false for art-only controls
};

struct Text {
  QString key;
  QPoint pos;          // top-left, or top-centre when centred
  QString text;
  bool centred = false;
  int px = 12;
  bool bold = true;
  int maxWidth = 0;    // room for the text (0: up to the window's inner edge)
  QString suffix;      // sample of what the program appends (a version number)
  int layouts = kBothLayouts;
};

struct Plain {
  QString key;
  QString text;
};

// A message the program writes word-wrapped into a rectangle of the window.
struct Message {
  QString text;
  QRect rect;
  int px = 12;
};

// One set of whole-window images of a window (the macro editor has a second set for its
// paste layout).
struct ImageSet {
  QString skinPrefix;  // MACRO, MACRO_PASTE ...
  int layout = kFirstLayout;
};

// A further image named in a window's Skins.xml section (a printout page, a placeholder).
struct Extra {
  QString key;
  QString file;  // under skins/
  std::function<QImage()> draw;
};

struct Window {
  QString section;         // Skins.xml section and, unless stringsSection says otherwise,
  QString stringsSection;  // Strings.xml section
  QString file;            // base of the image file names
  QSize size;
  int chamfer = 16;        // cut of the outline's corners
  int rim = 8;             // width of the metal frame
  bool hasDisable = false;
  bool dialogHeader = true;
  bool normalOnly = false;  // the window has no buttons: only its normal picture and mask
  // The notice of a missing PDF reader lays a link over its message: the link, placed from
  // the average width of its font, must stay inside the message rectangle (this key).
  QString linkMessageKey;
  std::vector<ImageSet> imageSets;  // empty: one set named after the section
  std::vector<Control> controls;
  std::vector<Text> texts;
  std::vector<Plain> plains;
  std::vector<Message> messages;
  std::vector<struct Extra> extras;  // further Skins.xml keys, each with an image of its own
  // Outline other than the chamfered rectangle; may stay empty.
  std::function<QPainterPath()> outline;
  // Window-specific art painted over the frame and under the controls.
  std::function<void(QPainter&, int layout)> decorate;
};

}  // namespace orv::art
