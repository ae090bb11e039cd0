#include "platform/x11/active_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

#include <deque>
#include <utility>

#include "platform/x11/x11_connection.h"

namespace orv::x11 {
namespace {

// How far below the active window a client window is looked for, and how many windows are looked
// at in all: window managers put a client one to three levels inside its frame.
constexpr int kClientDepth = 4;
constexpr int kMostWindowsLookedAt = 256;

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

bool HasProperty(Display* display, Window window, Atom property) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  int rc = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &actualType, &format, &count,
                              &after, &data);
  if (data) XFree(data);
  return rc == Success && actualType != None;
}

pid_t WmPid(Display* display, Window window) {
  unsigned long pid = 0;
  if (!ReadProperty32(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, pid)) return 0;
  return ValidPid(pid);
}

// The window itself when it carries WM_STATE, else the nearest window inside it that does (breadth
// first, within kClientDepth levels); None when there is none.
Window ClientWindow(Display* display, Window window) {
  // Only asks whether the atom exists: where no window manager ever set it, no window has it.
  const Atom wmState = XInternAtom(display, "WM_STATE", True);
  if (wmState == None) return None;
  std::deque<std::pair<Window, int>> queue{{window, 0}};
  int lookedAt = 0;
  while (!queue.empty() && lookedAt < kMostWindowsLookedAt) {
    const auto [candidate, depth] = queue.front();
    queue.pop_front();
    ++lookedAt;
    if (HasProperty(display, candidate, wmState)) return candidate;
    if (depth >= kClientDepth) continue;
    Window root = None, parent = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, candidate, &root, &parent, &children, &count)) continue;
    // Children come bottom first; the one on top is the likeliest client.
    for (unsigned i = count; i-- > 0;) queue.emplace_back(children[i], depth + 1);
    if (children) XFree(children);
  }
  return None;
}

// The process of the X client that created `window`, through the X-Resource extension (1.2 or
// later); 0 when the server cannot tell (no extension, a remote client, a window gone).
pid_t CreatorPid(Display* display, Window window) {
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XResQueryExtension(display, &event, &error)) return 0;
  if (!XResQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 2)) return 0;
  XResClientIdSpec wanted{};
  wanted.client = window;
  wanted.mask = XRES_CLIENT_ID_PID_MASK;
  long count = 0;
  XResClientIdValue* ids = nullptr;
  if (XResQueryClientIds(display, 1, &wanted, &count, &ids) != Success) return 0;
  pid_t pid = 0;
  for (long i = 0; i < count && pid == 0; ++i) {
    if (XResGetClientIdType(&ids[i]) != XRES_CLIENT_ID_PID) continue;
    const pid_t value = XResGetClientPid(&ids[i]);
    if (value > 0) pid = value;
  }
  XResClientIdsDestroy(count, ids);
  return pid;
}

pid_t QueryForeground(Display* display) {
  unsigned long active = 0;
  Atom activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  if (!ReadProperty32(display, DefaultRootWindow(display), activeAtom, XA_WINDOW, active) || active == None) return 0;
  const Window window = static_cast<Window>(active);
  if (const pid_t pid = WmPid(display, window)) return pid;
  const Window client = ClientWindow(display, window);
  if (client == None) return 0;
  if (client != window)
    if (const pid_t pid = WmPid(display, client)) return pid;
  return CreatorPid(display, client);
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
