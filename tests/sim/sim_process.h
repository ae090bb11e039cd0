#pragma once
// Runs OrvMouseSim for process-level tests: a serving simulator in its own device folder, and
// single command-line invocations whose exit status and output the tests look at.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace orv::test {

// The environment of a simulator (and its command lines) living in `folder`.
inline std::vector<std::string> SimEnvironment(const std::string& folder) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("ORV_DEVICE_DIR=", 0) == 0 || entry.rfind("ORV_SIM_STATE=", 0) == 0 ||
        entry.rfind("ORV_TIME_SCALE=", 0) == 0) {
      continue;
    }
    env.push_back(entry);
  }
  env.push_back("ORV_DEVICE_DIR=" + folder);
  env.push_back("ORV_SIM_STATE=" + folder + "/sim.state");
  env.push_back("ORV_TIME_SCALE=0.01");
  return env;
}

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Starts the program with `args`; its stdout and stderr go to the given descriptors (or
// /dev/null when -1).
inline pid_t Spawn(const std::string& folder, const std::vector<std::string>& args, int outFd, int errFd) {
  std::vector<std::string> env = SimEnvironment(folder);
  std::vector<char*> argv{const_cast<char*>(ORV_SIM_PROGRAM)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(outFd >= 0 ? outFd : null, 1);
    ::dup2(errFd >= 0 ? errFd : null, 2);
    ::execve(ORV_SIM_PROGRAM, argv.data(), envp.data());
    ::_exit(127);
  }
  return pid;
}

// One invocation to its end, with its output.
inline RunResult RunSim(const std::string& folder, const std::vector<std::string>& args) {
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return {};
  const pid_t pid = Spawn(folder, args, outPipe[1], errPipe[1]);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  RunResult result;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  char chunk[65536];
  while (open > 0 && ::poll(fds, 2, 10000) > 0) {
    for (pollfd& f : fds) {
      if (f.fd < 0 || !f.revents) continue;
      const ssize_t n = ::read(f.fd, chunk, sizeof chunk);
      if (n <= 0) {
        ::close(f.fd);
        f.fd = -1;
        --open;
      } else {
        (&f == &fds[0] ? result.out : result.err).append(chunk, static_cast<size_t>(n));
      }
    }
  }
  for (pollfd& f : fds) {
    if (f.fd >= 0) ::close(f.fd);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline bool CanConnectStream(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  path.copy(address.sun_path, path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

// A serving simulator, ended (killed if need be) when the object goes.
class SimProcess {
 public:
  SimProcess(std::string folder, std::vector<std::string> options = {}) : folder_(std::move(folder)) {
    std::vector<std::string> args{"serve"};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = Spawn(folder_, args, -1, -1);
    // Ready once the command socket answers (it is bound after the device socket).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (CanConnectStream(folder_ + "/OrvMouseSim.control")) {
        ready_ = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  ~SimProcess() { Kill(SIGKILL); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool ready() const { return ready_; }
  pid_t pid() const { return pid_; }
  RunResult Command(const std::vector<std::string>& args) const { return RunSim(folder_, args); }
  void Signal(int sig) const {
    if (pid_ > 0) ::kill(pid_, sig);
  }
  // Sends `sig` and reaps the process; returns its wait status.
  int Kill(int sig) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, sig);
    return Wait();
  }
  int Wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  std::string folder_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

}  // namespace orv::test
