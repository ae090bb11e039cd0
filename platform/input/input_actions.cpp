#include "platform/input/input_actions.h"

#include "platform/input/input_codes.h"
#include "platform/input/scan_codes.h"

namespace orv {

uint16_t SidedVirtualKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags) {
  const bool extended = (flags & KEYEVENTF_EXTENDEDKEY) != 0;
  uint16_t vk = virtualKey;
  if (flags & KEYEVENTF_SCANCODE) {
    const uint32_t scan = (scanCode & 0xFF) | (extended ? 0xE000u : 0u);
    vk = static_cast<uint16_t>(MapVirtualKeyW(scan, MAPVK_VSC_TO_VK_EX));
  }
  switch (vk) {
    case VK_SHIFT:
      return VK_LSHIFT;
    case VK_CONTROL:
      return extended ? VK_RCONTROL : VK_LCONTROL;
    case VK_MENU:
      return extended ? VK_RMENU : VK_LMENU;
    default:
      return vk;
  }
}

std::vector<MouseAction> MouseActions(uint32_t flags, uint32_t mouseData) {
  std::vector<MouseAction> actions;
  auto button = [&](uint32_t flag, MouseButton b, bool down) {
    if (flags & flag) actions.push_back({MouseAction::Kind::kButton, b, down, 0});
  };
  button(MOUSEEVENTF_LEFTDOWN, MouseButton::kLeft, true);
  button(MOUSEEVENTF_LEFTUP, MouseButton::kLeft, false);
  button(MOUSEEVENTF_RIGHTDOWN, MouseButton::kRight, true);
  button(MOUSEEVENTF_RIGHTUP, MouseButton::kRight, false);
  button(MOUSEEVENTF_MIDDLEDOWN, MouseButton::kMiddle, true);
  button(MOUSEEVENTF_MIDDLEUP, MouseButton::kMiddle, false);
  for (uint32_t flag : {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP}) {
    if (!(flags & flag)) continue;
    if (mouseData & XBUTTON1) button(flag, MouseButton::kX1, flag == MOUSEEVENTF_XDOWN);
    if (mouseData & XBUTTON2) button(flag, MouseButton::kX2, flag == MOUSEEVENTF_XDOWN);
  }
  const int32_t delta = static_cast<int32_t>(mouseData);
  if ((flags & MOUSEEVENTF_WHEEL) && delta != 0)
    actions.push_back({MouseAction::Kind::kWheel, MouseButton::kLeft, false, delta});
  if ((flags & MOUSEEVENTF_HWHEEL) && delta != 0)
    actions.push_back({MouseAction::Kind::kHorizontalWheel, MouseButton::kLeft, false, delta});
  return actions;
}

int32_t WheelNotches::Take(int32_t delta) {
  remainder_ += delta;
  const int64_t notches = remainder_ / WHEEL_DELTA;  // rounds towards zero, so the sign is kept
  remainder_ -= notches * WHEEL_DELTA;
  return static_cast<int32_t>(notches);
}

}  // namespace orv
