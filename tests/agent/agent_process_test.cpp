// OrvMouseSim and OrvAgent as real processes, in temporary folders, with the agent's input
// recorded to a file: what a user and the mouse would see, end to end.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>

#include "base/text.h"
#include "device/device_codes.h"
#include "device/device_io.h"
#include "device/device_protocol.h"
#include "device/onboard_format.h"
#include "link/agent_link.h"
#include "link/messages.h"
#include "link/window_bus.h"
#include "platform/folders.h"
#include "platform/input/record_injector.h"
#include "profile/profile_files.h"
#include "profile/settings_files.h"
#include "tests/sim/sim_process.h"
#include "tests/test_support.h"

namespace orv::test {
namespace {


class AgentProcess {
 public:
  AgentProcess() {
    pid_ = ::fork();
    if (pid_ == 0) {
      int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 0);
      ::dup2(null, 1);
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
  // Waits for the agent to end; its exit status, or -1 when it is still running after `ms`.
  int WaitForExit(int ms) {
    int status = 0;
    bool ended = WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, ms);
    if (!ended) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  bool Running() const { return pid_ > 0 && ::kill(pid_, 0) == 0; }
  void Terminate() {
    if (pid_ > 0) ::kill(pid_, SIGTERM);
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// The value of a field of the simulator's state line: the text of a string, or a number's digits.
std::string StateField(const std::string& state, const std::string& key) {
  size_t at = state.find("\"" + key + "\":");
  if (at == std::string::npos) return {};
  at += key.size() + 3;
  if (at < state.size() && state[at] == '"') {
    size_t end = state.find('"', at + 1);
    return state.substr(at + 1, end - at - 1);
  }
  size_t end = state.find_first_of(",}", at);
  return state.substr(at, end - at);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

// A device that greets, takes the event registration, then holds every answer back until told:
// an agent starting on it waits in its start-up, as on a driver that answers slowly. Every
// answer is a success with zeros. The codes it was asked for are kept.
class SlowDevice {
 public:
  explicit SlowDevice(const std::string& path) {
    listen_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    ok_ = ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(listen_, 1) == 0;
    server_ = std::jthread([this] { Serve(); });
  }
  ~SlowDevice() {
    Release();
    ::shutdown(listen_, SHUT_RDWR);
    if (int fd = client_.load(); fd >= 0) ::shutdown(fd, SHUT_RDWR);
    server_.join();
    if (client_ >= 0) ::close(client_);
    ::close(listen_);
  }
  bool ok() const { return ok_; }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_ = false;
    released_.notify_all();
  }
  std::vector<uint32_t> Codes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return codes_;
  }

 private:
  void Serve() {
    namespace dp = device_protocol;
    int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    client_ = fd;
    const std::vector<uint8_t> hello = dp::EncodeHello({true, 0});
    ::send(fd, hello.data(), hello.size(), MSG_NOSIGNAL);
    std::vector<uint8_t> buffer(dp::kMaxFrame + 1);
    for (;;) {
      ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
      if (n <= 0) return;
      dp::Frame frame;
      dp::Request request;
      if (!dp::DecodeFrame(buffer.data(), static_cast<size_t>(n), frame) || !dp::DecodeRequest(frame, request)) continue;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        codes_.push_back(request.code);
        if (request.code != IOCTL_REGISTER_EVENT) released_.wait(lock, [this] { return !hold_; });
      }
      dp::Answer answer;
      answer.code = request.code;
      answer.ok = true;
      answer.out.assign(request.outSize, 0);
      const std::vector<uint8_t> frameOut = dp::EncodeAnswer(frame.id, answer);
      ::send(fd, frameOut.data(), frameOut.size(), MSG_NOSIGNAL);
    }
  }

  int listen_ = -1;
  std::atomic<int> client_{-1};
  bool ok_ = false;
  std::mutex mutex_;
  std::condition_variable released_;
  bool hold_ = true;
  std::vector<uint32_t> codes_;
  std::jthread server_;
};

class AgentProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& d : {dir_ / "config", dir_ / "runtime", dir_ / "device", dir_ / "bus"})
      ::mkdir(d.c_str(), 0700);
    ::chmod((dir_ / "bus").c_str(), 01777);
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
    ::setenv("ORV_DEVICE_DIR", device_.c_str(), 1);
    ::setenv("ORV_BUS_DIR", (dir_ / "bus").c_str(), 1);
    ::setenv("ORV_PIPE_DIR", (dir_ / "runtime").c_str(), 1);
    ::setenv("ORV_INPUT", ("record:" + record_).c_str(), 1);
    ::setenv("ORV_TIME_SCALE", "0.02", 1);
    ::unsetenv("DISPLAY");
  }
  void TearDown() override {
    agent_.reset();
    sim_.reset();
  }
  void StartSim(std::vector<std::string> options = {}) {
    sim_ = std::make_unique<SimProcess>(device_, std::move(options));
    ASSERT_TRUE(sim_->ready());
  }
  // Starts the agent and waits for its window to carry its final title.
  WindowHandle StartAgent() {
    agent_ = std::make_unique<AgentProcess>();
    WindowHandle h = 0;
    WaitUntil([&] { return (h = bus::FindWindow(kAgentWindowTitle)) != 0; });
    return h;
  }
  std::string Transcript() { return sim_->Command({"transcript"}).out; }
  bool TranscriptHas(const std::string& text) {
    return WaitUntil([&] { return Transcript().find(text) != std::string::npos; });
  }
  std::vector<RecordedInput> Recorded() {
    std::vector<RecordedInput> inputs;
    ReadRecordFile(record_, inputs);
    return inputs;
  }
  void WriteConfig(const std::function<void(ProfileSet&)>& shape) {
    auto set = std::make_unique<ProfileSet>();
    ResetProfileSet(*set);
    ValidateProfileSet(*set);
    shape(*set);
    ASSERT_TRUE(CreateConfFolders());
    RegistryStore registry = UserRegistry();
    ASSERT_EQ(SaveProfileSet(ConfFolder(), *set, registry), 0);
  }
  int ActiveProfileInFile() {
    auto set = std::make_unique<ProfileSet>();
    LoadProfileSet(JoinPath(ConfFolder(), "Config.xml"), *set);
    return set->profileId;
  }

  TempDir dir_;
  std::string device_ = dir_ / "device";
  std::string record_ = dir_ / "input.txt";
  std::unique_ptr<SimProcess> sim_;
  std::unique_ptr<AgentProcess> agent_;
};

TEST_F(AgentProcessTest, StartsUpOnTheSimulatorAndTapsCForTheSeventhButton) {
  WriteConfig([](ProfileSet& s) { s.profiles[0].buttons[6].code = 501; });  // TOGGLE_CHARACTER_PANE
  StartSim();
  WindowHandle agent = StartAgent();
  ASSERT_NE(agent, 0u);
  EXPECT_EQ(bus::WindowProcessId(agent), agent_->pid());
  ASSERT_TRUE(TranscriptHas("ioctl=0x222690"));  // start-up ends with the lift distance
  std::string t = Transcript();
  EXPECT_LT(t.find("ioctl=0x222400"), t.find("ioctl=0x2225C0"));  // registered before anything else
  EXPECT_LT(t.find("ioctl=0x2225C0"), t.find("ioctl=0x222510"));
  EXPECT_LT(t.find("ioctl=0x222510"), t.find("ioctl=0x222420"));
  EXPECT_EQ(ReadFirmwareVersion(ConfFolder()), 203);  // the simulator's firmware 2.03

  // The seventh button is extra button 1032.
  ASSERT_EQ(sim_->Command({"press", "1032"}).status, 0);
  ASSERT_EQ(sim_->Command({"release", "1032"}).status, 0);
  ASSERT_TRUE(WaitUntil([&] { return Recorded().size() >= 2; }));
  auto inputs = Recorded();
  ASSERT_EQ(inputs.size(), 2u);
  EXPECT_EQ(inputs[0].kind, RecordedInput::Kind::kKey);
  EXPECT_EQ(inputs[0].virtualKey, 'C');
  EXPECT_EQ(inputs[0].scanCode, 0x2E);
  EXPECT_EQ(inputs[0].flags, 0u);
  EXPECT_EQ(inputs[1].virtualKey, 'C');
  EXPECT_EQ(inputs[1].flags, 2u);
}

TEST_F(AgentProcessTest, AProfileButtonSwitchesAndTheSwitchIsKeptInConfigXml) {
  WriteConfig([](ProfileSet& s) {
    s.profiles[0].buttons[6].code = 34;  // profile 3
    s.profiles[2].ledColor = 0x0000FF;
  });
  StartSim();
  ASSERT_NE(StartAgent(), 0u);
  ASSERT_TRUE(TranscriptHas("ioctl=0x222690"));
  sim_->Command({"press", "1032"});
  sim_->Command({"release", "1032"});
  ASSERT_TRUE(WaitUntil([&] { return ActiveProfileInFile() == 2; }));
  // The new profile's colour reached the mouse.
  EXPECT_TRUE(TranscriptHas("ioctl=0x222520 in=FF0000"));
}

TEST_F(AgentProcessTest, AReloadMessagePushesTheNewSettings) {
  StartSim();
  WindowHandle agent = StartAgent();
  ASSERT_NE(agent, 0u);
  ASSERT_TRUE(TranscriptHas("ioctl=0x222690"));
  WriteConfig([](ProfileSet& s) { s.profiles[0].ledColor = 0x00AB00; });
  ASSERT_TRUE(bus::Post(agent, UM_RELOAD_PROFILES, 0, 0));
  EXPECT_TRUE(TranscriptHas("ioctl=0x222520 in=00AB00"));
  EXPECT_TRUE(TranscriptHas("ioctl=0x222640"));
}

TEST_F(AgentProcessTest, ASecondAgentEndsAtOnceAndTheFirstKeepsItsWindow) {
  StartSim();
  WindowHandle first = StartAgent();
  ASSERT_NE(first, 0u);
  AgentProcess second;
  EXPECT_EQ(second.WaitForExit(5000), 0);
  EXPECT_EQ(bus::FindWindow(kAgentWindowTitle), first);
  EXPECT_TRUE(agent_->Running());
}

TEST_F(AgentProcessTest, AMousePluggedInLaterIsInitialisedWithoutARestart) {
  StartSim({"--absent"});
  WindowHandle agent = StartAgent();
  ASSERT_NE(agent, 0u);
  EXPECT_EQ(bus::Send(agent, UM_SET_LIFT_DISTANCE, 2, 0), 0);  // no device: the request fails
  EXPECT_EQ(Transcript().find("ioctl=0x222400"), std::string::npos);
  ASSERT_EQ(sim_->Command({"plug"}).status, 0);
  EXPECT_TRUE(TranscriptHas("ioctl=0x222690"));
  EXPECT_EQ(bus::Send(agent, UM_SET_LIFT_DISTANCE, 2, 0), 1);
}

TEST_F(AgentProcessTest, TheAgentSurvivesAKilledSimulatorAndFindsTheNextOne) {
  StartSim();
  WindowHandle agent = StartAgent();
  ASSERT_NE(agent, 0u);
  ASSERT_TRUE(TranscriptHas("ioctl=0x222690"));
  sim_->Kill(SIGKILL);
  // Meanwhile every device request fails, and the agent answers.
  EXPECT_EQ(bus::Send(agent, UM_SET_LIFT_DISTANCE, 3, 0), 0);
  EXPECT_TRUE(agent_->Running());
  StartSim();
  EXPECT_TRUE(TranscriptHas("ioctl=0x222690"));
  EXPECT_EQ(bus::Send(agent, UM_SET_LIFT_DISTANCE, 3, 0), 1);
}

TEST_F(AgentProcessTest, TerminationEndsTheAgentInOrder) {
  StartSim();
  ASSERT_NE(StartAgent(), 0u);
  ASSERT_TRUE(TranscriptHas("ioctl=0x222690"));
  agent_->Terminate();
  EXPECT_EQ(agent_->WaitForExit(5000), 0);
  std::string t = Transcript();
  size_t detached = t.rfind("ioctl=0x2225C4 in=0100");
  size_t unmasked = t.rfind("ioctl=0x222420 in=00000000");
  size_t unregistered = t.rfind("ioctl=0x222404");
  ASSERT_NE(detached, std::string::npos);
  EXPECT_LT(detached, unmasked);
  EXPECT_LT(unmasked, unregistered);
  EXPECT_EQ(bus::FindWindow(kAgentWindowTitle), 0u);
}

TEST_F(AgentProcessTest, TerminationDuringASlowStartUpEndsTheAgentInOrderOnceItsWindowExists) {
  SlowDevice device(device_ + "/VX-TidefallDevice");
  ASSERT_TRUE(device.ok());
  agent_ = std::make_unique<AgentProcess>();
  // The agent has registered and waits for its next answer, in the middle of its start-up.
  ASSERT_TRUE(WaitUntil([&] { return device.Codes().size() >= 2; }));
  EXPECT_EQ(bus::FindWindow(kAgentWindowTitle), 0u);
  agent_->Terminate();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(agent_->Running()) << "the signal ended the agent in the middle of its start-up";
  device.Release();
  EXPECT_EQ(agent_->WaitForExit(5000), 0);
  // It ended as it always does: detached, every button back to the mouse, unregistered.
  std::vector<uint32_t> codes = device.Codes();
  auto last = [&](uint32_t code) { return std::find(codes.rbegin(), codes.rend(), code) - codes.rbegin(); };
  ASSERT_LT(last(IOCTL_UNREGISTER), static_cast<long>(codes.size()));
  EXPECT_EQ(codes.back(), IOCTL_UNREGISTER);
  EXPECT_LT(last(IOCTL_SET_INTERCEPT_MASK), last(IOCTL_SET_DEVICE_MODE));  // the mask comes after the detach
  EXPECT_EQ(bus::FindWindow(kAgentWindowTitle), 0u);
}

// Keys held down by a button and by a single-key macro when the simulator is killed go up at
// once in the injected input; the agent stays.
TEST_F(AgentProcessTest, ASimulatorKilledWhileKeysAreHeldLeavesEveryKeyUp) {
  WriteConfig([](ProfileSet& s) {
    s.profiles[0].buttons[6].code = 102;   // id 1032: W held while the button is
    s.profiles[0].buttons[5].code = 1000;  // id 1024: macro 1, Q held
    Macro& m = s.profiles[0].macros[0];
    CopyText(m.name, u"hold Q");
    m.delayMode = kDelayRecorded;
    m.events[0] = {'Q', 0, {0, 0}, 0};
  });
  StartSim();
  ASSERT_NE(StartAgent(), 0u);
  ASSERT_TRUE(TranscriptHas("ioctl=0x222690"));
  ASSERT_EQ(sim_->Command({"press", "1032"}).status, 0);
  ASSERT_EQ(sim_->Command({"press", "1024"}).status, 0);
  auto down = [](const RecordedInput& r, int key, bool up) {
    return r.kind == RecordedInput::Kind::kKey && r.virtualKey == key && ((r.flags & KEYEVENTF_KEYUP) != 0) == up;
  };
  auto has = [&](int key, bool up) {
    for (const RecordedInput& r : Recorded())
      if (down(r, key, up)) return true;
    return false;
  };
  ASSERT_TRUE(WaitUntil([&] { return has('W', false) && has('Q', false); }));
  EXPECT_FALSE(has('W', true));
  sim_->Kill(SIGKILL);
  EXPECT_TRUE(WaitUntil([&] { return has('W', true) && has('Q', true); }));
  EXPECT_TRUE(agent_->Running());
}

// Start-up finds the mouse's settings differ from an unreadable Config.xml's defaults and saves
// the set whole: the unreadable file is kept beside it.
TEST_F(AgentProcessTest, AnUnreadableConfigXmlIsKeptWhenStartUpWritesANewOne) {
  StartSim();
  {
    // The mouse keeps sensitivity step 2 (the defaults say 6).
    std::unique_ptr<DeviceHandle> handle = DeviceHandle::Open(DevicePath(), nullptr);
    ASSERT_NE(handle, nullptr);
    uint8_t step = 2;
    ASSERT_TRUE(handle->Ioctl(IOCTL_SET_DPI_STEP, &step, 1, 0).ok);
    ASSERT_TRUE(handle->Ioctl(IOCTL_SAVE_SETTINGS, nullptr, 0, 0).ok);
  }
  ASSERT_TRUE(CreateConfFolders());
  const std::string config = JoinPath(ConfFolder(), "Config.xml");
  for (const char* name : {"one_wrong_character.xml", "truncated.xml", "binary_junk.bin"}) {
    const std::string bytes = ReadFile(std::string(ORV_FIXTURES_DIR) + "/broken_config/" + name);
    WriteFile(config, bytes);
    ASSERT_NE(StartAgent(), 0u) << name;
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(config + kBrokenConfigSuffix) == bytes; })) << name;
    auto set = std::make_unique<ProfileSet>();
    EXPECT_EQ(LoadProfileSet(config, *set), ProfileSetLoad::Loaded) << name;
    EXPECT_EQ(set->profiles[0].dpiStep, 2) << name;
    agent_->Terminate();
    EXPECT_EQ(agent_->WaitForExit(5000), 0) << name;
  }
}

TEST_F(AgentProcessTest, TheFirmwareIsUpdatedFromFirmwareXmlAndTheMouseReportsTheNewVersion) {
  StartSim();
  WindowHandle agent = StartAgent();
  ASSERT_NE(agent, 0u);
  ASSERT_TRUE(TranscriptHas("ioctl=0x222690"));
  EXPECT_EQ(StateField(sim_->Command({"state"}).out, "firmware_version"), "203");
  EXPECT_EQ(bus::Send(agent, UM_GET_FIRMWARE_VERSIONS, 0, 0), (0x0204 << 16) | 0x0203);
  EXPECT_EQ(bus::Send(agent, UM_UPDATE_FIRMWARE, 0, 0), 0);
  EXPECT_EQ(StateField(sim_->Command({"state"}).out, "firmware_version"), "204");
  EXPECT_TRUE(TranscriptHas("note=mouse-back firmware=0x0204"));
  // The mouse's return (a disconnect and a connect) is handled after the update; it ends with
  // the new version recorded.
  EXPECT_TRUE(WaitUntil([&] { return ReadFirmwareVersion(ConfFolder()) == 204; }));
  // From another process, only the file named in Firmware.xml.
  EXPECT_EQ(bus::Send(agent, UM_UPDATE_FIRMWARE, 0, 0x1234), -1);
}

TEST_F(AgentProcessTest, AProfileWrittenOnBoardIsInTheMousesMemoryByteForByte) {
  WriteConfig([](ProfileSet& s) {
    Profile& p = s.profiles[0];
    p.buttons[0].code = 18;
    p.buttons[6].code = 1000;
    CopyText(p.macros[0].name, u"greeting");
    p.macros[0].events[0] = MacroEvent{'H', 0, {0, 0}, 30};
    p.macros[0].events[1] = MacroEvent{'H', 1, {0, 0}, 120};
    p.macros[0].events[2] = MacroEvent{'I', 0, {0, 0}, 0};
    p.macros[0].events[3] = MacroEvent{'I', 1, {0, 0}, 0};
    p.macros[0].loopSwitch = 1;
    p.macros[0].loopCount = 3;
  });
  auto set = std::make_unique<ProfileSet>();
  LoadProfileSet(JoinPath(ConfFolder(), "Config.xml"), *set);
  OnboardImage expected = EncodeOnboardProfile(set->profiles[0], 16 * 512 + 100);
  ASSERT_TRUE(expected.complete);
  StartSim();
  WindowHandle agent = StartAgent();
  ASSERT_NE(agent, 0u);
  ASSERT_TRUE(TranscriptHas("ioctl=0x222690"));
  ASSERT_TRUE(bus::Post(agent, UM_RELOAD_PROFILES, 1, 1));
  ASSERT_TRUE(TranscriptHas("ioctl=0x2225DC"));
  std::string state;
  ASSERT_TRUE(WaitUntil([&] {
    state = sim_->Command({"state"}).out;
    return StateField(state, "onboard_length") == std::to_string(expected.data.size());
  }));
  EXPECT_EQ(StateField(state, "onboard_data"), Hex(expected.data));
  std::vector<uint8_t> header(expected.header.begin(), expected.header.end());
  EXPECT_NE(Transcript().find("ioctl=0x2225D4 in=" + Hex(header)), std::string::npos);
}

// An agent with full rights and a panel with limited ones: the panel's polling rate reaches the
// mouse through the agent's pipe.
TEST_F(AgentProcessTest, AnElevatedAgentTakesThePanelsMessagesFromThePipe) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the agent with full rights";
  std::string pipes = dir_ / "pipes";
  ::mkdir(pipes.c_str(), 0700);
  ::chmod(pipes.c_str(), 01777);
  ::chmod(dir_.path().c_str(), 0755);
  ::setenv("ORV_PIPE_DIR", pipes.c_str(), 1);
  StartSim();
  ASSERT_NE(StartAgent(), 0u);
  ASSERT_TRUE(TranscriptHas("ioctl=0x222690"));
  pid_t panel = ::fork();
  if (panel == 0) {
    // The panel's side, as an ordinary user.
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    bool usePipe = AgentNeedsPipe();
    WindowHandle agent = bus::FindWindow(kAgentWindowTitle);
    if (!usePipe || bus::Post(agent, UM_SET_POLLING_RATE, 3, 0)) ::_exit(3);  // direct messages are refused
    AgentLink link(true, 0);
    WaitUntil([&] { return link.pipe()->ConnectedEntries() == 1 || link.pipe()->Finished(); }, 5000);
    ::_exit(link.Send(UM_SET_POLLING_RATE, 3, 0) == 1 && link.pipe()->ConnectedEntries() == 1 ? 0 : 4);
  }
  int status = 0;
  ::waitpid(panel, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(TranscriptHas("ioctl=0x2224A0 in=03"));
}

}  // namespace
}  // namespace orv::test
