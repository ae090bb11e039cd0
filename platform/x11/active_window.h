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

// The root window's _NET_ACTIVE_WINDOW names the active window, and its _NET_WM_PID its process.
// A connection found lost is replaced once, so a restarted X server is picked up at once.
ActiveWindowProcess QueryActiveWindowProcess();

}  // namespace orv::x11
