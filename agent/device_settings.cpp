#include "agent/device_settings.h"

#include <algorithm>

#include "agent/agent_conf.h"
#include "agent/agent_services.h"
#include "agent/driver_channel.h"
#include "agent/peer_windows.h"
#include "agent/profile_sets.h"
#include "base/byte_order.h"
#include "device/buttons.h"
#include "link/messages.h"
#include "profile/field_ranges.h"

namespace orv {
namespace {

uint8_t Low(int v) { return static_cast<uint8_t>(v & 0xFF); }

// The sensitivity values go to the driver as unsigned numbers of at most the field's maximum.
uint32_t SensitivityValue(int32_t v) {
  return std::min<uint32_t>(static_cast<uint32_t>(v), static_cast<uint32_t>(RangeOf(RangedField::AdvanceSensitivityX).max));
}

// What the system is given for a pointer speed or scroll lines of 0 (never validated).
constexpr int kSystemSpeedForZero = 5;

constexpr int kDeviceModeTries = 10;

}  // namespace

DeviceSettings::DeviceSettings(DriverChannel& driver, Clock& clock, AgentDesktop& desktop, ProfileSets& sets,
                               const AgentConf& conf, PeerWindows& peers)
    : driver_(driver), clock_(clock), desktop_(desktop), sets_(sets), conf_(conf), peers_(peers) {}

int DeviceSettings::SetPollingRate(int value) {
  if (!driver_.IsOpen()) return 0;
  int rate = value == -1 ? sets_.current().pollingRate : value;
  clock_.Sleep(10);
  driver_.Request(IOCTL_SET_POLLING_RATE, {Low(rate)});
  clock_.Sleep(200);
  return 1;
}

int DeviceSettings::SetLedColor(int value) {
  if (!driver_.IsOpen()) return 0;
  int color = value == 0 ? sets_.Active().ledColor : value;
  clock_.Sleep(100);
  std::vector<uint8_t> rgb(3);
  PutLe24(rgb.data(), static_cast<uint32_t>(color));
  driver_.Request(IOCTL_SET_LED_COLOR, rgb);
  return 1;
}

int DeviceSettings::SetLedIntensity(int value) {
  if (!driver_.IsOpen()) return 0;
  driver_.Request(IOCTL_SET_LED_INTENSITY, {Low(value == -1 ? sets_.Active().ledIntensity : value)});
  return 1;
}

int DeviceSettings::SetLedPulsation(int value) {
  if (!driver_.IsOpen()) return 0;
  driver_.Request(IOCTL_SET_LED_PULSATION, {Low(value == -1 ? sets_.Active().ledPulsation : value)});
  return 1;
}

int DeviceSettings::SetLiftDistance(int value, int mode) {
  // No check of the device first: with none, the request fails and 0 is the answer.
  if (mode != 2) {
    uint8_t code = value == 2 ? 1 : value == 3 ? 2 : 0;
    if (!driver_.Request(IOCTL_SET_LIFT_DISTANCE, {code, 0}).ok) return 0;
    if (mode == 1) return 1;
  }
  bool saved = driver_.Request(IOCTL_SAVE_SETTINGS).ok;
  if (saved) sets_.current().liftDistance = sets_.staging().liftDistance = sets_.previous().liftDistance = value;
  clock_.Sleep(100);
  return saved ? 1 : 0;
}

int DeviceSettings::SetDeviceMode(bool detached) {
  if (!driver_.IsOpen()) return 0;
  uint8_t mode = detached ? 1 : 2;
  for (int i = 0; i < kDeviceModeTries; ++i) {
    if (driver_.Request(IOCTL_SET_DEVICE_MODE, {mode, 0}).ok) return 1;
    clock_.Sleep(200);
  }
  return 0;
}

int DeviceSettings::ReadDpiStep() {
  if (!driver_.IsOpen()) return 0;
  IoctlResult r = driver_.Request(IOCTL_GET_DPI_STEP, {0}, 1);
  if (!r.ok || r.out.size() != 1) return 0;
  int step = r.out[0];
  int index = sets_.ActiveIndex();
  sets_.Active().dpiStep = step;
  peers_.PostToWindow(kPanelWindowTitle, UM_DPI_CHANGED, static_cast<WParam>(step), index);
  conf_.WriteDpiStep(index, step);
  return step;
}

int DeviceSettings::SetDpiStep(int step) {
  if (!driver_.IsOpen()) return 0;
  driver_.Request(IOCTL_SET_DPI_STEP, {Low(step)});
  lastDpiStep_ = step;
  int index = sets_.ActiveIndex();
  peers_.PostToWindow(kPanelWindowTitle, UM_DPI_CHANGED, static_cast<WParam>(step), index);
  // Only the file records the step; the profile in memory keeps its value.
  conf_.WriteDpiStep(index, step);
  return 1;
}

int DeviceSettings::DpiUp() {
  if (!driver_.IsOpen()) return 0;
  constexpr FieldRange steps = RangeOf(RangedField::DpiStep);
  IoctlResult r = driver_.Request(IOCTL_GET_DPI_STEP, {0}, 1);
  int step = r.ok && r.out.size() == 1 ? r.out[0] : (lastDpiStep_ ? lastDpiStep_ : 2);
  if (step == 0) step = 2;
  if (step > steps.max) step = steps.max;
  if (step - 1 < steps.min) return 0;
  return SetDpiStep(step - 1);
}

int DeviceSettings::DpiDown() {
  if (!driver_.IsOpen()) return 0;
  constexpr FieldRange steps = RangeOf(RangedField::DpiStep);
  IoctlResult r = driver_.Request(IOCTL_GET_DPI_STEP, {0}, 1);
  int step = r.ok && r.out.size() == 1 ? r.out[0] : (lastDpiStep_ ? lastDpiStep_ : 5);
  if (step == 0) step = 1;
  if (step > steps.max) step = 5;
  if (step + 1 > steps.max) return 0;
  return SetDpiStep(step + 1);
}

int DeviceSettings::SetDpiFromProfile(int value) {
  if (!driver_.IsOpen()) return 0;
  driver_.Request(IOCTL_SET_DPI_STEP, {Low(value == -1 ? sets_.Active().dpiStep : value)});
  ReadDpiStep();
  return 1;
}

void DeviceSettings::PushChangedSettings() {
  const ProfileSet& current = sets_.current();
  const ProfileSet& previous = sets_.previous();
  const Profile& now = current.profiles[ProfileIndexOrFirst(current.profileId)];
  const Profile& before = previous.profiles[ProfileIndexOrFirst(previous.profileId)];
  SetDpiFromProfile(-1);
  if (now.ledColor != before.ledColor) SetLedColor(0);
  if (now.ledIntensity != before.ledIntensity) SetLedIntensity(-1);
  if (now.ledPulsation != before.ledPulsation) SetLedPulsation(-1);
  if (current.pollingRate != previous.pollingRate) SetPollingRate(-1);
}

void DeviceSettings::SetInterceptMask() {
  uint32_t mask = InterceptMask(sets_.Active(), sets_.current().gameMode == 1);
  if (driver_.IsOpen()) {
    driver_.Request(IOCTL_SET_INTERCEPT_MASK, Le32Bytes(mask));
    driver_.Request(IOCTL_SET_INTERCEPT_EXTRA, {0});
  }
}

void DeviceSettings::ApplyActiveProfile() {
  std::lock_guard<std::recursive_mutex> lock(applyLock_);
  const Profile& p = sets_.Active();
  // With no device the enable request fails and the two values are not sent.
  driver_.Request(IOCTL_SET_SENSITIVITY_ENABLE, {1});
  if (driver_.IsOpen()) {
    driver_.Request(IOCTL_SET_SENSITIVITY_X, Le32Bytes(SensitivityValue(p.advanceSensitivityX)));
    driver_.Request(IOCTL_SET_SENSITIVITY_Y, Le32Bytes(SensitivityValue(p.advanceSensitivityY)));
  }
  desktop_.SetDoubleClickTime(RangeOf(RangedField::DoubleClickSpeed).ValidOr(p.doubleClickSpeed));
  desktop_.SetMouseSpeed(p.sensitivity == 0 ? kSystemSpeedForZero : p.sensitivity);
  desktop_.SetWheelScrollLines(p.scrollSpeed == 0 ? kSystemSpeedForZero : p.scrollSpeed);
  SetInterceptMask();
}

void DeviceSettings::ReadSettings() {
  ReadDpiStep();
  ProfileSet& current = sets_.current();
  if (driver_.IsOpen()) {
    IoctlResult r = driver_.Request(IOCTL_GET_POLLING_RATE, {0}, 1);
    if (r.ok && r.out.size() == 1) current.pollingRate = r.out[0];
  }
  if (driver_.IsOpen()) {
    IoctlResult r = driver_.Request(IOCTL_GET_LED_COLOR, {0, 0, 0}, 3);
    if (r.ok && r.out.size() == 3) sets_.Active().ledColor = static_cast<int32_t>(GetLe24(r.out.data()));
  }
  if (driver_.IsOpen()) {
    IoctlResult r = driver_.Request(IOCTL_GET_LED_INTENSITY, {0}, 1);
    if (r.ok && r.out.size() == 1) sets_.Active().ledIntensity = static_cast<int8_t>(r.out[0]);
  }
  if (driver_.IsOpen()) {
    IoctlResult r = driver_.Request(IOCTL_GET_LED_PULSATION, {0}, 1);
    if (r.ok && r.out.size() == 1) sets_.Active().ledPulsation = static_cast<int8_t>(r.out[0]);
  }
  if (CompareProfileSets(current, sets_.staging(), false) != 0) {
    // Without a Conf folder nothing is kept, and the staging set simply follows. A save that
    // failed leaves the staging set as the file is, so the difference is saved next time.
    if (conf_.available() && !conf_.SaveSet(current)) return;
    sets_.staging() = current;
    peers_.SendToWindow(kPanelWindowTitle, UM_PROFILE_CHANGED, static_cast<WParam>(current.profileId), 1);
  }
}

void DeviceSettings::SwitchProfile(int index) {
  sets_.previous() = sets_.current();
  sets_.current().profileId = index;
  conf_.WriteActiveProfileIndex(index);
  ApplyActiveProfile();
  PushChangedSettings();
  peers_.SendToWindow(kPanelWindowTitle, UM_PROFILE_CHANGED, static_cast<WParam>(index), 0);
}

int DeviceSettings::SelectProfile(int index) {
  if (!driver_.IsOpen()) return 0;
  if (!RangeOf(RangedField::ProfileId).Contains(index)) return 0;  // never a profile that does not exist
  SwitchProfile(index);
  return 1;
}

int DeviceSettings::ProfileStep(int step) {
  constexpr FieldRange ids = RangeOf(RangedField::ProfileId);
  SwitchProfile(std::clamp(sets_.ActiveIndex() + step, ids.min, ids.max));
  return 1;
}

}  // namespace orv
