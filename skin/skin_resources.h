#pragma once
// The skin helpers every window of both programs is dressed with: the whole-window images of
// a window, the image loader, the outline built from a mask, the cropping of a control's
// images out of the window's images, the two parsers for positioned entries of Strings.xml,
// the common text style and the one exception a window throws when it cannot be skinned.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>
#include <optional>
#include <string>

namespace orv {

class Clock;

// The one exception of the programs: a window whose skin cannot be set up.
class xException {
 public:
  explicit xException(QString message) : message_(std::move(message)) {}
  const QString& message() const { return message_; }

 private:
  QString message_;
};

inline constexpr char kNoPictureMessage[] = "Can't open the picture for software";
inline constexpr char kNoMaskMessage[] = "Mask is not initialize";
inline constexpr char kMaskFailureMessage[] = "Set software's mask failure";

// The five whole-window images of one skinned window. An image that was not loaded is null.
struct SkinImages {
  QImage normal;
  QImage disable;
  QImage down;
  QImage over;
  QImage mask;
};

// A control entry of Strings.xml: "label,x,y,width,height,tooltip,flag".
struct SkinControlEntry {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  QString tooltip;
  bool latched = false;

  QRect rect() const;  // empty when the entry has no area
};

// A positioned text of Strings.xml: "x,y,text".
struct SkinTextEntry {
  int32_t x = 0;
  int32_t y = 0;
  QString text;
};

SkinControlEntry ParseControlEntry(const QString& value);
SkinTextEntry ParseTextEntry(const QString& value);

// The clock the image loader waits on: the process clock unless one was installed (tests
// install a virtual one).
Clock& SkinClock();
void SetSkinClock(Clock* clock);

// Loads a JPEG, BMP, GIF or PNG file into `target`: at most two attempts to open and to read,
// each failed one followed by a 1000 ms wait on `clock` (the skin clock when null). On failure `target` is left as it
// was and false comes back. `size` receives the picture's size when given.
bool LoadSkinImage(const std::string& path, QImage& target, QSize* size = nullptr, Clock* clock = nullptr);
// One attempt, no wait: the picture in a regular file of at most kMaxSkinImageFileSize bytes
// (a portrait, a printed page's parts). Null when it cannot be read or decoded.
QImage ReadPictureFile(const std::string& path);
// Whether the file is a regular file of a picture's size whose header a picture reader takes;
// nothing is decoded.
bool PictureHeaderReads(const std::string& path);

// The region of every pixel whose three components are not all within `tolerance` above the
// transparent colour's; std::nullopt when no pixel is inside (or the mask is null).
std::optional<QRegion> RegionFromMask(const QImage& mask, QColor transparent = QColor(255, 255, 255),
                                      int tolerance = 0);
// The same with white transparent; mode 1 keeps columns x >= value, mode 2 rows y > value.
std::optional<QRegion> RegionFromMaskClipped(const QImage& mask, int mode, int value);

// Replaces `target` with the pixels of `source` at `rect` (the part outside the source stays
// transparent black). Does nothing when the source is null.
void CropSkinImage(QImage& target, const QImage& source, const QRect& rect);

// --- the common text style -------------------------------------------------------------------
inline const QColor kGold(255, 204, 0);
inline const QColor kAmber(210, 164, 18);
inline const QColor kWhite(255, 255, 255);

// "MS Shell Dlg" at a pixel height and weight (400 plain, 700 bold, 300 light); the face is
// substituted by DejaVu Sans on this platform.
QFont SkinFont(int height, int weight = 400, bool underline = false);

// The folder of a data file: the installation folder followed by the name.
std::string SkinDataPath(const std::string& installFolder, const char* name);
// An image named in Skins.xml: the installation folder, "skins/", the file name.
std::string SkinImagePath(const std::string& installFolder, const QString& fileName);

}  // namespace orv
