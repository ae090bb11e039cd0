// The drawers' slides frame by frame, and where they stay beside the main window.
#include "panel/editors/drawer_slide.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv {
namespace {

const QRect kMain(100, 50, 1000, 560);  // the main window on the screen
const QSize kAssignments(300, 420), kIllumination(600, 130), kProperties(260, 390);

std::vector<SlideFrame> AllSteps(DrawerSlide slide) {
  std::vector<SlideFrame> frames;
  while (!slide.done() && frames.size() < 1000) frames.push_back(slide.Tick());
  return frames;
}

TEST(DrawerSlide, EachDrawerStaysBesideItsEdge) {
  EXPECT_EQ(DrawerAnchor(DrawerKind::kAssignments, kMain, kAssignments), QPoint(1100 - 20, 50 + 88));
  EXPECT_EQ(DrawerAnchor(DrawerKind::kProperties, kMain, kProperties), QPoint(100 - 260 + 18, 50 + 85));
  EXPECT_EQ(DrawerAnchor(DrawerKind::kIllumination, kMain, kIllumination), QPoint(100 + 97, 610 - 20));
}

// Every slide: its pace, how many steps it takes, its first and last step, what it reports.
TEST(DrawerSlide, EverySlideRunsItsStepsAndEndsWithItsCode) {
  const QPoint outOfRight(1100 - 18, 138), illuminationTarget(197, 590);
  struct Case {
    const char* what;
    DrawerSlide slide;
    int periodMs;
    size_t steps;
    QRect first;
    SlideFrame::Clip firstClip;
    int firstClipValue;
    QRect last;
    bool shows, hides;
    SlideCode code;
  } cases[] = {
      // 300 / 15 = 20 steps showing more and more columns, then the step that ends it.
      {"assignments out", DrawerSlide::Out(DrawerKind::kAssignments, kMain, kAssignments), 20, 21,
       QRect(outOfRight - QPoint(300, 0), kAssignments), SlideFrame::kColumnsFrom, 300,
       QRect(outOfRight - QPoint(15, 0), kAssignments), true, false, kSlideAssignmentsOut},
      {"assignments in", DrawerSlide::In(DrawerKind::kAssignments, kMain, kAssignments, QPoint(1080, 138)), 20, 21,
       QRect(QPoint(1080, 138), kAssignments), SlideFrame::kColumnsFrom, 0,
       QRect(QPoint(1080 - 285, 138), kAssignments), false, true, kSlideAssignmentsIn},
      // 130 / 10 = 13 steps; the last one puts it at the target, whole.
      {"illumination out", DrawerSlide::Out(DrawerKind::kIllumination, kMain, kIllumination), 1, 13,
       QRect(illuminationTarget - QPoint(0, 130), kIllumination), SlideFrame::kRowsBelow, 130,
       QRect(illuminationTarget, kIllumination), true, false, kSlideIlluminationOut},
      {"illumination in", DrawerSlide::In(DrawerKind::kIllumination, kMain, kIllumination, QPoint(5, 5)), 1, 13,
       QRect(illuminationTarget, kIllumination), SlideFrame::kRowsBelow, 0, QRect(illuminationTarget, kIllumination),
       false, true, kSlideIlluminationIn},
      // 260 / 8 = 32.5: 33 steps, the last one clamped to the whole width (or to none).
      {"properties out", DrawerSlide::Out(DrawerKind::kProperties, kMain, kProperties), 1, 33,
       QRect(118 - 8, 135, 8, 390), SlideFrame::kWhole, 0, QRect(118 - 260, 135, 260, 390), true, false,
       kSlidePropertiesOut},
      {"properties in", DrawerSlide::In(DrawerKind::kProperties, kMain, kProperties, QPoint(-142, 135)), 1, 33,
       QRect(118 - 252, 135, 252, 390), SlideFrame::kWhole, 0, QRect(118, 135, 0, 390), false, true,
       kSlidePropertiesIn},
  };
  for (Case& c : cases) {
    EXPECT_EQ(c.slide.periodMs(), c.periodMs) << c.what;
    EXPECT_EQ(c.slide.doneCode(), c.code) << c.what;
    const std::vector<SlideFrame> frames = AllSteps(c.slide);
    ASSERT_EQ(frames.size(), c.steps) << c.what;
    EXPECT_EQ(frames.front().geometry, c.first) << c.what;
    EXPECT_EQ(frames.front().clip, c.firstClip) << c.what;
    EXPECT_EQ(frames.front().clipValue, c.firstClipValue) << c.what;
    EXPECT_EQ(frames.front().show, c.shows) << c.what;
    EXPECT_EQ(frames.back().geometry, c.last) << c.what;
    EXPECT_EQ(frames.back().clip, SlideFrame::kWhole) << c.what;
    EXPECT_TRUE(frames.back().last) << c.what;
    EXPECT_EQ(frames.back().hide, c.hides) << c.what;
    // Only the first step shows, only the last ends or hides.
    for (size_t i = 1; i < frames.size(); ++i) EXPECT_FALSE(frames[i].show) << c.what << " " << i;
    for (size_t i = 0; i + 1 < frames.size(); ++i) EXPECT_FALSE(frames[i].last || frames[i].hide) << c.what << " " << i;
  }
}

TEST(DrawerSlide, TheVisiblePartGrowsStepByStepAndAnEndedSlideStaysEnded) {
  DrawerSlide slide = DrawerSlide::Out(DrawerKind::kAssignments, kMain, kAssignments);
  int previous = 301;
  for (SlideFrame f = slide.Tick(); !f.last; f = slide.Tick()) {
    EXPECT_EQ(f.clipValue, previous - (previous == 301 ? 1 : 15));
    EXPECT_EQ(f.geometry.left(), 1082 - f.clipValue);  // the visible columns start at the base
    previous = f.clipValue;
  }
  EXPECT_EQ(previous, 15);
  const SlideFrame after = slide.Tick();
  EXPECT_TRUE(after.last);
  EXPECT_TRUE(slide.done());
}

}  // namespace
}  // namespace orv
