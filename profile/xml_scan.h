#pragma once
// Small scanning helpers over XML markup, shared by the cursor and the encoding detection.
#include <optional>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv::xml {

// Position of the next `c` at or after `from`. Markup is sparse in long texts (a recorded
// macro is thousands of digits and commas), so this scans eight characters at a time.
inline size_t FindChar(std::u16string_view t, size_t from, char16_t c) {
  const char16_t* p = t.data();
  const size_t n = t.size();
  size_t i = from;
#if defined(__SSE2__)
  const __m128i needle = _mm_set1_epi16(static_cast<short>(c));
  for (; i + 8 <= n; i += 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(v, needle));
    if (mask) return i + (static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(mask))) >> 1);
  }
#endif
  for (; i < n; ++i) {
    if (p[i] == c) return i;
  }
  return std::u16string_view::npos;
}

inline bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// Characters that end a tag or attribute name.
inline bool EndsName(char16_t c) {
  switch (c) {
    case u' ': case u'\t': case u'\n': case u'\r': case u'<': case u'>': case u'=':
    case u'\\': case u'/': case u'?': case u'!': case u'"': case u'\'': case u';':
      return true;
    default:
      return false;
  }
}

inline char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

inline bool SameName(std::u16string_view a, std::u16string_view b, bool ignoreCase) {
  if (a.size() != b.size()) return false;
  if (!ignoreCase) return a == b;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The raw (undecoded) value of attribute `name` in the start tag `tag` ("<NAME a='1' b=2>"),
// or nothing. Values may be quoted with ' or " or unquoted.
inline std::optional<std::u16string_view> FindTagAttribute(std::u16string_view tag, std::u16string_view name,
                                                           bool ignoreCase) {
  size_t i = 0;
  if (i < tag.size() && tag[i] == u'<') ++i;
  while (i < tag.size() && !EndsName(tag[i])) ++i;  // the tag name
  for (;;) {
    while (i < tag.size() && (IsBlank(tag[i]) || tag[i] == u'/')) ++i;
    if (i >= tag.size() || tag[i] == u'>' || tag[i] == u'?') return std::nullopt;
    size_t nameStart = i;
    while (i < tag.size() && !EndsName(tag[i])) ++i;
    std::u16string_view attr = tag.substr(nameStart, i - nameStart);
    if (attr.empty()) {  // a stray character such as '=' or a quote: step over it
      ++i;
      continue;
    }
    while (i < tag.size() && IsBlank(tag[i])) ++i;
    std::u16string_view value;
    if (i < tag.size() && tag[i] == u'=') {
      ++i;
      while (i < tag.size() && IsBlank(tag[i])) ++i;
      if (i < tag.size() && (tag[i] == u'"' || tag[i] == u'\'')) {
        char16_t quote = tag[i++];
        size_t end = tag.find(quote, i);
        if (end == std::u16string_view::npos) end = tag.size();
        value = tag.substr(i, end - i);
        i = end + 1;
      } else {
        size_t start = i;
        while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != u'>') ++i;
        value = tag.substr(start, i - start);
      }
    }
    if (SameName(attr, name, ignoreCase)) return value;
  }
}

}  // namespace orv::xml
