#pragma once
// Turns the window descriptions into the product's skin files: the state images and masks
// of every window, the pop-up menu images, the small fixed images, and Skins.xml,
// Strings.xml and Menu.xml. All files are made in memory first, so they can be written to
// a folder or compared with the ones kept in the source tree.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

#include "art_model.h"

namespace orv::art {

// Files by their path relative to the program folder ("Skins.xml", "skins/main_normal.png").
using FileSet = std::map<QString, QByteArray>;

struct MenuSection {
  QString section;
  std::vector<Plain> items;
};

// The texts of a Menu.xml section must fit a width, at a font, where the program shows them.
struct MenuFit {
  QString section;
  int width = 0;
  int px = 12;
  bool bold = false;
  QString where;  // for the message
};

// A pop-up menu background named by a Skins.xml section of its own.
struct Popup {
  QString section;
  QString file;
  QSize size;
  int rows = 0;  // rows of its list (20 pixels each)
};

// A picture kept at a fixed path (not named by Skins.xml).
struct FixedImage {
  QString path;    // relative to the program folder
  QString format;  // "PNG", "JPEG", "BMP"
  std::function<QImage()> draw;
};

struct Product {
  std::vector<Window> windows;
  std::vector<Popup> popups;
  std::vector<MenuSection> menus;
  std::vector<MenuFit> menuFits;
  std::vector<FixedImage> fixedImages;
};

// The product's own skin.
Product ProductSkin();

// Checks that every text fits its rectangle, every rectangle lies inside its window, no two
// controls of a layout overlap, and no entry field holds a comma (the entry parsers split on
// commas). Returns one line per fault; empty when all is well.
QStringList CheckWindow(const Window& w);
QStringList CheckMenus(const Product& product);

// The images of one window: for each image set and state, and the mask. Keys are the
// Skins.xml keys, values the images.
std::vector<std::pair<QString, QImage>> RenderWindow(const Window& w);

// Everything: checks first, then renders and encodes. False with errors when a check fails
// or a written file does not read back as it should.
bool Generate(const Product& product, FileSet* files, QStringList* errors);

// Encoders that give the same bytes for the same image.
QByteArray EncodeImage(const QImage& image, const QString& format);

// A window as the program will show it: its normal image with the texts, captions and
// sample messages drawn on top the way the windows draw them. For previews only.
QImage RenderMockup(const Window& w, int layout, bool over = false);

// Writes a contact sheet of all windows in all states and their masks.
QImage ContactSheet(const Product& product);

// Writes files into a folder (creating sub-folders). False with an error on failure.
bool WriteFiles(const FileSet& files, const QString& folder, QString* error);

}  // namespace orv::art
