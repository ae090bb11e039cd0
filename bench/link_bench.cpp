// Benchmark of the window bus between two processes: the round trip of Send (p50, p99 over
// 10,000 sends) and the rate of Post, side by side with the same exchange over a bare
// sequenced-packet socket pair, the floor of what the bus is built on.
//
// Ends with "RESULT name value" lines; exits non-zero when a message went missing.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "link/window_bus.h"
#include "platform/input/record_injector.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSends = 10000;
constexpr int kPosts = 200000;
constexpr uint32_t kEcho = 0x9001, kPosted = 0x9002, kCount = 0x9003, kQuit = 0x9004;

class PeerWindow : public MessageTarget {
 public:
  LResult HandleMessage(uint32_t code, WParam w, LParam) override {
    if (code == kEcho) return static_cast<LResult>(w) + 1;
    if (code == kPosted) ++posts;
    if (code == kCount) return posts;
    if (code == kQuit) quit = true;
    return 0;
  }
  int64_t posts = 0;
  bool quit = false;
};

// The child's side: one window, served until told to quit.
[[noreturn]] void RunPeer(int ready) {
  PeerWindow window;
  WindowHandle h = bus::CreateWindow(&window, u"link bench peer");
  (void)!::write(ready, &h, sizeof h);
  ::close(ready);
  while (!window.quit) bus::PumpFor(100, [&] { return window.quit; });
  bus::DestroyWindow(h);
  ::_exit(0);
}

using bench::Percentile;

struct Figures {
  double p50Us, p99Us, postsPerSecond;
};

Figures MeasureBus(bool& ok) {
  int fds[2];
  if (::pipe(fds) != 0) std::exit(2);
  pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    RunPeer(fds[1]);
  }
  ::close(fds[1]);
  WindowHandle peer = 0;
  if (::read(fds[0], &peer, sizeof peer) != sizeof peer || !peer) std::exit(2);
  ::close(fds[0]);

  for (int i = 0; i < 1000; ++i) bus::Send(peer, kEcho, i, 0);  // warm up
  std::vector<double> us;
  us.reserve(kSends);
  for (int i = 0; i < kSends; ++i) {
    auto t0 = Clock::now();
    LResult r = bus::Send(peer, kEcho, i, 0);
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    if (r != i + 1) ok = false;
  }
  auto t0 = Clock::now();
  int posted = 0;
  for (int i = 0; i < kPosts; ++i) posted += bus::Post(peer, kPosted, i, 0) ? 1 : 0;
  LResult seen = bus::Send(peer, kCount, 0, 0);  // behind every post on the same connection
  double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  if (posted != kPosts || seen != kPosts) ok = false;
  bus::Post(peer, kQuit, 0, 0);
  ::waitpid(child, nullptr, 0);
  return {Percentile(us, 0.5), Percentile(us, 0.99), seen / seconds};
}

// The same exchange over a bare socket pair: 48-byte packets, echoed by the other process.
Figures MeasureRawSocket() {
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv) != 0) std::exit(2);
  pid_t child = ::fork();
  if (child == 0) {
    ::close(sv[0]);
    unsigned char buf[48];
    for (;;) {
      ssize_t n = ::recv(sv[1], buf, sizeof buf, 0);
      if (n <= 0) ::_exit(0);
      if (buf[0] == 1) (void)!::send(sv[1], buf, sizeof buf, 0);  // a "send": answer it
      if (buf[0] == 3) (void)!::send(sv[1], buf, sizeof buf, 0);  // the final count request
    }
  }
  ::close(sv[1]);
  unsigned char buf[48] = {1};
  std::vector<double> us;
  us.reserve(kSends);
  for (int i = 0; i < 1000 + kSends; ++i) {
    auto t0 = Clock::now();
    (void)!::send(sv[0], buf, sizeof buf, 0);
    (void)!::recv(sv[0], buf, sizeof buf, 0);
    if (i >= 1000) us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  buf[0] = 2;
  auto t0 = Clock::now();
  for (int i = 0; i < kPosts; ++i) (void)!::send(sv[0], buf, sizeof buf, 0);
  buf[0] = 3;
  (void)!::send(sv[0], buf, sizeof buf, 0);
  (void)!::recv(sv[0], buf, sizeof buf, 0);
  double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  ::close(sv[0]);
  ::waitpid(child, nullptr, 0);
  return {Percentile(us, 0.5), Percentile(us, 0.99), kPosts / seconds};
}

// One SendKey through the record backend writing to a file (one write per line), beside the
// same line formatted and written with a bare write(2).
Figures MeasureSendKey(const std::string& folder, double& rawP99, bool& ok) {
  RecordInjector input(folder + "/record.txt");
  if (!input.Open()) ok = false;
  std::vector<double> us;
  us.reserve(kSends);
  for (int i = 0; i < 1000 + kSends; ++i) {
    auto t0 = Clock::now();
    if (!input.SendKey('C', 0x2E, i % 2 ? 2 : 0, 0)) ok = false;
    if (i >= 1000) us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  int fd = ::open((folder + "/raw.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  std::vector<double> raw;
  for (int i = 0; i < kSends; ++i) {
    auto t0 = Clock::now();
    char line[64];
    int n = std::snprintf(line, sizeof line, "key vk=67 scan=46 flags=%d extra=0 t=%d\n", i % 2 ? 2 : 0, i);
    (void)!::write(fd, line, static_cast<size_t>(n));
    raw.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  ::close(fd);
  rawP99 = Percentile(raw, 0.99);
  return {Percentile(us, 0.5), Percentile(us, 0.99), 0};
}

}  // namespace
}  // namespace orv

int main() {
  using namespace orv;
  ::signal(SIGPIPE, SIG_IGN);
  test::TempDir dir;
  ::setenv("ORV_BUS_DIR", dir.path().c_str(), 1);
  Figures raw = MeasureRawSocket();
  bool ok = true;
  Figures bus = MeasureBus(ok);
  std::printf("%-34s %12s %12s\n", "", "window bus", "bare socket");
  std::printf("%-34s %12.1f %12.1f\n", "Send round trip p50 (us)", bus.p50Us, raw.p50Us);
  std::printf("%-34s %12.1f %12.1f\n", "Send round trip p99 (us)", bus.p99Us, raw.p99Us);
  std::printf("%-34s %12.0f %12.0f\n", "Post rate (messages/s)", bus.postsPerSecond, raw.postsPerSecond);
  double rawWriteP99 = 0;
  Figures key = MeasureSendKey(dir.path(), rawWriteP99, ok);
  std::vector<RecordedInput> lines;
  if (!ReadRecordFile(dir / "record.txt", lines) || lines.size() != 1000 + kSends) ok = false;
  std::printf("%-34s %12.1f %12.1f\n", "SendKey, record backend p99 (us)", key.p99Us, rawWriteP99);
  std::printf("goals: Send p99 under 100 us; at least 100,000 posts/s\n");
  std::printf("RESULT send_round_trip_p50_us %.2f\n", bus.p50Us);
  std::printf("RESULT send_round_trip_p99_us %.2f\n", bus.p99Us);
  std::printf("RESULT raw_socket_round_trip_p50_us %.2f\n", raw.p50Us);
  std::printf("RESULT raw_socket_round_trip_p99_us %.2f\n", raw.p99Us);
  std::printf("RESULT post_messages_per_s %.0f\n", bus.postsPerSecond);
  std::printf("RESULT raw_socket_messages_per_s %.0f\n", raw.postsPerSecond);
  std::printf("RESULT send_p99_ratio_raw %.2f\n", bus.p99Us / raw.p99Us);
  std::printf("RESULT sendkey_record_p50_us %.2f\n", key.p50Us);
  std::printf("RESULT sendkey_record_p99_us %.2f\n", key.p99Us);
  std::printf("RESULT raw_line_write_p99_us %.2f\n", rawWriteP99);
  if (!ok) std::printf("a message went missing or a result was wrong\n");
  return ok ? 0 : 1;
}
