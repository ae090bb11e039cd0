// The scan of the bus folder behind FindWindow.
//
// The live endpoints as last read from the bus folder. The folder's modification time tells
// whether anything was created, removed or renamed since; a time too close to the moment of
// reading is not trusted (file times have a coarse clock), so such a scan is repeated.
//
// Only the .window files of trusted users are read (a link, a FIFO, a device or a file over
// 4 KiB is skipped by its name's status, before it is opened), and a window counts only when
// its socket belongs to the same user.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "link/bus_internal.h"

namespace orv::bus::internal {
namespace {

struct FolderScan {
  std::string folder;
  uid_t sessionUser = 0;
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

// The handle a directory entry names with `suffix`, or 0.
WindowHandle HandleOf(const char* name, std::string_view suffix) {
  std::string_view n = name;
  if (n.size() <= suffix.size() || n.substr(n.size() - suffix.size()) != suffix) return 0;
  if (name[0] < '0' || name[0] > '9') return 0;
  char* end = nullptr;
  errno = 0;
  unsigned long h = std::strtoul(name, &end, 10);
  if (errno != 0 || end != name + (n.size() - suffix.size()) || h == 0 || h > 0xFFFFFFFFul) return 0;
  return static_cast<WindowHandle>(h);
}

void ScanFolder(const Folder& folder) {
  g_scan.folder = folder.path;
  g_scan.sessionUser = folder.sessionUser;
  g_scan.live.clear();
  g_scan.trusted = false;
  DIR* dir = ::opendir(folder.path.c_str());
  if (!dir) return;
  while (dirent* e = ::readdir(dir)) {
    WindowHandle h = HandleOf(e->d_name, ".window");
    if (!h) continue;
    EndpointInfo info;
    if (!ReadInfo(folder, h, info)) continue;
    if (!OwnerAlive(info)) {
      RemoveEndpointFiles(folder.path, h);
      continue;
    }
    if (!SocketMatches(folder, h, info)) continue;
    g_scan.live.emplace_back(h, std::move(info));
  }
  ::closedir(dir);
  timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  if (FolderTime(folder.path, g_scan.mtime)) {
    int64_t age = (now.tv_sec - g_scan.mtime.tv_sec) * 1'000'000'000 + (now.tv_nsec - g_scan.mtime.tv_nsec);
    g_scan.trusted = age > kTrustAfterNs;
  }
}

}  // namespace

WindowHandle FindLive(std::u16string_view title) {
  Folder folder = CurrentFolder();
  if (folder.path.empty()) return 0;
  std::lock_guard<std::mutex> lock(g_scanMutex);
  for (int pass = 0; pass < 2; ++pass) {
    timespec mtime;
    if (!FolderTime(folder.path, mtime)) return 0;
    bool current = g_scan.trusted && g_scan.folder == folder.path && g_scan.sessionUser == folder.sessionUser &&
                   mtime.tv_sec == g_scan.mtime.tv_sec && mtime.tv_nsec == g_scan.mtime.tv_nsec;
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

std::vector<WindowHandle> AllHandles() {
  std::vector<WindowHandle> all;
  Folder folder = CurrentFolder();
  DIR* dir = folder.path.empty() ? nullptr : ::opendir(folder.path.c_str());
  if (!dir) return all;
  while (dirent* e = ::readdir(dir))
    if (WindowHandle h = HandleOf(e->d_name, ".window")) all.push_back(h);
  ::closedir(dir);
  return all;
}

}  // namespace orv::bus::internal
