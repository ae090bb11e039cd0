#pragma once
// Keyboard groups on X11: the layouts of an XKB keymap are its groups (0-3), and the US English
// layout is the group whose symbols are plain "us".
#include <atomic>
#include <memory>
#include <string_view>

typedef struct _XDisplay Display;

namespace orv::x11 {

// The group (0-3) of the plain US layout in an XKB symbols name such as
// "pc+de+us:2+inet(evdev)" (here 1), -1 when the keymap has none. Variants other than "basic"
// ("us(intl)", "us(dvorak)") type other characters and do not count.
int UsGroupOfSymbols(std::string_view symbols);

// The XKB groups of one display. Not safe for concurrent use: the owner serialises its calls.
class XkbGroups {
 public:
  // A connection of its own to $DISPLAY; no groups when no display answers or it lacks XKB, nor
  // after the connection is lost.
  static std::unique_ptr<XkbGroups> Connect();
  ~XkbGroups();
  XkbGroups(const XkbGroups&) = delete;
  XkbGroups& operator=(const XkbGroups&) = delete;

  bool Available() const { return display_ != nullptr && !lost_->load(); }
  // The group in force; -1 without groups.
  int Current();
  // The group of the US layout; -1 without groups or when the keymap has no US layout.
  int UsGroup();
  // Locks group 0-3 and flushes the request. False (nothing done) without groups or for any
  // other number.
  bool Lock(int group);

 private:
  friend class FakeInput;
  // On a display another object owns and watches (`lost` is its flag).
  XkbGroups(Display* display, std::atomic<bool>* lost);
  XkbGroups() = default;
  void RequireXkb();

  Display* display_ = nullptr;
  bool owned_ = false;
  std::atomic<bool> ownLost_{false};
  std::atomic<bool>* lost_ = &ownLost_;
};

}  // namespace orv::x11
