#include "panel/onboard_save.h"

#include <cstdlib>

#include "link/bus_window.h"
#include "link/messages.h"
#include "panel/link_transport.h"
#include "tests/panel/rules_fixture.h"

namespace orv {
namespace {

using test::SentMessage;

// The progress window as the test plays it: its model on a virtual clock, fed with the
// reports that reach it; the agent's reports are played by `agentReports`.
class FakeProgress : public ProgressRunner {
 public:
  FakeProgress(test::FakeAgent& agent, test::FakeServices& services) : agent_(agent), services_(services) {}
  void RunProgress(double pace, bool agentPresent) override {
    ++runs;
    this->pace = pace;
    this->agentPresent = agentPresent;
    ProgressModel model(agentPresent);
    const int period = ProgressModel::TimerPeriodMs(pace);
    if (expectPanelReport) {
      // The write thread's report; it comes within moments.
      EXPECT_TRUE(agent_.WaitForWindowPost(5000));
    }
    for (int tick = 1; tick <= 1000; ++tick) {
      for (auto [at, percent] : agentReports)
        if (at == tick && model.Report(percent, 0)) services_.WarningOne(kOnboardFailureMessage);
      if (tick == 1) {
        for (auto& [title, m] : agent_.windowPosts) {
          EXPECT_EQ(title, kProgressWindowTitle);
          if (model.Report(m.wParam, m.lParam)) services_.WarningOne(kOnboardFailureMessage);
        }
      }
      clock.Sleep(period);
      ProgressModel::TickOutcome out = model.Tick();
      if (out.timedOut) services_.WarningOne(kOnboardFailureMessage);
      if (out.close) break;
    }
    ticks = model.ticks();
  }
  VirtualClock clock;
  bool expectPanelReport = false;
  std::vector<std::pair<int, int>> agentReports;  // (tick, percent)
  int runs = 0;
  double pace = 0;
  bool agentPresent = true;
  int ticks = 0;

 private:
  test::FakeAgent& agent_;
  test::FakeServices& services_;
};

class OnboardSaveTest : public test::RulesTest {
 protected:
  void SetUp() override {
    RulesTest::SetUp();
    progress = std::make_unique<FakeProgress>(agent, services);
    save = std::make_unique<OnboardSave>(*rules, *sets, *store, agent, services, view, *progress, threadClock);
    view.applyEnabled = true;
  }
  // Macro `index` of the active profile, of `events` events (2 units each, 4 with a delay of
  // 50 ms or more), on `button`.
  void MacroOnButton(int index, int button, int events, int delay = 10) {
    Macro& m = working().profiles[0].macros[index];
    CopyText(m.name, u"Big");
    m.delayMode = kDelayRecorded;
    for (int e = 0; e < events; ++e) m.events[e] = {0x41, static_cast<uint8_t>(e % 2), {0, 0}, delay};
    working().profiles[0].buttons[button].code = 1000 + index;
  }
  VirtualClock threadClock;
  std::unique_ptr<FakeProgress> progress;
  std::unique_ptr<OnboardSave> save;
};

TEST_F(OnboardSaveTest, AProfileLargerThanTheMemoryIsRefusedAndUnitsEqualToTheCapacityPass) {
  MacroOnButton(0, 7, 100);
  const int units = rules->RecountUnits();
  rules->MemorySize(units - 1);
  EXPECT_EQ(save->Start(), OnboardSave::Outcome::kTooLarge);
  EXPECT_EQ(services.Notices(), (std::vector<std::u16string>{std::u16string(kReduceMacroSizeMessage)}));
  EXPECT_EQ(progress->runs, 0);
  EXPECT_TRUE(agent.Messages().empty());
  EXPECT_TRUE(view.applyEnabled);

  rules->MemorySize(units);
  progress->agentReports = {{5, 25}, {10, 50}, {15, 100}};
  EXPECT_EQ(save->Start(), OnboardSave::Outcome::kWritten);
  EXPECT_EQ(progress->runs, 1);
}

TEST_F(OnboardSaveTest, WhatTheMouseCannotHoldIsRefusedBeforeAnythingIsSaved) {
  working().profiles[0].buttons[1].code = 35;
  EXPECT_EQ(save->Start(), OnboardSave::Outcome::kRefused);
  EXPECT_EQ(services.Notices().back(), kProfileSwitchingMessage);
  EXPECT_EQ(store->saves, 0);
  EXPECT_TRUE(agent.Messages().empty());
  EXPECT_EQ(progress->runs, 0);
}

TEST_F(OnboardSaveTest, ChangedProfilesAreSavedAndTheAgentAskedToWriteWhileTheProgressWindowRuns) {
  for (ButtonAssignment& b : working().profiles[0].buttons) b.code = 1;  // no units
  MacroOnButton(0, 7, 320, 60);  // 1280 units
  MacroOnButton(1, 8, 192, 60);  // 768 more: 2048 units, a pace of 2 s
  ASSERT_EQ(rules->RecountUnits(), 2048);
  rules->MemorySize(8192);
  progress->agentReports = {{10, 25}, {30, 50}, {60, 100}};
  EXPECT_EQ(save->Start(), OnboardSave::Outcome::kWritten);
  EXPECT_DOUBLE_EQ(progress->pace, 2.0);
  EXPECT_TRUE(progress->agentPresent);
  EXPECT_EQ(progress->ticks, 60);  // the report came before tick 60, which closes
  EXPECT_EQ(agent.Messages(), (std::vector<SentMessage>{{false, UM_RELOAD_PROFILES, 1, 0}}));
  EXPECT_EQ(Code(*OnDisk(), 0, 7), 1000);
  EXPECT_FALSE(sets->Differ());
  EXPECT_FALSE(view.applyEnabled);
  EXPECT_TRUE(services.Notices().empty());

  // Nothing changed since: the agent skips its reload.
  progress->agentReports = {{1, 100}};
  save->Start();
  EXPECT_EQ(agent.Messages().back(), (SentMessage{false, UM_RELOAD_PROFILES, 1, 1}));
  EXPECT_EQ(store->saves, 1);
}

TEST_F(OnboardSaveTest, WithoutAnAgentTheUserIsToldOfTheFailureAndTheWindowCloses) {
  agent.present = false;
  progress->expectPanelReport = true;
  EXPECT_EQ(save->Start(), OnboardSave::Outcome::kNoAgent);
  EXPECT_FALSE(progress->agentPresent);
  ASSERT_EQ(agent.windowPosts.size(), 1u);
  EXPECT_EQ(agent.windowPosts[0].second, (SentMessage{false, UM_PROGRESS, 100, 1}));
  EXPECT_EQ(services.Notices(), (std::vector<std::u16string>{u"Failure to save macro on Board"}));
  EXPECT_LE(progress->ticks, 2);
}

TEST_F(OnboardSaveTest, TheFailureReportIsTriedFiveTimesAHundredMillisecondsApart) {
  agent.present = false;
  agent.windowPresent = false;
  progress->agentReports = {{3, 100}};
  save->Start();
  EXPECT_EQ(threadClock.Pauses(), (std::vector<uint32_t>{100, 100, 100, 100, 100}));
}

TEST_F(OnboardSaveTest, ASaveThatFailsSendsNothingAndKeepsTheEdits) {
  store->failSaves = true;
  working().profiles[0].buttons[6].code = 501;
  progress->expectPanelReport = true;
  EXPECT_EQ(save->Start(), OnboardSave::Outcome::kSaveFailed);
  EXPECT_TRUE(agent.Messages().empty());
  EXPECT_EQ(Code(working(), 0, 6), 501);
  EXPECT_NE(Code(saved(), 0, 6), 501);
  EXPECT_TRUE(view.applyEnabled);
  EXPECT_EQ(services.Notices(),
            (std::vector<std::u16string>{u"Failure to save macro on Board", std::u16string(kSaveFailedMessage)}));
}

// The real way: no agent on the window bus, the progress window found there by its title.
class ProgressWindowStandIn : public BusWindow {
 public:
  LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
    received.push_back({false, code, w, l});
    return 1;
  }
  std::vector<SentMessage> received;
};

class BusProgress : public ProgressRunner {
 public:
  explicit BusProgress(ProgressWindowStandIn& window) : window_(window) {}
  void RunProgress(double, bool agentPresent) override {
    present = agentPresent;
    bus::PumpFor(5000, [&] { return !window_.received.empty(); });
  }
  bool present = true;

 private:
  ProgressWindowStandIn& window_;
};

TEST_F(OnboardSaveTest, OnTheWindowBusTheFailureReachesTheProgressWindowByItsTitle) {
  test::TempDir busDir;
  ::setenv("ORV_BUS_DIR", busDir.path().c_str(), 1);
  ProgressWindowStandIn window;
  ASSERT_TRUE(window.RegisterWindow(kProgressWindowTitle));
  LinkTransport link(false, window.windowHandle());
  BusProgress progress(window);
  OnboardSave busSave(*rules, *sets, *store, link, services, view, progress, threadClock);
  EXPECT_EQ(busSave.Start(), OnboardSave::Outcome::kNoAgent);
  EXPECT_FALSE(progress.present);
  EXPECT_EQ(window.received, (std::vector<SentMessage>{{false, UM_PROGRESS, 100, 1}}));
  window.UnregisterWindow();
  ::unsetenv("ORV_BUS_DIR");
}

}  // namespace
}  // namespace orv
