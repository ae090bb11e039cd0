// The agent's driver channel on the simulator's own model of the driver and mouse, in-process:
// what the model sees of the event thread's requests.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "agent/driver_channel.h"
#include "base/byte_order.h"
#include "platform/clock.h"
#include "sim/mouse_model.h"

namespace orv::test {
namespace {

// The channel on a model, with what its event thread posts.
class ChannelOnModel : public ::testing::Test {
 protected:
  ChannelOnModel()
      : model(clock),
        channel([this](EventSemaphore& s) -> std::unique_ptr<DeviceIo> {
          std::lock_guard<std::mutex> lock(mutex);
          semaphore = &s;
          auto device = std::make_unique<sim::ModelDevice>(model);
          modelDevice = device.get();
          return device;
        }) {
    model.SetEventPendingCallback([this] {
      std::lock_guard<std::mutex> lock(mutex);
      if (semaphore) semaphore->Release(1);
    });
    channel.StartEventThread([this](uint32_t w, uint32_t l) {
      std::lock_guard<std::mutex> lock(mutex);
      posted.push_back({w, l});
      changed.notify_all();
    });
  }
  // Waits (boundedly) until the event thread has posted n notices in all.
  bool WaitForPosted(size_t n) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(5), [&] { return posted.size() >= n; });
  }
  // The input bytes of every IOCTL_GET_EVENT the model answered, in hex.
  std::vector<std::string> EventFetchInputs() {
    std::vector<std::string> out;
    for (const std::string& line : model.Transcript()) {
      if (line.find("ioctl=0x222408 in=") == std::string::npos) continue;
      size_t at = line.find("in=") + 3;
      out.push_back(line.substr(at, line.find(' ', at) - at));
    }
    return out;
  }

  VirtualClock clock;
  sim::MouseModel model;
  std::mutex mutex;
  std::condition_variable changed;
  EventSemaphore* semaphore = nullptr;
  sim::ModelDevice* modelDevice = nullptr;
  std::vector<std::pair<uint32_t, uint32_t>> posted;
  DriverChannel channel;
};

TEST_F(ChannelOnModel, TheEventBufferGoesInWithTheLastWordFetched) {
  ASSERT_EQ(channel.OpenDevice(), 1);
  // A side button, an extra button, the side button let go.
  ASSERT_EQ(model.Press(3), sim::MouseModel::ButtonOutcome::Reported);
  ASSERT_TRUE(WaitForPosted(1));
  ASSERT_EQ(model.Press(1033), sim::MouseModel::ButtonOutcome::Reported);
  ASSERT_TRUE(WaitForPosted(2));
  ASSERT_EQ(model.Release(3), sim::MouseModel::ButtonOutcome::Reported);
  ASSERT_TRUE(WaitForPosted(3));
  std::vector<std::pair<uint32_t, uint32_t>> words;
  {
    std::lock_guard<std::mutex> lock(mutex);
    words = posted;
  }
  EXPECT_EQ(words, (std::vector<std::pair<uint32_t, uint32_t>>{{0x8, 0}, {0x200, 1}, {0x0, 0}}));
  // The first fetch goes in with zeros; each later one with the word before it, as it came.
  EXPECT_EQ(EventFetchInputs(), (std::vector<std::string>{"00000000", "08000000", "00020010"}));
}

TEST_F(ChannelOnModel, ADeviceThatGoesAwayIsToldOnceAndReopenedAfresh) {
  ASSERT_EQ(channel.OpenDevice(), 1);
  {
    std::lock_guard<std::mutex> lock(mutex);
    modelDevice->SetAlive(false);
    semaphore->Release(1);
    semaphore->Release(1);  // a second wake-up tells nothing more
  }
  ASSERT_TRUE(WaitForPosted(1));
  EXPECT_FALSE(channel.IsOpen());
  {
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(posted, (std::vector<std::pair<uint32_t, uint32_t>>{{0, static_cast<uint32_t>(kDeviceEventLost)}}));
  }
  // Opened again, its loss is told again.
  ASSERT_EQ(channel.OpenDevice(), 1);
  EXPECT_TRUE(channel.IsOpen());
  {
    std::lock_guard<std::mutex> lock(mutex);
    modelDevice->SetAlive(false);
  }
  EXPECT_FALSE(channel.IsOpen());  // the window thread finds out first this time
  ASSERT_TRUE(WaitForPosted(2));
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted.back().second, static_cast<uint32_t>(kDeviceEventLost));
}

}  // namespace
}  // namespace orv::test
