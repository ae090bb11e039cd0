#pragma once
// Drives real windows on an X display as a person would: finds a top-level window by its
// title, and clicks, drags and types through XTest. The header needs no X header.
#include <memory>
#include <string>

namespace orv::test {

struct XWindowBox {
  unsigned long window = 0;  // 0: none
  int x = 0, y = 0, width = 0, height = 0;
  explicit operator bool() const { return window != 0; }
};

class XDriver {
 public:
  explicit XDriver(const std::string& display);
  ~XDriver();
  XDriver(const XDriver&) = delete;
  XDriver& operator=(const XDriver&) = delete;
  bool ok() const { return display_ != nullptr; }

  // The shown window called `title`, waiting up to `ms` for it.
  XWindowBox Find(const std::string& title, int ms = 10000);
  // A shown top-level window other than `except` (a dialog without a title of its own),
  // waiting up to `ms` for one.
  XWindowBox FindOther(unsigned long except, int ms = 10000);
  // A shown pop-up (an override-redirect window, as menus are) other than `except`, within `ms`.
  XWindowBox FindPopup(unsigned long except = 0, int ms = 10000);
  // Waits until the keyboard focus is in `w` (the window or one inside it).
  bool WaitFocusIn(const XWindowBox& w, int ms = 10000);
  // Whether a window called `title` is shown now.
  bool Shown(const std::string& title) { return static_cast<bool>(Find(title, 0)); }
  // Waits until no window called `title` is shown.
  bool WaitGone(const std::string& title, int ms = 10000);

  void MoveTo(int x, int y);
  // A click at (x, y) of the window with `button` (1 left, 3 right).
  void Click(const XWindowBox& w, int x, int y, int button = 1);
  // Presses at `from`, moves there in steps and releases at `to` (window coordinates).
  void Drag(const XWindowBox& w, int fx, int fy, int tx, int ty);
  // One key by its X name ("Down", "Return", "a" ...); false for an unknown name.
  bool Key(const std::string& name);
  // A key tapped `pauseMs` after the previous input, the X server keeping the pause itself (XTest
  // delays the press by it), so that the server's own time stamps are that far apart. Unlike the
  // others it returns without a settling pause (the next KeyAfter's pause starts at once).
  bool KeyAfter(const std::string& name, unsigned pauseMs);
  void Type(const std::string& text);
  // The colour (0xRRGGBB) of a point of the screen; -1 when it cannot be read.
  long PixelAt(int x, int y);
  // The average brightness of a part of the screen; -1 when it cannot be read.
  double Brightness(int x, int y, int width, int height);

 private:
  void Sync();
  unsigned long Search(unsigned long window, const std::string& title);
  XWindowBox FindTopLevel(unsigned long except, bool popup, int minWidth, int minHeight, int ms);
  void* display_ = nullptr;
};

}  // namespace orv::test
