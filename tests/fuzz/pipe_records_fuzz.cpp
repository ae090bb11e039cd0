// Fuzz target for the pipe's records as the agent's pipe server reads them from anyone who
// connects: each part of the input is sent as one record to a server whose window records what
// it gets. The window gets exactly the records of 12 bytes that carry one of the panel's four
// codes, in order and with their values; every other record is counted as dropped.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/files.h"
#include "fuzz_input.h"
#include "recording_window.h"
#include "link/messages.h"
#include "link/pipe_channel.h"
#include "link/window_bus.h"

namespace {

using namespace orv;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    const std::string f = fuzz::ScratchSubfolder("pipe-bus");
    setenv("ORV_BUS_DIR", f.c_str(), 1);
    return fuzz::ScratchFolder();
  }();
  static fuzz::RecordingWindow* recorder = new fuzz::RecordingWindow;
  static const WindowHandle window = bus::CreateWindow(recorder, u"Pipe window");
  ORV_FUZZ_CHECK(window != 0);
  static const std::string path = JoinPath(folder, "pipe");
  static PipeChannel* server = [] {
    auto* channel = new PipeChannel(window, path, PipeChannel::kServer);
    ORV_FUZZ_CHECK(channel->Start() == 1);
    return channel;
  }();
  const auto parts = fuzz::SplitParts(data, size, 64);

  // The server's socket appears once its worker listens.
  int fd = -1;
  for (int attempt = 0; attempt < 1000 && fd < 0; ++attempt) {
    fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd);
      fd = -1;
      bus::PumpFor(1);
    }
  }
  ORV_FUZZ_CHECK(fd >= 0);

  recorder->received.clear();
  const uint32_t droppedBefore = server->DroppedRecords();
  std::vector<fuzz::Received> expected;
  uint32_t dropped = 0;
  for (std::string_view part : parts) {
    if (part.empty()) continue;  // an empty record is no message at all
    ORV_FUZZ_CHECK(fuzz::SendMessage(fd, part.data(), part.size()) == static_cast<ssize_t>(part.size()));
    uint32_t code, wParam, lParam;
    if (ParsePipeRecord(fuzz::Bytes(part), part.size(), code, wParam, lParam) && IsPipeMessage(code)) {
      expected.push_back({code, wParam, static_cast<int32_t>(lParam)});
      const auto record = MakePipeRecord(code, wParam, lParam);
      ORV_FUZZ_CHECK(std::string_view(reinterpret_cast<const char*>(record.data()), record.size()) == part);
    } else {
      ++dropped;
    }
  }
  // A last record marks the end: everything before it has been read then.
  const auto end = MakePipeRecord(UM_QUERY_MEMORY_SIZE, 0xE0D, 0xE0D);
  ORV_FUZZ_CHECK(fuzz::SendMessage(fd, end.data(), end.size()) == static_cast<ssize_t>(end.size()));
  const auto ended = [&] { return !recorder->received.empty() && recorder->received.back().wParam == 0xE0D; };
  for (int round = 0; round < 10000 && !ended(); ++round) bus::PumpFor(1, ended);
  ORV_FUZZ_CHECK(ended());
  recorder->received.pop_back();
  ::close(fd);
  recorder->CheckReceived(expected);
  ORV_FUZZ_CHECK(server->DroppedRecords() - droppedBefore == dropped);
  // The server takes the next client: wait until this one's entry is free again.
  for (int round = 0; round < 10000 && server->ConnectedEntries() > 0; ++round) bus::PumpFor(1);
  return 0;
}
