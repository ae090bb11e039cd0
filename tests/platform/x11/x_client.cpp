#include "tests/platform/x11/x_client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/XKBlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>
#include <vector>

namespace orv::test {
namespace {

using Clock = std::chrono::steady_clock;

Atom Intern(Display* display, const char* name) { return XInternAtom(display, name, False); }

// Starts `program` with `argv`, its standard input and output on pipes when asked, its standard
// error on /dev/null. -1 when it could not be started (the exec failed).
pid_t Spawn(const std::string& program, const std::vector<std::string>& argv, int* toChild, int* fromChild) {
  int status[2], in[2] = {-1, -1}, out[2] = {-1, -1};
  if (::pipe2(status, O_CLOEXEC) != 0) return -1;
  if (toChild && ::pipe2(in, O_CLOEXEC) != 0) return -1;
  if (fromChild && ::pipe2(out, O_CLOEXEC) != 0) return -1;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0] >= 0 ? in[0] : null, 0);
    ::dup2(out[1] >= 0 ? out[1] : null, 1);
    ::dup2(null, 2);
    ::execvp(program.c_str(), args.data());
    char failed = 1;
    [[maybe_unused]] ssize_t n = ::write(status[1], &failed, 1);
    ::_exit(127);
  }
  ::close(null);
  ::close(status[1]);
  if (in[0] >= 0) ::close(in[0]);
  if (out[1] >= 0) ::close(out[1]);
  char byte;
  ssize_t n;
  do n = ::read(status[0], &byte, 1);
  while (n < 0 && errno == EINTR);
  ::close(status[0]);
  if (pid < 0 || n != 0) {
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    if (in[1] >= 0) ::close(in[1]);
    if (out[0] >= 0) ::close(out[0]);
    return -1;
  }
  if (toChild) *toChild = in[1];
  if (fromChild) *fromChild = out[0];
  return pid;
}

void Stop(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  pid = -1;
}

}  // namespace

struct XClient::Impl {
  Display* display = nullptr;
  Window focused = None;

  bool Next(XEvent& event, int type) {
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < deadline) {
      while (XPending(display)) {
        XNextEvent(display, &event);
        if (event.type == type) return true;
      }
      pollfd fd{ConnectionNumber(display), POLLIN, 0};
      ::poll(&fd, 1, 20);
    }
    return false;
  }
};

XClient::XClient() : impl_(std::make_unique<Impl>()) { impl_->display = XOpenDisplay(nullptr); }

XClient::~XClient() { Close(); }

bool XClient::Connected() const { return impl_->display != nullptr; }

void XClient::Close() {
  if (impl_->display) XCloseDisplay(impl_->display);
  impl_->display = nullptr;
}

void XClient::Sync() {
  if (impl_->display) XSync(impl_->display, False);
}

XWindowId XClient::NewWindow(XWindowId parent) {
  Display* d = impl_->display;
  if (!d) return 0;
  return XCreateSimpleWindow(d, parent ? parent : DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
}

void XClient::Destroy(XWindowId window) {
  if (impl_->display) XDestroyWindow(impl_->display, window);
}

void XClient::Reparent(XWindowId window, XWindowId parent) {
  if (impl_->display) XReparentWindow(impl_->display, window, parent, 0, 0);
}

void XClient::SetPid(XWindowId window, unsigned long pid, bool asText) {
  Display* d = impl_->display;
  if (!d) return;
  XChangeProperty(d, window, Intern(d, "_NET_WM_PID"), asText ? XA_STRING : XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
}

void XClient::MarkManaged(XWindowId window) {
  Display* d = impl_->display;
  if (!d) return;
  const Atom wmState = Intern(d, "WM_STATE");
  unsigned long state[2] = {NormalState, None};
  XChangeProperty(d, window, wmState, wmState, 32, PropModeReplace, reinterpret_cast<unsigned char*>(state), 2);
}

bool XClient::IsManaged(XWindowId window) {
  Display* d = impl_->display;
  if (!d) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom wmState = Intern(d, "WM_STATE");
  const bool managed =
      XGetWindowProperty(d, window, wmState, 0, 1, False, wmState, &type, &format, &count, &after, &data) == Success &&
      type == wmState;
  if (data) XFree(data);
  return managed;
}

void XClient::Map(XWindowId window) {
  if (!impl_->display) return;
  XMapWindow(impl_->display, window);
  XSync(impl_->display, False);
}

void XClient::SetActive(std::optional<XWindowId> window) {
  Display* d = impl_->display;
  if (!d) return;
  const Atom active = Intern(d, "_NET_ACTIVE_WINDOW");
  if (window) {
    unsigned long value = *window;
    XChangeProperty(d, DefaultRootWindow(d), active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&value), 1);
  } else {
    XDeleteProperty(d, DefaultRootWindow(d), active);
  }
  XSync(d, False);  // in the server before the other connection asks
}

XWindowId XClient::ActiveWindow() {
  Display* d = impl_->display;
  if (!d) return 0;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  XWindowId window = 0;
  if (XGetWindowProperty(d, DefaultRootWindow(d), Intern(d, "_NET_ACTIVE_WINDOW"), 0, 1, False, XA_WINDOW, &type,
                         &format, &count, &after, &data) == Success &&
      type == XA_WINDOW && format == 32 && count == 1 && data)
    window = reinterpret_cast<unsigned long*>(data)[0];
  if (data) XFree(data);
  return window;
}

bool XClient::Activate(XWindowId window, std::chrono::milliseconds timeout) {
  Display* d = impl_->display;
  if (!d) return false;
  const auto deadline = Clock::now() + timeout;
  auto nextRequest = Clock::now();
  while (Clock::now() < deadline) {
    if (ActiveWindow() == window) return true;
    if (Clock::now() >= nextRequest) {
      XEvent event{};
      event.xclient.type = ClientMessage;
      event.xclient.window = window;
      event.xclient.message_type = Intern(d, "_NET_ACTIVE_WINDOW");
      event.xclient.format = 32;
      event.xclient.data.l[0] = 2;  // from a pager: no focus stealing prevention applies
      event.xclient.data.l[1] = CurrentTime;
      XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
      XSync(d, False);
      nextRequest = Clock::now() + std::chrono::milliseconds(100);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return ActiveWindow() == window;
}

bool XClient::HasWindowManager() {
  Display* d = impl_->display;
  if (!d) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", True);
  bool found = check != None &&
               XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                                  &after, &data) == Success &&
               type == XA_WINDOW && count == 1;
  if (data) XFree(data);
  return found;
}

XClient::PointerControl XClient::GetPointerControl() {
  PointerControl control;
  if (impl_->display) XGetPointerControl(impl_->display, &control.numerator, &control.denominator, &control.threshold);
  return control;
}

unsigned long XClient::Keysym(const char* name) { return XStringToKeysym(name); }

unsigned long XClient::KeysymOfKeycode(unsigned keycode, int level) {
  return impl_->display ? XkbKeycodeToKeysym(impl_->display, static_cast<KeyCode>(keycode), 0, level) : 0;
}

unsigned XClient::KeycodeOf(unsigned long keysym) {
  return impl_->display ? XKeysymToKeycode(impl_->display, keysym) : 0;
}

bool XClient::ShowFocusedWindow() {
  Display* d = impl_->display;
  if (!d) return false;
  const Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 800, 600, 0, 0, 0);
  XSelectInput(d, window, KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
  XMapWindow(d, window);
  XEvent event;
  if (!impl_->Next(event, MapNotify)) return false;
  XSetInputFocus(d, window, RevertToParent, CurrentTime);
  XWarpPointer(d, None, window, 0, 0, 0, 0, 100, 100);
  XSync(d, False);
  impl_->focused = window;
  return true;
}

std::optional<XClient::Key> XClient::NextKey(bool press) {
  if (!impl_->display) return std::nullopt;
  XEvent event;
  if (!impl_->Next(event, press ? KeyPress : KeyRelease)) return std::nullopt;
  return Key{event.xkey.keycode, XLookupKeysym(&event.xkey, 0)};
}

std::optional<unsigned> XClient::NextButton(bool press) {
  if (!impl_->display) return std::nullopt;
  XEvent event;
  if (!impl_->Next(event, press ? ButtonPress : ButtonRelease)) return std::nullopt;
  return event.xbutton.button;
}

std::optional<std::pair<int, int>> XClient::PointerInWindow() {
  if (!impl_->display || impl_->focused == None) return std::nullopt;
  Window root, child;
  int rootX, rootY, x, y;
  unsigned mask;
  if (!XQueryPointer(impl_->display, impl_->focused, &root, &child, &rootX, &rootY, &x, &y, &mask)) return std::nullopt;
  return std::make_pair(x, y);
}

XWindowProgram::XWindowProgram(const std::string& argv0, pid_t wmPid) {
  std::vector<std::string> argv = {argv0};
  if (wmPid > 0) argv.push_back(std::to_string(wmPid));
  int output = -1;
  pid_ = Spawn(ORV_TEST_XWINDOW_PROGRAM, argv, &input_, &output);
  if (pid_ < 0) return;
  // The program writes its window's id in decimal and a line break once the window is mapped.
  std::string line;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < deadline && line.find('\n') == std::string::npos) {
    pollfd fd{output, POLLIN, 0};
    if (::poll(&fd, 1, 50) <= 0) continue;
    char buffer[64];
    const ssize_t n = ::read(output, buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<size_t>(n));
  }
  ::close(output);
  if (line.find('\n') != std::string::npos) window_ = std::strtoul(line.c_str(), nullptr, 10);
  if (window_ == 0) {
    Stop(pid_);
    ::close(input_);
    input_ = -1;
  }
}

XWindowProgram::~XWindowProgram() {
  if (input_ >= 0) ::close(input_);
  Stop(pid_);
}

Openbox::Openbox() {
  XClient probe;
  if (!probe.Connected()) {
    why_ = "no X display for openbox";
    return;
  }
  if (probe.HasWindowManager()) {
    why_ = "another window manager already manages the display";
    return;
  }
  pid_ = Spawn("openbox", {"openbox", "--sm-disable"}, nullptr, nullptr);
  if (pid_ < 0) {
    why_ = "openbox cannot be run (is it installed? scripts/setup installs it)";
    return;
  }
  // openbox announces itself before it handles requests, and a window shown in between stays
  // unmanaged: it is ready once a window of the probe's is taken in (asked again every 100 ms).
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  XWindowId window = 0;
  auto nextMap = Clock::now();
  while (!window || !probe.IsManaged(window)) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      why_ = "openbox ended at once";
      return;
    }
    if (Clock::now() >= deadline) {
      Stop(pid_);
      why_ = "openbox did not take the display within five seconds";
      return;
    }
    if (!window && probe.HasWindowManager()) window = probe.NewWindow();
    if (window && Clock::now() >= nextMap) {
      probe.Map(window);
      nextMap = Clock::now() + std::chrono::milliseconds(100);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  probe.Destroy(window);
  probe.Sync();
}

Openbox::~Openbox() { Stop(pid_); }

}  // namespace orv::test
