#pragma once
// Synthesised input: every key and mouse input the agent injects, the clipboard it pastes from
// and the keyboard layout it switches to while a macro plays go through one InputInjector,
// chosen at start (see CreateInjector).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orv {

// Layout ids that ForegroundLayout() gives for an XKB group other than the US one: this tag plus
// the group index (0-3). RequestLayout() takes them back.
inline constexpr uint32_t kXkbGroupLayout = 0xF0000000;

class InputInjector {
 public:
  virtual ~InputInjector() = default;

  // "record", "xtest" or "uinput".
  virtual const char* Name() const = 0;

  // One keyboard input: the virtual key, its scan code, flags (0 down, KEYEVENTF_KEYUP up, with
  // KEYEVENTF_EXTENDEDKEY: 1 down and 3 up) and the extra information. The virtual key decides
  // the key; the extended-key flag only tells the right-hand Ctrl and Alt from the left ones when
  // the key is the generic VK_CONTROL or VK_MENU. Returns false when nothing could be injected.
  virtual bool SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t extra) = 0;

  // One mouse input: MOUSEEVENTF_* flags, handled in the order of their bits; X buttons take the
  // mouse data XBUTTON1 / XBUTTON2, wheels take it as a signed multiple of WHEEL_DELTA (positive
  // away from the user, or to the right). Pointer movement is never produced: MOUSEEVENTF_MOVE,
  // dx and dy are ignored (the record backend keeps them). Returns false when injecting failed.
  virtual bool SendMouse(int32_t dx, int32_t dy, uint32_t flags, uint32_t mouseData, uint64_t extra) = 0;

  // The keyboard layout in force: kUsLayout for the US layout, else an id that RequestLayout()
  // takes back to restore it.
  virtual uint32_t ForegroundLayout() = 0;
  // Puts `layout` in force (kUsLayout or an id from ForegroundLayout()). Returns false when the
  // desktop has no such layout; nothing changes then.
  virtual bool RequestLayout(uint32_t layout) = 0;

  // Replaces the clipboard's content: with `ansi` the Windows-1252 form of at most 259 bytes
  // (composed and cut, see clipboard_text.h), else the Unicode text; both end at a zero. Returns
  // false when the clipboard could not be set.
  virtual bool SetClipboardText(std::u16string_view text, bool ansi) = 0;
};

// Creates the injector named by `choice` (the value of ORV_INPUT):
//   "record:<path>"  appends every input to <path> (see record_injector.h);
//   "record"         the same with `defaultRecordPath`;
//   "xtest"          X11 XTest on the display of $DISPLAY;
//   "uinput"         a virtual keyboard and mouse through /dev/uinput;
//   "auto" or ""     uinput when /dev/uinput is writable, else XTest when a display answers, else
//                    recording to `defaultRecordPath`.
// A backend that cannot start, and an unknown choice, fall back to recording to
// `defaultRecordPath` with one line on standard error. Never returns null.
std::unique_ptr<InputInjector> CreateInjector(std::string_view choice, const std::string& defaultRecordPath);
// The same with another uinput device node (tests).
std::unique_ptr<InputInjector> CreateInjector(std::string_view choice, const std::string& defaultRecordPath,
                                              const std::string& uinputPath);

// The value of ORV_INPUT, empty when unset.
std::string InjectorChoiceFromEnvironment();

}  // namespace orv
