// The main window and the progress window as widgets, offscreen, over the product's own skin
// and a configuration folder of their own; a person, the agent and the timers are played.
#include "panel/main/main_window.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QMimeData>
#include <QHelpEvent>
#include <QTest>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "base/files.h"
#include "link/messages.h"
#include "panel/progress_dialog.h"
#include "profile/profile_files.h"
#include "skin/bitmap_button.h"
#include "skin/skin_timer.h"
#include "tests/panel/panel_fakes.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using test::SentMessage;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    ::setenv("ORV_BUS_DIR", (dir / "bus").c_str(), 1);
    MakeFolders(dir / "bus");
    startup.programFolder = std::string(ORV_PROGRAM_DIR) + "/";
    startup.confFolder = dir / "Conf/";
    startup.profileFolder = dir / "Profile/";
    MakeFolders(startup.confFolder);
    test::WriteFile(startup.confFolder + "Config.xml", test::ReadFile(startup.programFolder + "Config.xml"));
  }
  void TearDown() override {
    window.reset();
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("ORV_BUS_DIR");
  }
  CAPDlg& Open() {
    window = std::make_unique<CAPDlg>(startup, CAPDlg::Options{&services, &agent, {}, nullptr});
    window->show();
    return *window;
  }
  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  bool ApplyEnabled() { return window->Control(QStringLiteral("BUTTON_APPLY"))->isEnabled(); }

  test::TempDir dir;
  PanelStartup startup;
  test::FakeServices services;
  test::FakeAgent agent;
  std::unique_ptr<CAPDlg> window;
};

TEST_F(MainWindowTest, Function501DroppedOnTheSeventhLabelIsStoredRelabelledAndEnablesApply) {
  CAPDlg& w = Open();
  w.rules().ApplyButton();  // Apply starts enabled; make it off to see the drop turn it on
  ASSERT_FALSE(ApplyEnabled());
  CBitmapBtn* seventh = w.Label(6);
  ASSERT_NE(seventh, nullptr);
  QMimeData data;
  data.setText(QStringLiteral("501"));
  EXPECT_EQ(seventh->OnDragOver(&data), Qt::CopyAction);
  EXPECT_TRUE(seventh->OnDrop(&data));
  Settle();
  EXPECT_EQ(w.sets().workingSet.profiles[0].buttons[6].code, 501);
  EXPECT_EQ(w.LabelText(6), u"Toggle Character Pane");
  EXPECT_EQ(seventh->caption, QStringLiteral("Toggle Character Pane"));
  EXPECT_TRUE(ApplyEnabled());
  // Only the seventh changed.
  EXPECT_EQ(w.sets().workingSet.profiles[0].buttons[5].code, w.sets().savedSet.profiles[0].buttons[5].code);
}

TEST_F(MainWindowTest, StartUpShowsTheProfilesAsksForTheMemorySizeAndDrawsTheGauge) {
  CAPDlg& w = Open();
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_EQ(agent.Messages(), (std::vector<SentMessage>{{false, UM_QUERY_MEMORY_SIZE, 0, 0}}));
  EXPECT_EQ(w.windowTitle().toStdU16String(), kPanelWindowTitle);
  EXPECT_TRUE(w.ProfileButton(0)->latched());
  EXPECT_FALSE(w.ProfileButton(1)->latched());
  EXPECT_EQ(w.ProfileButton(2)->caption, QStringLiteral("Profile 3"));
  EXPECT_FALSE(w.mask().isEmpty());  // shaped by its outline
  // The default profile needs 23 units of 4096: the bar barely starts, the text says 1 %.
  EXPECT_EQ(w.rules().gauge().units, 23);
  EXPECT_EQ(w.rules().gauge().Text(), u"   1%");
  w.rules().MemorySize(46);
  const QImage half = w.Compose();
  EXPECT_EQ(half.pixelColor(100, 262), QColor(255, 186, 0));
  EXPECT_EQ(half.pixelColor(150, 262), QColor(0, 0, 0));
}

// A FIFO in Config.xml's place (nothing writes to it): the window opens with the defaults, the
// agent's reload keeps what it shows, and an export onto it says it could not write; nothing
// waits on the FIFO.
TEST_F(MainWindowTest, AFifoAsConfigXmlStopsNothing) {
  const std::string config = startup.confFolder + "Config.xml";
  std::filesystem::remove(config);
  ASSERT_TRUE(test::MakeSpecialFile(config, test::SpecialFile::kFifo, 0));
  ASSERT_TRUE(test::FinishesHereWithin(5000, [&] { Open(); }, config)) << "the window waited on the FIFO";
  CAPDlg& w = *window;
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.sets().workingSet.profiles[0].buttons[6].code, kDefaultButtonCodes[6]);
  w.sets().workingSet.profiles[0].buttons[6].code = 501;
  EXPECT_TRUE(test::FinishesHereWithin(1000, [&] { w.HandleMessage(UM_PROFILE_CHANGED, 0, 1); }, config));
  EXPECT_EQ(w.sets().workingSet.profiles[0].buttons[6].code, 501);
  services.paths = {config};
  EXPECT_TRUE(test::FinishesHereWithin(1000, [&] { w.OnCommand(ID_FILE_EXPORT); }, config));
  EXPECT_EQ(services.Notices(), (std::vector<std::u16string>{std::u16string(kExportFailedMessage)}));
  struct stat st {};
  EXPECT_TRUE(::lstat(config.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
}

// What reaches the editor windows: a label clicked or right-clicked, the mouse's own button
// pressed while the panel is in front, the drawer tabs, and the drawers' slide messages.
TEST_F(MainWindowTest, ClicksTabsAndSlideMessagesReachTheEditors) {
  test::FakeEditors editors;
  window = std::make_unique<CAPDlg>(startup, CAPDlg::Options{&services, &agent, editors.Windows(), nullptr});
  window->show();
  CAPDlg& w = *window;
  EXPECT_EQ(editors.Taken(),
            (std::vector<std::string>{"assignments Create", "properties Create", "illumination Create"}));
  struct Case {
    const char* what;
    std::function<void()> act;
    std::vector<std::string> calls;
  } cases[] = {
      {"a label clicked", [&] { QTest::mouseClick(w.Label(3), Qt::LeftButton); }, {"assignments EditButton 3"}},
      {"the mouse's seventh button pressed", [&] { w.HandleMessage(UM_BUTTON_EVENT, 6, 1); },
       {"assignments EditButton 6"}},
      {"and released", [&] { w.HandleMessage(UM_BUTTON_EVENT, 6, 0); }, {}},
      {"a label right-clicked", [&] { QTest::mouseClick(w.Label(5), Qt::RightButton); },
       {"assignments Retarget 5", "buttonMenu Open 5"}},
      {"the assignments tab (no label edited then)", [&] { w.OnButton(QStringLiteral("BUTTON_ASSIGNMENTS")); },
       {"assignments Retarget -1", "assignments Toggle"}},
      {"the properties tab", [&] { w.OnButton(QStringLiteral("BUTTON_MOUSE_PROPERTIES")); }, {"properties SlideOut"}},
      {"the illumination tab", [&] { w.OnButton(QStringLiteral("BUTTON_ILLUMINATION")); },
       {"illumination SlideOut"}},
      {"the assignment drawer out", [&] { w.HandleMessage(UM_SLIDE_DONE, 0, kSlideAssignmentsOut); },
       {"assignments SlideDone out"}},
      {"the properties drawer in", [&] { w.HandleMessage(UM_SLIDE_DONE, 0, kSlidePropertiesIn); },
       {"properties SlideDone in"}},
      {"the illumination drawer out", [&] { w.HandleMessage(UM_SLIDE_DONE, 0, kSlideIlluminationOut); },
       {"illumination SlideDone out"}},
      {"a drawer's close button", [&] { w.HandleMessage(UM_SLIDE_CLOSE, 0, kSlideIlluminationIn); },
       {"illumination SlideIn"}},
      {"another's", [&] { w.HandleMessage(UM_SLIDE_CLOSE, 0, kSlidePropertiesIn); }, {"properties SlideIn"}},
      {"an \"out\" code is no close", [&] { w.HandleMessage(UM_SLIDE_CLOSE, 0, kSlidePropertiesOut); }, {}},
      {"File > Edit", [&] { w.OnCommand(ID_FILE_EDIT); }, {"gameList Edit"}},
      {"the character button", [&] { w.OnButton(QStringLiteral("BUTTON_ARMORY")); }, {"character Open"}},
  };
  for (const Case& c : cases) {
    c.act();
    Settle();
    EXPECT_EQ(editors.Taken(), c.calls) << c.what;
  }
  // The button menu opens under its label, which is selected then (the assignments tab after it
  // cleared the selection, with no drawer to edit it in).
  EXPECT_EQ(w.selectedLabel(), -1);
  QTest::mouseClick(w.Label(5), Qt::RightButton);
  EXPECT_EQ(w.selectedLabel(), 5);
  editors.Taken();
  EXPECT_EQ(editors.menuUnder, QRect(w.Label(5)->mapToGlobal(QPoint(0, 0)), w.Label(5)->size()));
  // OK slides the assignment drawer in when there is one.
  editors.assignments.exists = true;
  w.OnButton(QStringLiteral("BUTTON_OK"));
  Settle();
  const std::vector<std::string> calls = editors.Taken();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "assignments SlideIn"), calls.end());
  window.reset();
  EXPECT_EQ(editors.Taken(),
            (std::vector<std::string>{"assignments Destroy", "properties Destroy", "illumination Destroy"}));
}

TEST_F(MainWindowTest, TheAreaCaptionsAndTheTabCaptionsAreDrawn) {
  CAPDlg& w = Open();
  // The drawer tabs and the character button carry their tooltips as captions, each in its layout.
  struct Tab {
    const char* key;
    bool CBitmapBtn::*layout;
  };
  const Tab tabs[] = {{"BUTTON_MOUSE_PROPERTIES", &CBitmapBtn::rotateUp},
                      {"BUTTON_ILLUMINATION", &CBitmapBtn::centreBold},
                      {"BUTTON_ASSIGNMENTS", &CBitmapBtn::rotateDown},
                      {"BUTTON_ARMORY", &CBitmapBtn::light}};
  for (const Tab& tab : tabs) {
    CBitmapBtn* b = w.Control(QString::fromLatin1(tab.key));
    ASSERT_NE(b, nullptr) << tab.key;
    EXPECT_TRUE(b->*tab.layout) << tab.key;
    EXPECT_FALSE(b->caption.isEmpty()) << tab.key;
    EXPECT_EQ(b->caption, b->tooltipText()) << tab.key;
  }
  // The captions of the in-game mode and profile areas are drawn in gold where Strings.xml puts
  // them; the picture has none there.
  const QImage composed = w.Compose();
  const QImage& background = w.skin().images.normal;
  auto goldPixelsNear = [&](const SkinTextEntry& e, bool centred) {
    int gold = 0;
    const int left = centred ? e.x - 40 : e.x;
    for (int y = e.y; y < e.y + 14; ++y)
      for (int x = left; x < left + 80; ++x)
        if (composed.pixelColor(x, y) != background.pixelColor(x, y) && composed.pixelColor(x, y).red() > 200) ++gold;
    return gold;
  };
  const SkinTextEntry gameMode = w.skin().Text(QStringLiteral("IN_GAME_MODE_TEXT"));
  const SkinTextEntry profiles = w.skin().Text(QStringLiteral("PROFILE"));
  ASSERT_FALSE(gameMode.text.isEmpty());
  ASSERT_FALSE(profiles.text.isEmpty());
  EXPECT_GT(goldPixelsNear(gameMode, false), 20);
  EXPECT_GT(goldPixelsNear(profiles, true), 20);
}

TEST_F(MainWindowTest, TheWindowIsFoundByItsTitleAndTheAgentsNoticesReachIt) {
  CAPDlg& w = Open();
  const WindowHandle found = bus::FindWindow(kPanelWindowTitle);
  ASSERT_NE(found, 0u);
  EXPECT_EQ(found, w.BusWindow::windowHandle());
  ASSERT_TRUE(bus::Post(found, UM_SELECT_PROFILE, 4, 0));
  ASSERT_TRUE(bus::Post(found, UM_DPI_CHANGED, 2, 4));
  ASSERT_TRUE(bus::Post(found, UM_BUTTON_EVENT, 9, 1));
  bus::PumpFor(200, [&] { return w.selectedLabel() == 9; });
  EXPECT_TRUE(w.ProfileButton(4)->latched());
  EXPECT_EQ(w.sets().savedSet.profileId, 4);
  EXPECT_EQ(w.sets().workingSet.profiles[4].dpiStep, 2);
  EXPECT_EQ(w.selectedLabel(), 9);
  EXPECT_TRUE(w.Label(9)->latched());
}

TEST_F(MainWindowTest, EnterIsSwallowedAndEscCancelsWithoutSaving) {
  CAPDlg& w = Open();
  w.sets().workingSet.profiles[0].buttons[0].code = 9;
  QTest::keyClick(&w, Qt::Key_Return);
  Settle();
  EXPECT_TRUE(w.isVisible());
  QTest::keyClick(&w, Qt::Key_Escape);
  Settle();
  EXPECT_FALSE(w.isVisible());
  auto onDisk = std::make_unique<ProfileSet>();
  LoadProfileSet(startup.confFolder + "Config.xml", *onDisk);
  EXPECT_EQ(onDisk->profiles[0].buttons[0].code, 1);
}

TEST_F(MainWindowTest, GameModeDisablesTheLabelsAndRestore) {
  CAPDlg& w = Open();
  CBitmapBtn* mode = w.Control(QStringLiteral("ENABLE_IN_GAME_MODE"));
  ASSERT_NE(mode, nullptr);
  QTest::mouseClick(mode, Qt::LeftButton);
  Settle();
  EXPECT_EQ(w.sets().workingSet.gameMode, 1);
  EXPECT_TRUE(mode->latched());
  for (int i = 0; i < kButtonCount; ++i) EXPECT_FALSE(w.Label(i)->isEnabled()) << i;
  EXPECT_FALSE(w.Control(QStringLiteral("RESTORE"))->isEnabled());
  QTest::mouseClick(mode, Qt::LeftButton);
  Settle();
  EXPECT_EQ(w.sets().workingSet.gameMode, 0);
  EXPECT_TRUE(w.Label(0)->isEnabled());
  EXPECT_TRUE(w.Control(QStringLiteral("RESTORE"))->isEnabled());
}

TEST_F(MainWindowTest, TheMenusCarryTheirItemsAndCheckMarks) {
  CAPDlg& w = Open();
  w.sets().workingSet.pollingRate = 2;
  w.sets().workingSet.liftDistance = 3;
  std::unique_ptr<QMenu> tools = w.BuildMenu(QStringLiteral("BUTTON_TOOLS_MENU"));
  std::map<int, bool> checked;
  std::function<void(QMenu*)> walk = [&](QMenu* m) {
    for (QAction* a : m->actions()) {
      if (a->menu()) walk(a->menu());
      else if (!a->isSeparator()) checked[a->data().toInt()] = a->isChecked();
    }
  };
  walk(tools.get());
  EXPECT_EQ(checked, (std::map<int, bool>{{ID_RATE_250, false}, {ID_RATE_500, true}, {ID_RATE_1000, false},
                                          {ID_LIFT_DEFAULT, false}, {ID_LIFT_LOWER, false}, {ID_LIFT_LOWEST, true},
                                          {ID_SHOW_MACRO, true}}));
  std::unique_ptr<QMenu> file = w.BuildMenu(QStringLiteral("BUTTON_FILE_MENU"));
  QStringList texts;
  for (QAction* a : file->actions()) texts << a->text();
  EXPECT_EQ(texts.size(), 4);
  EXPECT_EQ(file->actions()[3]->data().toInt(), ID_FILE_PRINT);
  // Every text comes from Menu.xml, the lift distance's sub-menu included.
  QStringList lifts;
  for (QAction* a : tools->actions())
    if (a->menu() && a->text() == QStringLiteral("Lift Distance"))
      for (QAction* item : a->menu()->actions())
        if (!item->isSeparator()) lifts << item->text();
  EXPECT_EQ(lifts, (QStringList{QStringLiteral("Default"), QStringLiteral("Lower"), QStringLiteral("Lowest")}));
  LabelBook book(startup.programFolder);
  EXPECT_EQ(book.MenuText(u"TOOLS_MENU", u"LIFT_DISTANCE"), std::optional<std::u16string>(u"Lift Distance"));
  EXPECT_EQ(book.MenuText(u"TOOLS_MENU", u"LIFT_LOWEST"), std::optional<std::u16string>(u"Lowest"));
}

TEST_F(MainWindowTest, ThePrintoutIsComposedOnTheProductsPrintPicture) {
  CAPDlg& w = Open();
  ASSERT_FALSE(w.PrintPicture().isNull());
  w.OnCommand(ID_FILE_PRINT);
  ASSERT_EQ(services.printed.size(), 1u);
  EXPECT_EQ(services.printed[0].size(), w.PrintPicture().size());
  EXPECT_NE(services.printed[0], w.PrintPicture().convertToFormat(QImage::Format_RGB32));
}

TEST_F(MainWindowTest, MissingSkinFilesEndInTheErrorBox) {
  startup.programFolder = dir / "nothing/";
  CAPApp app(CAPApp::Environment{[] { return false; }, startup.programFolder, ""});
  test::FakeServices boxes;
  const auto open = [&](const PanelStartup&) { CAPDlg w(startup, CAPDlg::Options{&services, &agent, {}, nullptr}); };
  app.RunMainWindow(open, boxes,
                    [](std::exception_ptr e, std::u16string& text) {
                      try {
                        std::rethrow_exception(e);
                      } catch (const xException& x) {
                        text = x.message().toStdU16String();
                        return true;
                      } catch (...) {
                        return false;
                      }
                    });
  EXPECT_EQ(boxes.boxes, (std::vector<std::u16string>{u"Can't open the picture for software"}));
  EXPECT_EQ(boxes.boxTitles, (std::vector<std::u16string>{u"Error"}));
}

// Timers the test moves by hand.
class ManualTimers : public SkinTimerFactory {
 public:
  class Timer : public SkinTimer {
   public:
    explicit Timer(ManualTimers& owner) : owner_(owner) { owner_.timers.push_back(this); }
    ~Timer() override { std::erase(owner_.timers, this); }
    void Start(int ms, bool) override {
      period = ms;
      active = true;
    }
    void Stop() override { active = false; }
    bool Active() const override { return active; }
    // The period ends.
    void Fire() {
      if (active && onTimeout) onTimeout();
    }
    int period = 0;
    bool active = false;

   private:
    ManualTimers& owner_;
  };
  std::unique_ptr<SkinTimer> Create() override { return std::make_unique<Timer>(*this); }
  std::vector<Timer*> timers;
};

class ProgressWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    SetSkinTimerFactory(&timers);
  }
  void TearDown() override {
    SetSkinTimerFactory(nullptr);
    MainWindowTest::TearDown();
  }
  ManualTimers timers;
};

TEST_F(ProgressWindowTest, ItIsFoundByItsTitleCreepsBetweenReportsAndClosesOneTickAfter100) {
  CPorgressDlg progress(std::string(ORV_PROGRAM_DIR) + "/", 2.0, true, services);
  progress.show();
  ASSERT_EQ(timers.timers.size(), 1u);
  EXPECT_EQ(timers.timers[0]->period, 40);
  EXPECT_FALSE(progress.mask().isEmpty());
  const WindowHandle found = bus::FindWindow(kProgressWindowTitle);
  ASSERT_EQ(found, progress.BusWindow::windowHandle());
  for (int i = 0; i < 30; ++i) progress.Advance();
  EXPECT_NEAR(progress.model().fraction(), 0.24f, 1e-4);
  // The bar on the picture ends at 16 + 222 x p.
  QImage shown = progress.Compose();
  EXPECT_EQ(shown.pixelColor(16 + 50, 40), QColor(255, 186, 0));
  EXPECT_NE(shown.pixelColor(16 + 60, 40), QColor(255, 186, 0));
  QTest::keyClick(&progress, Qt::Key_Escape);
  QTest::keyClick(&progress, Qt::Key_Return);
  Settle();
  EXPECT_TRUE(progress.isVisible());

  ASSERT_TRUE(bus::Post(found, UM_PROGRESS, 100, 0));
  bus::PumpFor(200, [&] { return progress.model().stage() == 1; });
  EXPECT_EQ(progress.model().stage(), 1);
  progress.Advance();
  Settle();
  EXPECT_FALSE(progress.isVisible());
  EXPECT_EQ(progress.result(), 1);
  EXPECT_TRUE(services.Notices().empty());
}

TEST_F(ProgressWindowTest, WithoutAReportItGivesUpAfter400TicksWithTheFailureMessage) {
  CPorgressDlg progress(std::string(ORV_PROGRAM_DIR) + "/", 1.0, false, services);
  progress.show();
  EXPECT_EQ(progress.model().stage(), 2);
  for (int i = 0; i < 400; ++i) progress.Advance();
  EXPECT_EQ(services.Notices(), (std::vector<std::u16string>{u"Failure to save macro on Board"}));
  EXPECT_TRUE(progress.isVisible());
  progress.Advance();
  Settle();
  EXPECT_FALSE(progress.isVisible());
}

TEST_F(ProgressWindowTest, AFailedReportShowsTheFailure) {
  CPorgressDlg progress(std::string(ORV_PROGRAM_DIR) + "/", 1.0, true, services);
  progress.OnProgress(100, 1);
  EXPECT_EQ(services.Notices(), (std::vector<std::u16string>{u"Failure to save macro on Board"}));
  EXPECT_FLOAT_EQ(progress.model().fraction(), 1.0f);
}

// The watch of the agent: what each outcome of a send or post makes of the state, and the
// question behind a reload that only a running agent answers.
TEST_F(ProgressWindowTest, TheAgentWatchTellsAnAnsweringAStoppedAndAMissingAgentApart) {
  AgentWatch watch(agent);
  int changes = 0;
  watch.onChange = [&] { ++changes; };
  ASSERT_EQ(timers.timers.size(), 1u);
  ManualTimers::Timer& deadline = *timers.timers[0];
  EXPECT_EQ(watch.state(), AgentState::kAnswering);

  // A reload is followed by the question, whose answer has kAnswerWaitMs to come.
  EXPECT_EQ(watch.Post(UM_RELOAD_PROFILES, 0, 0), 1);
  EXPECT_EQ(agent.Messages(), (std::vector<SentMessage>{{false, UM_RELOAD_PROFILES, 0, 0}, {false, UM_QUERY_MEMORY_SIZE, 0, 0}}));
  ASSERT_TRUE(deadline.Active());
  EXPECT_EQ(deadline.period, AgentWatch::kAnswerWaitMs);
  watch.Answered();
  EXPECT_FALSE(deadline.Active());
  EXPECT_EQ(changes, 0);
  watch.Post(UM_RELOAD_PROFILES, 0, 0);
  deadline.Fire();
  EXPECT_EQ(watch.state(), AgentState::kNotAnswering);
  EXPECT_EQ(changes, 1);
  watch.Answered();  // late, but it came
  EXPECT_EQ(watch.state(), AgentState::kAnswering);
  // The on-board write has a progress window of its own: no question behind it.
  agent.Reset();
  watch.Post(UM_RELOAD_PROFILES, 1, 0);
  EXPECT_EQ(agent.Messages().size(), 1u);
  EXPECT_FALSE(deadline.Active());

  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::function<void()> act;
    AgentState expected;
  } cases[] = {
      {"a send answered", [] {}, [&] { watch.Send(UM_SET_POLLING_RATE, 2, 0); }, AgentState::kAnswering},
      {"a send timed out", [&] { agent.hung = true; }, [&] { watch.Send(UM_SET_POLLING_RATE, 2, 0); },
       AgentState::kNotAnswering},
      {"a send to no agent", [&] { agent.present = false; }, [&] { watch.Send(UM_SET_POLLING_RATE, 2, 0); },
       AgentState::kNotRunning},
      {"a post to no agent", [&] { agent.present = false; }, [&] { watch.Post(UM_RELOAD_PROFILES, 0, 0); },
       AgentState::kNotRunning},
      {"a question unanswered", [] {}, [&] {
         watch.Post(UM_QUERY_MEMORY_SIZE, 0, 0);
         deadline.Fire();
       }, AgentState::kNotAnswering},
      {"over the pipe every send counts as answered", [&] { agent.pipe = true; },
       [&] { watch.Send(UM_SET_LIFT_DISTANCE, 2, 1); }, AgentState::kAnswering},
  };
  for (const Case& c : cases) {
    agent.Reset();
    watch.Answered();
    c.arrange();
    c.act();
    EXPECT_EQ(watch.state(), c.expected) << c.what;
    EXPECT_FALSE(AgentStateText(watch.state()).empty()) << c.what;
  }
  EXPECT_NE(AgentStateText(AgentState::kNotAnswering), AgentStateText(AgentState::kNotRunning));
}

// The gauge says it where a user looks: dimmed, with a tooltip, while the agent does not take
// what the panel saves, and as before once it answers.
TEST_F(ProgressWindowTest, TheGaugeIsDimmedAndSaysWhyWhileTheAgentDoesNotAnswer) {
  CAPDlg& w = Open();
  w.rules().MemorySize(46);
  const QColor gold(255, 186, 0);
  EXPECT_EQ(w.Compose().pixelColor(100, 262), gold);
  const auto tooltip = [&] {
    QHelpEvent help(QEvent::ToolTip, CAPDlg::GaugeRect().center(), w.mapToGlobal(CAPDlg::GaugeRect().center()));
    QApplication::sendEvent(&w, &help);
    return QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText().toStdU16String();
  };
  EXPECT_EQ(tooltip(), AgentStateText(AgentState::kAnswering));
  // The question asked at start is not answered in time.
  ManualTimers::Timer* deadline = nullptr;
  for (ManualTimers::Timer* t : timers.timers)
    if (t->active && t->period == AgentWatch::kAnswerWaitMs) deadline = t;
  ASSERT_NE(deadline, nullptr);
  deadline->Fire();
  EXPECT_EQ(w.agentWatch().state(), AgentState::kNotAnswering);
  EXPECT_NE(w.Compose().pixelColor(100, 262), gold);
  EXPECT_EQ(tooltip(), AgentStateText(AgentState::kNotAnswering));
  // Its answer comes through the window bus.
  ASSERT_TRUE(bus::Post(w.BusWindow::windowHandle(), UM_MEMORY_SIZE, 0, 46));
  bus::PumpFor(200, [&] { return w.agentWatch().state() == AgentState::kAnswering; });
  EXPECT_EQ(w.Compose().pixelColor(100, 262), gold);
  // An Apply with no agent at all.
  agent.present = false;
  w.sets().workingSet.profiles[0].buttons[6].code = 501;
  w.rules().ApplyButton();
  EXPECT_EQ(w.agentWatch().state(), AgentState::kNotRunning);
  EXPECT_EQ(tooltip(), AgentStateText(AgentState::kNotRunning));
  EXPECT_EQ(test::ReadFile(startup.confFolder + "Config.xml").empty(), false);
}

// Every message the main window takes, with values whose low 32 bits alone would be valid,
// -1, or the largest value, in either parameter: ignored before anything is acted on.
TEST_F(MainWindowTest, EveryMessageWithAValueOutsideItsRangeIsIgnored) {
  CAPDlg& w = Open();
  constexpr WParam kHigh = WParam{1} << 32;
  struct Message {
    uint32_t code;
    WParam w;
    LParam l;
  } messages[] = {
      {UM_SELECT_PROFILE, 2, 0},
      {UM_PROFILE_CHANGED, 2, 1},
      {UM_DPI_CHANGED, 4, 3},
      {UM_BUTTON_EVENT, 6, 1},
      {UM_BUTTON_MENU_PICK, 4, 1},
      {UM_MEMORY_SIZE, 0, 8192},
      {UM_DROP_PROFILE, 0, 1},
      {UM_DROP_FUNCTION, 501, kFirstLabelDropIndex + 1},
      {UM_SLIDE_DONE, 0, kSlideAssignmentsOut},
      {UM_SLIDE_CLOSE, 0, kSlideAssignmentsIn},
      {UM_REQUEST_CLOSE, 0, 0},  // last: the valid one closes the window
  };
  const auto snapshot = [&] {
    std::string s = NewConfigDocument(w.sets().workingSet) + NewConfigDocument(w.sets().savedSet);
    s += std::to_string(w.sets().workingSet.profileId) + "," + std::to_string(w.sets().savedSet.profileId) + "," +
         std::to_string(w.rules().gauge().capacity) + "," + std::to_string(w.selectedLabel()) + "," +
         std::to_string(services.questions.size()) + "," + std::to_string(agent.Messages().size()) + "," +
         std::to_string(w.isVisible());
    return s;
  };
  for (const Message& m : messages) {
    const std::pair<WParam, LParam> bad[] = {
        {kHigh + m.w, m.l}, {~WParam{0}, m.l}, {static_cast<WParam>(INT64_MAX), m.l}, {WParam{1} << 63, m.l},
        {m.w, static_cast<LParam>(kHigh) + m.l}, {m.w, -1}, {m.w, INT64_MAX}, {m.w, INT64_MIN},
    };
    for (auto [bw, bl] : bad) {
      const std::string before = snapshot();
      EXPECT_EQ(w.HandleMessage(m.code, bw, bl), 0) << std::hex << m.code << " " << bw << " " << std::dec << bl;
      Settle();
      EXPECT_EQ(snapshot(), before) << std::hex << m.code << " " << bw << " " << std::dec << bl;
    }
    // Over the window bus, as another program sends it: the same.
    EXPECT_EQ(bus::SendTimeout(w.BusWindow::windowHandle(), m.code, kHigh + m.w, m.l, 2000), 0) << std::hex << m.code;
    // The valid one is taken.
    EXPECT_EQ(w.HandleMessage(m.code, m.w, m.l), 1) << std::hex << m.code;
  }
  Settle();
  EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace orv
