#pragma once
// The address of a Unix socket at a path, as every socket of the programs is reached.
#include <sys/socket.h>
#include <sys/un.h>

#include <string_view>

namespace orv {

// Fills `address` for `path`; false when the path is empty or too long for a socket address.
inline bool UnixSocketAddress(std::string_view path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  path.copy(address.sun_path, path.size());
  return true;
}

}  // namespace orv
