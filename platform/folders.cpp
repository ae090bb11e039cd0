#include "platform/folders.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"

namespace orv {
namespace {

constexpr std::string_view kVendorFolder = "Veltrix";
constexpr std::string_view kProductFolder = "Orvandel Tidefall MMO Gaming Mouse";

std::string ProductFolder() {
  return JoinPath(JoinPath(AppDataFolder(), kVendorFolder), kProductFolder);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string AppDataFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return xdg;
  const char* home = std::getenv("HOME");
  return JoinPath(home && *home ? home : "/tmp", ".config");
}

std::string ConfFolder() { return JoinPath(ProductFolder(), "Conf"); }
std::string ProfileFolder() { return JoinPath(ProductFolder(), "Profile"); }
std::string RegistryFile() {
  return JoinPath(JoinPath(AppDataFolder(), kVendorFolder), "Registry.ini");
}

std::string ProgramFolder() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool CopyFileIfMissing(const std::string& from, const std::string& to) {
  std::string bytes;
  if (!ReadWholeFile(from, bytes)) return false;
  // Claim the name first, so that a file appearing meanwhile is not replaced either.
  int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  if (ReplaceFileContents(to, {bytes})) return true;
  ::unlink(to.c_str());
  return false;
}

bool CreateConfFolders() { return MakeFolders(ConfFolder()); }

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
