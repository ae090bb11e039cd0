// Latency from a button report to the injected input, for a tap code (TARGET_NEAREST_ENEMY on
// the seventh button, a tap of Tab):
//   - in process: the mouse model behind the agent's device interface, the agent's event
//     thread and window thread, and an injector that keeps its inputs in memory;
//   - end to end: OrvMouseSim and OrvAgent as processes, from the press command on the
//     simulator's command socket to the key line appearing in the record backend's file.
// Each is run side by side with what the road costs without the agent: in process, the model's
// own event notice and the same three threads handing a press on through a semaphore and an
// eventfd with nothing else to do; end to end, the simulator's answer to the press command. A
// last figure tells how often this machine takes a busy thread off its core for over 20 us.
//
// Ends with "RESULT name value" lines; exits non-zero when an input went missing.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "agent/agent_window.h"
#include "bench/bench_support.h"
#include "link/messages.h"
#include "platform/folders.h"
#include "platform/input/record_injector.h"
#include "sim/mouse_model.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr int kSeventhButtonId = 1032;
constexpr int kInProcessPresses = 2000;
constexpr int kEndToEndPresses = 500;

double Us(SteadyClock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

using bench::Percentile;

// Notes the moment of every key-down it is given.
class TimingInjector : public RecordInjector {
 public:
  TimingInjector() : RecordInjector("", false) {}
  bool SendKey(uint16_t vk, uint16_t scan, uint32_t flags, uint64_t extra) override {
    if (!(flags & 2)) {
      std::lock_guard<std::mutex> lock(mutex);
      downs.push_back(SteadyClock::now());
      changed.notify_all();
    }
    return RecordInjector::SendKey(vk, scan, flags, extra);
  }
  // Waits (without taking a core from the agent's threads) for more than `count` key-downs.
  bool WaitBeyond(size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(1), [&] { return downs.size() > count; });
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex);
    return downs.size();
  }
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<SteadyClock::time_point> downs;
};

class QuietDesktop : public AgentDesktop {
 public:
  pid_t ForegroundProcessId() override { return 0; }
  bool TakeProcessSnapshot(std::vector<ProcessEntry>& out) override {
    out.clear();
    return true;
  }
  bool SetDoubleClickTime(int) override { return true; }
  bool SetMouseSpeed(int) override { return true; }
  bool SetWheelScrollLines(int) override { return true; }
  bool LaunchProgram(const std::string&) override { return false; }
};

class NoTimers : public WindowTimers {
 public:
  void SetTimer(uint32_t, uint32_t) override {}
  void KillTimer(uint32_t) override {}
};

struct Figures {
  double p50, p99;
  size_t missing;
};

// In process: press on the model from another thread, measure to the key-down in the injector
// while this thread runs the agent window's loop.
void MeasureInProcess(Figures& agent, Figures& notice, Figures& dispatch) {
  VirtualClock clock;  // start-up's pauses take no time
  sim::MouseModel model(clock);
  EventSemaphore* semaphore = nullptr;
  std::atomic<int> notices{0};
  std::vector<SteadyClock::time_point> noticeTimes;
  noticeTimes.reserve(2 * kInProcessPresses + 16);
  std::mutex noticeMutex;
  model.SetEventPendingCallback([&] {
    {
      std::lock_guard<std::mutex> lock(noticeMutex);
      noticeTimes.push_back(SteadyClock::now());
    }
    ++notices;
    if (semaphore) semaphore->Release(1);
  });
  TimingInjector input;
  QuietDesktop desktop;
  NoTimers timers;
  AgentServices services;
  services.clock = &clock;
  services.input = &input;
  services.desktop = &desktop;
  services.timers = &timers;
  services.programFolder = ProgramFolder();
  services.openDevice = [&](EventSemaphore& s) -> std::unique_ptr<DeviceIo> {
    semaphore = &s;
    return std::make_unique<sim::ModelDevice>(model);
  };
  CMyWnd window(std::move(services), false);
  window.Create();
  window.currentSet().profiles[0].buttons[6].code = 401;
  // The bus folder has just changed; the window lookups a press makes reuse their scan once it
  // has settled, as they do when a press comes long after start-up.
  bus::PumpFor(100);
  // The window thread's part alone: the report handled as it comes out of the queue.
  {
    std::vector<double> us;
    for (int i = 0; i < kInProcessPresses; ++i) {
      size_t before = input.Count();
      auto t0 = SteadyClock::now();
      window.HandleMessage(UM_DEVICE_EVENT, 1u << (kSeventhButtonId - 1024), 1);
      if (input.Count() > before) us.push_back(Us(input.downs.back() - t0));
      window.HandleMessage(UM_DEVICE_EVENT, 0, 1);
    }
    dispatch = {Percentile(us, 0.5), Percentile(us, 0.99), kInProcessPresses - us.size()};
    std::lock_guard<std::mutex> lock(input.mutex);
    input.downs.clear();
  }

  std::vector<SteadyClock::time_point> pressed(kInProcessPresses);
  std::atomic<bool> done{false};
  std::thread presser([&] {
    for (int i = 0; i < kInProcessPresses; ++i) {
      size_t before = input.Count();
      pressed[i] = SteadyClock::now();
      model.Press(kSeventhButtonId);
      input.WaitBeyond(before);
      model.Release(kSeventhButtonId);
      std::this_thread::sleep_for(std::chrono::microseconds(500));  // the release is handled meanwhile
    }
    done = true;
  });
  while (!done) bus::PumpFor(10, [&] { return done.load(); });
  presser.join();
  bus::PumpFor(50);

  std::vector<double> us;
  for (size_t i = 0; i < input.downs.size() && i < pressed.size(); ++i) us.push_back(Us(input.downs[i] - pressed[i]));
  agent = {Percentile(us, 0.5), Percentile(us, 0.99), pressed.size() - std::min(pressed.size(), input.downs.size())};
  // The floor: from the press to the model's own notice of the event.
  std::vector<double> floor;
  for (size_t i = 0, n = 0; i < noticeTimes.size() && n < pressed.size(); i += 2, ++n)
    floor.push_back(Us(noticeTimes[i] - pressed[n]));
  notice = {Percentile(floor, 0.5), Percentile(floor, 0.99), 0};
}

// The same road without the agent: another thread stands for the mouse and releases a
// semaphore for each press, as the model's event notice does; a relay thread waiting on it wakes
// this thread through an eventfd, as the event thread wakes the window thread. The pauses
// between presses are the in-process measurement's, so the threads are as idle when a press comes.
Figures MeasureHandOffs() {
  EventSemaphore semaphore(100);
  int wake = ::eventfd(0, EFD_CLOEXEC);
  std::atomic<bool> stop{false};
  std::thread relay([&] {
    for (;;) {
      semaphore.Wait();
      if (stop) return;
      uint64_t one = 1;
      (void)!::write(wake, &one, sizeof one);
    }
  });
  std::vector<SteadyClock::time_point> pressed(kInProcessPresses), arrived(kInProcessPresses);
  std::atomic<int> seen{0};
  std::thread presser([&] {
    for (int i = 0; i < kInProcessPresses; ++i) {
      pressed[i] = SteadyClock::now();
      semaphore.Release(1);
      while (seen.load() <= i) std::this_thread::sleep_for(std::chrono::microseconds(20));
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  });
  for (int i = 0; i < kInProcessPresses; ++i) {
    pollfd p{wake, POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) break;
    uint64_t n;
    (void)!::read(wake, &n, sizeof n);
    arrived[i] = SteadyClock::now();
    seen = i + 1;
  }
  presser.join();
  stop = true;
  semaphore.Release(1);
  relay.join();
  ::close(wake);
  std::vector<double> us;
  for (int i = 0; i < seen; ++i) us.push_back(Us(arrived[i] - pressed[i]));
  return {Percentile(us, 0.5), Percentile(us, 0.99), static_cast<size_t>(kInProcessPresses - seen)};
}

// How often this machine takes a running thread off its core for more than 20 us: a busy loop
// reads the clock for one second and counts the gaps. Any road whose p99 is near 20 us is hit
// by these about as often as 1 in 100 times.
double InterruptionsPerSecond() {
  auto start = SteadyClock::now(), last = start;
  int gaps = 0;
  while (last - start < std::chrono::seconds(1)) {
    auto now = SteadyClock::now();
    if (now - last > std::chrono::microseconds(20)) ++gaps;
    last = now;
  }
  return gaps / Us(last - start) * 1e6;
}

// Runs `measure` with this thread, and every thread it starts, kept on the core it is on now:
// the hand-offs then never wake another core. Shows how much of the in-process road is the
// wake-up of an idle core rather than work.
template <typename Measure>
void OnOneCore(Measure measure) {
  cpu_set_t all, one;
  ::sched_getaffinity(0, sizeof all, &all);
  CPU_ZERO(&one);
  CPU_SET(::sched_getcpu(), &one);
  ::sched_setaffinity(0, sizeof one, &one);
  measure();
  ::sched_setaffinity(0, sizeof all, &all);
}

// ---- End to end ------------------------------------------------------------------------------

pid_t Start(const std::string& program, const std::vector<std::string>& args) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

// One command on the simulator's command socket; true when it answered with status 0.
bool SimCommand(const std::string& controlPath, const std::string& line) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, controlPath.c_str(), sizeof addr.sun_path - 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return false;
  }
  std::string text = line + "\n";
  (void)!::write(fd, text.data(), text.size());
  char buf[256];
  ssize_t n = ::read(fd, buf, sizeof buf);
  ::close(fd);
  return n > 0 && buf[0] == '0';
}

void MeasureEndToEnd(Figures& agent, Figures& command, bool& ok) {
  test::TempDir dir;
  for (const char* d : {"config", "runtime", "device", "bus"}) ::mkdir((dir / d).c_str(), 0700);
  ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
  ::setenv("ORV_DEVICE_DIR", (dir / "device").c_str(), 1);
  ::setenv("ORV_BUS_DIR", (dir / "bus").c_str(), 1);
  ::setenv("ORV_PIPE_DIR", (dir / "runtime").c_str(), 1);
  // Real time: a scaled clock would run the agent's one-second timer (game detection, which
  // reads every process) many times a second and put it in the way of the presses.
  ::unsetenv("ORV_TIME_SCALE");
  std::string record = dir / "input.txt";
  ::setenv("ORV_INPUT", ("record:" + record).c_str(), 1);
  std::string program = ProgramFolder();
  std::string control = dir / "device/OrvMouseSim.control";
  pid_t sim = Start(program + "OrvMouseSim", {"serve"});
  for (int i = 0; i < 500 && !SimCommand(control, "state"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  pid_t agentPid = Start(program + "OrvAgent", {});
  ::close(::open(record.c_str(), O_WRONLY | O_CREAT, 0644));
  int watch = ::inotify_init1(IN_CLOEXEC);
  ::inotify_add_watch(watch, record.c_str(), IN_MODIFY);
  struct stat st {};
  // One press: its latency to the first new record line (the tap writes two), or -1 when no
  // line came within `waitMs` or the simulator refused the press.
  auto pressOnce = [&](int waitMs, double* commandTime) -> double {
    ::stat(record.c_str(), &st);
    const off_t size = st.st_size;
    auto t0 = SteadyClock::now();
    if (!SimCommand(control, "press 1032")) return -1;
    if (commandTime) *commandTime = Us(SteadyClock::now() - t0);
    double latency = -1;
    for (auto end = t0 + std::chrono::milliseconds(waitMs); SteadyClock::now() < end;) {
      ::stat(record.c_str(), &st);
      if (st.st_size > size) {
        latency = Us(SteadyClock::now() - t0);
        break;
      }
      pollfd p{watch, POLLIN, 0};
      if (::poll(&p, 1, 10) > 0) {
        char events[4096];
        (void)!::read(watch, events, sizeof events);
      }
    }
    SimCommand(control, "release 1032");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return latency;
  };
  // The agent is ready once a press comes out as a key (start-up takes a few seconds).
  bool ready = false;
  for (int i = 0; i < 200 && !ready; ++i) ready = pressOnce(100, nullptr) >= 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the release, and start-up's last requests
  std::vector<double> us, commandUs;
  size_t missing = 0;
  for (int i = 0; ready && i < kEndToEndPresses; ++i) {
    double commandTime = -1;
    double latency = pressOnce(1000, &commandTime);
    if (commandTime >= 0) commandUs.push_back(commandTime);
    if (latency >= 0) us.push_back(latency); else ++missing;
  }
  if (!ready) {
    std::fprintf(stderr, "the agent never turned a press into a key\n");
    missing = kEndToEndPresses;
  }
  ::close(watch);
  ::kill(agentPid, SIGTERM);
  ::waitpid(agentPid, nullptr, 0);
  SimCommand(control, "quit");
  ::waitpid(sim, nullptr, 0);
  agent = {Percentile(us, 0.5), Percentile(us, 0.99), missing};
  command = {Percentile(commandUs, 0.5), Percentile(commandUs, 0.99), 0};
  if (missing) ok = false;
}

}  // namespace
}  // namespace orv

int main() {
  using namespace orv;
  ::signal(SIGPIPE, SIG_IGN);
  test::TempDir home;
  test::TempDir busDir;
  ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  ::setenv("ORV_BUS_DIR", busDir.path().c_str(), 1);
  bool ok = true;
  Figures inProcess{}, notice{}, dispatch{};
  MeasureInProcess(inProcess, notice, dispatch);
  if (inProcess.missing || dispatch.missing) ok = false;
  Figures handOffs = MeasureHandOffs();
  if (handOffs.missing) ok = false;
  Figures oneCore{}, oneCoreNotice{}, oneCoreDispatch{}, oneCoreHandOffs{};
  OnOneCore([&] {
    MeasureInProcess(oneCore, oneCoreNotice, oneCoreDispatch);
    oneCoreHandOffs = MeasureHandOffs();
  });
  if (oneCore.missing || oneCoreHandOffs.missing) ok = false;
  double interruptions = InterruptionsPerSecond();
  Figures endToEnd{}, command{};
  MeasureEndToEnd(endToEnd, command, ok);
  std::printf("%-44s %10s %10s\n", "", "p50 (us)", "p99 (us)");
  std::printf("%-44s %10.1f %10.1f\n", "in process: report -> injected key", inProcess.p50, inProcess.p99);
  std::printf("%-44s %10.1f %10.1f\n", "in process: report handled -> injected key", dispatch.p50, dispatch.p99);
  std::printf("%-44s %10.1f %10.1f\n", "in process: report -> event notice (floor)", notice.p50, notice.p99);
  std::printf("%-44s %10.1f %10.1f\n", "same road without the agent (floor)", handOffs.p50, handOffs.p99);
  std::printf("%-44s %10.1f %10.1f\n", "in process, one core: report -> injected key", oneCore.p50, oneCore.p99);
  std::printf("%-44s %10.1f %10.1f\n", "in process, one core: without the agent", oneCoreHandOffs.p50, oneCoreHandOffs.p99);
  std::printf("%-44s %10.1f %10.1f\n", "processes: press command -> record line", endToEnd.p50, endToEnd.p99);
  std::printf("%-44s %10.1f %10.1f\n", "processes: press command answered (floor)", command.p50, command.p99);
  std::printf("a busy thread loses over 20 us %.0f times a second here\n", interruptions);
  std::printf("goals: in process p99 under 20 us; end to end p99 under 500 us\n");
  std::printf("RESULT in_process_p50_us %.2f\n", inProcess.p50);
  std::printf("RESULT in_process_p99_us %.2f\n", inProcess.p99);
  std::printf("RESULT in_process_notice_p99_us %.2f\n", notice.p99);
  std::printf("RESULT dispatch_only_p50_us %.2f\n", dispatch.p50);
  std::printf("RESULT dispatch_only_p99_us %.2f\n", dispatch.p99);
  std::printf("RESULT hand_offs_p50_us %.2f\n", handOffs.p50);
  std::printf("RESULT hand_offs_p99_us %.2f\n", handOffs.p99);
  std::printf("RESULT one_core_in_process_p50_us %.2f\n", oneCore.p50);
  std::printf("RESULT one_core_in_process_p99_us %.2f\n", oneCore.p99);
  std::printf("RESULT one_core_hand_offs_p99_us %.2f\n", oneCoreHandOffs.p99);
  std::printf("RESULT interruptions_over_20us_per_s %.0f\n", interruptions);
  std::printf("RESULT end_to_end_p50_us %.2f\n", endToEnd.p50);
  std::printf("RESULT end_to_end_p99_us %.2f\n", endToEnd.p99);
  std::printf("RESULT sim_command_p99_us %.2f\n", command.p99);
  std::printf("RESULT missing_inputs %zu\n", inProcess.missing + oneCore.missing + endToEnd.missing);
  return ok ? 0 : 1;
}
