#pragma once
// What one keyboard or mouse input means, independent of how a backend delivers it.
#include <cstdint>
#include <vector>

namespace orv {

// The virtual key that one keyboard input presses or releases: the key named, or with
// KEYEVENTF_SCANCODE the key at the scan code. The generic modifiers become a side: Shift the
// left one, Ctrl and Alt the right one with the extended-key flag, else the left one.
uint16_t SidedVirtualKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags);

enum class MouseButton : uint8_t { kLeft, kRight, kMiddle, kX1, kX2 };

struct MouseAction {
  enum class Kind : uint8_t { kButton, kWheel, kHorizontalWheel };
  Kind kind = Kind::kButton;
  MouseButton button = MouseButton::kLeft;  // kButton
  bool down = false;                        // kButton
  int32_t delta = 0;                        // wheels: mouse data units (WHEEL_DELTA per notch)
  bool operator==(const MouseAction&) const = default;
};

// The button and wheel actions of one mouse input, in the order of the flag bits. Movement and
// flags without an action are left out; an X button input with mouse data naming no X button
// has no action.
std::vector<MouseAction> MouseActions(uint32_t flags, uint32_t mouseData);

// Turns wheel deltas into whole notches, keeping the remainder of partial deltas for the next
// input so that four inputs of 30 make one notch.
class WheelNotches {
 public:
  int32_t Take(int32_t delta);

 private:
  int64_t remainder_ = 0;
};

}  // namespace orv
