// Fuzz target for the agent's side of the device socket: what DeviceHandle makes of the frames
// a device sends. The target serves a socket as the device: part 1 is sent as its greeting;
// each later part starts with a control byte. An odd one makes the part the answer to the
// client's next request (the rest is the answer's payload, in a frame with that request's id;
// bits 1-7 of the byte are the request's output size); an even one sends the rest as it is, a
// frame at any moment (notices, stray answers, junk; nothing when it is empty, as an empty
// message reads as the end of the connection). Then the device closes.
// Whatever comes: Open fails with an error or succeeds; every request ends with an answer that
// respects its output size, or a failure with an error and no bytes; a well-formed answer is
// taken as it is; once the device has gone every request fails with "not connected" (unless a
// stray answer with its id was sent before the device went).
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/files.h"
#include "device/device_codes.h"
#include "device/device_io.h"
#include "device/device_protocol.h"
#include "fuzz_input.h"

namespace {

using namespace orv;
namespace dp = device_protocol;

struct Device {
  std::string path;
  int listener = -1;
};

const Device& Listening() {
  static const Device device = [] {
    Device d;
    d.path = JoinPath(fuzz::ScratchFolder(), "device");
    d.listener = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ORV_FUZZ_CHECK(d.path.size() < sizeof address.sun_path);
    d.path.copy(address.sun_path, d.path.size());
    ORV_FUZZ_CHECK(::bind(d.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    ORV_FUZZ_CHECK(::listen(d.listener, 4) == 0);
    return d;
  }();
  return device;
}

void Send(int fd, const std::vector<uint8_t>& frame) {
  [[maybe_unused]] ssize_t n = fuzz::SendMessage(fd, frame.data(), frame.size());
}

// The device's side of one input.
void ServeDevice(int listener, const std::vector<std::string_view>& parts) {
  ORV_FUZZ_CHECK(fuzz::WaitFor(listener, POLLIN, 10000) == 1);
  const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  ORV_FUZZ_CHECK(fd >= 0);
  Send(fd, std::vector<uint8_t>(parts[0].begin(), parts[0].end()));
  std::vector<uint8_t> buffer(dp::kMaxFrame + 1);
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    const std::vector<uint8_t> rest(parts[i].begin() + 1, parts[i].end());
    if (!(parts[i][0] & 1)) {
      // An empty message reads as the end of the connection, which only the device ends.
      if (!rest.empty()) Send(fd, rest);
      continue;
    }
    // The client's next request; a client that has gone ends the device.
    if (fuzz::WaitFor(fd, POLLIN, 5000) <= 0) break;
    const ssize_t n = fuzz::Receive(fd, buffer.data(), buffer.size());
    if (n <= 0) break;
    dp::Frame request;
    ORV_FUZZ_CHECK(dp::DecodeFrame(buffer.data(), static_cast<size_t>(n), request));
    ORV_FUZZ_CHECK(request.kind == dp::FrameKind::Request);
    Send(fd, dp::EncodeFrame(dp::FrameKind::Answer, request.id, rest.data(), rest.size()));
  }
  ::close(fd);
}

void CheckResult(const IoctlResult& r, size_t outSize) {
  if (r.ok) {
    ORV_FUZZ_CHECK(r.error == 0);
    ORV_FUZZ_CHECK(r.out.size() <= outSize);
  } else {
    ORV_FUZZ_CHECK(r.error != 0);
    ORV_FUZZ_CHECK(r.out.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Device& device = Listening();
  const auto parts = fuzz::SplitParts(data, size, 32);
  std::thread served(ServeDevice, device.listener, std::cref(parts));
  uint32_t error = 0;
  std::unique_ptr<DeviceHandle> handle = DeviceHandle::Open(device.path, &error);
  if (!handle) {
    ORV_FUZZ_CHECK(error != 0);
    served.join();
    return 0;
  }
  ORV_FUZZ_CHECK(error == 0);
  EventSemaphore semaphore(3);
  handle->AttachEventSemaphore(&semaphore);
  handle->SetAnswerTimeout(std::chrono::milliseconds(10000));
  const uint8_t in[4] = {1, 2, 3, 4};
  uint32_t id = 0;           // the id of the request made for an answer part
  bool strayAnswer = false;  // a frame sent before an answer part may answer its request first
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    if (!(parts[i][0] & 1)) {
      dp::Frame stray;
      const std::string_view raw = parts[i].substr(1);
      strayAnswer = strayAnswer || (dp::DecodeFrame(fuzz::Bytes(raw), raw.size(), stray) &&
                                    stray.kind == dp::FrameKind::Answer && stray.id == id + 1);
      continue;
    }
    ++id;
    const size_t outSize = static_cast<uint8_t>(parts[i][0]) >> 1;
    const IoctlResult r = handle->Ioctl(IOCTL_GET_DEVICE_INFO, in, i % 5, outSize);
    CheckResult(r, outSize);
    const bool raced = std::exchange(strayAnswer, false);
    if (!handle->Alive() || raced) continue;
    // A well-formed answer is taken as it is.
    const std::string_view payload = parts[i].substr(1);
    dp::Frame frame{dp::FrameKind::Answer, 1, std::vector<uint8_t>(payload.begin(), payload.end())};
    dp::Answer answer;
    if (dp::DecodeAnswer(frame, answer) && answer.out.size() <= outSize && !(answer.ok && answer.error)) {
      ORV_FUZZ_CHECK(r.ok == answer.ok);
      if (answer.ok) ORV_FUZZ_CHECK(r.out == answer.out);
      if (!answer.ok) ORV_FUZZ_CHECK(r.error == (answer.error ? answer.error : device_error::ERROR_GEN_FAILURE));
    } else {
      ORV_FUZZ_CHECK(!r.ok && r.error == device_error::ERROR_INVALID_DATA);
    }
  }
  served.join();
  const IoctlResult last = handle->Ioctl(IOCTL_GET_DEVICE_INFO, in, 4, 16);
  // A stray answer sent after the last answer part may still be read as the answer to this
  // request, if the handle's reader had not taken it before the request was made.
  if (strayAnswer)
    CheckResult(last, 16);
  else
    ORV_FUZZ_CHECK(!last.ok && last.error == device_error::ERROR_DEVICE_NOT_CONNECTED);
  ORV_FUZZ_CHECK(!handle->Alive());
  ORV_FUZZ_CHECK(semaphore.Count() <= semaphore.Maximum());
  handle->AttachEventSemaphore(nullptr);
  return 0;
}
