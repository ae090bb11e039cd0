// The mouse's settings as the agent pushes them and reads them back, the sensitivity steps,
// the intercept mask, and putting the active profile into force.
#include <algorithm>

#include "agent/agent_window.h"
#include "link/messages.h"
#include "platform/folders.h"
#include "profile/profile_files.h"
#include "profile/settings_files.h"

namespace orv {
namespace {

uint8_t Low(int v) { return static_cast<uint8_t>(v & 0xFF); }

// The sensitivity values go to the driver as unsigned numbers of at most 18.
uint32_t SensitivityValue(int32_t v) { return std::min<uint32_t>(static_cast<uint32_t>(v), 18u); }

}  // namespace

int CMyWnd::SetPollingRate(int value) {
  if (!driver_.IsOpen()) return 0;
  int rate = value == -1 ? m_currentSet->pollingRate : value;
  Sleep(10);
  driver_.Request(IOCTL_SET_POLLING_RATE, {Low(rate)});
  Sleep(200);
  return 1;
}

int CMyWnd::SetLedColor(int value) {
  if (!driver_.IsOpen()) return 0;
  int color = value == 0 ? Active().ledColor : value;
  Sleep(100);
  driver_.Request(IOCTL_SET_LED_COLOR, {Low(color), Low(color >> 8), Low(color >> 16)});
  return 1;
}

int CMyWnd::SetLedIntensity(int value) {
  if (!driver_.IsOpen()) return 0;
  driver_.Request(IOCTL_SET_LED_INTENSITY, {Low(value == -1 ? Active().ledIntensity : value)});
  return 1;
}

int CMyWnd::SetLedPulsation(int value) {
  if (!driver_.IsOpen()) return 0;
  driver_.Request(IOCTL_SET_LED_PULSATION, {Low(value == -1 ? Active().ledPulsation : value)});
  return 1;
}

int CMyWnd::SetLiftDistance(int value, int mode) {
  // No check of the device first: with none, the request fails and 0 is the answer.
  if (mode != 2) {
    uint8_t code = value == 2 ? 1 : value == 3 ? 2 : 0;
    if (!driver_.Request(IOCTL_SET_LIFT_DISTANCE, {code, 0}).ok) return 0;
    if (mode == 1) return 1;
  }
  bool saved = driver_.Request(IOCTL_SAVE_SETTINGS).ok;
  if (saved) m_currentSet->liftDistance = m_stagingSet->liftDistance = m_previousSet->liftDistance = value;
  Sleep(100);
  return saved ? 1 : 0;
}

int CMyWnd::SetDeviceMode(bool detached) {
  if (!driver_.IsOpen()) return 0;
  uint8_t mode = detached ? 1 : 2;
  for (int i = 0; i < 10; ++i) {
    if (driver_.Request(IOCTL_SET_DEVICE_MODE, {mode, 0}).ok) return 1;
    Sleep(200);
  }
  return 0;
}

int CMyWnd::ReadDpiStep() {
  if (!driver_.IsOpen()) return 0;
  IoctlResult r = driver_.Request(IOCTL_GET_DPI_STEP, {0}, 1);
  if (!r.ok || r.out.size() != 1) return 0;
  int step = r.out[0];
  int index = ProfileIndexOrFirst(m_currentSet->profileId);
  Active().dpiStep = step;
  PostToWindow(kPanelWindowTitle, UM_DPI_CHANGED, static_cast<WParam>(step), index);
  if (!confFolder_.empty()) WriteDpiStep(confFolder_, index, step);
  return step;
}

int CMyWnd::SetDpiStep(int step) {
  if (!driver_.IsOpen()) return 0;
  driver_.Request(IOCTL_SET_DPI_STEP, {Low(step)});
  lastDpiStep_ = step;
  int index = ProfileIndexOrFirst(m_currentSet->profileId);
  PostToWindow(kPanelWindowTitle, UM_DPI_CHANGED, static_cast<WParam>(step), index);
  // Only the file records the step; the profile in memory keeps its value.
  if (!confFolder_.empty()) WriteDpiStep(confFolder_, index, step);
  return 1;
}

int CMyWnd::DpiUp() {
  if (!driver_.IsOpen()) return 0;
  IoctlResult r = driver_.Request(IOCTL_GET_DPI_STEP, {0}, 1);
  int step = r.ok && r.out.size() == 1 ? r.out[0] : (lastDpiStep_ ? lastDpiStep_ : 2);
  if (step == 0) step = 2;
  if (step > 6) step = 6;
  if (step - 1 < 1) return 0;
  return SetDpiStep(step - 1);
}

int CMyWnd::DpiDown() {
  if (!driver_.IsOpen()) return 0;
  IoctlResult r = driver_.Request(IOCTL_GET_DPI_STEP, {0}, 1);
  int step = r.ok && r.out.size() == 1 ? r.out[0] : (lastDpiStep_ ? lastDpiStep_ : 5);
  if (step == 0) step = 1;
  if (step > 6) step = 5;
  if (step + 1 > 6) return 0;
  return SetDpiStep(step + 1);
}

int CMyWnd::SetDpiFromProfile(int value) {
  if (!driver_.IsOpen()) return 0;
  driver_.Request(IOCTL_SET_DPI_STEP, {Low(value == -1 ? Active().dpiStep : value)});
  ReadDpiStep();
  return 1;
}

void CMyWnd::PushChangedSettings() {
  const Profile& now = m_currentSet->profiles[ProfileIndexOrFirst(m_currentSet->profileId)];
  const Profile& before = m_previousSet->profiles[ProfileIndexOrFirst(m_previousSet->profileId)];
  SetDpiFromProfile(-1);
  if (now.ledColor != before.ledColor) SetLedColor(0);
  if (now.ledIntensity != before.ledIntensity) SetLedIntensity(-1);
  if (now.ledPulsation != before.ledPulsation) SetLedPulsation(-1);
  if (m_currentSet->pollingRate != m_previousSet->pollingRate) SetPollingRate(-1);
}

void CMyWnd::SetInterceptMask() {
  uint32_t mask = 0xFFFF;
  if (m_currentSet->gameMode == 1) {
    mask = 0xFF00;
  } else {
    // A standard button assigned its own plain mouse function keeps its native path.
    const ButtonAssignment* b = Active().buttons;
    if (b[0].code == 1) mask &= ~0x01u;
    if (b[1].code == 2) mask &= ~0x02u;
    if (b[2].code == 101 || b[2].code == 6) mask &= ~0x04u;
    if (b[7].code == 5) mask &= ~0x10u;
    if (b[8].code == 4) mask &= ~0x08u;
  }
  if (driver_.IsOpen()) {
    driver_.Request(IOCTL_SET_INTERCEPT_MASK, Le32Bytes(mask));
    driver_.Request(IOCTL_SET_INTERCEPT_EXTRA, {0});
  }
}

void CMyWnd::ApplyActiveProfile() {
  std::lock_guard<std::recursive_mutex> lock(m_applyLock);
  const Profile& p = Active();
  // With no device the enable request fails and the two values are not sent.
  driver_.Request(IOCTL_SET_SENSITIVITY_ENABLE, {1});
  if (driver_.IsOpen()) {
    driver_.Request(IOCTL_SET_SENSITIVITY_X, Le32Bytes(SensitivityValue(p.advanceSensitivityX)));
    driver_.Request(IOCTL_SET_SENSITIVITY_Y, Le32Bytes(SensitivityValue(p.advanceSensitivityY)));
  }
  AgentDesktop& desktop = *services_.desktop;
  desktop.SetDoubleClickTime(p.doubleClickSpeed >= 150 && p.doubleClickSpeed <= 950 ? p.doubleClickSpeed : 500);
  desktop.SetMouseSpeed(p.sensitivity == 0 ? 5 : p.sensitivity);
  desktop.SetWheelScrollLines(p.scrollSpeed == 0 ? 5 : p.scrollSpeed);
  SetInterceptMask();
}

void CMyWnd::ReadDeviceState() {
  if (driver_.IsOpen()) PublishFirmwareVersion();
  ReadDpiStep();
  if (driver_.IsOpen()) {
    IoctlResult r = driver_.Request(IOCTL_GET_POLLING_RATE, {0}, 1);
    if (r.ok && r.out.size() == 1) m_currentSet->pollingRate = r.out[0];
  }
  if (driver_.IsOpen()) {
    IoctlResult r = driver_.Request(IOCTL_GET_LED_COLOR, {0, 0, 0}, 3);
    if (r.ok && r.out.size() == 3) Active().ledColor = r.out[0] | r.out[1] << 8 | r.out[2] << 16;
  }
  if (driver_.IsOpen()) {
    IoctlResult r = driver_.Request(IOCTL_GET_LED_INTENSITY, {0}, 1);
    if (r.ok && r.out.size() == 1) Active().ledIntensity = static_cast<int8_t>(r.out[0]);
  }
  if (driver_.IsOpen()) {
    IoctlResult r = driver_.Request(IOCTL_GET_LED_PULSATION, {0}, 1);
    if (r.ok && r.out.size() == 1) Active().ledPulsation = static_cast<int8_t>(r.out[0]);
  }
  if (CompareProfileSets(*m_currentSet, *m_stagingSet, false) != 0) {
    if (!confFolder_.empty()) {
      RegistryStore registry = UserRegistry();
      SaveProfileSet(confFolder_, *m_currentSet, registry);
    }
    *m_stagingSet = *m_currentSet;
    SendToWindow(kPanelWindowTitle, UM_PROFILE_CHANGED, static_cast<WParam>(m_currentSet->profileId), 1);
  }
}

// ---- Profile switching -----------------------------------------------------------------------

void CMyWnd::SwitchProfile(int index) {
  *m_previousSet = *m_currentSet;
  m_currentSet->profileId = index;
  if (!confFolder_.empty()) WriteActiveProfileIndex(confFolder_, index);
  ApplyActiveProfile();
  PushChangedSettings();
  SendToWindow(kPanelWindowTitle, UM_PROFILE_CHANGED, static_cast<WParam>(index), 0);
}

int CMyWnd::SelectProfile(int index) {
  if (!driver_.IsOpen()) return 0;
  if (index < 0 || index >= kProfileCount) return 0;  // never a profile that does not exist
  SwitchProfile(index);
  return 1;
}

int CMyWnd::ProfileStep(int step) {
  SwitchProfile(std::clamp(ProfileIndexOrFirst(m_currentSet->profileId) + step, 0, kProfileCount - 1));
  return 1;
}

}  // namespace orv
