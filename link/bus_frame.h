#pragma once
// The frame every window-bus message travels in between processes: fixed size, little-endian,
// with a magic number and a version so that anything else is recognised and dropped.
#include <cstddef>
#include <cstdint>

namespace orv {

inline constexpr size_t kBusFrameSize = 48;
inline constexpr uint32_t kBusFrameMagic = 0x4256524F;  // "ORVB"
inline constexpr uint16_t kBusFrameVersion = 1;
// Messages a window's queue holds at most, as a Windows message queue does.
inline constexpr size_t kMaxQueuedMessages = 10000;

struct BusFrame {
  enum Kind : uint8_t { kPost = 1, kSend = 2, kReply = 3 };
  uint8_t kind = 0;
  uint8_t flags = 0;  // in a reply: bit 0 = a handler received the message
  uint32_t window = 0;
  uint32_t code = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
  int64_t result = 0;  // replies only
  uint32_t sequence = 0;
};

namespace detail {
inline void PutLe(uint8_t* p, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint64_t GetLe(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}
}  // namespace detail

inline void EncodeBusFrame(const BusFrame& f, uint8_t (&out)[kBusFrameSize]) {
  using detail::PutLe;
  PutLe(out + 0, kBusFrameMagic, 4);
  PutLe(out + 4, kBusFrameVersion, 2);
  out[6] = f.kind;
  out[7] = f.flags;
  PutLe(out + 8, f.window, 4);
  PutLe(out + 12, f.code, 4);
  PutLe(out + 16, f.wParam, 8);
  PutLe(out + 24, static_cast<uint64_t>(f.lParam), 8);
  PutLe(out + 32, static_cast<uint64_t>(f.result), 8);
  PutLe(out + 40, f.sequence, 4);
  PutLe(out + 44, 0, 4);
}

// False for anything that is not exactly one frame of this version.
inline bool DecodeBusFrame(const uint8_t* in, size_t size, BusFrame& f) {
  using detail::GetLe;
  if (size != kBusFrameSize || GetLe(in, 4) != kBusFrameMagic || GetLe(in + 4, 2) != kBusFrameVersion) return false;
  if (in[6] < BusFrame::kPost || in[6] > BusFrame::kReply || GetLe(in + 44, 4) != 0) return false;
  f.kind = in[6];
  f.flags = in[7];
  f.window = static_cast<uint32_t>(GetLe(in + 8, 4));
  f.code = static_cast<uint32_t>(GetLe(in + 12, 4));
  f.wParam = GetLe(in + 16, 8);
  f.lParam = static_cast<int64_t>(GetLe(in + 24, 8));
  f.result = static_cast<int64_t>(GetLe(in + 32, 8));
  f.sequence = static_cast<uint32_t>(GetLe(in + 40, 4));
  return true;
}

}  // namespace orv
