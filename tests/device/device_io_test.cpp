#include "device/device_io.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "device/device_protocol.h"
#include "sim/mouse_model.h"
#include "tests/sim/sim_process.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using namespace device_error;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
namespace dp = device_protocol;

IoctlResult Call(DeviceIo& io, uint32_t code, const Bytes& in, size_t outSize) {
  return io.Ioctl(code, in.data(), in.size(), outSize);
}

uint32_t Word(const IoctlResult& r) {
  return r.out.size() == 4 ? static_cast<uint32_t>(r.out[0] | r.out[1] << 8 | r.out[2] << 16 | r.out[3] << 24) : 0;
}

template <typename Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds limit = 2000ms) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(SimEventSemaphore, CountsUpToItsMaximumAndRefusesBeyond) {
  EventSemaphore semaphore(3);
  EXPECT_EQ(semaphore.Count(), 0);
  EXPECT_FALSE(semaphore.WaitFor(1ms));
  EXPECT_TRUE(semaphore.Release(2));
  EXPECT_FALSE(semaphore.Release(2));  // 4 > 3: nothing changes
  EXPECT_EQ(semaphore.Count(), 2);
  EXPECT_FALSE(semaphore.Release(0));
  EXPECT_FALSE(semaphore.Release(-1));
  EXPECT_TRUE(semaphore.Release(1));
  EXPECT_FALSE(semaphore.Release(1));
  EXPECT_EQ(semaphore.Count(), 3);
  semaphore.Wait();
  EXPECT_TRUE(semaphore.WaitFor(1ms));
  EXPECT_TRUE(semaphore.WaitFor(1ms));
  EXPECT_FALSE(semaphore.WaitFor(1ms));
  EXPECT_EQ(semaphore.Count(), 0);
}

TEST(SimEventSemaphore, ReleaseWakesAWaitingThread) {
  EventSemaphore semaphore(100);
  std::atomic<int> woken{0};
  std::jthread waiter([&] {
    semaphore.Wait();
    ++woken;
    semaphore.Wait();
    ++woken;
  });
  std::this_thread::sleep_for(5ms);
  EXPECT_EQ(woken.load(), 0);
  semaphore.Release(2);
  waiter.join();
  EXPECT_EQ(woken.load(), 2);
}

TEST(SimDeviceHandle, OpenReportsFileNotFoundWhenNothingServes) {
  test::TempDir dir;
  uint32_t error = 0;
  EXPECT_EQ(DeviceHandle::Open(dir / "VX-TidefallDevice", &error), nullptr);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  // A socket file left behind by a simulator that is gone.
  const std::string stale = dir / "stale";
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  stale.copy(address.sun_path, stale.size());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  EXPECT_EQ(DeviceHandle::Open(stale, &error), nullptr);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(DeviceHandle::Open(std::string(200, 'x'), &error), nullptr);
  EXPECT_EQ(error, ERROR_BAD_PATHNAME);
}

TEST(SimDeviceHandle, DeviceFolderComesFromTheEnvironment) {
  ::setenv("ORV_DEVICE_DIR", "/some/where", 1);
  EXPECT_EQ(DeviceFolder(), "/some/where");
  EXPECT_EQ(DevicePath(), "/some/where/VX-TidefallDevice");
  ::unsetenv("ORV_DEVICE_DIR");
  EXPECT_FALSE(DeviceFolder().empty());
}

class SimDeviceHandleProcess : public testing::Test {
 protected:
  void SetUp() override {
    sim_ = std::make_unique<test::SimProcess>(dir_.path());
    ASSERT_TRUE(sim_->ready());
    uint32_t error = 0;
    handle_ = DeviceHandle::Open(dir_ / "VX-TidefallDevice", &error);
    ASSERT_NE(handle_, nullptr) << error;
  }
  test::TempDir dir_;
  std::unique_ptr<test::SimProcess> sim_;
  std::unique_ptr<DeviceHandle> handle_;
};

TEST_F(SimDeviceHandleProcess, AnswersRequestsAsTheSimulatedMouse) {
  using namespace sim;
  EXPECT_TRUE(handle_->Alive());
  EXPECT_EQ(Call(*handle_, IOCTL_GET_FIRMWARE_VERSION, {}, 2).out, (Bytes{0x03, 0x02}));
  EXPECT_TRUE(Call(*handle_, IOCTL_SET_DPI_STEP, {4}, 0).ok);
  EXPECT_EQ(Call(*handle_, IOCTL_GET_DPI_STEP, {0}, 1).out, Bytes{4});
  const IoctlResult wrongSize = Call(*handle_, IOCTL_GET_DPI_STEP, {0}, 2);
  EXPECT_FALSE(wrongSize.ok);
  EXPECT_EQ(wrongSize.error, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Call(*handle_, 0x222FFC, {}, 0).error, ERROR_INVALID_FUNCTION);
  Bytes onboard(2 + 4096, 0x33);
  onboard[0] = onboard[1] = 0;                                           // offset 0
  EXPECT_TRUE(Call(*handle_, IOCTL_ONBOARD_WRITE_DATA, onboard, 0).ok);  // the largest request
  EXPECT_EQ(Call(*handle_, IOCTL_ONBOARD_READ_DATA, {0, 0}, 4096).out, Bytes(4096, 0x33));
  const Bytes huge(dp::kMaxIoctlBuffer + 1, 0);
  EXPECT_EQ(Call(*handle_, IOCTL_ONBOARD_WRITE_DATA, huge, 0).error, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(handle_->Ioctl(IOCTL_SET_DPI_STEP, nullptr, 1, 0).error, ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(handle_->Alive());

  // The device is opened exclusively.
  uint32_t error = 0;
  EXPECT_EQ(DeviceHandle::Open(dir_ / "VX-TidefallDevice", &error), nullptr);
  EXPECT_EQ(error, ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(Call(*handle_, IOCTL_GET_DPI_STEP, {0}, 1).ok);
  // Once it is closed, the next client gets it, even at once.
  for (int i = 0; i < 20; ++i) {
    handle_.reset();
    handle_ = DeviceHandle::Open(dir_ / "VX-TidefallDevice", &error);
    ASSERT_NE(handle_, nullptr) << "reopening " << i << ": error " << error;
    ASSERT_TRUE(Call(*handle_, IOCTL_GET_DPI_STEP, {0}, 1).ok);
  }
}

TEST_F(SimDeviceHandleProcess, ReleasesTheSemaphoreOncePerEventWord) {
  using namespace sim;
  EventSemaphore semaphore(100);
  handle_->AttachEventSemaphore(&semaphore);
  EXPECT_EQ(sim_->Command({"press", "1024"}).status, 0);  // before registering: nobody hears it
  ASSERT_TRUE(Call(*handle_, IOCTL_REGISTER_EVENT, {7, 0, 0, 0}, 0).ok);
  EXPECT_FALSE(semaphore.WaitFor(20ms));
  EXPECT_EQ(sim_->Command({"press", "1025"}).status, 0);
  EXPECT_EQ(sim_->Command({"release", "1024"}).status, 0);
  EXPECT_EQ(sim_->Command({"press", "4"}).status, 0);
  for (uint32_t word : {0x10000003u, 0x10000002u, 0x00000010u}) {
    ASSERT_TRUE(semaphore.WaitFor(2000ms));
    EXPECT_EQ(Word(Call(*handle_, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4)), word);
  }
  EXPECT_FALSE(semaphore.WaitFor(20ms));
  EXPECT_EQ(semaphore.Count(), 0);
  EXPECT_EQ(Call(*handle_, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4).error, ERROR_NO_MORE_ITEMS);
  handle_->AttachEventSemaphore(nullptr);
}

TEST_F(SimDeviceHandleProcess, TwoThreadsShareTheHandle) {
  using namespace sim;
  EventSemaphore semaphore(100);
  handle_->AttachEventSemaphore(&semaphore);
  ASSERT_TRUE(Call(*handle_, IOCTL_REGISTER_EVENT, {0, 0, 0, 0}, 0).ok);
  constexpr int kPresses = 20;
  // The event thread waits and fetches while the window thread talks to the mouse.
  std::vector<uint32_t> words;
  std::jthread events([&] {
    while (words.size() < 2 * kPresses && semaphore.WaitFor(3000ms)) {
      const IoctlResult r = Call(*handle_, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4);
      if (r.ok) words.push_back(Word(r));
    }
  });
  std::atomic<int> mismatches{0};
  std::jthread window([&] {
    for (int i = 0; i < 300; ++i) {
      const Bytes colour{static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 0x5C};
      if (!Call(*handle_, IOCTL_SET_LED_COLOR, colour, 0).ok) ++mismatches;
      if (Call(*handle_, IOCTL_GET_LED_COLOR, {0, 0, 0}, 3).out != colour) ++mismatches;
    }
  });
  for (int i = 0; i < kPresses; ++i) {
    ASSERT_EQ(sim_->Command({"press", "1"}).status, 0);
    ASSERT_EQ(sim_->Command({"release", "1"}).status, 0);
  }
  window.join();
  events.join();
  EXPECT_EQ(mismatches.load(), 0);
  ASSERT_EQ(words.size(), 2u * kPresses);
  for (size_t i = 0; i < words.size(); ++i) EXPECT_EQ(words[i], i % 2 == 0 ? 0x2u : 0x0u) << i;
  handle_->AttachEventSemaphore(nullptr);
}

TEST_F(SimDeviceHandleProcess, ADeviceEndThatGoesAwayWakesTheEventWaiterOnce) {
  EventSemaphore semaphore(100);
  handle_->AttachEventSemaphore(&semaphore);
  EXPECT_EQ(semaphore.Count(), 0);
  sim_->Kill(SIGKILL);
  // The waiter wakes, finds the device gone, and is not woken again.
  EXPECT_TRUE(semaphore.WaitFor(3000ms));
  EXPECT_FALSE(handle_->Alive());
  EXPECT_FALSE(semaphore.WaitFor(20ms));
  handle_->AttachEventSemaphore(nullptr);
}

TEST_F(SimDeviceHandleProcess, SimulatorKilledMidRequestFailsEveryRequestQuickly) {
  using namespace sim;
  sim_->Signal(SIGSTOP);  // the request below waits for an answer that never comes
  std::atomic<bool> returned{false};
  IoctlResult pending;
  std::jthread caller([&] {
    pending = Call(*handle_, IOCTL_GET_DPI_STEP, {0}, 1);
    returned = true;
  });
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(returned.load());
  const auto killedAt = std::chrono::steady_clock::now();
  sim_->Kill(SIGKILL);
  caller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - killedAt, 1000ms);
  EXPECT_FALSE(pending.ok);
  EXPECT_EQ(pending.error, ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_FALSE(handle_->Alive());
  const IoctlResult later = Call(*handle_, IOCTL_GET_DPI_STEP, {0}, 1);
  EXPECT_FALSE(later.ok);
  EXPECT_EQ(later.error, ERROR_DEVICE_NOT_CONNECTED);
  handle_.reset();  // the reader thread has ended; closing is clean
}

TEST_F(SimDeviceHandleProcess, UnplugKeepsTheHandleAndRemoveEndsIt) {
  using namespace sim;
  EventSemaphore semaphore(100);
  handle_->AttachEventSemaphore(&semaphore);
  ASSERT_TRUE(Call(*handle_, IOCTL_REGISTER_EVENT, {0, 0, 0, 0}, 0).ok);
  ASSERT_EQ(sim_->Command({"unplug"}).status, 0);
  ASSERT_TRUE(semaphore.WaitFor(2000ms));
  EXPECT_EQ(Word(Call(*handle_, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4)), kEventDisconnect);
  EXPECT_EQ(Call(*handle_, IOCTL_GET_DPI_STEP, {0}, 1).error, ERROR_GEN_FAILURE);
  EXPECT_TRUE(handle_->Alive());
  ASSERT_EQ(sim_->Command({"plug"}).status, 0);
  ASSERT_TRUE(semaphore.WaitFor(2000ms));
  EXPECT_EQ(Word(Call(*handle_, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4)), kEventConnect);
  EXPECT_TRUE(Call(*handle_, IOCTL_GET_DPI_STEP, {0}, 1).ok);

  ASSERT_EQ(sim_->Command({"remove"}).status, 0);
  EXPECT_TRUE(WaitUntil([&] { return !handle_->Alive(); }));
  EXPECT_EQ(Call(*handle_, IOCTL_GET_DPI_STEP, {0}, 1).error, ERROR_DEVICE_NOT_CONNECTED);
  uint32_t error = 0;
  EXPECT_EQ(DeviceHandle::Open(dir_ / "VX-TidefallDevice", &error), nullptr);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(sim_->Command({"plug"}).status, 0);
  auto again = DeviceHandle::Open(dir_ / "VX-TidefallDevice", &error);
  ASSERT_NE(again, nullptr) << error;
  EXPECT_TRUE(Call(*again, IOCTL_GET_DPI_STEP, {0}, 1).ok);
  handle_->AttachEventSemaphore(nullptr);
}

// A device end written by hand, to feed the handle frames the simulator never sends.
class HandMadeDevice {
 public:
  explicit HandMadeDevice(const std::string& path) {
    listen_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    ok_ = ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(listen_, 1) == 0;
  }
  ~HandMadeDevice() {
    if (client_ >= 0) ::close(client_);
    ::close(listen_);
  }
  bool ok() const { return ok_; }
  bool Accept() {
    client_ = ::accept(listen_, nullptr, nullptr);
    return client_ >= 0;
  }
  void Send(const Bytes& frame) { ::send(client_, frame.data(), frame.size(), MSG_NOSIGNAL); }
  // The next request's frame.
  bool Receive(dp::Frame& frame, dp::Request& request) {
    Bytes buffer(dp::kMaxFrame + 1);
    const ssize_t n = ::recv(client_, buffer.data(), buffer.size(), 0);
    return n > 0 && dp::DecodeFrame(buffer.data(), static_cast<size_t>(n), frame) && dp::DecodeRequest(frame, request);
  }

 private:
  int listen_ = -1;
  int client_ = -1;
  bool ok_ = false;
};

Bytes Answer(uint32_t id, uint32_t code, bool ok, uint32_t error, Bytes out) {
  dp::Answer answer;
  answer.code = code;
  answer.ok = ok;
  answer.error = error;
  answer.out = std::move(out);
  return dp::EncodeAnswer(id, answer);
}

TEST(SimDeviceHandle, DropsMalformedFramesAndKeepsWorking) {
  test::TempDir dir;
  HandMadeDevice device(dir / "device");
  ASSERT_TRUE(device.ok());
  std::unique_ptr<DeviceHandle> handle;
  std::jthread opener([&] { handle = DeviceHandle::Open(dir / "device", nullptr); });
  ASSERT_TRUE(device.Accept());
  device.Send(dp::EncodeHello({true, 0}));
  opener.join();
  ASSERT_NE(handle, nullptr);
  EventSemaphore semaphore(100);
  handle->AttachEventSemaphore(&semaphore);

  std::jthread server([&] {
    dp::Frame frame;
    dp::Request request;
    // First request: junk first, then an answer too long for it, which fails the request.
    if (!device.Receive(frame, request)) return;
    Bytes badMagic = Answer(frame.id, request.code, true, 0, {1});
    badMagic[0] ^= 0xFF;
    device.Send(badMagic);
    Bytes badLength = Answer(frame.id, request.code, true, 0, {1});
    badLength[12] += 1;
    device.Send(badLength);
    Bytes badVersion = Answer(frame.id, request.code, true, 0, {1});
    badVersion[4] = 9;
    device.Send(badVersion);
    device.Send({1, 2, 3});
    device.Send(Answer(frame.id + 1000, request.code, true, 0, {9}));                  // nobody asked
    device.Send(dp::EncodeFrame(dp::FrameKind::EventPending, 0, Bytes{1}.data(), 1));  // notices are empty
    device.Send(Answer(frame.id, request.code, true, 0, {1, 2}));                      // more than asked for
    // Second request: a proper answer and one proper notice.
    if (!device.Receive(frame, request)) return;
    device.Send(dp::EncodeEventPending());
    device.Send(Answer(frame.id, request.code, true, 0, {5}));
    // Third: a failure without a code is still a failure.
    if (!device.Receive(frame, request)) return;
    device.Send(Answer(frame.id, request.code, false, 0, {}));
  });
  const IoctlResult tooLong = Call(*handle, IOCTL_GET_DPI_STEP, {0}, 1);
  EXPECT_FALSE(tooLong.ok);
  EXPECT_EQ(tooLong.error, ERROR_INVALID_DATA);
  EXPECT_EQ(Call(*handle, IOCTL_GET_DPI_STEP, {0}, 1).out, Bytes{5});
  const IoctlResult failed = Call(*handle, IOCTL_GET_DPI_STEP, {0}, 1);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.error, ERROR_GEN_FAILURE);
  server.join();
  EXPECT_TRUE(handle->Alive());
  EXPECT_EQ(semaphore.Count(), 1);  // only the well-formed notice
  handle->AttachEventSemaphore(nullptr);
}

TEST(SimDeviceHandle, DeviceThatHangsTimesOutWithoutKillingTheHandle) {
  test::TempDir dir;
  HandMadeDevice device(dir / "device");
  ASSERT_TRUE(device.ok());
  std::unique_ptr<DeviceHandle> handle;
  std::jthread opener([&] { handle = DeviceHandle::Open(dir / "device", nullptr); });
  ASSERT_TRUE(device.Accept());
  device.Send(dp::EncodeHello({true, 0}));
  opener.join();
  ASSERT_NE(handle, nullptr);
  handle->SetAnswerTimeout(30ms);
  const IoctlResult r = Call(*handle, IOCTL_GET_DPI_STEP, {0}, 1);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, ERROR_TIMEOUT);
  EXPECT_TRUE(handle->Alive());
}

TEST(SimDeviceHandle, RefusingDeviceGivesItsError) {
  test::TempDir dir;
  HandMadeDevice device(dir / "device");
  ASSERT_TRUE(device.ok());
  uint32_t error = 0;
  std::unique_ptr<DeviceHandle> handle;
  std::jthread opener([&] { handle = DeviceHandle::Open(dir / "device", &error); });
  ASSERT_TRUE(device.Accept());
  device.Send(dp::EncodeHello({false, ERROR_ACCESS_DENIED}));
  opener.join();
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
}

TEST(SimDeviceProtocol, FramesRoundTripAndMalformedOnesAreRejected) {
  const Bytes in{1, 2, 3};
  const Bytes frame = dp::EncodeRequest(77, 0x222540, in.data(), in.size(), 9);
  ASSERT_EQ(frame.size(), dp::kHeaderSize + 8 + 3);
  dp::Frame decoded;
  dp::Request request;
  ASSERT_TRUE(dp::DecodeFrame(frame.data(), frame.size(), decoded));
  ASSERT_TRUE(dp::DecodeRequest(decoded, request));
  EXPECT_EQ(decoded.id, 77u);
  EXPECT_EQ(request.code, 0x222540u);
  EXPECT_EQ(request.outSize, 9u);
  EXPECT_EQ(request.in, in);
  // Little-endian header: magic "ORVD", version 1, kind 2.
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 8), (Bytes{'O', 'R', 'V', 'D', 1, 0, 2, 0}));

  EXPECT_FALSE(dp::DecodeFrame(frame.data(), frame.size() - 1, decoded));  // length field disagrees
  EXPECT_FALSE(dp::DecodeFrame(frame.data(), 10, decoded));
  Bytes badKind = frame;
  badKind[6] = 9;
  EXPECT_FALSE(dp::DecodeFrame(badKind.data(), badKind.size(), decoded));
  Bytes bigOut = dp::EncodeRequest(1, 0x222540, nullptr, 0, 0);
  bigOut[dp::kHeaderSize + 4] = 0xFF;
  bigOut[dp::kHeaderSize + 5] = 0xFF;
  bigOut[dp::kHeaderSize + 6] = 0xFF;
  ASSERT_TRUE(dp::DecodeFrame(bigOut.data(), bigOut.size(), decoded));
  EXPECT_FALSE(dp::DecodeRequest(decoded, request));  // asks for more than any answer can carry
  EXPECT_TRUE(dp::EncodeRequest(1, 0, nullptr, dp::kMaxIoctlBuffer + 1, 0).empty());
  const Bytes largest(dp::kMaxIoctlBuffer, 0);
  EXPECT_LE(dp::EncodeRequest(1, 0, largest.data(), largest.size(), dp::kMaxIoctlBuffer).size(), dp::kMaxFrame);
}

}  // namespace
}  // namespace orv
