// The early PNG reader gives what Qt's own reader gives, or nothing, never something else.
#include <gtest/gtest.h>

#include <QDir>
#include <QImageWriter>

#include "skin/png_reader.h"
#include "tests/test_support.h"

namespace orv::test {
namespace {

// Qt's reading of a file beside the early reader's: the same size, the same pixel values and,
// for a one-bit picture, the same format.
void ExpectSameAsQt(const std::string& path, const char* what) {
  const QImage qt(QString::fromStdString(path));
  ASSERT_FALSE(qt.isNull()) << what;
  const std::optional<QImage> early = DecodePngFile(path);
  ASSERT_TRUE(early.has_value()) << what;
  ASSERT_EQ(early->size(), qt.size()) << what;
  EXPECT_EQ(early->format() == QImage::Format_Mono, qt.format() == QImage::Format_Mono) << what;
  const QImage a = early->convertToFormat(QImage::Format_ARGB32), b = qt.convertToFormat(QImage::Format_ARGB32);
  EXPECT_TRUE(a == b) << what;
}

QImage Pattern(QImage::Format format) {
  QImage image(37, 23, QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      image.setPixel(x, y, qRgba(x * 7 % 256, y * 11 % 256, (x * y) % 256, (x + y) % 3 ? 255 : (x * 13) % 256));
  return image.convertToFormat(format);
}

TEST(DecodePngFile, GivesWhatQtsReaderGivesForEveryKindOfPicture) {
  TempDir dir;
  QImage mono = Pattern(QImage::Format_RGB32).convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
  QImage oneColour(16, 4, QImage::Format_Mono);
  oneColour.setColorTable({qRgb(255, 255, 255)});
  oneColour.fill(0);
  // Sixteen bits a channel with values that are not eight-bit ones stretched.
  QImage deep(29, 17, QImage::Format_RGBA64);
  for (int y = 0; y < deep.height(); ++y)
    for (int x = 0; x < deep.width(); ++x)
      deep.setPixelColor(x, y, QColor::fromRgba64(x * 2281 % 65536, y * 3833 % 65536, (x * y * 1237) % 65536, 65535));
  QImage palette = Pattern(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
  const std::pair<const char*, QImage> cases[] = {
      {"colour", Pattern(QImage::Format_RGB32)},
      {"colour with transparency", Pattern(QImage::Format_ARGB32)},
      {"grey", Pattern(QImage::Format_Grayscale8)},
      {"sixteen bits a channel", deep},
      {"palette", palette},
      {"two colours", mono},
      {"a palette of one colour", oneColour},
  };
  for (const auto& [what, image] : cases) {
    const std::string path = dir / (std::string(what) + ".png");
    ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG")) << what;
    ExpectSameAsQt(path, what);
  }
}

TEST(DecodePngFile, GivesWhatQtsReaderGivesForTheProductsPictures) {
  const QStringList files = QDir(ORV_DATA_DIR "/skins").entryList({"*.png"}, QDir::Files);
  ASSERT_GT(files.size(), 20);
  for (const QString& file : files) {
    const std::string path = std::string(ORV_DATA_DIR "/skins/") + file.toStdString();
    ExpectSameAsQt(path, path.c_str());
  }
}

TEST(DecodePngFile, NothingForWhatItCannotRead) {
  TempDir dir;
  const std::string whole = dir / "whole.png";
  ASSERT_TRUE(Pattern(QImage::Format_RGB32).save(QString::fromStdString(whole), "PNG"));
  const std::string data = ReadFile(whole);
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"cut off in its data", data.substr(0, data.size() / 2)},
      {"cut off in its header", data.substr(0, 20)},
      {"a damaged header", data.substr(0, 16) + std::string(8, '\xFF') + data.substr(24)},
      {"not a PNG", "BM" + std::string(100, '\0')},
  };
  for (const auto& [what, content] : cases) {
    const std::string path = dir / "damaged.png";
    WriteFile(path, content);
    EXPECT_FALSE(DecodePngFile(path).has_value()) << what;
  }
  EXPECT_FALSE(DecodePngFile(dir / "missing.png").has_value());
  EXPECT_FALSE(DecodePngFile(dir.path()).has_value()) << "a folder";
}

}  // namespace
}  // namespace orv::test
