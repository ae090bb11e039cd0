// The window bus's public calls; the work is done in the files listed in bus_internal.h.
#include "link/window_bus.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "link/bus_frame.h"
#include "link/bus_internal.h"

namespace orv::bus {

using namespace internal;

namespace {

constexpr int kPostRoomWaitMs = 100;  // how long Post waits for room in a full queue

// Reads the answers waiting on a connection without blocking, for a send that has stopped
// waiting: those of earlier sends are dropped. Returns whether the connection is still there.
bool DropLateAnswers(ThreadContext& t, WindowHandle h, Outgoing& out) {
  for (;;) {
    uint8_t bytes[kBusFrameSize + 1];
    ssize_t n = ::recv(out.fd, bytes, sizeof bytes, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return true;
    if (n <= 0) {
      DropOutgoing(t, h);
      return false;
    }
    BusFrame reply;
    if (DecodeBusFrame(bytes, static_cast<size_t>(n), reply) && reply.kind == BusFrame::kReply && out.unanswered)
      --out.unanswered;
  }
}

// Send and SendTimeout: timeoutMs < 0 waits as long as the receiver lives.
LResult SendWaiting(WindowHandle h, uint32_t code, WParam w, LParam l, int timeoutMs, SendOutcome* outcome) {
  SendOutcome dummy;
  SendOutcome& result = outcome ? *outcome : dummy;
  result = SendOutcome::kNotDelivered;
  if (h == 0) return 0;
  // The clock counts whole milliseconds and part of the current one may be gone: one more keeps
  // the wait from ending before the whole time-out.
  uint64_t deadline = timeoutMs < 0 ? 0 : NowMs() + static_cast<uint64_t>(timeoutMs) + 1;
  auto remaining = [&]() -> int {
    if (timeoutMs < 0) return -1;
    uint64_t now = NowMs();
    return now >= deadline ? 0 : static_cast<int>(deadline - now);
  };
  ThreadContext& t = Self();
  bool local;
  ThreadContext* owner = OwnerThread(h, &local);
  if (local && owner == &t) {
    bool delivered = false;
    LResult r = Deliver(h, code, w, l, ::getpid(), &delivered);
    result = delivered ? SendOutcome::kDelivered : SendOutcome::kNotDelivered;
    return r;
  }
  if (local) {
    auto waiter = std::make_shared<SendWaiter>();
    waiter->wake = t.eventFdOwner;
    std::shared_ptr<int> wake;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      auto it = g_windows.find(h);
      if (it == g_windows.end()) return 0;
      it->second.thread->queue.push_back(QueuedMessage{h, code, w, l, ::getpid(), waiter});
      wake = it->second.thread->eventFdOwner;
    }
    Wake(*wake);
    if (!WaitServicing(t, -1, 0, remaining(), [&](short) { return waiter->done.load(); })) {
      // The message stays queued and is handled later; its answer goes to the waiter, which
      // the receiver still holds, and nobody reads it.
      result = SendOutcome::kTimedOut;
      return 0;
    }
    result = waiter->delivered ? SendOutcome::kDelivered : SendOutcome::kNotDelivered;
    return waiter->delivered ? waiter->result : 0;
  }
  Outgoing* out = Connection(t, h);
  if (!out) return 0;
  int fd = out->fd;
  if (out->unanswered) {
    // A receiver that has not answered an earlier send in time is taken as hung until its
    // answers come: nothing is sent to it, and the sender does not wait again.
    if (!DropLateAnswers(t, h, *out)) return 0;
    if (out->unanswered && timeoutMs >= 0) {
      result = SendOutcome::kTimedOut;
      return 0;
    }
  }
  uint32_t sequence = t.nextSequence++;
  BusFrame f{BusFrame::kSend, 0, h, code, w, l, 0, sequence};
  if (!WriteFrame(t, h, fd, f, remaining())) {
    if (t.outgoing.count(h)) result = SendOutcome::kTimedOut;  // still there: no room in time
    return 0;
  }
  LResult answer = 0;
  bool answered = false, gone = false;
  bool done = WaitServicing(t, fd, POLLIN, remaining(), [&](short rev) {
    if (!(rev & (POLLIN | POLLHUP | POLLERR))) return false;
    for (;;) {
      uint8_t bytes[kBusFrameSize + 1];
      ssize_t n = ::recv(fd, bytes, sizeof bytes, MSG_DONTWAIT);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) return false;
      if (n <= 0) {
        gone = true;
        return true;
      }
      BusFrame reply;
      if (!DecodeBusFrame(bytes, static_cast<size_t>(n), reply) || reply.kind != BusFrame::kReply) continue;
      if (reply.sequence == sequence) {
        answer = reply.result;
        answered = reply.flags & 1;
        return true;
      }
      // The late answer of a send that timed out: dropped.
      auto it = t.outgoing.find(h);
      if (it != t.outgoing.end() && it->second.unanswered) --it->second.unanswered;
    }
  });
  if (gone) {
    DropOutgoing(t, h);
    return 0;
  }
  if (!done) {
    auto it = t.outgoing.find(h);
    if (it != t.outgoing.end()) ++it->second.unanswered;
    result = SendOutcome::kTimedOut;
    return 0;
  }
  result = answered ? SendOutcome::kDelivered : SendOutcome::kNotDelivered;
  return answered ? answer : 0;
}

}  // namespace

std::string BusFolder() { return CurrentFolder().path; }

WindowHandle CreateWindow(MessageTarget* target, std::u16string_view title) {
  if (!target) return 0;
  ThreadContext& t = Self();
  std::string folder = CurrentFolder().path;
  if (folder.empty()) return 0;
  static std::mt19937 random(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
  for (int attempt = 0; attempt < 64; ++attempt) {
    WindowHandle h;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      h = 0x10000 + random() % 0x7FFE0000u;
      if (g_windows.count(h)) continue;
    }
    Claim claim = ClaimEndpoint(folder, h, title);
    if (claim == Claim::kFailed) return 0;
    if (claim == Claim::kTaken) continue;
    int fd = ListenEndpoint(folder, h);
    if (fd < 0) {
      ::unlink(InfoPath(folder, h).c_str());
      continue;  // the socket's name is someone else's: another handle
    }
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      g_windows[h] = LocalWindow{target, &t, fd, std::u16string(title), folder};
    }
    t.listeners[fd] = h;
    WatchFd(t, fd);
    return h;
  }
  return 0;
}

void DestroyWindow(WindowHandle h) {
  LocalWindow w;
  std::vector<std::shared_ptr<SendWaiter>> waiting;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(h);
    if (it == g_windows.end()) return;
    w = it->second;
    g_windows.erase(it);
    auto& q = w.thread->queue;
    for (auto m = q.begin(); m != q.end();) {
      if (m->window != h) {
        ++m;
        continue;
      }
      if (m->waiter) waiting.push_back(m->waiter);
      m = q.erase(m);
    }
  }
  for (auto& waiter : waiting) FinishWaiter(waiter, 0, false);
  RemoveEndpointFiles(w.folder, h);
  // The connections belong to the window's thread; this is called on it (windows are
  // destroyed by their owners), or from its ThreadContext's destructor.
  ThreadContext& t = *w.thread;
  ::epoll_ctl(t.epollFd, EPOLL_CTL_DEL, w.listenFd, nullptr);
  ::close(w.listenFd);
  t.listeners.erase(w.listenFd);
  std::vector<int> conns;
  for (auto& [fd, in] : t.incoming)
    if (in.window == h) conns.push_back(fd);
  for (int fd : conns) CloseIncoming(t, fd);
  for (auto* d : {&t.deferred, &t.held})
    for (auto m = d->begin(); m != d->end();) m = m->window == h ? d->erase(m) : m + 1;
}

bool SetWindowText(WindowHandle h, std::u16string_view title) {
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(h);
    if (it == g_windows.end()) return false;
    it->second.title = title;
    folder = it->second.folder;
  }
  return RewriteEndpoint(folder, h, title);
}

std::u16string WindowText(WindowHandle h) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(h);
    if (it != g_windows.end()) return it->second.title;
  }
  EndpointInfo info;
  return ReadLiveEndpoint(CurrentFolder(), h, info) ? info.title : std::u16string();
}

WindowHandle FindWindow(std::u16string_view title) { return FindLive(title); }

bool IsWindow(WindowHandle h) {
  if (h == 0) return false;
  bool local;
  OwnerThread(h, &local);
  if (local) return true;
  EndpointInfo info;
  return ReadLiveEndpoint(CurrentFolder(), h, info);
}

pid_t WindowProcessId(WindowHandle h) {
  if (h == 0) return 0;
  bool local;
  OwnerThread(h, &local);
  if (local) return ::getpid();
  ThreadContext& t = Self();
  if (Outgoing* out = Connection(t, h)) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(out->fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.pid > 0) return cred.pid;
  }
  EndpointInfo info;
  return ReadLiveEndpoint(CurrentFolder(), h, info) ? info.pid : 0;
}

bool Post(WindowHandle h, uint32_t code, WParam w, LParam l) {
  if (h == 0) return false;
  bool local;
  OwnerThread(h, &local);
  if (local) return PostLocal(h, QueuedMessage{h, code, w, l, ::getpid(), nullptr});
  ThreadContext& t = Self();
  Outgoing* out = Connection(t, h);
  if (!out) return false;
  BusFrame f{BusFrame::kPost, 0, h, code, w, l, 0, 0};
  return WriteFrame(t, h, out->fd, f, kPostRoomWaitMs);
}

LResult Send(WindowHandle h, uint32_t code, WParam w, LParam l, bool* delivered) {
  SendOutcome outcome;
  LResult r = SendWaiting(h, code, w, l, -1, &outcome);
  if (delivered) *delivered = outcome == SendOutcome::kDelivered;
  return r;
}

LResult SendTimeout(WindowHandle h, uint32_t code, WParam w, LParam l, uint32_t timeoutMs, SendOutcome* outcome) {
  int ms = timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(timeoutMs);
  return SendWaiting(h, code, w, l, ms, outcome);
}

int Broadcast(uint32_t code, WParam w, LParam l) {
  int count = 0;
  for (WindowHandle h : AllHandles())
    if (IsWindow(h) && Post(h, code, w, l)) ++count;
  return count;
}

int ThreadWaitFd() { return Self().epollFd; }

size_t DispatchPending() {
  ThreadContext& t = Self();
  size_t handled = 0;
  while (!t.deferred.empty()) {
    QueuedMessage m = std::move(t.deferred.front());
    t.deferred.pop_front();
    DeliverPosted(t, std::move(m), false);
    ++handled;
  }
  return handled + ServiceReady(t, false);
}

bool PumpFor(int timeoutMs, const std::function<bool()>& done) {
  ThreadContext& t = Self();
  uint64_t deadline = NowMs() + static_cast<uint64_t>(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    DispatchPending();
    if (done && done()) return true;
    uint64_t now = NowMs();
    if (now >= deadline) return false;
    pollfd p{t.epollFd, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(deadline - now));
  }
}

void WaitServicingSends(const std::function<bool()>& done) {
  ThreadContext& t = Self();
  while (!done()) WaitServicing(t, -1, 0, 10, [&](short) { return done(); });
}

}  // namespace orv::bus
