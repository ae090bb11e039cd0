#pragma once
// UTF-16 text helpers: fixed-capacity fields, UTF-8 and Windows-1252 conversion.
#include <cstddef>
#include <string>
#include <string_view>

namespace orv {

// The text of a zero-terminated field (up to its terminator or its capacity).
template <size_t N>
std::u16string_view FieldText(const char16_t (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n] != 0) ++n;
  return {field, n};
}

// Copies `text` into a field of `capacity` units (terminator included), cut to fit; a cut never
// leaves half of a surrogate pair. The rest of the field is zero-filled. Returns false if cut.
bool CopyTextTo(char16_t* field, size_t capacity, std::u16string_view text);
template <size_t N>
bool CopyText(char16_t (&field)[N], std::u16string_view text) {
  return CopyTextTo(field, N, text);
}

// Appends one code point (at most U+10FFFF) as one or two UTF-16 units.
void AppendCodePoint(std::u16string& out, char32_t cp);

// UTF-8 <-> UTF-16. Ill-formed UTF-8 sequences and lone surrogates become U+FFFD.
std::u16string ToUtf16(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);
// True if `bytes` is well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Windows-1252, the ANSI code page of this system. Decoding is total (the five unassigned
// bytes map to the C1 controls, as Windows does); encoding gives '?' for characters the code
// page cannot hold and counts them in `lost` when given.
std::u16string DecodeWindows1252(std::string_view bytes);
std::string EncodeWindows1252(std::u16string_view text, size_t* lost = nullptr);

}  // namespace orv
