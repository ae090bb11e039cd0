#pragma once
// The messages the test peer's window answers, and a handle on a running peer process.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace orv::test {

enum : uint32_t {
  kPeerEcho = 0x9001,          // result wParam + lParam
  kPeerSendBack = 0x9002,      // sends kPeerCallback (lParam) to window wParam; result its answer + 1
  kPeerCallback = 0x9003,      // what the test's own window gets from kPeerSendBack
  kPeerRename = 0x9004,        // the window's title becomes the decimal lParam
  kPeerDie = 0x9005,           // the peer ends inside the handler, without answering
  kPeerPosted = 0x9006,        // logged (wParam)
  kPeerPostedCount = 0x9007,   // result: entries logged
  kPeerPostedAt = 0x9008,      // result: log entry wParam
  kPeerRegister = 0x9009,      // result: the peer's code for "'Zr4ControlAPIAttach'"
  kPeerBlock = 0x900A,         // the handler sleeps lParam ms
  kPeerSenderPid = 0x900B,     // result: the sender's process id as the peer sees it
  kPeerQuit = 0x900C,          // the peer ends its loop
  kPeerPostThenSend = 0x900D,  // posts kPeerPosted, then sends kPeerCallback, to window wParam
};

// A child process running the test peer; its first output line is read back.
class PeerProcess {
 public:
  PeerProcess(const std::string& program, const std::vector<std::string>& args) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
  }
  ~PeerProcess() {
    Kill();
    if (out_ >= 0) ::close(out_);
  }
  // The next line of the peer's output, without the newline; empty at its end.
  std::string ReadLine() {
    std::string line;
    char c;
    while (out_ >= 0 && ::read(out_, &c, 1) == 1 && c != '\n') line.push_back(c);
    return line;
  }
  // The handle from the peer's "ready <handle>" line; 0 if it did not start.
  uint32_t ReadyHandle() {
    std::string line = ReadLine();
    return line.rfind("ready ", 0) == 0 ? static_cast<uint32_t>(std::strtoul(line.c_str() + 6, nullptr, 10)) : 0;
  }
  void Kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }
  // Waits for the peer to end; its exit status, or -1.
  int Wait() {
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

}  // namespace orv::test
