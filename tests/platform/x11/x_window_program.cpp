// orv_test_xwindow [PID]: shows one plain Xlib window on $DISPLAY, with _NET_WM_PID set to PID
// when given (else without it), writes the window's id in decimal and a line break on standard
// output once the window is mapped, and ends when its standard input closes.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 50, 50, 200, 150, 0, 0, 0);
  XStoreName(display, window, "orv test window");
  if (argc > 1) {
    unsigned long pid = std::strtoul(argv[1], nullptr, 10);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
  }
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  XFlush(display);
  // Under a window manager the window is mapped once the manager has taken it in.
  for (XEvent event;;) {
    XNextEvent(display, &event);
    if (event.type == MapNotify && event.xmap.window == window) break;
  }
  std::printf("%lu\n", window);
  std::fflush(stdout);
  // Until standard input closes, answering the X server meanwhile.
  pollfd fds[2] = {{0, POLLIN, 0}, {ConnectionNumber(display), POLLIN, 0}};
  for (;;) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
    }
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[0].revents) {
      char byte;
      if (::read(0, &byte, 1) <= 0) break;
    }
    if (fds[1].revents & (POLLHUP | POLLERR)) break;
  }
  XCloseDisplay(display);
  return 0;
}
