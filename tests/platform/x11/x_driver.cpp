#include "tests/platform/x11/x_driver.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <thread>

namespace orv::test {
namespace {

Display* D(void* p) { return static_cast<Display*>(p); }

}  // namespace

XDriver::XDriver(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
  // Windows come and go while they are looked over: an error about one that went is no fault.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
}

XDriver::~XDriver() {
  if (display_) XCloseDisplay(D(display_));
}

XWindowBox XDriver::Find(const std::string& title, int ms) {
  Display* d = D(display_);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    Window w = Search(DefaultRootWindow(d), title);
    XWindowAttributes a;
    Window child;
    XWindowBox box;
    if (w && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable &&
        XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &box.x, &box.y, &child)) {
      box.window = w;
      box.width = a.width;
      box.height = a.height;
      return box;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return {};
}

// A shown child of the root other than `except`, popup (override-redirect) or not as asked,
// at least `minWidth` x `minHeight`, waiting up to `ms` for one.
XWindowBox XDriver::FindTopLevel(unsigned long except, bool popup, int minWidth, int minHeight, int ms) {
  Display* d = D(display_);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    XWindowBox box;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) {
      for (unsigned i = 0; i < n && !box; ++i) {
        XWindowAttributes a;
        if (children[i] == except || !XGetWindowAttributes(d, children[i], &a)) continue;
        if (a.map_state != IsViewable || static_cast<bool>(a.override_redirect) != popup || a.width < minWidth ||
            a.height < minHeight)
          continue;
        box = XWindowBox{children[i], a.x, a.y, a.width, a.height};
      }
      if (children) XFree(children);
    }
    if (box) return box;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return {};
}

XWindowBox XDriver::FindOther(unsigned long except, int ms) { return FindTopLevel(except, false, 100, 60, ms); }

XWindowBox XDriver::FindPopup(unsigned long except, int ms) { return FindTopLevel(except, true, 20, 20, ms); }

bool XDriver::WaitFocusIn(const XWindowBox& w, int ms) {
  Display* d = D(display_);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    // Up from the focus window to the root, looking for `w`.
    for (Window at = focus; at != 0 && at != PointerRoot;) {
      if (at == w.window) return true;
      Window root, parent, *children = nullptr;
      unsigned n = 0;
      if (!XQueryTree(d, at, &root, &parent, &children, &n)) break;
      if (children) XFree(children);
      if (at == root) break;
      at = parent;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

bool XDriver::WaitGone(const std::string& title, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (Shown(title)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void XDriver::MoveTo(int x, int y) {
  XTestFakeMotionEvent(D(display_), -1, x, y, CurrentTime);
  Sync();
}

void XDriver::Click(const XWindowBox& w, int x, int y, int button) {
  MoveTo(w.x + x, w.y + y);
  XTestFakeButtonEvent(D(display_), button, True, CurrentTime);
  Sync();
  XTestFakeButtonEvent(D(display_), button, False, CurrentTime);
  Sync();
}

void XDriver::Drag(const XWindowBox& w, int fx, int fy, int tx, int ty) {
  MoveTo(w.x + fx, w.y + fy);
  XTestFakeButtonEvent(D(display_), 1, True, CurrentTime);
  Sync();
  // A few small steps start the drag; the rest carry it over.
  for (int i = 1; i <= 5; ++i) MoveTo(w.x + fx + i * 3, w.y + fy + i * 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (int i = 1; i <= 20; ++i) MoveTo(w.x + fx + (tx - fx) * i / 20, w.y + fy + (ty - fy) * i / 20);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  XTestFakeButtonEvent(D(display_), 1, False, CurrentTime);
  Sync();
}

namespace {

void SendKey(Display* d, KeySym sym) {
  const KeyCode code = XKeysymToKeycode(d, sym);
  const bool shift = XkbKeycodeToKeysym(d, code, 0, 0) != sym && XkbKeycodeToKeysym(d, code, 0, 1) == sym;
  const KeyCode shiftCode = XKeysymToKeycode(d, XK_Shift_L);
  if (shift) XTestFakeKeyEvent(d, shiftCode, True, CurrentTime);
  XTestFakeKeyEvent(d, code, True, CurrentTime);
  XTestFakeKeyEvent(d, code, False, CurrentTime);
  if (shift) XTestFakeKeyEvent(d, shiftCode, False, CurrentTime);
}

}  // namespace

bool XDriver::Key(const std::string& name) {
  const KeySym sym = XStringToKeysym(name.c_str());
  if (sym == NoSymbol) return false;
  SendKey(D(display_), sym);
  Sync();
  return true;
}

bool XDriver::KeyAfter(const std::string& name, unsigned pauseMs) {
  const KeySym sym = XStringToKeysym(name.c_str());
  if (sym == NoSymbol) return false;
  const KeyCode code = XKeysymToKeycode(D(display_), sym);
  XTestFakeKeyEvent(D(display_), code, True, pauseMs);
  XTestFakeKeyEvent(D(display_), code, False, CurrentTime);
  // Handled by the server, without Sync's settling pause, which would lengthen the next pause.
  XSync(D(display_), False);
  return true;
}

void XDriver::Type(const std::string& text) {
  for (char c : text) {
    const std::string name(1, c);
    const KeySym sym = c == '/'   ? XK_slash
                       : c == '.' ? XK_period
                       : c == '-' ? XK_minus
                       : c == '_' ? XK_underscore
                       : c == ' ' ? XK_space
                                  : XStringToKeysym(name.c_str());
    SendKey(D(display_), sym);
    Sync();
  }
}

long XDriver::PixelAt(int x, int y) {
  XImage* image = XGetImage(D(display_), DefaultRootWindow(D(display_)), x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return -1;
  const long p = static_cast<long>(XGetPixel(image, 0, 0) & 0xFFFFFF);
  XDestroyImage(image);
  return p;
}

double XDriver::Brightness(int x, int y, int w, int h) {
  XImage* image = XGetImage(D(display_), DefaultRootWindow(D(display_)), x, y, w, h, AllPlanes, ZPixmap);
  if (!image) return -1;
  double sum = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const unsigned long p = XGetPixel(image, i, j);
      sum += ((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255);
    }
  XDestroyImage(image);
  return sum / (3.0 * w * h);
}

void XDriver::Sync() {
  XSync(D(display_), False);
  std::this_thread::sleep_for(std::chrono::milliseconds(15));
}

unsigned long XDriver::Search(unsigned long window, const std::string& title) {
  Display* d = D(display_);
  XTextProperty prop;
  if (XGetWMName(d, window, &prop) && prop.value) {
    char** list = nullptr;
    int count = 0;
    bool match = false;
    if (Xutf8TextPropertyToTextList(d, &prop, &list, &count) >= Success && count > 0 && list) match = title == list[0];
    if (list) XFreeStringList(list);
    XFree(prop.value);
    if (match) {
      XWindowAttributes a;
      if (XGetWindowAttributes(d, window, &a) && a.map_state == IsViewable) return window;
    }
  }
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, window, &root, &parent, &children, &n)) return 0;
  unsigned long found = 0;
  for (unsigned i = 0; i < n && !found; ++i) found = Search(children[i], title);
  if (children) XFree(children);
  return found;
}

}  // namespace orv::test
