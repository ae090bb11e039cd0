#pragma once
// The skinning sequence every skinned window of both programs goes through: the window's
// images from Skins.xml, its size, its buttons and texts from Strings.xml, its outline from
// the mask, painting the background, and moving the window by its background. A window
// keeps one SkinWindow, calls Skin() while it is being created and PaintBackground() first
// in its paint handler; everything else is the window's own.
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "skin/skin_resources.h"

class QPainter;
class QWidget;

namespace orv {

class CBitmapBtn;
class Clock;

// The keys of one section of a data file, read with the XML cursor. A section that occurs
// again overrides the earlier one key by key; within one occurrence the first key of a name
// counts. Empty when the file cannot be read or parsed.
std::map<QString, QString> ReadSkinSection(const std::string& path, const QString& section);
// The character data of a section element itself (the single images of the pop-up menus);
// the last occurrence counts.
QString ReadSkinSectionText(const std::string& path, const QString& section);

// Starts decoding the normal picture and the mask of a window's section before the window is
// made, on threads of their own: a program calls it first thing, even before its QApplication,
// to have them decoded while it connects to the display (PNG files only, read with libpng; Qt's
// readers are not for use before the QApplication). The window's skinning then takes them
// instead of decoding the files again. Pictures never taken are let go when the program ends.
void PrefetchSkinPictures(const std::string& installFolder, const QString& section);

struct SkinWindowSetup {
  QString section;                // ABOUT, WARNING_ONE, MAIN ...
  bool hasDisable = false;        // the section has a <SECTION>_DISABLE image
  bool requireImages = false;     // normal, down, over and mask must load, else xException
  QStringList buttonKeys;         // Strings.xml keys that are buttons
  bool dragByBackground = false;  // a press on the background moves the window
  bool requireOutline = false;    // the mask must give an outline, else xException (main window)
  // The down, over and disabled pictures are decoded after the window has drawn itself, on
  // threads of their own at a lower priority: until they come (a few tens of milliseconds), the
  // buttons show their normal picture. A window with many buttons shows itself sooner. What requireImages asks is then checked on
  // the files' headers; a picture whose data turns out unreadable leaves the normal one, with a
  // warning line.
  bool deferButtonStates = false;
};

class SkinWindow : public QObject {
 public:
  SkinWindow() = default;
  ~SkinWindow() override;

  // Loads the images (throwing xException when required ones are missing), sizes `window` to
  // the normal image, reads the Strings.xml section and creates the buttons as visible children
  // of `window`, and builds the outline. The outline is not applied: ApplyOutline does that.
  void Skin(QWidget* window, const std::string& installFolder, const SkinWindowSetup& setup, Clock* clock = nullptr);
  // Gives `window` its outline; false when there is none (the window stays rectangular).
  bool ApplyOutline(QWidget* window);
  // The window's normal image over `painter`'s whole area.
  void PaintBackground(QPainter& painter) const;

  const std::string& installFolder() const { return installFolder_; }
  SkinImages images;
  std::optional<QRegion> outline;

  // Strings.xml values of the section, by key.
  const std::map<QString, QString>& strings() const { return strings_; }
  bool Has(const QString& key) const { return strings_.count(key) != 0; }
  QString Plain(const QString& key) const;
  SkinTextEntry Text(const QString& key) const { return ParseTextEntry(Plain(key)); }
  SkinControlEntry Control(const QString& key) const { return ParseControlEntry(Plain(key)); }
  // The button made for a key, or null when the key was missing.
  CBitmapBtn* Button(const QString& key) const;
  const std::vector<std::pair<QString, CBitmapBtn*>>& buttons() const { return buttons_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoadStateImages(const std::map<QString, QString>& keys, const SkinWindowSetup& setup,
                       const std::string& installFolder, Clock* clock, bool withButtonStates);
  void DeferButtonStates(const std::vector<std::map<QString, QString>>& occurrences, const SkinWindowSetup& setup,
                         const std::string& installFolder, Clock* clock);
  void StartDeferredDecoding();
  void TakeDeferredImages();

  // The button pictures still to come (deferButtonStates): the image each is for, its files
  // (latest occurrence first), and their decoding once started (nothing when no file decoded).
  struct Deferred {
    QImage* target;
    std::vector<std::string> paths;
    std::future<std::optional<QImage>> decoding;
    Clock* clock;
  };
  std::vector<Deferred> deferred_;
  bool deferredStarted_ = false;
  // Decoding starts this long (ms) after the window's first paint, or after its creation when
  // it is not drawn by then.
  static constexpr int kDeferredDecodingAfterPaintMs = 50;
  static constexpr int kDeferredDecodingStartMs = 150;
  bool dragByBackground_ = false;

  std::string installFolder_;
  std::map<QString, QString> strings_;
  std::vector<std::pair<QString, CBitmapBtn*>> buttons_;
  QWidget* window_ = nullptr;
  bool dragging_ = false;
  QPoint dragOffset_;
};

}  // namespace orv
