#include "panel/link_transport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <chrono>
#include <deque>
#include <functional>
#include <thread>

#include "link/bus_window.h"
#include "link/messages.h"
#include "link/pipe_channel.h"
#include "tests/test_support.h"

namespace orv {
namespace {

struct Received {
  uint32_t code;
  WParam w;
  LParam l;
  bool operator==(const Received&) const = default;
};

class AgentStandIn : public BusWindow {
 public:
  LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
    received.push_back({code, w, l});
    return result;
  }
  std::vector<Received> received;
  LResult result = 1;
};

// Handles this thread's messages until `done` holds, at most `ms` milliseconds; whether it held.
bool PumpUntil(int ms, const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    bus::PumpFor(5);
  }
  return true;
}

class LinkTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("ORV_BUS_DIR", busDir.path().c_str(), 1);
    ::setenv("ORV_PIPE_DIR", pipeDir.path().c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("ORV_BUS_DIR");
    ::unsetenv("ORV_PIPE_DIR");
  }
  test::TempDir busDir, pipeDir;
};

// The agent may be missing when the panel starts, start later and end while the panel runs:
// each message looks for its window afresh, and a missing one gets nothing.
TEST_F(LinkTransportTest, AnAgentThatIsAbsentStartsLaterAndEndsIsFoundForEachMessage) {
  LinkTransport link(false, 0);
  EXPECT_FALSE(link.UsesPipe());
  EXPECT_FALSE(link.AgentPresent());
  EXPECT_EQ(link.Post(UM_QUERY_MEMORY_SIZE, 0, 0), 0);
  EXPECT_EQ(link.Send(UM_SET_LIFT_DISTANCE, 2, 1), 0);

  // The agent's window lives on its own thread, as in its own process.
  std::atomic<bool> stop{false};
  std::atomic<bool> registered{false};
  AgentStandIn* agentPtr = nullptr;
  std::thread agentThread([&] {
    AgentStandIn agent;
    agent.result = 7;
    agentPtr = &agent;
    ASSERT_TRUE(agent.RegisterWindow(kAgentWindowTitle));
    registered = true;
    PumpUntil(10000, [&] { return stop.load(); });
    agent.UnregisterWindow();
    EXPECT_EQ(agent.received, (std::vector<Received>{{UM_QUERY_MEMORY_SIZE, 0, 0}, {UM_SET_LIFT_DISTANCE, 2, 1}}));
  });
  while (!registered) std::this_thread::yield();
  EXPECT_TRUE(link.AgentPresent());
  EXPECT_EQ(link.Post(UM_QUERY_MEMORY_SIZE, 0, 0), 1);
  EXPECT_EQ(link.Send(UM_SET_LIFT_DISTANCE, 2, 1), 7);
  stop = true;
  agentThread.join();

  EXPECT_FALSE(link.AgentPresent());
  EXPECT_EQ(link.Post(UM_RELOAD_PROFILES, 0, 0), 0);
  EXPECT_FALSE(link.PostToWindow(kTrayWindowTitle, UM_TRAY_ICON_FLAG_SET, 0, 0));
}

// With the pipe flag every message goes over the pipe, answered 1, and reaches the agent's
// window as if it had been sent there.
TEST_F(LinkTransportTest, WithThePipeFlagMessagesTravelOverThePipe) {
  AgentStandIn agent;
  ASSERT_TRUE(agent.RegisterWindow(u"pipe server window"));
  PipeChannel server(agent.windowHandle(), PipePath(kPipeName), PipeChannel::kServer);
  ASSERT_EQ(server.Start(), 1);
  ASSERT_TRUE(PumpUntil(5000, [&] { return server.Running(); }));

  LinkTransport link(true, 0);
  EXPECT_TRUE(link.UsesPipe());
  ASSERT_TRUE(PumpUntil(5000, [&] { return server.ConnectedEntries() == 1; }));
  EXPECT_EQ(link.Send(UM_SET_POLLING_RATE, 2, 0), 1);
  EXPECT_EQ(link.Post(UM_RELOAD_PROFILES, 0, 0), 1);
  // A code the agent does not take from the pipe is dropped there.
  EXPECT_EQ(link.Post(UM_SELECT_PROFILE, 3, 0), 1);
  EXPECT_TRUE(PumpUntil(5000, [&] { return agent.received.size() >= 2 && server.DroppedRecords() == 1; }));
  EXPECT_EQ(agent.received, (std::vector<Received>{{UM_SET_POLLING_RATE, 2, 0}, {UM_RELOAD_PROFILES, 0, 0}}));
}

}  // namespace
}  // namespace orv
