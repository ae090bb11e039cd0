#pragma once
// Drives real windows on an X display as a person would: finds a top-level window by its
// title, and clicks, drags and types through XTest.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <string>
#include <thread>

namespace orv {

struct XWindowBox {
  Window window = 0;
  int x = 0, y = 0, width = 0, height = 0;
  explicit operator bool() const { return window != 0; }
};

class XDriver {
 public:
  explicit XDriver(const std::string& display) : d_(XOpenDisplay(display.c_str())) {
    // Windows come and go while they are looked over: an error about one that went is no fault.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  ~XDriver() {
    if (d_) XCloseDisplay(d_);
  }
  XDriver(const XDriver&) = delete;
  XDriver& operator=(const XDriver&) = delete;
  bool ok() const { return d_ != nullptr; }

  // The mapped window called `title`, waiting up to `ms` for it.
  XWindowBox Find(const std::string& title, int ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
      Window w = Search(DefaultRootWindow(d_), title);
      XWindowAttributes a;
      Window child;
      XWindowBox box;
      if (w && XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable &&
          XTranslateCoordinates(d_, w, DefaultRootWindow(d_), 0, 0, &box.x, &box.y, &child)) {
        box.window = w;
        box.width = a.width;
        box.height = a.height;
        return box;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < end);
    return {};
  }
  // A shown top-level window other than `except` (a dialog without a title of its own),
  // waiting up to `ms` for one.
  XWindowBox FindOther(Window except, int ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
      Window root, parent, *children = nullptr;
      unsigned n = 0;
      XWindowBox box;
      if (XQueryTree(d_, DefaultRootWindow(d_), &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !box; ++i) {
          XWindowAttributes a;
          if (children[i] == except || !XGetWindowAttributes(d_, children[i], &a)) continue;
          if (a.map_state != IsViewable || a.override_redirect || a.width < 100 || a.height < 60) continue;
          box = XWindowBox{children[i], a.x, a.y, a.width, a.height};
        }
        if (children) XFree(children);
      }
      if (box) return box;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < end);
    return {};
  }
  // Whether a window called `title` is shown now.
  bool Shown(const std::string& title) { return static_cast<bool>(Find(title, 0)); }
  // Waits until no window called `title` is shown.
  bool WaitGone(const std::string& title, int ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (Shown(title)) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  void MoveTo(int x, int y) {
    XTestFakeMotionEvent(d_, -1, x, y, CurrentTime);
    Sync();
  }
  void Click(const XWindowBox& w, int x, int y) {
    MoveTo(w.x + x, w.y + y);
    XTestFakeButtonEvent(d_, 1, True, CurrentTime);
    Sync();
    XTestFakeButtonEvent(d_, 1, False, CurrentTime);
    Sync();
  }
  // Presses at `from`, moves there in steps and releases at `to` (window coordinates).
  void Drag(const XWindowBox& w, int fx, int fy, int tx, int ty) {
    MoveTo(w.x + fx, w.y + fy);
    XTestFakeButtonEvent(d_, 1, True, CurrentTime);
    Sync();
    // A few small steps start the drag; the rest carry it over.
    for (int i = 1; i <= 5; ++i) MoveTo(w.x + fx + i * 3, w.y + fy + i * 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 1; i <= 20; ++i) MoveTo(w.x + fx + (tx - fx) * i / 20, w.y + fy + (ty - fy) * i / 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    XTestFakeButtonEvent(d_, 1, False, CurrentTime);
    Sync();
  }
  void Key(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(d_, sym);
    const bool shift = XkbKeycodeToKeysym(d_, code, 0, 0) != sym && XkbKeycodeToKeysym(d_, code, 0, 1) == sym;
    const KeyCode shiftCode = XKeysymToKeycode(d_, XK_Shift_L);
    if (shift) XTestFakeKeyEvent(d_, shiftCode, True, CurrentTime);
    XTestFakeKeyEvent(d_, code, True, CurrentTime);
    XTestFakeKeyEvent(d_, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(d_, shiftCode, False, CurrentTime);
    Sync();
  }
  void Type(const std::string& text) {
    for (char c : text) {
      std::string name(1, c);
      KeySym sym = c == '/' ? XK_slash : c == '.' ? XK_period : c == '-' ? XK_minus : c == '_' ? XK_underscore
                                                                                                  : XStringToKeysym(name.c_str());
      Key(sym);
    }
  }

 private:
  void Sync() {
    XSync(d_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
  Window Search(Window w, const std::string& title) {
    XTextProperty prop;
    if (XGetWMName(d_, w, &prop) && prop.value) {
      char** list = nullptr;
      int count = 0;
      bool match = false;
      if (Xutf8TextPropertyToTextList(d_, &prop, &list, &count) >= Success && count > 0 && list) match = title == list[0];
      if (list) XFreeStringList(list);
      XFree(prop.value);
      if (match) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable) return w;
      }
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d_, w, &root, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && !found; ++i) found = Search(children[i], title);
    if (children) XFree(children);
    return found;
  }
  Display* d_;
};

}  // namespace orv
