// CSkinScrollBar geometry, pressing, repeating on a virtual clock, dragging; CSkinScrollWnd
// around a Qt list.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QTableWidget>
#include <QScrollBar>
#include <QTest>

#include "skin/scroll_bar.h"
#include "tests/skin/skin_test_support.h"

namespace orv::test {
namespace {

TEST(ScrollGeometry, Table) {
  struct Case {
    int length, cell, min, max, page, pos;
    int track, range, thumb, arrow, offset;
  } cases[] = {
      {200, 13, 0, 99, 10, 45, 174, 90, 17, 13, 78},   // thumb at 13 + 78 = 91
      {200, 13, 0, 99, 10, 0, 174, 90, 17, 13, 0},
      {200, 13, 0, 99, 10, 90, 174, 90, 17, 13, 157},
      {200, 13, 0, 999, 1, 0, 174, 999, 12, 13, 0},    // at least 12
      {37, 13, 0, 99, 10, 45, 11, 90, 0, 13, 5},       // T = 11: no thumb
      {20, 13, 0, 99, 10, 45, 0, 90, 0, 10, 0},        // shorter than two arrows
      {200, 13, 0, 9, 10, 0, 174, 0, 174, 13, 0},      // everything fits: R = 0
      {200, 13, 10, 109, 10, 55, 174, 90, 17, 13, 78}, // counted from the minimum
  };
  for (const Case& c : cases) {
    ScrollInfo info{c.min, c.max, c.page, c.pos, -1};
    ScrollGeometry g = ComputeScrollGeometry(c.length, c.cell, info, false);
    EXPECT_EQ(g.track, c.track) << c.length << "/" << c.pos;
    EXPECT_EQ(g.range, c.range) << c.length << "/" << c.pos;
    EXPECT_EQ(g.thumb, c.thumb) << c.length << "/" << c.pos;
    EXPECT_EQ(g.arrow, c.arrow) << c.length << "/" << c.pos;
    EXPECT_EQ(g.offset, c.offset) << c.length << "/" << c.pos;
  }
  // Drawn, a bar with nothing to scroll has no thumb.
  EXPECT_EQ(ComputeScrollGeometry(200, 13, ScrollInfo{0, 9, 10, 0, -1}, true).thumb, 0);
}

TEST(ScrollGeometry, HitTest) {
  ScrollGeometry g = ComputeScrollGeometry(200, 13, ScrollInfo{0, 99, 10, 45, -1}, false);
  const std::pair<int, int> hits[] = {{-1, kPartNone}, {0, kPartLineUp},   {12, kPartLineUp}, {13, kPartPageUp},
                                      {90, kPartPageUp}, {91, kPartThumb}, {107, kPartThumb}, {108, kPartPageDown},
                                      {186, kPartPageDown}, {187, kPartLineDown}, {199, kPartLineDown}, {200, kPartNone}};
  for (auto& [at, part] : hits) EXPECT_EQ(g.Hit(at), part) << at;
  // No thumb: the two page areas cover the track.
  ScrollGeometry small = ComputeScrollGeometry(37, 13, ScrollInfo{0, 99, 10, 45, -1}, false);
  EXPECT_EQ(small.Hit(13), kPartPageUp);
  EXPECT_EQ(small.Hit(17), kPartPageUp);
  EXPECT_EQ(small.Hit(18), kPartPageDown);
  EXPECT_EQ(small.Hit(23), kPartPageDown);
  EXPECT_EQ(small.Hit(24), kPartLineDown);
}

QImage NineCells() {
  QImage image(117, 39, QImage::Format_RGB32);
  for (int column = 0; column < 9; ++column)
    for (int row = 0; row < 3; ++row)
      for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x) image.setPixel(column * 13 + x, row * 13 + y, qRgb(column * 20, row * 80, 7));
  return image;
}

// A parent that moves the bar's position as a list would on each request, and notes when.
class BarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    bar = new CSkinScrollBar(Qt::Vertical, &window);
    bar->setGeometry(0, 0, 20, 200);
    bar->SetBitmap(&image);
    bar->show();
    window.onMessage = [this](uint32_t code, WParam w, LParam) {
      ASSERT_EQ(code, WM_VSCROLL);
      times.push_back(timers.now());
      ScrollInfo info = bar->info();
      switch (w & 0xFFFF) {
        case SB_LINEUP: info.pos = std::max(info.min, info.pos - 1); break;
        case SB_LINEDOWN: info.pos = std::min(LastScrollPosition(info), info.pos + 1); break;
        case SB_PAGEUP: info.pos = std::max(info.min, info.pos - info.page); break;
        case SB_PAGEDOWN: info.pos = std::min(LastScrollPosition(info), info.pos + info.page); break;
        default: break;
      }
      bar->SetScrollInfo(info);
    };
  }
  ManualTimers timers;
  QImage image = NineCells();
  RecordingWindow window;
  CSkinScrollBar* bar = nullptr;
  std::vector<uint64_t> times;
};

TEST_F(BarTest, SetBitmapMakesTheBarOneCellThick) {
  EXPECT_EQ(bar->width(), 13);
  EXPECT_EQ(bar->cell(), 13);
  EXPECT_EQ(bar->height(), 200);
}

TEST_F(BarTest, HoldingTheUpArrowRepeatsAfterHalfASecondThenEveryTenthUntilTheTop) {
  bar->SetScrollInfo(ScrollInfo{0, 99, 10, 4, -1});
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(times, (std::vector<uint64_t>{0}));
  timers.Advance(499);
  EXPECT_EQ(times.size(), 1u);
  timers.Advance(2000);
  EXPECT_EQ(times, (std::vector<uint64_t>{0, 500, 600, 700}));
  EXPECT_EQ(bar->info().pos, 0);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(bar->pressedPart(), kPartNone);
}

TEST_F(BarTest, RepeatingPausesWhileThePointerIsOutsideThePressedPart) {
  bar->SetScrollInfo(ScrollInfo{0, 99, 10, 0, -1});
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 195));  // down arrow
  QTest::mouseMove(bar, QPoint(5, 100));
  timers.Advance(1000);
  EXPECT_EQ(times.size(), 1u);
  QTest::mouseMove(bar, QPoint(5, 195));
  timers.Advance(250);  // the repeat runs on: ticks at 1100, 1200
  EXPECT_EQ(times, (std::vector<uint64_t>{0, 1100, 1200}));
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 195));
  timers.Advance(1000);
  EXPECT_EQ(times.size(), 3u);
}

TEST_F(BarTest, PagingStopsWhenTheThumbReachesThePointer) {
  bar->SetScrollInfo(ScrollInfo{0, 99, 10, 0, -1});
  // Page down at 120 along the bar: the thumb (17 long) arrives under it after a few pages.
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 120));
  timers.Advance(3000);
  ScrollGeometry g = bar->Geometry();
  EXPECT_EQ(g.Hit(120), kPartThumb);
  const size_t sent = times.size();
  timers.Advance(1000);
  EXPECT_EQ(times.size(), sent);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 120));
}

TEST_F(BarTest, DraggingTheThumbBeyondTheEndStopsAtTheLastPosition) {
  bar->SetScrollInfo(ScrollInfo{0, 99, 10, 45, -1});
  std::vector<std::pair<uint32_t, int>> requests;
  window.onMessage = [&](uint32_t, WParam w, LParam) { requests.emplace_back(w & 0xFFFF, static_cast<int>(w >> 16)); };
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 95));
  EXPECT_TRUE(bar->dragging());
  QTest::mouseMove(bar, QPoint(5, 95 + 16));  // 16 of 157 free pixels: 16 * 90 / 157 = 9 positions
  QTest::mouseMove(bar, QPoint(5, 1000));
  QTest::mouseMove(bar, QPoint(5, 1100));      // no change: nothing sent
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 1100));
  EXPECT_EQ(requests, (std::vector<std::pair<uint32_t, int>>{{SB_THUMBTRACK, 54}, {SB_THUMBTRACK, 90}, {SB_THUMBPOSITION, 90}}));
  EXPECT_FALSE(bar->dragging());
  EXPECT_EQ(bar->info().trackPos, -1);
}

TEST_F(BarTest, HotPartFollowsThePointer) {
  bar->SetScrollInfo(ScrollInfo{0, 99, 10, 45, -1});
  QTest::mouseMove(bar, QPoint(5, 100));
  EXPECT_EQ(bar->hotPart(), kPartThumb);
  QImage shown = bar->grab().toImage();
  EXPECT_EQ(qGreen(shown.pixel(5, 100)), 80);  // the thumb's hot row
  EXPECT_EQ(qRed(shown.pixel(5, 5)), 0);       // up arrow column 0
  EXPECT_EQ(qRed(shown.pixel(5, 50)), 60);     // track column 3
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(bar, &leave);
  EXPECT_EQ(bar->hotPart(), kPartNone);
}

TEST(CSkinScrollWnd, KeepsTheBarsInStepWithAList) {
  ManualTimers timers;
  QWidget parent;
  parent.resize(300, 300);
  auto* list = new QListWidget(&parent);
  list->setGeometry(10, 10, 200, 200);
  for (int i = 0; i < 100; ++i) list->addItem(QString("Item %1").arg(i));
  auto* few = new QListWidget(&parent);
  few->setGeometry(220, 10, 70, 200);
  few->addItem("One");
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
  QImage image = NineCells();
  CSkinScrollWnd* wrap = SkinScrollWindow(list, image);
  CSkinScrollWnd* wrapFew = SkinScrollWindow(few, image);
  EXPECT_EQ(wrap->geometry(), QRect(10, 10, 200, 200));
  EXPECT_EQ(list->parentWidget(), wrap->clip());
  EXPECT_EQ(wrap->clip()->objectName(), "LIMIT");
  EXPECT_EQ(wrap->thickness(), 13);
  EXPECT_EQ(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_TRUE(wrap->verticalBar()->isVisibleTo(wrap));
  EXPECT_FALSE(wrap->horizontalBar()->isVisibleTo(wrap));
  EXPECT_FALSE(wrapFew->verticalBar()->isVisibleTo(wrapFew));
  EXPECT_EQ(wrap->clip()->width(), 200 - 13);
  QScrollBar* own = list->verticalScrollBar();
  ScrollInfo info = wrap->verticalBar()->info();
  EXPECT_EQ(info.min, own->minimum());
  EXPECT_EQ(LastScrollPosition(info), own->maximum());
  EXPECT_EQ(info.page, own->pageStep());
  // A press on the lower page area pages the list, and the bar follows.
  ScrollGeometry g = wrap->verticalBar()->Geometry();
  QTest::mouseClick(wrap->verticalBar(), Qt::LeftButton, {}, QPoint(5, g.length - g.arrow - 2));
  EXPECT_EQ(own->value(), own->pageStep());
  EXPECT_EQ(wrap->verticalBar()->info().pos, own->value());
  // The list scrolled by itself: the bar follows too.
  list->scrollToBottom();
  EXPECT_EQ(wrap->verticalBar()->info().pos, own->maximum());
  // The wrapper goes with the list.
  QPointer<CSkinScrollWnd> guard(wrap);
  delete list;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
}

TEST(CSkinScrollWnd, BothBarsLeaveTheCornerSquare) {
  ManualTimers timers;
  QWidget parent;
  parent.resize(300, 300);
  auto* table = new QTableWidget(40, 20, &parent);
  table->setGeometry(0, 0, 200, 150);
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
  QImage image = NineCells();
  CSkinScrollWnd* wrap = SkinScrollWindow(table, image);
  EXPECT_TRUE(wrap->verticalBar()->isVisibleTo(wrap));
  EXPECT_TRUE(wrap->horizontalBar()->isVisibleTo(wrap));
  EXPECT_EQ(wrap->cornerMode(), 2);
  EXPECT_EQ(wrap->clip()->geometry(), QRect(0, 0, 200 - 13, 150 - 13));
  EXPECT_EQ(wrap->horizontalBar()->geometry(), QRect(0, 150 - 13, 200 - 13, 13));
  // The corner square comes from column 8, row 0 of the picture.
  QImage shown = wrap->grab().toImage();
  EXPECT_EQ(shown.pixelColor(200 - 6, 150 - 6), QColor(160, 0, 7));
  // A drag of the horizontal thumb scrolls the table sideways.
  ScrollGeometry g = wrap->horizontalBar()->Geometry();
  const int thumb = g.arrow + g.offset + 2;
  QTest::mousePress(wrap->horizontalBar(), Qt::LeftButton, {}, QPoint(thumb, 5));
  QTest::mouseMove(wrap->horizontalBar(), QPoint(thumb + 60, 5));
  EXPECT_GT(table->horizontalScrollBar()->value(), 0);
  QTest::mouseRelease(wrap->horizontalBar(), Qt::LeftButton, {}, QPoint(thumb + 60, 5));
  EXPECT_EQ(wrap->horizontalBar()->info().pos, table->horizontalScrollBar()->value());
}

}  // namespace
}  // namespace orv::test
