// The bus folder: which folder the windows of a user meet in, and whose windows count.
//
// The folder is $ORV_BUS_DIR when that is safe to use, else <$XDG_RUNTIME_DIR>/orv-windows
// when the runtime folder is private to its user, else a folder of the user's own under
// $TMPDIR (or /tmp): orv-windows-<uid>, or orv-windows-<uid>.1 ... .8 when another user took
// the names before. A folder is used only when it is no link and either
//   - belongs to this process's user and is closed to others, or open to all with the
//     sticky bit (nobody can then remove or replace another's files), or
//   - belongs to root and has the sticky bit (a shared folder an administrator made), or
//   - for a root process: is the session folder under the runtime folder of the user whose
//     session it serves, belongs to that user and is closed to others; that user is then
//     trusted besides root.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

#include "base/log.h"
#include "link/bus_internal.h"

namespace orv::bus::internal {
namespace {

constexpr int kFallbackSuffixes = 8;

enum class Verdict { kUse, kMissing, kRefuse };

// Whether `path` is a folder this process may create its files in (see above). `session`
// is the user a root process serves through this folder, when it is the session folder.
Verdict CheckFolder(const std::string& path, uid_t session, const char** why) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    *why = "it cannot be read";
    return errno == ENOENT ? Verdict::kMissing : Verdict::kRefuse;
  }
  if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode)) {
    *why = "it is a link or no folder";
    return Verdict::kRefuse;
  }
  uid_t self = ::geteuid();
  bool openToOthers = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  bool sticky = (st.st_mode & S_ISVTX) != 0;
  if (st.st_uid == self) {
    if (!openToOthers || sticky) return Verdict::kUse;
    *why = "others may replace its files";
    return Verdict::kRefuse;
  }
  if (st.st_uid == 0) {
    if (sticky) return Verdict::kUse;
    *why = "it belongs to root and is not a shared folder";
    return Verdict::kRefuse;
  }
  if (self == 0 && session != 0 && st.st_uid == session && !openToOthers) return Verdict::kUse;
  *why = "it belongs to another user";
  return Verdict::kRefuse;
}

// Makes a private folder; a root process makes a session folder for its user.
void MakeFolder(const std::string& path, uid_t owner) {
  if (::mkdir(path.c_str(), 0700) != 0) return;
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid()) {
    ::fchmod(fd, 0700);
    if (owner != st.st_uid && ::fchown(fd, owner, static_cast<gid_t>(-1)) != 0)
      ORV_LOG(Bus, Warning, "the session's bus folder %s cannot be given to its user", path.c_str());
  }
  ::close(fd);
}

// Uses `path`, making it when it is missing; false (with a log line, once per folder) when it
// cannot be used.
bool TryFolder(const std::string& path, uid_t session, uid_t maker) {
  const char* why = "";
  Verdict v = CheckFolder(path, session, &why);
  if (v == Verdict::kMissing) {
    MakeFolder(path, maker);
    v = CheckFolder(path, session, &why);
  }
  if (v == Verdict::kUse) return true;
  static std::mutex mutex;
  static std::set<std::string> told;
  std::lock_guard<std::mutex> lock(mutex);
  if (told.insert(path).second) ORV_LOG(Bus, Warning, "the bus folder %s is not used: %s", path.c_str(), why);
  return false;
}

// The user a runtime folder belongs to when it is private to that user and fit for this
// process (its own, or any user's for root); 0 when it is not.
bool PrivateRuntimeFolder(const std::string& path, uid_t& owner) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || (st.st_mode & (S_IWGRP | S_IWOTH))) return false;
  uid_t self = ::geteuid();
  if (st.st_uid != self && self != 0) return false;
  owner = st.st_uid;
  return true;
}

}  // namespace

Folder CurrentFolder() {
  uid_t self = ::geteuid();
  if (const char* dir = std::getenv("ORV_BUS_DIR"); dir && *dir) {
    if (TryFolder(dir, 0, self)) return {dir, 0};
  }
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    uid_t owner = 0;
    if (PrivateRuntimeFolder(runtime, owner)) {
      std::string path = std::string(runtime) + "/orv-windows";
      uid_t session = owner != self ? owner : 0;
      if (TryFolder(path, session, owner)) return {path, session};
    }
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/orv-windows-" + std::to_string(self);
  for (int i = 0; i <= kFallbackSuffixes; ++i) {
    std::string path = i == 0 ? base : base + "." + std::to_string(i);
    const char* why = "";
    Verdict v = CheckFolder(path, 0, &why);
    // Only a folder of this user's own, closed to others, will do here.
    struct stat st;
    if (v == Verdict::kUse && ::lstat(path.c_str(), &st) == 0 && st.st_uid == self && !(st.st_mode & 077))
      return {path, 0};
    if (v == Verdict::kMissing) {
      MakeFolder(path, self);
      if (CheckFolder(path, 0, &why) == Verdict::kUse) return {path, 0};
    }
  }
  ORV_LOG(Bus, Error, "no bus folder can be used");
  return {};
}

bool TrustedUser(uid_t uid, const Folder& folder) {
  uid_t self = ::geteuid();
  if (uid == self || uid == 0) return true;
  return self == 0 && folder.sessionUser != 0 && uid == folder.sessionUser;
}

bool TrustedUser(uid_t uid) { return TrustedUser(uid, CurrentFolder()); }

bool ReadBoundedFile(const std::string& path, size_t maxSize, std::string& bytes, struct stat& st) {
  bytes.clear();
  // The name is looked at first, so that a FIFO or a device is never even opened.
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      static_cast<uint64_t>(st.st_size) > maxSize)
    return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat opened;
  bool ok = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_ino == st.st_ino &&
            opened.st_dev == st.st_dev && static_cast<uint64_t>(opened.st_size) <= maxSize;
  if (ok) {
    bytes.resize(maxSize + 1);
    size_t got = 0;
    for (;;) {
      ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = n == 0;
        break;
      }
      got += static_cast<size_t>(n);
      if (got > maxSize) {
        ok = false;  // grew meanwhile
        break;
      }
    }
    bytes.resize(ok ? got : 0);
    st = opened;
  }
  ::close(fd);
  return ok;
}

}  // namespace orv::bus::internal
