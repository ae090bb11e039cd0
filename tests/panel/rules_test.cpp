#include <sys/stat.h>

#include <cstring>
#include <numeric>

#include "profile/settings_files.h"
#include "tests/panel/rules_fixture.h"

namespace orv {
namespace {

using test::RulesTest;
using test::FakeAgent;
using test::SentMessage;
using test::SpecialFile;
using test::U;

TEST_F(RulesTest, ApplySavesTheSetTellsTheAgentAndDisablesItself) {
  view.applyEnabled = true;
  working().profiles[0].buttons[6].code = 501;
  rules->ApplyButton();
  EXPECT_FALSE(view.applyEnabled);
  EXPECT_EQ(Code(*OnDisk(), 0, 6), 501);
  EXPECT_EQ(CompareProfileSets(working(), saved(), false), 0u);
  EXPECT_EQ(Reloads(), (std::vector<SentMessage>{{false, UM_RELOAD_PROFILES, 0, 0}}));
  EXPECT_TRUE(services.Notices().empty());

  // Nothing changed since: nothing written, nothing sent.
  const std::string before = test::ReadFile(ConfigPath());
  rules->ApplyButton();
  EXPECT_EQ(Reloads().size(), 1u);
  EXPECT_EQ(store->saves, 1);
  EXPECT_EQ(test::ReadFile(ConfigPath()), before);
}

TEST_F(RulesTest, ASaveThatFailsLosesNothing) {
  // The registry values cannot be written: a folder stands where their file goes.
  ASSERT_EQ(::mkdir((dir.path() + "/Registry.ini").c_str(), 0700), 0);
  const std::string before = test::ReadFile(ConfigPath());
  working().profiles[0].buttons[6].code = 501;
  working().profiles[3].dpiStep = 2;
  rules->ApplyButton();
  EXPECT_EQ(Code(working(), 0, 6), 501);
  EXPECT_EQ(working().profiles[3].dpiStep, 2);
  EXPECT_NE(Code(saved(), 0, 6), 501);
  EXPECT_TRUE(sets->Differ());
  EXPECT_TRUE(view.applyEnabled);
  EXPECT_TRUE(Reloads().empty());
  EXPECT_EQ(services.Notices(), (std::vector<std::u16string>{std::u16string(kSaveFailedMessage)}));
  EXPECT_EQ(test::ReadFile(ConfigPath()), before);
}

TEST_F(RulesTest, EveryPathThatSavesKeepsTheEditsWhenTheSaveFails) {
  struct Case {
    const char* what;
    std::function<void()> act;
    bool closes;
  } cases[] = {
      {"OK", [&] { rules->OkButton(); }, false},
      {"Apply", [&] { rules->ApplyButton(); }, false},
      {"switching with yes", [&] { services.answers = {1}; rules->ProfileClicked(4); }, false},
      {"Restore", [&] { services.answers = {1}; rules->Restore(); }, false},
  };
  for (const Case& c : cases) {
    SetUp();
    store->failSaves = true;
    working().profiles[0].buttons[6].code = 501;
    c.act();
    EXPECT_TRUE(view.applyEnabled) << c.what;
    EXPECT_TRUE(sets->Differ()) << c.what;
    EXPECT_NE(Code(saved(), 0, 6), 501) << c.what;
    EXPECT_TRUE(Reloads().empty()) << c.what;
    EXPECT_EQ(services.Notices().size(), 1u) << c.what;
    EXPECT_EQ(view.closes, c.closes ? 1 : 0) << c.what;
  }
  // Switching keeps the edits and still switches.
  EXPECT_EQ(working().profileId, 0);
}

TEST_F(RulesTest, OkSlidesTheAssignmentsInAppliesAndCloses) {
  working().profiles[0].buttons[2].code = 9;
  rules->OkButton();
  EXPECT_EQ(view.slideIns, 1);
  EXPECT_EQ(view.closes, 1);
  EXPECT_EQ(Code(*OnDisk(), 0, 2), 9);
  EXPECT_EQ(Reloads().size(), 1u);
}

TEST_F(RulesTest, SwitchingWithUnsavedEditsAndAnsweringNoDropsTheEditsOfEveryProfile) {
  working().profiles[0].buttons[1].code = 9;
  working().profiles[7].buttons[4].code = 501;
  CopyText(working().profiles[5].profileName, u"Edited");
  services.answers = {2};
  rules->ProfileClicked(3);
  EXPECT_EQ(services.questions, (std::vector<std::u16string>{std::u16string(kSaveQuestion)}));
  EXPECT_EQ(working().profileId, 3);
  working().profileId = saved().profileId;
  EXPECT_EQ(CompareProfileSets(working(), saved(), false), 0u);
  EXPECT_TRUE(view.applyEnabled);
  EXPECT_EQ(store->saves, 0);
  EXPECT_TRUE(Reloads().empty());
}

TEST_F(RulesTest, SwitchingWithUnsavedEditsAndAnsweringYesSavesThem) {
  working().profiles[7].buttons[4].code = 501;
  services.answers = {1};
  rules->ProfileClicked(3);
  EXPECT_EQ(Code(*OnDisk(), 7, 4), 501);
  EXPECT_EQ(OnDisk()->profileId, 0);  // the new active profile reaches the agent on Apply
  EXPECT_EQ(Reloads(), (std::vector<SentMessage>{{false, UM_RELOAD_PROFILES, 0, 0}}));
  EXPECT_EQ(working().profileId, 3);
}

TEST_F(RulesTest, SwitchingWithoutEditsAsksNothing) {
  rules->ProfileClicked(0);  // the active one: nothing changes
  EXPECT_FALSE(view.applyEnabled);
  rules->ProfileClicked(6);
  EXPECT_TRUE(view.applyEnabled);
  rules->ProfileClicked(2);  // only the index differs from savedSet: still no question
  EXPECT_TRUE(services.questions.empty());
  EXPECT_EQ(working().profileId, 2);
  rules->ProfileClicked(10);  // no such button
  EXPECT_EQ(working().profileId, 2);
}

TEST_F(RulesTest, TheButtonMenuStoresRowPlusOneButRowSixGivesNine) {
  const int expected[7] = {1, 2, 3, 4, 5, 6, 9};
  for (int row = 0; row < 7; ++row) {
    working().profiles[0].buttons[5].code = 501;
    view.applyEnabled = false;
    assignments->ButtonMenuPick(row, 5);
    EXPECT_EQ(Code(working(), 0, 5), expected[row]) << row;
    EXPECT_TRUE(view.applyEnabled) << row;
  }
  EXPECT_EQ(view.menuCloses, 7);
  // The function the button already has changes nothing.
  view.applyEnabled = false;
  assignments->ButtonMenuPick(6, 5);
  EXPECT_FALSE(view.applyEnabled);
  // Rows and labels outside the menu are ignored.
  assignments->ButtonMenuPick(7, 5);
  assignments->ButtonMenuPick(0, 14);
  EXPECT_EQ(Code(working(), 0, 5), 9);
}

TEST_F(RulesTest, DroppingAProfileOnItselfDoesNothingAndOnAnotherAsksAndCopiesIt) {
  CopyText(working().profiles[2].profileName, u"Three");
  working().profiles[2].buttons[6].code = 501;
  rules->DropProfile(2, 2);
  EXPECT_TRUE(services.questions.empty());

  services.answers = {2};
  rules->DropProfile(2, 4);
  EXPECT_EQ(services.questions.back(), u"Copy profile 5 over with profile 3?");
  EXPECT_NE(Code(working(), 4, 6), 501);
  EXPECT_FALSE(view.applyEnabled);

  services.answers = {1};
  rules->DropProfile(2, 4);
  EXPECT_EQ(std::memcmp(&working().profiles[4], &working().profiles[2], sizeof(Profile)), 0);
  EXPECT_TRUE(view.applyEnabled);
  EXPECT_EQ(services.questions.size(), 2u);
  rules->DropProfile(2, 12);
  EXPECT_EQ(services.questions.size(), 2u);
}

TEST_F(RulesTest, AFunctionDroppedOnALabelIsStoredInTheActiveProfile) {
  working().profileId = 1;
  assignments->DropFunction(501, 16 + 6);
  EXPECT_EQ(Code(working(), 1, 6), 501);
  EXPECT_TRUE(view.applyEnabled);
  EXPECT_GT(view.refreshes, 0);
  // Outside the labels, or not a function at all: nothing.
  for (auto [code, index] : {std::pair{501, 15}, {501, 30}, {7, 20}, {1201, 20}, {9, 20}}) {
    assignments->DropFunction(code, index);
  }
  for (int b = 0; b < kButtonCount; ++b) EXPECT_EQ(Code(working(), 1, b), b == 6 ? 501 : kDefaultButtonCodes[b]);
}

// Every way of assigning goes through one rule: the catalogue's codes at their bounds, labels
// outside the fourteen, and what Apply and the view get.
TEST_F(RulesTest, AnAssignmentStoresACatalogueCodeForALabelOfTheActiveProfile) {
  working().profileId = 4;
  struct Case {
    int label, code;
    bool taken;
  } cases[] = {
      {0, 1, true},      {13, 9, true},    {2, 16, true},     {2, 23, true},    {2, 32, true},
      {2, 43, true},     {2, 80, true},    {2, 82, true},     {2, 101, true},   {2, 1000, true},
      {2, 1049, true},   {2, 0, false},    {2, 7, false},     {2, 10, false},   {2, 1050, false},
      {2, 1200, false},  {2, -1, false},   {-1, 501, false},  {14, 501, false},
  };
  for (const Case& c : cases) {
    const int before = c.label >= 0 && c.label < kButtonCount ? Code(working(), 4, c.label) : 0;
    view.applyEnabled = false;
    const int refreshes = view.refreshes;
    const std::optional<int> stored = assignments->Assign(c.label, c.code);
    EXPECT_EQ(stored.has_value(), c.taken) << c.label << " " << c.code;
    if (c.taken) {
      EXPECT_EQ(Code(working(), 4, c.label), c.code) << c.code;
      EXPECT_EQ(view.applyEnabled, before != c.code) << c.code;
      // The function the button has already changes nothing, not even the view.
      EXPECT_EQ(view.refreshes, refreshes + (before != c.code ? 1 : 0)) << c.code;
    } else {
      if (c.label >= 0 && c.label < kButtonCount) {
        EXPECT_EQ(Code(working(), 4, c.label), before) << c.code;
      }
      EXPECT_FALSE(view.applyEnabled) << c.label << " " << c.code;
      EXPECT_EQ(view.refreshes, refreshes) << c.label << " " << c.code;
    }
  }
  // Only the active profile of workingSet changes; savedSet stays what Config.xml holds.
  for (int p = 0; p < kProfileCount; ++p) {
    if (p == 4) continue;
    EXPECT_EQ(std::memcmp(working().profiles[p].buttons, saved().profiles[p].buttons, sizeof(saved().profiles[p].buttons)), 0)
        << p;
  }
  EXPECT_EQ(Code(saved(), 4, 2), kDefaultButtonCodes[2]);
}

TEST_F(RulesTest, GameModeSelectsNoLabelAndEnablesApply) {
  view.selected = 4;
  rules->GameModeLatched(true);
  EXPECT_EQ(working().gameMode, 1);
  EXPECT_EQ(view.selected, -1);
  EXPECT_TRUE(view.applyEnabled);
  rules->GameModeLatched(false);
  EXPECT_EQ(working().gameMode, 0);
}

TEST_F(RulesTest, ThePollingRateIsWrittenAtOnceWithoutApply) {
  struct Case {
    int command, rate;
  } cases[] = {{ID_RATE_250, 3}, {ID_RATE_500, 2}, {ID_RATE_1000, 1}};
  for (const Case& c : cases) {
    device->SetPollingRate(c.command);
    EXPECT_EQ(working().pollingRate, c.rate);
    EXPECT_EQ(saved().pollingRate, c.rate);
    EXPECT_EQ(ReadConfigValue(conf, ConfigValue::PollingRate), c.rate);
    EXPECT_EQ(OnDisk()->pollingRate, c.rate);
    EXPECT_EQ(agent.Messages().back(), (SentMessage{true, UM_SET_POLLING_RATE, static_cast<WParam>(c.rate), 0}));
    EXPECT_EQ(DeviceChanges::PollingRateCommand(c.rate), c.command);
  }
  EXPECT_EQ(store->saves, 0);
  EXPECT_TRUE(Reloads().empty());
  // An agent that does not answer gets the rate queued as well, to set it once it runs.
  agent.hung = true;
  device->SetPollingRate(ID_RATE_500);
  EXPECT_EQ(OnDisk()->pollingRate, 2);
  const auto sent = agent.Messages();
  EXPECT_EQ(std::vector<SentMessage>(sent.end() - 2, sent.end()),
            (std::vector<SentMessage>{{true, UM_SET_POLLING_RATE, 2, 0}, {false, UM_SET_POLLING_RATE, 2, 0}}));
  agent.hung = false;
  // Config.xml that cannot take it: savedSet keeps what the file holds, so Apply saves it.
  store->failValues = true;
  device->SetPollingRate(ID_RATE_250);
  EXPECT_EQ(saved().pollingRate, 2);
  EXPECT_TRUE(sets->Differ());
  EXPECT_TRUE(view.applyEnabled);
}

TEST_F(RulesTest, TheLiftDistanceIsTriedAndKeptOnlyWhenConfirmed) {
  struct Case {
    const char* what;
    int warningFlag;
    std::deque<int> warningAnswers;
    bool pipe;
    std::deque<LResult> agentResults;
    std::deque<int> confirm;
    std::vector<SentMessage> sent;
    int kept;  // the lift distance afterwards
  } cases[] = {
      {"confirmed", 0, {1}, false, {1, 1}, {1},
       {{true, UM_SET_LIFT_DISTANCE, 3, 1}, {true, UM_SET_LIFT_DISTANCE, 3, 2}}, 3},
      {"the notice cancelled", 0, {2}, false, {}, {}, {}, 1},
      {"the notice switched off", 1, {2}, false, {1, 1}, {1},
       {{true, UM_SET_LIFT_DISTANCE, 3, 1}, {true, UM_SET_LIFT_DISTANCE, 3, 2}}, 3},
      {"the mouse refuses the trial", 1, {}, false, {0}, {}, {{true, UM_SET_LIFT_DISTANCE, 3, 1}}, 1},
      {"the countdown ends", 1, {}, false, {1}, {2},
       {{true, UM_SET_LIFT_DISTANCE, 3, 1}, {true, UM_SET_LIFT_DISTANCE, 1, 0}}, 1},
      {"the mouse refuses to keep it", 1, {}, false, {1, 0}, {1},
       {{true, UM_SET_LIFT_DISTANCE, 3, 1}, {true, UM_SET_LIFT_DISTANCE, 3, 2}, {true, UM_SET_LIFT_DISTANCE, 1, 0}}, 1},
      // An agent that stops answering still performs what reached it once it runs again: a trial
      // is followed by the value Config.xml keeps, a keep by itself (it may never have been sent).
      {"the agent stops before the trial", 1, {}, false, {FakeAgent::kNoAnswer}, {},
       {{true, UM_SET_LIFT_DISTANCE, 3, 1}, {false, UM_SET_LIFT_DISTANCE, 1, 0}}, 1},
      {"the agent stops during the question, the value kept", 1, {}, false, {1, FakeAgent::kNoAnswer}, {1},
       {{true, UM_SET_LIFT_DISTANCE, 3, 1}, {true, UM_SET_LIFT_DISTANCE, 3, 2}, {false, UM_SET_LIFT_DISTANCE, 3, 2}}, 3},
      {"the agent stops during the question, the countdown ends", 1, {}, false, {1, FakeAgent::kNoAnswer}, {2},
       {{true, UM_SET_LIFT_DISTANCE, 3, 1}, {true, UM_SET_LIFT_DISTANCE, 1, 0}, {false, UM_SET_LIFT_DISTANCE, 1, 0}}, 1},
      {"over the pipe there is no answer", 1, {}, true, {}, {1},
       {{true, UM_SET_LIFT_DISTANCE, 3, 1}, {true, UM_SET_LIFT_DISTANCE, 3, 2}}, 3},
  };
  for (const Case& c : cases) {
    SetUp();
    WriteConfigValue(conf, ConfigValue::WarningThree2OptionFlag, c.warningFlag);
    services.liftWarningAnswers = c.warningAnswers;
    agent.pipe = c.pipe;
    agent.sendResults = c.agentResults;
    services.answers = c.confirm;
    EXPECT_EQ(device->ChangeLiftDistance(ID_LIFT_LOWEST), c.kept == 3) << c.what;
    EXPECT_EQ(services.liftWarnings, c.warningFlag == 0 ? 1 : 0) << c.what;
    EXPECT_EQ(agent.Messages(), c.sent) << c.what;
    EXPECT_EQ(working().liftDistance, c.kept) << c.what;
    EXPECT_EQ(saved().liftDistance, c.kept) << c.what;
    EXPECT_EQ(OnDisk()->liftDistance, c.kept) << c.what;
    if (!c.confirm.empty()) {
      EXPECT_EQ(services.questions, (std::vector<std::u16string>{std::u16string(kLiftDistanceQuestion)})) << c.what;
      EXPECT_EQ(services.questionTitles.back(), kLiftDistanceConfirmTitle) << c.what;
    }
  }
  // A trial that timed out asks nothing: the question would outlast what the mouse does.
  SetUp();
  WriteConfigValue(conf, ConfigValue::WarningThree2OptionFlag, 1);
  agent.hung = true;
  EXPECT_FALSE(device->ChangeLiftDistance(ID_LIFT_LOWER));
  EXPECT_TRUE(services.questions.empty());
  EXPECT_EQ(agent.Messages().back(), (SentMessage{false, UM_SET_LIFT_DISTANCE, 1, 0}));
  EXPECT_EQ(DeviceChanges::LiftDistanceCommand(2), ID_LIFT_LOWER);
  EXPECT_EQ(DeviceChanges::LiftDistanceCommand(0), ID_LIFT_DEFAULT);
}

TEST_F(RulesTest, TheMacroWarningSwitchTogglesTheFlag) {
  EXPECT_TRUE(device->MacroWarningChecked());
  device->ToggleMacroWarning();
  EXPECT_EQ(ReadConfigValue(conf, ConfigValue::WarningOptionFlag), 1);
  EXPECT_FALSE(device->MacroWarningChecked());
  device->ToggleMacroWarning();
  EXPECT_TRUE(device->MacroWarningChecked());
}

TEST_F(RulesTest, RestoreGivesTheActiveProfileItsDefaultsAndSavesIt) {
  working().profileId = saved().profileId = 4;
  Profile& p = working().profiles[4];
  p.buttons[0].code = 501;
  CopyText(p.macros[2].name, u"Old");
  p.ledColor = 3;
  CopyText(p.profileName, u"Mine");
  working().liftDistance = saved().liftDistance = 3;
  WriteConfigValue(conf, ConfigValue::LiftDistance, 3);
  view.selected = 2;

  services.answers = {2};
  rules->Restore();
  EXPECT_EQ(Code(working(), 4, 0), 501);

  services.answers = {1};
  rules->Restore();
  EXPECT_EQ(services.questions.back(), texts.restoreProfileWarning);
  for (int b = 0; b < kButtonCount; ++b) EXPECT_EQ(Code(working(), 4, b), kDefaultButtonCodes[b]) << b;
  EXPECT_EQ(FieldText(working().profiles[4].profileName), u"Default 5");
  EXPECT_TRUE(FieldText(working().profiles[4].macros[2].name).empty());
  EXPECT_EQ(working().liftDistance, 1);
  EXPECT_EQ(saved().liftDistance, 1);
  EXPECT_EQ(OnDisk()->liftDistance, 1);
  EXPECT_EQ(FieldText(OnDisk()->profiles[4].profileName), u"Default 5");
  EXPECT_EQ(agent.Messages().front(), (SentMessage{true, UM_SET_LIFT_DISTANCE, 1, 0}));
  EXPECT_EQ(Reloads().size(), 1u);
  EXPECT_EQ(view.selected, -1);
}

TEST_F(RulesTest, ImportAsksFirstWhenThereAreEditsAndReadsOnlyProfiles) {
  // An export of a profile whose seventh button carries 501.
  auto other = std::make_unique<ProfileSet>(saved());
  other->profiles[0].buttons[6].code = 501;
  CopyText(other->profiles[0].profileName, u"Imported");
  const std::string good = dir.path() + "/Profile/good.xml";
  ASSERT_TRUE(ExportProfile(good, *other));
  const std::string picture = dir.path() + "/Profile/picture.xml";
  test::WriteFile(picture, std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11) + std::string(4000, '\x55'));
  const std::string other_xml = dir.path() + "/Profile/other.xml";
  test::WriteFile(other_xml, "<?xml version=\"1.0\"?><html><body>hello</body></html>");
  const std::string huge = dir.path() + "/Profile/huge.xml";
  {
    std::string big = "<root><PROFILE_NAME>x</PROFILE_NAME>";
    big.resize(kMaxProfileFileSize + 10, ' ');
    test::WriteFile(huge, big + "</root>");
  }

  // Edits: the question comes first, and "no" opens no dialog.
  working().profiles[0].buttons[0].code = 9;
  services.answers = {2};
  services.paths = {good};
  rules->Import();
  EXPECT_EQ(services.questions.size(), 1u);
  EXPECT_TRUE(services.openRequests.empty());

  // A whole Config.xml (its root holds PROFILE_1 ...) and a FIFO are no profiles either.
  const std::string fifo = dir.path() + "/Profile/fifo.xml";
  ASSERT_TRUE(test::MakeSpecialFile(fifo, SpecialFile::kFifo, 0));
  for (const std::string& bad : {picture, other_xml, huge, ConfigPath(), fifo}) {
    services.answers = {1};
    services.paths = {bad};
    EXPECT_TRUE(test::FinishesWithin(1000, [&] { rules->Import(); }, bad)) << bad;
    EXPECT_EQ(Code(working(), 0, 0), 9) << bad;
    EXPECT_EQ(services.Notices().back(), kNotAProfileMessage) << bad;
  }
  const size_t notices = services.Notices().size();
  // A file that does not exist, or a cancelled dialog: nothing.
  services.answers = {1, 1};
  services.paths = {dir.path() + "/Profile/missing.xml", std::nullopt};
  rules->Import();
  rules->Import();
  EXPECT_EQ(services.Notices().size(), notices);

  services.answers = {1};
  services.paths = {good};
  rules->Import();
  EXPECT_EQ(Code(working(), 0, 6), 501);
  EXPECT_EQ(Code(working(), 0, 0), kDefaultButtonCodes[0]);
  EXPECT_EQ(FieldText(working().profiles[0].profileName), u"Imported");
  EXPECT_TRUE(view.applyEnabled);
  const FileDialogRequest& request = services.openRequests.back();
  EXPECT_EQ(request.folder, dir.path() + "/Profile/");
  EXPECT_EQ(request.fileName, u"*.xml");
  EXPECT_EQ(request.filter, u"Configure File(*.xml)|*.xml|");
  EXPECT_EQ(request.defaultExtension, u".xml");
}

TEST_F(RulesTest, ExportProposesTheProfileNameAndSaysWhenItCannotWrite) {
  CopyText(working().profiles[0].profileName, u"Raid night");
  working().profiles[0].buttons[6].code = 501;
  const std::string target = dir.path() + "/Profile/raid.xml";
  services.paths = {target};
  rules->Export();
  EXPECT_EQ(services.saveRequests.back().fileName, u"Raid night");
  EXPECT_TRUE(services.saveRequests.back().overwritePrompt);
  auto back = std::make_unique<ProfileSet>(saved());
  ImportProfile(target, *back);
  EXPECT_EQ(Code(*back, 0, 6), 501);
  EXPECT_TRUE(services.Notices().empty());

  // Over a document that is no profile (its replacing confirmed in the dialog): replaced.
  const std::string page = dir.path() + "/Profile/page.xml";
  test::WriteFile(page, "<?xml version=\"1.0\"?><html><body>hello</body></html>");
  services.paths = {page};
  rules->Export();
  EXPECT_TRUE(IsProfileFile(page));
  ImportProfile(page, *back);
  EXPECT_EQ(Code(*back, 0, 6), 501);
  EXPECT_EQ(test::ReadFile(page).find("hello"), std::string::npos);
  EXPECT_TRUE(services.Notices().empty());

  ASSERT_EQ(::mkdir((dir.path() + "/locked").c_str(), 0500), 0);
  services.paths = {dir.path() + "/locked/raid.xml", dir.path() + "/no/such/folder/raid.xml"};
  rules->Export();
  rules->Export();
  // Root may write anywhere: only the missing folder is certain to fail then.
  EXPECT_GE(services.Notices().size(), 1u);
  EXPECT_EQ(services.Notices().back(), kExportFailedMessage);
}

TEST_F(RulesTest, ExitAsksOnlyWithUnsavedEditsAndCancelJustCloses) {
  rules->ExitButton();
  EXPECT_EQ(view.closes, 1);
  working().profiles[0].buttons[0].code = 9;
  services.answers = {2, 1};
  rules->ExitButton();
  EXPECT_EQ(view.closes, 1);
  rules->ExitButton();
  EXPECT_EQ(view.closes, 2);
  rules->CancelButton();
  EXPECT_EQ(view.closes, 3);
  EXPECT_EQ(store->saves, 0);
}

TEST_F(RulesTest, TheAgentsNoticesChangeBothSets) {
  rules->DpiChanged(5, 7);
  EXPECT_EQ(working().profiles[7].dpiStep, 5);
  EXPECT_EQ(saved().profiles[7].dpiStep, 5);
  rules->ShowProfile(6);
  EXPECT_EQ(working().profileId, 6);
  EXPECT_EQ(saved().profileId, 6);
  EXPECT_FALSE(sets->Differ());

  // Values no agent sends are ignored.
  for (auto [step, profile] : {std::pair{0, 1}, {7, 1}, {3, -1}, {3, 10}}) rules->DpiChanged(step, profile);
  rules->ShowProfile(10);
  rules->ShowProfile(-1);
  EXPECT_EQ(working().profileId, 6);
  for (int i = 0; i < kProfileCount; ++i) EXPECT_EQ(working().profiles[i].dpiStep, i == 7 ? 5 : saved().profiles[i].dpiStep);

  // The agent rewrote Config.xml: both sets are read again.
  auto rewritten = std::make_unique<ProfileSet>(saved());
  rewritten->profiles[2].buttons[3].code = 603;
  ASSERT_TRUE(test::ReadFile(ConfigPath()).size() > 0);
  test::WriteFile(ConfigPath(), NewConfigDocument(*rewritten));
  rules->ProfileChanged(2, false);
  EXPECT_NE(Code(working(), 2, 3), 603);
  rules->ProfileChanged(2, true);
  EXPECT_EQ(Code(working(), 2, 3), 603);
  EXPECT_EQ(Code(saved(), 2, 3), 603);
  EXPECT_EQ(working().profileId, 2);

  rules->MemorySize(8192);
  EXPECT_EQ(rules->gauge().capacity, 8192);
  EXPECT_GT(view.gaugeRedraws, 0);
}

// Config.xml damaged, deleted or replaced by something else, then the agent's reload: the sets
// the panel holds are the user's profiles, so they stay, and the next Apply writes them back
// (a damaged file kept as Config.xml.broken).
TEST_F(RulesTest, AReloadThatCannotReadConfigXmlKeepsTheSetsAndApplyWritesThemBack) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> spoil;
    bool kept;  // a Config.xml.broken afterwards
  } cases[] = {
      {"deleted", [](const std::string& p) { std::remove(p.c_str()); }, false},
      {"damaged", [](const std::string& p) { test::WriteFile(p, test::ReadFile(p).substr(0, 5000)); }, true},
      {"random bytes", [](const std::string& p) { test::WriteFile(p, std::string(3000, '\x9C')); }, true},
      {"a FIFO",
       [](const std::string& p) {
         std::remove(p.c_str());
         test::MakeSpecialFile(p, SpecialFile::kFifo, 0);
       },
       false},
  };
  for (const Case& c : cases) {
    SetUp();
    // The user's profiles: an edit applied, and one not applied yet.
    working().profiles[3].buttons[2].code = 603;
    rules->ApplyButton();
    working().profiles[1].buttons[0].code = 9;
    ASSERT_EQ(Code(*OnDisk(), 3, 2), 603) << c.what;
    c.spoil(ConfigPath());
    view.applyEnabled = false;
    EXPECT_TRUE(test::FinishesWithin(1000, [&] { rules->ProfileChanged(2, true); }, ConfigPath())) << c.what;
    EXPECT_EQ(Code(working(), 3, 2), 603) << c.what;
    EXPECT_EQ(Code(saved(), 3, 2), 603) << c.what;
    EXPECT_EQ(Code(working(), 1, 0), 9) << c.what;
    EXPECT_EQ(working().profileId, 2) << c.what;  // the profile the agent named is shown all the same
    EXPECT_TRUE(view.applyEnabled) << c.what;
    const size_t reloads = Reloads().size();
    if (std::string(c.what) == "a FIFO") {
      // Nothing replaces a FIFO: Apply says the settings could not be saved and keeps them.
      rules->ApplyButton();
      EXPECT_EQ(services.Notices().back(), kSaveFailedMessage) << c.what;
      EXPECT_EQ(Code(working(), 3, 2), 603) << c.what;
      continue;
    }
    // Apply writes them back even when nothing was edited since.
    working().profiles[1].buttons[0].code = saved().profiles[1].buttons[0].code;
    rules->ApplyButton();
    EXPECT_EQ(Code(*OnDisk(), 3, 2), 603) << c.what;
    EXPECT_EQ(OnDisk()->profileId, 2) << c.what;
    EXPECT_EQ(Reloads().size(), reloads + 1) << c.what;
    EXPECT_EQ(std::filesystem::exists(ConfigPath() + ".broken"), c.kept) << c.what;
    EXPECT_TRUE(services.Notices().empty()) << c.what;
    // Once written, Apply has nothing to do again.
    rules->ApplyButton();
    EXPECT_EQ(Reloads().size(), reloads + 1) << c.what;
  }
  // A reload that reads the file takes it, as before.
  SetUp();
  auto rewritten = std::make_unique<ProfileSet>(saved());
  rewritten->profiles[2].buttons[3].code = 603;
  test::WriteFile(ConfigPath(), NewConfigDocument(*rewritten));
  rules->ProfileChanged(0, true);
  EXPECT_EQ(Code(working(), 2, 3), 603);
}

TEST_F(RulesTest, AHandEditedCodeOutsideTheTableIsReportedOnEachRecount) {
  working().profiles[0].buttons[3].code = 7;
  working().profiles[0].buttons[8].code = 999;
  rules->Refresh();
  EXPECT_EQ(services.boxes, (std::vector<std::u16string>{u"NO define Function", u"NO define Function"}));
  EXPECT_EQ(view.refreshes, 1);
}

TEST_F(RulesTest, TheUserGuideOpensBesideTheProgramsOrTellsOfTheMissingReader) {
  rules->OpenUserGuide();
  EXPECT_EQ(services.documents, (std::vector<std::string>{dir.path() + "/bin/User_Guide.pdf"}));
  EXPECT_TRUE(services.Notices().empty());
  services.documentOpens = false;
  rules->OpenUserGuide();
  EXPECT_EQ(services.Notices(), (std::vector<std::u16string>{
                                    u"Please download and install the free Adobe Reader  to read the user guide."}));
}

TEST(FormatTwoNumbersTest, TakesTheFirstTwoNumbersAndLeavesTheRest) {
  EXPECT_EQ(FormatTwoNumbers(u"Replace %d with %d?", 5, 3), u"Replace 5 with 3?");
  EXPECT_EQ(FormatTwoNumbers(u"%d%% of %d, %d, %s", 1, 2), u"1% of 2, %d, %s");
  EXPECT_EQ(FormatTwoNumbers(u"no numbers %", 1, 2), u"no numbers %");
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

using test::RulesTest;
using test::SentMessage;

TEST_F(RulesTest, InitialisationTellsTheTrayProgramOnceAndAsksForTheMemorySize) {
  rules->DialogInitialised();
  EXPECT_TRUE(view.applyEnabled);
  EXPECT_EQ(ReadConfigValue(conf, ConfigValue::TrayIconFlag), 1);
  ASSERT_EQ(agent.windowPosts.size(), 1u);
  EXPECT_EQ(agent.windowPosts[0].first, kTrayWindowTitle);
  EXPECT_EQ(agent.windowPosts[0].second, (SentMessage{false, UM_TRAY_ICON_FLAG_SET, 0, 0}));
  EXPECT_EQ(agent.Messages(), (std::vector<SentMessage>{{false, UM_QUERY_MEMORY_SIZE, 0, 0}}));
  rules->DialogInitialised();
  EXPECT_EQ(agent.windowPosts.size(), 1u);
  EXPECT_EQ(agent.Messages().size(), 2u);
}

// Config.xml as a user may leave it: missing, unreadable, or edited by hand with anything.
TEST_F(RulesTest, AnyConfigXmlLoadsAsDefaultsWhereItCannotBeReadAndApplyStillSaves) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> make;
  } cases[] = {
      {"missing", [](const std::string& p) { std::remove(p.c_str()); }},
      {"a folder", [](const std::string& p) { std::remove(p.c_str()); ::mkdir(p.c_str(), 0700); }},
      {"empty", [](const std::string& p) { test::WriteFile(p, ""); }},
      {"a picture", [](const std::string& p) { test::WriteFile(p, std::string("GIF89a\x01\0\x01\0\0\0\0;", 13)); }},
      {"cut short", [](const std::string& p) { test::WriteFile(p, test::ReadFile(p).substr(0, 3000)); }},
      {"numbers out of range",
       [](const std::string& p) {
         test::WriteFile(p, "<root><PROFILE_ID>77</PROFILE_ID><POLLING_RATE>-4</POLLING_RATE>"
                            "<PROFILE_1><BUTTON_3>99999</BUTTON_3><DPI_VALUE>x</DPI_VALUE></PROFILE_1></root>");
       }},
      {"a FIFO", [](const std::string& p) { std::remove(p.c_str()); test::MakeSpecialFile(p, SpecialFile::kFifo, 0); }},
      {"a link to a device",
       [](const std::string& p) { std::remove(p.c_str()); test::MakeSpecialFile(p, SpecialFile::kDeviceLink, 0); }},
      {"over its bound",
       [](const std::string& p) {
         std::remove(p.c_str());
         test::MakeSpecialFile(p, SpecialFile::kOverBound, kMaxConfigFileSize);
       }},
      {"random bytes",
       [](const std::string& p) {
         std::string junk;
         for (int i = 0; i < 5000; ++i) junk.push_back(static_cast<char>((i * 7919) % 251));
         test::WriteFile(p, junk);
       }},
  };
  auto defaults = std::make_unique<ProfileSet>();
  ResetProfileSet(*defaults);
  ValidateProfileSet(*defaults);
  for (const Case& c : cases) {
    SetUp();
    c.make(ConfigPath());
    EXPECT_TRUE(test::FinishesWithin(1000, [&] { rules->Load(); }, ConfigPath())) << c.what;
    rules->Refresh();
    EXPECT_EQ(working().profileId, 0) << c.what;
    EXPECT_EQ(working().pollingRate, defaults->pollingRate) << c.what;
    for (int b = 0; b < kButtonCount; ++b) EXPECT_EQ(Code(working(), 0, b), kDefaultButtonCodes[b]) << c.what;
    EXPECT_TRUE(services.boxes.empty()) << c.what;
    EXPECT_FALSE(sets->Differ()) << c.what;
    // An edit applied over it: a folder in the file's place cannot be replaced, anything else is.
    working().profiles[0].buttons[6].code = 501;
    rules->ApplyButton();
    // Nothing but a regular file is replaced; the user is told and keeps the edit.
    if (std::string(c.what) == "a folder" || std::string(c.what) == "a FIFO" ||
        std::string(c.what) == "a link to a device") {
      EXPECT_EQ(services.Notices().back(), kSaveFailedMessage) << c.what;
      EXPECT_EQ(Code(working(), 0, 6), 501) << c.what;
      continue;
    }
    EXPECT_EQ(Code(*OnDisk(), 0, 6), 501) << c.what;
    EXPECT_TRUE(services.Notices().empty()) << c.what;
  }
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

using test::RulesTest;

// A Config.xml edited by hand that lacks elements: the update skips them, so the store writes
// the file anew rather than report a save that did not arrive, and keeps the old one beside it.
TEST_F(RulesTest, AConfigXmlMissingElementsIsWrittenAnewAndTheOldOneKept) {
  const std::string lacking =
      "<root><PROFILE_ID>0</PROFILE_ID><PROFILE_1><BUTTON_3>3,6,</BUTTON_3></PROFILE_1>"
      "<WARNINGFOUR_OPTION_FLAG>1</WARNINGFOUR_OPTION_FLAG><PROFILE_CHAGED>4,1,</PROFILE_CHAGED></root>";
  test::WriteFile(ConfigPath(), lacking);
  rules->Load();
  working().profiles[0].buttons[6].code = 501;
  working().profiles[9].dpiStep = 4;
  rules->ApplyButton();
  EXPECT_TRUE(services.Notices().empty());
  EXPECT_EQ(Code(*OnDisk(), 0, 6), 501);
  EXPECT_EQ(OnDisk()->profiles[9].dpiStep, 4);
  EXPECT_EQ(test::ReadFile(ConfigPath() + ".broken"), lacking);
  EXPECT_EQ(ReadConfigValue(conf, ConfigValue::WarningFourOptionFlag), 1);
  int index = -1, switched = -1;
  ReadAutoSwitchState(conf, index, switched);
  EXPECT_EQ(index, 4);
  EXPECT_EQ(switched, 1);
  // A complete file is updated in place and nothing is set aside.
  std::remove((ConfigPath() + ".broken").c_str());
  working().profiles[0].buttons[6].code = 9;
  rules->ApplyButton();
  EXPECT_EQ(Code(*OnDisk(), 0, 6), 9);
  EXPECT_FALSE(std::filesystem::exists(ConfigPath() + ".broken"));
}

}  // namespace
}  // namespace orv

namespace orv::test {
namespace {

// Deleting a macro: the buttons holding it are switched off, the macros after it move down a
// slot with the buttons holding them, the last slot is freed; Apply is enabled.
TEST_F(RulesTest, ADeletedMacroSwitchesItsButtonsOffAndTheLaterOnesMoveDown) {
  std::vector<int> fifty(kMacroCount), firstFortyNine(kMacroCount - 1);
  std::iota(fifty.begin(), fifty.end(), 0);
  std::iota(firstFortyNine.begin(), firstFortyNine.end(), 0);
  struct Case {
    const char* what;
    std::vector<int> named;  // slots holding macros, named after their slot
    int deleted;
    std::vector<int> codesBefore, codesAfter;  // buttons 0.. of the active profile
    std::vector<int> namedAfter;               // the slots' original numbers, in slot order
    bool taken;
  } cases[] = {
      {"four macros, the second deleted", {0, 1, 2, 3}, 1, {1001, 1002, 1003, 1000, 1001, 501},
       {9, 1001, 1002, 1000, 9, 501}, {0, 2, 3}, true},
      {"the only macro", {0}, 0, {1000, 1000, 2}, {9, 9, 2}, {}, true},
      {"the last of fifty", fifty, 49, {1049, 1048}, {9, 1048}, firstFortyNine, true},
      {"a free slot", {0, 1}, 5, {1000, 1001}, {1000, 1001}, {0, 1}, false},
      {"past the slots", {0}, 50, {1000}, {1000}, {0}, false},
      {"before them", {0}, -1, {1000}, {1000}, {0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Profile& p = sets->activeWorking();
    for (Macro& m : p.macros) m = Macro{};
    for (int k : c.named) {
      CopyText(p.macros[k].name, U("Macro " + std::to_string(k)));
      p.macros[k].loopCount = k;  // the record moves whole
    }
    for (size_t b = 0; b < c.codesBefore.size(); ++b) p.buttons[b].code = c.codesBefore[b];
    view.applyEnabled = false;
    EXPECT_EQ(assignments->DeleteMacro(c.deleted), c.taken);
    EXPECT_EQ(view.applyEnabled, c.taken);
    for (size_t b = 0; b < c.codesAfter.size(); ++b) EXPECT_EQ(p.buttons[b].code, c.codesAfter[b]) << b;
    EXPECT_EQ(assignments->MacroCount(), static_cast<int>(c.namedAfter.size()));
    for (size_t k = 0; k < c.namedAfter.size(); ++k) {
      EXPECT_EQ(FieldText(p.macros[k].name), U("Macro " + std::to_string(c.namedAfter[k]))) << k;
      EXPECT_EQ(p.macros[k].loopCount, c.namedAfter[k]) << k;
    }
    for (size_t k = c.namedAfter.size(); k < static_cast<size_t>(kMacroCount); ++k) {
      EXPECT_TRUE(FieldText(p.macros[k].name).empty()) << k;
      EXPECT_EQ(p.macros[k].loopCount, 0) << k;
    }
  }
}

TEST(FolderOfCode, EachCodeOpensTheFolderThatOffersIt) {
  const std::pair<int, FunctionFolder> cases[] = {
      {16, FunctionFolder::kPointerSpeeds}, {23, FunctionFolder::kPointerSpeeds}, {32, FunctionFolder::kProfiles},
      {41, FunctionFolder::kProfiles},      {43, FunctionFolder::kProfiles},      {101, FunctionFolder::kGameCommands},
      {352, FunctionFolder::kGameCommands}, {709, FunctionFolder::kGameCommands}, {1000, FunctionFolder::kMacros},
      {1049, FunctionFolder::kMacros},      {1, FunctionFolder::kNone},           {9, FunctionFolder::kNone},
      {11, FunctionFolder::kNone},          {80, FunctionFolder::kNone},          {24, FunctionFolder::kNone},
      {115, FunctionFolder::kNone},         {710, FunctionFolder::kNone},         {1050, FunctionFolder::kNone},
      {0, FunctionFolder::kNone},           {-1, FunctionFolder::kNone},
  };
  for (auto [code, folder] : cases) EXPECT_EQ(FolderOfCode(code), folder) << code;
}

}  // namespace
}  // namespace orv::test
