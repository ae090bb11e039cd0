#pragma once
// The agent's link to the driver's control device: opening and closing it, the requests with
// their codes and buffer sizes, and the event thread that turns each release of the event
// semaphore into one UM_DEVICE_EVENT for the agent window.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/device_codes.h"
#include "device/device_io.h"

namespace orv {

// UM_DEVICE_EVENT's lParam: a word of the device (wParam the whole word: connect, disconnect,
// standard buttons), an extra-button report (wParam the mask), or the device gone away (its
// end closed: the releases of the buttons held down will not come).
inline constexpr int64_t kDeviceEventWord = 0;
inline constexpr int64_t kDeviceEventExtra = 1;
inline constexpr int64_t kDeviceEventLost = 2;

// Opens the device and hands it the semaphore its event notices release; null when absent.
using DeviceOpener = std::function<std::unique_ptr<DeviceIo>(EventSemaphore&)>;

class DriverChannel {
 public:
  explicit DriverChannel(DeviceOpener opener);
  ~DriverChannel();
  DriverChannel(const DriverChannel&) = delete;
  DriverChannel& operator=(const DriverChannel&) = delete;

  // Opens the device and registers the event semaphore with it; a device that refuses the
  // registration is closed again. 1/0.
  int OpenDevice();
  // Every button back to its native path (mask 0), detach, close. 1.
  int CloseDevice();
  // Whether a device is open. A device whose other end has gone (the driver ended) counts as
  // closed and is let go here, so that its return can open it again.
  bool IsOpen();

  // One request with exact buffer sizes. Fails without a request while the device is closed.
  IoctlResult Request(uint32_t code, std::vector<uint8_t> in = {}, size_t outSize = 0);

  // The event thread: waits on the semaphore, fetches the event word and hands it to `post`
  // (wParam, lParam) as UM_DEVICE_EVENT. The one event buffer is both input and output of the
  // fetch, so the driver is given the last word fetched. A device found gone is handed on once
  // as kDeviceEventLost. Started once.
  void StartEventThread(std::function<void(uint32_t wParam, uint32_t lParam)> post);
  // Sets the stop flag and releases the semaphore once; the thread is not waited for here.
  void SignalEventThreadStop();
  EventSemaphore& semaphore() { return semaphore_; }
  int32_t connectCount() const { return connectCount_; }

 private:
  void EventLoop();
  // Hands kDeviceEventLost on, once per device.
  void ReportLost(const std::shared_ptr<DeviceIo>& device);
  std::shared_ptr<DeviceIo> Device();

  DeviceOpener opener_;
  std::mutex deviceMutex_;
  std::shared_ptr<DeviceIo> device_;
  EventSemaphore semaphore_{100};
  std::atomic<bool> stop_{false};
  std::atomic<int32_t> connectCount_{0};
  std::vector<uint8_t> eventWord_ = std::vector<uint8_t>(4, 0);  // the event thread's alone
  std::mutex lostMutex_;
  std::weak_ptr<DeviceIo> lostReported_;
  std::function<void(uint32_t, uint32_t)> post_;
  std::thread thread_;
};

}  // namespace orv
