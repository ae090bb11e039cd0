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

#include "platform/device_io.h"

namespace orv {

// Request codes: device type 0x22, functions from 0x900, buffered, any access.
enum : uint32_t {
  IOCTL_REGISTER_EVENT = 0x222400,
  IOCTL_UNREGISTER = 0x222404,
  IOCTL_GET_EVENT = 0x222408,
  IOCTL_SET_INTERCEPT_MASK = 0x222420,
  IOCTL_SET_SENSITIVITY_X = 0x222424,
  IOCTL_SET_SENSITIVITY_Y = 0x222440,
  IOCTL_SET_SENSITIVITY_ENABLE = 0x222448,
  IOCTL_SET_INTERCEPT_EXTRA = 0x222454,
  IOCTL_SET_POLLING_RATE = 0x2224A0,
  IOCTL_GET_POLLING_RATE = 0x2224A4,
  IOCTL_GET_FIRMWARE_VERSION = 0x222510,
  IOCTL_SET_LED_COLOR = 0x222520,
  IOCTL_GET_LED_COLOR = 0x222524,
  IOCTL_SET_DPI_STEP = 0x222540,
  IOCTL_GET_DPI_STEP = 0x222554,
  IOCTL_SET_LED_INTENSITY = 0x222558,
  IOCTL_GET_LED_INTENSITY = 0x22255C,
  IOCTL_SET_LED_PULSATION = 0x222560,
  IOCTL_GET_LED_PULSATION = 0x222564,
  IOCTL_GET_DEVICE_INFO = 0x2225C0,
  IOCTL_SET_DEVICE_MODE = 0x2225C4,
  IOCTL_FW_START = 0x2225C8,
  IOCTL_FW_WRITE_BLOCK = 0x2225D0,
  IOCTL_ONBOARD_WRITE_HEADER = 0x2225D4,
  IOCTL_ONBOARD_READ_HEADER = 0x2225D8,
  IOCTL_ONBOARD_WRITE_DATA = 0x2225DC,
  IOCTL_ONBOARD_READ_DATA = 0x2225E0,
  IOCTL_SAVE_SETTINGS = 0x222640,
  IOCTL_FW_FINISH = 0x222664,
  IOCTL_SET_LIFT_DISTANCE = 0x222690,
};

// Event words.
inline constexpr uint32_t kEventConnect = 0x400;
inline constexpr uint32_t kEventDisconnect = 0x800;
inline bool IsExtraButtonReport(uint32_t word) { return (word >> 28) == 1; }

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
  // (wParam, lParam) as UM_DEVICE_EVENT. Started once.
  void StartEventThread(std::function<void(uint32_t wParam, uint32_t lParam)> post);
  // Sets the stop flag and releases the semaphore once; the thread is not waited for here.
  void SignalEventThreadStop();
  EventSemaphore& semaphore() { return semaphore_; }
  int32_t connectCount() const { return connectCount_; }

 private:
  void EventLoop();
  std::shared_ptr<DeviceIo> Device();

  DeviceOpener opener_;
  std::mutex deviceMutex_;
  std::shared_ptr<DeviceIo> device_;
  EventSemaphore semaphore_{100};
  std::atomic<bool> stop_{false};
  std::atomic<int32_t> connectCount_{0};
  std::function<void(uint32_t, uint32_t)> post_;
  std::thread thread_;
};

}  // namespace orv
