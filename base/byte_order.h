#pragma once
// Packing integers into bytes and back: little-endian (the device's requests and event words,
// the bus and pipe frames) and big-endian (the mouse's on-board and firmware words).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orv {

inline uint16_t GetLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetLe24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
}
inline uint32_t GetLe32(const uint8_t* p) { return GetLe24(p) | (static_cast<uint32_t>(p[3]) << 24); }
inline uint64_t GetLe64(const uint8_t* p) {
  return static_cast<uint64_t>(GetLe32(p)) | (static_cast<uint64_t>(GetLe32(p + 4)) << 32);
}
inline uint16_t GetBe16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe24(uint8_t* p, uint32_t v) {
  PutLe16(p, static_cast<uint16_t>(v));
  p[2] = static_cast<uint8_t>(v >> 16);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  PutLe24(p, v);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void PutLe64(uint8_t* p, uint64_t v) {
  PutLe32(p, static_cast<uint32_t>(v));
  PutLe32(p + 4, static_cast<uint32_t>(v >> 32));
}
inline void PutBe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

// Appends to a byte vector.
inline void AppendLe16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void AppendLe24(std::vector<uint8_t>& out, uint32_t v) {
  AppendLe16(out, static_cast<uint16_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 16));
}
inline void AppendLe32(std::vector<uint8_t>& out, uint32_t v) {
  AppendLe24(out, v);
  out.push_back(static_cast<uint8_t>(v >> 24));
}
inline std::vector<uint8_t> Le32Bytes(uint32_t v) {
  std::vector<uint8_t> out;
  AppendLe32(out, v);
  return out;
}

}  // namespace orv
