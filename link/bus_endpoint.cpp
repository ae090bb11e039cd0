// A window's endpoint: <handle>.sock, the socket its messages arrive on (mode 0600, so only
// its user and root can connect), and <handle>.window beside it, a small file with the owner's
// process id, the process's start time and the title, readable by everyone.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <random>

#include "base/files.h"
#include "base/text.h"
#include "link/bus_internal.h"
#include "platform/unix_socket.h"

namespace orv::bus::internal {

uint64_t NowMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string SocketPath(const std::string& folder, WindowHandle h) {
  return folder + "/" + std::to_string(h) + ".sock";
}
std::string InfoPath(const std::string& folder, WindowHandle h) {
  return folder + "/" + std::to_string(h) + ".window";
}

uint64_t ProcessStartTime(pid_t pid) {
  std::string stat;
  if (!ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", stat, kMaxProcFileSize)) return 0;
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

std::string InfoText(pid_t pid, uint64_t start, std::u16string_view title) {
  return "pid=" + std::to_string(pid) + "\nstart=" + std::to_string(start) + "\ntitle=" + ToUtf8(title) + "\n";
}

// The decimal number that fills the line from `at`: digits only, at least one, at most `most`.
bool LineNumber(const std::string& text, size_t at, uint64_t most, uint64_t& value) {
  const size_t end = std::min(text.find('\n', at), text.size());
  if (at >= end) return false;
  value = 0;
  for (size_t i = at; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (value > (most - digit) / 10) return false;
    value = value * 10 + digit;
  }
  return true;
}

bool ReadInfo(const Folder& folder, WindowHandle h, EndpointInfo& info) {
  std::string text;
  struct stat st;
  if (!ReadBoundedFile(InfoPath(folder.path, h), kMaxInfoFileSize, text, st)) return false;
  if (!TrustedUser(st.st_uid, folder)) return false;
  // "pid=", "start=" and "title=" lines, in that order, as InfoText writes them; the numbers
  // are plain decimal digits, nothing else on their lines.
  if (text.rfind("pid=", 0) != 0) return false;
  size_t startAt = text.find("\nstart=");
  size_t titleAt = text.find("\ntitle=");
  if (startAt == std::string::npos || titleAt == std::string::npos || titleAt < startAt) return false;
  uint64_t pid = 0, start = 0;
  if (!LineNumber(text, 4, std::numeric_limits<pid_t>::max(), pid) ||
      !LineNumber(text, startAt + 7, std::numeric_limits<uint64_t>::max(), start))
    return false;
  info.pid = static_cast<pid_t>(pid);
  info.start = start;
  info.uid = st.st_uid;
  std::string title = text.substr(titleAt + 7);
  if (!title.empty() && title.back() == '\n') title.pop_back();
  info.title = ToUtf16(title);
  return info.pid > 0;
}

bool OwnerAlive(const EndpointInfo& info) {
  if (::kill(info.pid, 0) != 0 && errno != EPERM) return false;
  return ProcessStartTime(info.pid) == info.start;
}

bool SocketMatches(const Folder& folder, WindowHandle h, const EndpointInfo& info) {
  struct stat st;
  return ::lstat(SocketPath(folder.path, h).c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == info.uid;
}

bool ReadLiveEndpoint(const Folder& folder, WindowHandle h, EndpointInfo& info) {
  return ReadInfo(folder, h, info) && SocketMatches(folder, h, info) && OwnerAlive(info);
}

void RemoveEndpointFiles(const std::string& folder, WindowHandle h) {
  // unlink never follows a link: a name swapped for one only loses the link.
  ::unlink(SocketPath(folder, h).c_str());
  ::unlink(InfoPath(folder, h).c_str());
}

namespace {

// Writes the whole text to a new file made with O_EXCL | O_NOFOLLOW, mode 0644 set on the
// descriptor; false (and no file left) when that cannot be done.
bool WriteNewFile(const std::string& path, const std::string& text, int* error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  bool ok = ::fchmod(fd, 0644) == 0 &&
            ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  if (!ok) {
    *error = EIO;
    ::unlink(path.c_str());
  }
  return ok;
}

}  // namespace

Claim ClaimEndpoint(const std::string& folder, WindowHandle h, std::u16string_view title) {
  pid_t pid = ::getpid();
  std::string info = InfoPath(folder, h);
  int error = 0;
  if (WriteNewFile(info, InfoText(pid, ProcessStartTime(pid), title), &error)) return Claim::kClaimed;
  if (error != EEXIST) return Claim::kFailed;
  // Taken. A trusted user's endpoint of a dead process is freed for a later try.
  Folder f{folder, 0};
  f.sessionUser = CurrentFolder().sessionUser;
  EndpointInfo old;
  if (ReadInfo(f, h, old) && !OwnerAlive(old)) RemoveEndpointFiles(folder, h);
  return Claim::kTaken;
}

bool RewriteEndpoint(const std::string& folder, WindowHandle h, std::u16string_view title) {
  static std::mt19937_64 random(std::random_device{}());
  pid_t pid = ::getpid();
  std::string text = InfoText(pid, ProcessStartTime(pid), title);
  for (int attempt = 0; attempt < 8; ++attempt) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx", static_cast<unsigned long long>(random()));
    std::string temp = InfoPath(folder, h) + suffix;
    int error = 0;
    if (!WriteNewFile(temp, text, &error)) {
      if (error == EEXIST) continue;
      return false;
    }
    // rename replaces the name itself: a link put in its place is replaced, never followed.
    if (::rename(temp.c_str(), InfoPath(folder, h).c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
  }
  return false;
}

int ListenEndpoint(const std::string& folder, WindowHandle h) {
  std::string path = SocketPath(folder, h);
  sockaddr_un addr;
  if (!UnixSocketAddress(path, addr)) return -1;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    // Our own leftover socket is replaced; anything else keeps the name.
    if (!S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid() || ::unlink(path.c_str()) != 0) return -1;
  }
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // bind makes a new name and never follows a link; the mode is then set without following one.
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  if (::fchmodat(AT_FDCWD, path.c_str(), 0600, AT_SYMLINK_NOFOLLOW) != 0 || ::listen(fd, 128) != 0) {
    ::close(fd);
    ::unlink(path.c_str());
    return -1;
  }
  return fd;
}

}  // namespace orv::bus::internal
