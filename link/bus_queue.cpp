// The threads that own windows, their queues, and delivery within the process.
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "link/bus_internal.h"

namespace orv::bus::internal {

std::mutex g_mutex;
std::unordered_map<WindowHandle, LocalWindow> g_windows;

namespace {

std::set<ThreadContext*> g_threads;
thread_local pid_t t_currentSender = 0;
thread_local WindowHandle t_currentWindow = 0;

}  // namespace

ThreadContext::ThreadContext() {
  epollFd = ::epoll_create1(EPOLL_CLOEXEC);
  eventFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  eventFdOwner = std::shared_ptr<int>(new int(eventFd), [](int* fd) {
    if (*fd >= 0) ::close(*fd);
    delete fd;
  });
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = eventFd;
  ::epoll_ctl(epollFd, EPOLL_CTL_ADD, eventFd, &ev);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_threads.insert(this);
}

ThreadContext::~ThreadContext() {
  std::vector<WindowHandle> mine;
  std::deque<QueuedMessage> left;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_threads.erase(this);
    for (auto& [h, w] : g_windows)
      if (w.thread == this) mine.push_back(h);
    left.swap(queue);
  }
  for (WindowHandle h : mine) DestroyWindow(h);
  for (auto& m : left)
    if (m.waiter) FinishWaiter(m.waiter, 0, false);
  for (auto& [fd, in] : incoming) ::close(fd);
  for (auto& [h, out] : outgoing) ::close(out.fd);
  eventFdOwner.reset();
  ::close(epollFd);
}

ThreadContext& Self() {
  thread_local ThreadContext context;
  return context;
}

void Wake(int eventFd) {
  uint64_t one = 1;
  (void)!::write(eventFd, &one, sizeof one);
}

void WatchFd(ThreadContext& t, int fd) {
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = fd;
  ::epoll_ctl(t.epollFd, EPOLL_CTL_ADD, fd, &ev);
}

LResult Deliver(WindowHandle h, uint32_t code, WParam w, LParam l, pid_t sender, bool* delivered) {
  MessageTarget* target = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(h);
    if (it != g_windows.end()) target = it->second.target;
  }
  if (delivered) *delivered = target != nullptr;
  if (!target) return 0;
  pid_t outerSender = t_currentSender;
  WindowHandle outerWindow = t_currentWindow;
  t_currentSender = sender;
  t_currentWindow = h;
  LResult result = target->HandleMessage(code, w, l);
  t_currentSender = outerSender;
  t_currentWindow = outerWindow;
  return result;
}

namespace {

bool Refusing(const ThreadContext& t, WindowHandle h) {
  auto it = t.modal.find(h);
  return it != t.modal.end() && it->second >= kRefusingStep;
}

bool Holding(const ThreadContext& t, WindowHandle h) { return t.modal.count(h) != 0; }

}  // namespace

LResult DeliverSent(ThreadContext& t, WindowHandle h, uint32_t code, WParam w, LParam l, pid_t sender,
                    bool* delivered) {
  if (Refusing(t, h)) {
    if (delivered) *delivered = false;
    return 0;
  }
  return Deliver(h, code, w, l, sender, delivered);
}

void DeliverPosted(ThreadContext& t, QueuedMessage&& m, bool sendsOnly) {
  if (Holding(t, m.window))
    t.held.push_back(std::move(m));
  else if (sendsOnly)
    t.deferred.push_back(std::move(m));
  else
    Deliver(m.window, m.code, m.wParam, m.lParam, m.sender, nullptr);
}

void FinishWaiter(const std::shared_ptr<SendWaiter>& waiter, LResult result, bool delivered) {
  waiter->result = result;
  waiter->delivered = delivered;
  waiter->done = true;
  // The sender may have stopped waiting (a time-out) or ended: its descriptor is kept open by
  // the waiter, so this write never reaches a descriptor that was closed and reused.
  if (waiter->wake) Wake(*waiter->wake);
}

void DrainQueue(ThreadContext& t, bool sendsOnly, size_t& handled) {
  uint64_t count;
  (void)!::read(t.eventFd, &count, sizeof count);
  for (;;) {
    QueuedMessage m;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      if (t.queue.empty()) break;
      m = std::move(t.queue.front());
      t.queue.pop_front();
    }
    if (m.waiter) {
      bool delivered = false;
      LResult r = DeliverSent(t, m.window, m.code, m.wParam, m.lParam, m.sender, &delivered);
      FinishWaiter(m.waiter, r, delivered);
    } else {
      DeliverPosted(t, std::move(m), sendsOnly);
    }
    ++handled;
  }
}

ThreadContext* OwnerThread(WindowHandle h, bool* local) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_windows.find(h);
  *local = it != g_windows.end();
  return *local ? it->second.thread : nullptr;
}

bool PostLocal(WindowHandle h, QueuedMessage m) {
  std::shared_ptr<int> wake;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(h);
    if (it == g_windows.end() || !it->second.thread) return false;
    ThreadContext* t = it->second.thread;
    if (t->queue.size() >= kMaxQueuedMessages) return false;
    t->queue.push_back(std::move(m));
    wake = t->eventFdOwner;
  }
  // Woken after the lock is released, so that the woken thread does not at once wait for it.
  Wake(*wake);
  return true;
}

}  // namespace orv::bus::internal

namespace orv::bus {

using namespace internal;

pid_t CurrentSenderProcessId() { return t_currentSender; }

WindowHandle CurrentWindow() { return t_currentWindow; }

ModalScope::ModalScope(WindowHandle window, Sends sends)
    : window_(window ? window : t_currentWindow), step_(sends == kRefuseSends ? kRefusingStep : 1) {
  if (window_) Self().modal[window_] += step_;
}

ModalScope::~ModalScope() {
  if (!window_) return;
  ThreadContext& t = Self();
  auto it = t.modal.find(window_);
  if (it == t.modal.end()) return;
  it->second -= step_;
  if (it->second > 0) return;
  t.modal.erase(it);
  // What waited for the modal loop comes first, in the order it arrived, at the next dispatch.
  std::deque<QueuedMessage> keep, release;
  for (auto& m : t.held) (Holding(t, m.window) ? keep : release).push_back(std::move(m));
  t.held.swap(keep);
  if (release.empty()) return;
  for (auto m = release.rbegin(); m != release.rend(); ++m) t.deferred.push_front(std::move(*m));
  Wake(t.eventFd);
}

}  // namespace orv::bus
