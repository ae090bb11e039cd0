// OrvMouseSim, OrvAgent and OrvPanel as real processes on a private Xvfb, the panel driven by
// XTest clicks and keys on its real windows: what a user does, end to end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "base/files.h"
#include "base/text.h"
#include "link/messages.h"
#include "link/window_bus.h"
#include "profile/profile_files.h"
#include "tests/panel/x_driver.h"
#include "tests/sim/sim_process.h"
#include "tests/test_support.h"
#include "tests/x11_server.h"

namespace orv::test {
namespace {

bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A program of the product, ended when the object goes.
class Program {
 public:
  explicit Program(const char* path) {
    pid_ = ::fork();
    if (pid_ == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::execl(path, path, static_cast<char*>(nullptr));
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
  }
  std::unique_ptr<ProfileSet> Config() {
    auto set = std::make_unique<ProfileSet>();
    LoadProfileSet(ConfFolder() + "/Config.xml", *set);
    return set;
  }
  std::string ConfFolder() { return dir_ / "config/Veltrix/Orvandel Tidefall MMO Gaming Mouse/Conf"; }
  std::string Record() { return ReadFile(record_); }

  XvfbServer xvfb_;
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

  // File menu (its button), Import (the third item), the path typed into the open dialog.
  x_->Click(main_, 330 + 32, 20 + 13);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  x_->Key(XK_Down);
  x_->Key(XK_Down);
  x_->Key(XK_Down);
  x_->Key(XK_Return);
  ASSERT_TRUE(WaitUntil([&] { return x_->Shown("Open") || x_->Shown("Open File"); }, 10000)) << "no file dialog";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  x_->Type(file);
  x_->Key(XK_Return);
  ASSERT_TRUE(WaitUntil([&] { return !x_->Shown("Open") && !x_->Shown("Open File"); }, 10000));

  // Apply: Config.xml holds 501 and the agent reloads it.
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

}  // namespace
}  // namespace orv::test
