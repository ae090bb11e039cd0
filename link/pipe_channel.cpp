#include "link/pipe_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "base/log.h"
#include "link/messages.h"
#include "platform/clock.h"
#include "platform/unix_socket.h"

namespace orv {
namespace {

constexpr uint32_t kBusyWaitMs = 20000;  // how long a client waits for a free instance
constexpr uint32_t kBusyRetryMs = 50;
constexpr size_t kReadBufferSize = 20;  // what the reader accepts per message

// The Windows error numbers the client's diagnostics report.
int WindowsError(int error) {
  switch (error) {
    case ENOENT:
    case ECONNREFUSED:
      return 2;  // ERROR_FILE_NOT_FOUND: no server
    case EACCES:
    case EPERM:
      return 5;  // ERROR_ACCESS_DENIED
    case EAGAIN:
      return 231;  // ERROR_PIPE_BUSY
    default:
      return error;
  }
}

void Diagnostic(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace

std::string PipeFolder() {
  const char* dir = std::getenv("ORV_PIPE_DIR");
  return dir && *dir ? dir : "/tmp";
}

std::string PipePath(std::string_view name) { return PipeFolder() + "/" + std::string(name); }

std::array<uint8_t, kPipeRecordSize> MakePipeRecord(uint32_t code, uint32_t wParam, uint32_t lParam) {
  std::array<uint8_t, kPipeRecordSize> r{};
  uint32_t values[3] = {code, wParam, lParam};
  for (int v = 0; v < 3; ++v)
    for (int i = 0; i < 4; ++i) r[4 * v + i] = static_cast<uint8_t>(values[v] >> (8 * i));
  return r;
}

bool ParsePipeRecord(const uint8_t* bytes, size_t size, uint32_t& code, uint32_t& wParam, uint32_t& lParam) {
  if (size != kPipeRecordSize) return false;
  uint32_t values[3] = {};
  for (int v = 0; v < 3; ++v)
    for (int i = 0; i < 4; ++i) values[v] |= static_cast<uint32_t>(bytes[4 * v + i]) << (8 * i);
  code = values[0];
  wParam = values[1];
  lParam = values[2];
  return true;
}

struct PipeChannel::State {
  struct Entry {
    int fd = -1;
    EntryState state = kConnecting;
    uid_t uid = 0;  // the client's user (server)
  };
  enum class ReadResult { kOk, kGone, kBusy };

  WindowHandle window = 0;
  RecordHandler handler;
  std::string path;
  Role role = kServer;
  Clock* clock = nullptr;
  std::atomic<bool> running{false};
  std::atomic<bool> started{false};
  std::atomic<bool> stopRequested{false};
  std::atomic<bool> finished{false};
  std::atomic<uint32_t> dropped{0};
  std::atomic<uint32_t> refused{0};
  int wakeFd = -1;
  int listenFd = -1;
  mutable std::mutex mutex;  // guards entries and listenFd between the worker and the callers
  std::vector<Entry> entries;

  ~State() {
    CloseAll();
    if (wakeFd >= 0) ::close(wakeFd);
  }
  void Run() {
    if (role == kServer)
      ServerWorker();
    else
      ClientWorker();
    running = false;
    CloseAll();
    finished = true;
  }
  void Stop() {
    stopRequested = true;
    running = false;
    uint64_t one = 1;
    (void)!::write(wakeFd, &one, sizeof one);
  }
  int Reconnect(int entry);
  void ResetEntryLocked(int entry) {
    // The worker may be polling this descriptor: shut it down so that the worker sees it end
    // and reconnects the entry itself.
    ::shutdown(entries[static_cast<size_t>(entry)].fd, SHUT_RDWR);
  }
  void CloseAll();
  ReadResult ReadEntry(int entry);
  void Accept();
  void ServerWorker();
  int ClientWorker();
  // Waits for a record or the end on entry 0 of a client; false when the server said busy.
  bool ClientLoop(int fd);
};

PipeChannel::PipeChannel(WindowHandle window, std::string path, Role role, Clock* clock)
    : state_(std::make_shared<State>()) {
  state_->window = window;
  state_->path = std::move(path);
  state_->role = role;
  state_->clock = clock ? clock : &ProcessClock();
  state_->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  state_->entries.resize(role == kServer ? kPipeConnectionsPerUser : 1);
}

PipeChannel::PipeChannel(RecordHandler handler, std::string path, Role role, Clock* clock)
    : PipeChannel(WindowHandle{0}, std::move(path), role, clock) {
  state_->handler = std::move(handler);
}

PipeChannel::~PipeChannel() {
  Stop();
  if (worker_.joinable()) {
    if (worker_.get_id() == std::this_thread::get_id()) {
      // Inside the worker (a record's handler destroys the channel): the worker holds the
      // state and ends by itself when the handler returns.
      worker_.detach();
      return;
    }
    // The worker may be waiting for this thread to handle a record it sent.
    std::shared_ptr<State> s = state_;
    bus::WaitServicingSends([s] { return s->finished.load(); });
    worker_.join();
  }
  state_->CloseAll();
}

int PipeChannel::Start() {
  if (state_->started.exchange(true)) return 0;
  try {
    worker_ = std::thread([s = state_] { s->Run(); });
  } catch (const std::system_error&) {
    state_->started = false;
    return -1;
  }
  return 1;
}

void PipeChannel::Stop() { state_->Stop(); }

bool PipeChannel::Running() const { return state_->running; }
bool PipeChannel::Finished() const { return state_->finished; }
uint32_t PipeChannel::DroppedRecords() const { return state_->dropped; }
uint32_t PipeChannel::RefusedConnections() const { return state_->refused; }

int PipeChannel::PipeSend(uint32_t code, uint32_t wParam, uint32_t lParam) {
  auto record = MakePipeRecord(code, wParam, lParam);
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  for (size_t i = 0; i < s.entries.size(); ++i) {
    State::Entry& e = s.entries[i];
    if (e.state != kReading || e.fd < 0) continue;
    ssize_t n = ::send(e.fd, record.data(), record.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n != static_cast<ssize_t>(record.size())) s.ResetEntryLocked(static_cast<int>(i));
  }
  return 1;
}

int PipeChannel::Reconnect(int entry) { return state_->Reconnect(entry); }

int PipeChannel::State::Reconnect(int entry) {
  std::lock_guard<std::mutex> lock(mutex);
  if (entry < 0 || static_cast<size_t>(entry) >= entries.size()) return 0;
  Entry& e = entries[static_cast<size_t>(entry)];
  if (e.fd >= 0) ::close(e.fd);
  e.fd = -1;
  e.state = kConnecting;
  // A server entry waits for the next client on the listening socket; a client's only
  // connection is gone for good.
  return role == kServer && listenFd >= 0 ? 1 : 0;
}

int PipeChannel::ConnectedEntries() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  int n = 0;
  for (const State::Entry& e : state_->entries) n += e.state == kReading && e.fd >= 0;
  return n;
}

void PipeChannel::State::CloseAll() {
  std::lock_guard<std::mutex> lock(mutex);
  for (Entry& e : entries) {
    if (e.fd >= 0) ::close(e.fd);
    e.fd = -1;
    e.state = kConnecting;
  }
  if (listenFd >= 0) {
    ::close(listenFd);
    listenFd = -1;
    if (role == kServer) ::unlink(path.c_str());
  }
}

PipeChannel::State::ReadResult PipeChannel::State::ReadEntry(int entry) {
  int fd;
  {
    std::lock_guard<std::mutex> lock(mutex);
    fd = entries[static_cast<size_t>(entry)].fd;
  }
  for (;;) {
    uint8_t buffer[kReadBufferSize];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return ReadResult::kOk;
    if (n <= 0) return ReadResult::kGone;
    if (role == kClient && static_cast<size_t>(n) == kPipeBusyNotice.size() &&
        std::memcmp(buffer, kPipeBusyNotice.data(), kPipeBusyNotice.size()) == 0)
      return ReadResult::kBusy;
    uint32_t code, wParam, lParam;
    // MSG_TRUNC gives the record's real length, so an oversized record is seen as such.
    bool ok = ParsePipeRecord(buffer, static_cast<size_t>(n), code, wParam, lParam) &&
              (role == kClient || IsPipeMessage(code));
    if (!ok) {
      ++dropped;
      continue;
    }
    if (handler)
      handler(code, wParam, lParam);  // may destroy the channel: this state lives on
    else if (window)
      bus::Send(window, code, wParam, static_cast<int32_t>(lParam));
    if (!running) return ReadResult::kOk;
  }
}

void PipeChannel::State::Accept() {
  for (;;) {
    int client = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0) return;
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) {
      ::close(client);
      continue;
    }
    std::lock_guard<std::mutex> lock(mutex);
    int mine = 0;
    Entry* free = nullptr;
    for (Entry& e : entries) {
      if (e.state == kReading && e.fd >= 0 && e.uid == cred.uid) ++mine;
      if (e.state == kConnecting && e.fd < 0 && !free) free = &e;
    }
    if (mine >= kPipeConnectionsPerUser) {
      // This user's connections are all taken: busy for this user only.
      (void)!::send(client, kPipeBusyNotice.data(), kPipeBusyNotice.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      ::close(client);
      ++refused;
      ORV_LOG(Pipe, Info, "a connection of user %u refused: it has %d already", static_cast<unsigned>(cred.uid), mine);
      continue;
    }
    if (!free) free = &entries.emplace_back();
    free->fd = client;
    free->state = kReading;
    free->uid = cred.uid;
  }
}

void PipeChannel::State::ServerWorker() {
  sockaddr_un addr;
  if (wakeFd < 0 || !UnixSocketAddress(path, addr)) return;
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    if (errno != EADDRINUSE) {
      ::close(fd);
      return;
    }
    // Someone's socket is there: a live server keeps it; a dead one's is taken over.
    int probe = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    bool alive = probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (probe >= 0) ::close(probe);
    if (alive || ::unlink(path.c_str()) != 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      return;
    }
  }
  // The pipe is open to every user and rights level, as a pipe with a null DACL is. The mode
  // is set on the name just made, without following a link.
  if (::fchmodat(AT_FDCWD, path.c_str(), 0666, AT_SYMLINK_NOFOLLOW) != 0 || ::listen(fd, 16) != 0) {
    ::close(fd);
    ::unlink(path.c_str());
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    listenFd = fd;
  }
  running = true;
  if (stopRequested) running = false;
  std::vector<pollfd> p;
  std::vector<int> entryOf;
  while (running) {
    p.assign({{wakeFd, POLLIN, 0}, {listenFd, POLLIN, 0}});
    entryOf.assign({-1, -1});
    {
      std::lock_guard<std::mutex> lock(mutex);
      for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].state != kReading || entries[i].fd < 0) continue;
        entryOf.push_back(static_cast<int>(i));
        p.push_back({entries[i].fd, POLLIN, 0});
      }
    }
    if (::poll(p.data(), static_cast<nfds_t>(p.size()), -1) < 0 && errno != EINTR) break;
    if (!running) break;
    if (p[1].revents) Accept();
    for (size_t i = 2; i < p.size() && running; ++i) {
      if (p[i].revents && ReadEntry(entryOf[i]) != ReadResult::kOk) Reconnect(entryOf[i]);
    }
  }
}

bool PipeChannel::State::ClientLoop(int fd) {
  while (running) {
    pollfd p[2] = {{wakeFd, POLLIN, 0}, {fd, POLLIN, 0}};
    if (::poll(p, 2, -1) < 0 && errno != EINTR) break;
    if (!running) break;
    if (!p[1].revents) continue;
    ReadResult r = ReadEntry(0);
    if (r == ReadResult::kBusy) return false;
    if (r == ReadResult::kGone) {
      // The server has gone: the client's connection is not made again.
      Reconnect(0);
      break;
    }
  }
  return true;
}

int PipeChannel::State::ClientWorker() {
  if (wakeFd < 0) {
    std::printf("CreateEvent failed with %d.\n", errno);
    std::fflush(stdout);
    return -1;
  }
  sockaddr_un addr;
  if (!UnixSocketAddress(path, addr)) {
    std::printf("Could not open pipe. GLE=%d\n", 161);  // ERROR_BAD_PATHNAME
    std::fflush(stdout);
    return -1;
  }
  uint32_t busySince = clock->TickCount();
  for (;;) {
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      std::printf("Could not open pipe. GLE=%d\n", WindowsError(errno));
      std::fflush(stdout);
      return -1;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      // Record boundaries (what message read mode gives a pipe) come with a sequenced-packet
      // socket; make sure that is what the other end is.
      int type = 0;
      socklen_t typeSize = sizeof type;
      if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 || type != SOCK_SEQPACKET) {
        std::printf("SetNamedPipeHandleState failed. GLE=%d\n", type != SOCK_SEQPACKET ? 1 : errno);
        std::fflush(stdout);
        ::close(fd);
        return -1;
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        entries[0].fd = fd;
        entries[0].state = kReading;
      }
      running = true;
      if (stopRequested) running = false;
      if (ClientLoop(fd)) return 0;
      Reconnect(0);  // busy: this user's connections are all taken
      running = false;
    } else {
      int error = errno;
      ::close(fd);
      if (error != EAGAIN) {
        std::printf("Could not open pipe. GLE=%d\n", WindowsError(error));
        std::fflush(stdout);
        return -1;
      }
    }
    if (clock->TickCount() - busySince >= kBusyWaitMs) {
      Diagnostic("Could not open pipe: 20 second wait timed out.");
      return -1;
    }
    clock->Sleep(kBusyRetryMs);
    if (stopRequested) return -1;
  }
}

}  // namespace orv
