#include "agent/driver_channel.h"

#include <utility>

#include "base/log.h"

namespace orv {
namespace {

IoctlResult Failed() { return IoctlResult{false, device_error::ERROR_INVALID_HANDLE, {}}; }

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
  if (!opened) return 0;  // the opener logs why
  // The driver is told which semaphore to release for each event.
  uint32_t token = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&semaphore_));
  std::vector<uint8_t> in = Le32Bytes(token);
  IoctlResult registered = opened->Ioctl(IOCTL_REGISTER_EVENT, in.data(), in.size(), 0);
  if (!registered.ok) {
    ORV_LOG(Device, Warning, "the device refused the event registration (error %u): closed again", registered.error);
    return 0;
  }
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
  std::shared_ptr<DeviceIo> lost;
  {
    std::lock_guard<std::mutex> lock(deviceMutex_);
    if (device_ && !device_->Alive()) lost = std::exchange(device_, nullptr);
    if (!lost) return device_ != nullptr;
  }
  ReportLost(lost);
  return false;
}

void DriverChannel::ReportLost(const std::shared_ptr<DeviceIo>& device) {
  {
    std::lock_guard<std::mutex> lock(lostMutex_);
    if (lostReported_.lock() == device) return;
    lostReported_ = device;
  }
  ORV_LOG(Device, Warning, "the device has gone away");
  if (post_) post_(0, static_cast<uint32_t>(kDeviceEventLost));
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
    if (!device->Alive()) {
      ReportLost(device);
      continue;
    }
    IoctlResult r = device->Ioctl(IOCTL_GET_EVENT, eventWord_.data(), eventWord_.size(), eventWord_.size());
    if (!r.ok || r.out.size() != eventWord_.size()) {
      ORV_LOG(Device, Info, "an event notice without a word (error %u): dropped", r.error);
      if (!device->Alive()) ReportLost(device);
      continue;
    }
    eventWord_ = r.out;
    uint32_t w = GetLe32(eventWord_.data());
    if (w == kEventConnect) ++connectCount_;
    if (IsExtraButtonReport(w))
      post_(w & kExtraReportMask, kDeviceEventExtra);
    else
      post_(w, kDeviceEventWord);
  }
}

}  // namespace orv
