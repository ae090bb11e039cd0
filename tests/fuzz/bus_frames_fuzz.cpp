// Fuzz target for the window bus's frames as a window's process reads them from other
// processes, both ways. A part whose first byte is even is sent as it is, as one message, to a
// window of this process over its socket (as any process of the user may; an empty one is left
// out, as it reads as the end of the connection). A part whose first
// byte is odd answers a Send that this process makes to a window served by the target itself:
// with bit 1 set the rest of the part fills a reply frame carrying the Send's own sequence
// number (result, flags), else the rest is sent as it is. The window's handler gets exactly the
// frames that are well formed, addressed to it and post or send, in order; each send among them
// gets its reply. The Send gets the result of the first well-formed reply to it (0 when that
// says no handler took the message), and 0 when none came before the other end closed.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "fuzz_input.h"
#include "recording_window.h"
#include "link/bus_frame.h"
#include "link/window_bus.h"

namespace {

using namespace orv;

std::string Folder() {
  static const std::string folder = [] {
    const std::string f = fuzz::ScratchSubfolder("bus");
    setenv("ORV_BUS_DIR", f.c_str(), 1);
    return f;
  }();
  return folder;
}

uint64_t OwnStartTime() {
  std::string stat;
  ORV_FUZZ_CHECK(ReadWholeFile("/proc/self/stat", stat, kMaxProcFileSize));
  size_t i = stat.rfind(')') + 1;
  for (int field = 2; i < stat.size() && field < 22; ++i)
    if (stat[i] == ' ') ++field;
  return std::strtoull(stat.c_str() + i, nullptr, 10);
}

// A window of "another process": its endpoint file names this process, its socket is served
// by `Serve` with the reply parts.
void Serve(int listener, const std::vector<std::string_view>& replies) {
  if (fuzz::WaitFor(listener, POLLIN, 10000) != 1) return;
  const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  uint8_t bytes[kBusFrameSize + 1];
  const ssize_t n = fuzz::Receive(fd, bytes, sizeof bytes);
  BusFrame sent;
  ORV_FUZZ_CHECK(n > 0 && DecodeBusFrame(bytes, static_cast<size_t>(n), sent) && sent.kind == BusFrame::kSend);
  for (std::string_view part : replies) {
    std::string_view rest = part.substr(1);
    if (part[0] & 2) {
      BusFrame reply = sent;
      reply.kind = BusFrame::kReply;
      reply.flags = rest.empty() ? 1 : static_cast<uint8_t>(rest[0]);
      reply.result = 0;
      for (size_t i = 1; i < rest.size() && i <= 8; ++i) reply.result |= static_cast<int64_t>(static_cast<uint8_t>(rest[i])) << (8 * (i - 1));
      uint8_t out[kBusFrameSize];
      EncodeBusFrame(reply, out);
      (void)!fuzz::SendMessage(fd, out, sizeof out);
    } else if (!rest.empty()) {  // an empty message would read as the end
      (void)!fuzz::SendMessage(fd, rest.data(), rest.size());
    }
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = Folder();
  static fuzz::RecordingWindow* recorder = new fuzz::RecordingWindow;
  static const WindowHandle window = bus::CreateWindow(recorder, u"Fuzz window");
  ORV_FUZZ_CHECK(window != 0);
  const auto parts = fuzz::SplitParts(data, size, 64);
  std::vector<std::string_view> frames, replies;
  for (std::string_view part : parts) {
    if (part.empty()) continue;
    (part[0] & 1 ? replies : frames).push_back(part);
  }

  // Frames to the window.
  recorder->received.clear();
  std::vector<fuzz::Received> expected;
  std::vector<BusFrame> sends;
  const int fd = fuzz::ConnectSeqPacket(JoinPath(folder, std::to_string(window) + ".sock"));
  std::vector<std::string> patched;
  for (std::string_view part : frames) {
    // "WWWW" where a frame names its window stands for the window's handle, which is new in
    // every run.
    std::string frame(part.substr(1));
    if (frame.size() >= 12 && frame.compare(8, 4, "WWWW") == 0) {
      for (int i = 0; i < 4; ++i) frame[8 + i] = static_cast<char>(window >> (8 * i));
    }
    patched.push_back(std::move(frame));
  }
  for (const std::string& rest : patched) {
    // An empty message reads as the end of the connection: the sender only cuts itself off.
    if (rest.empty()) continue;
    (void)!fuzz::SendMessage(fd, rest.data(), rest.size());
    BusFrame f;
    if (DecodeBusFrame(fuzz::Bytes(rest), rest.size(), f) && f.window == window &&
        (f.kind == BusFrame::kPost || f.kind == BusFrame::kSend)) {
      expected.push_back({f.code, f.wParam, f.lParam});
      if (f.kind == BusFrame::kSend) sends.push_back(f);
    }
  }
  // A last post marks the end: everything before it on the connection has been read then.
  constexpr uint32_t kEndCode = 0xFFFFFFF0;
  uint8_t end[kBusFrameSize];
  EncodeBusFrame(BusFrame{BusFrame::kPost, 0, window, kEndCode, 0, 0, 0, 0}, end);
  (void)!fuzz::SendMessage(fd, end, sizeof end);
  const auto ended = [&] { return !recorder->received.empty() && recorder->received.back().code == kEndCode; };
  for (int round = 0; round < 10000 && !ended(); ++round) bus::PumpFor(1, ended);
  ORV_FUZZ_CHECK(ended());
  recorder->received.pop_back();
  recorder->CheckReceived(expected);
  for (const BusFrame& send : sends) {
    uint8_t bytes[kBusFrameSize + 1];
    ORV_FUZZ_CHECK(fuzz::WaitFor(fd, POLLIN, 5000) == 1);
    const ssize_t n = fuzz::Receive(fd, bytes, sizeof bytes);
    BusFrame reply;
    ORV_FUZZ_CHECK(n > 0 && DecodeBusFrame(bytes, static_cast<size_t>(n), reply));
    ORV_FUZZ_CHECK(reply.kind == BusFrame::kReply && reply.sequence == send.sequence && reply.flags == 1);
    ORV_FUZZ_CHECK(reply.result == static_cast<LResult>(send.code) * 3 + static_cast<LResult>(send.wParam));
  }
  ::close(fd);

  // Replies to a Send of this process.
  if (replies.empty()) return 0;
  static uint32_t next = 0x7FFF0000;
  const WindowHandle other = ++next;
  const std::string base = JoinPath(folder, std::to_string(other));
  ORV_FUZZ_CHECK(ReplaceFileContents(base + ".window", {"pid=" + std::to_string(::getpid()) + "\nstart=" +
                                                        std::to_string(OwnStartTime()) + "\ntitle=Other\n"}));
  const int listener = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  (base + ".sock").copy(address.sun_path, sizeof address.sun_path - 1);
  ORV_FUZZ_CHECK(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
  ORV_FUZZ_CHECK(::listen(listener, 4) == 0);
  std::thread served(Serve, listener, std::cref(replies));
  bool delivered = true;
  const LResult result = bus::Send(other, 0x8123, 5, -6, &delivered);
  served.join();
  ::close(listener);
  ::unlink((base + ".sock").c_str());
  ::unlink((base + ".window").c_str());
  // The first reply part that makes a well-formed reply decides.
  LResult want = 0;
  bool wantDelivered = false;
  for (std::string_view part : replies) {
    if (part[0] & 2) {
      const std::string_view rest = part.substr(1);
      want = 0;
      for (size_t i = 1; i < rest.size() && i <= 8; ++i) want |= static_cast<int64_t>(static_cast<uint8_t>(rest[i])) << (8 * (i - 1));
      wantDelivered = (rest.empty() ? 1 : static_cast<uint8_t>(rest[0])) & 1;
      break;
    }
    // A frame sent as it is may be a well-formed reply too, with the right sequence or not.
    BusFrame f;
    const std::string_view rest = part.substr(1);
    if (DecodeBusFrame(fuzz::Bytes(rest), rest.size(), f) && f.kind == BusFrame::kReply) return 0;
  }
  // A reply that says no handler took the message gives 0.
  ORV_FUZZ_CHECK(result == (wantDelivered ? want : 0));
  ORV_FUZZ_CHECK(delivered == wantDelivered);
  return 0;
}
