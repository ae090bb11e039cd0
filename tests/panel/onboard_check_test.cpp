#include "panel/onboard_check.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/clock.h"

namespace orv {
namespace {

class OnboardCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    profile = std::make_unique<Profile>();
    std::memset(profile.get(), 0, sizeof(Profile));
    for (int b = 0; b < kButtonCount; ++b) profile->buttons[b].code = 1;  // 0 units each
  }
  Macro& MacroAt(int m, int events, int delay = 10) {
    Macro& macro = profile->macros[m];
    macro.name[0] = u'M';
    macro.delayMode = kDelayRecorded;
    for (int e = 0; e < events; ++e) macro.events[e] = {0x41, static_cast<uint8_t>(e % 2), {0, 0}, delay};
    return macro;
  }
  std::unique_ptr<Profile> profile;
};

TEST_F(OnboardCheckTest, UnitsFollowTheTableAndTheMacroRule) {
  // Game commands of one unit on three buttons, the rest left and right clicks.
  profile->buttons[1].code = 2;
  profile->buttons[3].code = 501;
  profile->buttons[4].code = 102;
  profile->buttons[5].code = 709;
  EXPECT_EQ(NeededUnits(*profile), 3);

  profile->buttons[6].code = 3;    // double click: 8
  profile->buttons[7].code = 209;  // 12
  EXPECT_EQ(NeededUnits(*profile), 23);

  // Three events with delays 10, 60 and 50 ms, no looping: 2 + 4 + 4.
  Macro& m = MacroAt(0, 3);
  m.events[1].delay = 60;
  m.events[2].delay = 50;
  profile->buttons[8].code = 1000;
  EXPECT_EQ(NeededUnits(*profile), 33);
  // Looping adds the count's two units.
  m.loopCount = 3;
  m.loopSwitch = 1;
  EXPECT_EQ(NeededUnits(*profile), 35);
  // Copy and paste costs nothing whatever its events.
  m.delayMode = kDelayCopyPaste;
  EXPECT_EQ(NeededUnits(*profile), 23);
}

TEST_F(OnboardCheckTest, ACodeOutsideTheTableIsReportedOncePerButtonAndAddsNothing) {
  profile->buttons[2].code = 7;
  profile->buttons[9].code = 999;
  profile->buttons[10].code = 501;
  std::vector<int> reported;
  EXPECT_EQ(NeededUnits(*profile, [&](int b) { reported.push_back(b); }), 1);
  EXPECT_EQ(reported, (std::vector<int>{2, 9}));
}

TEST_F(OnboardCheckTest, TheLastOffendingButtonDecidesTheMessage) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> buttons;  // (button, code)
    int loops;
    int loopSwitch;
    int delayMode;
    OnboardRefusal expected;
  } cases[] = {
      {"nothing to refuse", {{3, 501}}, 0, 0, kDelayRecorded, OnboardRefusal::kNone},
      {"300 loops without the switch", {{3, 1000}}, 300, 0, kDelayRecorded, OnboardRefusal::kNone},
      {"300 loops with the switch", {{3, 1000}}, 300, 1, kDelayRecorded, OnboardRefusal::kLooping},
      {"255 loops with the switch", {{3, 1000}}, 255, 1, kDelayRecorded, OnboardRefusal::kNone},
      {"a profile switch", {{5, 37}}, 0, 0, kDelayRecorded, OnboardRefusal::kProfileSwitching},
      {"a profile step", {{5, 43}}, 0, 0, kDelayRecorded, OnboardRefusal::kProfileSwitching},
      {"switch on 2, copy and paste on 9", {{1, 33}, {8, 1000}}, 0, 0, kDelayCopyPaste, OnboardRefusal::kCopyPaste},
      {"copy and paste on 2, switch on 9", {{1, 1000}, {8, 33}}, 0, 0, kDelayCopyPaste,
       OnboardRefusal::kProfileSwitching},
      {"a looping copy and paste macro", {{1, 1000}}, 300, 1, kDelayCopyPaste, OnboardRefusal::kLooping},
  };
  for (const Case& c : cases) {
    SetUp();
    Macro& m = MacroAt(0, 2);
    m.loopCount = c.loops;
    m.loopSwitch = c.loopSwitch;
    m.delayMode = c.delayMode;
    for (auto [b, code] : c.buttons) profile->buttons[b].code = code;
    EXPECT_EQ(CheckOnboardContent(*profile), c.expected) << c.what;
  }
  EXPECT_EQ(RefusalMessage(OnboardRefusal::kCopyPaste), kCopyPasteMessage);
  EXPECT_TRUE(RefusalMessage(OnboardRefusal::kNone).empty());
}

TEST(GaugeTest, FractionPercentageAndBar) {
  struct Case {
    int units, capacity;
    bool visible;
    int percent;
    const char16_t* text;
    int right;
  } cases[] = {
      {-1, 4096, true, 0, u"   0%", 79},
      {0, 0, false, 0, u"   0%", 79},
      {1, 4096, true, 1, u"   1%", 79},      // rounded up
      {2048, 4096, true, 50, u"  50%", 122},
      {4096, 4096, true, 100, u" 100%", 166},
      {8192, 4096, true, 200, u" 200%", 166},  // the bar stops at its end
      {10, 0, true, 100, u" 100%", 166},       // no capacity reported: full, no division
  };
  for (const Case& c : cases) {
    Gauge g{c.units, c.capacity};
    EXPECT_EQ(g.Visible(), c.visible) << c.units << "/" << c.capacity;
    EXPECT_EQ(g.Percent(), c.percent) << c.units << "/" << c.capacity;
    EXPECT_EQ(g.Text(), c.text) << c.units << "/" << c.capacity;
    EXPECT_EQ(g.FillRight(), c.right) << c.units << "/" << c.capacity;
  }
}

TEST(ProgressModelTest, PaceAndTimerPeriod) {
  EXPECT_DOUBLE_EQ(ProgressModel::PaceSeconds(2048), 2.0);
  EXPECT_EQ(ProgressModel::TimerPeriodMs(ProgressModel::PaceSeconds(2048)), 40);
  EXPECT_EQ(ProgressModel::TimerPeriodMs(ProgressModel::PaceSeconds(0)), 20);
  EXPECT_EQ(ProgressModel::TimerPeriodMs(0.5), 10);
  EXPECT_EQ(ProgressModel::TimerPeriodMs(0.4), 10);  // 8 ms becomes 10
}

// Runs the window's timer on a virtual clock until the model asks to close; the failure
// messages it would show are counted.
struct ProgressRun {
  VirtualClock clock;
  ProgressModel model;
  int failures = 0;
  explicit ProgressRun(bool agent) : model(agent) {}
  // Ticks until close or `maxTicks`; returns whether it closed.
  bool Run(int period, int maxTicks, const std::function<void(int tick)>& beforeTick = {}) {
    for (int t = 1; t <= maxTicks; ++t) {
      if (beforeTick) beforeTick(t);
      clock.Sleep(period);
      ProgressModel::TickOutcome out = model.Tick();
      if (out.timedOut) ++failures;
      if (out.close) return true;
    }
    return false;
  }
};

TEST(ProgressModelTest, WithoutReportsTheBarCreepsTo24PercentAndGivesUpAfter400TicksOf16Seconds) {
  ProgressRun run(true);
  const int period = ProgressModel::TimerPeriodMs(ProgressModel::PaceSeconds(2048));
  EXPECT_FALSE(run.Run(period, 399));
  EXPECT_NEAR(run.model.fraction(), 0.24f, 1e-4);
  EXPECT_EQ(run.failures, 0);
  EXPECT_FALSE(run.Run(period, 1));  // the 400th tick: the failure, the bar full
  EXPECT_EQ(run.failures, 1);
  EXPECT_EQ(run.clock.TickCount(), 16000u);
  EXPECT_FLOAT_EQ(run.model.fraction(), 1.0f);
  EXPECT_TRUE(run.Run(period, 1));   // closes on the next tick
  EXPECT_EQ(run.failures, 1);
}

TEST(ProgressModelTest, TheAgentsReportsMoveTheStagesAndTheWindowClosesOneTickAfter100) {
  ProgressRun run(true);
  std::vector<float> before;
  bool closed = run.Run(40, 400, [&](int tick) {
    if (tick == 20) {
      EXPECT_FALSE(run.model.Report(25, 0));
    }
    if (tick == 40) {
      before.push_back(run.model.fraction());
      EXPECT_FALSE(run.model.Report(50, 0));
    }
    if (tick == 80) {
      before.push_back(run.model.fraction());
      EXPECT_FALSE(run.model.Report(100, 0));
    }
  });
  EXPECT_TRUE(closed);
  EXPECT_EQ(run.model.ticks(), 80);
  EXPECT_EQ(run.failures, 0);
  EXPECT_EQ(run.model.stage(), 3);
  // Between reports the bar creeps to 49 % (stage 1 stops adding above 0.47).
  EXPECT_NEAR(before[0], 0.49f, 1e-4);
  EXPECT_GE(run.model.BarRight(), 16 + 222);
}

TEST(ProgressModelTest, WithoutAnAgentTheBarStartsAtStageTwoAndAFailedReportAsksForTheMessage) {
  ProgressModel model(false);
  EXPECT_EQ(model.stage(), 2);
  for (int i = 0; i < 60; ++i) model.Tick();
  EXPECT_NEAR(model.fraction(), 0.98f, 1e-4);  // stage 2 adds while at most 0.97
  EXPECT_FALSE(model.Tick().close);
  EXPECT_TRUE(model.Report(100, 1));
  EXPECT_TRUE(model.Tick().close);
}

}  // namespace
}  // namespace orv
