#include "platform/x11/active_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/x11/x11_connection.h"

namespace orv::x11 {
namespace {

pid_t ValidPid(unsigned long value) { return value > 0 && value <= 0x7FFFFFFF ? static_cast<pid_t>(value) : 0; }

// One 32-bit item of a window property, or false when the window lacks it (or is gone).
bool ReadProperty32(Display* display, Window window, Atom property, Atom type, unsigned long& value) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  int rc =
      XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType, &format, &count, &after, &data);
  bool ok = rc == Success && actualType == type && format == 32 && count >= 1 && data;
  // Xlib hands format-32 items over as longs.
  if (ok) value = reinterpret_cast<unsigned long*>(data)[0];
  if (data) XFree(data);
  return ok;
}

pid_t WmPid(Display* display, Window window) {
  unsigned long pid = 0;
  if (!ReadProperty32(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, pid)) return 0;
  return ValidPid(pid);
}

pid_t QueryForeground(Display* display) {
  unsigned long active = 0;
  Atom activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  if (!ReadProperty32(display, DefaultRootWindow(display), activeAtom, XA_WINDOW, active) || active == None) return 0;
  return WmPid(display, static_cast<Window>(active));
}

}  // namespace

ActiveWindowProcess QueryActiveWindowProcess() {
  ActiveWindowProcess result;
  DisplayLease lease;
  for (int attempt = 0; attempt < 2; ++attempt) {
    Display* display = lease.Get();
    if (!display) {
      result.why = lease.Why();
      return result;
    }
    result.display = true;
    result.pid = QueryForeground(display);
    lease.TakeError();  // a window that vanished meanwhile simply has no process
    if (!lease.Lost()) return result;
    result.pid = 0;
    lease.Reconnect();
  }
  return result;
}

}  // namespace orv::x11
