// Fuzz target for the skin files: a value of a positioned entry of Strings.xml (part 1) read
// as a control and as a text, a Strings.xml or Skins.xml file (part 2) read by section with
// each value parsed, and an image file of any bytes (part 3) loaded as a skin image and made
// into an outline, and read by the early PNG reader. Entries give areas that are never negative
// and coordinates within the clamps; an image that loads gives outlines inside the image, the
// same as a plain pixel by pixel scan of it; the early reader gives nothing or the same picture.
#include <QImageReader>
#include <QRegion>
#include <string>

#include "base/files.h"
#include "fuzz_input.h"
#include "platform/clock.h"
#include "skin/png_reader.h"
#include "skin/skin_resources.h"
#include "skin/skin_window.h"

namespace {

using namespace orv;

void CheckEntries(const QString& value) {
  const SkinControlEntry control = ParseControlEntry(value);
  const QRect rect = control.rect();
  ORV_FUZZ_CHECK(rect.width() >= 0 && rect.height() >= 0);
  for (int32_t v : {control.left, control.top, control.right, control.bottom}) ORV_FUZZ_CHECK(v >= -65534 && v <= 65534);
  const SkinTextEntry text = ParseTextEntry(value);
  ORV_FUZZ_CHECK(text.x >= -32767 && text.x <= 32767 && text.y >= -32767 && text.y <= 32767);
  ORV_FUZZ_CHECK(text.text.size() <= value.size());
}

// The outline the plain way: every pixel at or right of `x0` and at or below `y0` whose colour
// is not white.
QRegion PlainOutline(const QImage& image, int x0, int y0) {
  QRegion region;
  for (int y = std::max(0, y0); y < image.height(); ++y) {
    int x = std::max(0, x0);
    while (x < image.width()) {
      while (x < image.width() && (image.pixel(x, y) & 0xFFFFFFu) == 0xFFFFFFu) ++x;
      const int start = x;
      while (x < image.width() && (image.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu) ++x;
      if (x > start) region += QRect(start, y, x - start, 1);
    }
  }
  return region;
}

void CheckOutline(const std::optional<QRegion>& outline, const QImage& image, int x0, int y0) {
  if (outline) ORV_FUZZ_CHECK(image.rect().contains(outline->boundingRect()));
  // The plain scan only for small images, to keep the fuzzer quick.
  if (static_cast<int64_t>(image.width()) * image.height() > 64 * 64) return;
  const QRegion plain = PlainOutline(image, x0, y0);
  // The same pixels; the bands may be cut differently (the scan joins equal rows).
  ORV_FUZZ_CHECK(outline ? (*outline ^ plain).isEmpty() : plain.isEmpty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    const std::string f = fuzz::ScratchSubfolder("skin");
    // Images of a few megabytes at most, so that one input stays quick.
    QImageReader::setAllocationLimit(8);
    return f;
  }();
  const auto parts = fuzz::SplitParts(data, size, 3);
  CheckEntries(QString::fromUtf8(parts[0].data(), static_cast<qsizetype>(parts[0].size())));

  if (parts.size() > 1) {
    const std::string path = JoinPath(folder, "Strings.xml");
    ORV_FUZZ_CHECK(ReplaceFileContents(path, {parts[1]}));
    for (const char* section : {"ABOUT", "WARNING_TWO", "MAIN"}) {
      for (const auto& [key, value] : ReadSkinSection(path, QString::fromLatin1(section))) {
        ORV_FUZZ_CHECK(!key.isEmpty());
        CheckEntries(value);
      }
      CheckEntries(ReadSkinSectionText(path, QString::fromLatin1(section)));
    }
  }

  if (parts.size() > 2) {
    const std::string path = JoinPath(folder, "image");
    ORV_FUZZ_CHECK(ReplaceFileContents(path, {parts[2]}));
    VirtualClock clock;
    QImage image;
    QSize imageSize;
    if (LoadSkinImage(path, image, &imageSize, &clock)) {
      ORV_FUZZ_CHECK(!image.isNull() && image.size() == imageSize);
      CheckOutline(RegionFromMask(image), image, 0, 0);
      const int value = static_cast<int>(size % 97) - 8;
      CheckOutline(RegionFromMaskClipped(image, 1, value), image, value, 0);
      CheckOutline(RegionFromMaskClipped(image, 2, value), image, 0, value + 1);
      (void)RegionFromMask(image, QColor(0, 0, 0), static_cast<int>(size % 300));
    } else {
      ORV_FUZZ_CHECK(image.isNull());
    }
    // The early PNG reader gives nothing or what Qt's reader gives.
    if (const std::optional<QImage> early = DecodePngFile(path); early && !image.isNull()) {
      ORV_FUZZ_CHECK(early->size() == image.size());
      ORV_FUZZ_CHECK(early->convertToFormat(QImage::Format_ARGB32) == image.convertToFormat(QImage::Format_ARGB32));
    }
  }
  return 0;
}
