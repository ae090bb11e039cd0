#pragma once
// The agent window on a virtual clock with the simulator's model of the device, a fake desktop
// and an injector that keeps what it is given, in temporary folders: every request, pause and
// input can be checked.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "agent/agent_window.h"
#include "base/text.h"
#include "link/messages.h"
#include "platform/folders.h"
#include "platform/input/record_injector.h"
#include "profile/profile_files.h"
#include "sim/mouse_model.h"
#include "tests/test_support.h"

namespace orv::test {

struct DeviceRequest {
  uint32_t time;
  uint32_t code;
  std::vector<uint8_t> in;
  size_t outSize;
};

// The device of the tests: the simulator's own model of the driver and the mouse, on the test's
// virtual clock, so that every request meets the model's buffer-size and value checks and acts
// on its state; shared by every opening of it. The tests keep a log of what the agent asked
// and may pin what the mouse answers where they need an answer no mouse would give
// (`answers`), or make requests fail (`failures`, `alwaysFail`: armed in the model, which then
// fails them with ERROR_GEN_FAILURE).
struct FakeDeviceState {
  explicit FakeDeviceState(Clock& c) : clock(c), model(c, ModelConfig()) {
    model.SetEventPendingCallback([this] {
      if (EventSemaphore* s = semaphore.load()) s->Release(1);
    });
  }
  // The mouse comes back from its loader at once.
  static sim::MouseConfig ModelConfig() {
    sim::MouseConfig config;
    config.reenumerateMs = 0;
    return config;
  }
  Clock& clock;
  sim::MouseModel model;
  std::mutex mutex;
  std::vector<DeviceRequest> requests;               // everything but IOCTL_GET_EVENT
  std::map<uint32_t, std::vector<uint8_t>> answers;  // output that replaces the model's for a code
  std::map<uint32_t, int> failures;                   // how many of the next requests of a code fail
  std::set<uint32_t> alwaysFail;
  std::atomic<EventSemaphore*> semaphore{nullptr};
  bool present = true;  // whether opening finds a device
  bool alive = true;
  int openings = 0;

  // Queues an event word, as the driver does (the model releases the agent's semaphore).
  void PushEvent(uint32_t word) { model.QueueEventWord(word); }
  // Sets the mouse up with a request of its own, outside the agent's log. True when it took it.
  bool Mouse(uint32_t code, std::vector<uint8_t> in) { return model.Ioctl(code, in.data(), in.size(), 0).ok; }
  std::vector<DeviceRequest> Take() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(requests, {});
  }
  std::vector<uint32_t> Codes() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<uint32_t> codes;
    for (auto& r : requests) codes.push_back(r.code);
    return codes;
  }
};

class FakeDevice : public DeviceIo {
 public:
  explicit FakeDevice(std::shared_ptr<FakeDeviceState> s) : s_(std::move(s)) {}
  IoctlResult Ioctl(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize) override {
    std::vector<uint8_t> pinned;
    {
      std::lock_guard<std::mutex> lock(s_->mutex);
      if (!s_->alive) return {false, device_error::ERROR_DEVICE_NOT_CONNECTED, {}};
      if (code != IOCTL_GET_EVENT)
        s_->requests.push_back({s_->clock.TickCount(), code, std::vector<uint8_t>(in, in + inSize), outSize});
      if (s_->alwaysFail.count(code)) s_->model.ArmFailure(code);
      if (auto f = s_->failures.find(code); f != s_->failures.end() && f->second > 0) {
        --f->second;
        s_->model.ArmFailure(code);
      }
      if (auto a = s_->answers.find(code); a != s_->answers.end()) pinned = a->second;
    }
    // Not under the lock: the model may release the semaphore meanwhile.
    s_->model.Poll();
    IoctlResult r = s_->model.Ioctl(code, in, inSize, outSize);
    if (r.ok && !pinned.empty()) {
      r.out.assign(outSize, 0);
      for (size_t i = 0; i < outSize && i < pinned.size(); ++i) r.out[i] = pinned[i];
    }
    return r;
  }
  bool Alive() const override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    return s_->alive;
  }

 private:
  std::shared_ptr<FakeDeviceState> s_;
};

class FakeDesktop : public AgentDesktop {
 public:
  pid_t ForegroundProcessId() override { return foreground; }
  bool TakeProcessSnapshot(std::vector<ProcessEntry>& out) override {
    out = processes;
    return snapshotWorks;
  }
  bool SetDoubleClickTime(int ms) override {
    doubleClick.push_back(ms);
    return true;
  }
  bool SetMouseSpeed(int speed) override {
    mouseSpeed.push_back(speed);
    return true;
  }
  bool SetWheelScrollLines(int lines) override {
    wheelLines.push_back(lines);
    return true;
  }
  bool LaunchProgram(const std::string& path) override {
    launched.push_back(path);
    return false;
  }
  // A process in front with that executable name.
  void Front(std::u16string name, pid_t pid = 4242) {
    processes = {{1, u"init"}, {pid, std::move(name)}, {9999, u"orv.exe"}};
    foreground = pid;
  }
  pid_t foreground = 0;
  std::vector<ProcessEntry> processes;
  bool snapshotWorks = true;
  std::vector<int> doubleClick, mouseSpeed, wheelLines;
  std::vector<std::string> launched;
};

class FakeTimers : public WindowTimers {
 public:
  void SetTimer(uint32_t id, uint32_t periodMs) override { running[id] = periodMs; }
  void KillTimer(uint32_t id) override { running.erase(id); }
  bool Running(uint32_t id) const { return running.count(id) != 0; }
  std::map<uint32_t, uint32_t> running;
};

// A window of the test standing in for the panel, tray program or About window.
class StandInWindow : public MessageTarget {
 public:
  explicit StandInWindow(std::u16string_view title) { handle = bus::CreateWindow(this, title); }
  ~StandInWindow() override { bus::DestroyWindow(handle); }
  LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
    received.push_back({code, w, l});
    return 1;
  }
  struct Message {
    uint32_t code;
    WParam w;
    LParam l;
    bool operator==(const Message&) const = default;
  };
  // Handles what was posted, then gives everything received so far.
  std::vector<Message> Messages() {
    bus::DispatchPending();
    return received;
  }
  // Forgets everything received so far, posted messages included.
  void Clear() {
    bus::DispatchPending();
    received.clear();
  }
  friend void PrintTo(const Message& m, std::ostream* os) {
    *os << "{0x" << std::hex << m.code << std::dec << ", " << m.w << ", " << m.l << "}";
  }
  WindowHandle handle = 0;
  std::vector<Message> received;
};

// A virtual clock that can let other threads run at each pause (the event thread counting the
// connects an update waits for).
class HookedClock : public VirtualClock {
 public:
  void Sleep(uint32_t ms) override {
    VirtualClock::Sleep(ms);
    if (onSleep) onSleep(ms);
  }
  std::function<void(uint32_t)> onSleep;
};

class AgentTest : public ::testing::Test {
 protected:
  AgentTest() : device(std::make_shared<FakeDeviceState>(clock)), input("", true, &clock) {}

  void SetUp() override {
    ::chmod(bus_.path().c_str(), 01777);
    ::setenv("ORV_BUS_DIR", bus_.path().c_str(), 1);
    ::setenv("ORV_PIPE_DIR", bus_.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", home_.path().c_str(), 1);
    // The mouse: 16 units of on-board memory (the model's own), firmware 1.05, and settings
    // that differ from a new profile's in sensitivity step, polling rate, colour and pulsation.
    device->model.SetFirmwareWord(0x0105);
    ASSERT_TRUE(device->Mouse(IOCTL_SET_DPI_STEP, {3}));
    ASSERT_TRUE(device->Mouse(IOCTL_SET_POLLING_RATE, {1}));
    ASSERT_TRUE(device->Mouse(IOCTL_SET_LED_COLOR, {0xFF, 0, 0}));
    ASSERT_TRUE(device->Mouse(IOCTL_SET_LED_INTENSITY, {4}));
    ASSERT_TRUE(device->Mouse(IOCTL_SET_LED_PULSATION, {1}));
    ASSERT_TRUE(device->Mouse(IOCTL_SAVE_SETTINGS, {}));
  }
  void TearDown() override { agent.reset(); }

  AgentServices Services() {
    AgentServices s;
    s.clock = &clock;
    s.input = &input;
    s.desktop = &desktop;
    s.timers = &timers;
    s.programFolder = programFolder;
    s.askYesNo = [this](std::u16string_view question) {
      asked.emplace_back(question);
      return answer;
    };
    auto state = device;
    s.openDevice = [state](EventSemaphore& semaphore) -> std::unique_ptr<DeviceIo> {
      std::lock_guard<std::mutex> lock(state->mutex);
      if (!state->present) return nullptr;
      state->alive = true;
      state->semaphore = &semaphore;
      ++state->openings;
      return std::make_unique<FakeDevice>(state);
    };
    return s;
  }
  // Creates the agent window (creation runs the whole start-up) and forgets what start-up
  // asked of the device and the clock, unless told to keep it.
  CMyWnd& StartAgent(bool keepHistory = false) {
    agent.reset();
    agent = std::make_unique<CMyWnd>(Services(), false);
    EXPECT_TRUE(agent->Create());
    if (!keepHistory) Forget();
    return *agent;
  }
  void Forget() {
    device->Take();
    clock.ClearPauses();
    input.ClearInputs();
  }
  std::string ConfigPath() { return JoinPath(ConfFolder(), "Config.xml"); }
  // Writes a Config.xml for the agent to load, from a set the test shapes.
  void WriteConfig(const std::function<void(ProfileSet&)>& shape) {
    auto set = std::make_unique<ProfileSet>();
    ResetProfileSet(*set);
    ValidateProfileSet(*set);
    shape(*set);
    ASSERT_TRUE(CreateConfFolders());
    RegistryStore registry = UserRegistry();
    ASSERT_EQ(SaveProfileSet(ConfFolder(), *set, registry), 0);
  }
  LResult Message(uint32_t code, WParam w = 0, LParam l = 0) { return agent->HandleMessage(code, w, l); }
  // Standard report of the pressed standard buttons, or an extra report.
  void Standard(uint32_t mask) { Message(UM_DEVICE_EVENT, mask, 0); }
  void Extra(uint32_t mask) { Message(UM_DEVICE_EVENT, mask, 1); }

  TempDir home_, bus_;
  HookedClock clock;
  std::shared_ptr<FakeDeviceState> device;
  RecordInjector input;
  FakeDesktop desktop;
  FakeTimers timers;
  std::string programFolder = ORV_PROGRAM_DIR "/";
  std::vector<std::u16string> asked;  // the questions put to the user
  bool answer = false;
  std::unique_ptr<CMyWnd> agent;
};

inline std::vector<uint8_t> Le32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

}  // namespace orv::test
