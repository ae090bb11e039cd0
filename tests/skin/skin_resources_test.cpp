// Outlines from masks, the entry parsers, the image loader and section lookup.
#include <gtest/gtest.h>

#include <QBitmap>
#include <QBuffer>
#include <QPainter>
#include <functional>

#include "profile/profile_files.h"
#include "skin/png_reader.h"
#include "skin/skin_resources.h"
#include "skin/skin_window.h"
#include "tests/skin/skin_test_support.h"

namespace orv::test {
namespace {

// A mask from rows of characters: '.' white (outside), anything else black.
QImage MaskOf(const std::vector<std::string>& rows) {
  QImage mask(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), QImage::Format_RGB32);
  for (int y = 0; y < mask.height(); ++y)
    for (int x = 0; x < mask.width(); ++x) mask.setPixel(x, y, rows[y][x] == '.' ? 0xFFFFFFFF : 0xFF000000);
  return mask;
}

// The region from the rectangles, each given as (left, top, right, bottom) with right and bottom outside.
QRegion RegionOf(const std::vector<std::array<int, 4>>& rects) {
  QRegion r;
  for (auto& [l, t, rr, b] : rects) r += QRect(l, t, rr - l, b - t);
  return r;
}

bool SameArea(const QRegion& a, const QRegion& b) { return a.xored(b).isEmpty(); }

struct RegionCase {
  const char* name;
  std::vector<std::string> rows;
  std::vector<std::array<int, 4>> expected;  // empty: no region at all
};

TEST(RegionFromMask, SmallMasks) {
  const RegionCase cases[] = {
      {"row white black black white black", {".##.#"}, {{1, 0, 3, 1}, {4, 0, 5, 1}}},
      {"the same row lower down", {".....", ".##.#"}, {{1, 1, 3, 2}, {4, 1, 5, 2}}},
      {"all white", {"...", "..."}, {}},
      {"no white", {"###", "###"}, {{0, 0, 3, 2}}},
      {"1 x 1 black", {"#"}, {{0, 0, 1, 1}}},
      {"1 x 1 white", {"."}, {}},
      {"runs touching both edges", {"#.#", ".#."}, {{0, 0, 1, 1}, {2, 0, 3, 1}, {1, 1, 2, 2}}},
  };
  for (const RegionCase& c : cases) {
    std::optional<QRegion> region = RegionFromMask(MaskOf(c.rows));
    if (c.expected.empty()) {
      EXPECT_FALSE(region.has_value()) << c.name;
    } else {
      ASSERT_TRUE(region.has_value()) << c.name;
      EXPECT_TRUE(SameArea(*region, RegionOf(c.expected))) << c.name;
    }
  }
}

TEST(RegionFromMask, OnlyPureWhiteIsOutsideAndToleranceWidensIt) {
  QImage mask = MaskOf({"####"});
  mask.setPixel(0, 0, qRgb(255, 255, 254));
  mask.setPixel(1, 0, qRgb(255, 255, 255));
  mask.setPixel(2, 0, qRgb(250, 251, 252));
  EXPECT_TRUE(SameArea(*RegionFromMask(mask), RegionOf({{0, 0, 1, 1}, {2, 0, 4, 1}})));
  // Tolerance counts upwards from the transparent colour's components.
  EXPECT_TRUE(SameArea(*RegionFromMask(mask, QColor(250, 250, 250), 5), RegionOf({{3, 0, 4, 1}})));
}

TEST(RegionFromMask, MoreThan2000RunsGiveTheUnionOfAllRuns) {
  // 3 rows of 1500 runs each: alternating pixels, shifted on the middle row.
  QImage mask(3000, 3, QImage::Format_RGB32);
  QRegion expected;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3000; ++x) {
      bool inside = (x + (y == 1 ? 1 : 0)) % 2 == 0;
      mask.setPixel(x, y, inside ? 0xFF000000 : 0xFFFFFFFF);
      if (inside) expected += QRect(x, y, 1, 1);
    }
  std::optional<QRegion> region = RegionFromMask(mask);
  ASSERT_TRUE(region);
  EXPECT_TRUE(SameArea(*region, expected));
}

TEST(RegionFromMask, AgreesWithQtsOwnOnALargeMask) {
  QImage mask(4000, 4000, QImage::Format_RGB32);
  mask.fill(Qt::white);
  {
    QPainter p(&mask);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QRect(100, 50, 3800, 3900));
    p.setBrush(Qt::white);
    for (int i = 0; i < 60; ++i) p.drawRect(QRect(300 + 55 * i, 200 + 37 * i, 20 + i, 3000 - 30 * i));
  }
  std::optional<QRegion> ours = RegionFromMask(mask);
  ASSERT_TRUE(ours);
  QRegion qt(QBitmap::fromImage(mask.convertToFormat(QImage::Format_Mono), Qt::ThresholdDither));
  EXPECT_TRUE(SameArea(*ours, qt));
  EXPECT_TRUE(QRect(100, 50, 3800, 3900).contains(ours->boundingRect()));
  EXPECT_GT(ours->boundingRect().height(), 3890);
}

TEST(RegionFromMask, OneBitAndIndexedMasksGiveTheSameRegions) {
  // Odd widths, runs that start and end inside a byte, whole bytes in and out.
  QImage mask(77, 9, QImage::Format_RGB32);
  mask.fill(Qt::white);
  {
    QPainter p(&mask);
    p.fillRect(QRect(3, 0, 30, 4), Qt::black);
    p.fillRect(QRect(16, 4, 61, 3), Qt::black);
    p.fillRect(QRect(0, 7, 1, 2), Qt::black);
    p.fillRect(QRect(41, 7, 7, 2), Qt::black);
    p.fillRect(QRect(70, 8, 7, 1), QColor(200, 0, 0));
  }
  const QImage forms[] = {
      mask.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither),
      mask.convertToFormat(QImage::Format_MonoLSB, Qt::ThresholdDither),
      mask.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither),
      mask.convertToFormat(QImage::Format_ARGB32),
  };
  std::optional<QRegion> expected = RegionFromMask(mask);
  ASSERT_TRUE(expected);
  for (const QImage& form : forms) {
    std::optional<QRegion> region = RegionFromMask(form);
    ASSERT_TRUE(region) << form.format();
    EXPECT_TRUE(SameArea(*region, *expected)) << form.format();
    for (int column : {0, 5, 8, 17, 40, 76}) {
      std::optional<QRegion> clipped = RegionFromMaskClipped(form, 1, column);
      QRegion want = expected->intersected(QRect(column, 0, 77 - column, 9));
      EXPECT_EQ(clipped.has_value(), !want.isEmpty()) << form.format() << " from " << column;
      if (clipped) {
        EXPECT_TRUE(SameArea(*clipped, want)) << form.format() << " from " << column;
      }
    }
  }
  // A two-colour mask whose colours are both dark is inside everywhere.
  QImage dark(10, 2, QImage::Format_Mono);
  dark.setColorTable({qRgb(0, 0, 0), qRgb(10, 10, 10)});
  dark.fill(0);
  dark.setPixel(3, 1, 1);
  EXPECT_TRUE(SameArea(*RegionFromMask(dark), QRegion(0, 0, 10, 2)));
  // A colour table too short for the indexes used (a PNG palette of one colour): the missing
  // colour is black, as QImage::pixel gives it, so its pixels are inside.
  QImage shortMono(10, 2, QImage::Format_Mono);
  shortMono.fill(0);
  shortMono.setColorTable({qRgb(255, 255, 255)});
  for (int x = 4; x < 7; ++x) shortMono.setPixel(x, 1, 1);
  QImage shortIndexed(10, 2, QImage::Format_Indexed8);
  shortIndexed.setColorTable({qRgb(255, 255, 255)});
  shortIndexed.fill(0);
  for (int x = 4; x < 7; ++x) shortIndexed.scanLine(1)[x] = 5;  // setPixel refuses such an index
  for (const QImage& form : {shortMono, shortIndexed}) {
    std::optional<QRegion> region = RegionFromMask(form);
    ASSERT_TRUE(region) << form.format();
    EXPECT_TRUE(SameArea(*region, QRegion(4, 1, 3, 1))) << form.format();
  }
}

TEST(RegionFromMask, ANullMaskGivesNoRegion) { EXPECT_FALSE(RegionFromMask(QImage()).has_value()); }

TEST(RegionFromMaskClipped, Modes) {
  const QImage mask = MaskOf({"####", "#..#", "####"});
  struct Case {
    int mode, value;
    std::vector<std::array<int, 4>> expected;
  } cases[] = {
      {1, 2, {{2, 0, 4, 1}, {3, 1, 4, 2}, {2, 2, 4, 3}}},
      {1, 0, {{0, 0, 4, 1}, {0, 1, 1, 2}, {3, 1, 4, 2}, {0, 2, 4, 3}}},
      {1, 4, {}},   // value equal to the width: nothing
      {1, 99, {}},
      {2, 0, {{0, 1, 1, 2}, {3, 1, 4, 2}, {0, 2, 4, 3}}},  // rows y > 0
      {2, 2, {}},
      {2, -5, {{0, 0, 4, 1}, {0, 1, 1, 2}, {3, 1, 4, 2}, {0, 2, 4, 3}}},
      {0, 3, {{0, 0, 4, 1}, {0, 1, 1, 2}, {3, 1, 4, 2}, {0, 2, 4, 3}}},  // other modes keep all
  };
  for (const Case& c : cases) {
    std::optional<QRegion> region = RegionFromMaskClipped(mask, c.mode, c.value);
    if (c.expected.empty()) {
      EXPECT_FALSE(region) << c.mode << "/" << c.value;
    } else {
      ASSERT_TRUE(region) << c.mode << "/" << c.value;
      EXPECT_TRUE(SameArea(*region, RegionOf(c.expected))) << c.mode << "/" << c.value;
    }
  }
}

TEST(ParseControlEntry, Fields) {
  struct Case {
    const char* value;
    int left, top, right, bottom;
    const char* tooltip;
    bool latched;
  } cases[] = {
      {"Exit,10,20,30,15,Close,FALSE", 10, 20, 40, 35, "Close", false},
      {"Exit,10,20,30,15,Close,TRUE", 10, 20, 40, 35, "Close", true},
      {"Exit, 10, 20, 30, 15, Close, FALSE", 10, 20, 40, 35, "Close", false},
      {"Label,1,2,3,4,A, B and C,FALSE", 1, 2, 4, 6, "B and C", false},   // a comma in the tooltip keeps its end
      {"Latched,0,0,5,5,TRUE tip,x", 0, 0, 5, 5, "TRUE tip", true},      // TRUE anywhere after the label
      {"TRUE,0,0,5,5,tip,FALSE", 0, 0, 5, 5, "tip", false},              // but not in the label
      {"Few,7,8", 7, 8, 7, 8, "", false},                                // too few fields
      {"NoComma", 0, 0, 0, 0, "", false},
      {"", 0, 0, 0, 0, "", false},
      {"Bad,x,y,w,h,tip,FALSE", 0, 0, 0, 0, "tip", false},               // not numbers
      {"Neg,10,10,-5,-7,tip,FALSE", 10, 10, 5, 3, "tip", false},         // negative size
      {"Huge,99999999999,5,99999999999,5,tip,FALSE", 32767, 5, 65534, 10, "tip", false},
  };
  for (const auto& c : cases) {
    SkinControlEntry e = ParseControlEntry(QString::fromUtf8(c.value));
    EXPECT_EQ(e.left, c.left) << c.value;
    EXPECT_EQ(e.top, c.top) << c.value;
    EXPECT_EQ(e.right, c.right) << c.value;
    EXPECT_EQ(e.bottom, c.bottom) << c.value;
    EXPECT_EQ(e.tooltip, QString::fromUtf8(c.tooltip)) << c.value;
    EXPECT_EQ(e.latched, c.latched) << c.value;
  }
  // A negative size gives no area at all.
  EXPECT_TRUE(ParseControlEntry("Neg,10,10,-5,-7,tip,FALSE").rect().isEmpty());
  EXPECT_EQ(ParseControlEntry("Exit,10,20,30,15,Close,FALSE").rect(), QRect(10, 20, 30, 15));
}

TEST(ParseTextEntry, Fields) {
  struct Case {
    const char* value;
    int x, y;
    const char* text;
  } cases[] = {
      {"12,34,Software version", 12, 34, "Software version"},
      {"12,34,Version, beta", 12, 34, " beta"},  // the text after the last comma
      {"-3,7,", -3, 7, ""},
      {"5", 5, 0, ""},
      {"a,b,text", 0, 0, "text"},
      {"", 0, 0, ""},
  };
  for (const auto& c : cases) {
    SkinTextEntry e = ParseTextEntry(QString::fromUtf8(c.value));
    EXPECT_EQ(e.x, c.x) << c.value;
    EXPECT_EQ(e.y, c.y) << c.value;
    EXPECT_EQ(e.text, QString::fromUtf8(c.text)) << c.value;
  }
}

class LoaderTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  SkinFolder folder;
};

TEST_F(LoaderTest, AGoodImageLoadsAtOnceWithItsSize) {
  QImage picture(7, 5, QImage::Format_RGB32);
  picture.fill(kOverColour);
  ASSERT_TRUE(picture.save(QString::fromStdString(folder.path("a.bmp"))));
  QImage target;
  QSize size;
  ASSERT_TRUE(LoadSkinImage(folder.path("a.bmp"), target, &size, &clock));
  EXPECT_EQ(size, QSize(7, 5));
  EXPECT_EQ(target.pixelColor(3, 3), kOverColour);
  EXPECT_TRUE(clock.Pauses().empty());
}

TEST_F(LoaderTest, AMissingFileIsTriedTwiceWithAWaitAfterEachAndLeavesTheTargetAsItWas) {
  QImage target(2, 2, QImage::Format_RGB32);
  target.fill(Qt::red);
  EXPECT_FALSE(LoadSkinImage(folder.path("missing.jpg"), target, nullptr, &clock));
  EXPECT_EQ(clock.Pauses(), (std::vector<uint32_t>{1000, 1000}));
  EXPECT_EQ(target.size(), QSize(2, 2));
  EXPECT_EQ(target.pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(LoaderTest, BadFilesLeaveTheTargetEmpty) {
  QImage good(16, 16, QImage::Format_RGB32);
  good.fill(Qt::blue);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  good.save(&buffer, "PNG");
  const std::pair<const char*, std::string> files[] = {
      {"empty.jpg", ""},
      {"text.jpg", "this is not a picture"},
      {"truncated.png", png.left(20).toStdString()},
  };
  for (const auto& [name, bytes] : files) {
    WriteFile(folder.path(name), bytes);
    QImage target;
    EXPECT_FALSE(LoadSkinImage(folder.path(name), target, nullptr, &clock) && !target.isNull()) << name;
    EXPECT_TRUE(target.isNull()) << name;
  }
}

// Whatever stands where a skin file should be (a FIFO, a folder, a link to a device, a file
// over the bound), every reader of skin files refuses it within a second, without the waits
// meant for a file still being copied.
TEST_F(LoaderTest, SpecialFilesAreRefusedAtOnceByEveryReader) {
  struct Reader {
    const char* file;
    size_t bound;
    std::function<void(const std::string& path)> check;
  };
  const Reader readers[] = {
      {"Skins.xml", kMaxProgramDataFileSize,
       [&](const std::string& path) {
         EXPECT_TRUE(ReadSkinSection(path, "ABOUT").empty());
         EXPECT_TRUE(ReadSkinSectionText(path, "BUTTON_MENU").isEmpty());
       }},
      {"picture.png", kMaxSkinImageFileSize,
       [&](const std::string& path) {
         QImage target;
         EXPECT_FALSE(LoadSkinImage(path, target, nullptr, &clock));
         EXPECT_TRUE(target.isNull());
         EXPECT_FALSE(DecodePngFile(path).has_value());
         EXPECT_FALSE(PictureHeaderReads(path));
         EXPECT_TRUE(ReadPictureFile(path).isNull());
       }},
  };
  int made = 0;
  for (const Reader& reader : readers) {
    for (test::SpecialFile kind : test::kSpecialFiles) {
      SCOPED_TRACE(std::string(reader.file) + " as " + test::SpecialFileName(kind));
      const std::string path = folder.path(std::to_string(made++) + reader.file);
      ASSERT_TRUE(test::MakeSpecialFile(path, kind, reader.bound));
      EXPECT_TRUE(test::FinishesWithin(1000, [&] { reader.check(path); }, path));
      EXPECT_TRUE(clock.Pauses().empty());
    }
  }
}

TEST(CropSkinImage, CutsTheRectangleAndIgnoresAnEmptySource) {
  QImage source(10, 10, QImage::Format_RGB32);
  source.fill(Qt::black);
  source.setPixel(4, 5, qRgb(1, 2, 3));
  QImage target;
  CropSkinImage(target, source, QRect(3, 3, 4, 4));
  EXPECT_EQ(target.size(), QSize(4, 4));
  EXPECT_EQ(target.pixel(1, 2), qRgb(1, 2, 3));
  QImage kept = target;
  CropSkinImage(target, QImage(), QRect(0, 0, 2, 2));
  EXPECT_EQ(target, kept);
}

TEST(ReadSkinSection, ALaterSectionOverridesKeyByKey) {
  SkinFolder folder;
  folder.Strings(
      "<ABOUT><TITLE>1,1,First</TITLE><BUTTON_EXIT>Exit,1,1,1,1,A,FALSE</BUTTON_EXIT></ABOUT>"
      "<OTHER><TITLE>9,9,Other</TITLE></OTHER>"
      "<ABOUT><TITLE>2,2,Second</TITLE><TITLE>3,3,Third</TITLE><EXTRA>x</EXTRA></ABOUT>");
  auto keys = ReadSkinSection(folder.path("Strings.xml"), "ABOUT");
  EXPECT_EQ(keys["TITLE"], "2,2,Second");        // the later section wins, its first TITLE counts
  EXPECT_EQ(keys["BUTTON_EXIT"], "Exit,1,1,1,1,A,FALSE");  // kept from the first
  EXPECT_EQ(keys["EXTRA"], "x");
  EXPECT_EQ(keys.size(), 3u);
}

TEST(ReadSkinSection, MissingOrBrokenFilesGiveNothing) {
  SkinFolder folder;
  EXPECT_TRUE(ReadSkinSection(folder.path("Strings.xml"), "ABOUT").empty());
  WriteFile(folder.path("Strings.xml"), "<ROOT><ABOUT><TITLE>1,1,x</TITLE></ABOUT>");  // not ended
  EXPECT_TRUE(ReadSkinSection(folder.path("Strings.xml"), "ABOUT").empty());
  WriteFile(folder.path("Strings.xml"), "\xFF\xFE\x01");
  EXPECT_TRUE(ReadSkinSection(folder.path("Strings.xml"), "ABOUT").empty());
}

TEST(ReadSkinSectionText, TheSectionsOwnData) {
  SkinFolder folder;
  folder.Skins("<BUTTON_MENU>menu.jpg</BUTTON_MENU><REGION_MENU>a.jpg</REGION_MENU><REGION_MENU>b.jpg</REGION_MENU>");
  EXPECT_EQ(ReadSkinSectionText(folder.path("Skins.xml"), "BUTTON_MENU"), "menu.jpg");
  EXPECT_EQ(ReadSkinSectionText(folder.path("Skins.xml"), "REGION_MENU"), "b.jpg");
  EXPECT_EQ(ReadSkinSectionText(folder.path("Skins.xml"), "ILLUMINATION_MENU"), "");
}

}  // namespace
}  // namespace orv::test
