// A second process for the window-bus and pipe tests.
//
//   orv_bus_peer window TITLE          one window; prints "ready <handle>" and serves it
//   orv_bus_peer agent TITLE           the same, plus a pipe server (as an elevated agent)
//   orv_bus_peer panel UID             drops to UID, then reaches the agent window as a panel
//                                      would; prints what it found and what it got
//   orv_bus_peer logging TITLE         one window that prints "got <code>" for every message
//                                      it receives (an impostor taking another's title)
//   orv_bus_peer lock PATH             takes an exclusive lock on the file at PATH, prints
//                                      "locked" and holds it until killed
//   orv_bus_peer idle-pipe PATH N      opens N connections to the pipe at PATH and keeps them
//                                      idle; prints "served S refused R" once the server has
//                                      answered (a refused one gets the busy notice)
//
// The window answers the peer messages of peer_protocol.h.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "link/agent_link.h"
#include "link/messages.h"
#include "link/pipe_channel.h"
#include "link/window_bus.h"
#include "platform/unix_socket.h"
#include "tests/link/peer_protocol.h"

namespace orv::test {
namespace {

bool g_quit = false;

class PeerWindow : public MessageTarget {
 public:
  LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
    if (logging) {
      std::printf("got %u\n", code);
      std::fflush(stdout);
      return 1;
    }
    switch (code) {
      case kPeerEcho:
        return static_cast<LResult>(w) + l;
      case kPeerSendBack:
        // Sends to the window named in wParam while that window's thread waits for us.
        return bus::Send(static_cast<WindowHandle>(w), kPeerCallback, 0, l) + 1;
      case kPeerPostThenSend:
        bus::Post(static_cast<WindowHandle>(w), kPeerPosted, 0, 0);
        return bus::Send(static_cast<WindowHandle>(w), kPeerCallback, 0, 0);
      case kPeerRename:
        return bus::SetWindowText(handle, ToUtf16(std::to_string(l))) ? 1 : 0;
      case kPeerDie:
        ::_exit(3);  // in the middle of a Send, without an answer
      case kPeerPosted:
        log.push_back(static_cast<int64_t>(w));
        return 0;
      case kPeerPostedCount:
        return static_cast<LResult>(log.size());
      case kPeerPostedAt:
        return w < log.size() ? log[w] : -1;
      case kPeerRegister:
        return bus::RegisterMessage(u"'Zr4ControlAPIAttach'");
      case kPeerBlock:
        ::usleep(static_cast<useconds_t>(l) * 1000);
        return 1;
      case kPeerSenderPid:
        return bus::CurrentSenderProcessId();
      case kPeerQuit:
        g_quit = true;
        return 1;
      default:
        // Anything else (the pipe's codes) is logged as code and parameters.
        log.push_back(static_cast<int64_t>(code) << 32 | (w & 0xFFFF) << 16 | (l & 0xFFFF));
        return 1;
    }
  }
  WindowHandle handle = 0;
  std::vector<int64_t> log;
  bool logging = false;
};

int ServeWindow(const char* title, bool agent, bool logging = false) {
  PeerWindow window;
  window.logging = logging;
  window.handle = bus::CreateWindow(&window, ToUtf16(title));
  if (!window.handle) return 2;
  std::unique_ptr<PipeChannel> pipe;
  if (agent) {
    pipe = std::make_unique<PipeChannel>(window.handle, PipePath(kPipeName), PipeChannel::kServer);
    pipe->Start();
    while (!pipe->Running() && !pipe->Finished()) ::usleep(1000);
  }
  std::printf("ready %u\n", window.handle);
  std::fflush(stdout);
  while (!g_quit) bus::PumpFor(100, [] { return g_quit; });
  pipe.reset();
  bus::DestroyWindow(window.handle);
  return 0;
}

int ActAsPanel(const char* uid) {
  uid_t id = static_cast<uid_t>(std::atoi(uid));
  if (::setgid(id) != 0 || ::setuid(id) != 0) return 2;
  bool pipe = AgentNeedsPipe();
  WindowHandle agent = bus::FindWindow(kAgentWindowTitle);
  bool direct = bus::Post(agent, UM_QUERY_MEMORY_SIZE, 0, 0);
  AgentLink link(pipe, 0);
  while (pipe && link.pipe()->ConnectedEntries() == 0 && !link.pipe()->Finished()) ::usleep(1000);
  LResult sent = link.Send(UM_SET_POLLING_RATE, 2, 0);
  std::printf("found=%d pipe=%d direct=%d sent=%lld\n", agent != 0, pipe ? 1 : 0, direct ? 1 : 0,
              static_cast<long long>(sent));
  std::fflush(stdout);
  return 0;
}

int HoldLock(const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::flock(fd, LOCK_EX) != 0) return 2;
  std::printf("locked\n");
  std::fflush(stdout);
  for (;;) ::pause();
}

int HoldPipe(const char* path, int count) {
  std::vector<int> fds;
  for (int i = 0; i < count; ++i) {
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr;
    if (fd < 0 || !UnixSocketAddress(path, addr) || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
      return 2;
    fds.push_back(fd);
  }
  // A refused connection gets the busy notice and is closed at once; a served one stays quiet.
  int served = 0, refused = 0;
  for (int fd : fds) {
    pollfd p{fd, POLLIN, 0};
    bool closed = ::poll(&p, 1, 200) > 0;
    (closed ? refused : served)++;
  }
  std::printf("served %d refused %d\n", served, refused);
  std::fflush(stdout);
  for (;;) ::pause();
}

}  // namespace
}  // namespace orv::test

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);
  if (argc == 3 && std::strcmp(argv[1], "window") == 0) return orv::test::ServeWindow(argv[2], false);
  if (argc == 3 && std::strcmp(argv[1], "agent") == 0) return orv::test::ServeWindow(argv[2], true);
  if (argc == 3 && std::strcmp(argv[1], "panel") == 0) return orv::test::ActAsPanel(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "logging") == 0) return orv::test::ServeWindow(argv[2], false, true);
  if (argc == 3 && std::strcmp(argv[1], "lock") == 0) return orv::test::HoldLock(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "idle-pipe") == 0) return orv::test::HoldPipe(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: orv_bus_peer window|agent|logging TITLE | panel UID | lock PATH | idle-pipe PATH N\n");
  return 1;
}
