#include "platform/input/scan_codes.h"

#include "platform/input/input_codes.h"

namespace orv {
namespace {

// One key position of the US keyboard. `scan` carries the E0/E1 prefix in its high byte. A
// virtual key may own several rows (a key reached with and without the prefix); its first row
// is its MAPVK_VK_TO_VSC answer. Keypad rows are `keypad`: they share the position of a cursor or
// editing key, which is what a scan code translates back to.
struct KeyRow {
  uint16_t vk;
  uint16_t scan;
  char16_t ch;
  bool keypad;
};

constexpr KeyRow kRows[] = {
    {VK_CANCEL, 0xE046, 0x03, false},
    {VK_BACK, 0x0E, u'\b', false},
    {VK_TAB, 0x0F, u'\t', false},
    {VK_CLEAR, 0x4C, 0, false},
    {VK_RETURN, 0x1C, u'\r', false},
    {VK_RETURN, 0xE01C, 0, false},  // keypad Enter
    {VK_PAUSE, 0xE11D, 0, false},
    {VK_CAPITAL, 0x3A, 0, false},
    {VK_ESCAPE, 0x01, 0x1B, false},
    {VK_SPACE, 0x39, u' ', false},
    {VK_PRIOR, 0x49, 0, false},
    {VK_PRIOR, 0xE049, 0, false},
    {VK_NEXT, 0x51, 0, false},
    {VK_NEXT, 0xE051, 0, false},
    {VK_END, 0x4F, 0, false},
    {VK_END, 0xE04F, 0, false},
    {VK_HOME, 0x47, 0, false},
    {VK_HOME, 0xE047, 0, false},
    {VK_LEFT, 0x4B, 0, false},
    {VK_LEFT, 0xE04B, 0, false},
    {VK_UP, 0x48, 0, false},
    {VK_UP, 0xE048, 0, false},
    {VK_RIGHT, 0x4D, 0, false},
    {VK_RIGHT, 0xE04D, 0, false},
    {VK_DOWN, 0x50, 0, false},
    {VK_DOWN, 0xE050, 0, false},
    {VK_SNAPSHOT, 0x54, 0, false},  // Alt+Print Screen
    {VK_SNAPSHOT, 0xE037, 0, false},
    {VK_INSERT, 0x52, 0, false},
    {VK_INSERT, 0xE052, 0, false},
    {VK_DELETE, 0x53, 0, false},
    {VK_DELETE, 0xE053, 0, false},
    {VK_0, 0x0B, u'0', false},
    {VK_1, 0x02, u'1', false},
    {VK_2, 0x03, u'2', false},
    {VK_3, 0x04, u'3', false},
    {VK_4, 0x05, u'4', false},
    {VK_5, 0x06, u'5', false},
    {VK_6, 0x07, u'6', false},
    {VK_7, 0x08, u'7', false},
    {VK_8, 0x09, u'8', false},
    {VK_9, 0x0A, u'9', false},
    {VK_A, 0x1E, u'A', false},
    {VK_B, 0x30, u'B', false},
    {VK_C, 0x2E, u'C', false},
    {VK_D, 0x20, u'D', false},
    {VK_E, 0x12, u'E', false},
    {VK_F, 0x21, u'F', false},
    {VK_G, 0x22, u'G', false},
    {VK_H, 0x23, u'H', false},
    {VK_I, 0x17, u'I', false},
    {VK_J, 0x24, u'J', false},
    {VK_K, 0x25, u'K', false},
    {VK_L, 0x26, u'L', false},
    {VK_M, 0x32, u'M', false},
    {VK_N, 0x31, u'N', false},
    {VK_O, 0x18, u'O', false},
    {VK_P, 0x19, u'P', false},
    {VK_Q, 0x10, u'Q', false},
    {VK_R, 0x13, u'R', false},
    {VK_S, 0x1F, u'S', false},
    {VK_T, 0x14, u'T', false},
    {VK_U, 0x16, u'U', false},
    {VK_V, 0x2F, u'V', false},
    {VK_W, 0x11, u'W', false},
    {VK_X, 0x2D, u'X', false},
    {VK_Y, 0x15, u'Y', false},
    {VK_Z, 0x2C, u'Z', false},
    {VK_LWIN, 0xE05B, 0, false},
    {VK_RWIN, 0xE05C, 0, false},
    {VK_APPS, 0xE05D, 0, false},
    {VK_SLEEP, 0xE05F, 0, false},
    {VK_NUMPAD0, 0x52, u'0', true},
    {VK_NUMPAD1, 0x4F, u'1', true},
    {VK_NUMPAD2, 0x50, u'2', true},
    {VK_NUMPAD3, 0x51, u'3', true},
    {VK_NUMPAD4, 0x4B, u'4', true},
    {VK_NUMPAD5, 0x4C, u'5', true},
    {VK_NUMPAD6, 0x4D, u'6', true},
    {VK_NUMPAD7, 0x47, u'7', true},
    {VK_NUMPAD8, 0x48, u'8', true},
    {VK_NUMPAD9, 0x49, u'9', true},
    {VK_MULTIPLY, 0x37, u'*', false},
    {VK_ADD, 0x4E, u'+', false},
    {VK_SUBTRACT, 0x4A, u'-', false},
    {VK_DECIMAL, 0x53, u'.', true},
    {VK_DIVIDE, 0xE035, u'/', false},
    {VK_F1, 0x3B, 0, false},
    {VK_F2, 0x3C, 0, false},
    {VK_F3, 0x3D, 0, false},
    {VK_F4, 0x3E, 0, false},
    {VK_F5, 0x3F, 0, false},
    {VK_F6, 0x40, 0, false},
    {VK_F7, 0x41, 0, false},
    {VK_F8, 0x42, 0, false},
    {VK_F9, 0x43, 0, false},
    {VK_F10, 0x44, 0, false},
    {VK_F11, 0x57, 0, false},
    {VK_F12, 0x58, 0, false},
    {VK_F13, 0x64, 0, false},
    {VK_F14, 0x65, 0, false},
    {VK_F15, 0x66, 0, false},
    {VK_F16, 0x67, 0, false},
    {VK_F17, 0x68, 0, false},
    {VK_F18, 0x69, 0, false},
    {VK_F19, 0x6A, 0, false},
    {VK_F20, 0x6B, 0, false},
    {VK_F21, 0x6C, 0, false},
    {VK_F22, 0x6D, 0, false},
    {VK_F23, 0x6E, 0, false},
    {VK_F24, 0x76, 0, false},
    {VK_NUMLOCK, 0x45, 0, false},
    {VK_SCROLL, 0x46, 0, false},
    {VK_LSHIFT, 0x2A, 0, false},
    {VK_RSHIFT, 0x36, 0, false},
    {VK_LCONTROL, 0x1D, 0, false},
    {VK_RCONTROL, 0xE01D, 0, false},
    {VK_LMENU, 0x38, 0, false},
    {VK_RMENU, 0xE038, 0, false},
    {VK_BROWSER_BACK, 0xE06A, 0, false},
    {VK_BROWSER_FORWARD, 0xE069, 0, false},
    {VK_BROWSER_REFRESH, 0xE067, 0, false},
    {VK_BROWSER_STOP, 0xE068, 0, false},
    {VK_BROWSER_SEARCH, 0xE065, 0, false},
    {VK_BROWSER_FAVORITES, 0xE066, 0, false},
    {VK_BROWSER_HOME, 0xE032, 0, false},
    {VK_VOLUME_MUTE, 0xE020, 0, false},
    {VK_VOLUME_DOWN, 0xE02E, 0, false},
    {VK_VOLUME_UP, 0xE030, 0, false},
    {VK_MEDIA_NEXT_TRACK, 0xE019, 0, false},
    {VK_MEDIA_PREV_TRACK, 0xE010, 0, false},
    {VK_MEDIA_STOP, 0xE024, 0, false},
    {VK_MEDIA_PLAY_PAUSE, 0xE022, 0, false},
    {VK_LAUNCH_MAIL, 0xE06C, 0, false},
    {VK_LAUNCH_MEDIA_SELECT, 0xE06D, 0, false},
    {VK_LAUNCH_APP1, 0xE06B, 0, false},
    {VK_LAUNCH_APP2, 0xE021, 0, false},
    {VK_OEM_1, 0x27, u';', false},
    {VK_OEM_PLUS, 0x0D, u'=', false},
    {VK_OEM_COMMA, 0x33, u',', false},
    {VK_OEM_MINUS, 0x0C, u'-', false},
    {VK_OEM_PERIOD, 0x34, u'.', false},
    {VK_OEM_2, 0x35, u'/', false},
    {VK_OEM_3, 0x29, u'`', false},
    {VK_OEM_4, 0x1A, u'[', false},
    {VK_OEM_5, 0x2B, u'\\', false},
    {VK_OEM_6, 0x1B, u']', false},
    {VK_OEM_7, 0x28, u'\'', false},
    {VK_OEM_102, 0x56, u'\\', false},
};

const KeyRow* RowOfKey(uint32_t vk) {
  for (const KeyRow& row : kRows)
    if (row.vk == vk) return &row;
  return nullptr;
}

// The row a scan code stands for. A code with a prefix matches only that prefix.
const KeyRow* RowOfScan(uint32_t scan) {
  const uint32_t prefix = scan >> 8;
  if (prefix != 0 && prefix != 0xE0 && prefix != 0xE1) return nullptr;
  for (const KeyRow& row : kRows)
    if (!row.keypad && row.scan == scan) return &row;
  return nullptr;
}


}  // namespace

uint32_t MapVirtualKeyW(uint32_t code, uint32_t mapType) {
  switch (mapType) {
    case MAPVK_VK_TO_VSC: {
      // A key without side is reported as its left-hand key.
      if (code == VK_SHIFT) code = VK_LSHIFT;
      if (code == VK_CONTROL) code = VK_LCONTROL;
      if (code == VK_MENU) code = VK_LMENU;
      const KeyRow* row = RowOfKey(code);
      if (!row) return 0;
      if ((row->scan >> 8) == 0xE1) return 0x45;  // Pause (E1 1D 45) shows as 0x45 in its key messages
      return row->scan & 0xFF;
    }
    case MAPVK_VSC_TO_VK: {
      const KeyRow* row = RowOfScan(code);
      return row ? GenericModifier(row->vk) : 0;
    }
    case MAPVK_VK_TO_CHAR: {
      const KeyRow* row = RowOfKey(code);
      return row ? row->ch : 0;
    }
    case MAPVK_VSC_TO_VK_EX: {
      const KeyRow* row = RowOfScan(code);
      return row ? row->vk : 0;
    }
    default:
      return 0;
  }
}

uint32_t GenericModifier(uint32_t vk) {
  switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT:
      return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
      return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
      return VK_MENU;
    default:
      return vk;
  }
}

}  // namespace orv
