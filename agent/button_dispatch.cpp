#include "agent/button_dispatch.h"

#include <utility>

#include "agent/agent_services.h"
#include "agent/device_settings.h"
#include "agent/macro_player.h"
#include "agent/peer_windows.h"
#include "agent/profile_sets.h"
#include "device/buttons.h"
#include "link/messages.h"
#include "profile/function_catalog.h"

namespace orv {

ButtonDispatch::ButtonDispatch(DeviceSettings& settings, MacroPlayer& macros, PeerWindows& peers,
                               AgentDesktop& desktop, Clock& clock, const ProfileSets& sets)
    : settings_(settings), macros_(macros), peers_(peers), desktop_(desktop), clock_(clock), sets_(sets) {}

void ButtonDispatch::ExtraReport(uint32_t report) {
  for (int i = 0; i < kExtraButtonIdCount; ++i) {
    uint32_t bit = 1u << i;
    if ((report & bit) == (prevExtraButtons_ & bit) || sets_.current().gameMode != 0) continue;
    if (report & bit)
      ButtonPressed(kFirstExtraButtonId + i);
    else
      ButtonReleased(kFirstExtraButtonId + i);
  }
  prevExtraButtons_ = report;
}

void ButtonDispatch::StandardReport(uint32_t report) {
  for (int i = 0; i < kStandardButtonIdCount; ++i) {
    uint32_t bit = 1u << i;
    if ((report & bit) == (prevStandardButtons_ & bit) || sets_.current().gameMode != 0) continue;
    if (report & bit)
      ButtonPressed(i);
    else
      ButtonReleased(i);
  }
  prevStandardButtons_ = report;
}

void ButtonDispatch::ButtonPressed(int id) {
  if (id == kSensitivityButtonId) {
    settings_.ReadDpiStep();
    return;
  }
  int b = LogicalButtonOfId(id);
  if (b < 0) return;
  if (b >= 2 && peers_.PanelOwnsForeground(desktop_)) {
    peers_.PostToWindow(kPanelWindowTitle, UM_BUTTON_EVENT, static_cast<WParam>(b), 1);
    return;
  }
  if (sets_.current().gameMode == 1) return;
  int profile = sets_.ActiveIndex();
  int code = sets_.current().profiles[profile].buttons[b].code;
  pressed_[b] = {true, code, profile};  // before performing: the press itself may change the profile
  PerformPress(b, code);
}

void ButtonDispatch::ButtonReleased(int id) {
  int b = LogicalButtonOfId(id);
  if (b < 0 || sets_.current().gameMode == 1) return;
  // A performed press is undone with the code and profile it was performed with, whatever changed
  // while the button was held (another profile, the panel in front): no key or mouse button is left
  // down. A press that was not performed releases what the button holds now.
  ButtonPress press = std::exchange(pressed_[b], ButtonPress{});
  int profile = press.performed ? press.profile : sets_.ActiveIndex();
  int code = press.performed ? press.code : sets_.current().profiles[profile].buttons[b].code;
  const CatalogEntry* entry = FindFunction(code);
  if (b >= 3 && peers_.PanelOwnsForeground(desktop_)) {
    peers_.PostToWindow(kPanelWindowTitle, UM_BUTTON_EVENT, static_cast<WParam>(b), 0);
    if (!press.performed && !(entry && entry->releaseWhileForwarded)) return;
  }
  PerformRelease(b, code, profile);
}

void ButtonDispatch::ReleaseAll() {
  for (int b = 0; b < kButtonCount; ++b) {
    ButtonPress press = std::exchange(pressed_[b], ButtonPress{});
    if (!press.performed) continue;
    const CatalogEntry* entry = FindFunction(press.code);
    // Only input is undone: a macro's release would play or paste, another operation would
    // change settings; the keys macros hold go up below.
    if (entry && entry->passThroughButton != b && entry->release.operation == Operation::kInput)
      Perform(entry->release, press.code, press.profile);
  }
  macros_.ReleaseHeldKeys();
  prevExtraButtons_ = prevStandardButtons_ = 0;
}

void ButtonDispatch::PerformPress(int button, int code) {
  const CatalogEntry* entry = FindFunction(code);
  // Codes without an entry (hand-edited files) do nothing.
  if (entry && entry->passThroughButton != button) Perform(entry->press, code, sets_.ActiveIndex());
}

void ButtonDispatch::PerformRelease(int button, int code, int profile) {
  const CatalogEntry* entry = FindFunction(code);
  if (entry && entry->passThroughButton != button) Perform(entry->release, code, profile);
}

// `profile` is the one whose macros a macro code means.
void ButtonDispatch::Perform(const ButtonAction& action, int code, int profile) {
  switch (action.operation) {
    case Operation::kNothing:
      return;
    case Operation::kInput:
      for (const InputStep& step : action.steps) {
        if (step.kind == InputStep::kKey)
          macros_.KeyEvent(step.virtualKey, step.flags);
        else if (step.kind == InputStep::kMouse)
          macros_.SendMouse(0, 0, step.flags, static_cast<uint32_t>(step.value), 0);
        else
          clock_.Sleep(static_cast<uint32_t>(step.value));
      }
      return;
    case Operation::kSetDpiStep:
      settings_.SetDpiStep(action.value);
      return;
    case Operation::kDpiUp:
      settings_.DpiUp();
      return;
    case Operation::kDpiDown:
      settings_.DpiDown();
      return;
    case Operation::kSelectProfile:
      settings_.SelectProfile(action.value);
      return;
    case Operation::kProfileStep:
      settings_.ProfileStep(action.value);
      return;
    case Operation::kMacroPress:
      if (int m = MacroIndexOfCode(code); m >= 0) macros_.MacroPress(m);
      return;
    case Operation::kMacroRelease:
      if (int m = MacroIndexOfCode(code); m >= 0) macros_.MacroRelease(m, profile);
      return;
  }
}

}  // namespace orv
