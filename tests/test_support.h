#pragma once
// Small helpers shared by the tests: temporary folders and raw file access.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <thread>

#include "base/text.h"

namespace orv::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orv-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// UTF-16LE bytes of a text, with the byte order mark FF FE first.
inline std::string Utf16LeFile(std::u16string_view text, bool mark = true) {
  std::string out = mark ? std::string("\xFF\xFE") : std::string();
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

inline std::u16string U(std::string_view utf8) { return ToUtf16(utf8); }
inline std::string N(std::u16string_view utf16) { return ToUtf8(utf16); }

// Waits until `done` holds, looking every 5 ms, for at most `ms`; whether it came to hold.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// What a hostile or broken system leaves where a data file should be.
enum class SpecialFile { kFifo, kFolder, kDeviceLink, kOverBound };
inline constexpr SpecialFile kSpecialFiles[] = {SpecialFile::kFifo, SpecialFile::kFolder, SpecialFile::kDeviceLink,
                                                SpecialFile::kOverBound};
inline const char* SpecialFileName(SpecialFile kind) {
  switch (kind) {
    case SpecialFile::kFifo: return "a FIFO nobody writes to";
    case SpecialFile::kFolder: return "a folder";
    case SpecialFile::kDeviceLink: return "a link to /dev/zero";
    case SpecialFile::kOverBound: return "a file one byte over its bound";
  }
  return "?";
}
// Puts one at `path` (which must not exist); the file over its bound is sparse, so a bound of
// many megabytes costs no disk.
inline bool MakeSpecialFile(const std::string& path, SpecialFile kind, size_t bound) {
  switch (kind) {
    case SpecialFile::kFifo: return ::mkfifo(path.c_str(), 0600) == 0;
    case SpecialFile::kFolder: return ::mkdir(path.c_str(), 0700) == 0;
    case SpecialFile::kDeviceLink: return ::symlink("/dev/zero", path.c_str()) == 0;
    case SpecialFile::kOverBound: {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
      const bool ok = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(bound) + 1) == 0;
      if (fd >= 0) ::close(fd);
      return ok;
    }
  }
  return false;
}

// Runs `work` on a thread of its own and waits at most `ms` for it: whether it finished in
// time. Work that hangs on opening the FIFO at `fifo` is then let go (the FIFO opened for
// writing and closed); work that still does not end stops the test program with a message,
// since its thread cannot be left running with the test's objects gone.
inline bool FinishesWithin(int ms, const std::function<void()>& work, const std::string& fifo = {}) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([&work, done] {
    work();
    done->store(true);
  });
  const bool inTime = WaitUntil([&] { return done->load(); }, ms);
  if (!inTime && !fifo.empty()) {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  }
  if (!WaitUntil([&] { return done->load(); }, 3000)) {
    std::fprintf(stderr, "a read that should have been refused hangs\n");
    std::abort();
  }
  thread.join();
  return inTime;
}

// FinishesWithin for work that must run on the calling thread (a window): a watchdog lets the
// FIFO at `fifo` go once `ms` have passed, and the answer says whether it had to.
inline bool FinishesHereWithin(int ms, const std::function<void()>& work, const std::string& fifo) {
  std::atomic<bool> done{false}, late{false};
  std::thread watchdog([&] {
    if (WaitUntil([&] { return done.load(); }, ms)) return;
    late = true;
    while (!done.load()) {
      const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  work();
  done = true;
  watchdog.join();
  return !late.load();
}

}  // namespace orv::test
