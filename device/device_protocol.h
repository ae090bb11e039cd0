#pragma once
// The frames that travel on the control device socket between the agent's DeviceHandle and
// the mouse simulator. The socket is a Unix SOCK_SEQPACKET socket, so every frame is one
// message and a malformed one can be dropped on its own without losing the framing.
//
// Every frame: a 16-byte header, then `length` bytes of payload. All numbers little-endian.
//
//   offset size  field
//   0      4     magic 0x4456524F (the bytes "ORVD")
//   4      2     version, 1
//   6      2     kind (FrameKind)
//   8      4     id: a request's number, echoed by its answer; 0 in hello and event-pending
//   12     4     length of the payload (at most kMaxPayload)
//
// Payloads:
//   Hello (server -> client, first frame after connecting): u32 accepted (1/0), u32 error.
//     A device that is already open by another client answers accepted 0, error 32.
//   Request (client -> server): u32 IOCTL code, u32 output size, then the input bytes.
//   Answer (server -> client): u32 IOCTL code, u32 ok (1/0), u32 error, then the output bytes
//     (never more than the output size of the request).
//   EventPending (server -> client): empty. One per event word the driver queued for the
//     registered client; the client releases its event semaphore once per notice.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/byte_order.h"

namespace orv::device_protocol {

constexpr uint32_t kMagic = 0x4456524F;
constexpr uint16_t kVersion = 1;
constexpr size_t kHeaderSize = 16;
constexpr size_t kMaxPayload = 64 * 1024;
constexpr size_t kMaxFrame = kHeaderSize + kMaxPayload;
// Largest input or output buffer of one request, so that request and answer always fit a frame.
constexpr size_t kMaxIoctlBuffer = kMaxPayload - 16;

enum class FrameKind : uint16_t {
  Hello = 1,
  Request = 2,
  Answer = 3,
  EventPending = 4,
};

struct Frame {
  FrameKind kind = FrameKind::Hello;
  uint32_t id = 0;
  std::vector<uint8_t> payload;
};

// A little-endian 32-bit number of a payload.
inline uint32_t GetU32(const uint8_t* p) { return GetLe32(p); }

// A whole frame. The caller keeps payloads within kMaxPayload (the helpers below do).
inline std::vector<uint8_t> EncodeFrame(FrameKind kind, uint32_t id, const uint8_t* payload, size_t size) {
  std::vector<uint8_t> out;
  out.reserve(kHeaderSize + size);
  AppendLe32(out, kMagic);
  AppendLe16(out, kVersion);
  AppendLe16(out, static_cast<uint16_t>(kind));
  AppendLe32(out, id);
  AppendLe32(out, static_cast<uint32_t>(size));
  if (size) out.insert(out.end(), payload, payload + size);
  return out;
}

// Checks magic, version, kind and that the length field matches the message exactly.
inline bool DecodeFrame(const uint8_t* data, size_t size, Frame& frame) {
  if (size < kHeaderSize || size > kMaxFrame) return false;
  if (GetU32(data) != kMagic || GetLe16(data + 4) != kVersion) return false;
  const uint16_t kind = GetLe16(data + 6);
  if (kind < static_cast<uint16_t>(FrameKind::Hello) || kind > static_cast<uint16_t>(FrameKind::EventPending)) {
    return false;
  }
  const uint32_t length = GetU32(data + 12);
  if (length != size - kHeaderSize) return false;
  frame.kind = static_cast<FrameKind>(kind);
  frame.id = GetU32(data + 8);
  frame.payload.assign(data + kHeaderSize, data + size);
  return true;
}

struct Hello {
  bool accepted = false;
  uint32_t error = 0;
};

inline std::vector<uint8_t> EncodeHello(const Hello& hello) {
  std::vector<uint8_t> payload;
  AppendLe32(payload, hello.accepted ? 1 : 0);
  AppendLe32(payload, hello.error);
  return EncodeFrame(FrameKind::Hello, 0, payload.data(), payload.size());
}

inline bool DecodeHello(const Frame& frame, Hello& hello) {
  if (frame.kind != FrameKind::Hello || frame.payload.size() != 8) return false;
  const uint32_t accepted = GetU32(frame.payload.data());
  if (accepted > 1) return false;
  hello.accepted = accepted == 1;
  hello.error = GetU32(frame.payload.data() + 4);
  return true;
}

struct Request {
  uint32_t code = 0;
  uint32_t outSize = 0;
  std::vector<uint8_t> in;
};

// Empty when a buffer is larger than kMaxIoctlBuffer.
inline std::vector<uint8_t> EncodeRequest(uint32_t id, uint32_t code, const uint8_t* in, size_t inSize,
                                          size_t outSize) {
  if (inSize > kMaxIoctlBuffer || outSize > kMaxIoctlBuffer || (inSize && !in)) return {};
  std::vector<uint8_t> payload;
  payload.reserve(8 + inSize);
  AppendLe32(payload, code);
  AppendLe32(payload, static_cast<uint32_t>(outSize));
  if (inSize) payload.insert(payload.end(), in, in + inSize);
  return EncodeFrame(FrameKind::Request, id, payload.data(), payload.size());
}

inline bool DecodeRequest(const Frame& frame, Request& request) {
  if (frame.kind != FrameKind::Request || frame.payload.size() < 8) return false;
  request.code = GetU32(frame.payload.data());
  request.outSize = GetU32(frame.payload.data() + 4);
  if (request.outSize > kMaxIoctlBuffer || frame.payload.size() - 8 > kMaxIoctlBuffer) return false;
  request.in.assign(frame.payload.begin() + 8, frame.payload.end());
  return true;
}

struct Answer {
  uint32_t code = 0;
  bool ok = false;
  uint32_t error = 0;
  std::vector<uint8_t> out;
};

inline std::vector<uint8_t> EncodeAnswer(uint32_t id, const Answer& answer) {
  std::vector<uint8_t> payload;
  const size_t outSize = answer.out.size() > kMaxIoctlBuffer ? kMaxIoctlBuffer : answer.out.size();
  payload.reserve(12 + outSize);
  AppendLe32(payload, answer.code);
  AppendLe32(payload, answer.ok ? 1 : 0);
  AppendLe32(payload, answer.error);
  payload.insert(payload.end(), answer.out.begin(), answer.out.begin() + static_cast<std::ptrdiff_t>(outSize));
  return EncodeFrame(FrameKind::Answer, id, payload.data(), payload.size());
}

inline bool DecodeAnswer(const Frame& frame, Answer& answer) {
  if (frame.kind != FrameKind::Answer || frame.payload.size() < 12) return false;
  answer.code = GetU32(frame.payload.data());
  const uint32_t ok = GetU32(frame.payload.data() + 4);
  if (ok > 1) return false;
  answer.ok = ok == 1;
  answer.error = GetU32(frame.payload.data() + 8);
  answer.out.assign(frame.payload.begin() + 12, frame.payload.end());
  return true;
}

inline std::vector<uint8_t> EncodeEventPending() { return EncodeFrame(FrameKind::EventPending, 0, nullptr, 0); }

}  // namespace orv::device_protocol
