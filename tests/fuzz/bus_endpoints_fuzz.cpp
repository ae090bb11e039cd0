// Fuzz target for the files of the window bus's folder that any process of the user can write:
// the table of registered message names (part 1) and the endpoint files of windows (each later
// part one "<handle>.window" file; "$PID" and "$START" in it stand for this process's id and
// start time, so that inputs can describe a live owner; each has a socket that nobody serves).
// Whatever the files say: a window found
// by a title has that title and its file's owner; what is found is a window; a registered
// message's code lies in the range of registered messages, and no other name has it.
#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/text.h"
#include "fuzz_input.h"
#include "link/window_bus.h"

namespace {

using namespace orv;

std::string Folder() {
  static const std::string folder = [] {
    const std::string f = fuzz::ScratchSubfolder("endpoints");
    setenv("ORV_BUS_DIR", f.c_str(), 1);
    return f;
  }();
  return folder;
}

std::string OwnStartTime() {
  std::string stat;
  ORV_FUZZ_CHECK(ReadWholeFile("/proc/self/stat", stat, kMaxProcFileSize));
  size_t i = stat.rfind(')') + 1;
  for (int field = 2; i < stat.size() && field < 22; ++i)
    if (stat[i] == ' ') ++field;
  return stat.substr(i, stat.find(' ', i) - i);
}

void Replace(std::string& text, std::string_view from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) text.replace(at, from.size(), to);
}

void EmptyFolder(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] != '.') ::unlink(JoinPath(folder, e->d_name).c_str());
  }
  ::closedir(dir);
}

// The value after `key` up to the end of its line.
std::string Field(const std::string& text, std::string_view key) {
  const size_t at = text.find(key);
  if (at == std::string::npos) return {};
  const size_t from = at + key.size();
  return text.substr(from, text.find('\n', from) - from);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = Folder();
  static const std::string pid = std::to_string(::getpid());
  static const std::string start = OwnStartTime();
  const auto parts = fuzz::SplitParts(data, size, 16);
  EmptyFolder(folder);

  ORV_FUZZ_CHECK(ReplaceFileContents(JoinPath(folder, "registered-messages"), {parts[0]}));
  std::vector<std::string> titles;
  for (size_t i = 1; i < parts.size(); ++i) {
    std::string text(parts[i]);
    Replace(text, "$PID", pid);
    Replace(text, "$START", start);
    ORV_FUZZ_CHECK(ReplaceFileContents(JoinPath(folder, std::to_string(1000 + i) + ".window"), {text}));
    titles.push_back(Field(text, "\ntitle="));
    // Its socket: bound, but nobody listens on it.
    const std::string socketPath = JoinPath(folder, std::to_string(1000 + i) + ".sock");
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ORV_FUZZ_CHECK(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    ::close(fd);
  }

  for (const std::string& title : titles) {
    const WindowHandle h = bus::FindWindow(ToUtf16(title));
    if (!h) continue;
    ORV_FUZZ_CHECK(h > 1000 && h < 1000 + parts.size());
    ORV_FUZZ_CHECK(bus::IsWindow(h));
    ORV_FUZZ_CHECK(bus::WindowText(h) == ToUtf16(title));
    std::string file;
    ORV_FUZZ_CHECK(ReadWholeFile(JoinPath(folder, std::to_string(h) + ".window"), file, 1u << 20));
    ORV_FUZZ_CHECK(bus::WindowProcessId(h) == std::atoi(Field(file, "pid=").c_str()));
  }
  for (size_t i = 1; i < parts.size(); ++i) (void)bus::IsWindow(static_cast<WindowHandle>(1000 + i));
  // No window has a socket here: nothing can be posted to.
  ORV_FUZZ_CHECK(bus::Broadcast(0x8001, 1, 2) == 0);

  // Names the table holds, each registered once per process (the codes are kept after that).
  static std::set<std::u16string> registered;
  // There are 0x4000 registered codes in all: a process that registers more names than that
  // must hand some code out twice, so the target stops well before.
  constexpr size_t kMostNames = 0x3000;
  const std::string table(parts[0]);
  for (size_t at = 0, n = 0; at < table.size() && n < 4 && registered.size() < kMostNames;) {
    const size_t eol = std::min(table.find('\n', at), table.size());
    const std::string line = table.substr(at, eol - at);
    at = eol + 1;
    const size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    // Names are registered as text: bytes that are no UTF-8 read as the same replacement
    // characters.
    const std::u16string name = ToUtf16(line.substr(space + 1));
    if (name.empty() || !registered.insert(name).second) continue;
    ++n;
    const uint32_t code = bus::RegisterMessage(name);
    ORV_FUZZ_CHECK(code >= 0xC000 && code <= 0xFFFF);
    // Names whose codes are the same in one process would be one message.
    static std::map<uint32_t, std::u16string> names;
    ORV_FUZZ_CHECK(names.emplace(code, name).second);
  }
  return 0;
}
