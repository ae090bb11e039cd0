// Connections and frames between processes: every window listens on its socket; a thread
// that writes to another process's window keeps one connection to it and reads the answers
// to its sends on it.
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include "base/log.h"
#include "link/bus_internal.h"
#include "platform/unix_socket.h"

namespace orv::bus::internal {
namespace {

constexpr int kSendBufferBytes = 4 << 20;
constexpr int kFramesPerRound = 256;  // frames read from one connection before the others get a turn

}  // namespace

void CloseIncoming(ThreadContext& t, int fd) {
  ::epoll_ctl(t.epollFd, EPOLL_CTL_DEL, fd, nullptr);
  ::close(fd);
  t.incoming.erase(fd);
}

void DropOutgoing(ThreadContext& t, WindowHandle h) {
  auto it = t.outgoing.find(h);
  if (it == t.outgoing.end()) return;
  ::close(it->second.fd);
  t.outgoing.erase(it);
}

void AcceptAll(ThreadContext& t, int listenFd, WindowHandle h) {
  for (;;) {
    int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    ucred cred{};
    socklen_t len = sizeof cred;
    // Only this process's user and root may write to its windows.
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || (cred.uid != ::geteuid() && cred.uid != 0)) {
      ORV_LOG(Bus, Info, "a connection of user %u to window %u refused", static_cast<unsigned>(cred.uid), h);
      ::close(fd);
      continue;
    }
    t.incoming[fd] = Incoming{h, cred.pid};
    WatchFd(t, fd);
  }
}

void ReadIncoming(ThreadContext& t, int fd, bool sendsOnly, size_t& handled) {
  for (int i = 0; i < kFramesPerRound; ++i) {
    auto it = t.incoming.find(fd);
    if (it == t.incoming.end()) return;  // closed by a nested handler
    Incoming in = it->second;
    uint8_t bytes[kBusFrameSize + 1];
    ssize_t n = ::recv(fd, bytes, sizeof bytes, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
      CloseIncoming(t, fd);
      return;
    }
    BusFrame f;
    if (!DecodeBusFrame(bytes, static_cast<size_t>(n), f) || f.window != in.window) continue;  // malformed: dropped
    if (f.kind == BusFrame::kSend) {
      bool delivered = false;
      LResult r = DeliverSent(t, in.window, f.code, f.wParam, f.lParam, in.peer, &delivered);
      BusFrame reply = f;
      reply.kind = BusFrame::kReply;
      reply.result = r;
      reply.flags = delivered ? 1 : 0;
      uint8_t out[kBusFrameSize];
      EncodeBusFrame(reply, out);
      if (t.incoming.count(fd)) (void)!::send(fd, out, sizeof out, MSG_NOSIGNAL | MSG_DONTWAIT);
      ++handled;
    } else if (f.kind == BusFrame::kPost) {
      DeliverPosted(t, QueuedMessage{in.window, f.code, f.wParam, f.lParam, in.peer, nullptr}, sendsOnly);
      ++handled;
    }
  }
}

size_t ServiceReady(ThreadContext& t, bool sendsOnly) {
  size_t handled = 0;
  epoll_event events[64];
  int n = ::epoll_wait(t.epollFd, events, 64, 0);
  for (int i = 0; i < n; ++i) {
    int fd = events[i].data.fd;
    if (fd == t.eventFd) {
      DrainQueue(t, sendsOnly, handled);
    } else if (auto l = t.listeners.find(fd); l != t.listeners.end()) {
      AcceptAll(t, fd, l->second);
    } else if (t.incoming.count(fd)) {
      ReadIncoming(t, fd, sendsOnly, handled);
    }
  }
  return handled;
}

bool WaitServicing(ThreadContext& t, int fd, short events, int timeoutMs, const std::function<bool(short)>& ready) {
  uint64_t deadline = timeoutMs < 0 ? 0 : NowMs() + static_cast<uint64_t>(timeoutMs);
  ++t.sendDepth;
  bool ok = false;
  for (;;) {
    int wait = -1;
    if (timeoutMs >= 0) {
      uint64_t now = NowMs();
      if (now >= deadline) break;
      wait = static_cast<int>(deadline - now);
    }
    pollfd p[2] = {{t.epollFd, POLLIN, 0}, {fd, events, 0}};
    int n = ::poll(p, fd >= 0 ? 2 : 1, wait);
    if (n < 0 && errno != EINTR) break;
    if (p[0].revents) ServiceReady(t, true);
    if (ready(fd >= 0 ? p[1].revents : 0)) {
      ok = true;
      break;
    }
  }
  if (--t.sendDepth == 0 && !t.deferred.empty()) Wake(t.eventFd);
  return ok;
}

namespace {

// Lets go of the connections to windows whose process has closed its end (the window is gone),
// so that a process does not keep one descriptor for every window it has ever reached.
void DropClosedConnections(ThreadContext& t) {
  for (auto it = t.outgoing.begin(); it != t.outgoing.end();) {
    pollfd p{it->second.fd, 0, 0};
    if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR))) {
      ::close(it->second.fd);
      it = t.outgoing.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace

Outgoing* Connection(ThreadContext& t, WindowHandle h) {
  if (auto it = t.outgoing.find(h); it != t.outgoing.end()) return &it->second;
  DropClosedConnections(t);
  // Only a window that counts is connected to: its .window file and its socket belong to one
  // trusted user, and the process listening is that user's.
  Folder folder = CurrentFolder();
  EndpointInfo info;
  if (folder.path.empty() || !ReadInfo(folder, h, info) || !SocketMatches(folder, h, info)) return nullptr;
  sockaddr_un addr;
  if (!UnixSocketAddress(SocketPath(folder.path, h), addr)) return nullptr;
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  ucred cred{};
  socklen_t len = sizeof cred;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != info.uid) {
    ::close(fd);
    return nullptr;
  }
  int size = kSendBufferBytes;
  ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  Outgoing& out = t.outgoing[h];
  out.fd = fd;
  return &out;
}

bool WriteFrame(ThreadContext& t, WindowHandle h, int fd, const BusFrame& f, int timeoutMs) {
  uint8_t out[kBusFrameSize];
  EncodeBusFrame(f, out);
  for (;;) {
    ssize_t n = ::send(fd, out, sizeof out, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n == static_cast<ssize_t>(sizeof out)) return true;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      bool gone = false;
      bool room = WaitServicing(t, fd, POLLOUT, timeoutMs, [&](short rev) {
        if (rev & (POLLHUP | POLLERR)) gone = true;
        return (rev & (POLLOUT | POLLHUP | POLLERR)) != 0;
      });
      if (room && !gone) continue;
      if (gone) DropOutgoing(t, h);
      return false;
    }
    DropOutgoing(t, h);  // the receiver is gone
    return false;
  }
}

}  // namespace orv::bus::internal
