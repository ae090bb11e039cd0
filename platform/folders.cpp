#include "platform/folders.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/files.h"

namespace orv {
namespace {

constexpr std::string_view kVendorFolder = "Veltrix";
constexpr std::string_view kProductFolder = "Orvandel Tidefall MMO Gaming Mouse";

std::string ProductFolder() {
  return JoinPath(JoinPath(AppDataFolder(), kVendorFolder), kProductFolder);
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

RegistryStore UserRegistry() { return RegistryStore(RegistryFile()); }

std::string ProgramFolder() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool CreateConfFolders() { return MakeFolders(ConfFolder()); }

}  // namespace orv
