#include "agent/driver_channel.h"

namespace orv {
namespace {

IoctlResult Failed() { return IoctlResult{false, 6 /* ERROR_INVALID_HANDLE */, {}}; }

}  // namespace

DriverChannel::DriverChannel(DeviceOpener opener) : opener_(std::move(opener)) {}

DriverChannel::~DriverChannel() {
  SignalEventThreadStop();
  if (thread_.joinable()) thread_.join();
}

std::shared_ptr<DeviceIo> DriverChannel::Device() {
  std::lock_guard<std::mutex> lock(deviceMutex_);
  return device_;
}

int DriverChannel::OpenDevice() {
  std::unique_ptr<DeviceIo> opened = opener_ ? opener_(semaphore_) : nullptr;
  if (!opened) return 0;
  // The driver is told which semaphore to release for each event.
  uint32_t token = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&semaphore_));
  std::vector<uint8_t> in = Le32Bytes(token);
  if (!opened->Ioctl(IOCTL_REGISTER_EVENT, in.data(), in.size(), 0).ok) return 0;
  std::lock_guard<std::mutex> lock(deviceMutex_);
  device_ = std::move(opened);
  return 1;
}

int DriverChannel::CloseDevice() {
  std::shared_ptr<DeviceIo> device = Device();
  if (!device) return 1;
  std::vector<uint8_t> mask = Le32Bytes(0);
  device->Ioctl(IOCTL_SET_INTERCEPT_MASK, mask.data(), mask.size(), 0);
  device->Ioctl(IOCTL_UNREGISTER, nullptr, 0, 0);
  std::lock_guard<std::mutex> lock(deviceMutex_);
  device_.reset();
  return 1;
}

bool DriverChannel::IsOpen() {
  std::lock_guard<std::mutex> lock(deviceMutex_);
  if (device_ && !device_->Alive()) device_.reset();
  return device_ != nullptr;
}

IoctlResult DriverChannel::Request(uint32_t code, std::vector<uint8_t> in, size_t outSize) {
  std::shared_ptr<DeviceIo> device = Device();
  if (!device) return Failed();
  return device->Ioctl(code, in.data(), in.size(), outSize);
}

void DriverChannel::StartEventThread(std::function<void(uint32_t, uint32_t)> post) {
  if (thread_.joinable()) return;
  post_ = std::move(post);
  thread_ = std::thread([this] { EventLoop(); });
}

void DriverChannel::SignalEventThreadStop() {
  if (stop_.exchange(true)) return;
  semaphore_.Release(1);
}

void DriverChannel::EventLoop() {
  while (!stop_) {
    semaphore_.Wait();
    std::shared_ptr<DeviceIo> device = Device();
    if (!device) continue;
    std::vector<uint8_t> word(4, 0);
    IoctlResult r = device->Ioctl(IOCTL_GET_EVENT, word.data(), word.size(), 4);
    if (!r.ok || r.out.size() != 4) continue;  // this wake-up is dropped
    uint32_t w = r.out[0] | r.out[1] << 8 | r.out[2] << 16 | static_cast<uint32_t>(r.out[3]) << 24;
    if (w == kEventConnect) ++connectCount_;
    if (IsExtraButtonReport(w))
      post_(w & 0x0FFFFFFF, 1);
    else
      post_(w, 0);
  }
}

}  // namespace orv
