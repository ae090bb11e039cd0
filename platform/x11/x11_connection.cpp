#include "platform/x11/x11_connection.h"

#include "base/log.h"

#include <X11/Xlib.h>

#include "platform/x11/watched_display.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace orv::x11 {
namespace {

struct Connection {
  std::mutex mutex;
  Display* display = nullptr;
  std::string name;  // the DISPLAY it was opened for
  // Written by the error handlers, which Xlib calls inside our own requests, with the mutex held.
  std::atomic<bool> lost{false};
  bool error = false;
};

Connection& Shared() {
  static Connection connection;
  return connection;
}

// The display of the shared connection, for the handlers to recognise their own errors.
std::atomic<Display*> g_ours{nullptr};
XErrorHandler g_previousError = nullptr;

int OnError(Display* display, XErrorEvent* event) {
  if (display == g_ours.load()) {
    Shared().error = true;
    return 0;
  }
  return g_previousError ? g_previousError(display, event) : 0;
}

void InstallHandlers() {
  static std::once_flag once;
  std::call_once(once, [] { g_previousError = XSetErrorHandler(OnError); });
}

void Close(Connection& c) {
  if (c.display) {
    if (c.lost) ORV_LOG(Desktop, Warning, "connection to X display %s lost", c.name.c_str());
    CloseWatchedDisplay(c.display);  // still ours while it closes, so errors on the way are taken
  }
  g_ours.store(nullptr);
  c.display = nullptr;
  c.name.clear();
  c.lost = false;
  c.error = false;
}

void Open(Connection& c, std::string& why) {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) {
    why = "DISPLAY is not set";
    return;
  }
  InstallHandlers();
  // A lost connection sets `lost` instead of ending the process.
  c.lost = false;
  Display* display = OpenWatchedDisplay(name, &c.lost);
  if (!display) {
    why = std::string("cannot open X display ") + name;
    return;
  }
  g_ours.store(display);
  c.display = display;
  c.name = name;
  c.lost = false;
  c.error = false;
}

}  // namespace

DisplayLease::DisplayLease() : lock_(Shared().mutex) {
  Connection& c = Shared();
  if (c.display) {
    const char* name = std::getenv("DISPLAY");
    if (c.lost || !name || c.name != name) Close(c);
  }
  if (!c.display) Open(c, why_);
}

Display* DisplayLease::Get() const { return Shared().lost ? nullptr : Shared().display; }

bool DisplayLease::Lost() const { return Shared().lost; }

bool DisplayLease::TakeError() {
  bool error = Shared().error;
  Shared().error = false;
  return error;
}

void DisplayLease::Reconnect() {
  Close(Shared());
  why_.clear();
  Open(Shared(), why_);
}

}  // namespace orv::x11
