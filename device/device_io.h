#pragma once
// The agent's side of the driver's control device: the device's place in the file system, the
// request interface the driver channel talks to, a counting semaphore like the one the driver
// releases once per event, and the handle that reaches the device over its Unix socket.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orv {

// Error codes of failed device requests, with the numbers the system's callers compare.
namespace device_error {
constexpr uint32_t ERROR_INVALID_FUNCTION = 1;  // unknown request code
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;    // no device to open
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;      // a request while no device is open
constexpr uint32_t ERROR_INVALID_DATA = 13;       // a malformed answer, a rejected firmware image
constexpr uint32_t ERROR_GEN_FAILURE = 31;        // the mouse did not carry the request out
constexpr uint32_t ERROR_SHARING_VIOLATION = 32;  // the device is open by another client
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;  // wrong buffer size or value out of range
constexpr uint32_t ERROR_BAD_PATHNAME = 161;
constexpr uint32_t ERROR_NO_MORE_ITEMS = 259;  // no event word pending
constexpr uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr uint32_t ERROR_TIMEOUT = 1460;
}  // namespace device_error

// $ORV_DEVICE_DIR, else the runtime folder of this user.
std::string DeviceFolder();
// DeviceFolder() + "/VX-TidefallDevice".
std::string DevicePath();

struct IoctlResult {
  bool ok = false;
  uint32_t error = 0;        // 0 when ok
  std::vector<uint8_t> out;  // the output bytes (empty on failure)
};

// One device I/O control request at a time per call; implementations are thread-safe.
class DeviceIo {
 public:
  virtual ~DeviceIo() = default;
  virtual IoctlResult Ioctl(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize) = 0;
  // False once the device has gone away; every request then fails at once.
  virtual bool Alive() const = 0;
};

// A counting semaphore as the driver expects it: the count starts at 0 and never exceeds the
// maximum; a release that would exceed it fails and changes nothing.
class EventSemaphore {
 public:
  explicit EventSemaphore(int maximum);
  EventSemaphore(const EventSemaphore&) = delete;
  EventSemaphore& operator=(const EventSemaphore&) = delete;
  // Adds n (> 0) to the count. False, count unchanged, if n < 1 or the count would pass the maximum.
  bool Release(int n = 1);
  // Waits until the count is above 0, then takes one.
  void Wait();
  // As Wait, but gives up after `timeout`; true when one was taken.
  bool WaitFor(std::chrono::milliseconds timeout);
  int Count() const;
  int Maximum() const { return maximum_; }

 private:
  const int maximum_;
  int count_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable available_;
};

// The opened control device. A reader thread takes the device's answers and its "event
// pending" notices; each notice becomes one Release of the attached semaphore. When the device
// end goes away (the simulator ends or removes the device) every waiting and later request
// fails with ERROR_DEVICE_NOT_CONNECTED, Alive() turns false and the semaphore is released once
// more, so that its waiter finds out. Requests may come from several
// threads at once; the handle must not be destroyed while one of them is still inside Ioctl.
// A notice that finds the semaphore at its maximum is lost, as a driver's release would be.
class DeviceHandle : public DeviceIo {
 public:
  // Connects to the device socket at `path`. On failure returns null and sets *error (if given):
  // ERROR_FILE_NOT_FOUND when nothing serves the path, ERROR_SHARING_VIOLATION when another
  // client has the device open, ERROR_ACCESS_DENIED, ERROR_BAD_PATHNAME (path too long),
  // ERROR_TIMEOUT when the device does not greet in time.
  static std::unique_ptr<DeviceHandle> Open(const std::string& path, uint32_t* error);
  ~DeviceHandle() override;
  DeviceHandle(const DeviceHandle&) = delete;
  DeviceHandle& operator=(const DeviceHandle&) = delete;

  IoctlResult Ioctl(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize) override;
  bool Alive() const override;
  // The semaphore to release once per event notice (null: notices are ignored). The semaphore
  // must outlive the handle or be detached first.
  void AttachEventSemaphore(EventSemaphore* semaphore);
  // How long a request waits for its answer before it fails with ERROR_TIMEOUT (default 10 s);
  // only a device that hangs without going away ever reaches it.
  void SetAnswerTimeout(std::chrono::milliseconds timeout);

 private:
  struct Pending {
    size_t outSize = 0;
    bool done = false;
    IoctlResult result;
  };

  explicit DeviceHandle(int fd);
  void ReaderLoop();
  void MarkDeadLocked();

  const int fd_;
  mutable std::mutex mutex_;
  std::condition_variable answered_;
  bool alive_ = true;
  uint32_t nextId_ = 1;
  std::map<uint32_t, Pending*> pending_;
  EventSemaphore* semaphore_ = nullptr;
  std::chrono::milliseconds answerTimeout_{10000};
  std::mutex sendMutex_;
  std::thread reader_;
};

}  // namespace orv
