#include "agent/system_services.h"

#include <algorithm>

#include "base/log.h"
#include "link/messages.h"
#include "platform/desktop/pointer_settings.h"
#include "platform/desktop/shell.h"

namespace orv {

pid_t SystemDesktop::ForegroundProcessId() { return orv::ForegroundProcessId(); }

bool SystemDesktop::TakeProcessSnapshot(std::vector<ProcessEntry>& out) { return orv::TakeProcessSnapshot(out); }

bool SystemDesktop::SetDoubleClickTime(int ms) { return orv::SetDoubleClickTime(static_cast<uint32_t>(ms)) != 0; }

bool SystemDesktop::SetMouseSpeed(int speed) { return orv::SetMouseSpeed(speed) != 0; }

bool SystemDesktop::SetWheelScrollLines(int lines) {
  return orv::SetWheelScrollLines(static_cast<uint32_t>(lines)) != 0;
}

bool SystemDesktop::LaunchProgram(const std::string& path) { return ShellOpenProgram(path); }

DeviceOpener SystemDeviceOpener() {
  return [](EventSemaphore& semaphore) -> std::unique_ptr<DeviceIo> {
    uint32_t error = 0;
    std::unique_ptr<DeviceHandle> handle = DeviceHandle::Open(DevicePath(), &error);
    if (!handle) {
      // No device at all is the usual case without a mouse; anything else is worth a line.
      if (error == device_error::ERROR_FILE_NOT_FOUND)
        ORV_LOG(Device, Info, "no device at %s", DevicePath().c_str());
      else
        ORV_LOG(Device, Warning, "the device at %s cannot be opened (error %u)", DevicePath().c_str(), error);
      return nullptr;
    }
    handle->AttachEventSemaphore(&semaphore);
    return handle;
  };
}

}  // namespace orv
