#pragma once
// Small text helpers of the simulator: printf into a string, and the numbers and hex digits its
// command line, state file and transcript use.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace orv::sim {

// printf into a string of whatever length the result takes.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buffer[256];
  const int n = std::snprintf(buffer, sizeof buffer, format, args...);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, args...);
  out.resize(static_cast<size_t>(n));
  return out;
}

// A whole number in decimal, or in hexadecimal after 0x or 0X, within [low, high]. Nothing else
// in the text: no sign, no spaces.
bool ParseNumber(std::string_view text, uint64_t low, uint64_t high, uint64_t& value);

// Hex digits (either case, no separators) into bytes. False for an odd count or a non-digit.
bool ParseHex(std::string_view text, std::vector<uint8_t>& out);

// Hex digits of bytes, upper case, no separators ("0A1B").
std::string HexBytes(const uint8_t* data, size_t size);

}  // namespace orv::sim
