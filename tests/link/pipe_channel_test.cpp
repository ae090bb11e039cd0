#include "link/pipe_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "link/agent_link.h"
#include "link/messages.h"
#include "tests/link/peer_protocol.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using test::TempDir;

struct Received {
  uint32_t code;
  WParam w;
  LParam l;
};

class RecordingWindow : public MessageTarget {
 public:
  RecordingWindow() { handle = bus::CreateWindow(this, u"pipe test window"); }
  ~RecordingWindow() override { bus::DestroyWindow(handle); }
  LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
    received.push_back({code, w, l});
    return 1;
  }
  WindowHandle handle = 0;
  std::vector<Received> received;
};

// A client that writes whatever bytes a test gives it.
class RawClient {
 public:
  explicit RawClient(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~RawClient() { ::close(fd_); }
  bool connected() const { return connected_; }
  int fd() const { return fd_; }
  bool Write(const std::vector<uint8_t>& bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  bool Record(uint32_t code, uint32_t w, uint32_t l) {
    auto r = MakePipeRecord(code, w, l);
    return Write({r.begin(), r.end()});
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

template <class Predicate>
bool WaitFor(Predicate done, int ms = 3000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class LinkPipe : public ::testing::Test {
 protected:
  void SetUp() override {
    ::chmod(dir_.path().c_str(), 01777);
    ::setenv("ORV_BUS_DIR", dir_.path().c_str(), 1);
    ::setenv("ORV_PIPE_DIR", dir_.path().c_str(), 1);
    path_ = PipePath(kPipeName);
  }
  std::unique_ptr<PipeChannel> StartServer() {
    auto server = std::make_unique<PipeChannel>(window_.handle, path_, PipeChannel::kServer);
    EXPECT_EQ(server->Start(), 1);
    EXPECT_TRUE(WaitFor([&] { return server->Running() || server->Finished(); }));
    return server;
  }
  // Runs the window's loop until it has `n` messages.
  bool PumpUntil(size_t n) {
    return bus::PumpFor(3000, [&] { return window_.received.size() >= n; });
  }
  TempDir dir_;
  std::string path_;
  RecordingWindow window_;
};

TEST_F(LinkPipe, RecordsWrittenBackToBackArriveInOrderAsMessages) {
  auto server = StartServer();
  ASSERT_TRUE(server->Running());
  EXPECT_EQ(path_, dir_ / "ORVTidefallMouse");
  struct stat st;
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u);
  RawClient client(path_);
  ASSERT_TRUE(client.connected());
  ASSERT_TRUE(client.Record(0x545, 2, 0));
  ASSERT_TRUE(client.Record(UM_RELOAD_PROFILES, 1, 0));
  ASSERT_TRUE(client.Record(UM_SET_LIFT_DISTANCE, 3, 2));
  ASSERT_TRUE(PumpUntil(3));
  ASSERT_EQ(window_.received.size(), 3u);
  EXPECT_EQ(window_.received[0].code, UM_SET_POLLING_RATE);
  EXPECT_EQ(window_.received[0].w, 2u);
  EXPECT_EQ(window_.received[0].l, 0);
  EXPECT_EQ(window_.received[1].code, UM_RELOAD_PROFILES);
  EXPECT_EQ(window_.received[1].w, 1u);
  EXPECT_EQ(window_.received[2].code, UM_SET_LIFT_DISTANCE);
  EXPECT_EQ(window_.received[2].l, 2);
}

TEST_F(LinkPipe, OnlyExactRecordsOfThePanelsFourCodesAreAccepted) {
  auto server = StartServer();
  RawClient client(path_);
  ASSERT_TRUE(client.connected());
  auto good = MakePipeRecord(UM_QUERY_MEMORY_SIZE, 0, 0);
  std::vector<std::vector<uint8_t>> dropped = {
      {good.begin(), good.begin() + 5},  // short
      std::vector<uint8_t>(20, 0),       // the reader's whole buffer, but not a record
      std::vector<uint8_t>(100, 0xFF),   // oversized
  };
  for (uint32_t code : std::vector<uint32_t>{UM_SELECT_PROFILE, UM_UPDATE_FIRMWARE, UM_SET_DEVICE_MODE, WM_CLOSE, 0}) {
    auto r = MakePipeRecord(code, 1, 0);
    dropped.emplace_back(r.begin(), r.end());
  }
  std::vector<uint8_t> oversizedGood(good.begin(), good.end());
  oversizedGood.resize(16);  // a good record with bytes after it
  dropped.push_back(oversizedGood);
  for (auto& bytes : dropped) ASSERT_TRUE(client.Write(bytes));
  ASSERT_TRUE(client.Write({good.begin(), good.end()}));
  ASSERT_TRUE(PumpUntil(1));
  bus::PumpFor(50);
  ASSERT_EQ(window_.received.size(), 1u);
  EXPECT_EQ(window_.received[0].code, UM_QUERY_MEMORY_SIZE);
  EXPECT_EQ(server->DroppedRecords(), dropped.size());
}

TEST_F(LinkPipe, ClientsThatLeaveMakeRoomForTheNext) {
  auto server = StartServer();
  {
    RawClient shortWriter(path_);  // writes 5 bytes and leaves
    ASSERT_TRUE(shortWriter.connected());
    ASSERT_TRUE(shortWriter.Write({1, 2, 3, 4, 5}));
    ASSERT_TRUE(WaitFor([&] { return server->ConnectedEntries() == 1; }));
  }
  ASSERT_TRUE(WaitFor([&] { return server->ConnectedEntries() == 0; }));
  for (uint32_t round = 1; round <= 3; ++round) {  // connect, leave, connect again
    RawClient client(path_);
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(client.Record(UM_SET_POLLING_RATE, round, 0));
    ASSERT_TRUE(PumpUntil(round));
    EXPECT_EQ(window_.received.back().w, round);
  }
  // Two instances serve two clients at once.
  RawClient a(path_), b(path_);
  ASSERT_TRUE(a.Record(UM_SET_POLLING_RATE, 10, 0));
  ASSERT_TRUE(b.Record(UM_SET_POLLING_RATE, 11, 0));
  ASSERT_TRUE(PumpUntil(5));
  EXPECT_TRUE(WaitFor([&] { return server->ConnectedEntries() == 2; }));
  EXPECT_EQ(server->DroppedRecords(), 1u);
}

TEST_F(LinkPipe, TheClientChannelCarriesTheMessagesOfAPanel) {
  auto server = StartServer();
  AgentLink link(true, 0);
  ASSERT_TRUE(link.usesPipe());
  ASSERT_TRUE(WaitFor([&] { return link.pipe()->ConnectedEntries() == 1; }));
  EXPECT_EQ(link.Send(UM_SET_LIFT_DISTANCE, 3, 1), 1);
  EXPECT_EQ(link.Post(UM_RELOAD_PROFILES, 0, 1), 1);
  ASSERT_TRUE(PumpUntil(2));
  EXPECT_EQ(window_.received[0].code, UM_SET_LIFT_DISTANCE);
  EXPECT_EQ(window_.received[0].w, 3u);
  EXPECT_EQ(window_.received[0].l, 1);
  EXPECT_EQ(window_.received[1].code, UM_RELOAD_PROFILES);
  EXPECT_EQ(window_.received[1].l, 1);
  // The server goes: the client's worker ends, and sending still reports 1 but writes nothing.
  server.reset();
  ASSERT_TRUE(WaitFor([&] { return link.pipe()->Finished(); }));
  EXPECT_EQ(link.pipe()->PipeSend(UM_RELOAD_PROFILES, 0, 0), 1);
  EXPECT_EQ(link.pipe()->ConnectedEntries(), 0);
}

TEST_F(LinkPipe, AClientWithoutServerSaysSoAndStillReportsSuccess) {
  testing::internal::CaptureStdout();
  PipeChannel client(0, path_, PipeChannel::kClient);
  EXPECT_EQ(client.Start(), 1);
  EXPECT_EQ(client.Start(), 0);
  ASSERT_TRUE(WaitFor([&] { return client.Finished(); }));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Could not open pipe. GLE=2\n");
  EXPECT_EQ(client.PipeSend(UM_RELOAD_PROFILES, 0, 0), 1);
}

TEST_F(LinkPipe, AClientFindingEveryInstanceBusyGivesUpAfterTwentySeconds) {
  auto server = StartServer();
  // This user's two connections are taken (the limit is per user, see LinkPipeUsers).
  RawClient first(path_), second(path_);
  ASSERT_TRUE(first.connected());
  ASSERT_TRUE(second.connected());
  ASSERT_TRUE(WaitFor([&] { return server->ConnectedEntries() == 2; }));
  VirtualClock clock;
  testing::internal::CaptureStdout();
  PipeChannel client(0, path_, PipeChannel::kClient, &clock);
  client.Start();
  ASSERT_TRUE(WaitFor([&] { return client.Finished(); }));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Could not open pipe: 20 second wait timed out.");
  EXPECT_GE(clock.TotalPaused(), 20000u);
  EXPECT_LT(clock.TotalPaused(), 20100u);
  EXPECT_GT(server->RefusedConnections(), 0u);
  EXPECT_EQ(server->ConnectedEntries(), 2);
}

TEST_F(LinkPipe, ASecondServerOnTheSameNameEndsAndTheFirstServesOn) {
  auto first = StartServer();
  ASSERT_TRUE(first->Running());
  PipeChannel second(window_.handle, path_, PipeChannel::kServer);
  EXPECT_EQ(second.Start(), 1);
  ASSERT_TRUE(WaitFor([&] { return second.Finished(); }));
  EXPECT_FALSE(second.Running());
  RawClient client(path_);
  ASSERT_TRUE(client.Record(UM_SET_POLLING_RATE, 3, 0));
  ASSERT_TRUE(PumpUntil(1));
  EXPECT_TRUE(first->Running());
}

TEST_F(LinkPipe, AStaleSocketIsTakenOverAndStopRemovesTheSocket) {
  {
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path_.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);  // left behind by a server that died
  }
  auto server = StartServer();
  ASSERT_TRUE(server->Running());
  RawClient client(path_);
  ASSERT_TRUE(client.Record(UM_QUERY_MEMORY_SIZE, 0, 0));
  ASSERT_TRUE(PumpUntil(1));
  server->Stop();
  ASSERT_TRUE(WaitFor([&] { return server->Finished(); }));
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(LinkPipe, DestroyingTheServerWhileItDeliversDoesNotHang) {
  auto server = StartServer();
  RawClient client(path_);
  for (uint32_t i = 0; i < 5; ++i) ASSERT_TRUE(client.Record(UM_SET_POLLING_RATE, i, 0));
  // The worker is now waiting for this thread to handle the first record.
  ASSERT_TRUE(WaitFor([&] { return server->ConnectedEntries() == 1; }));
  auto start = std::chrono::steady_clock::now();
  server.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_LE(window_.received.size(), 5u);
}

TEST_F(LinkPipe, AChannelDestroyedByItsOwnRecordHandlerEndsItsWorkerCleanly) {
  std::unique_ptr<PipeChannel> server;
  std::atomic<int> calls{0};
  server = std::make_unique<PipeChannel>(
      [&](uint32_t, uint32_t, uint32_t) {
        ++calls;
        server.reset();  // on the worker thread, in the middle of its reading
      },
      path_, PipeChannel::kServer);
  ASSERT_EQ(server->Start(), 1);
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(path_); }));
  ASSERT_TRUE(WaitFor([&] { return server->Running(); }));
  RawClient client(path_);
  ASSERT_TRUE(client.connected());
  ASSERT_TRUE(client.Record(UM_SET_POLLING_RATE, 0, 0));
  // The channel may already be gone when these follow, and the connection with it.
  for (uint32_t i = 1; i < 3; ++i) (void)client.Record(UM_SET_POLLING_RATE, i, 0);
  // The worker outlives its channel, ends by itself and removes the pipe; nothing more is
  // delivered.
  EXPECT_TRUE(WaitFor([&] { return !std::filesystem::exists(path_); }));
  EXPECT_EQ(calls, 1);
}

// Two connections of each user at most, never a number in all: another user's idle
// connections keep nobody else out.
TEST_F(LinkPipe, AnotherUsersIdleConnectionsDoNotKeepThisUserOut) {
  if (::geteuid() != 0) GTEST_SKIP() << "skipped: needs root to connect as another user (setpriv)";
  auto server = StartServer();
  ::chmod(dir_.path().c_str(), 01777);
  test::PeerProcess idle("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", ORV_TEST_PEER,
                                              "idle-pipe", path_, "3"});
  EXPECT_EQ(idle.ReadLine(), "served 2 refused 1");
  ASSERT_EQ(server->ConnectedEntries(), 2);
  // This user's panel gets in, twice, and is heard.
  RawClient a(path_), b(path_);
  ASSERT_TRUE(a.Record(UM_SET_POLLING_RATE, 1, 0));
  ASSERT_TRUE(b.Record(UM_SET_POLLING_RATE, 2, 0));
  ASSERT_TRUE(PumpUntil(2));
  EXPECT_EQ(window_.received[0].w + window_.received[1].w, 3u);
  EXPECT_TRUE(WaitFor([&] { return server->ConnectedEntries() == 4; }));
  // A third of this user's is refused with the busy notice, as the other user's was.
  RawClient c(path_);
  ASSERT_TRUE(c.connected());
  EXPECT_TRUE(WaitFor([&] { return server->RefusedConnections() == 2; }));
  uint8_t notice[8];
  EXPECT_EQ(::recv(c.fd(), notice, sizeof notice, 0), static_cast<ssize_t>(kPipeBusyNotice.size()));
  EXPECT_EQ(std::memcmp(notice, kPipeBusyNotice.data(), kPipeBusyNotice.size()), 0);
  idle.Kill();
  EXPECT_TRUE(WaitFor([&] { return server->ConnectedEntries() == 2; }));
}

TEST(LinkPipeRecord, IsTwelveLittleEndianBytes) {
  auto r = MakePipeRecord(0x545, 2, 0xFFFFFFFF);
  EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.end()),
            (std::vector<uint8_t>{0x45, 0x05, 0, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
  uint32_t code, w, l;
  ASSERT_TRUE(ParsePipeRecord(r.data(), r.size(), code, w, l));
  EXPECT_EQ(code, 0x545u);
  EXPECT_EQ(w, 2u);
  EXPECT_EQ(l, 0xFFFFFFFFu);
  EXPECT_FALSE(ParsePipeRecord(r.data(), 11, code, w, l));
  EXPECT_FALSE(ParsePipeRecord(r.data(), 13, code, w, l));
}

// The case the pipe exists for: an agent running as root and a panel running as an ordinary
// user. The panel must choose the pipe, its direct message must be refused, and the agent must
// receive the polling rate exactly as if it had been sent directly.
TEST_F(LinkPipe, AnElevatedAgentHearsALimitedPanelThroughThePipe) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the agent side with full rights";
  test::PeerProcess agent(ORV_TEST_PEER, {"agent", test::N(kAgentWindowTitle)});
  WindowHandle h = agent.ReadyHandle();
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(AgentNeedsPipe());  // this process has full rights too
  test::PeerProcess panel(ORV_TEST_PEER, {"panel", "65534"});
  EXPECT_EQ(panel.ReadLine(), "found=1 pipe=1 direct=0 sent=1");
  EXPECT_EQ(panel.Wait(), 0);
  ASSERT_TRUE(WaitFor([&] { return bus::Send(h, test::kPeerPostedCount, 0, 0) >= 1; }));
  EXPECT_EQ(bus::Send(h, test::kPeerPostedCount, 0, 0), 1);
  EXPECT_EQ(bus::Send(h, test::kPeerPostedAt, 0, 0), (int64_t{UM_SET_POLLING_RATE} << 32) | (2 << 16));
}

}  // namespace
}  // namespace orv
