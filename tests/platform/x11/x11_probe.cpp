#include "tests/platform/x11/x11_probe.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>

namespace orv::test {

namespace {
Display* D(void* p) { return static_cast<Display*>(p); }
}  // namespace

X11Probe::X11Probe(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}

X11Probe::~X11Probe() {
  if (display_) XCloseDisplay(D(display_));
}

std::vector<X11Probe::Rect> X11Probe::Outline(unsigned long window) {
  std::vector<Rect> out;
  int count = 0, ordering = 0;
  XRectangle* rects = XShapeGetRectangles(D(display_), window, ShapeBounding, &count, &ordering);
  for (int i = 0; i < count; ++i) out.push_back({rects[i].x, rects[i].y, rects[i].width, rects[i].height});
  if (rects) XFree(rects);
  return out;
}

unsigned long X11Probe::FindViewable(int width, int height, int* x, int* y) {
  Display* dpy = D(display_);
  Window root = DefaultRootWindow(dpy), parent = 0, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(dpy, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable && a.width == width &&
        a.height == height) {
      found = children[i];
      *x = a.x;
      *y = a.y;
    }
  }
  if (children) XFree(children);
  return found;
}

int X11Probe::ScreenWidth() { return DisplayWidth(D(display_), DefaultScreen(D(display_))); }
int X11Probe::ScreenHeight() { return DisplayHeight(D(display_), DefaultScreen(D(display_))); }

void X11Probe::Click(int x, int y) {
  Display* dpy = D(display_);
  XTestFakeMotionEvent(dpy, -1, x, y, 0);
  XTestFakeButtonEvent(dpy, 1, True, 0);
  XTestFakeButtonEvent(dpy, 1, False, 0);
  XFlush(dpy);
}

}  // namespace orv::test
