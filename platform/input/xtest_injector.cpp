#include "platform/input/xtest_injector.h"

#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "platform/input/input_codes.h"
#include "platform/input/qt_clipboard.h"
#include "platform/input/scan_codes.h"
#include "platform/x11/watched_display.h"

namespace orv {
namespace {

struct KeysymRow {
  uint16_t vk;
  unsigned long keysym;
  unsigned long second;
};

// Keys whose keysym is not computed from their code (letters, digits, F keys, keypad digits).
constexpr KeysymRow kKeysyms[] = {
    {VK_CANCEL, XK_Cancel, 0},
    {VK_BACK, XK_BackSpace, 0},
    {VK_TAB, XK_Tab, 0},
    {VK_CLEAR, XK_Clear, 0},
    {VK_RETURN, XK_Return, 0},
    {VK_PAUSE, XK_Pause, 0},
    {VK_CAPITAL, XK_Caps_Lock, 0},
    {VK_ESCAPE, XK_Escape, 0},
    {VK_SPACE, XK_space, 0},
    {VK_PRIOR, XK_Prior, 0},
    {VK_NEXT, XK_Next, 0},
    {VK_END, XK_End, 0},
    {VK_HOME, XK_Home, 0},
    {VK_LEFT, XK_Left, 0},
    {VK_UP, XK_Up, 0},
    {VK_RIGHT, XK_Right, 0},
    {VK_DOWN, XK_Down, 0},
    {VK_SELECT, XK_Select, 0},
    {VK_EXECUTE, XK_Execute, 0},
    {VK_SNAPSHOT, XK_Print, 0},
    {VK_INSERT, XK_Insert, 0},
    {VK_DELETE, XK_Delete, 0},
    {VK_HELP, XK_Help, 0},
    {VK_LWIN, XK_Super_L, 0},
    {VK_RWIN, XK_Super_R, 0},
    {VK_APPS, XK_Menu, 0},
    {VK_SLEEP, XF86XK_Sleep, 0},
    {VK_MULTIPLY, XK_KP_Multiply, 0},
    {VK_ADD, XK_KP_Add, 0},
    {VK_SEPARATOR, XK_KP_Enter, 0},
    {VK_SUBTRACT, XK_KP_Subtract, 0},
    {VK_DECIMAL, XK_KP_Decimal, 0},
    {VK_DIVIDE, XK_KP_Divide, 0},
    {VK_NUMLOCK, XK_Num_Lock, 0},
    {VK_SCROLL, XK_Scroll_Lock, 0},
    {VK_LSHIFT, XK_Shift_L, 0},
    {VK_RSHIFT, XK_Shift_R, 0},
    {VK_LCONTROL, XK_Control_L, 0},
    {VK_RCONTROL, XK_Control_R, 0},
    {VK_LMENU, XK_Alt_L, 0},
    {VK_RMENU, XK_Alt_R, XK_ISO_Level3_Shift},
    {VK_BROWSER_BACK, XF86XK_Back, 0},
    {VK_BROWSER_FORWARD, XF86XK_Forward, 0},
    {VK_BROWSER_REFRESH, XF86XK_Refresh, 0},
    {VK_BROWSER_STOP, XF86XK_Stop, 0},
    {VK_BROWSER_SEARCH, XF86XK_Search, 0},
    {VK_BROWSER_FAVORITES, XF86XK_Favorites, 0},
    {VK_BROWSER_HOME, XF86XK_HomePage, 0},
    {VK_VOLUME_MUTE, XF86XK_AudioMute, 0},
    {VK_VOLUME_DOWN, XF86XK_AudioLowerVolume, 0},
    {VK_VOLUME_UP, XF86XK_AudioRaiseVolume, 0},
    {VK_MEDIA_NEXT_TRACK, XF86XK_AudioNext, 0},
    {VK_MEDIA_PREV_TRACK, XF86XK_AudioPrev, 0},
    {VK_MEDIA_STOP, XF86XK_AudioStop, 0},
    {VK_MEDIA_PLAY_PAUSE, XF86XK_AudioPlay, 0},
    {VK_LAUNCH_MAIL, XF86XK_Mail, 0},
    {VK_LAUNCH_MEDIA_SELECT, XF86XK_AudioMedia, 0},
    {VK_LAUNCH_APP1, XF86XK_MyComputer, 0},
    {VK_LAUNCH_APP2, XF86XK_Calculator, 0},
    {VK_OEM_1, XK_semicolon, 0},
    {VK_OEM_PLUS, XK_equal, 0},
    {VK_OEM_COMMA, XK_comma, 0},
    {VK_OEM_MINUS, XK_minus, 0},
    {VK_OEM_PERIOD, XK_period, 0},
    {VK_OEM_2, XK_slash, 0},
    {VK_OEM_3, XK_grave, 0},
    {VK_OEM_4, XK_bracketleft, 0},
    {VK_OEM_5, XK_backslash, 0},
    {VK_OEM_6, XK_bracketright, 0},
    {VK_OEM_7, XK_apostrophe, 0},
    {VK_OEM_102, XK_less, 0},
};

}  // namespace

unsigned long KeysymOfVirtualKey(uint16_t vk, unsigned long* second) {
  if (second) *second = 0;
  if (vk >= VK_A && vk <= VK_Z) return XK_a + (vk - VK_A);  // unshifted: the lower-case letter
  if (vk >= VK_0 && vk <= VK_9) return XK_0 + (vk - VK_0);
  if (vk >= VK_F1 && vk <= VK_F24) return XK_F1 + (vk - VK_F1);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return XK_KP_0 + (vk - VK_NUMPAD0);
  for (const KeysymRow& row : kKeysyms) {
    if (row.vk != vk) continue;
    if (second) *second = row.second;
    return row.keysym;
  }
  return 0;
}

std::unique_ptr<XTestInjector> XTestInjector::Open(const char* displayName, std::string* why) {
  std::unique_ptr<XTestInjector> injector(new XTestInjector());
  injector->display_ = OpenWatchedDisplay(displayName, &injector->lost_);
  if (!injector->display_) {
    if (why) *why = "no X display answers";
    return nullptr;
  }
  int event, error, major, minor;
  if (!XTestQueryExtension(injector->display_, &event, &error, &major, &minor)) {
    if (why) *why = "the X display has no XTest extension";
    return nullptr;
  }
  injector->layouts_ = std::make_unique<XkbLayouts>(injector->display_);
  return injector;
}

XTestInjector::~XTestInjector() {
  layouts_.reset();
  CloseWatchedDisplay(display_);
}

unsigned XTestInjector::KeyCodeOf(uint16_t virtualKey, uint16_t scanCode, uint32_t flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_) return 0;
  return KeyCodeLocked(virtualKey, scanCode, flags);
}

unsigned XTestInjector::KeyCodeLocked(uint16_t virtualKey, uint16_t scanCode, uint32_t flags) {
  const uint16_t vk = SidedVirtualKey(virtualKey, scanCode, flags);
  unsigned long second = 0;
  if (const unsigned long keysym = KeysymOfVirtualKey(vk, &second)) {
    if (const KeyCode code = XKeysymToKeycode(display_, keysym)) return code;
    if (second)
      if (const KeyCode code = XKeysymToKeycode(display_, second)) return code;
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
  if (lost_) return false;
  const unsigned code = KeyCodeLocked(virtualKey, scanCode, flags);
  if (code == 0) return false;
  const bool sent = XTestFakeKeyEvent(display_, code, (flags & KEYEVENTF_KEYUP) ? False : True, CurrentTime);
  XFlush(display_);
  return sent && !lost_;
}

void XTestInjector::Click(unsigned button, int32_t times) {
  // An absurd wheel delta must not keep the window thread clicking for minutes.
  constexpr int32_t kMostClicks = 64;
  if (times > kMostClicks) times = kMostClicks;
  for (int32_t i = 0; i < times; ++i) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
  }
}

bool XTestInjector::SendMouse(int32_t, int32_t, uint32_t flags, uint32_t mouseData, uint64_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_) return false;
  bool sent = true;
  for (const MouseAction& action : MouseActions(flags, mouseData)) {
    switch (action.kind) {
      case MouseAction::Kind::kButton: {
        static constexpr unsigned kButtons[] = {1, 3, 2, 8, 9};  // left, right, middle, X1, X2
        sent &= XTestFakeButtonEvent(display_, kButtons[static_cast<int>(action.button)], action.down ? True : False,
                                     CurrentTime) != 0;
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
  XFlush(display_);
  return sent && !lost_;
}

uint32_t XTestInjector::ForegroundLayout() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_) return kUsLayout;
  return layouts_->Current();
}

bool XTestInjector::RequestLayout(uint32_t layout) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_) return false;
  return layouts_->Request(layout);
}

bool XTestInjector::SetClipboardText(std::u16string_view text, bool ansi) { return PlaceOnQtClipboard(text, ansi); }

}  // namespace orv
