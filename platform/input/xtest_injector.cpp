#include "platform/input/xtest_injector.h"

#include "platform/input/input_codes.h"
#include "platform/input/qt_clipboard.h"
#include "platform/input/scan_codes.h"
#include "platform/x11/keysyms.h"

namespace orv {
namespace {

struct KeysymRow {
  uint16_t vk;
  unsigned long keysym;
  unsigned long second;
};

// Keys whose keysym is not computed from their code (letters, digits, F keys, keypad digits).
constexpr KeysymRow kKeysyms[] = {
    {VK_CANCEL, x11::kCancel, 0},
    {VK_BACK, x11::kBackSpace, 0},
    {VK_TAB, x11::kTab, 0},
    {VK_CLEAR, x11::kClear, 0},
    {VK_RETURN, x11::kReturn, 0},
    {VK_PAUSE, x11::kPause, 0},
    {VK_CAPITAL, x11::kCapsLock, 0},
    {VK_ESCAPE, x11::kEscape, 0},
    {VK_SPACE, x11::kSpace, 0},
    {VK_PRIOR, x11::kPrior, 0},
    {VK_NEXT, x11::kNext, 0},
    {VK_END, x11::kEnd, 0},
    {VK_HOME, x11::kHome, 0},
    {VK_LEFT, x11::kLeft, 0},
    {VK_UP, x11::kUp, 0},
    {VK_RIGHT, x11::kRight, 0},
    {VK_DOWN, x11::kDown, 0},
    {VK_SELECT, x11::kSelect, 0},
    {VK_EXECUTE, x11::kExecute, 0},
    {VK_SNAPSHOT, x11::kPrint, 0},
    {VK_INSERT, x11::kInsert, 0},
    {VK_DELETE, x11::kDelete, 0},
    {VK_HELP, x11::kHelp, 0},
    {VK_LWIN, x11::kSuperL, 0},
    {VK_RWIN, x11::kSuperR, 0},
    {VK_APPS, x11::kMenu, 0},
    {VK_SLEEP, x11::kXf86Sleep, 0},
    {VK_MULTIPLY, x11::kKeypadMultiply, 0},
    {VK_ADD, x11::kKeypadAdd, 0},
    {VK_SEPARATOR, x11::kKeypadEnter, 0},
    {VK_SUBTRACT, x11::kKeypadSubtract, 0},
    {VK_DECIMAL, x11::kKeypadDecimal, 0},
    {VK_DIVIDE, x11::kKeypadDivide, 0},
    {VK_NUMLOCK, x11::kNumLock, 0},
    {VK_SCROLL, x11::kScrollLock, 0},
    {VK_LSHIFT, x11::kShiftL, 0},
    {VK_RSHIFT, x11::kShiftR, 0},
    {VK_LCONTROL, x11::kControlL, 0},
    {VK_RCONTROL, x11::kControlR, 0},
    {VK_LMENU, x11::kAltL, 0},
    {VK_RMENU, x11::kAltR, x11::kIsoLevel3Shift},
    {VK_BROWSER_BACK, x11::kXf86Back, 0},
    {VK_BROWSER_FORWARD, x11::kXf86Forward, 0},
    {VK_BROWSER_REFRESH, x11::kXf86Refresh, 0},
    {VK_BROWSER_STOP, x11::kXf86Stop, 0},
    {VK_BROWSER_SEARCH, x11::kXf86Search, 0},
    {VK_BROWSER_FAVORITES, x11::kXf86Favorites, 0},
    {VK_BROWSER_HOME, x11::kXf86HomePage, 0},
    {VK_VOLUME_MUTE, x11::kXf86AudioMute, 0},
    {VK_VOLUME_DOWN, x11::kXf86AudioLowerVolume, 0},
    {VK_VOLUME_UP, x11::kXf86AudioRaiseVolume, 0},
    {VK_MEDIA_NEXT_TRACK, x11::kXf86AudioNext, 0},
    {VK_MEDIA_PREV_TRACK, x11::kXf86AudioPrev, 0},
    {VK_MEDIA_STOP, x11::kXf86AudioStop, 0},
    {VK_MEDIA_PLAY_PAUSE, x11::kXf86AudioPlay, 0},
    {VK_LAUNCH_MAIL, x11::kXf86Mail, 0},
    {VK_LAUNCH_MEDIA_SELECT, x11::kXf86AudioMedia, 0},
    {VK_LAUNCH_APP1, x11::kXf86MyComputer, 0},
    {VK_LAUNCH_APP2, x11::kXf86Calculator, 0},
    {VK_OEM_1, x11::kSemicolon, 0},
    {VK_OEM_PLUS, x11::kEqual, 0},
    {VK_OEM_COMMA, x11::kComma, 0},
    {VK_OEM_MINUS, x11::kMinus, 0},
    {VK_OEM_PERIOD, x11::kPeriod, 0},
    {VK_OEM_2, x11::kSlash, 0},
    {VK_OEM_3, x11::kGrave, 0},
    {VK_OEM_4, x11::kBracketleft, 0},
    {VK_OEM_5, x11::kBackslash, 0},
    {VK_OEM_6, x11::kBracketright, 0},
    {VK_OEM_7, x11::kApostrophe, 0},
    {VK_OEM_102, x11::kLess, 0},
};

}  // namespace

unsigned long KeysymOfVirtualKey(uint16_t vk, unsigned long* second) {
  if (second) *second = 0;
  if (vk >= VK_A && vk <= VK_Z) return x11::kSmallA + (vk - VK_A);  // unshifted: the lower-case letter
  if (vk >= VK_0 && vk <= VK_9) return x11::kDigit0 + (vk - VK_0);
  if (vk >= VK_F1 && vk <= VK_F24) return x11::kF1 + (vk - VK_F1);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return x11::kKeypad0 + (vk - VK_NUMPAD0);
  for (const KeysymRow& row : kKeysyms) {
    if (row.vk != vk) continue;
    if (second) *second = row.second;
    return row.keysym;
  }
  return 0;
}

uint16_t VirtualKeyOfKeysym(unsigned long keysym) {
  if (keysym >= x11::kSmallA && keysym < x11::kSmallA + 26) return static_cast<uint16_t>(VK_A + (keysym - x11::kSmallA));
  if (keysym >= x11::kCapitalA && keysym < x11::kCapitalA + 26) return static_cast<uint16_t>(VK_A + (keysym - x11::kCapitalA));
  if (keysym >= x11::kDigit0 && keysym < x11::kDigit0 + 10) return static_cast<uint16_t>(VK_0 + (keysym - x11::kDigit0));
  if (keysym >= x11::kF1 && keysym < x11::kF1 + 24) return static_cast<uint16_t>(VK_F1 + (keysym - x11::kF1));
  if (keysym >= x11::kKeypad0 && keysym < x11::kKeypad0 + 10)
    return static_cast<uint16_t>(VK_NUMPAD0 + (keysym - x11::kKeypad0));
  // What the US keys type with Shift (Latin-1 keysyms are their characters), and the keypad's
  // keys without Num Lock, which act as the editing keys.
  static constexpr std::pair<unsigned long, uint16_t> kShifted[] = {
      {'!', VK_1},         {'@', VK_2},         {'#', VK_3},          {'$', VK_4},         {'%', VK_5},
      {'^', VK_6},         {'&', VK_7},         {'*', VK_8},          {'(', VK_9},         {')', VK_0},
      {'_', VK_OEM_MINUS}, {'+', VK_OEM_PLUS},  {'{', VK_OEM_4},      {'}', VK_OEM_6},     {'|', VK_OEM_5},
      {':', VK_OEM_1},     {'"', VK_OEM_7},     {'~', VK_OEM_3},      {'<', VK_OEM_COMMA}, {'>', VK_OEM_PERIOD},
      {'?', VK_OEM_2},     {x11::kIsoLeftTab, VK_TAB}, {x11::kSysReq, VK_SNAPSHOT}, {x11::kBreak, VK_PAUSE},
      {x11::kKeypadHome, VK_HOME}, {x11::kKeypadLeft, VK_LEFT}, {x11::kKeypadUp, VK_UP},
      {x11::kKeypadRight, VK_RIGHT}, {x11::kKeypadDown, VK_DOWN}, {x11::kKeypadPrior, VK_PRIOR},
      {x11::kKeypadNext, VK_NEXT}, {x11::kKeypadEnd, VK_END}, {x11::kKeypadBegin, VK_CLEAR},
      {x11::kKeypadInsert, VK_INSERT}, {x11::kKeypadDelete, VK_DELETE},
      // Alt with Shift held is Meta.
      {x11::kMetaL, VK_LMENU}, {x11::kMetaR, VK_RMENU},
  };
  for (const auto& [shifted, vk] : kShifted)
    if (shifted == keysym) return vk;
  for (const KeysymRow& row : kKeysyms)
    if (row.keysym == keysym) return row.vk;
  return 0;
}

std::unique_ptr<XTestInjector> XTestInjector::Open(const char* displayName, std::string* why) {
  std::unique_ptr<x11::FakeInput> input = x11::FakeInput::Open(displayName, why);
  if (!input) return nullptr;
  std::unique_ptr<XTestInjector> injector(new XTestInjector());
  injector->layouts_ = std::make_unique<XkbLayouts>(&input->Groups());
  injector->input_ = std::move(input);
  return injector;
}

XTestInjector::~XTestInjector() {
  layouts_.reset();
  input_.reset();
}

unsigned XTestInjector::KeyCodeOf(uint16_t virtualKey, uint16_t scanCode, uint32_t flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (input_->Lost()) return 0;
  return KeyCodeLocked(virtualKey, scanCode, flags);
}

unsigned XTestInjector::KeyCodeLocked(uint16_t virtualKey, uint16_t scanCode, uint32_t flags) {
  const uint16_t vk = SidedVirtualKey(virtualKey, scanCode, flags);
  unsigned long second = 0;
  if (const unsigned long keysym = KeysymOfVirtualKey(vk, &second)) {
    if (const unsigned code = input_->KeycodeOf(keysym)) return code;
    if (second)
      if (const unsigned code = input_->KeycodeOf(second)) return code;
  }
  // No key carries the keysym: the key's position, where it has one of its own without prefix
  // (the evdev keycode of such a key is its set-1 scan code + 8).
  uint32_t scan = scanCode & 0xFF;
  if (scan == 0) scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  if (scan != 0 && vk != 0 && MapVirtualKeyW(scan, MAPVK_VSC_TO_VK_EX) == vk) return scan + 8;
  return 0;
}

bool XTestInjector::SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (input_->Lost()) return false;
  const unsigned code = KeyCodeLocked(virtualKey, scanCode, flags);
  if (code == 0) return false;
  const bool sent = input_->Key(code, (flags & KEYEVENTF_KEYUP) == 0);
  return input_->Flush() && sent;
}

void XTestInjector::Click(unsigned button, int32_t times) {
  // An absurd wheel delta must not keep the window thread clicking for minutes.
  constexpr int32_t kMostClicks = 64;
  if (times > kMostClicks) times = kMostClicks;
  for (int32_t i = 0; i < times; ++i) {
    input_->Button(button, true);
    input_->Button(button, false);
  }
}

bool XTestInjector::SendMouse(int32_t, int32_t, uint32_t flags, uint32_t mouseData, uint64_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (input_->Lost()) return false;
  bool sent = true;
  for (const MouseAction& action : MouseActions(flags, mouseData)) {
    switch (action.kind) {
      case MouseAction::Kind::kButton: {
        static constexpr unsigned kButtons[] = {1, 3, 2, 8, 9};  // left, right, middle, X1, X2
        sent &= input_->Button(kButtons[static_cast<int>(action.button)], action.down);
        break;
      }
      case MouseAction::Kind::kWheel: {
        const int32_t notches = wheel_.Take(action.delta);
        Click(notches > 0 ? 4 : 5, notches > 0 ? notches : -notches);
        break;
      }
      case MouseAction::Kind::kHorizontalWheel: {
        const int32_t notches = horizontalWheel_.Take(action.delta);
        Click(notches > 0 ? 7 : 6, notches > 0 ? notches : -notches);
        break;
      }
    }
  }
  return input_->Flush() && sent;
}

uint32_t XTestInjector::ForegroundLayout() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (input_->Lost()) return kUsLayout;
  return layouts_->Current();
}

bool XTestInjector::RequestLayout(uint32_t layout) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (input_->Lost()) return false;
  return layouts_->Request(layout);
}

bool XTestInjector::SetClipboardText(std::u16string_view text, bool ansi) { return PlaceOnQtClipboard(text, ansi); }

}  // namespace orv
