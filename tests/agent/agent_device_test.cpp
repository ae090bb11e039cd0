// The agent window's start-up, its device conversations, their orders and pauses, and the
// messages of the panel and other programs.
#include <filesystem>

#include "profile/settings_files.h"
#include "tests/agent/agent_fixture.h"

namespace orv::test {
namespace {

using Requests = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;

Requests Sent(FakeDeviceState& d) {
  Requests out;
  for (auto& r : d.Take()) out.emplace_back(r.code, r.in);
  return out;
}

using Pauses = std::vector<uint32_t>;

TEST_F(AgentTest, StartUpInitialisesTheDeviceInOrder) {
  StandInWindow about(kAboutWindowTitle);
  CMyWnd& a = StartAgent(true);
  EXPECT_EQ(Sent(*device), (Requests{
                               {IOCTL_REGISTER_EVENT, Le32(static_cast<uint32_t>(
                                                          reinterpret_cast<uintptr_t>(&a.driver().semaphore())))},
                               {IOCTL_GET_DEVICE_INFO, {}},
                               {IOCTL_GET_FIRMWARE_VERSION, {}},
                               {IOCTL_GET_DPI_STEP, {0}},
                               {IOCTL_GET_POLLING_RATE, {0}},
                               {IOCTL_GET_LED_COLOR, {0, 0, 0}},
                               {IOCTL_GET_LED_INTENSITY, {0}},
                               {IOCTL_GET_LED_PULSATION, {0}},
                               {IOCTL_SET_SENSITIVITY_ENABLE, {1}},
                               {IOCTL_SET_SENSITIVITY_X, Le32(10)},
                               {IOCTL_SET_SENSITIVITY_Y, Le32(10)},
                               {IOCTL_SET_INTERCEPT_MASK, Le32(0xFFE0)},
                               {IOCTL_SET_INTERCEPT_EXTRA, {0}},
                               {IOCTL_SET_LIFT_DISTANCE, {0, 0}},
                               {IOCTL_SAVE_SETTINGS, {}},
                           }));
  EXPECT_EQ(clock.Pauses(), (Pauses{1, 100}));
  EXPECT_EQ(bus::FindWindow(kAgentWindowTitle), a.handle());
  EXPECT_EQ(bus::FindWindow(kAgentProvisionalTitle), 0u);
  EXPECT_EQ(a.onboardMemorySize(), 16 * 512);
  EXPECT_EQ(a.onboardBufferSize(), 16 * 512 + 100);
  EXPECT_TRUE(timers.Running(CMyWnd::kTimerId));
  EXPECT_EQ(timers.running[CMyWnd::kTimerId], 1000u);
  EXPECT_TRUE(std::filesystem::is_directory(ProfileFolder()));
  EXPECT_EQ(ReadFirmwareVersion(ConfFolder()), 105);
  EXPECT_EQ(desktop.launched, std::vector<std::string>{ORV_PROGRAM_DIR "/OrvNotifier"});
  EXPECT_EQ(about.Messages(), (std::vector<StandInWindow::Message>{{UM_VERSION_CHANGED, 0, 0}}));
  // What the mouse reported back (step 3, red at intensity 4) was recorded in Config.xml.
  auto loaded = std::make_unique<ProfileSet>();
  LoadProfileSet(ConfigPath(), *loaded);
  EXPECT_EQ(loaded->profiles[0].dpiStep, 3);
  EXPECT_EQ(loaded->profiles[0].ledColor, 0xFF);
  EXPECT_EQ(a.currentSet().profiles[0].ledColor, 0xFF);
  EXPECT_EQ(a.stagingSet().profiles[0].ledColor, 0xFF);
}

TEST_F(AgentTest, AUsersConfigIsKeptAndAMissingOneIsCopied) {
  device->present = false;  // so that nothing read back from a mouse rewrites the file
  WriteConfig([](ProfileSet& s) { s.profileId = 4; });
  std::string mine = ReadFile(ConfigPath());
  StartAgent();
  EXPECT_EQ(ReadFile(ConfigPath()), mine);
  agent.reset();

  std::filesystem::remove(ConfigPath());
  StartAgent();
  EXPECT_EQ(ReadFile(ConfigPath()), ReadFile(ORV_PROGRAM_DIR "/Config.xml"));
}

TEST_F(AgentTest, WithoutAMouseTheAgentRunsAndInitialisesWhenItArrives) {
  device->present = false;
  StandInWindow about(kAboutWindowTitle);
  CMyWnd& a = StartAgent();
  EXPECT_NE(a.handle(), 0u);
  EXPECT_EQ(ReadFirmwareVersion(ConfFolder()), 0);
  EXPECT_EQ(about.Messages(), (std::vector<StandInWindow::Message>{{UM_VERSION_CHANGED, 0, 0}}));
  EXPECT_FALSE(timers.Running(CMyWnd::kTimerId));
  EXPECT_TRUE(desktop.launched.empty());
  // Every device operation answers 0 without a request.
  EXPECT_EQ(a.settings().SelectProfile(3), 0);
  EXPECT_EQ(a.settings().SetPollingRate(-1), 0);
  EXPECT_EQ(a.settings().DpiUp(), 0);
  EXPECT_EQ(Message(UM_SET_LIFT_DISTANCE, 2, 0), 0);
  EXPECT_EQ(a.currentSet().profileId, 0);

  device->present = true;
  EXPECT_EQ(Message(WM_DEVICECHANGE, 0x8000, 0), 1);
  EXPECT_TRUE(timers.Running(CMyWnd::kTimerId));
  EXPECT_EQ(device->openings, 1);
  EXPECT_EQ(ReadFirmwareVersion(ConfFolder()), 105);
  EXPECT_EQ(desktop.launched.size(), 1u);
  // A device change while open opens nothing more.
  Message(WM_DEVICECHANGE, 0x8000, 0);
  EXPECT_EQ(device->openings, 1);
}

TEST_F(AgentTest, AMouseThatGoesAwayIsTreatedAsClosedAndOpenedAgainOnItsReturn) {
  StartAgent();
  device->alive = false;  // the driver's side ended
  EXPECT_EQ(agent->settings().SelectProfile(2), 0);
  EXPECT_EQ(agent->currentSet().profileId, 0);
  EXPECT_TRUE(device->Take().empty());
  Message(WM_DEVICECHANGE, 0x8000, 0);
  EXPECT_EQ(device->openings, 2);
  EXPECT_EQ(agent->settings().SelectProfile(2), 1);
}

TEST_F(AgentTest, ConnectAndDisconnectEvents) {
  StandInWindow tray(kTrayWindowTitle), about(kAboutWindowTitle);
  StartAgent();
  about.Clear();
  tray.Clear();
  Standard(kEventDisconnect);
  EXPECT_FALSE(timers.Running(CMyWnd::kTimerId));
  EXPECT_FALSE(agent->deviceInitialised());
  EXPECT_EQ(ReadFirmwareVersion(ConfFolder()), 0);
  EXPECT_EQ(tray.Messages(), (std::vector<StandInWindow::Message>{{UM_TRAY_DEVICE_REMOVED, 0, 0}}));
  EXPECT_EQ(about.Messages(), (std::vector<StandInWindow::Message>{{UM_VERSION_CHANGED, 0, 0}}));
  EXPECT_TRUE(device->Take().empty());

  Standard(kEventConnect);
  EXPECT_TRUE(agent->deviceInitialised());
  Requests sent = Sent(*device);
  std::vector<uint32_t> codes;
  for (auto& [c, in] : sent) codes.push_back(c);
  // The on-board header is read first; this mouse holds nothing to offer.
  EXPECT_EQ(codes, (std::vector<uint32_t>{IOCTL_ONBOARD_READ_HEADER, IOCTL_GET_FIRMWARE_VERSION, IOCTL_GET_DPI_STEP,
                                          IOCTL_GET_POLLING_RATE,
                                          IOCTL_GET_LED_COLOR, IOCTL_GET_LED_INTENSITY, IOCTL_GET_LED_PULSATION,
                                          IOCTL_SET_INTERCEPT_MASK, IOCTL_SET_INTERCEPT_EXTRA,
                                          IOCTL_SET_LIFT_DISTANCE, IOCTL_SAVE_SETTINGS}));
  EXPECT_EQ(clock.Pauses(), (Pauses{500, 1, 100}));
  EXPECT_TRUE(timers.Running(CMyWnd::kTimerId));
  EXPECT_EQ(tray.Messages().back(), (StandInWindow::Message{UM_TRAY_DEVICE_ARRIVED, 0, 0}));

  // A second connect without a disconnect: only the tray, the timer and the lift distance.
  clock.ClearPauses();
  Standard(kEventConnect);
  codes.clear();
  for (auto& [c, in] : Sent(*device)) codes.push_back(c);
  EXPECT_EQ(codes, (std::vector<uint32_t>{IOCTL_SET_LIFT_DISTANCE, IOCTL_SAVE_SETTINGS}));
  EXPECT_EQ(clock.Pauses(), (Pauses{500, 100}));
}

TEST_F(AgentTest, ResumeDetachesAndTheNextTickAttachesAgain) {
  StartAgent();
  Message(WM_TIMER, CMyWnd::kTimerId, 0);  // the first tick announces the attached mode
  EXPECT_EQ(Sent(*device), (Requests{{IOCTL_SET_DEVICE_MODE, {2, 0}}}));
  EXPECT_TRUE(agent->attachedModeSent());
  clock.ClearPauses();
  Message(WM_TIMER, CMyWnd::kTimerId, 0);  // later ticks do not
  EXPECT_TRUE(device->Take().empty());
  EXPECT_EQ(Message(WM_POWERBROADCAST, 7, 0), 1);
  EXPECT_EQ(Sent(*device), (Requests{{IOCTL_SET_DEVICE_MODE, {1, 0}},
                                     {IOCTL_SET_LIFT_DISTANCE, {0, 0}},
                                     {IOCTL_SAVE_SETTINGS, {}}}));
  EXPECT_FALSE(agent->attachedModeSent());
  Message(WM_TIMER, CMyWnd::kTimerId, 0);
  EXPECT_EQ(Sent(*device), (Requests{{IOCTL_SET_DEVICE_MODE, {2, 0}}}));
  EXPECT_EQ(clock.Pauses(), (Pauses{500, 100, 50}));
  Message(WM_POWERBROADCAST, 4, 0);  // suspending: nothing
  EXPECT_TRUE(device->Take().empty());
}

TEST_F(AgentTest, DeviceModeIsTriedTenTimesTwoHundredMillisecondsApart) {
  StartAgent();
  device->failures[IOCTL_SET_DEVICE_MODE] = 3;
  EXPECT_EQ(agent->settings().SetDeviceMode(true), 1);
  EXPECT_EQ(device->Take().size(), 4u);
  EXPECT_EQ(clock.Pauses(), (Pauses{200, 200, 200}));
  clock.ClearPauses();
  device->alwaysFail.insert(IOCTL_SET_DEVICE_MODE);
  EXPECT_EQ(Message(UM_SET_DEVICE_MODE, 0, 0), 0);
  EXPECT_EQ(device->Take().size(), 10u);
  EXPECT_EQ(clock.Pauses(), Pauses(10, 200));
}

TEST_F(AgentTest, ReloadPushesWhatChangedAndReapplies) {
  StartAgent();
  WriteConfig([](ProfileSet& s) {
    s.profiles[0].ledColor = 0x00FF00;
    s.profiles[0].dpiStep = 3;  // as the mouse has it
    s.profiles[0].ledIntensity = 4;
    s.profiles[0].ledPulsation = 1;
    s.pollingRate = 2;
  });
  EXPECT_EQ(Message(UM_RELOAD_PROFILES, 0, 0), 1);
  EXPECT_EQ(Sent(*device), (Requests{
                               {IOCTL_SET_DPI_STEP, {3}},
                               {IOCTL_GET_DPI_STEP, {0}},
                               {IOCTL_SET_LED_COLOR, {0x00, 0xFF, 0x00}},
                               {IOCTL_SET_POLLING_RATE, {2}},
                               {IOCTL_SAVE_SETTINGS, {}},
                               {IOCTL_SET_SENSITIVITY_ENABLE, {1}},
                               {IOCTL_SET_SENSITIVITY_X, Le32(10)},
                               {IOCTL_SET_SENSITIVITY_Y, Le32(10)},
                               {IOCTL_SET_INTERCEPT_MASK, Le32(0xFFE0)},
                               {IOCTL_SET_INTERCEPT_EXTRA, {0}},
                           }));
  EXPECT_EQ(clock.Pauses(), (Pauses{500, 100, 10, 200, 100}));
  EXPECT_EQ(agent->currentSet().pollingRate, 2);

  // lParam 1: the profiles did not change; only the wait.
  clock.ClearPauses();
  EXPECT_EQ(Message(UM_RELOAD_PROFILES, 0, 1), 1);
  EXPECT_TRUE(device->Take().empty());
  EXPECT_EQ(clock.Pauses(), (Pauses{500}));
}

TEST_F(AgentTest, LiftDistanceByMode) {
  StartAgent();
  struct Case {
    WParam value;
    LParam mode;
    Requests expected;
    int stored;
  } cases[] = {
      {2, 0, {{IOCTL_SET_LIFT_DISTANCE, {1, 0}}, {IOCTL_SAVE_SETTINGS, {}}}, 2},
      {3, 1, {{IOCTL_SET_LIFT_DISTANCE, {2, 0}}}, 2},  // a trial: nothing stored
      {3, 2, {{IOCTL_SAVE_SETTINGS, {}}}, 3},
      {1, 0, {{IOCTL_SET_LIFT_DISTANCE, {0, 0}}, {IOCTL_SAVE_SETTINGS, {}}}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Message(UM_SET_LIFT_DISTANCE, c.value, c.mode), 1);
    EXPECT_EQ(Sent(*device), c.expected) << c.value << "," << c.mode;
    EXPECT_EQ(agent->currentSet().liftDistance, c.stored);
    EXPECT_EQ(agent->previousSet().liftDistance, c.stored);
    EXPECT_EQ(agent->stagingSet().liftDistance, c.stored);
  }
  device->failures[IOCTL_SET_LIFT_DISTANCE] = 1;  // the mouse refuses
  EXPECT_EQ(Message(UM_SET_LIFT_DISTANCE, 2, 0), 0);
  EXPECT_EQ(agent->currentSet().liftDistance, 1);
  device->failures[IOCTL_SAVE_SETTINGS] = 1;
  EXPECT_EQ(Message(UM_SET_LIFT_DISTANCE, 2, 0), 0);
  EXPECT_EQ(agent->currentSet().liftDistance, 1);
  device->Take();
  // Any other distance is the default one: code 0, and the sets keep the default's value.
  agent->currentSet().liftDistance = 3;
  for (WParam other : {WParam{0}, WParam{4}, WParam{0x102}, ~WParam{0}}) {
    EXPECT_EQ(Message(UM_SET_LIFT_DISTANCE, other, 0), 1) << other;
    EXPECT_EQ(Sent(*device), (Requests{{IOCTL_SET_LIFT_DISTANCE, {0, 0}}, {IOCTL_SAVE_SETTINGS, {}}})) << other;
    EXPECT_EQ(agent->currentSet().liftDistance, 1) << other;
    EXPECT_EQ(agent->stagingSet().liftDistance, 1) << other;
    agent->currentSet().liftDistance = 3;
  }
  EXPECT_EQ(Message(UM_SET_LIFT_DISTANCE, 5, 1), 1);  // a trial of another value
  EXPECT_EQ(Sent(*device), (Requests{{IOCTL_SET_LIFT_DISTANCE, {0, 0}}}));
  // Modes other than 0-2 stay refused.
  for (auto [w, l] : {std::pair<WParam, LParam>{2, 3}, {2, -1}, {0, 3}})
    EXPECT_EQ(Message(UM_SET_LIFT_DISTANCE, w, l), 0);
  EXPECT_TRUE(device->Take().empty());
}

TEST_F(AgentTest, PollingRateIsStoredSentAndSavedWhenItChanges) {
  StartAgent();
  EXPECT_EQ(Message(UM_SET_POLLING_RATE, 2, 0), 1);
  EXPECT_EQ(Sent(*device), (Requests{{IOCTL_SET_POLLING_RATE, {2}}, {IOCTL_SAVE_SETTINGS, {}}}));
  EXPECT_EQ(clock.Pauses(), (Pauses{10, 200}));
  EXPECT_EQ(agent->currentSet().pollingRate, 2);
  EXPECT_EQ(agent->previousSet().pollingRate, 1);
  EXPECT_EQ(Message(UM_SET_POLLING_RATE, 2, 0), 1);  // the same rate: nothing
  EXPECT_TRUE(device->Take().empty());
  for (WParam bad : {WParam{0}, WParam{4}, WParam{0x102}}) EXPECT_EQ(Message(UM_SET_POLLING_RATE, bad, 0), 0);
  EXPECT_TRUE(device->Take().empty());
  EXPECT_EQ(agent->currentSet().pollingRate, 2);
}

TEST_F(AgentTest, SensitivityStepsAtBothEnds) {
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  struct Case {
    std::vector<uint8_t> reads;  // what the mouse answers (0 and 9: no step a mouse holds); empty: the read fails
    bool up;
    int sent;  // 0: nothing sent
  } cases[] = {
      {{6}, false, 0}, {{1}, true, 0}, {{3}, true, 2}, {{3}, false, 4},
      {{0}, true, 1},  {{0}, false, 2}, {{9}, true, 5}, {{9}, false, 6},
  };
  for (const Case& c : cases) {
    device->answers[IOCTL_GET_DPI_STEP] = c.reads;
    int result = c.up ? agent->settings().DpiUp() : agent->settings().DpiDown();
    Requests sent = Sent(*device);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].first, IOCTL_GET_DPI_STEP);
    if (c.sent == 0) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(sent.size(), 1u);
    } else {
      EXPECT_EQ(result, 1);
      ASSERT_EQ(sent.size(), 2u);
      EXPECT_EQ(sent[1], (std::pair<uint32_t, std::vector<uint8_t>>{IOCTL_SET_DPI_STEP, {uint8_t(c.sent)}}));
      EXPECT_EQ(panel.Messages().back(), (StandInWindow::Message{UM_DPI_CHANGED, WParam(c.sent), 0}));
    }
  }
}

TEST_F(AgentTest, AnUnreadableMouseStepsFromTheLastStepOrFromTheEnds) {
  StartAgent();
  device->alwaysFail.insert(IOCTL_GET_DPI_STEP);
  EXPECT_EQ(agent->settings().DpiDown(), 1);  // nothing known yet: towards 6 from 5
  EXPECT_EQ(Sent(*device).back().second, std::vector<uint8_t>{6});
  EXPECT_EQ(agent->settings().DpiDown(), 0);  // from the last step set, 6
  EXPECT_EQ(agent->settings().DpiUp(), 1);
  EXPECT_EQ(Sent(*device).back().second, std::vector<uint8_t>{5});
  agent.reset();
  device->alwaysFail.clear();
  ASSERT_TRUE(device->Mouse(IOCTL_SET_DPI_STEP, {3}));
  StartAgent();  // reads step 3 from the mouse
  device->alwaysFail.insert(IOCTL_GET_DPI_STEP);
  EXPECT_EQ(agent->settings().DpiUp(), 1);  // nothing known yet: towards 1 from 2
  EXPECT_EQ(Sent(*device).back().second, std::vector<uint8_t>{1});
  // The step is recorded in Config.xml, while the profile in memory keeps its own.
  auto loaded = std::make_unique<ProfileSet>();
  LoadProfileSet(ConfigPath(), *loaded);
  EXPECT_EQ(loaded->profiles[0].dpiStep, 1);
  EXPECT_EQ(agent->currentSet().profiles[0].dpiStep, 3);
}

TEST_F(AgentTest, InterceptMasks) {
  struct Case {
    std::vector<std::pair<int, int>> codes;  // logical button, code
    int gameMode;
    uint32_t mask;
  } cases[] = {
      {{{0, 1}, {1, 7}, {2, 101}, {7, 4}, {8, 5}}, 0, 0xFFFA},
      {{{0, 1}, {1, 2}, {2, 6}, {7, 5}, {8, 4}}, 0, 0xFFE0},
      {{{0, 2}, {1, 1}, {2, 9}, {7, 1}, {8, 1}}, 0, 0xFFFF},
      {{{0, 1}, {1, 2}, {2, 6}, {7, 5}, {8, 4}}, 1, 0xFF00},
  };
  StartAgent();
  for (const Case& c : cases) {
    WriteConfig([&](ProfileSet& s) {
      for (auto [b, code] : c.codes) s.profiles[0].buttons[b].code = code;
      s.gameMode = c.gameMode;
    });
    Message(UM_RELOAD_PROFILES, 0, 0);
    Requests sent = Sent(*device);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2], (std::pair<uint32_t, std::vector<uint8_t>>{IOCTL_SET_INTERCEPT_MASK,
                                                                                Le32(c.mask)}));
    EXPECT_EQ(sent.back(), (std::pair<uint32_t, std::vector<uint8_t>>{IOCTL_SET_INTERCEPT_EXTRA, {0}}));
  }
}

TEST_F(AgentTest, ApplyingAProfileSetsThePointerValues) {
  struct Case {
    int doubleClick, sensitivity, scroll, x;
    int appliedDoubleClick, appliedSpeed, appliedLines;
    uint32_t sentX;
  } cases[] = {
      {100, 0, 0, 25, 500, 5, 5, 18},
      {950, 20, 18, 18, 950, 20, 18, 18},
      {150, 1, 1, 1, 150, 1, 1, 1},
      {951, 7, 3, -1, 500, 7, 3, 18},
  };
  StartAgent();
  for (const Case& c : cases) {
    Profile& p = agent->currentSet().profiles[0];
    p.doubleClickSpeed = c.doubleClick;
    p.sensitivity = c.sensitivity;
    p.scrollSpeed = c.scroll;
    p.advanceSensitivityX = c.x;
    agent->settings().ApplyActiveProfile();
    EXPECT_EQ(desktop.doubleClick.back(), c.appliedDoubleClick);
    EXPECT_EQ(desktop.mouseSpeed.back(), c.appliedSpeed);
    EXPECT_EQ(desktop.wheelLines.back(), c.appliedLines);
    Requests sent = Sent(*device);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[1], (std::pair<uint32_t, std::vector<uint8_t>>{IOCTL_SET_SENSITIVITY_X, Le32(c.sentX)}));
  }
  // With no device the system settings still change and nothing goes to the driver.
  device->alive = false;
  agent->currentSet().profiles[0].doubleClickSpeed = 300;
  agent->settings().ApplyActiveProfile();
  EXPECT_EQ(desktop.doubleClick.back(), 300);
  EXPECT_TRUE(device->Take().empty());
}

TEST_F(AgentTest, SelectingProfilesPersistsAppliesPushesAndTellsThePanel) {
  StandInWindow panel(kPanelWindowTitle);
  WriteConfig([](ProfileSet& s) {
    s.profiles[3].ledColor = 0x123456;
    s.profiles[3].doubleClickSpeed = 700;
    for (Profile& p : s.profiles) p.dpiStep = 3;  // the step the mouse is told, and reads back
  });
  StartAgent();
  panel.Clear();
  EXPECT_EQ(Message(UM_SELECT_PROFILE, 3, 0), 1);
  EXPECT_EQ(agent->currentSet().profileId, 3);
  EXPECT_EQ(agent->previousSet().profileId, 0);
  EXPECT_EQ(desktop.doubleClick.back(), 700);
  auto loaded = std::make_unique<ProfileSet>();
  LoadProfileSet(ConfigPath(), *loaded);
  EXPECT_EQ(loaded->profileId, 3);
  Requests sent = Sent(*device);
  EXPECT_NE(std::find(sent.begin(), sent.end(),
                      std::pair<uint32_t, std::vector<uint8_t>>{IOCTL_SET_LED_COLOR, {0x56, 0x34, 0x12}}),
            sent.end());
  // The step the mouse reports after the switch is posted; the switch itself is sent.
  EXPECT_EQ(panel.Messages(), (std::vector<StandInWindow::Message>{{UM_PROFILE_CHANGED, 3, 0}, {UM_DPI_CHANGED, 3, 3}}));

  // Nor is a value whose low 32 bits alone would be an index, in either parameter.
  for (auto [bad, lParam] : {std::pair<WParam, LParam>{10, 0}, {0xFFFFFFFF, 0}, {(WParam{1} << 32) + 5, 0}, {~WParam{0}, 0},
                             {5, LParam{1} << 32}, {5, -1}}) {
    EXPECT_EQ(Message(UM_SELECT_PROFILE, bad, lParam), 0);
    EXPECT_EQ(agent->currentSet().profileId, 3);
  }
  // A step beyond the last profile stays there, and still applies and notifies.
  agent->settings().SelectProfile(9);
  panel.Clear();
  agent->settings().ProfileStep(+1);
  EXPECT_EQ(agent->currentSet().profileId, 9);
  EXPECT_EQ(panel.Messages(), (std::vector<StandInWindow::Message>{{UM_PROFILE_CHANGED, 9, 0}, {UM_DPI_CHANGED, 3, 9}}));
  agent->settings().SelectProfile(0);
  agent->settings().ProfileStep(-1);
  EXPECT_EQ(agent->currentSet().profileId, 0);
}

TEST_F(AgentTest, TheMemorySizeGoesBackToThePanel) {
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  panel.Clear();
  EXPECT_EQ(Message(UM_QUERY_MEMORY_SIZE), 1);
  EXPECT_EQ(panel.Messages(), (std::vector<StandInWindow::Message>{{UM_MEMORY_SIZE, 0, 8192}}));
}

TEST_F(AgentTest, TheControlInterfaceAnswersTheLastClientWithOutcomeCodes) {
  StandInWindow first(u"client one"), second(u"client two");
  StartAgent();
  uint32_t attach = agent->attachMessage(), discover = agent->discoverMessage();
  EXPECT_NE(attach, discover);
  EXPECT_EQ(bus::RegisterMessage(u"'Zr4ControlAPIAttach'"), attach);
  bus::Send(agent->handle(), discover, first.handle, 0);
  EXPECT_EQ(first.Messages(), (std::vector<StandInWindow::Message>{{attach, agent->handle(), 1}}));
  bus::Send(agent->handle(), discover, second.handle, 0);
  struct Case {
    WParam command;
    LParam value;
    LParam outcome;
  } cases[] = {{1, -1, 2}, {2, 4, 3}, {3, 0, 4}, {4, -1, 5}, {5, -1, 6}, {6, -1, 7}, {2, 12, 17}, {2, -1, 17}};
  for (const Case& c : cases) {
    second.received.clear();
    bus::Send(agent->handle(), attach, c.command, c.value);
    EXPECT_EQ(second.Messages(), (std::vector<StandInWindow::Message>{{attach, agent->handle(), c.outcome}}))
        << "command " << c.command << " value " << c.value;
  }
  EXPECT_EQ(agent->currentSet().profileId, 4);
  EXPECT_EQ(first.Messages().size(), 1u);  // every later answer went to the second client
  second.received.clear();
  bus::Send(agent->handle(), attach, 7, 0);  // not a command
  // Values whose low 32 bits alone would be valid: nothing is done, nothing answered.
  bus::Send(agent->handle(), attach, 2, (LParam{1} << 32) + 3);
  bus::Send(agent->handle(), attach, (WParam{1} << 32) + 2, 3);
  bus::Send(agent->handle(), discover, (WParam{1} << 32) + first.handle, 0);
  EXPECT_TRUE(second.Messages().empty());
  EXPECT_EQ(first.Messages().size(), 1u);
  EXPECT_EQ(agent->currentSet().profileId, 4);

  device->alive = false;  // closed: the failure codes, and the profile stays
  for (WParam command = 1; command <= 6; ++command) bus::Send(agent->handle(), attach, command, command == 2 ? 1 : -1);
  std::vector<LParam> outcomes;
  for (auto& m : second.Messages()) outcomes.push_back(m.l);
  EXPECT_EQ(outcomes, (std::vector<LParam>{16, 17, 18, 19, 20, 21}));
  EXPECT_EQ(agent->currentSet().profileId, 4);
}

TEST_F(AgentTest, SessionEndClosesTheWindowInOrder) {
  CMyWnd& a = StartAgent();
  bool ended = false;
  a.onDestroyed = [&] { ended = true; };
  Message(WM_TIMER, CMyWnd::kTimerId, 0);
  device->Take();
  EXPECT_EQ(Message(WM_QUERYENDSESSION), 1);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(timers.Running(CMyWnd::kTimerId));
  EXPECT_EQ(Sent(*device), (Requests{{IOCTL_SET_DEVICE_MODE, {1, 0}},
                                     {IOCTL_SET_INTERCEPT_MASK, Le32(0)},
                                     {IOCTL_UNREGISTER, {}}}));
  EXPECT_EQ(bus::FindWindow(kAgentWindowTitle), 0u);
}

TEST_F(AgentTest, SessionConnectOpensAndDisconnectCloses) {
  StartAgent();
  EXPECT_EQ(Message(WM_WTSSESSION_CHANGE, 2, 0), 0);
  EXPECT_EQ(Sent(*device), (Requests{{IOCTL_SET_INTERCEPT_MASK, Le32(0)}, {IOCTL_UNREGISTER, {}}}));
  EXPECT_FALSE(agent->driver().IsOpen());
  EXPECT_EQ(Message(WM_WTSSESSION_CHANGE, 1, 0), 0);
  EXPECT_TRUE(agent->driver().IsOpen());
  EXPECT_EQ(device->openings, 2);
  EXPECT_EQ(desktop.launched.size(), 2u);
}

TEST_F(AgentTest, TheEventThreadPostsEachReportToTheWindow) {
  StandInWindow panel(kPanelWindowTitle);
  WriteConfig([](ProfileSet& s) { s.profiles[0].buttons[5].code = 501; });  // logical 5 = id 1024
  StartAgent();
  device->PushEvent(0x10000001);  // extra button 1024 down
  device->PushEvent(0x10000000);  // and up
  device->PushEvent(kEventConnect);
  bus::PumpFor(3000, [&] { return input.Inputs().size() >= 2 && agent->driver().connectCount() == 1; });
  auto inputs = input.Inputs();
  ASSERT_GE(inputs.size(), 2u);
  EXPECT_EQ(inputs[0].virtualKey, 'C');
  EXPECT_EQ(inputs[0].flags, 0u);
  EXPECT_EQ(inputs[1].flags, 2u);
  EXPECT_EQ(agent->driver().connectCount(), 1);
}

TEST_F(AgentTest, AStormOfReportsIsBoundedByTheSemaphore) {
  StartAgent();
  // Ask the event thread for nothing while the storm arrives: the semaphore stops at 100.
  device->alive = false;
  int taken = 0;
  for (int i = 0; i < 150; ++i) taken += agent->driver().semaphore().Release(1) ? 1 : 0;
  EXPECT_LE(taken, 150);
  EXPECT_LE(agent->driver().semaphore().Count(), 100);
  agent.reset();  // ends cleanly with releases pending
}

}  // namespace
}  // namespace orv::test
