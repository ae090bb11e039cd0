#include "platform/folders.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

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
