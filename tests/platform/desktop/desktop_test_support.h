#pragma once
// Helpers of the desktop service tests: environment changes undone at the end of a scope, and
// child processes started with a chosen argv[0].
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace orv::test {

// Sets (or with nullopt removes) an environment variable until the end of the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A child process running `program` with the given argv (argv[0] first). The constructor
// returns once the program is running (the exec happened); the destructor kills and reaps it.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& argv) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      ::execv(program.c_str(), args.data());
      char failed = 1;
      [[maybe_unused]] ssize_t n = ::write(fds[1], &failed, 1);
      ::_exit(127);
    }
    ::close(fds[1]);
    // The write end closes at the exec: end of file then means the program runs.
    char byte;
    ssize_t n;
    do n = ::read(fds[0], &byte, 1);
    while (n < 0 && errno == EINTR);
    ::close(fds[0]);
    if (n != 0 && pid_ > 0) {
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  ~ChildProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // -1 when it could not be started.
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

}  // namespace orv::test
