// Skinned windows on a real X server (a private Xvfb): the outline the server holds for a
// shaped dialog, and the agent asking its on-board question with the skinned dialog, answered
// by a click injected through XTest.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "link/messages.h"
#include "link/window_bus.h"
#include "platform/folders.h"
#include "profile/profile_files.h"
#include "skin/message_dialogs.h"
#include "tests/sim/sim_process.h"
#include "tests/skin/skin_test_support.h"
#include "tests/platform/x11/x11_probe.h"
#include "tests/x11_server.h"

namespace orv::test {

// The display of the private server; empty when none could be started.
std::string& TestDisplay() {
  static std::string display;
  return display;
}

namespace {

#define NEED_X()                                                                                   \
  if (TestDisplay().empty()) GTEST_SKIP() << "skipped: Xvfb could not be started, no X server to test on"

bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

QRegion ServerOutline(X11Probe& x, unsigned long window) {
  QRegion region;
  for (const X11Probe::Rect& r : x.Outline(window)) region += QRect(r.x, r.y, r.width, r.height);
  return region;
}

TEST(ShapedDialog, TheServersOutlineIsTheRegionOfTheMask) {
  NEED_X();
  TempDir runtime;
  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  SkinFolder folder;
  folder.Skins(folder.Images("WARNING_TWO", QSize(320, 160)));
  // An outline with curves and a hole: an ellipse with a white window in it.
  QImage mask(320, 160, QImage::Format_RGB32);
  mask.fill(Qt::white);
  {
    QPainter p(&mask);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QRect(0, 0, 320, 160));
    p.fillRect(QRect(140, 60, 40, 20), Qt::white);
  }
  ASSERT_TRUE(mask.save(QString::fromStdString(folder.path("skins/WARNING_TWO_MASK.bmp"))));
  folder.Strings("<WARNING_TWO><BUTTON_YES>Yes,60,110,70,25,Yes,FALSE</BUTTON_YES></WARNING_TWO>");
  CWarningTwoDlg dialog(folder.folder(), "Shaped");
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  std::optional<QRegion> expected = RegionFromMask(mask);
  ASSERT_TRUE(expected);
  X11Probe x(TestDisplay());
  ASSERT_TRUE(x.ok());
  QRegion outline;
  EXPECT_TRUE(WaitUntil([&] {
    outline = ServerOutline(x, static_cast<unsigned long>(dialog.winId()));
    return outline.xored(*expected).isEmpty();
  }, 3000)) << "server outline has " << outline.rectCount() << " rectangles, bounding "
            << outline.boundingRect().width() << "x" << outline.boundingRect().height();
  EXPECT_FALSE(outline.contains(QPoint(150, 65)));  // the hole
  EXPECT_FALSE(outline.contains(QPoint(2, 2)));     // outside the ellipse
  EXPECT_TRUE(outline.contains(QPoint(160, 20)));
  dialog.done(2);
}

TEST(ShapedDialog, TheProductsDialogsCarryTheOutlinesOfTheirMasks) {
  NEED_X();
  const std::string bin = std::string(ORV_PROGRAM_DIR) + "/";
  if (ReadSkinSection(bin + "Skins.xml", "ABOUT").empty()) GTEST_SKIP() << "skipped: the program folder has no skin";
  TempDir runtime, conf, bus;
  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  ::setenv("ORV_BUS_DIR", bus.path().c_str(), 1);
  X11Probe x(TestDisplay());
  ASSERT_TRUE(x.ok());
  std::vector<std::pair<QString, std::function<std::unique_ptr<CSkinDialog>()>>> dialogs = {
      {"ABOUT", [&] { return std::make_unique<CAboutDialog>(bin, conf.path()); }},
      {"WARNING_ONE", [&] { return std::make_unique<CWarningOneDlg>("Notice", bin); }},
      {"WARNING_TWO", [&] { return std::make_unique<CWarningTwoDlg>(bin, "Question"); }},
      {"WARNING_THREE", [&] { return std::make_unique<CWarningThreeDlg>(bin, conf.path()); }},
      {"WARNING_THREE2", [&] { return std::make_unique<CWarningThree2Dlg>(bin, conf.path()); }},
      {"WARNING_FOUR", [&] { return std::make_unique<CWarningFourDlg>(bin, conf.path()); }},
  };
  for (auto& [section, make] : dialogs) {
    std::unique_ptr<CSkinDialog> dialog = make();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get())) << section.toStdString();
    std::optional<QRegion> expected = RegionFromMask(dialog->skin().images.mask);
    ASSERT_TRUE(expected) << section.toStdString();
    EXPECT_NE(*expected, QRegion(dialog->rect())) << section.toStdString() << " is not shaped at all";
    QRegion outline;
    EXPECT_TRUE(WaitUntil([&] {
      outline = ServerOutline(x, static_cast<unsigned long>(dialog->winId()));
      return outline.xored(*expected).isEmpty();
    }, 3000)) << section.toStdString();
    dialog->done(2);
  }
}

// --- the agent's on-board question -----------------------------------------------------------------------

pid_t StartProgram(const std::string& program) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

void StopProgram(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

class AgentQuestionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& d : {dir_ / "config", dir_ / "runtime", dir_ / "device", dir_ / "bus", dir_ / "program"})
      ::mkdir(d.c_str(), 0700);
    ::chmod((dir_ / "bus").c_str(), 01777);
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
    ::setenv("ORV_DEVICE_DIR", device_.c_str(), 1);
    ::setenv("ORV_BUS_DIR", (dir_ / "bus").c_str(), 1);
    ::setenv("ORV_PIPE_DIR", (dir_ / "runtime").c_str(), 1);
    ::setenv("ORV_INPUT", ("record:" + (dir_ / "input.txt")).c_str(), 1);
    ::setenv("ORV_TIME_SCALE", "0.02", 1);
    ::unsetenv("QT_QPA_PLATFORM");
  }
  void TearDown() override {
    StopProgram(agent_);
    sim_.reset();
  }
  // The agent with the product's skin when the program folder has the dialog's section, else a
  // copy of the agent beside a skin made for the test.
  std::string AgentProgram() {
    namespace fs = std::filesystem;
    const std::string bin = ORV_PROGRAM_DIR;
    if (!ReadSkinSection(bin + "/Strings.xml", "WARNING_TWO").empty()) {
      installFolder_ = bin + "/";
      return ORV_AGENT_PROGRAM;
    }
    const std::string program = dir_ / "program";
    for (const auto& entry : fs::directory_iterator(bin)) {
      const std::string ext = entry.path().extension().string();
      if (entry.is_regular_file() && (ext == ".xml" || ext == ".bin")) fs::copy_file(entry.path(), program + "/" + entry.path().filename().string());
    }
    fs::copy_file(ORV_AGENT_PROGRAM, program + "/OrvAgent");
    fs::create_directories(program + "/skins");
    WriteFile(program + "/Skins.xml", ReadFile(skin_.path("Skins.xml")));
    WriteFile(program + "/Strings.xml", ReadFile(skin_.path("Strings.xml")));
    for (const auto& entry : fs::directory_iterator(skin_.path("skins")))
      fs::copy_file(entry.path(), program + "/skins/" + entry.path().filename().string());
    installFolder_ = program + "/";
    return program + "/OrvAgent";
  }
  void WriteConfig(int button5, int button6) {
    auto set = std::make_unique<ProfileSet>();
    ResetProfileSet(*set);
    ValidateProfileSet(*set);
    set->profiles[0].buttons[5].code = button5;
    set->profiles[0].buttons[6].code = button6;
    ASSERT_TRUE(CreateConfFolders());
    RegistryStore registry = UserRegistry();
    ASSERT_EQ(SaveProfileSet(ConfFolder(), *set, registry), 0);
  }
  int StoredButton(int i) {
    auto set = std::make_unique<ProfileSet>();
    LoadProfileSet(JoinPath(ConfFolder(), "Config.xml"), *set);
    return set->profiles[0].buttons[i].code;
  }
  TempDir dir_;
  std::string device_ = dir_ / "device";
  std::unique_ptr<SimProcess> sim_;
  pid_t agent_ = -1;
  SkinFolder skin_;
  std::string installFolder_;
};

TEST_F(AgentQuestionTest, YesClickedOnTheSkinnedDialogTakesTheOnBoardProfileOver) {
  NEED_X();
  skin_.Skins(skin_.Images("WARNING_TWO", QSize(320, 160)));
  skin_.Strings(
      "<WARNING_TWO><BUTTON_EXIT>Exit,290,5,20,20,Close,FALSE</BUTTON_EXIT>"
      "<BUTTON_YES>Yes,60,110,70,25,Yes,FALSE</BUTTON_YES><BUTTON_NO>No,190,110,70,25,No,FALSE</BUTTON_NO>"
      "<WARNING_TWO_TITLE>160,10,On-board profile</WARNING_TWO_TITLE>"
      "<WARNING_TWO_STRING>Text,20,40,280,60,,FALSE</WARNING_TWO_STRING></WARNING_TWO>");
  const std::string program = AgentProgram();
  // The dialog's size and its yes button, from the skin the agent reads.
  QImage normal;
  auto images = ReadSkinSection(installFolder_ + "Skins.xml", "WARNING_TWO");
  ASSERT_TRUE(LoadSkinImage(SkinImagePath(installFolder_, images["WARNING_TWO_NORMAL"]), normal));
  const QRect yes = ParseControlEntry(ReadSkinSection(installFolder_ + "Strings.xml", "WARNING_TWO")["BUTTON_YES"]).rect();
  ASSERT_FALSE(yes.isEmpty());

  WriteConfig(402, 16);
  sim_ = std::make_unique<SimProcess>(device_);
  ASSERT_TRUE(sim_->ready());
  agent_ = StartProgram(program);
  WindowHandle agent = 0;
  ASSERT_TRUE(WaitUntil([&] { return (agent = bus::FindWindow(kAgentWindowTitle)) != 0; }));
  // The mouse keeps the profile with 402 and 16 ...
  ASSERT_TRUE(WaitUntil([&] { return sim_->Command({"transcript"}).out.find("ioctl=0x222690") != std::string::npos; }));
  ASSERT_TRUE(bus::Post(agent, UM_RELOAD_PROFILES, 1, 1));
  ASSERT_TRUE(WaitUntil([&] {
    std::string state = sim_->Command({"state"}).out;
    return state.find("\"onboard_length\":0") == std::string::npos && state.find("onboard_length") != std::string::npos;
  }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // ... while the panel's set has moved on.
  WriteConfig(3, 1);
  ASSERT_TRUE(bus::Post(agent, UM_RELOAD_PROFILES, 0, 0));
  ASSERT_TRUE(WaitUntil([&] { return StoredButton(5) == 3; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  // Plugged in again, the agent asks with the skinned dialog at the bottom right.
  ASSERT_EQ(sim_->Command({"unplug"}).status, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(sim_->Command({"plug"}).status, 0);
  X11Probe x(TestDisplay());
  ASSERT_TRUE(x.ok());
  int ax = 0, ay = 0;
  ASSERT_TRUE(WaitUntil([&] { return x.FindViewable(normal.width(), normal.height(), &ax, &ay) != 0; }, 15000))
      << "the question did not appear";
  const QPoint at(ax, ay);
  EXPECT_EQ(at, QPoint(x.ScreenWidth() - normal.width(), x.ScreenHeight() - normal.height()));
  EXPECT_EQ(StoredButton(5), 3);  // nothing taken before the answer
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const QPoint click = at + yes.center();
  x.Click(click.x(), click.y());
  EXPECT_TRUE(WaitUntil([&] { return StoredButton(5) == 402 && StoredButton(6) == 16; }, 10000))
      << "the on-board profile was not taken over";
  EXPECT_TRUE(WaitUntil([&] { return x.FindViewable(normal.width(), normal.height(), &ax, &ay) == 0; }, 5000));
  // The question was the agent's only window: closing it does not end the agent.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(::waitpid(agent_, nullptr, WNOHANG), 0) << "the agent ended with its question";
  EXPECT_NE(bus::FindWindow(kAgentWindowTitle), 0u);
}

}  // namespace
}  // namespace orv::test

int main(int argc, char** argv) {
  // The server comes first: the Qt application connects to it.
  orv::test::XvfbServer server;
  orv::test::TestDisplay() = server.display();
  if (server.display().empty()) {
    std::fprintf(stderr, "Xvfb could not be started: the X11 skin tests are skipped\n");
    qputenv("QT_QPA_PLATFORM", "offscreen");
  } else {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
