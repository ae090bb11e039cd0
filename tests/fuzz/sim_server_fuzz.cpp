// Fuzz target for the simulator's side of the device socket: what the simulator makes of the
// frames a client sends. A fresh simulator (model on a virtual clock, no state file) serves
// its device socket; each part of the input is sent as one frame, and the answer it calls for
// is read before the next is sent. Whatever comes: the simulator stays up and keeps serving;
// a request frame gets exactly one answer, with its id and code, never more output than asked
// for and ok only without an error; any other frame gets none.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "base/byte_order.h"
#include "base/files.h"
#include "device/device_protocol.h"
#include "fuzz_input.h"
#include "platform/clock.h"
#include "sim/mouse_model.h"
#include "sim/sim_server.h"

namespace {

using namespace orv;
namespace dp = device_protocol;

// The next frame from the simulator other than an event notice; false when it has closed.
bool NextFrame(int fd, std::vector<uint8_t>& buffer, dp::Frame& frame) {
  for (;;) {
    ORV_FUZZ_CHECK(fuzz::WaitFor(fd, POLLIN, 30000) == 1);  // a simulator that hangs is a finding
    const ssize_t n = fuzz::Receive(fd, buffer.data(), buffer.size());
    if (n <= 0) return false;
    ORV_FUZZ_CHECK(dp::DecodeFrame(buffer.data(), static_cast<size_t>(n), frame));
    if (frame.kind == dp::FrameKind::EventPending) {
      ORV_FUZZ_CHECK(frame.id == 0 && frame.payload.empty());
      continue;
    }
    return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string devicePath = JoinPath(fuzz::ScratchFolder(), "sim-device");
  static const std::string controlPath = JoinPath(fuzz::ScratchFolder(), "sim-control");
  const auto parts = fuzz::SplitParts(data, size, 64);

  VirtualClock clock;
  sim::MouseModel model(clock);
  sim::SimServer server(model, devicePath, controlPath);
  std::string error;
  ORV_FUZZ_CHECK(server.Start(true, error));
  std::thread running([&] { server.Run(); });

  const int fd = fuzz::ConnectSeqPacket(devicePath);
  std::vector<uint8_t> buffer(dp::kMaxFrame + 1);
  dp::Frame frame;
  ORV_FUZZ_CHECK(NextFrame(fd, buffer, frame));
  dp::Hello hello;
  ORV_FUZZ_CHECK(dp::DecodeHello(frame, hello) && hello.accepted);

  for (std::string_view part : parts) {
    if (part.empty() || part.size() > dp::kMaxFrame) continue;
    ORV_FUZZ_CHECK(fuzz::SendMessage(fd, part.data(), part.size()) == static_cast<ssize_t>(part.size()));
    dp::Frame sent;
    if (!dp::DecodeFrame(fuzz::Bytes(part), part.size(), sent) || sent.kind != dp::FrameKind::Request) continue;
    ORV_FUZZ_CHECK(NextFrame(fd, buffer, frame));
    dp::Answer answer;
    ORV_FUZZ_CHECK(dp::DecodeAnswer(frame, answer));
    ORV_FUZZ_CHECK(frame.id == sent.id);
    ORV_FUZZ_CHECK(answer.code == (sent.payload.size() >= 4 ? GetLe32(sent.payload.data()) : 0));
    dp::Request request;
    if (dp::DecodeRequest(sent, request)) {
      ORV_FUZZ_CHECK(answer.out.size() <= request.outSize);
    } else {
      ORV_FUZZ_CHECK(!answer.ok && answer.out.empty());
    }
    if (answer.ok) ORV_FUZZ_CHECK(answer.error == 0);
    if (!answer.ok) ORV_FUZZ_CHECK(answer.error != 0 && answer.out.empty());
  }
  // Nothing more is owed: the simulator closes the device on the client's end without
  // another answer.
  ::shutdown(fd, SHUT_WR);
  ORV_FUZZ_CHECK(!NextFrame(fd, buffer, frame));
  ::close(fd);
  server.Stop();
  running.join();
  return 0;
}
