// OrvMouseSim, OrvAgent and OrvPanel as real processes on a private Xvfb, the panel driven by
// XTest clicks and keys on its real windows: what a user does, end to end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "base/files.h"
#include "base/text.h"
#include "link/messages.h"
#include "link/window_bus.h"
#include "profile/profile_files.h"
#include "profile/settings_files.h"
#include "tests/platform/x11/x_client.h"
#include "tests/platform/x11/x_driver.h"
#include "tests/sim/sim_process.h"
#include "tests/test_support.h"
#include "tests/x11_server.h"

namespace orv::test {
namespace {


// A program of the product, ended when the object goes.
class Program {
 public:
  // With `asUser` (a user id) the program runs as that user, through setpriv.
  explicit Program(const char* path, int asUser = -1) {
    pid_ = ::fork();
    if (pid_ == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 0);
      ::dup2(null, 1);
      if (asUser >= 0) {
        const std::string id = std::to_string(asUser);
        ::execlp("setpriv", "setpriv", ("--reuid=" + id).c_str(), ("--regid=" + id).c_str(), "--clear-groups", path,
                 static_cast<char*>(nullptr));
      } else {
        ::execl(path, path, static_cast<char*>(nullptr));
      }
      ::_exit(127);
    }
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  bool Running() { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
  void Signal(int signal) { ::kill(pid_, signal); }

 private:
  pid_t pid_ = -1;
};

const std::string kPanelTitle = ToUtf8(kPanelWindowTitle);

class PanelProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (xvfb_.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    for (const std::string& d : {dir_ / "config", dir_ / "runtime", dir_ / "device", dir_ / "bus", dir_ / "files"})
      ::mkdir(d.c_str(), 0700);
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
    ::setenv("ORV_DEVICE_DIR", device_.c_str(), 1);
    ::setenv("ORV_BUS_DIR", (dir_ / "bus").c_str(), 1);
    ::setenv("ORV_PIPE_DIR", (dir_ / "runtime").c_str(), 1);
    ::setenv("ORV_INPUT", ("record:" + record_).c_str(), 1);
    ::setenv("ORV_TIME_SCALE", "0.02", 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    x_ = std::make_unique<XDriver>(xvfb_.display());
    ASSERT_TRUE(x_->ok());
  }
  void TearDown() override {
    panel_.reset();
    agent_.reset();
    sim_.reset();
    x_.reset();
    ::unsetenv("QT_QPA_PLATFORM");
  }
  void StartAll() {
    sim_ = std::make_unique<SimProcess>(device_);
    ASSERT_TRUE(sim_->ready());
    agent_ = std::make_unique<Program>(ORV_AGENT_PROGRAM);
    ASSERT_TRUE(WaitUntil([] { return bus::FindWindow(kAgentWindowTitle) != 0; }));
    panel_ = std::make_unique<Program>(ORV_PANEL_PROGRAM);
    main_ = x_->Find(kPanelTitle);
    ASSERT_TRUE(main_) << "the panel's window did not show";
    // Clicks go to a window that has drawn itself where it stays.
    ASSERT_TRUE(WaitUntil([&] { return x_->Brightness(main_.x + 696, main_.y + 112, 108, 48) > 0; }, 10000))
        << "the panel's window did not draw itself";
    main_ = x_->Find(kPanelTitle);
  }
  std::unique_ptr<ProfileSet> Config() {
    auto set = std::make_unique<ProfileSet>();
    LoadProfileSet(ConfFolder() + "/Config.xml", *set);
    return set;
  }
  std::string ConfFolder() { return dir_ / "config/Veltrix/Orvandel Tidefall MMO Gaming Mouse/Conf"; }
  std::string Record() { return ReadFile(record_); }

  XvfbServer xvfb_{"1600x900x24"};  // room for the whole main window and the drawer beside it
  TempDir dir_;
  std::string device_ = dir_ / "device";
  std::string record_ = dir_ / "input.rec";
  std::unique_ptr<XDriver> x_;
  std::unique_ptr<SimProcess> sim_;
  std::unique_ptr<Program> agent_, panel_;
  XWindowBox main_;
};

// The road of one edit: a profile whose seventh button carries 501 imported through the file
// dialog, applied, reloaded by the agent, and the mouse's seventh button tapping C.
TEST_F(PanelProcessTest, AnImportedProfileAppliedReachesTheAgentAndItsButtonTapsC) {
  auto exported = std::make_unique<ProfileSet>();
  ResetProfileSet(*exported);
  ValidateProfileSet(*exported);
  exported->profiles[0].buttons[6].code = 501;
  CopyText(exported->profiles[0].profileName, u"Raid");
  const std::string file = dir_ / "files/raid.xml";
  ASSERT_TRUE(ExportProfile(file, *exported));
  StartAll();
  const auto profileOne = [&] { return x_->Brightness(main_.x + 688 + 8, main_.y + 104 + 8, 108, 48); };
  ASSERT_TRUE(WaitUntil([&] { return profileOne() > 0; }, 5000)) << "the main window did not draw itself";
  const double named = profileOne();

  // File menu (its button), Import (the third item), the path typed into the open dialog.
  x_->Click(main_, 330 + 32, 20 + 13);
  ASSERT_TRUE(x_->FindPopup()) << "the File menu did not open";
  x_->Key("Down");
  x_->Key("Down");
  x_->Key("Down");
  x_->Key("Return");
  ASSERT_TRUE(WaitUntil([&] { return x_->Shown("Open") || x_->Shown("Open File"); }, 10000)) << "no file dialog";
  const XWindowBox dialog = x_->Shown("Open") ? x_->Find("Open", 0) : x_->Find("Open File", 0);
  ASSERT_TRUE(x_->WaitFocusIn(dialog)) << "the file dialog did not take the keyboard";
  x_->Type(file);
  x_->Key("Return");
  ASSERT_TRUE(WaitUntil([&] { return !x_->Shown("Open") && !x_->Shown("Open File"); }, 10000));
  // The imported profile's name replaces "Profile 1" on its button.
  ASSERT_TRUE(WaitUntil([&] { return profileOne() != named; }, 5000)) << "the import did not reach the window";

  // Apply: Config.xml holds 501 and the agent reloads it.
  // A pop-up still open (the dialog's completion list) would take the click that closes it.
  ASSERT_TRUE(WaitUntil([&] { return !x_->FindPopup(0, 0); }, 5000)) << "a pop-up stays open";
  x_->Click(main_, 876 + 37, 506 + 15);
  ASSERT_TRUE(WaitUntil([&] { return Config()->profiles[0].buttons[6].code == 501; }, 10000));
  EXPECT_EQ(FieldText(Config()->profiles[0].profileName), u"Raid");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the agent's pause before its reload

  const std::string before = Record();
  ASSERT_EQ(sim_->Command({"press", "1032"}).status, 0);
  ASSERT_EQ(sim_->Command({"release", "1032"}).status, 0);
  ASSERT_TRUE(WaitUntil([&] { return Record().size() > before.size() && Record().find("vk=67", before.size()) != std::string::npos; }, 5000))
      << Record().substr(before.size());
  const std::string tap = Record().substr(before.size());
  const size_t down = tap.find("key vk=67 ");
  const size_t up = tap.find("key vk=67 ", down + 1);
  ASSERT_NE(down, std::string::npos);
  ASSERT_NE(up, std::string::npos) << tap;
  EXPECT_NE(tap.find("flags=2", up), std::string::npos) << tap;
}

// The sim's sensitivity step, from its state.
int DpiStep(const SimProcess& sim) {
  const std::string state = sim.Command({"state"}).out;
  const size_t at = state.find("\"dpi_step\":");
  return at == std::string::npos ? -1 : std::atoi(state.c_str() + at + 11);
}

// A function chosen with the mouse in the assignment drawer's tree, in its pointer-speed list,
// and in the button menu, each applied: the agent performs it when the simulated mouse's button
// is pressed.
TEST_F(PanelProcessTest, FunctionsChosenInTheDrawerAndTheButtonMenuArePerformedByTheAgent) {
  StartAll();
  const std::string drawerTitle = "Button Assignments";
  const auto label = [](int index) { return std::pair{246 + 65 + (index >= 7 ? 430 : 0), 100 + 13 + 52 * (index % 7)}; };
  const auto apply = [&] { x_->Click(main_, 876 + 37, 506 + 15); };
  const auto press = [&](const char* id) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the agent's pause before its reload
    const std::string before = Record();
    EXPECT_EQ(sim_->Command({"press", id}).status, 0);
    EXPECT_EQ(sim_->Command({"release", id}).status, 0);
    return before.size();
  };

  // The seventh label: the drawer slides out beside the main window, the tree open at the
  // button's TARGET_NEAREST_ENEMY, highlighted; the command below it is TARGET_PREVIOUS_ENEMY.
  auto [x7, y7] = label(6);
  x_->Click(main_, x7, y7);
  XWindowBox drawer;
  ASSERT_TRUE(WaitUntil([&] {
    drawer = x_->Find(drawerTitle, 0);
    return drawer && drawer.x == main_.x + main_.width - 20 && drawer.y == main_.y + 88;
  })) << "the drawer did not come out beside the main window";
  int highlighted = -1;
  ASSERT_TRUE(WaitUntil([&] {
    for (int y = 53 + 30; y < 53 + 250 && highlighted < 0; ++y)
      if (x_->PixelAt(drawer.x + 60, drawer.y + y) == 0x0078D7) highlighted = y;
    return highlighted >= 0;
  }, 5000)) << "no command highlighted in the tree";
  x_->Click(drawer, 60, highlighted + 18 + 6);
  apply();
  ASSERT_TRUE(WaitUntil([&] { return Config()->profiles[0].buttons[6].code == 402; })) << "the tree's choice was not applied";
  size_t from = press("1032");
  ASSERT_TRUE(WaitUntil([&] { return Record().find("key vk=9 ", from) != std::string::npos; }, 5000))
      << Record().substr(from);
  const std::string shiftTab = Record().substr(from);
  EXPECT_LT(shiftTab.find("key vk=160 "), shiftTab.find("key vk=9 ")) << shiftTab;

  // The fourth label while the drawer is out: it edits that one. Its pointer-speed folder
  // opened by its header (below the open game commands), a row chosen that changes the step.
  auto [x4, y4] = label(3);
  x_->Click(main_, x4, y4);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  x_->Click(drawer, 60, 53 + 250 + 15);
  const int step = DpiStep(*sim_);
  ASSERT_GE(step, 1);
  const int row = step == 6 ? 1 : 0;  // code 16 + row selects step 6 - row
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  x_->Click(drawer, 60, 53 + 60 + 20 * row + 10);
  apply();
  ASSERT_TRUE(WaitUntil([&] { return Config()->profiles[0].buttons[3].code == 16 + row; }))
      << "the pointer-speed list's choice was not applied";
  press("1038");
  EXPECT_TRUE(WaitUntil([&] { return DpiStep(*sim_) == 6 - row; }, 5000)) << "the mouse's step is " << DpiStep(*sim_);

  // The fifth label right-clicked: the button menu under it, its second row RIGHT_CLICK.
  auto [x5, y5] = label(4);
  x_->Click(main_, x5, y5, 3);
  const XWindowBox menu = x_->FindPopup(0, 5000);
  ASSERT_TRUE(menu) << "no button menu";
  EXPECT_EQ(menu.x, main_.x + 246);
  EXPECT_EQ(menu.y, main_.y + 100 + 52 * 4 + 26);
  x_->Click(menu, 40, 20 + 10);
  ASSERT_TRUE(WaitUntil([&] { return !x_->FindPopup(0, 0); }, 5000)) << "the menu stays";
  apply();
  ASSERT_TRUE(WaitUntil([&] { return Config()->profiles[0].buttons[4].code == 2; })) << "the menu's choice was not applied";
  from = press("1039");
  EXPECT_TRUE(WaitUntil([&] { return Record().find("flags=0x8 ", from) != std::string::npos; }, 5000))
      << Record().substr(from);
}

// A macro recorded in the macro editor from keys the X server delivers (Esc, the keypad's
// Enter, the right Windows key and right Ctrl among them), saved, given to the fourth button and
// applied: the agent plays those keys when the simulated mouse's button is pressed.
// Clicks the fourth label, the macro folder's New button and the notice's Record button: the
// macro editor, drawn and holding the keyboard.
XWindowBox OpenNewMacro(XDriver& x, const XWindowBox& main) {
  x.Click(main, 246 + 65, 100 + 13 + 52 * 3);  // the fourth label
  XWindowBox drawer;
  if (!WaitUntil([&] {
        drawer = x.Find("Button Assignments", 0);
        return drawer && drawer.x == main.x + main.width - 20;
      }))
    return {};
  // The macro folder's New button, below the game commands' open folder.
  x.Click(drawer, 6 + 35, 53 + 310 + 22 + 12);
  const XWindowBox notice = x.Find("Record a Macro");
  if (!notice) return {};
  x.Click(notice, 108 + 70, 290 + 18);
  const XWindowBox editor = x.Find("Custom Macro");
  if (!editor) return {};
  // Drawn (its recorded keys' area white), and holding the keyboard: its area has the focus and
  // the editor grabs the keyboard for it (there is no window manager here to give the focus).
  if (!WaitUntil([&] { return x.PixelAt(editor.x + 272 + 100, editor.y + 106 + 100) == 0xFFFFFF; }, 5000)) return {};
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return editor;
}

TEST_F(PanelProcessTest, AMacroRecordedFromTheKeyboardIsPlayedByTheAgent) {
  // Under a window manager, as on a desktop: it gives the editor the focus, the editor grabs the
  // keyboard for the Windows keys.
  Openbox wm;
  if (!wm.why().empty()) GTEST_SKIP() << wm.why();
  StartAll();
  const XWindowBox editor = OpenNewMacro(*x_, main_);
  ASSERT_TRUE(editor) << "the macro editor did not open";
  for (const char* key : {"a", "Escape", "KP_Enter", "Super_R", "Control_R"}) ASSERT_TRUE(x_->Key(key)) << key;
  x_->Click(editor, 130 + 150, 58 + 14);  // the name
  x_->Type("Pull");
  x_->Click(editor, 336 + 45, 394 + 15);  // OK
  ASSERT_TRUE(x_->WaitGone("Custom Macro")) << "the editor stayed";
  x_->Click(main_, 876 + 37, 506 + 15);  // Apply
  ASSERT_TRUE(WaitUntil([&] {
    auto set = Config();
    return set->profiles[0].buttons[3].code == 1000 && FieldText(set->profiles[0].macros[0].name) == u"Pull";
  })) << "the macro was not saved and given to the fourth button";
  const Macro saved = Config()->profiles[0].macros[0];
  const std::pair<int, int> expected[] = {{0x41, 0}, {0x41, 1}, {0x1B, 0}, {0x1B, 1}, {0x6C, 0},
                                          {0x6C, 1}, {0x5C, 0}, {0x5C, 1}, {0xA3, 0}, {0xA3, 1}};
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(saved.events[i].virtualKey, expected[i].first) << i;
    EXPECT_EQ(saved.events[i].keyUp, expected[i].second) << i;
  }
  EXPECT_EQ(saved.events[std::size(expected)].virtualKey, 0);
  // The game comes to the front (while the panel is, the mouse's buttons choose its labels).
  XClient game;
  game.Map(game.NewWindow());
  game.Sync();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the agent's pause before its reload
  const size_t from = Record().size();
  ASSERT_EQ(sim_->Command({"press", "1038"}).status, 0);
  ASSERT_EQ(sim_->Command({"release", "1038"}).status, 0);
  // Right Ctrl is played as Ctrl with the extended flag, as the keyboard itself reports it.
  ASSERT_TRUE(WaitUntil([&] { return Record().find("key vk=17 scan=29 flags=3 ", from) != std::string::npos; }, 5000))
      << Record().substr(from);
  const std::string played = Record().substr(from);
  size_t at = 0;
  for (const char* vk : {"vk=65 ", "vk=27 ", "vk=108 ", "vk=92 ", "vk=17 scan=29 flags=1 "}) {
    at = played.find(vk, at);
    EXPECT_NE(at, std::string::npos) << vk << " in order in " << played;
    if (at == std::string::npos) break;
  }
}

// Recorded delays are the real gaps between the keys as the X server time-stamps them; a
// copy-and-paste macro, typed into its text box, puts its text on the clipboard and sends its
// keys when played.
TEST_F(PanelProcessTest, RecordedPausesAreTheRealGapsAndAPasteMacroSendsItsText) {
  StartAll();
  const auto apply = [&] { x_->Click(main_, 876 + 37, 506 + 15); };
  const auto play = [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the agent's pause before its reload
    const size_t from = Record().size();
    EXPECT_EQ(sim_->Command({"press", "1038"}).status, 0);
    EXPECT_EQ(sim_->Command({"release", "1038"}).status, 0);
    return from;
  };
  XWindowBox editor = OpenNewMacro(*x_, main_);
  ASSERT_TRUE(editor) << "the macro editor did not open";
  x_->Click(editor, 32 + 11, 144 + 11);  // Record delay
  x_->Click(editor, 272 + 100, 106 + 100);  // the keys' area again: it takes the keyboard
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // b pressed 300 ms after a's release, the X server keeping the pause (XTest's delay).
  x_->KeyAfter("a", 0);
  x_->KeyAfter("b", 300);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  x_->Click(editor, 336 + 45, 394 + 15);  // OK
  ASSERT_TRUE(x_->WaitGone("Custom Macro"));
  apply();
  ASSERT_TRUE(WaitUntil([&] { return Config()->profiles[0].buttons[3].code == 1000; })) << "the macro was not saved";
  const Macro timed = Config()->profiles[0].macros[0];
  EXPECT_EQ(timed.delayMode, kDelayRecorded);
  EXPECT_EQ(timed.events[0].virtualKey, 0x41);
  EXPECT_EQ(timed.events[2].virtualKey, 0x42);
  // a down to a up is immediate; a up to b down is the pause the server kept: not less, and more
  // only by what a loaded machine makes the server late by.
  EXPECT_LT(timed.events[0].delay, 5);
  EXPECT_GE(timed.events[1].delay, 299);
  EXPECT_LE(timed.events[1].delay, 330);
  // Played, the pause between a's release and b's press is the one stored, on the agent's clock.
  size_t from = play();
  ASSERT_TRUE(WaitUntil([&] { return Record().find("key vk=66 ", from) != std::string::npos; }, 5000)) << Record().substr(from);
  const std::string played = Record().substr(from);
  const auto timeOf = [&](const std::string& line) {
    const size_t at = played.find(line);
    const size_t t = at == std::string::npos ? at : played.find(" t=", at);
    return t == std::string::npos ? -1L : std::atol(played.c_str() + t + 3);
  };
  const long up = timeOf("key vk=65 scan=30 flags=2 "), down = timeOf("key vk=66 scan=48 flags=0 ");
  ASSERT_GE(up, 0) << played;
  ASSERT_GE(down, 0) << played;
  // Never shorter; longer only by what a slow build or a loaded machine adds to the agent's sleep.
  EXPECT_GE(down - up, timed.events[1].delay - 2) << played;
  EXPECT_LE(down - up, timed.events[1].delay + 250) << played;

  // The second macro, for the same button: copy and paste.
  const XWindowBox drawer = x_->Find("Button Assignments");
  ASSERT_TRUE(drawer);
  x_->Click(drawer, 6 + 35, 53 + 90 + 22 + 12);  // New, the macro folder now open
  const XWindowBox notice = x_->Find("Record a Macro");
  ASSERT_TRUE(notice);
  x_->Click(notice, 108 + 70, 290 + 18);
  editor = x_->Find("Custom Macro");
  ASSERT_TRUE(editor);
  ASSERT_TRUE(WaitUntil([&] { return x_->PixelAt(editor.x + 272 + 100, editor.y + 106 + 100) == 0xFFFFFF; }, 5000));
  x_->Click(editor, 32 + 11, 208 + 11);  // Copy & paste
  x_->Click(editor, 272 + 100, 106 + 100);  // its text
  x_->Type("/cheer");
  x_->Click(editor, 336 + 45, 394 + 15);  // OK
  ASSERT_TRUE(x_->WaitGone("Custom Macro"));
  apply();
  ASSERT_TRUE(WaitUntil([&] {
    auto set = Config();
    return FieldText(set->profiles[0].macros[1].pasteText) == u"/cheer" && set->profiles[0].buttons[3].code == 1001;
  })) << "the paste macro was not saved and given to the button";
  EXPECT_EQ(Config()->profiles[0].macros[1].delayMode, kDelayCopyPaste);
  from = play();
  ASSERT_TRUE(WaitUntil([&] { return Record().find("/cheer", from) != std::string::npos; }, 5000)) << Record().substr(from);
  const std::string pasted = Record().substr(from);
  EXPECT_NE(pasted.find("clipboard"), std::string::npos) << pasted;
  EXPECT_NE(pasted.find("key vk=13 "), std::string::npos) << "the start and send keys (Enter): " << pasted;
}

// Profile 3 dragged onto profile 5 and the question confirmed: profile 5 becomes a copy.
TEST_F(PanelProcessTest, AProfileDraggedOntoAnotherAndConfirmedIsCopied) {
  auto set = std::make_unique<ProfileSet>();
  ResetProfileSet(*set);
  ValidateProfileSet(*set);
  CopyText(set->profiles[2].profileName, u"Three");
  set->profiles[2].buttons[3].code = 603;
  MakeFolders(ConfFolder());
  ASSERT_TRUE(ReplaceFileContents(ConfFolder() + "/Config.xml", {NewConfigDocument(*set)}));
  StartAll();

  x_->Drag(main_, 688 + 62, 178 + 32, 688 + 62, 252 + 32);
  // The question: a skinned yes/no dialog over the main window.
  const XWindowBox question = x_->FindOther(main_.window);
  ASSERT_TRUE(question) << "no question";
  x_->Click(question, 108 + 50, 164 + 15);  // Yes
  ASSERT_TRUE(WaitUntil([&] { return !x_->FindOther(main_.window, 0); }));
  x_->Click(main_, 876 + 37, 506 + 15);  // Apply
  ASSERT_TRUE(WaitUntil([&] { return FieldText(Config()->profiles[4].profileName) == u"Three"; }));
  auto saved = Config();
  EXPECT_EQ(saved->profiles[4].buttons[3].code, 603);
  EXPECT_EQ(std::memcmp(&saved->profiles[4], &saved->profiles[2], sizeof(Profile)), 0);
}

// A profile switched by a button of the mouse shows in the panel as the active one.
TEST_F(PanelProcessTest, AProfileSwitchedByTheMouseShowsInThePanel) {
  auto set = std::make_unique<ProfileSet>();
  ResetProfileSet(*set);
  ValidateProfileSet(*set);
  set->profiles[0].buttons[6].code = 33;  // switch to profile 2
  MakeFolders(ConfFolder());
  ASSERT_TRUE(ReplaceFileContents(ConfFolder() + "/Config.xml", {NewConfigDocument(*set)}));
  StartAll();
  const auto profileButton = [&](int x, int y) { return x_->Brightness(main_.x + x + 8, main_.y + y + 8, 108, 48); };
  // Once the window has drawn itself, profile 1 shows as the active one.
  EXPECT_TRUE(WaitUntil([&] { return profileButton(688, 104) > profileButton(818, 104) + 5; }, 5000))
      << "profile 1 should be shown active";
  ASSERT_EQ(sim_->Command({"press", "1032"}).status, 0);
  ASSERT_EQ(sim_->Command({"release", "1032"}).status, 0);
  ASSERT_TRUE(WaitUntil([&] { return Config()->profileId == 1; })) << "the agent did not switch";
  EXPECT_TRUE(WaitUntil([&] { return profileButton(818, 104) > profileButton(688, 104) + 5; }, 5000))
      << "the panel does not show profile 2 active";
}

// The on-board save: the progress window runs until the agent reports 100 %, and the
// simulator's memory holds the profile.
TEST_F(PanelProcessTest, TheOnBoardSaveReachesTheMousesMemoryAndTheProgressWindowCloses) {
  StartAll();
  const std::string progressTitle = ToUtf8(kProgressWindowTitle);
  const std::string before = sim_->Command({"state"}).out;
  x_->Click(main_, 66 + 76, 284 + 15);  // SAVE_ON_BOARD
  ASSERT_TRUE(x_->Find(progressTitle, 5000)) << "no progress window";
  ASSERT_TRUE(x_->WaitGone(progressTitle, 20000)) << "the progress window stayed";
  const std::string state = sim_->Command({"state"}).out;
  const size_t at = state.find("\"onboard_length\":");
  ASSERT_NE(at, std::string::npos) << state;
  EXPECT_NE(std::atoi(state.c_str() + at + 17), 0) << state;
  EXPECT_NE(state, before);
  // No failure was shown.
  EXPECT_FALSE(x_->Shown("Notice"));
}

// Tools > Lift Distance > Lower while the agent is stopped: the panel stops waiting after its
// time-out and asks nothing, and when the agent runs again it performs the trial it was sent and
// then the value Config.xml keeps, so that the mouse ends as Config.xml says.
TEST_F(PanelProcessTest, ALiftDistanceTrialTheStoppedAgentPerformsLaterIsTakenBack) {
  auto set = std::make_unique<ProfileSet>();
  ResetProfileSet(*set);
  ValidateProfileSet(*set);
  MakeFolders(ConfFolder());
  ASSERT_TRUE(ReplaceFileContents(ConfFolder() + "/Config.xml", {NewConfigDocument(*set)}));
  ASSERT_TRUE(WriteConfigValue(ConfFolder(), ConfigValue::WarningThree2OptionFlag, 1));  // no notice first
  StartAll();
  const auto liftDistances = [&] {
    const std::string state = sim_->Command({"state"}).out;
    std::string found;
    for (size_t at = state.find("\"lift_distance\":"); at != std::string::npos;
         at = state.find("\"lift_distance\":", at + 1))
      found += state.substr(at + 16, 1);
    return found;  // the live value, then the kept one
  };
  ASSERT_EQ(liftDistances(), "00");
  const std::string trial = "ioctl=0x222690 in=0100";

  agent_->Signal(SIGSTOP);
  x_->Click(main_, 398 + 32, 20 + 13);  // Tools
  const XWindowBox tools = x_->FindPopup();
  ASSERT_TRUE(tools) << "the Tools menu did not open";
  x_->Key("Down");
  x_->Key("Down");
  x_->Key("Right");
  ASSERT_TRUE(x_->FindPopup(tools.window, 5000)) << "the lift distance menu did not open";
  x_->Key("Down");  // Lower
  x_->Key("Return");
  // The panel waits two seconds for the stopped agent, then asks nothing.
  EXPECT_FALSE(x_->FindOther(main_.window, 3500)) << "a question came although the mouse has not tried the value";
  EXPECT_EQ(sim_->Command({"transcript"}).out.find(trial), std::string::npos);

  agent_->Signal(SIGCONT);
  ASSERT_TRUE(WaitUntil([&] {
    const std::string transcript = sim_->Command({"transcript"}).out;
    const size_t tried = transcript.find(trial);
    return tried != std::string::npos && transcript.find("ioctl=0x222690 in=0000", tried) != std::string::npos;
  }, 10000)) << sim_->Command({"transcript"}).out;
  EXPECT_TRUE(WaitUntil([&] { return liftDistances() == "00"; }, 5000)) << liftDistances();
  EXPECT_EQ(Config()->liftDistance, 1);
  EXPECT_TRUE(panel_->Running());
}

// An agent running as root and a panel running as another user: the panel's messages travel
// over the pipe and reach the agent, which sets the mouse's polling rate.
TEST_F(PanelProcessTest, APanelUnderARootAgentTalksThroughThePipe) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root: the agent runs as root, the panel as user 65534";
  constexpr int kUser = 65534;
  // The panel's own folders, and the shared ones it must reach.
  ::chmod(dir_.path().c_str(), 0755);
  for (const std::string& d : {dir_ / "user", dir_ / "user/config", dir_ / "user/runtime"}) {
    ::mkdir(d.c_str(), 0700);
    ASSERT_EQ(::chown(d.c_str(), kUser, kUser), 0);
  }
  ::chmod((dir_ / "bus").c_str(), 01777);
  ::chmod((dir_ / "runtime").c_str(), 0755);  // the pipe's folder
  sim_ = std::make_unique<SimProcess>(device_);
  ASSERT_TRUE(sim_->ready());
  agent_ = std::make_unique<Program>(ORV_AGENT_PROGRAM);
  ASSERT_TRUE(WaitUntil([] { return bus::FindWindow(kAgentWindowTitle) != 0; }));
  ASSERT_TRUE(WaitUntil([&] { return ::access((dir_ / "runtime/ORVTidefallMouse").c_str(), F_OK) == 0; }))
      << "the root agent has no pipe";
  const std::string before = sim_->Command({"state"}).out;
  ASSERT_NE(before.find("\"polling_rate\":2"), std::string::npos) << before;

  ::setenv("XDG_CONFIG_HOME", (dir_ / "user/config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (dir_ / "user/runtime").c_str(), 1);
  panel_ = std::make_unique<Program>(ORV_PANEL_PROGRAM, kUser);
  main_ = x_->Find(kPanelTitle);
  ASSERT_TRUE(main_) << "the panel's window did not show";
  // Tools > Polling Rate > 250 Hz.
  x_->Click(main_, 398 + 32, 20 + 13);
  const XWindowBox tools = x_->FindPopup();
  ASSERT_TRUE(tools) << "the Tools menu did not open";
  x_->Key("Down");
  x_->Key("Right");
  // The sub-menu is a pop-up of its own.
  EXPECT_TRUE(x_->FindPopup(tools.window, 5000)) << "the polling rate menu did not open";
  x_->Key("Return");
  EXPECT_TRUE(WaitUntil([&] { return sim_->Command({"state"}).out.find("\"polling_rate\":3") != std::string::npos; },
                        10000))
      << sim_->Command({"state"}).out;
  auto panelConfig = std::make_unique<ProfileSet>();
  LoadProfileSet(dir_ / "user/config/Veltrix/Orvandel Tidefall MMO Gaming Mouse/Conf/Config.xml", *panelConfig);
  EXPECT_EQ(panelConfig->pollingRate, 3);
}

}  // namespace
}  // namespace orv::test
