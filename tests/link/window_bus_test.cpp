#include "link/window_bus.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>
#include <set>
#include <vector>

#include "link/agent_link.h"
#include "link/bus_frame.h"
#include "link/message_table.h"
#include "link/messages.h"
#include "tests/link/peer_protocol.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using test::PeerProcess;
using test::TempDir;

// A window of the test process whose handler the test supplies.
class TestWindow : public MessageTarget {
 public:
  explicit TestWindow(std::u16string_view title, std::function<LResult(uint32_t, WParam, LParam)> handler = {})
      : handler_(std::move(handler)) {
    handle = bus::CreateWindow(this, title);
  }
  ~TestWindow() override { bus::DestroyWindow(handle); }
  LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
    received.push_back({code, w, l});
    return handler_ ? handler_(code, w, l) : 0;
  }
  struct Message {
    uint32_t code;
    WParam w;
    LParam l;
  };
  WindowHandle handle = 0;
  std::vector<Message> received;

 private:
  std::function<LResult(uint32_t, WParam, LParam)> handler_;
};

// Threads of a test, joined when the test leaves on any path (a failed ASSERT included), with
// the calling thread's messages running meanwhile so that a thread waiting on them can end.
class TestThreads {
 public:
  ~TestThreads() { Join(); }
  void Run(std::function<void()> work) {
    threads_.emplace_back([this, work = std::move(work)] {
      work();
      ++ended_;
    });
  }
  void Join() {
    auto all = [&] { return ended_ == static_cast<int>(threads_.size()); };
    for (int round = 0; round < 3000 && !all(); ++round) bus::PumpFor(10, all);
    for (auto& t : threads_)
      if (t.joinable()) t.join();
  }

 private:
  std::vector<std::thread> threads_;
  std::atomic<int> ended_{0};
};

// This process's start time as /proc gives it, which endpoint files name with their owner.
std::string OwnStartTime() {
  const std::string stat = test::ReadFile("/proc/self/stat");
  size_t field = stat.rfind(')') + 1;
  for (int n = 2; field < stat.size() && n < 22; ++field)
    if (stat[field] == ' ') ++n;
  return stat.substr(field, stat.find(' ', field) - field);
}

// A bound socket nobody listens on, as a window's that has not read it yet.
void BindUnserved(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);
}

class LinkBus : public ::testing::Test {
 protected:
  void SetUp() override {
    ::chmod(dir_.path().c_str(), 01777);
    ::setenv("ORV_BUS_DIR", dir_.path().c_str(), 1);
  }
  // A peer process with one window of that title; its handle, or 0.
  WindowHandle StartPeer(const std::string& title) {
    peer_ = std::make_unique<PeerProcess>(ORV_TEST_PEER, std::vector<std::string>{"window", title});
    return peer_->ReadyHandle();
  }
  TempDir dir_;
  std::unique_ptr<PeerProcess> peer_;
};

TEST_F(LinkBus, FindsAPeerWindowByItsExactTitleAndItsOwner) {
  WindowHandle h = StartPeer("Kestrone_Zr4_V2_Mouse_Hid");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(bus::FindWindow(kAgentWindowTitle), h);
  for (std::u16string_view other : {u"Kestrone_Zr4_V2_Mouse_Hi", u"kestrone_zr4_v2_mouse_hid", u""})
    EXPECT_EQ(bus::FindWindow(other), 0u) << test::N(other);
  EXPECT_EQ(bus::WindowProcessId(h), peer_->pid());
  EXPECT_EQ(bus::WindowText(h), kAgentWindowTitle);
  EXPECT_TRUE(bus::IsWindow(h));
}

TEST_F(LinkBus, SendReturnsTheResultAndPostsArriveInOrder) {
  WindowHandle h = StartPeer("peer");
  ASSERT_NE(h, 0u);
  bool delivered = false;
  EXPECT_EQ(bus::Send(h, test::kPeerEcho, 40, 2, &delivered), 42);
  EXPECT_TRUE(delivered);
  EXPECT_EQ(bus::Send(h, test::kPeerEcho, 0xFFFFFFFFFFull, -1), 0xFFFFFFFFFEll);  // 64-bit parameters
  for (int i = 0; i < 500; ++i) ASSERT_TRUE(bus::Post(h, test::kPeerPosted, i, 0));
  // A send behind the posts on the same connection is handled after them.
  EXPECT_EQ(bus::Send(h, test::kPeerPostedCount, 0, 0), 500);
  for (int i : {0, 1, 250, 499}) EXPECT_EQ(bus::Send(h, test::kPeerPostedAt, i, 0), i);
  EXPECT_EQ(bus::Send(h, test::kPeerSenderPid, 0, 0), ::getpid());
}

TEST_F(LinkBus, SendingToEachOtherAtOnceDoesNotDeadlock) {
  WindowHandle peer = StartPeer("peer");
  ASSERT_NE(peer, 0u);
  int posted = 0;
  TestWindow mine(u"test window", [&](uint32_t code, WParam, LParam l) -> LResult {
    if (code == test::kPeerPosted) ++posted;
    return code == test::kPeerCallback ? l * 2 + posted * 1000 : 0;
  });
  // The peer's handler sends back to this window while this thread waits in Send.
  EXPECT_EQ(bus::Send(peer, test::kPeerSendBack, mine.handle, 21), 43);
  // A message the peer posts meanwhile waits for the loop: the callback saw none.
  EXPECT_EQ(bus::Send(peer, test::kPeerPostThenSend, mine.handle, 0), 0);
  EXPECT_EQ(posted, 0);
  bus::PumpFor(1000, [&] { return posted == 1; });
  EXPECT_EQ(posted, 1);
}

TEST_F(LinkBus, ARenamedWindowIsFoundByItsNewTitleOnly) {
  WindowHandle h = StartPeer(test::N(kAgentProvisionalTitle));
  ASSERT_NE(h, 0u);
  EXPECT_EQ(bus::FindWindow(kAgentProvisionalTitle), h);
  EXPECT_EQ(bus::Send(h, test::kPeerRename, 0, 1234), 1);
  EXPECT_EQ(bus::FindWindow(kAgentProvisionalTitle), 0u);
  EXPECT_EQ(bus::FindWindow(u"1234"), h);

  TestWindow mine(u"before");
  ASSERT_TRUE(bus::SetWindowText(mine.handle, u"after"));
  EXPECT_EQ(bus::FindWindow(u"after"), mine.handle);
  EXPECT_EQ(bus::FindWindow(u"before"), 0u);
}

TEST_F(LinkBus, APeerThatDiesMidSendGivesZeroAndItsEndpointIsCleaned) {
  WindowHandle h = StartPeer("doomed");
  ASSERT_NE(h, 0u);
  auto start = std::chrono::steady_clock::now();
  bool delivered = true;
  EXPECT_EQ(bus::Send(h, test::kPeerDie, 0, 0, &delivered), 0);
  EXPECT_FALSE(delivered);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(peer_->Wait(), 3);
  EXPECT_FALSE(bus::Post(h, test::kPeerPosted, 0, 0));
  EXPECT_EQ(bus::Send(h, test::kPeerEcho, 1, 1), 0);
  EXPECT_EQ(bus::FindWindow(u"doomed"), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir_ / (std::to_string(h) + ".window")));
  EXPECT_FALSE(std::filesystem::exists(dir_ / (std::to_string(h) + ".sock")));
  EXPECT_EQ(bus::WindowProcessId(h), 0);
}

TEST_F(LinkBus, StaleEndpointsAreIgnoredAndRemoved) {
  // An endpoint left by a process that no longer runs, with a socket nobody listens on, and one
  // whose process id now belongs to a different process (start time differs).
  PeerProcess gone("/bin/true", {});
  pid_t deadPid = gone.pid();
  gone.Wait();
  test::WriteFile(dir_ / "77777.window", "pid=" + std::to_string(deadPid) + "\nstart=1\ntitle=stale\n");
  test::WriteFile(dir_ / "77778.window", "pid=" + std::to_string(::getpid()) + "\nstart=1\ntitle=stale\n");
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string path = dir_ / "77777.sock";
  std::strcpy(addr.sun_path, path.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);  // bound, never listening: connecting is refused
  test::WriteFile(dir_ / "junk.window", "not an endpoint");

  EXPECT_EQ(bus::FindWindow(u"stale"), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "77777.window"));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "77778.window"));
  EXPECT_FALSE(bus::Post(77777, 1, 0, 0));
  EXPECT_EQ(bus::Send(77777, 1, 0, 0), 0);

  TestWindow live(u"stale");  // a live window of the same title is found
  EXPECT_EQ(bus::FindWindow(u"stale"), live.handle);
}

TEST_F(LinkBus, RegisteredMessagesAgreeAcrossProcesses) {
  WindowHandle h = StartPeer("peer");
  ASSERT_NE(h, 0u);
  uint32_t attach = bus::RegisterMessage(kControlAttachMessage);
  uint32_t discover = bus::RegisterMessage(kControlDiscoverMessage);
  EXPECT_EQ(bus::Send(h, test::kPeerRegister, 0, 0), attach);
  EXPECT_NE(attach, discover);
  for (uint32_t c : {attach, discover}) {
    EXPECT_GE(c, 0xC000u);
    EXPECT_LE(c, 0xFFFFu);
  }
  EXPECT_EQ(bus::RegisterMessage(kControlAttachMessage), attach);
}

TEST_F(LinkBus, RegisteredCodesStayDistinctWhenNamesCollide) {
  // Take the code the name would hash to under another name, as an earlier process might have.
  uint32_t natural = bus::RegisterMessage(u"first name");
  std::string table = test::ReadFile(dir_ / "registered-messages");
  ASSERT_NE(table.find("first name"), std::string::npos);
  char line[64];
  std::snprintf(line, sizeof line, "%04X squatter\n", natural + 1 <= 0xFFFF ? natural + 1 : natural - 1);
  test::WriteFile(dir_ / "registered-messages", table + line);
  std::set<uint32_t> codes = {natural, static_cast<uint32_t>(std::strtoul(line, nullptr, 16))};
  for (int i = 0; i < 200; ++i) {
    uint32_t c = bus::RegisterMessage(test::U("name " + std::to_string(i)));
    EXPECT_TRUE(codes.insert(c).second) << "code " << c << " handed out twice";
  }
}

TEST_F(LinkBus, ATableCodeGivenToASecondNameIsNotBelieved) {
  // A hand-edited table that gives a code already in use to more names: once more on a later
  // line, and for a name of this process that the table does not list.
  const uint32_t first = bus::RegisterMessage(u"table first");
  const uint32_t unlisted = bus::RegisterMessage(u"table unlisted");
  std::string table = test::ReadFile(dir_ / "registered-messages");
  const size_t at = table.find(" table unlisted\n");
  ASSERT_NE(at, std::string::npos);
  table.erase(table.rfind('\n', at) + 1, at + 16 - (table.rfind('\n', at) + 1));
  char lines[128];
  std::snprintf(lines, sizeof lines, "C000 table one\nC000 table two\n%04X table second\n%04X table third\n", first,
                unlisted);
  test::WriteFile(dir_ / "registered-messages", table + lines);
  std::set<uint32_t> codes = {first, unlisted};
  for (std::u16string_view name : {u"table one", u"table two", u"table second", u"table third"}) {
    const uint32_t c = bus::RegisterMessage(name);
    EXPECT_GE(c, 0xC000u) << test::N(name);
    EXPECT_LE(c, 0xFFFFu) << test::N(name);
    EXPECT_TRUE(codes.insert(c).second) << test::N(name) << ": code " << c << " handed out twice";
  }
}

TEST_F(LinkBus, ConnectionsToWindowsThatHaveGoneAreLetGo) {
  // Windows of "another process" of this user (their files name this process, whose start time
  // /proc gives): each takes one post and goes away without reading it. The connections to
  // them must not stay open for good, one descriptor per window ever reached.
  const std::string start = OwnStartTime();
  auto openDescriptors = [] {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
  };
  bus::DispatchPending();  // this thread's own descriptors of the bus exist from here on
  const size_t before = openDescriptors();
  for (WindowHandle h = 0x7FFF1000; h < 0x7FFF1000 + 64; ++h) {
    const std::string base = dir_ / std::to_string(h);
    test::WriteFile(base + ".window", "pid=" + std::to_string(::getpid()) + "\nstart=" + start + "\ntitle=gone\n");
    const int listener = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, (base + ".sock").c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_TRUE(bus::Post(h, test::kPeerPosted, 1, 2)) << h;
    ::close(listener);  // the window's process ends
    ::unlink((base + ".sock").c_str());
    ::unlink((base + ".window").c_str());
  }
  EXPECT_LE(openDescriptors(), before + 1);  // the last one is let go at the next connection
}

TEST_F(LinkBus, EndpointFilesCountOnlyWithPlainDecimalNumbers) {
  // Files of "another process" of this user, owned by this live process: only the one whose
  // numbers are digits alone on their lines is a window.
  const std::string pid = std::to_string(::getpid()), start = OwnStartTime();
  const std::pair<std::string, bool> files[] = {
      {"pid=" + pid + "\nstart=" + start + "\ntitle=plain\n", true},
      {"pid=\n" + pid + "\nstart=" + start + "\ntitle=number on the next line\n", false},
      {"pid= " + pid + "\nstart=" + start + "\ntitle=space before\n", false},
      {"pid=+" + pid + "\nstart=" + start + "\ntitle=sign\n", false},
      {"pid=" + pid + "x\nstart=" + start + "\ntitle=letter after\n", false},
      {"pid=" + pid + "\nstart= " + start + "\ntitle=start with a space\n", false},
      {"pid=" + pid + "\nstart=" + start + "9999999999999999999999\ntitle=start too large\n", false},
      {"pid=99999999999999999999" + pid + "\nstart=" + start + "\ntitle=pid too large\n", false},
  };
  WindowHandle h = 0x7FFF2000;
  for (const auto& [text, window] : files) {
    const std::string base = dir_ / std::to_string(++h);
    test::WriteFile(base + ".window", text);
    BindUnserved(base + ".sock");
    const std::string title = text.substr(text.find("title=") + 6, text.rfind('\n') - text.find("title=") - 6);
    EXPECT_EQ(bus::FindWindow(ToUtf16(title)), window ? h : 0u) << title;
    EXPECT_EQ(bus::IsWindow(h), window) << title;
  }
}

TEST_F(LinkBus, MalformedAndOversizedFramesAreDropped) {
  WindowHandle h = StartPeer("peer");
  ASSERT_NE(h, 0u);
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string path = dir_ / (std::to_string(h) + ".sock");
  std::strcpy(addr.sun_path, path.c_str());
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  BusFrame post{BusFrame::kPost, 0, h, test::kPeerPosted, 7, 0, 0, 0};
  uint8_t good[kBusFrameSize];
  EncodeBusFrame(post, good);
  std::vector<std::vector<uint8_t>> bad;
  bad.emplace_back(good, good + 5);                   // truncated
  bad.emplace_back(std::vector<uint8_t>(4096, 0xAB));  // oversized
  bad.emplace_back(good, good + kBusFrameSize);
  bad.back()[0] ^= 1;  // wrong magic
  bad.emplace_back(good, good + kBusFrameSize);
  bad.back()[4] = 9;  // unknown version
  bad.emplace_back(good, good + kBusFrameSize);
  bad.back()[6] = 7;  // unknown kind
  bad.emplace_back(good, good + kBusFrameSize);
  bad.back()[8] ^= 1;  // another window
  for (auto& b : bad) ASSERT_EQ(::send(fd, b.data(), b.size(), 0), static_cast<ssize_t>(b.size()));
  ASSERT_EQ(::send(fd, good, sizeof good, 0), static_cast<ssize_t>(sizeof good));
  ::close(fd);
  EXPECT_EQ(bus::Send(h, test::kPeerPostedCount, 0, 0), 1);
  EXPECT_EQ(bus::Send(h, test::kPeerPostedAt, 0, 0), 7);
}

TEST_F(LinkBus, AFullQueueRefusesPostsWithoutHanging) {
  WindowHandle h = StartPeer("busy");
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(bus::Post(h, test::kPeerBlock, 0, 3000));  // the peer stops reading for 3 s
  auto start = std::chrono::steady_clock::now();
  int accepted = 0;
  while (accepted < 200000 && bus::Post(h, test::kPeerPosted, accepted, 0)) ++accepted;
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(accepted, 200000) << "the queue never filled";
  EXPECT_LT(took, std::chrono::milliseconds(2500));
  peer_->Kill();  // not worth waiting for

  // Within the process a window's queue holds 10,000 messages.
  TestWindow mine(u"mine");
  size_t taken = 0;
  while (taken < 20000 && bus::Post(mine.handle, 1, taken, 0)) ++taken;
  EXPECT_EQ(taken, kMaxQueuedMessages);
  EXPECT_EQ(bus::DispatchPending(), kMaxQueuedMessages);
  EXPECT_EQ(mine.received.back().w, kMaxQueuedMessages - 1);
  EXPECT_TRUE(bus::Post(mine.handle, 1, 0, 0));
}

TEST_F(LinkBus, OtherThreadsPostAndSendIntoTheWindowThread) {
  std::thread::id windowThread = std::this_thread::get_id();
  std::atomic<int> wrongThread{0};
  TestWindow mine(u"window thread", [&](uint32_t code, WParam w, LParam) -> LResult {
    if (std::this_thread::get_id() != windowThread) ++wrongThread;
    return code == 2 ? static_cast<LResult>(w) * 3 : 0;
  });
  constexpr int kThreads = 4, kEach = 1000;
  std::atomic<int> sendsRight{0};
  TestThreads threads;
  for (int t = 0; t < kThreads; ++t)
    threads.Run([&, t] {
      for (int i = 0; i < kEach; ++i) {
        while (!bus::Post(mine.handle, 1, t * kEach + i, t)) std::this_thread::yield();
        if (i % 100 == 0 && bus::Send(mine.handle, 2, i, 0) == i * 3) ++sendsRight;
      }
    });
  bus::PumpFor(10000, [&] { return mine.received.size() == kThreads * kEach + kThreads * 10; });
  threads.Join();
  EXPECT_EQ(wrongThread, 0);
  EXPECT_EQ(sendsRight, kThreads * 10);
  std::vector<WParam> last(kThreads, 0);
  std::vector<int> count(kThreads, 0);
  for (auto& m : mine.received) {
    if (m.code != 1) continue;
    int t = static_cast<int>(m.l);
    if (count[t]++) {
      EXPECT_GT(m.w, last[t]) << "posts of one thread out of order";
    }
    last[t] = m.w;
  }
  EXPECT_EQ(count, std::vector<int>(kThreads, kEach));

  // A Send from the window's own thread calls the handler directly; to a destroyed window it is 0.
  EXPECT_EQ(bus::Send(mine.handle, 2, 5, 0), 15);
  WindowHandle old;
  {
    TestWindow brief(u"brief");
    old = brief.handle;
  }
  bool delivered = true;
  EXPECT_EQ(bus::Send(old, 2, 5, 0, &delivered), 0);
  EXPECT_FALSE(delivered);
  EXPECT_FALSE(bus::Post(old, 1, 0, 0));
}

TEST_F(LinkBus, AWindowDestroyedWhileAnotherThreadWaitsReleasesTheSender) {
  auto mine = std::make_unique<TestWindow>(u"going");
  WindowHandle h = mine->handle;
  std::atomic<bool> done{false};
  bool delivered = true;
  LResult result = -1;
  TestThreads sender;
  sender.Run([&] {
    result = bus::Send(h, 2, 1, 0, &delivered);
    done = true;
  });
  // The window thread does not pump, so the send stays queued until the window goes.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  bool doneBeforeDestroy = done;
  mine.reset();
  sender.Join();
  EXPECT_FALSE(doneBeforeDestroy);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(delivered);
}

// ---- Time-outs -----------------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST_F(LinkBus, SendTimeoutAnswersInTimeAndGivesUpOnAHungPeerWithoutEverTakingItsLateAnswer) {
  WindowHandle h = StartPeer("slow");
  ASSERT_NE(h, 0u);
  bus::SendOutcome outcome = bus::SendOutcome::kNotDelivered;
  EXPECT_EQ(bus::SendTimeout(h, test::kPeerEcho, 40, 2, 1000, &outcome), 42);
  EXPECT_EQ(outcome, bus::SendOutcome::kDelivered);

  // The peer's handler now sleeps 400 ms: a send that waits 50 ms gives up in about that time.
  ASSERT_TRUE(bus::Post(h, test::kPeerBlock, 0, 400));
  auto start = Clock::now();
  EXPECT_EQ(bus::SendTimeout(h, test::kPeerEcho, 1, 1, 50, &outcome), 0);
  EXPECT_EQ(outcome, bus::SendOutcome::kTimedOut);
  EXPECT_GE(MsSince(start), 50);
  EXPECT_LT(MsSince(start), 300);
  // Until it answers, the peer is taken as hung: the next send returns at once.
  start = Clock::now();
  EXPECT_EQ(bus::SendTimeout(h, test::kPeerEcho, 2, 2, 5000, &outcome), 0);
  EXPECT_EQ(outcome, bus::SendOutcome::kTimedOut);
  EXPECT_LT(MsSince(start), 100);
  // Once it answers again, the late answer (2) is dropped and every send gets its own.
  EXPECT_EQ(bus::Send(h, test::kPeerEcho, 5, 6), 11);
  EXPECT_EQ(bus::SendTimeout(h, test::kPeerEcho, 7, 1, 1000, &outcome), 8);
  EXPECT_EQ(outcome, bus::SendOutcome::kDelivered);
}

TEST_F(LinkBus, ThePanelsSendToABusyAgentGivesUpInTime) {
  WindowHandle h = StartPeer(test::N(kAgentWindowTitle));
  ASSERT_NE(h, 0u);
  AgentLink link(false, 0);
  bus::SendOutcome outcome = bus::SendOutcome::kNotDelivered;
  EXPECT_EQ(link.Send(test::kPeerEcho, 3, 4, 1000, &outcome), 7);
  EXPECT_EQ(outcome, bus::SendOutcome::kDelivered);
  ASSERT_TRUE(bus::Post(h, test::kPeerBlock, 0, 300));
  auto start = Clock::now();
  EXPECT_EQ(link.Send(test::kPeerEcho, 1, 1, 50, &outcome), 0);
  EXPECT_EQ(outcome, bus::SendOutcome::kTimedOut);
  EXPECT_LT(MsSince(start), 250);
}

TEST_F(LinkBus, SendTimeoutToAPeerThatDiesOrIsNoWindowSaysNotDelivered) {
  WindowHandle h = StartPeer("doomed");
  ASSERT_NE(h, 0u);
  bus::SendOutcome outcome = bus::SendOutcome::kDelivered;
  auto start = Clock::now();
  EXPECT_EQ(bus::SendTimeout(h, test::kPeerDie, 0, 0, 5000, &outcome), 0);
  EXPECT_EQ(outcome, bus::SendOutcome::kNotDelivered);
  EXPECT_LT(MsSince(start), 2000);
  EXPECT_EQ(peer_->Wait(), 3);
  outcome = bus::SendOutcome::kDelivered;
  EXPECT_EQ(bus::SendTimeout(h, test::kPeerEcho, 1, 1, 100, &outcome), 0);
  EXPECT_EQ(outcome, bus::SendOutcome::kNotDelivered);
  EXPECT_EQ(bus::SendTimeout(0, test::kPeerEcho, 1, 1, 100, &outcome), 0);
  EXPECT_EQ(outcome, bus::SendOutcome::kNotDelivered);
}

TEST_F(LinkBus, ASendTimeoutBetweenThreadsEndsInTimeAndItsLateAnswerOutlivesTheSender) {
  TestWindow mine(u"late", [](uint32_t, WParam w, LParam) -> LResult { return static_cast<LResult>(w) * 2; });
  bus::SendOutcome outcome = bus::SendOutcome::kDelivered;
  LResult result = -1;
  int64_t took = 0;
  {
    TestThreads sender;
    sender.Run([&] {
      auto start = Clock::now();
      result = bus::SendTimeout(mine.handle, 9, 21, 0, 50, &outcome);
      took = MsSince(start);
    });
    // This thread does not run its messages until the sender has given up and ended.
    while (took == 0 && result == -1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(outcome, bus::SendOutcome::kTimedOut);
  EXPECT_GE(took, 50);
  // The message is handled now; its answer goes nowhere, safely.
  bus::PumpFor(200, [&] { return mine.received.size() == 1; });
  ASSERT_EQ(mine.received.size(), 1u);
  EXPECT_EQ(mine.received[0].w, 21u);
  // Within the thread a send is a call, whatever the time-out.
  EXPECT_EQ(bus::SendTimeout(mine.handle, 9, 4, 0, 0, &outcome), 8);
  EXPECT_EQ(outcome, bus::SendOutcome::kDelivered);
}

// ---- Other users and hostile files ---------------------------------------------------------

std::vector<std::string> AsOtherUser(std::vector<std::string> command) {
  std::vector<std::string> args = {"--reuid=65534", "--regid=65534", "--clear-groups"};
  args.insert(args.end(), command.begin(), command.end());
  return args;
}

TEST_F(LinkBus, AnotherUsersWindowTakingATitleIsNeverFoundNorResolvedNorSentTo) {
  if (::geteuid() != 0) GTEST_SKIP() << "skipped: needs root to run a window as another user (setpriv)";
  for (std::u16string_view title : {kAgentWindowTitle, kPanelWindowTitle}) {
    PeerProcess impostor("/usr/bin/setpriv", AsOtherUser({ORV_TEST_PEER, "logging", test::N(title)}));
    WindowHandle h = impostor.ReadyHandle();
    ASSERT_NE(h, 0u) << test::N(title);
    EXPECT_EQ(bus::FindWindow(title), 0u);
    EXPECT_FALSE(bus::IsWindow(h));
    EXPECT_EQ(bus::WindowText(h), u"");
    EXPECT_EQ(bus::WindowProcessId(h), 0);
    EXPECT_FALSE(bus::Post(h, UM_BUTTON_EVENT, 2, 1));
    bus::SendOutcome outcome = bus::SendOutcome::kDelivered;
    EXPECT_EQ(bus::SendTimeout(h, UM_PROFILE_CHANGED, 1, 0, 500, &outcome), 0);
    EXPECT_EQ(outcome, bus::SendOutcome::kNotDelivered);
    EXPECT_EQ(bus::Send(h, UM_PROFILE_CHANGED, 1, 0), 0);
    // The window of this user with the same title is the one found.
    TestWindow real(title);
    EXPECT_EQ(bus::FindWindow(title), real.handle);
    EXPECT_EQ(bus::Broadcast(UM_SELECT_PROFILE, 1, 0), 1);
    impostor.Kill();
    EXPECT_EQ(impostor.ReadLine(), "") << "the impostor received a message";
  }
}

TEST_F(LinkBus, EndpointFilesThatAreNoSmallPlainFilesAreSkippedWithoutBeingOpened) {
  TestWindow real(u"real");
  std::string fifo = dir_ / "70001.window", sparse = dir_ / "70002.window", link = dir_ / "70003.window",
              folder = dir_ / "70004.window", big = dir_ / "70005.window";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_EQ(::truncate((test::WriteFile(sparse, ""), sparse).c_str(), off_t{1} << 40), 0);  // 1 TB, sparse
  ASSERT_EQ(::symlink((dir_ / (std::to_string(real.handle) + ".window")).c_str(), link.c_str()), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  test::WriteFile(big, "pid=" + std::to_string(::getpid()) + "\nstart=1\ntitle=" + std::string(5000, 'x') + "\n");
  auto start = Clock::now();
  EXPECT_EQ(bus::FindWindow(u"real"), real.handle);
  EXPECT_EQ(bus::FindWindow(u"none"), 0u);
  EXPECT_EQ(bus::Broadcast(UM_SELECT_PROFILE, 0, 0), 1);
  for (WindowHandle h : {70001u, 70002u, 70003u, 70004u, 70005u}) {
    EXPECT_FALSE(bus::IsWindow(h)) << h;
    EXPECT_EQ(bus::WindowText(h), u"") << h;
  }
  EXPECT_LT(MsSince(start), 1000);
  // Nothing was followed or removed.
  EXPECT_TRUE(std::filesystem::exists(fifo));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
}

TEST_F(LinkBus, TheRegisteredMessagesTableIsNeitherFollowedThroughALinkNorWaitedForWhenLocked) {
  uint32_t first = bus::RegisterMessage(u"table name");
  std::string table = dir_ / "registered-messages";
  // Held by someone else: a bounded wait, then the name's own code.
  int holder = ::open(table.c_str(), O_RDONLY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  auto start = Clock::now();
  uint32_t locked = bus::RegisterMessage(u"name while locked");
  EXPECT_LT(MsSince(start), 2000);
  EXPECT_GE(locked, 0xC000u);
  EXPECT_NE(locked, first);
  ::close(holder);
  EXPECT_EQ(test::ReadFile(table).find("name while locked"), std::string::npos);

  // Replaced by a link to another file: the file is neither written nor made writable.
  std::string canary = dir_ / "canary";
  test::WriteFile(canary, "canary\n");
  ::chmod(canary.c_str(), 0600);
  ASSERT_EQ(::unlink(table.c_str()), 0);
  ASSERT_EQ(::symlink(canary.c_str(), table.c_str()), 0);
  uint32_t linked = bus::RegisterMessage(u"name behind a link");
  EXPECT_GE(linked, 0xC000u);
  struct stat st;
  ASSERT_EQ(::stat(canary.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(test::ReadFile(canary), "canary\n");
}

// The bus folder each environment gives, and what it must not use.
TEST(LinkBusFolder, IsPrivateToItsUserAndNeverALinkNorAnotherUsersFolder) {
  TempDir dir;
  const char* tmpdir = std::getenv("TMPDIR");
  std::string savedTmpdir = tmpdir ? tmpdir : "";
  ::chmod(dir.path().c_str(), 0755);
  uid_t self = ::geteuid();
  std::string runtime = dir / "runtime", tmp = dir / "tmp", own = dir / "own", open = dir / "open",
              link = dir / "link", shared = dir / "shared", theirs = dir / "theirs";
  for (const std::string& d : {runtime, tmp, own, open, shared, theirs}) ::mkdir(d.c_str(), 0700);
  ::chmod(open.c_str(), 0777);     // writable by all, no sticky bit
  ::chmod(shared.c_str(), 01777);  // like /tmp
  ::chmod(tmp.c_str(), 01777);
  ::symlink(own.c_str(), link.c_str());
  bool root = self == 0;
  if (root) ::chown(theirs.c_str(), 65534, 65534);
  std::string fallback = tmp + "/orv-windows-" + std::to_string(self);
  struct Case {
    const char* name;
    std::string bus, xdg;
    std::string expected;
  };
  std::vector<Case> cases = {
      {"own folder", own, runtime, own},
      {"a link", link, runtime, runtime + "/orv-windows"},
      {"open to all without sticky bit", open, runtime, runtime + "/orv-windows"},
      {"unset: the runtime folder", "", runtime, runtime + "/orv-windows"},
      {"runtime folder open to all", "", shared, fallback},
      {"no runtime folder", "", "", fallback},
  };
  if (root) {
    cases.push_back({"root's shared folder", shared, runtime, shared});
    cases.push_back({"another user's folder", theirs, runtime, runtime + "/orv-windows"});
  }
  for (const Case& c : cases) {
    c.bus.empty() ? ::unsetenv("ORV_BUS_DIR") : ::setenv("ORV_BUS_DIR", c.bus.c_str(), 1);
    c.xdg.empty() ? ::unsetenv("XDG_RUNTIME_DIR") : ::setenv("XDG_RUNTIME_DIR", c.xdg.c_str(), 1);
    ::setenv("TMPDIR", tmp.c_str(), 1);
    EXPECT_EQ(bus::BusFolder(), c.expected) << c.name;
    struct stat st;
    ASSERT_EQ(::lstat(c.expected.c_str(), &st), 0) << c.name;
    if (c.expected != shared) {
      EXPECT_EQ(st.st_uid, self) << c.name;
      EXPECT_EQ(st.st_mode & 022, 0u) << c.name;
    }
  }
  if (root) {
    // The fallback name taken by another user: the next one of this user's own.
    std::filesystem::remove_all(fallback);
    ::mkdir(fallback.c_str(), 0700);
    ::chown(fallback.c_str(), 65534, 65534);
    ::unsetenv("ORV_BUS_DIR");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(bus::BusFolder(), fallback + ".1");
    // A root process serving a user's session uses that user's folder and trusts that user.
    std::string session = dir / "session";
    ::mkdir(session.c_str(), 0700);
    ::chown(session.c_str(), 65534, 65534);
    ::setenv("XDG_RUNTIME_DIR", session.c_str(), 1);
    EXPECT_EQ(bus::BusFolder(), session + "/orv-windows");
    struct stat st;
    ASSERT_EQ(::lstat((session + "/orv-windows").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
  }
  savedTmpdir.empty() ? ::unsetenv("TMPDIR") : ::setenv("TMPDIR", savedTmpdir.c_str(), 1);
  ::unsetenv("XDG_RUNTIME_DIR");
}

class TableWindow {
 public:
  LResult OnFirst(WParam w, LParam) { return static_cast<LResult>(w) + 1; }
  LResult OnSecond(WParam, LParam l) { return l * 10; }
  static constexpr MessageEntry<TableWindow> kMessages[] = {
      {UM_RELOAD_PROFILES, &TableWindow::OnFirst, {1, 9}, kZeroValue},
      {UM_SET_POLLING_RATE, &TableWindow::OnSecond, kAnyValue, {-3, 3}},
  };
  LResult Handle(uint32_t code, WParam w, LParam l) {
    return DispatchMessage(this, kMessages, code, w, l, [] { return LResult{-7}; });
  }
};

TEST(LinkMessageTable, RunsTheEntryOfTheCodeOrTheFallback) {
  TableWindow w;
  EXPECT_EQ(w.Handle(UM_RELOAD_PROFILES, 4, 0), 5);
  EXPECT_EQ(w.Handle(UM_SET_POLLING_RATE, 0, 3), 30);
  EXPECT_EQ(w.Handle(UM_SET_LIFT_DISTANCE, 0, 3), -7);
}

// A value is held by its range in all its 64 bits: none whose low half alone is valid gets through.
TEST(LinkMessageTable, AValueOutsideItsRangeIsIgnoredInItsFullWidth) {
  constexpr WParam kHigh = WParam{1} << 32;
  struct Case {
    uint32_t code;
    WParam w;
    LParam l;
    LResult expected;  // 0: ignored
  } cases[] = {
      {UM_RELOAD_PROFILES, 1, 0, 2},
      {UM_RELOAD_PROFILES, 9, 0, 10},
      {UM_RELOAD_PROFILES, 0, 0, 0},
      {UM_RELOAD_PROFILES, 10, 0, 0},
      {UM_RELOAD_PROFILES, kHigh + 4, 0, 0},
      {UM_RELOAD_PROFILES, ~WParam{0}, 0, 0},  // -1
      {UM_RELOAD_PROFILES, WParam{1} << 63, 0, 0},
      {UM_RELOAD_PROFILES, 4, static_cast<LParam>(kHigh), 0},
      {UM_RELOAD_PROFILES, 4, -1, 0},
      {UM_SET_POLLING_RATE, ~WParam{0}, 3, 30},  // any wParam, the largest included
      {UM_SET_POLLING_RATE, 0, -3, -30},
      {UM_SET_POLLING_RATE, 0, static_cast<LParam>(kHigh + 3), 0},
      {UM_SET_POLLING_RATE, 0, INT64_MAX, 0},
      {UM_SET_POLLING_RATE, 0, INT64_MIN, 0},
  };
  TableWindow window;
  for (const Case& c : cases)
    EXPECT_EQ(window.Handle(c.code, c.w, c.l), c.expected) << std::hex << c.code << " " << c.w << " " << c.l;
  EXPECT_TRUE(kAnyValue.Holds(~WParam{0}));
  EXPECT_FALSE(kUint32Value.Holds(kHigh));
  EXPECT_TRUE(kUint32Value.Holds(kHigh - 1));
  EXPECT_FALSE(kInt32Value.Holds(WParam{0x80000000}));
  EXPECT_TRUE(kInt32Value.Holds(~WParam{0}));  // an int -1 widened
  EXPECT_FALSE(kUint32Value.Holds(~WParam{0}));
  EXPECT_TRUE(kInt32Value.Holds(LParam{-0x80000000LL}));
}

TEST(LinkBusFrame, RoundTripsAndRejectsWhatIsNotAFrame) {
  BusFrame f{BusFrame::kReply, 1, 0x12345678, 0x4FF, 0x1122334455667788ull, -5, -9, 77};
  uint8_t bytes[kBusFrameSize];
  EncodeBusFrame(f, bytes);
  EXPECT_EQ(bytes[0], 'O');
  EXPECT_EQ(bytes[8], 0x78);  // little-endian
  BusFrame back;
  ASSERT_TRUE(DecodeBusFrame(bytes, sizeof bytes, back));
  EXPECT_EQ(back.window, f.window);
  EXPECT_EQ(back.wParam, f.wParam);
  EXPECT_EQ(back.lParam, -5);
  EXPECT_EQ(back.result, -9);
  EXPECT_EQ(back.sequence, 77u);
  EXPECT_FALSE(DecodeBusFrame(bytes, sizeof bytes - 1, back));
  struct Case {
    size_t at;
    uint8_t value;
  };
  for (Case c : {Case{1, 0}, Case{4, 2}, Case{6, 0}, Case{6, 4}, Case{44, 1}}) {
    uint8_t copy[kBusFrameSize];
    std::memcpy(copy, bytes, sizeof copy);
    copy[c.at] = c.value;
    EXPECT_FALSE(DecodeBusFrame(copy, sizeof copy, back)) << "byte " << c.at;
  }
}

}  // namespace
}  // namespace orv
