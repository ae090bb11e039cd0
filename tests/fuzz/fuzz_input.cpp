#include "fuzz_input.h"

#include "base/files.h"
#include "platform/unix_socket.h"

#include <poll.h>
#include <stdlib.h>

#include <cerrno>
#include <chrono>

#include <filesystem>

namespace orv::fuzz {
namespace {

// Never destroyed, so that the removal at exit can still name it.
const std::string* g_scratch = nullptr;

}  // namespace

int WaitFor(int fd, short events, int ms) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
    if (n >= 0 || errno != EINTR) return n;
  }
}

int ConnectSeqPacket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un address;
  ORV_FUZZ_CHECK(fd >= 0 && UnixSocketAddress(path, address));
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  ORV_FUZZ_CHECK(rc == 0);
  return fd;
}

std::string ScratchFolder() {
  if (!g_scratch) {
    char name[] = "/tmp/orv-fuzz-XXXXXX";
    if (!::mkdtemp(name)) {
      std::fprintf(stderr, "cannot make a scratch folder\n");
      std::abort();
    }
    g_scratch = new std::string(name);
    // Removed when the process ends normally (a crash leaves it for a look).
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*g_scratch, ignored);
    });
  }
  return *g_scratch;
}

std::string ScratchSubfolder(const std::string& name) {
  const std::string folder = JoinPath(ScratchFolder(), name);
  MakeFolders(folder);
  return folder;
}

}  // namespace orv::fuzz
