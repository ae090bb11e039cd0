#include "panel/print_page.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>

#include "panel/main/qt_services.h"
#include "tests/panel/rules_fixture.h"

namespace orv {
namespace {

using test::U;

// A stand-in for the MAIN_PRINT picture: a dark page with a frame, small enough that seven
// times its size fits on an A4 page at 96 dots per inch.
QImage BasePicture() {
  QImage base(108, 150, QImage::Format_RGB32);
  base.fill(QColor(20, 20, 28));
  QPainter p(&base);
  p.setPen(QColor(120, 90, 40));
  p.drawRect(2, 2, base.width() - 5, base.height() - 5);
  return base;
}

int GoldPixels(const QImage& image, const QRect& area) {
  int n = 0;
  const QRect r = area.intersected(image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 120 && c.green() > 90 && c.blue() < 60 && c.red() > c.blue() + 80) ++n;
    }
  return n;
}

class PrintTest : public test::RulesTest {
 protected:
  std::u16string labels[kButtonCount];
  void SetUp() override {
    RulesTest::SetUp();
    for (int b = 0; b < kButtonCount; ++b) labels[b] = b == 6 ? u"Toggle Character Pane" : U("Button " + std::to_string(b + 1));
  }
};

TEST_F(PrintTest, ThePageCarriesTheNameTheLabelsAndTheCharacterCard) {
  CopyText(working().profiles[0].profileName, u"Raid night");
  const QImage base = BasePicture();
  const PrintLayout layout = PrintLayoutFor(base.size());
  QImage plain = ComposePrintPage(base, PrintContentOf(working(), labels));
  EXPECT_EQ(plain.size(), base.size());
  EXPECT_GT(GoldPixels(plain, layout.name), 5);
  for (int b = 0; b < kButtonCount; ++b) EXPECT_GT(GoldPixels(plain, layout.labels[b]), 5) << b;
  EXPECT_EQ(GoldPixels(plain, layout.portrait), 0);
  for (const QRect& line : layout.character) EXPECT_EQ(GoldPixels(plain, line), 0);

  // A linked character: its portrait from the configuration folder and its card.
  Profile& p = working().profiles[0];
  CopyText(p.serverName, u"Stormreach");
  CopyText(p.characterName, u"Ilyra");
  CopyText(p.characterLevel, u"60");
  CopyText(p.characterClass, u"Mage");
  CopyText(p.characterRace, u"Elf");
  QImage portrait(32, 32, QImage::Format_RGB32);
  portrait.fill(QColor(0, 160, 255));
  ASSERT_TRUE(portrait.save(QString::fromStdString(conf + "Stormreach_Ilyra.jpg"), "JPG"));
  ASSERT_TRUE(rules->Print(base, labels));
  ASSERT_EQ(services.printed.size(), 1u);
  const QImage& card = services.printed[0];
  const QColor middle = card.pixelColor(layout.portrait.center());
  EXPECT_GT(middle.blue(), 200);
  EXPECT_LT(middle.red(), 60);
  for (const QRect& line : layout.character) EXPECT_GT(GoldPixels(card, line), 3);
}

TEST_F(PrintTest, APageToAPdfFileIsTheComposedPageAtSevenTimesItsSize) {
  const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
  if (pdftoppm.isEmpty()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed; scripts/setup installs it";
  const QImage page = ComposePrintPage(BasePicture(), PrintContentOf(working(), labels));
  const std::string pdf = dir.path() + "/page.pdf";
  {
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPageSize(QPageSize(QPageSize::A4));
    ASSERT_TRUE(PrintPageImage(printer, page));
    EXPECT_EQ(printer.docName(), QStringLiteral("Print Window"));
    ASSERT_EQ(printer.resolution(), 96);
  }
  QProcess raster;
  raster.start(pdftoppm, {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"), QStringLiteral("-singlefile"),
                          QString::fromStdString(pdf), QString::fromStdString(dir.path() + "/page")});
  ASSERT_TRUE(raster.waitForFinished(30000));
  ASSERT_EQ(raster.exitCode(), 0) << raster.readAllStandardError().toStdString();
  QImage printed(QString::fromStdString(dir.path() + "/page.png"));
  ASSERT_FALSE(printed.isNull());
  printed = printed.convertToFormat(QImage::Format_RGB32);
  ASSERT_GE(printed.width(), page.width() * kPrintScale);
  ASSERT_GE(printed.height(), page.height() * kPrintScale);

  // The middle of every 7 x 7 block of the printed page is the composed pixel it was stretched
  // from (the viewer smooths the edges between blocks, and the PDF may keep the picture as JPEG).
  int off = 0;
  double total = 0;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x) {
      const QRgb got = printed.pixel(x * kPrintScale + kPrintScale / 2, y * kPrintScale + kPrintScale / 2);
      const QRgb want = page.pixel(x, y);
      const int diff = std::max({std::abs(qRed(got) - qRed(want)), std::abs(qGreen(got) - qGreen(want)),
                                 std::abs(qBlue(got) - qBlue(want))});
      total += diff;
      if (diff > 40) ++off;
    }
  const int pixels = page.width() * page.height();
  EXPECT_LT(off, pixels / 100) << off << " of " << pixels << " blocks differ";
  EXPECT_LT(total / pixels, 6.0);
  // A picture shifted by one block would differ in most of its text.
  // Beyond the stretched picture the page is blank paper.
  EXPECT_EQ(printed.pixel(page.width() * kPrintScale + 20, 10), qRgb(255, 255, 255));
  EXPECT_EQ(printed.pixel(10, page.height() * kPrintScale + 20), qRgb(255, 255, 255));
}

TEST_F(PrintTest, WithoutAPrinterNothingIsPrintedAndTheUserIsTold) {
  // The desktop's own services: this machine has no printer at all.
  class Desktop : public QtDesktopServices {
   public:
    void WarningOne(std::u16string_view text) override { notices.emplace_back(text); }
    int WarningTwo(std::u16string_view, std::u16string_view) override { return 2; }
    int WarningThree2() override { return 2; }
    int WarningThree() override { return 2; }
    int WarningFour() override { return 2; }
    std::vector<std::u16string> notices;
  } desktop;
  if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "this machine has a printer";
  EXPECT_FALSE(desktop.PrintPage(BasePicture()));
  EXPECT_EQ(desktop.notices, (std::vector<std::u16string>{std::u16string(kNoPrinterMessage)}));
}

TEST(PortraitPathTest, NamesThatWouldLeaveTheFolderGiveNoPath) {
  EXPECT_EQ(PortraitPath("/c/Conf/", u"Stormreach", u"Ilyra"), "/c/Conf/Stormreach_Ilyra.jpg");
  for (auto [server, name] : {std::pair<std::u16string_view, std::u16string_view>{u"..", u"x"},
                              {u"a/../..", u"x"}, {u"a", u"..\\b"}, {u"", u"x"}, {u"a", u""}, {u"a\n", u"x"}}) {
    EXPECT_EQ(PortraitPath("/c/Conf/", server, name), "") << test::N(server) << "_" << test::N(name);
  }
}

TEST(QtNameFiltersTest, TheProfileFilterBecomesOneQtFilter) {
  EXPECT_EQ(QtNameFilters(kProfileFileFilter), QStringList{QStringLiteral("Configure File(*.xml)")});
  EXPECT_EQ(QtNameFilters(u"Pictures|*.jpg;*.png|All|*|"),
            (QStringList{QStringLiteral("Pictures (*.jpg *.png)"), QStringLiteral("All (*)")}));
}

}  // namespace
}  // namespace orv
