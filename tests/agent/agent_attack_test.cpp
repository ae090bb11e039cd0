// Another local user against a root agent: each attack on the window bus and the pipe is a
// row of the table below, run against OrvAgent on OrvMouseSim in temporary folders. The other
// user is uid 65534, started with setpriv; the tests need root for that and say so when they
// are skipped.
//
// After each attack the agent must still be up, answer, dispatch its buttons (a press gives
// its key in the record file), and leave every file outside its own alone: a root canary
// file in a folder open to all (like /tmp) keeps its mode and contents. An impostor window
// must receive nothing.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "link/agent_link.h"
#include "link/messages.h"
#include "link/window_bus.h"
#include "platform/folders.h"
#include "platform/input/record_injector.h"
#include "profile/profile_files.h"
#include "tests/link/peer_protocol.h"
#include "tests/sim/sim_process.h"
#include "tests/test_support.h"

namespace orv::test {
namespace {

constexpr uid_t kOtherUser = 65534;
constexpr uid_t kPanelUser = 65533;  // the session's own (limited) panel user in the pipe row

bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<std::string> AsOtherUser(std::vector<std::string> command) {
  std::vector<std::string> args = {"--reuid=65534", "--regid=65534", "--clear-groups"};
  args.insert(args.end(), command.begin(), command.end());
  return args;
}

// Runs a command as the other user and waits for it; its exit status.
int RunAsOtherUser(const std::vector<std::string>& command) {
  PeerProcess p("/usr/bin/setpriv", AsOtherUser(command));
  return p.Wait();
}

class AgentProcess {
 public:
  AgentProcess() {
    pid_ = ::fork();
    if (pid_ == 0) {
      int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::execl(ORV_AGENT_PROGRAM, ORV_AGENT_PROGRAM, static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~AgentProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool Running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

struct Fixture;

struct Attack {
  const char* name;
  // Before the agent starts.
  std::function<void(Fixture&)> before;
  // While the agent starts, before its window has its final title.
  std::function<void(Fixture&)> during;
  // After the common checks.
  std::function<void(Fixture&)> after;
};

void PrintTo(const Attack& attack, std::ostream* out) { *out << attack.name; }

struct Fixture {
  TempDir dir;
  std::string bus = dir / "bus", runtime = dir / "runtime", device = dir / "device", config = dir / "config",
              pipes = dir / "pipes", shared = dir / "shared", canary = dir / "shared/canary",
              record = dir / "input.txt";
  std::unique_ptr<SimProcess> sim;
  std::unique_ptr<AgentProcess> agent;
  std::vector<std::unique_ptr<PeerProcess>> others;  // the other user's long-lived processes
  WindowHandle window = 0;

  std::string Transcript() { return sim->Command({"transcript"}).out; }
  bool TranscriptHas(const std::string& text) {
    return WaitUntil([&] { return Transcript().find(text) != std::string::npos; });
  }
  PeerProcess& Other(std::vector<std::string> command) {
    others.push_back(std::make_unique<PeerProcess>("/usr/bin/setpriv", AsOtherUser(std::move(command))));
    return *others.back();
  }
};

class AgentAttackTest : public ::testing::TestWithParam<Attack> {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "skipped: needs root to run the other user (setpriv) against a root agent";
    Fixture& f = f_;
    ::chmod(f.dir.path().c_str(), 0755);
    for (const std::string& d : {f.bus, f.runtime, f.device, f.config, f.pipes, f.shared}) ::mkdir(d.c_str(), 0700);
    for (const std::string& d : {f.bus, f.pipes, f.shared}) ::chmod(d.c_str(), 01777);  // open to all, like /tmp
    test::WriteFile(f.canary, "canary\n");
    ::chmod(f.canary.c_str(), 0600);
    ::setenv("XDG_CONFIG_HOME", f.config.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", f.runtime.c_str(), 1);
    ::setenv("ORV_DEVICE_DIR", f.device.c_str(), 1);
    ::setenv("ORV_BUS_DIR", f.bus.c_str(), 1);
    ::setenv("ORV_PIPE_DIR", f.pipes.c_str(), 1);
    ::setenv("ORV_INPUT", ("record:" + f.record).c_str(), 1);
    ::setenv("ORV_TIME_SCALE", "0.02", 1);
    ::unsetenv("DISPLAY");
    // The seventh button taps C in the first two profiles.
    auto set = std::make_unique<ProfileSet>();
    ResetProfileSet(*set);
    ValidateProfileSet(*set);
    set->profiles[0].buttons[6].code = 501;
    set->profiles[1].buttons[6].code = 501;
    ASSERT_TRUE(CreateConfFolders());
    RegistryStore registry = UserRegistry();
    ASSERT_EQ(SaveProfileSet(ConfFolder(), *set, registry), 0);
  }
  void TearDown() override {
    f_.agent.reset();
    f_.sim.reset();
    f_.others.clear();
    ::unsetenv("ORV_BUS_DIR");
    ::unsetenv("XDG_RUNTIME_DIR");
  }
  Fixture f_;
};

TEST_P(AgentAttackTest, TheAgentStaysUpAnswersDispatchesAndTouchesNoOtherFile) {
  const Attack& attack = GetParam();
  Fixture& f = f_;
  if (attack.before) attack.before(f);
  if (HasFatalFailure()) return;
  f.sim = std::make_unique<SimProcess>(f.device);
  ASSERT_TRUE(f.sim->ready());
  f.agent = std::make_unique<AgentProcess>();
  if (attack.during) attack.during(f);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(WaitUntil([&] { return (f.window = bus::FindWindow(kAgentWindowTitle)) != 0; }, 15000)) << attack.name;
  EXPECT_EQ(bus::WindowProcessId(f.window), f.agent->pid());
  ASSERT_TRUE(f.TranscriptHas("ioctl=0x222690"));  // start-up ends with the lift distance

  // It answers: the firmware versions, and a profile switch (which tells the panel, the tray
  // program and the About window, if they are there).
  bus::SendOutcome outcome;
  EXPECT_EQ(bus::SendTimeout(f.window, UM_GET_FIRMWARE_VERSIONS, 0, 0, 5000, &outcome), (0x0204 << 16) | 0x0203);
  EXPECT_EQ(outcome, bus::SendOutcome::kDelivered);
  EXPECT_EQ(bus::SendTimeout(f.window, UM_SELECT_PROFILE, 1, 0, 5000, &outcome), 1);
  // It dispatches: the seventh button (extra button 1032) taps C.
  ASSERT_EQ(f.sim->Command({"press", "1032"}).status, 0);
  ASSERT_EQ(f.sim->Command({"release", "1032"}).status, 0);
  std::vector<RecordedInput> inputs;
  EXPECT_TRUE(WaitUntil([&] {
    inputs.clear();
    ReadRecordFile(f.record, inputs);
    return inputs.size() >= 2;
  }));
  ASSERT_EQ(inputs.size(), 2u);
  EXPECT_EQ(inputs[0].virtualKey, 'C');
  EXPECT_EQ(inputs[1].flags, 2u);  // key up
  if (attack.after) attack.after(f);

  EXPECT_TRUE(f.agent->Running());
  struct stat st;
  ASSERT_EQ(::lstat(f.canary.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u) << "the canary's mode changed";
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(test::ReadFile(f.canary), "canary\n") << "the canary's contents changed";
}

// An impostor of the other user's taking `title`; after the checks it must have got nothing.
Attack Impostor(const char* name, std::u16string_view title) {
  std::string t = N(title);
  return Attack{
      name,
      [t](Fixture& f) { ASSERT_NE(f.Other({ORV_TEST_PEER, "logging", t}).ReadyHandle(), 0u); },
      nullptr,
      [t](Fixture& f) {
        // The agent sent its notices meanwhile; the impostor is never found, by the test either.
        WindowHandle found = bus::FindWindow(ToUtf16(t));
        EXPECT_EQ(found, t == N(kAgentWindowTitle) ? f.window : 0u);
        f.others[0]->Kill();
        EXPECT_EQ(f.others[0]->ReadLine(), "") << "the impostor received a message";
      },
  };
}

// Holds the lock of the registered-messages table as the other user.
void HoldRegistryLock(Fixture& f) {
  bus::RegisterMessage(ToUtf16("made by root for " + f.dir.path()));  // the table exists, made by root
  std::string table = f.bus + "/registered-messages";
  ASSERT_TRUE(std::filesystem::exists(table));
  PeerProcess& holder = f.Other({ORV_TEST_PEER, "lock", table});
  ASSERT_EQ(holder.ReadLine(), "locked");
}

const Attack kAttacks[] = {
    {"SparseEndpointFileOfOneTerabyte",
     [](Fixture& f) { ASSERT_EQ(RunAsOtherUser({"/usr/bin/truncate", "-s", "1T", f.bus + "/424242.window"}), 0); },
     nullptr, nullptr},
    {"FifoEndpointFile", [](Fixture& f) { ASSERT_EQ(RunAsOtherUser({"/usr/bin/mkfifo", f.bus + "/424243.window"}), 0); },
     nullptr, nullptr},
    Impostor("ImpostorTakingTheAgentsTitle", kAgentWindowTitle),
    Impostor("ImpostorTakingThePanelsTitle", kPanelWindowTitle),
    Impostor("ImpostorTakingTheTrayProgramsTitle", kTrayWindowTitle),
    Impostor("ImpostorTakingTheAboutWindowsTitle", kAboutWindowTitle),
    {"HeldLockOnTheRegisteredMessagesTable", HoldRegistryLock, nullptr, nullptr},
    {"RegisteredMessagesTableSwappedForALinkToARootFile",
     [](Fixture& f) {
       ASSERT_EQ(RunAsOtherUser({"/usr/bin/ln", "-s", f.canary, f.bus + "/registered-messages"}), 0);
     },
     nullptr, nullptr},
    {"AgentsOwnEndpointFileSwappedForALinkToARootFile",
     // The held lock keeps the agent at its provisional title for a while; its endpoint file is
     // swapped meanwhile, before the agent renames its window.
     HoldRegistryLock,
     [](Fixture& f) {
       WindowHandle provisional = 0;
       ASSERT_TRUE(WaitUntil([&] { return (provisional = bus::FindWindow(kAgentProvisionalTitle)) != 0; }));
       std::string endpoint = f.bus + "/" + std::to_string(provisional) + ".window";
       std::string link = f.bus + "/swap.link";
       ASSERT_EQ(::symlink(f.canary.c_str(), link.c_str()), 0);
       ASSERT_EQ(::rename(link.c_str(), endpoint.c_str()), 0);
     },
     nullptr},
    {"BusFolderOwnedByAnotherUser",
     [](Fixture& f) {
       std::string theirs = f.shared + "/theirs";
       ASSERT_EQ(RunAsOtherUser({"/usr/bin/mkdir", "-m", "0777", theirs}), 0);
       ::setenv("ORV_BUS_DIR", theirs.c_str(), 1);  // the agent and this test choose alike
     },
     nullptr,
     [](Fixture& f) {
       EXPECT_TRUE(std::filesystem::is_empty(f.shared + "/theirs")) << "the agent used another user's folder";
       EXPECT_EQ(bus::BusFolder(), f.runtime + "/orv-windows");
     }},
    {"TwoIdlePipeConnectionsOfAnotherUser", nullptr,
     [](Fixture& f) {
       std::string pipe = f.pipes + "/" + std::string(kPipeName);
       ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(pipe); }));
       ASSERT_EQ(f.Other({ORV_TEST_PEER, "idle-pipe", pipe, "2"}).ReadLine(), "served 2 refused 0");
     },
     [](Fixture& f) {
       // The session's own panel, a limited user, still reaches the agent through the pipe.
       pid_t panel = ::fork();
       if (panel == 0) {
         if (::setgid(kPanelUser) != 0 || ::setuid(kPanelUser) != 0) ::_exit(2);
         AgentLink link(true, 0);
         WaitUntil([&] { return link.pipe()->ConnectedEntries() == 1 || link.pipe()->Finished(); }, 5000);
         ::_exit(link.Send(UM_SET_POLLING_RATE, 3, 0) == 1 && link.pipe()->ConnectedEntries() == 1 ? 0 : 4);
       }
       int status = 0;
       ::waitpid(panel, &status, 0);
       ASSERT_TRUE(WIFEXITED(status));
       EXPECT_EQ(WEXITSTATUS(status), 0);
       EXPECT_TRUE(f.TranscriptHas("ioctl=0x2224A0 in=03"));
     }},
};

INSTANTIATE_TEST_SUITE_P(OtherUser, AgentAttackTest, ::testing::ValuesIn(kAttacks),
                         [](const ::testing::TestParamInfo<Attack>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orv::test
