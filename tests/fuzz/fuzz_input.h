#pragma once
// What the fuzz targets share: an input cut into parts, and a check that aborts (so that
// libFuzzer, and the corpus replay under ctest, report it).
#include <sys/socket.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace orv::fuzz {

#define ORV_FUZZ_CHECK(condition)                                                       \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

// The line that separates the parts of one input (files, frames, command lines).
inline constexpr std::string_view kPartSeparator = "\n#####\n";

// The input's parts, at most `most` (the last one takes the rest).
inline std::vector<std::string_view> SplitParts(const uint8_t* data, size_t size, size_t most = 64) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < most) {
    const size_t at = rest.find(kPartSeparator);
    if (at == std::string_view::npos) break;
    parts.push_back(rest.substr(0, at));
    rest.remove_prefix(at + kPartSeparator.size());
  }
  parts.push_back(rest);
  return parts;
}

inline const uint8_t* Bytes(std::string_view s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Waits up to `ms` for `events` on `fd`, going on after a signal (libFuzzer's timer interrupts
// waits). What poll gives: 1 when ready, 0 on time-out, -1 on an error.
int WaitFor(int fd, short events, int ms);

// A sequenced-packet connection to the Unix socket at `path` (the device socket, a window of
// the bus); the check fails when it cannot be made.
int ConnectSeqPacket(const std::string& path);

// recv and send, going on after a signal.
inline ssize_t Receive(int fd, void* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, size, 0);
    if (n >= 0 || errno != EINTR) return n;
  }
}
inline ssize_t SendMessage(int fd, const void* data, size_t size) {
  for (;;) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n >= 0 || errno != EINTR) return n;
  }
}

// A fresh private folder under the system's temporary folder, made once per process.
std::string ScratchFolder();
// A folder of that name in it, made when it is not there yet.
std::string ScratchSubfolder(const std::string& name);

}  // namespace orv::fuzz
