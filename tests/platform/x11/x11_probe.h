#pragma once
// A test's own connection to the X server, as another client sees the windows: the outline the
// server holds for a window, the viewable top-level windows, and clicks injected through XTest.
// Kept apart from Qt, whose headers do not mix with Xlib's.
#include <string>
#include <vector>

namespace orv::test {

class X11Probe {
 public:
  struct Rect {
    int x, y, width, height;
  };
  explicit X11Probe(const std::string& display);
  ~X11Probe();
  X11Probe(const X11Probe&) = delete;
  X11Probe& operator=(const X11Probe&) = delete;
  bool ok() const { return display_ != nullptr; }

  // The rectangles of the window's bounding shape.
  std::vector<Rect> Outline(unsigned long window);
  // A viewable top-level window of the given size: its id (0 when none) and place.
  unsigned long FindViewable(int width, int height, int* x, int* y);
  int ScreenWidth();
  int ScreenHeight();
  // Moves the pointer to (x, y) and clicks the left button.
  void Click(int x, int y);

 private:
  void* display_ = nullptr;
};

}  // namespace orv::test
