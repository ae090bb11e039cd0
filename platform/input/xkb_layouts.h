#pragma once
// Keyboard layout switching on X11: the layouts of an XKB keymap are its groups, and the US
// English layout is the group whose symbols are plain "us".
#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

typedef struct _XDisplay Display;

namespace orv {

// The group (0-3) of the plain US layout in an XKB symbols name such as
// "pc+de+us:2+inet(evdev)" (here 1), -1 when the keymap has none. Variants other than "basic"
// ("us(intl)", "us(dvorak)") type other characters and do not count.
int UsGroupOfSymbols(std::string_view symbols);

// The layout ids of InputInjector for the groups of one display.
class XkbLayouts {
 public:
  // Works on `display` (not owned; the caller serialises access and watches the connection);
  // null or a display without XKB gives no groups.
  explicit XkbLayouts(Display* display);
  // Opens a connection of its own to $DISPLAY (no groups when none answers, nor after the
  // connection is lost).
  static std::unique_ptr<XkbLayouts> Connect();
  XkbLayouts(const XkbLayouts&) = delete;
  XkbLayouts& operator=(const XkbLayouts&) = delete;
  ~XkbLayouts();

  bool Available() const { return display_ != nullptr && !lost_; }
  // kUsLayout when the US group is in force, kXkbGroupLayout + group for another group; kUsLayout
  // without XKB.
  uint32_t Current();
  // Locks the US group for kUsLayout, group g for kXkbGroupLayout + g. False (nothing done)
  // without XKB, without a US group, or for any other id.
  bool Request(uint32_t layout);

 private:
  void Init();
  int UsGroup();

  Display* display_ = nullptr;
  bool owned_ = false;
  std::atomic<bool> lost_{false};
};

}  // namespace orv
