#pragma once
// The process behind the window the window manager marks active, through the process's shared
// connection to the X display.
#include <sys/types.h>

#include <string>

namespace orv::x11 {

struct ActiveWindowProcess {
  // 0 when no window is active or its process cannot be told.
  pid_t pid = 0;
  // False when no display answers; `why` then says why.
  bool display = false;
  std::string why;
};

// The root window's _NET_ACTIVE_WINDOW names the active window. Its process is, in this order:
//  1. the window's _NET_WM_PID;
//  2. when the window is not itself a top-level client (it carries no WM_STATE, as a window
//     manager's frame does not), the client window inside it (the first one, nearest first,
//     that carries WM_STATE), and that window's _NET_WM_PID;
//  3. the process of the X client that created that client window, as the X-Resource
//     extension reports it (only for clients on this machine; remote ones have no process id
//     here).
// A window without WM_STATE that contains no client is not asked of the X-Resource extension:
// its creator may well be the window manager rather than the program the user sees.
// A connection found lost is replaced once, so a restarted X server is picked up at once.
ActiveWindowProcess QueryActiveWindowProcess();

}  // namespace orv::x11
