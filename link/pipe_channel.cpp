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

PipeChannel::PipeChannel(WindowHandle window, std::string path, Role role, Clock* clock)
    : window_(window), path_(std::move(path)), role_(role), clock_(clock ? clock : &ProcessClock()) {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

PipeChannel::~PipeChannel() {
  Stop();
  if (worker_.joinable()) {
    if (worker_.get_id() == std::this_thread::get_id()) {
      worker_.detach();
    } else {
      // The worker may be waiting for this thread to handle a record it sent.
      bus::WaitServicingSends([this] { return finished_.load(); });
      worker_.join();
    }
  }
  CloseAll();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

int PipeChannel::Start() {
  if (started_.exchange(true)) return 0;
  try {
    worker_ = std::thread([this] {
      if (role_ == kServer)
        ServerWorker();
      else
        ClientWorker();
      running_ = false;
      CloseAll();
      finished_ = true;
    });
  } catch (const std::system_error&) {
    started_ = false;
    return -1;
  }
  return 1;
}

void PipeChannel::Stop() {
  stopRequested_ = true;
  running_ = false;
  uint64_t one = 1;
  (void)!::write(wakeFd_, &one, sizeof one);
}

int PipeChannel::PipeSend(uint32_t code, uint32_t wParam, uint32_t lParam) {
  auto record = MakePipeRecord(code, wParam, lParam);
  std::lock_guard<std::mutex> lock(mutex_);
  for (int i = 0; i < 2; ++i) {
    Entry& e = entries_[i];
    if (e.state != kReading || e.fd < 0) continue;
    ssize_t n = ::send(e.fd, record.data(), record.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n != static_cast<ssize_t>(record.size())) ResetEntryLocked(i);
  }
  return 1;
}

int PipeChannel::Reconnect(int entry) {
  if (entry < 0 || entry > 1) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  Entry& e = entries_[entry];
  if (e.fd >= 0) ::close(e.fd);
  e.fd = -1;
  e.state = kConnecting;
  // A server entry waits for the next client on the listening socket; a client's only
  // connection is gone for good.
  return role_ == kServer && listenFd_ >= 0 ? 1 : 0;
}

int PipeChannel::ConnectedEntries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int n = 0;
  for (const Entry& e : entries_) n += e.state == kReading && e.fd >= 0;
  return n;
}

void PipeChannel::ResetEntryLocked(int entry) {
  // The worker may be polling this descriptor: shut it down so that the worker sees it end and
  // reconnects the entry itself.
  ::shutdown(entries_[entry].fd, SHUT_RDWR);
}

void PipeChannel::CloseAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Entry& e : entries_) {
    if (e.fd >= 0) ::close(e.fd);
    e.fd = -1;
    e.state = kConnecting;
  }
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    listenFd_ = -1;
    if (role_ == kServer) ::unlink(path_.c_str());
  }
}

bool PipeChannel::ReadEntry(int entry) {
  int fd;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fd = entries_[entry].fd;
  }
  for (;;) {
    uint8_t buffer[kReadBufferSize];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) return false;
    uint32_t code, wParam, lParam;
    // MSG_TRUNC gives the record's real length, so an oversized record is seen as such.
    bool ok = ParsePipeRecord(buffer, static_cast<size_t>(n), code, wParam, lParam) &&
              (role_ == kClient || IsPipeMessage(code));
    if (!ok) {
      ++dropped_;
      continue;
    }
    if (window_) bus::Send(window_, code, wParam, static_cast<int32_t>(lParam));
    if (!running_) return true;
  }
}

void PipeChannel::ServerWorker() {
  sockaddr_un addr;
  if (wakeFd_ < 0 || !UnixSocketAddress(path_, addr)) return;
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
    if (alive || ::unlink(path_.c_str()) != 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      return;
    }
  }
  // The pipe is open to every user and rights level, as a pipe with a null DACL is.
  if (::chmod(path_.c_str(), 0666) != 0 || ::listen(fd, 1) != 0) {
    ::close(fd);
    ::unlink(path_.c_str());
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    listenFd_ = fd;
  }
  running_ = true;
  if (stopRequested_) running_ = false;
  while (running_) {
    pollfd p[4];
    int entryOf[4] = {-1, -1, -1, -1};
    int n = 0;
    p[n++] = {wakeFd_, POLLIN, 0};
    bool waiting = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (int i = 0; i < 2; ++i) {
        if (entries_[i].state == kReading) {
          entryOf[n] = i;
          p[n++] = {entries_[i].fd, POLLIN, 0};
        } else {
          waiting = true;
        }
      }
    }
    int listenAt = -1;
    if (waiting) {  // with both instances taken, further clients wait in the backlog
      listenAt = n;
      p[n++] = {listenFd_, POLLIN, 0};
    }
    if (::poll(p, static_cast<nfds_t>(n), -1) < 0 && errno != EINTR) break;
    if (!running_) break;
    for (int i = 1; i < n; ++i) {
      if (!p[i].revents) continue;
      if (i == listenAt) {
        int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        for (Entry& e : entries_) {
          if (e.state == kConnecting) {
            e.fd = client;
            e.state = kReading;
            client = -1;
            break;
          }
        }
        if (client >= 0) ::close(client);
      } else if (!ReadEntry(entryOf[i])) {
        Reconnect(entryOf[i]);
      }
    }
  }
}

int PipeChannel::ClientWorker() {
  if (wakeFd_ < 0) {
    std::printf("CreateEvent failed with %d.\n", errno);
    std::fflush(stdout);
    return -1;
  }
  sockaddr_un addr;
  if (!UnixSocketAddress(path_, addr)) {
    std::printf("Could not open pipe. GLE=%d\n", 161);  // ERROR_BAD_PATHNAME
    std::fflush(stdout);
    return -1;
  }
  Clock& clock = *clock_;
  uint32_t busySince = clock.TickCount();
  int fd = -1;
  for (;;) {
    fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      std::printf("Could not open pipe. GLE=%d\n", WindowsError(errno));
      std::fflush(stdout);
      return -1;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) break;
    int error = errno;
    ::close(fd);
    fd = -1;
    if (error != EAGAIN) {
      std::printf("Could not open pipe. GLE=%d\n", WindowsError(error));
      std::fflush(stdout);
      return -1;
    }
    if (clock.TickCount() - busySince >= kBusyWaitMs) {
      Diagnostic("Could not open pipe: 20 second wait timed out.");
      return -1;
    }
    clock.Sleep(kBusyRetryMs);
    if (stopRequested_) return -1;
  }
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
    std::lock_guard<std::mutex> lock(mutex_);
    entries_[0].fd = fd;
    entries_[0].state = kReading;
  }
  running_ = true;
  if (stopRequested_) running_ = false;
  while (running_) {
    pollfd p[2] = {{wakeFd_, POLLIN, 0}, {fd, POLLIN, 0}};
    if (::poll(p, 2, -1) < 0 && errno != EINTR) break;
    if (!running_) break;
    if (p[1].revents && !ReadEntry(0)) {
      // The server has gone: the client's connection is not made again.
      Reconnect(0);
      break;
    }
  }
  return 0;
}

}  // namespace orv
