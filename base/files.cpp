#include "base/files.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::initializer_list<std::string_view> parts) {
  std::string target = path;
  struct stat st {};
  bool exists = ::lstat(path.c_str(), &st) == 0;
  if (exists && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) target = resolved;
    exists = ::stat(target.c_str(), &st) == 0;
  }
  // Only a regular file is replaced: a folder, FIFO, socket or device (also behind a link, as
  // /dev/null might be) stays as it is.
  if (exists && !S_ISREG(st.st_mode)) return false;

  std::string temp = target + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  // mkstemp creates 0600; a replaced file keeps its own bits, a new one gets the usual 0666 & ~umask.
  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = ::fchmod(fd, mode) == 0;
  for (std::string_view part : parts) {
    if (!ok) break;
    ok = WriteAll(fd, part);
  }
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

const char* FileReadText(FileRead outcome) {
  switch (outcome) {
    case FileRead::kRead: return "read";
    case FileRead::kMissing: return "missing";
    case FileRead::kNotAFile: return "not a regular file";
    case FileRead::kTooLarge: return "larger than it may be";
    case FileRead::kFailed: return "cannot be read";
  }
  return "cannot be read";
}

int OpenRegularFile(const std::string& path, size_t maxBytes, FileRead* why) {
  FileRead ignored;
  FileRead& outcome = why ? *why : ignored;
  const auto refuse = [&](FileRead reason, int fd) {
    if (fd >= 0) ::close(fd);
    outcome = reason;
    return -1;
  };
  // Looked at before the open, so that a device is not even opened; and again on the open
  // descriptor, which is what counts when the name changed in between.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return refuse(errno == ENOENT || errno == ENOTDIR ? FileRead::kMissing : FileRead::kFailed, -1);
  if (!S_ISREG(st.st_mode)) return refuse(FileRead::kNotAFile, -1);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return refuse(errno == ENOENT ? FileRead::kMissing : FileRead::kFailed, -1);
  if (::fstat(fd, &st) != 0) return refuse(FileRead::kFailed, fd);
  if (!S_ISREG(st.st_mode)) return refuse(FileRead::kNotAFile, fd);
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > maxBytes) return refuse(FileRead::kTooLarge, fd);
  // Reads of a regular file do not block anyway; the flag goes so that nothing else sees it.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  outcome = FileRead::kRead;
  return fd;
}

FileRead ReadFileBounded(const std::string& path, std::string& bytes, size_t maxBytes) {
  bytes.clear();
  FileRead outcome = FileRead::kFailed;
  const int fd = OpenRegularFile(path, maxBytes, &outcome);
  if (fd < 0) return outcome;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) bytes.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    // One byte past the bound is enough to know the file is too large.
    const size_t room = maxBytes - bytes.size() + 1;
    ssize_t n = ::read(fd, buffer, room < sizeof buffer ? room : sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      outcome = FileRead::kFailed;
      break;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
    if (bytes.size() > maxBytes) {
      outcome = FileRead::kTooLarge;
      break;
    }
  }
  ::close(fd);
  if (outcome != FileRead::kRead) bytes.clear();
  return outcome;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, size_t maxBytes) {
  return ReadFileBounded(path, bytes, maxBytes) == FileRead::kRead;
}

bool CopyFileIfMissing(const std::string& from, const std::string& to, size_t maxBytes) {
  std::string bytes;
  if (!ReadWholeFile(from, bytes, maxBytes)) return false;
  // Claim the name first, so that a file appearing meanwhile is not replaced either.
  int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  if (ReplaceFileContents(to, {bytes})) return true;
  ::unlink(to.c_str());
  return false;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  if (out.empty()) return std::string(name);
  if (out.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  if (IsFolder(path)) return true;
  for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return IsFolder(path);
}

}  // namespace orv
