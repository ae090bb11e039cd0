#include "link/window_bus.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <unordered_map>
#include <vector>

#include "base/files.h"
#include "base/text.h"
#include "link/bus_frame.h"
#include "link/messages.h"
#include "platform/unix_socket.h"

namespace orv::bus {
namespace {

constexpr int kPostRoomWaitMs = 100;  // how long Post waits for room in a full queue
constexpr int kSendBufferBytes = 4 << 20;
constexpr int kFramesPerRound = 256;  // frames read from one connection before the others get a turn

uint64_t NowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// ---- Endpoint files ------------------------------------------------------------------------

std::string EndpointBase(WindowHandle h) { return BusFolder() + "/" + std::to_string(h); }
std::string SocketPath(WindowHandle h) { return EndpointBase(h) + ".sock"; }
std::string InfoPath(WindowHandle h) { return EndpointBase(h) + ".window"; }

// Field 22 of /proc/<pid>/stat: the start time, which tells a live owner from a process that
// merely got the same id later.
uint64_t ProcessStartTime(pid_t pid) {
  std::string stat;
  if (!ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", stat)) return 0;
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  int field = 2;
  size_t i = close + 1;
  while (i < stat.size() && field < 22) {
    if (stat[i] == ' ') ++field;
    ++i;
  }
  return field == 22 ? std::strtoull(stat.c_str() + i, nullptr, 10) : 0;
}

struct EndpointInfo {
  pid_t pid = 0;
  uint64_t start = 0;
  std::u16string title;
};

std::string InfoText(pid_t pid, uint64_t start, std::u16string_view title) {
  return "pid=" + std::to_string(pid) + "\nstart=" + std::to_string(start) + "\ntitle=" + ToUtf8(title) + "\n";
}

bool ReadInfo(const std::string& path, EndpointInfo& info) {
  std::string text;
  if (!ReadWholeFile(path, text) || text.size() > 4096) return false;
  if (text.rfind("pid=", 0) != 0) return false;
  size_t startAt = text.find("\nstart=");
  size_t titleAt = text.find("\ntitle=");
  if (startAt == std::string::npos || titleAt == std::string::npos || titleAt < startAt) return false;
  info.pid = static_cast<pid_t>(std::strtol(text.c_str() + 4, nullptr, 10));
  info.start = std::strtoull(text.c_str() + startAt + 7, nullptr, 10);
  std::string title = text.substr(titleAt + 7);
  if (!title.empty() && title.back() == '\n') title.pop_back();
  info.title = ToUtf16(title);
  return info.pid > 0;
}

bool OwnerAlive(const EndpointInfo& info) {
  if (::kill(info.pid, 0) != 0 && errno != EPERM) return false;
  return ProcessStartTime(info.pid) == info.start;
}

void RemoveEndpointFiles(WindowHandle h) {
  ::unlink(SocketPath(h).c_str());
  ::unlink(InfoPath(h).c_str());
}

// ---- Threads and windows -------------------------------------------------------------------

struct SendWaiter {
  std::atomic<bool> done{false};
  LResult result = 0;
  bool delivered = false;
  int wakeFd = -1;  // the sender's thread eventfd
};

struct QueuedMessage {
  WindowHandle window;
  uint32_t code;
  WParam wParam;
  LParam lParam;
  pid_t sender;
  std::shared_ptr<SendWaiter> waiter;  // null for a posted message
};

struct ThreadContext;

struct LocalWindow {
  MessageTarget* target = nullptr;
  ThreadContext* thread = nullptr;
  int listenFd = -1;
  std::u16string title;
};

// A connection accepted on one of this thread's windows.
struct Incoming {
  WindowHandle window;
  pid_t peer;
};

struct ThreadContext {
  int epollFd = -1;
  int eventFd = -1;
  // Owns eventFd: a thread that takes it under the lock to wake this one afterwards keeps it
  // open until it has written, even if this thread ends meanwhile.
  std::shared_ptr<int> eventFdOwner;
  // Filled by any thread (under the process lock), drained by the owner.
  std::deque<QueuedMessage> queue;
  // Posted messages read while waiting in Send, handled by the next DispatchPending.
  std::deque<QueuedMessage> deferred;
  std::unordered_map<int, WindowHandle> listeners;
  std::unordered_map<int, Incoming> incoming;
  std::unordered_map<WindowHandle, int> outgoing;  // cached connections to other processes' windows
  uint32_t nextSequence = 1;
  int sendDepth = 0;

  ThreadContext();
  ~ThreadContext();
};

std::mutex g_mutex;  // guards g_windows, g_threads and every ThreadContext::queue
std::unordered_map<WindowHandle, LocalWindow> g_windows;
std::set<ThreadContext*> g_threads;
thread_local pid_t t_currentSender = 0;

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
    if (m.waiter) {
      m.waiter->done = true;
      uint64_t one = 1;
      (void)!::write(m.waiter->wakeFd, &one, sizeof one);
    }
  for (auto& [fd, in] : incoming) ::close(fd);
  for (auto& [h, fd] : outgoing) ::close(fd);
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

void CloseIncoming(ThreadContext& t, int fd) {
  ::epoll_ctl(t.epollFd, EPOLL_CTL_DEL, fd, nullptr);
  ::close(fd);
  t.incoming.erase(fd);
}

void DropOutgoing(ThreadContext& t, WindowHandle h) {
  auto it = t.outgoing.find(h);
  if (it == t.outgoing.end()) return;
  ::close(it->second);
  t.outgoing.erase(it);
}

// Calls the window's handler. 0 (and not delivered) when the window is gone by now.
LResult Deliver(WindowHandle h, uint32_t code, WParam w, LParam l, pid_t sender, bool* delivered) {
  MessageTarget* target = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(h);
    if (it != g_windows.end()) target = it->second.target;
  }
  if (delivered) *delivered = target != nullptr;
  if (!target) return 0;
  pid_t outer = t_currentSender;
  t_currentSender = sender;
  LResult result = target->HandleMessage(code, w, l);
  t_currentSender = outer;
  return result;
}

void FinishWaiter(const std::shared_ptr<SendWaiter>& waiter, LResult result, bool delivered) {
  waiter->result = result;
  waiter->delivered = delivered;
  waiter->done = true;
  Wake(waiter->wakeFd);
}

// Handles (or defers) one message that came from this process's queue.
void HandleQueued(ThreadContext& t, QueuedMessage& m, bool sendsOnly) {
  if (m.waiter) {
    bool delivered = false;
    LResult r = Deliver(m.window, m.code, m.wParam, m.lParam, m.sender, &delivered);
    FinishWaiter(m.waiter, r, delivered);
  } else if (sendsOnly) {
    t.deferred.push_back(std::move(m));
  } else {
    Deliver(m.window, m.code, m.wParam, m.lParam, m.sender, nullptr);
  }
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
    HandleQueued(t, m, sendsOnly);
    ++handled;
  }
}

void AcceptAll(ThreadContext& t, int listenFd, WindowHandle h) {
  for (;;) {
    int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    ucred cred{};
    socklen_t len = sizeof cred;
    pid_t peer = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 ? cred.pid : 0;
    t.incoming[fd] = Incoming{h, peer};
    WatchFd(t, fd);
  }
}

// Reads the frames waiting on one accepted connection.
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
      LResult r = Deliver(in.window, f.code, f.wParam, f.lParam, in.peer, &delivered);
      BusFrame reply = f;
      reply.kind = BusFrame::kReply;
      reply.result = r;
      reply.flags = delivered ? 1 : 0;
      uint8_t out[kBusFrameSize];
      EncodeBusFrame(reply, out);
      if (t.incoming.count(fd)) (void)!::send(fd, out, sizeof out, MSG_NOSIGNAL | MSG_DONTWAIT);
      ++handled;
    } else if (f.kind == BusFrame::kPost) {
      QueuedMessage m{in.window, f.code, f.wParam, f.lParam, in.peer, nullptr};
      if (sendsOnly)
        t.deferred.push_back(std::move(m));
      else
        Deliver(m.window, m.code, m.wParam, m.lParam, m.sender, nullptr);
      ++handled;
    }
  }
}

// One round over everything ready for the calling thread, without blocking.
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

// Waits for `fd` (events) or messages sent to this thread, servicing the latter, until `ready`
// says so. timeoutMs < 0 waits without limit. Returns false on time-out.
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

// A cached connection to another process's window, or -1.
int Connection(ThreadContext& t, WindowHandle h) {
  if (auto it = t.outgoing.find(h); it != t.outgoing.end()) return it->second;
  sockaddr_un addr;
  if (!UnixSocketAddress(SocketPath(h), addr)) return -1;
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  int size = kSendBufferBytes;
  ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  t.outgoing[h] = fd;
  return fd;
}

// Writes one frame, waiting for room (and serving sends to this thread meanwhile) up to
// timeoutMs (< 0: as long as the receiver lives).
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

std::mutex g_registeredMutex;
std::map<std::u16string, uint32_t> g_registered;

uint32_t HashedCode(std::string_view name, uint32_t probe) {
  uint32_t h = 2166136261u;
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  return kFirstRegisteredMessage + (h + probe) % (0x10000 - kFirstRegisteredMessage);
}

}  // namespace

std::string BusFolder() {
  const char* dir = std::getenv("ORV_BUS_DIR");
  std::string folder = dir && *dir ? dir : "/tmp/orv-windows";
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0 && ::mkdir(folder.c_str(), 0777) == 0) ::chmod(folder.c_str(), 01777);
  return folder;
}

WindowHandle CreateWindow(MessageTarget* target, std::u16string_view title) {
  if (!target) return 0;
  ThreadContext& t = Self();
  std::string folder = BusFolder();
  pid_t pid = ::getpid();
  uint64_t start = ProcessStartTime(pid);
  static std::mt19937 random(std::random_device{}() ^ static_cast<unsigned>(pid));
  for (int attempt = 0; attempt < 64; ++attempt) {
    WindowHandle h;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      h = 0x10000 + random() % 0x7FFE0000u;
      if (g_windows.count(h)) continue;
    }
    std::string info = InfoPath(h);
    int claim = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (claim < 0) {
      if (errno != EEXIST) return 0;
      EndpointInfo old;
      if (!ReadInfo(info, old) || !OwnerAlive(old)) RemoveEndpointFiles(h);  // stale: free it for a later try
      continue;
    }
    std::string text = InfoText(pid, start, title);
    bool written = ::write(claim, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::fchmod(claim, 0644);
    ::close(claim);
    sockaddr_un addr;
    int fd = written && UnixSocketAddress(SocketPath(h), addr) ? ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0) : -1;
    if (fd >= 0) {
      ::unlink(addr.sun_path);
      if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::chmod(addr.sun_path, 0600) != 0 ||
          ::listen(fd, 128) != 0) {
        ::close(fd);
        fd = -1;
      }
    }
    if (fd < 0) {
      RemoveEndpointFiles(h);
      return 0;
    }
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      g_windows[h] = LocalWindow{target, &t, fd, std::u16string(title)};
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
  RemoveEndpointFiles(h);
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
  auto& d = t.deferred;
  for (auto m = d.begin(); m != d.end();) m = m->window == h ? d.erase(m) : m + 1;
}

bool SetWindowText(WindowHandle h, std::u16string_view title) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(h);
    if (it == g_windows.end()) return false;
    it->second.title = title;
  }
  pid_t pid = ::getpid();
  return ReplaceFileContents(InfoPath(h), {InfoText(pid, ProcessStartTime(pid), title)});
}

std::u16string WindowText(WindowHandle h) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(h);
    if (it != g_windows.end()) return it->second.title;
  }
  EndpointInfo info;
  return ReadInfo(InfoPath(h), info) && OwnerAlive(info) ? info.title : std::u16string();
}

namespace {

// The live endpoints as last read from the bus folder. The folder's modification time tells
// whether anything was created, removed or renamed since; a time too close to the moment of
// reading is not trusted (file times have a coarse clock), so such a scan is repeated.
struct FolderScan {
  std::string folder;
  timespec mtime{};
  bool trusted = false;
  std::vector<std::pair<WindowHandle, EndpointInfo>> live;
};
std::mutex g_scanMutex;
FolderScan g_scan;
constexpr int64_t kTrustAfterNs = 50'000'000;

bool FolderTime(const std::string& folder, timespec& mtime) {
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return false;
  mtime = st.st_mtim;
  return true;
}

void ScanFolder(const std::string& folder) {
  g_scan.folder = folder;
  g_scan.live.clear();
  g_scan.trusted = false;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (dirent* e = ::readdir(dir)) {
    std::string_view name = e->d_name;
    constexpr std::string_view kSuffix = ".window";
    if (name.size() <= kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix) continue;
    char* end = nullptr;
    unsigned long h = std::strtoul(e->d_name, &end, 10);
    if (end != e->d_name + (name.size() - kSuffix.size()) || h == 0 || h > 0xFFFFFFFFul) continue;
    EndpointInfo info;
    if (!ReadInfo(folder + "/" + std::string(name), info)) continue;
    if (!OwnerAlive(info)) {
      RemoveEndpointFiles(static_cast<WindowHandle>(h));
      continue;
    }
    g_scan.live.emplace_back(static_cast<WindowHandle>(h), std::move(info));
  }
  ::closedir(dir);
  timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  if (FolderTime(folder, g_scan.mtime)) {
    int64_t age = (now.tv_sec - g_scan.mtime.tv_sec) * 1'000'000'000 + (now.tv_nsec - g_scan.mtime.tv_nsec);
    g_scan.trusted = age > kTrustAfterNs;
  }
}

}  // namespace

WindowHandle FindWindow(std::u16string_view title) {
  std::string folder = BusFolder();
  std::lock_guard<std::mutex> lock(g_scanMutex);
  for (int pass = 0; pass < 2; ++pass) {
    timespec mtime;
    if (!FolderTime(folder, mtime)) return 0;
    bool current = g_scan.trusted && g_scan.folder == folder && mtime.tv_sec == g_scan.mtime.tv_sec &&
                   mtime.tv_nsec == g_scan.mtime.tv_nsec;
    if (!current) ScanFolder(folder);
    bool stale = false;
    for (const auto& [h, info] : g_scan.live) {
      if (info.title != title) continue;
      if (::kill(info.pid, 0) == 0 || errno == EPERM) return h;
      stale = true;  // its owner has ended since the scan
    }
    if (!stale) return 0;
    g_scan.trusted = false;
  }
  return 0;
}

bool IsWindow(WindowHandle h) {
  if (h == 0) return false;
  bool local;
  OwnerThread(h, &local);
  if (local) return true;
  EndpointInfo info;
  return ReadInfo(InfoPath(h), info) && OwnerAlive(info);
}

pid_t WindowProcessId(WindowHandle h) {
  if (h == 0) return 0;
  bool local;
  OwnerThread(h, &local);
  if (local) return ::getpid();
  ThreadContext& t = Self();
  int fd = Connection(t, h);
  if (fd >= 0) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.pid > 0) return cred.pid;
  }
  EndpointInfo info;
  return ReadInfo(InfoPath(h), info) && OwnerAlive(info) ? info.pid : 0;
}

bool Post(WindowHandle h, uint32_t code, WParam w, LParam l) {
  if (h == 0) return false;
  bool local;
  OwnerThread(h, &local);
  if (local) return PostLocal(h, QueuedMessage{h, code, w, l, ::getpid(), nullptr});
  ThreadContext& t = Self();
  int fd = Connection(t, h);
  if (fd < 0) return false;
  BusFrame f{BusFrame::kPost, 0, h, code, w, l, 0, 0};
  return WriteFrame(t, h, fd, f, kPostRoomWaitMs);
}

LResult Send(WindowHandle h, uint32_t code, WParam w, LParam l, bool* delivered) {
  if (delivered) *delivered = false;
  if (h == 0) return 0;
  ThreadContext& t = Self();
  bool local;
  ThreadContext* owner = OwnerThread(h, &local);
  if (local && owner == &t) return Deliver(h, code, w, l, ::getpid(), delivered);
  if (local) {
    auto waiter = std::make_shared<SendWaiter>();
    waiter->wakeFd = t.eventFd;
    std::shared_ptr<int> wake;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      auto it = g_windows.find(h);
      if (it == g_windows.end()) return 0;
      it->second.thread->queue.push_back(QueuedMessage{h, code, w, l, ::getpid(), waiter});
      wake = it->second.thread->eventFdOwner;
    }
    Wake(*wake);
    WaitServicing(t, -1, 0, -1, [&](short) { return waiter->done.load(); });
    if (delivered) *delivered = waiter->delivered;
    return waiter->result;
  }
  int fd = Connection(t, h);
  if (fd < 0) return 0;
  uint32_t sequence = t.nextSequence++;
  BusFrame f{BusFrame::kSend, 0, h, code, w, l, 0, sequence};
  if (!WriteFrame(t, h, fd, f, -1)) return 0;
  LResult result = 0;
  bool answered = false, gone = false;
  WaitServicing(t, fd, POLLIN, -1, [&](short rev) {
    if (!(rev & (POLLIN | POLLHUP | POLLERR))) return false;
    uint8_t bytes[kBusFrameSize + 1];
    ssize_t n = ::recv(fd, bytes, sizeof bytes, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return false;
    BusFrame reply;
    if (n <= 0) {
      gone = true;
      return true;
    }
    if (DecodeBusFrame(bytes, static_cast<size_t>(n), reply) && reply.kind == BusFrame::kReply &&
        reply.sequence == sequence) {
      result = reply.result;
      answered = reply.flags & 1;
      return true;
    }
    return false;  // a stale or malformed answer: dropped
  });
  if (gone) {
    DropOutgoing(t, h);
    return 0;
  }
  if (delivered) *delivered = answered;
  return result;
}

int Broadcast(uint32_t code, WParam w, LParam l) {
  std::string folder = BusFolder();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  std::vector<WindowHandle> all;
  while (dirent* e = ::readdir(dir)) {
    char* end = nullptr;
    unsigned long h = std::strtoul(e->d_name, &end, 10);
    if (h != 0 && end && std::strcmp(end, ".window") == 0) all.push_back(static_cast<WindowHandle>(h));
  }
  ::closedir(dir);
  int count = 0;
  for (WindowHandle h : all)
    if (IsWindow(h) && Post(h, code, w, l)) ++count;
  return count;
}

uint32_t RegisterMessage(std::u16string_view name) {
  std::u16string key(name);
  std::lock_guard<std::mutex> lock(g_registeredMutex);
  if (auto it = g_registered.find(key); it != g_registered.end()) return it->second;
  std::string utf8 = ToUtf8(name);
  uint32_t code = HashedCode(utf8, 0);
  // The table of names in the bus folder makes the codes agree even when two names hash
  // alike: the first process to register a name fixes its code for everyone.
  std::string path = BusFolder() + "/registered-messages";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd >= 0 && ::flock(fd, LOCK_EX) == 0) {
    ::fchmod(fd, 0666);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    std::map<std::string, uint32_t> byName;
    // Codes this process has handed out already are never another name's.
    std::set<uint32_t> taken;
    for (const auto& [other, c] : g_registered) taken.insert(c);
    size_t pos = 0;
    while (pos < text.size()) {
      size_t eol = text.find('\n', pos);
      if (eol == std::string::npos) break;
      std::string line = text.substr(pos, eol - pos);
      pos = eol + 1;
      size_t space = line.find(' ');
      if (space == std::string::npos) continue;
      uint32_t c = static_cast<uint32_t>(std::strtoul(line.c_str(), nullptr, 16));
      // A line the registering processes never write (a code outside the registered range, a
      // code already given to another name) is not believed.
      if (c < kFirstRegisteredMessage || c > 0xFFFF || taken.count(c)) continue;
      byName.emplace(line.substr(space + 1), c);
      taken.insert(c);
    }
    if (auto it = byName.find(utf8); it != byName.end()) {
      code = it->second;
    } else {
      for (uint32_t probe = 0; taken.count(code) && probe < 0x4000; ++probe) code = HashedCode(utf8, probe + 1);
      char line[16];
      std::snprintf(line, sizeof line, "%04X ", code);
      std::string entry = line + utf8 + "\n";
      (void)!::write(fd, entry.data(), entry.size());
    }
  }
  if (fd >= 0) ::close(fd);
  g_registered[key] = code;
  return code;
}

pid_t CurrentSenderProcessId() { return t_currentSender; }

int ThreadWaitFd() { return Self().epollFd; }

size_t DispatchPending() {
  ThreadContext& t = Self();
  size_t handled = 0;
  while (!t.deferred.empty()) {
    QueuedMessage m = std::move(t.deferred.front());
    t.deferred.pop_front();
    Deliver(m.window, m.code, m.wParam, m.lParam, m.sender, nullptr);
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
