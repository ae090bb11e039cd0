#pragma once
// The virtual keys of a US 104-key keyboard, as a macro records them (modifiers by side, the
// keypad's Enter as VK_SEPARATOR): the set the capture, the keysym mapping and the injector are
// checked against.
#include <cstdint>
#include <vector>

#include "platform/input/input_codes.h"

namespace orv::test {

inline std::vector<uint16_t> UsKeyboardKeys() {
  std::vector<uint16_t> keys = {VK_ESCAPE, VK_SNAPSHOT, VK_SCROLL, VK_PAUSE, VK_OEM_3, VK_OEM_MINUS, VK_OEM_PLUS,
                                VK_BACK, VK_TAB, VK_OEM_4, VK_OEM_6, VK_OEM_5, VK_CAPITAL, VK_OEM_1, VK_OEM_7,
                                VK_RETURN, VK_LSHIFT, VK_OEM_COMMA, VK_OEM_PERIOD, VK_OEM_2, VK_RSHIFT, VK_LCONTROL,
                                VK_LWIN, VK_LMENU, VK_SPACE, VK_RMENU, VK_RWIN, VK_APPS, VK_RCONTROL, VK_INSERT,
                                VK_HOME, VK_PRIOR, VK_DELETE, VK_END, VK_NEXT, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN,
                                VK_NUMLOCK, VK_DIVIDE, VK_MULTIPLY, VK_SUBTRACT, VK_ADD, VK_SEPARATOR, VK_DECIMAL};
  for (uint16_t k = VK_F1; k <= VK_F12; ++k) keys.push_back(k);
  for (uint16_t k = VK_0; k <= VK_9; ++k) keys.push_back(k);
  for (uint16_t k = VK_A; k <= VK_Z; ++k) keys.push_back(k);
  for (uint16_t k = VK_NUMPAD0; k <= VK_NUMPAD9; ++k) keys.push_back(k);
  return keys;
}

}  // namespace orv::test
