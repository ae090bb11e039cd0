#include "device/device_io.h"

#include "base/log.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "device/device_protocol.h"
#include "platform/folders.h"
#include "platform/process_rights.h"
#include "platform/unix_socket.h"

namespace orv {

namespace dp = device_protocol;
using namespace device_error;

namespace {

// How long Open waits for the device's greeting.
constexpr int kHelloTimeoutMs = 2000;

bool SendAll(int fd, const std::vector<uint8_t>& frame) {
  for (;;) {
    ssize_t n = ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(frame.size())) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;  // a sequenced packet goes whole or not at all
  }
}

}  // namespace

std::string DeviceFolder() {
  const char* dir = std::getenv("ORV_DEVICE_DIR");
  if (dir && *dir) return dir;
  return RuntimeFolder();
}

std::string DevicePath() { return JoinPath(DeviceFolder(), "VX-TidefallDevice"); }

// ---- EventSemaphore ----

EventSemaphore::EventSemaphore(int maximum) : maximum_(maximum > 0 ? maximum : 1) {}

bool EventSemaphore::Release(int n) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (n < 1 || n > maximum_ - count_) return false;
    count_ += n;
  }
  if (n == 1) {
    available_.notify_one();
  } else {
    available_.notify_all();
  }
  return true;
}

void EventSemaphore::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  available_.wait(lock, [this] { return count_ > 0; });
  --count_;
}

bool EventSemaphore::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!available_.wait_for(lock, timeout, [this] { return count_ > 0; })) return false;
  --count_;
  return true;
}

int EventSemaphore::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

// ---- DeviceHandle ----

std::unique_ptr<DeviceHandle> DeviceHandle::Open(const std::string& path, uint32_t* error) {
  uint32_t ignored = 0;
  uint32_t& err = error ? *error : ignored;
  err = 0;
  if (path.empty()) {
    err = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  sockaddr_un address;
  if (!UnixSocketAddress(path, address)) {
    err = ERROR_BAD_PATHNAME;
    return nullptr;
  }
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    err = ERROR_DEVICE_NOT_CONNECTED;
    return nullptr;
  }
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    // ECONNREFUSED: a socket file nobody serves any more, which is a device that is not there.
    err = (errno == EACCES || errno == EPERM) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    ::close(fd);
    return nullptr;
  }

  // The device greets first: accepted, or refused because another client has it open.
  pollfd waitFor{fd, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&waitFor, 1, kHelloTimeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) {
    err = ERROR_TIMEOUT;
    ::close(fd);
    return nullptr;
  }
  // A device that stops reading must not hold a sender forever.
  timeval sendTimeout{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
  std::vector<uint8_t> buffer(dp::kMaxFrame + 1);
  ssize_t n;
  do {
    n = ::recv(fd, buffer.data(), buffer.size(), 0);
  } while (n < 0 && errno == EINTR);
  dp::Frame frame;
  dp::Hello hello;
  if (n <= 0 || !dp::DecodeFrame(buffer.data(), static_cast<size_t>(n), frame) || !dp::DecodeHello(frame, hello)) {
    err = n <= 0 ? ERROR_DEVICE_NOT_CONNECTED : ERROR_INVALID_DATA;
    ::close(fd);
    return nullptr;
  }
  if (!hello.accepted) {
    err = hello.error ? hello.error : ERROR_SHARING_VIOLATION;
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<DeviceHandle>(new DeviceHandle(fd));
}

DeviceHandle::DeviceHandle(int fd) : fd_(fd) {
  reader_ = std::thread([this] { ReaderLoop(); });
}

DeviceHandle::~DeviceHandle() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    MarkDeadLocked();
    semaphore_ = nullptr;
  }
  ::shutdown(fd_, SHUT_RDWR);  // wakes the reader's recv
  if (reader_.joinable()) reader_.join();
  ::close(fd_);
}

void DeviceHandle::MarkDeadLocked() {
  if (!alive_) return;
  alive_ = false;
  for (auto& [id, pending] : pending_) {
    pending->done = true;
    pending->result = IoctlResult{false, ERROR_DEVICE_NOT_CONNECTED, {}};
  }
  pending_.clear();
  answered_.notify_all();
}

bool DeviceHandle::Alive() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return alive_;
}

void DeviceHandle::AttachEventSemaphore(EventSemaphore* semaphore) {
  std::lock_guard<std::mutex> lock(mutex_);
  semaphore_ = semaphore;
}

void DeviceHandle::SetAnswerTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard<std::mutex> lock(mutex_);
  answerTimeout_ = timeout;
}

IoctlResult DeviceHandle::Ioctl(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize) {
  if ((inSize && !in) || inSize > dp::kMaxIoctlBuffer || outSize > dp::kMaxIoctlBuffer) {
    return IoctlResult{false, ERROR_INVALID_PARAMETER, {}};
  }
  Pending pending;
  pending.outSize = outSize;
  uint32_t id;
  std::chrono::milliseconds timeout;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!alive_) return IoctlResult{false, ERROR_DEVICE_NOT_CONNECTED, {}};
    id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    pending_[id] = &pending;
    timeout = answerTimeout_;
  }
  const std::vector<uint8_t> frame = dp::EncodeRequest(id, code, in, inSize, outSize);
  bool sent;
  {
    std::lock_guard<std::mutex> lock(sendMutex_);
    sent = SendAll(fd_, frame);
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!sent) {
    MarkDeadLocked();  // also completes this request
    return pending.result;
  }
  if (!answered_.wait_for(lock, timeout, [&] { return pending.done; })) {
    pending_.erase(id);  // a late answer finds no request and is dropped
    return IoctlResult{false, ERROR_TIMEOUT, {}};
  }
  return pending.result;
}

void DeviceHandle::ReaderLoop() {
  std::vector<uint8_t> buffer(dp::kMaxFrame + 1);
  for (;;) {
    ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the device end has gone (or the handle is closing)
    dp::Frame frame;
    if (!dp::DecodeFrame(buffer.data(), static_cast<size_t>(n), frame)) {
      ORV_LOG(Device, Info, "a malformed frame of %zd bytes from the device: dropped", n);
      continue;
    }
    if (frame.kind == dp::FrameKind::EventPending) {
      if (!frame.payload.empty()) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      // A full semaphore loses this notice, as a driver's release would fail.
      if (semaphore_ && !semaphore_->Release(1)) ORV_LOG(Device, Info, "an event notice was lost: the semaphore is full");
      continue;
    }
    if (frame.kind != dp::FrameKind::Answer) continue;
    dp::Answer answer;
    const bool wellFormed = dp::DecodeAnswer(frame, answer);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = pending_.find(frame.id);
    if (it == pending_.end()) continue;  // an answer nobody waits for
    Pending* pending = it->second;
    if (!wellFormed || answer.out.size() > pending->outSize || (answer.ok && answer.error != 0)) {
      pending->result = IoctlResult{false, ERROR_INVALID_DATA, {}};
    } else if (answer.ok) {
      pending->result = IoctlResult{true, 0, std::move(answer.out)};
    } else {
      pending->result = IoctlResult{false, answer.error ? answer.error : ERROR_GEN_FAILURE, {}};
    }
    pending->done = true;
    pending_.erase(it);
    answered_.notify_all();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  MarkDeadLocked();
  // The owner's event thread wakes and finds the device gone (a handle closing by itself has
  // detached its semaphore first).
  if (semaphore_) semaphore_->Release(1);
}

}  // namespace orv
