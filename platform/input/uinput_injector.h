#pragma once
// The uinput backend: a virtual keyboard and mouse created through /dev/uinput, so injected
// input reaches every desktop, Wayland included. A virtual key becomes its HID usage (the
// on-board key usage table, with the few keys that table leaves out) and then the Linux key code
// the kernel gives that usage. What one input writes is computed by UinputTranslator, which
// needs no device.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/input/input_actions.h"
#include "platform/input/input_injector.h"
#include "platform/input/xkb_layouts.h"

namespace orv {

// One struct input_event as the device gets it (the kernel stamps the time).
struct UinputEvent {
  uint16_t type;
  uint16_t code;
  int32_t value;
  bool operator==(const UinputEvent&) const = default;
};

class UinputTranslator {
 public:
  // The HID keyboard usage injected for a (sided) virtual key: its on-board usage, else F13-F24
  // and the 102nd key, which that table leaves out; kNoKeyUsage when none.
  static uint8_t UsageOfVirtualKey(uint16_t virtualKey);
  // The Linux key code of a HID keyboard usage, 0 when the kernel gives it none.
  static uint16_t LinuxKeyOfUsage(uint8_t usage);
  // Every key and button code the device declares.
  static std::vector<uint16_t> DeviceKeys();

  // The events of one keyboard input: the key's press or release and a report; empty when the
  // key has no Linux key code.
  std::vector<UinputEvent> Key(uint16_t virtualKey, uint16_t scanCode, uint32_t flags) const;
  // The events of one mouse input: buttons, wheel notches (REL_WHEEL / REL_HWHEEL, partial deltas
  // kept for later) with the exact delta in the high-resolution axes (120 per notch, as the mouse
  // data), and a report; never movement. Empty when the input has no button or wheel action.
  std::vector<UinputEvent> Mouse(uint32_t flags, uint32_t mouseData);

 private:
  WheelNotches wheel_;
  WheelNotches horizontalWheel_;
};

class UinputInjector : public InputInjector {
 public:
  // Creates the virtual device through the uinput node at `path`. Null, with the reason in
  // `why`, when the node is missing, not writable or not a uinput device.
  static std::unique_ptr<UinputInjector> Open(const std::string& path, std::string* why = nullptr);
  ~UinputInjector() override;
  UinputInjector(const UinputInjector&) = delete;
  UinputInjector& operator=(const UinputInjector&) = delete;

  const char* Name() const override { return "uinput"; }
  bool SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t extra) override;
  bool SendMouse(int32_t dx, int32_t dy, uint32_t flags, uint32_t mouseData, uint64_t extra) override;
  // XKB groups of $DISPLAY when a display answers; without one kUsLayout, and requests are
  // refused.
  uint32_t ForegroundLayout() override;
  bool RequestLayout(uint32_t layout) override;
  // Through QClipboard; false without a QGuiApplication (see qt_clipboard.h).
  bool SetClipboardText(std::u16string_view text, bool ansi) override;

 private:
  explicit UinputInjector(int fd);
  bool Write(const std::vector<UinputEvent>& events);

  int fd_;
  std::mutex mutex_;
  UinputTranslator translator_;
  std::unique_ptr<XkbLayouts> layouts_;
};

}  // namespace orv
