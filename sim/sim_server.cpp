#include "sim/sim_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/byte_order.h"
#include "device/device_protocol.h"
#include "platform/folders.h"
#include "platform/unix_socket.h"

namespace orv::sim {

namespace dp = device_protocol;
using namespace device_error;

namespace {

constexpr size_t kMaxCommandLine = 4096;
constexpr size_t kMaxOutbox = 4096;  // frames waiting for a client that does not read
constexpr auto kControlIdle = std::chrono::seconds(5);
constexpr int kTimedStepPollMs = 5;

bool IsSocket(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// A listening socket at `path`; a stale socket file there is replaced, anything else is not.
// The socket is bound under a temporary name and renamed into place once it listens, so whoever
// watches the folder for it never finds a socket that refuses connections.
int Listen(const std::string& path, int type, std::string& error) {
  const std::string binding = path + ".binding";
  sockaddr_un address;
  if (!UnixSocketAddress(binding, address)) {
    error = "socket path too long or empty: " + path;
    return -1;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !S_ISSOCK(st.st_mode)) {
    error = "not a socket: " + path;
    return -1;
  }
  ::unlink(binding.c_str());
  const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error = "cannot create a socket";
    return -1;
  }
  const mode_t mask = ::umask(0177);
  const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  ::umask(mask);
  if (bound != 0 || ::listen(fd, 8) != 0 || ::rename(binding.c_str(), path.c_str()) != 0) {
    error = "cannot listen on " + path;
    ::unlink(binding.c_str());
    ::close(fd);
    return -1;
  }
  return fd;
}

int ConnectStream(const std::string& path) {
  sockaddr_un address;
  if (!UnixSocketAddress(path, address)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::string ControlPath() { return JoinPath(DeviceFolder(), "OrvMouseSim.control"); }

std::string StatePath() {
  const char* path = std::getenv("ORV_SIM_STATE");
  if (path && *path) return path;
  return JoinPath(DeviceFolder(), "OrvMouseSim.state");
}

SimServer::SimServer(MouseModel& model, std::string devicePath, std::string controlPath)
    : model_(model),
      devicePath_(std::move(devicePath)),
      controlPath_(std::move(controlPath)),
      buffer_(dp::kMaxFrame + 1) {
  if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe_[0] = wakePipe_[1] = -1;
  model_.SetEventPendingCallback([this] { ++pendingNotices_; });
}

SimServer::~SimServer() {
  model_.SetEventPendingCallback(nullptr);
  for (ControlClient& client : controlClients_) ::close(client.fd);
  CloseDeviceClient();
  CloseDeviceSocket();
  if (controlListen_ >= 0) {
    ::close(controlListen_);
    ::unlink(controlPath_.c_str());
  }
  for (int fd : wakePipe_) {
    if (fd >= 0) ::close(fd);
  }
}

bool SimServer::Start(bool present, std::string& error) {
  const int other = ConnectStream(controlPath_);
  if (other >= 0) {
    ::close(other);
    error = "a simulator is already running (" + controlPath_ + ")";
    return false;
  }
  if (wakePipe_[0] < 0) {
    error = "cannot create a pipe";
    return false;
  }
  if (present) {
    if (!OpenDeviceSocket(error)) return false;
  } else {
    if (IsSocket(devicePath_)) ::unlink(devicePath_.c_str());  // a dead simulator's device
    model_.Note("absent");
  }
  // Last, so that a command that reaches the simulator finds its device ready.
  controlListen_ = Listen(controlPath_, SOCK_STREAM, error);
  if (controlListen_ < 0) {
    CloseDeviceSocket();
    return false;
  }
  return true;
}

void SimServer::Stop() {
  const char byte = 1;
  if (wakePipe_[1] >= 0) {
    [[maybe_unused]] ssize_t n = ::write(wakePipe_[1], &byte, 1);
  }
}

bool SimServer::OpenDeviceSocket(std::string& error) {
  deviceListen_ = Listen(devicePath_, SOCK_SEQPACKET, error);
  if (deviceListen_ < 0) return false;
  model_.Note("device-present");
  return true;
}

void SimServer::CloseDeviceSocket() {
  if (deviceListen_ < 0) return;
  ::close(deviceListen_);
  deviceListen_ = -1;
  ::unlink(devicePath_.c_str());
}

void SimServer::AcceptDeviceClient() {
  const int fd = ::accept4(deviceListen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;
  // A client that closed and opens again at once has hung up before this connection came in:
  // take in what the old connection still holds, which notices its end.
  if (deviceClient_ >= 0) ReadDeviceClient();
  if (deviceClient_ >= 0) {
    // The device is opened exclusively: a second opener is refused.
    const auto refusal = dp::EncodeHello({false, ERROR_SHARING_VIOLATION});
    [[maybe_unused]] ssize_t n = ::send(fd, refusal.data(), refusal.size(), MSG_NOSIGNAL);
    ::close(fd);
    model_.Note("client-refused");
    return;
  }
  deviceClient_ = fd;
  model_.Note("client-open");
  QueueToClient(dp::EncodeHello({true, 0}));
}

void SimServer::CloseDeviceClient() {
  if (deviceClient_ < 0) return;
  ::close(deviceClient_);
  deviceClient_ = -1;
  outbox_.clear();
  pendingNotices_ = 0;
  model_.ClientClosed();
}

void SimServer::QueueToClient(std::vector<uint8_t> frame) {
  if (deviceClient_ < 0) return;
  if (outbox_.size() >= kMaxOutbox) {
    model_.Note("client-stalled");
    CloseDeviceClient();
    return;
  }
  outbox_.push_back(std::move(frame));
  FlushDeviceClient();
}

void SimServer::FlushDeviceClient() {
  while (deviceClient_ >= 0 && !outbox_.empty()) {
    const std::vector<uint8_t>& frame = outbox_.front();
    const ssize_t n = ::send(deviceClient_, frame.data(), frame.size(), MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(frame.size())) {
      outbox_.pop_front();
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    CloseDeviceClient();
  }
}

void SimServer::FlushNotices() {
  while (pendingNotices_ > 0) {
    --pendingNotices_;
    QueueToClient(dp::EncodeEventPending());
  }
}

void SimServer::ReadDeviceClient() {
  for (int i = 0; i < 64 && deviceClient_ >= 0; ++i) {
    const ssize_t n = ::recv(deviceClient_, buffer_.data(), buffer_.size(), 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return;
      CloseDeviceClient();
      return;
    }
    if (n == 0) {
      CloseDeviceClient();
      return;
    }
    HandleDeviceFrame(buffer_.data(), static_cast<size_t>(n));
  }
}

void SimServer::HandleDeviceFrame(const uint8_t* data, size_t size) {
  dp::Frame frame;
  if (!dp::DecodeFrame(data, size, frame) || frame.kind != dp::FrameKind::Request) {
    model_.Note("dropped-frame bytes=" + std::to_string(size));
    return;
  }
  dp::Request request;
  if (!dp::DecodeRequest(frame, request)) {
    dp::Answer refusal;
    refusal.code = frame.payload.size() >= 4 ? GetLe32(frame.payload.data()) : 0;
    refusal.error = ERROR_INVALID_PARAMETER;
    model_.Note("bad-request bytes=" + std::to_string(size));
    QueueToClient(dp::EncodeAnswer(frame.id, refusal));
    return;
  }
  const IoctlResult result = model_.Ioctl(request.code, request.in.data(), request.in.size(), request.outSize);
  dp::Answer answer;
  answer.code = request.code;
  answer.ok = result.ok;
  answer.error = result.error;
  answer.out = result.out;
  QueueToClient(dp::EncodeAnswer(frame.id, answer));
}

void SimServer::AcceptControlClient() {
  for (;;) {
    const int fd = ::accept4(controlListen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    ControlClient client;
    client.fd = fd;
    client.since = std::chrono::steady_clock::now();
    controlClients_.push_back(std::move(client));
  }
}

void SimServer::ReadControlClient(ControlClient& client) {
  char chunk[1024];
  bool ended = false;
  for (;;) {
    const ssize_t n = ::recv(client.fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      ended = true;
      break;
    }
    client.in.append(chunk, static_cast<size_t>(n));
    if (client.in.size() > kMaxCommandLine) break;
  }
  if (client.answered) return;
  const size_t end = client.in.find('\n');
  CommandReply reply;
  if (end != std::string::npos) {
    reply = Execute(client.in.substr(0, end));
  } else if (client.in.size() > kMaxCommandLine) {
    reply = {1, "command line too long"};
  } else if (ended) {
    ::close(client.fd);  // gone before a whole line: nothing to answer
    client.fd = -1;
    return;
  } else {
    return;  // the rest of the line is still coming
  }
  client.answered = true;
  client.out = std::to_string(reply.status) + "\n" + reply.text;
  if (!reply.text.empty() && reply.text.back() != '\n') client.out += "\n";
  WriteControlClient(client);
}

void SimServer::WriteControlClient(ControlClient& client) {
  while (!client.out.empty()) {
    const ssize_t n = ::send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
      client.out.clear();
      break;
    }
    client.out.erase(0, static_cast<size_t>(n));
  }
  ::close(client.fd);
  client.fd = -1;
}

void SimServer::Run() {
  for (;;) {
    bool repliesPending = false;
    for (const ControlClient& client : controlClients_) repliesPending |= client.fd >= 0;
    if (quitRequested_ && !repliesPending) break;

    std::vector<pollfd> fds;
    fds.push_back({wakePipe_[0], POLLIN, 0});
    fds.push_back({controlListen_, POLLIN, 0});
    const size_t deviceListenAt = fds.size();
    if (deviceListen_ >= 0) fds.push_back({deviceListen_, POLLIN, 0});
    const size_t deviceClientAt = fds.size();
    if (deviceClient_ >= 0) {
      fds.push_back({deviceClient_, static_cast<short>(POLLIN | (outbox_.empty() ? 0 : POLLOUT)), 0});
    }
    const size_t controlAt = fds.size();
    for (const ControlClient& client : controlClients_) {
      fds.push_back({client.fd, static_cast<short>(client.out.empty() ? POLLIN : POLLOUT), 0});
    }
    int timeout = -1;
    if (model_.HasTimedSteps())
      timeout = kTimedStepPollMs;
    else if (!controlClients_.empty())
      timeout = 200;
    if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) break;

    if (fds[0].revents) break;  // Stop()
    if (fds[1].revents & POLLIN) AcceptControlClient();
    if (deviceListen_ >= 0 && deviceListenAt < fds.size() && fds[deviceListenAt].fd == deviceListen_ &&
        (fds[deviceListenAt].revents & POLLIN)) {
      AcceptDeviceClient();
    }
    if (deviceClientAt < fds.size() && fds[deviceClientAt].fd == deviceClient_ && deviceClient_ >= 0) {
      const short events = fds[deviceClientAt].revents;
      if (events & POLLOUT) FlushDeviceClient();
      if (events & (POLLIN | POLLHUP | POLLERR)) ReadDeviceClient();
    }
    // Commands may change the device sockets; the descriptors polled above stay matched by value.
    for (size_t i = controlAt, c = 0; i < fds.size() && c < controlClients_.size(); ++i, ++c) {
      ControlClient& client = controlClients_[c];
      if (client.fd < 0 || client.fd != fds[i].fd) continue;
      if (fds[i].revents & POLLOUT) {
        WriteControlClient(client);
      } else if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
        ReadControlClient(client);
      }
    }
    const auto now = std::chrono::steady_clock::now();
    for (ControlClient& client : controlClients_) {
      if (client.fd >= 0 && now - client.since > kControlIdle) {
        ::close(client.fd);
        client.fd = -1;
      }
    }
    std::erase_if(controlClients_, [](const ControlClient& client) { return client.fd < 0; });

    model_.Poll();
    FlushNotices();
  }
}

int RunCommand(const std::string& controlPath, const std::string& line) {
  const int fd = ConnectStream(controlPath);
  if (fd < 0) {
    std::fprintf(stderr, "OrvMouseSim: no simulator is running (nothing answers at %s)\n", controlPath.c_str());
    return 1;
  }
  timeval timeout{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  const std::string request = line + "\n";
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
    ::close(fd);
    std::fprintf(stderr, "OrvMouseSim: the simulator did not take the command\n");
    return 1;
  }
  std::string answer;
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    answer.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  const size_t end = answer.find('\n');
  if (end == std::string::npos || (answer.compare(0, end, "0") != 0 && answer.compare(0, end, "1") != 0)) {
    std::fprintf(stderr, "OrvMouseSim: no answer from the simulator\n");
    return 1;
  }
  const int status = answer[0] - '0';
  const std::string text = answer.substr(end + 1);
  std::fputs(text.c_str(), status == 0 ? stdout : stderr);
  return status;
}

}  // namespace orv::sim
