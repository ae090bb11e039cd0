#pragma once
// The contract of the driver's control device: request codes and event words, shared by the
// agent and the simulator that stands in for the driver.
#include <cstddef>
#include <cstdint>

#include "base/byte_order.h"

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

// The device information block (IOCTL_GET_DEVICE_INFO) is this long.
inline constexpr size_t kDeviceInfoSize = 16;

// Event words: the mouse connected or disconnected; an extra-button report carries 0001 in its
// top four bits and the 18-bit mask of the extra buttons below; any other word below 32 is the
// mask of the standard buttons.
inline constexpr uint32_t kEventConnect = 0x400;
inline constexpr uint32_t kEventDisconnect = 0x800;
inline constexpr uint32_t kExtraReport = 0x10000000;
inline constexpr uint32_t kExtraReportMask = 0x0FFFFFFF;  // what follows the top four bits
inline constexpr uint32_t kStandardReportLimit = 32;      // standard masks are below this
constexpr bool IsExtraButtonReport(uint32_t word) { return (word >> 28) == 1; }
// The second byte of a word, which tells a connect (kEventConnect) or disconnect
// (kEventDisconnect) from a standard report (0).
constexpr uint32_t EventKind(uint32_t word) { return (word >> 8) & 0xFF; }
inline constexpr uint32_t kEventKindConnect = EventKind(kEventConnect);
inline constexpr uint32_t kEventKindDisconnect = EventKind(kEventDisconnect);

}  // namespace orv
