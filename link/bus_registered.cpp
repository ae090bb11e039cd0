// Registered messages: the same code for the same name in every process of the bus folder.
//
// A name's code is a hash of it in 0xC000..0xFFFF. The table "registered-messages" in the bus
// folder makes the codes agree even when two names hash alike: the first process to register a
// name fixes its code for everyone. The table is used only when it is a regular file of a
// trusted user, of bounded size, opened without following a link; its lock is waited for a
// bounded time. Without the table (another user's file, a link, a lock held too long) a name
// gets its plain hashed code, which is what every process computes alike, and a line says so.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "base/log.h"
#include "base/text.h"
#include "link/bus_internal.h"
#include "link/messages.h"

namespace orv::bus {
namespace {

using namespace internal;

constexpr size_t kMaxTableSize = 64 * 1024;
constexpr int kLockWaitMs = 500;
constexpr int kLockRetryMs = 5;

std::mutex g_registeredMutex;
std::map<std::u16string, uint32_t> g_registered;

uint32_t HashedCode(std::string_view name, uint32_t probe) {
  uint32_t h = 2166136261u;
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  return kFirstRegisteredMessage + (h + probe) % (0x10000 - kFirstRegisteredMessage);
}

// Takes the table's lock, waiting at most kLockWaitMs.
bool LockTable(int fd) {
  uint64_t until = NowMs() + kLockWaitMs;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (NowMs() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kLockRetryMs));
  }
}

// Opens the table for reading and appending; -1 (and why) when it cannot be trusted.
int OpenTable(const Folder& folder, const char** why) {
  std::string path = folder.path + "/registered-messages";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0 && (errno == EACCES || errno == EPERM)) {
    // Another trusted user's table we may read but not extend.
    fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  }
  if (fd < 0) {
    *why = errno == ELOOP ? "it is a link" : "it cannot be opened";
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kMaxTableSize ||
      !TrustedUser(st.st_uid, folder) || st.st_nlink != 1) {
    *why = "it is not a plain file of a trusted user";
    ::close(fd);
    return -1;
  }
  // A table this process made is readable by everyone and writable by its user only.
  if (st.st_uid == ::geteuid() && (st.st_mode & 07777) != 0644) ::fchmod(fd, 0644);
  return fd;
}

// The code the shared table gives the name, adding it when it is new; 0 without the table.
uint32_t CodeFromTable(const std::string& utf8) {
  Folder folder = CurrentFolder();
  if (folder.path.empty()) return 0;
  const char* why = "";
  int fd = OpenTable(folder, &why);
  if (fd < 0) {
    ORV_LOG(Bus, Warning, "the registered-messages table in %s is not used (%s); \"%s\" gets its own code",
            folder.path.c_str(), why, utf8.c_str());
    return 0;
  }
  if (!LockTable(fd)) {
    ORV_LOG(Bus, Warning, "the registered-messages table in %s stays locked; \"%s\" gets its own code",
            folder.path.c_str(), utf8.c_str());
    ::close(fd);
    return 0;
  }
  std::string text;
  char buf[4096];
  ssize_t n;
  while (text.size() <= kMaxTableSize && (n = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  std::map<std::string, uint32_t> byName;
  // A code this process has handed out already is never another name's (the caller holds
  // g_registeredMutex).
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
    // Not a registered code, or a code a line before gave another name (a hand edit): ignored.
    if (c < kFirstRegisteredMessage || c > 0xFFFF || taken.count(c)) continue;
    byName.emplace(line.substr(space + 1), c);
    taken.insert(c);
  }
  uint32_t code = 0;
  if (auto it = byName.find(utf8); it != byName.end()) {
    code = it->second;
  } else {
    code = HashedCode(utf8, 0);
    for (uint32_t probe = 0; taken.count(code) && probe < 0x4000; ++probe) code = HashedCode(utf8, probe + 1);
    char line[16];
    std::snprintf(line, sizeof line, "%04X ", code);
    std::string entry = line + utf8 + "\n";
    if (::lseek(fd, 0, SEEK_END) < 0 || ::write(fd, entry.data(), entry.size()) != static_cast<ssize_t>(entry.size()))
      ORV_LOG(Bus, Info, "\"%s\" could not be added to the registered-messages table", utf8.c_str());
  }
  ::close(fd);
  return code;
}

}  // namespace

uint32_t RegisterMessage(std::u16string_view name) {
  std::u16string key(name);
  std::lock_guard<std::mutex> lock(g_registeredMutex);
  if (auto it = g_registered.find(key); it != g_registered.end()) return it->second;
  std::string utf8 = ToUtf8(name);
  uint32_t code = CodeFromTable(utf8);
  if (code == 0) code = HashedCode(utf8, 0);
  g_registered[key] = code;
  return code;
}

}  // namespace orv::bus
