#pragma once
// A private Xvfb server for the tests that need an X display. The server picks a free
// display number itself (-displayfd); DISPLAY points at it while the object lives.
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace orv::test {

class XvfbServer {
 public:
  // `screen` is Xvfb's "WIDTHxHEIGHTxDEPTH" of screen 0.
  explicit XvfbServer(const char* screen = "800x600x24") {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      std::string fd = std::to_string(fds[1]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", screen,
               "-noreset", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    if (pid_ < 0) {
      ::close(fds[0]);
      return;
    }
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    ::close(fds[0]);
    if (number.empty()) {
      Stop();
      return;
    }
    display_ = ":" + number;
    const char* old = std::getenv("DISPLAY");
    had_display_ = old != nullptr;
    if (old) old_display_ = old;
    ::setenv("DISPLAY", display_.c_str(), 1);
  }
  ~XvfbServer() {
    Stop();
    if (!display_.empty()) {
      if (had_display_)
        ::setenv("DISPLAY", old_display_.c_str(), 1);
      else
        ::unsetenv("DISPLAY");
    }
  }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // Empty when Xvfb could not be started (tests then skip and say so).
  const std::string& display() const { return display_; }

 private:
  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  pid_t pid_ = -1;
  std::string display_;
  std::string old_display_;
  bool had_display_ = false;
};

}  // namespace orv::test
