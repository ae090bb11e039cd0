#pragma once
// The keys the mouse can play by itself: virtual-key code -> USB HID keyboard usage (Keyboard
// page). The on-board profile format stores these usages, so this table is fixed; a key outside it
// is stored as kNoKeyUsage. Standard library only.
#include <cstdint>

namespace orv {

inline constexpr uint8_t kNoKeyUsage = 255;

// The HID usage of a virtual key, kNoKeyUsage when the table has none.
uint8_t KeyUsage(uint32_t virtualKey);
// The virtual key whose usage is `usage`, 0 when none has it.
uint16_t VirtualKeyOfUsage(uint8_t usage);

}  // namespace orv
