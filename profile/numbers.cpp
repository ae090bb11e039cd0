#include "profile/numbers.h"

namespace orv {

int32_t ParseInt(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  // Accumulate as a magnitude; beyond 2^31 only the clamping matters.
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    if (magnitude <= INT64_C(0x80000000)) magnitude = magnitude * 10 + (text[i] - u'0');
  }
  if (negative) return magnitude >= INT64_C(0x80000000) ? INT32_MIN : static_cast<int32_t>(-magnitude);
  return magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
}

int32_t NumberList::Next() {
  size_t comma = rest_.find(u',');
  if (comma == std::u16string_view::npos) {
    rest_ = {};
    return 0;
  }
  int32_t value = ParseInt(rest_.substr(0, comma));
  rest_.remove_prefix(comma + 1);
  return value;
}

namespace {

// Writes the digits of `value` ending at `end`; returns where they start.
char16_t* FormatBackwards(int64_t value, char16_t* end) {
  char16_t* p = end;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    *--p = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (value < 0) *--p = u'-';
  return p;
}

}  // namespace

std::u16string FormatInt(int64_t value) {
  char16_t buffer[24];
  return std::u16string(FormatBackwards(value, buffer + 24), buffer + 24);
}

void AppendListNumber(std::u16string& out, int64_t value) {
  char16_t buffer[25];
  buffer[24] = u',';
  out.append(FormatBackwards(value, buffer + 24), buffer + 25);
}

}  // namespace orv
