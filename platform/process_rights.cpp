#include "platform/process_rights.h"

#include "base/files.h"
#include "platform/folders.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

std::string RuntimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg && *xdg) return xdg;
  const std::string folder = "/tmp/orvandel-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  // Only a folder of our own, closed to others, will do.
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077)) {
    return {};
  }
  return folder;
}

NamedMutex::NamedMutex(const std::string& name) {
  const std::string folder = RuntimeFolder();
  if (folder.empty() || name.empty() || name.find('/') != std::string::npos) return;
  fd_ = ::open(JoinPath(folder, name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    outcome_ = Outcome::Created;
  } else {
    outcome_ = errno == EWOULDBLOCK ? Outcome::AlreadyExists : Outcome::Failed;
    ::close(fd_);
    fd_ = -1;
  }
}

NamedMutex::~NamedMutex() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

TokenElevation ThisProcessElevation() { return ::geteuid() == 0 ? kElevationFull : kElevationLimited; }

TokenElevation ProcessElevation(pid_t pid) {
  std::string status;
  if (pid <= 0 || !ReadWholeFile("/proc/" + std::to_string(pid) + "/status", status, kMaxProcFileSize)) return kElevationUnknown;
  std::istringstream lines(status);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Uid:", 0) != 0) continue;
    std::istringstream ids(line.substr(4));
    long real = -1, effective = -1;
    ids >> real >> effective;
    if (effective < 0) return kElevationUnknown;
    return effective == 0 ? kElevationFull : kElevationLimited;
  }
  return kElevationUnknown;
}

}  // namespace orv
