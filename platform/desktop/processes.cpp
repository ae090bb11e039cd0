#include "platform/desktop/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QString>
#include <QStringView>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>

#include "base/log.h"
#include "platform/x11/active_window.h"

namespace orv {
namespace {

// argv[0] of a process is read up to this many bytes; one that is longer is not used.
constexpr size_t kMaxArgv0 = 64 * 1024;

// Reads a /proc file up to `limit` bytes, stopping early at a NUL when `untilNul`. False when
// the file cannot be opened or read (the process is gone or closed to us).
bool ReadProcFile(const std::string& path, size_t limit, bool untilNul, std::string& out) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[4096];
  bool ok = true;
  while (out.size() < limit) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    out.append(buffer, static_cast<size_t>(n));
    if (untilNul && std::string_view(buffer, static_cast<size_t>(n)).find('\0') != std::string_view::npos) break;
  }
  ::close(fd);
  return ok;
}

std::u16string NameAt(const std::string& procRoot, pid_t pid) {
  const std::string folder = procRoot + "/" + std::to_string(pid);
  std::string cmdline, comm;
  bool haveCmdline = ReadProcFile(folder + "/cmdline", kMaxArgv0 + 1, true, cmdline);
  bool haveComm = ReadProcFile(folder + "/comm", 256, false, comm);
  if (!haveCmdline && !haveComm) return {};
  if (cmdline.size() > kMaxArgv0 && cmdline.find('\0') == std::string::npos) cmdline.clear();  // not read whole
  return ExecutableNameFrom(cmdline, comm);
}

bool ParsePid(const char* text, pid_t& pid) {
  std::string_view s(text);
  if (s.empty() || s.size() > 10) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  long long value = 0;
  std::from_chars(s.data(), s.data() + s.size(), value);
  if (value <= 0 || value > 0x7FFFFFFF) return false;
  pid = static_cast<pid_t>(value);
  return true;
}

}  // namespace

pid_t ForegroundProcessId() {
  static std::atomic<bool> told{false};
  const x11::ActiveWindowProcess active = x11::QueryActiveWindowProcess();
  if (!active.display && !told.exchange(true))
    ORV_LOG(Desktop, Warning, "no X display (%s): the foreground program cannot be seen", active.why.c_str());
  return active.pid;
}

std::u16string ExecutableNameFrom(std::string_view cmdline, std::string_view comm) {
  std::string_view argv0 = cmdline.substr(0, cmdline.find('\0'));
  size_t separator = argv0.find_last_of("/\\");
  std::string_view name = separator == std::string_view::npos ? argv0 : argv0.substr(separator + 1);
  if (name.empty()) {
    name = comm.substr(0, comm.find('\n'));
    name = name.substr(0, name.find('\0'));
  }
  std::u16string out = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toStdU16String();
  if (out.size() > kMaxExecutableName) {
    size_t keep = kMaxExecutableName;
    if (out[keep - 1] >= 0xD800 && out[keep - 1] <= 0xDBFF) --keep;  // no half of a pair
    out.resize(keep);
  }
  return out;
}

bool TakeProcessSnapshot(std::vector<ProcessEntry>& out) { return TakeProcessSnapshot(out, "/proc"); }

bool TakeProcessSnapshot(std::vector<ProcessEntry>& out, const std::string& procRoot) {
  out.clear();
  DIR* dir = ::opendir(procRoot.c_str());
  if (!dir) return false;
  while (const dirent* entry = ::readdir(dir)) {
    pid_t pid = 0;
    if (!ParsePid(entry->d_name, pid)) continue;
    std::u16string name = NameAt(procRoot, pid);
    if (name.empty()) continue;  // ended meanwhile
    out.push_back({pid, std::move(name)});
  }
  ::closedir(dir);
  return true;
}

std::u16string ExecutableNameOf(pid_t pid) {
  if (pid <= 0) return {};
  return NameAt("/proc", pid);
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return QStringView(a.data(), static_cast<qsizetype>(a.size()))
             .compare(QStringView(b.data(), static_cast<qsizetype>(b.size())), Qt::CaseInsensitive) == 0;
}

}  // namespace orv
