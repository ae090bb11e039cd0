#include "platform/x11/watched_display.h"

#include <X11/Xlib.h>

#include <map>
#include <mutex>

namespace orv {
namespace {

// The watched connections of the process. Xlib's I/O error handler is one for the process, so
// the connections it must spare are kept in one place.
struct Watched {
  std::recursive_mutex mutex;  // Xlib may call the handler from inside XCloseDisplay
  std::map<Display*, std::atomic<bool>*> flags;
  XIOErrorHandler previous = nullptr;
};

Watched& Registry() {
  static Watched watched;
  return watched;
}

int OnIOError(Display* display) {
  Watched& watched = Registry();
  XIOErrorHandler previous;
  {
    std::lock_guard<std::recursive_mutex> lock(watched.mutex);
    const auto it = watched.flags.find(display);
    if (it != watched.flags.end()) {
      *it->second = true;
      return 0;  // Xlib goes on to the display's exit handler, which returns too
    }
    previous = watched.previous;
  }
  return previous ? previous(display) : 0;  // another connection: as before
}

void OnIOErrorExit(Display*, void*) {}

}  // namespace

Display* OpenWatchedDisplay(const char* name, std::atomic<bool>* lost) {
  Display* display = XOpenDisplay(name);
  if (!display) return nullptr;
  Watched& watched = Registry();
  {
    std::lock_guard<std::recursive_mutex> lock(watched.mutex);
    static std::once_flag installed;
    std::call_once(installed, [&] { watched.previous = XSetIOErrorHandler(&OnIOError); });
    watched.flags[display] = lost;
  }
  XSetIOErrorExitHandler(display, &OnIOErrorExit, nullptr);
  return display;
}

void CloseWatchedDisplay(Display* display) {
  if (!display) return;
  Watched& watched = Registry();
  std::lock_guard<std::recursive_mutex> lock(watched.mutex);
  XCloseDisplay(display);  // still watched while it may break
  watched.flags.erase(display);
}

}  // namespace orv
