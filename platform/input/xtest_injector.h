#pragma once
// The XTest backend: keys and mouse buttons injected into an X server as if typed and clicked
// (x11::FakeInput). A virtual key becomes the keysym it types unshifted on a US keyboard and
// then the keycode of that keysym in the server's keymap; mouse buttons are X buttons 1-3, the
// X buttons 8 and 9, the wheel buttons 4/5 (up/down) and 6/7 (left/right). Every input is
// flushed at once.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/input/input_actions.h"
#include "platform/input/input_injector.h"
#include "platform/input/xkb_layouts.h"
#include "platform/x11/fake_input.h"

namespace orv {

// The keysym a (sided, see SidedVirtualKey) virtual key types, 0 when it has none; `second` the
// alternative the key may carry instead (Alt_R or ISO_Level3_Shift for right Alt), else 0.
unsigned long KeysymOfVirtualKey(uint16_t virtualKey, unsigned long* second = nullptr);
// The virtual key of a key that types `keysym` under the US English layout, with or without
// Shift (and the keypad's keys without Num Lock): the inverse of KeysymOfVirtualKey, so that a
// key recorded from its keysym is typed again by the same key. 0 for a keysym no such key types
// (AltGr's ISO_Level3_Shift of other layouts, the characters of other layouts).
uint16_t VirtualKeyOfKeysym(unsigned long keysym);

class XTestInjector : public InputInjector {
 public:
  // Connects to `displayName` ($DISPLAY when null). Null, with the reason in `why`, when no
  // display answers or it lacks the XTest extension.
  static std::unique_ptr<XTestInjector> Open(const char* displayName = nullptr, std::string* why = nullptr);
  ~XTestInjector() override;
  XTestInjector(const XTestInjector&) = delete;
  XTestInjector& operator=(const XTestInjector&) = delete;

  const char* Name() const override { return "xtest"; }
  bool SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t extra) override;
  bool SendMouse(int32_t dx, int32_t dy, uint32_t flags, uint32_t mouseData, uint64_t extra) override;
  uint32_t ForegroundLayout() override;
  bool RequestLayout(uint32_t layout) override;
  // Through QClipboard; false without a QGuiApplication (see qt_clipboard.h).
  bool SetClipboardText(std::u16string_view text, bool ansi) override;

  // False once the connection to the X server is lost; every input fails from then on.
  bool Connected() const { return !input_->Lost(); }

  // The keycode a keyboard input presses: the key carrying the virtual key's keysym, else the
  // scan code + 8 (the evdev keycode) when the scan code is the key's own unprefixed position;
  // 0 when neither exists.
  unsigned KeyCodeOf(uint16_t virtualKey, uint16_t scanCode, uint32_t flags);

 private:
  XTestInjector() = default;
  unsigned KeyCodeLocked(uint16_t virtualKey, uint16_t scanCode, uint32_t flags);
  void Click(unsigned button, int32_t times);
  std::unique_ptr<x11::FakeInput> input_;
  std::mutex mutex_;
  std::unique_ptr<XkbLayouts> layouts_;
  WheelNotches wheel_;
  WheelNotches horizontalWheel_;
};

}  // namespace orv
