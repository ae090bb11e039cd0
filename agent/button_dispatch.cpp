// Button reports: the masks of the previous reports, the map from reported ids to logical
// buttons, forwarding to the panel while it is in front, and performing what the active
// profile assigns, as the function catalogue describes it.
#include <utility>

#include "agent/agent_window.h"
#include "link/messages.h"
#include "platform/input/scan_codes.h"
#include "profile/function_catalog.h"
#include "profile/settings_files.h"

namespace orv {
namespace {

constexpr int kSensitivityButtonId = 1031;
constexpr int kFirstExtraId = 1024;
constexpr int kExtraButtonCount = 18;
constexpr int kStandardButtonCount = 6;

// Logical button of a reported id; -1 for ids the agent ignores.
int LogicalButton(int id) {
  switch (id) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 2;
    case 3: return 8;
    case 4: return 7;
    case 1024: return 5;
    case 1032: return 6;
    case 1033: return 10;
    case 1034: return 9;
    case 1035: return 11;
    case 1036: return 13;
    case 1037: return 12;
    case 1038: return 3;
    case 1039: return 4;
    default: return -1;
  }
}

}  // namespace

LResult CMyWnd::OnDeviceEvent(WParam w, LParam l) {
  uint32_t report = static_cast<uint32_t>(w);
  if (l == 1) {
    for (int i = 0; i < kExtraButtonCount; ++i) {
      uint32_t bit = 1u << i;
      if ((report & bit) == (prevExtraButtons_ & bit) || m_currentSet->gameMode != 0) continue;
      if (report & bit)
        ButtonPressed(kFirstExtraId + i);
      else
        ButtonReleased(kFirstExtraId + i);
    }
    prevExtraButtons_ = report;
    return 1;
  }
  uint32_t high = (report >> 8) & 0xFF;
  if (high == 4) {
    OnConnectEvent();
  } else if (high == 8) {
    OnDisconnectEvent();
  } else if (high == 0 && report < 32) {
    for (int i = 0; i < kStandardButtonCount; ++i) {
      uint32_t bit = 1u << i;
      if ((report & bit) == (prevStandardButtons_ & bit) || m_currentSet->gameMode != 0) continue;
      if (report & bit)
        ButtonPressed(i);
      else
        ButtonReleased(i);
    }
    prevStandardButtons_ = report;
  }
  return 1;
}

void CMyWnd::OnConnectEvent() {
  Sleep(500);
  if (!deviceInitialised_) {
    deviceInitialised_ = true;
    ReloadProfiles();
    OfferOnboardProfile();
    ReadDeviceState();
    SetInterceptMask();
  }
  SendToWindow(kTrayWindowTitle, UM_TRAY_DEVICE_ARRIVED, 0, 0);
  services_.timers->SetTimer(kTimerId, kTimerPeriodMs);
  SetLiftDistance(m_currentSet->liftDistance, 0);
}

void CMyWnd::OnDisconnectEvent() {
  services_.timers->KillTimer(kTimerId);
  attachedModeSent_ = false;
  deviceInitialised_ = false;
  SendToWindow(kTrayWindowTitle, UM_TRAY_DEVICE_REMOVED, 0, 0);
  if (!confFolder_.empty()) WriteFirmwareVersionFile(confFolder_, 0);
  PostToWindow(kAboutWindowTitle, UM_VERSION_CHANGED, 0, 0);
}

bool CMyWnd::PanelOwnsForeground() {
  WindowHandle panel = bus::FindWindow(kPanelWindowTitle);
  if (!panel) return false;
  pid_t owner = bus::WindowProcessId(panel);
  return owner != 0 && owner == services_.desktop->ForegroundProcessId();
}

void CMyWnd::ButtonPressed(int id) {
  if (id == kSensitivityButtonId) {
    ReadDpiStep();
    return;
  }
  int b = LogicalButton(id);
  if (b < 0) return;
  if (b >= 2 && PanelOwnsForeground()) {
    PostToWindow(kPanelWindowTitle, UM_BUTTON_EVENT, static_cast<WParam>(b), 1);
    return;
  }
  if (m_currentSet->gameMode == 1) return;
  int profile = ProfileIndexOrFirst(m_currentSet->profileId);
  int code = m_currentSet->profiles[profile].buttons[b].code;
  pressed_[b] = {true, code, profile};  // before performing: the press itself may change the profile
  PerformPress(b, code);
}

void CMyWnd::ButtonReleased(int id) {
  int b = LogicalButton(id);
  if (b < 0 || m_currentSet->gameMode == 1) return;
  // A performed press is undone with the code and profile it was performed with, whatever changed
  // while the button was held (another profile, the panel in front): no key or mouse button is left
  // down. A press that was not performed releases what the button holds now.
  ButtonPress press = std::exchange(pressed_[b], ButtonPress{});
  int profile = press.performed ? press.profile : ProfileIndexOrFirst(m_currentSet->profileId);
  int code = press.performed ? press.code : m_currentSet->profiles[profile].buttons[b].code;
  const CatalogEntry* entry = FindFunction(code);
  if (b >= 3 && PanelOwnsForeground()) {
    PostToWindow(kPanelWindowTitle, UM_BUTTON_EVENT, static_cast<WParam>(b), 0);
    if (!press.performed && !(entry && entry->releaseWhileForwarded)) return;
  }
  PerformRelease(b, code, profile);
}

void CMyWnd::PerformPress(int button, int code) {
  const CatalogEntry* entry = FindFunction(code);
  // Codes without an entry (hand-edited files) do nothing.
  if (entry && entry->passThroughButton != button)
    Perform(entry->press, code, ProfileIndexOrFirst(m_currentSet->profileId));
}

void CMyWnd::PerformRelease(int button, int code, int profile) {
  const CatalogEntry* entry = FindFunction(code);
  if (entry && entry->passThroughButton != button) Perform(entry->release, code, profile);
}

// `profile` is the one whose macros a macro code means.
void CMyWnd::Perform(const ButtonAction& action, int code, int profile) {
  switch (action.operation) {
    case Operation::kNothing:
      return;
    case Operation::kInput:
      for (const InputStep& step : action.steps) {
        if (step.kind == InputStep::kKey)
          KeyEvent(step.virtualKey, step.flags);
        else if (step.kind == InputStep::kMouse)
          SendMouse(0, 0, step.flags, static_cast<uint32_t>(step.value), 0);
        else
          Sleep(static_cast<uint32_t>(step.value));
      }
      return;
    case Operation::kSetDpiStep:
      SetDpiStep(action.value);
      return;
    case Operation::kDpiUp:
      DpiUp();
      return;
    case Operation::kDpiDown:
      DpiDown();
      return;
    case Operation::kSelectProfile:
      SelectProfile(action.value);
      return;
    case Operation::kProfileStep:
      ProfileStep(action.value);
      return;
    case Operation::kMacroPress:
      if (int m = MacroIndexOfCode(code); m >= 0) MacroPress(m);
      return;
    case Operation::kMacroRelease:
      if (int m = MacroIndexOfCode(code); m >= 0) MacroRelease(m, profile);
      return;
  }
}

}  // namespace orv
