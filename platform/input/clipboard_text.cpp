#include "platform/input/clipboard_text.h"

#include <cstdint>

#include "base/text.h"

namespace orv {
namespace {

struct Composition {
  char16_t base;
  char16_t mark;
  char16_t letter;
};

// Every letter of Windows-1252 that is a base letter with one combining mark.
constexpr Composition kCompositions[] = {
    // grave
    {u'A', 0x0300, 0x00C0},
    {u'E', 0x0300, 0x00C8},
    {u'I', 0x0300, 0x00CC},
    {u'O', 0x0300, 0x00D2},
    {u'U', 0x0300, 0x00D9},
    {u'a', 0x0300, 0x00E0},
    {u'e', 0x0300, 0x00E8},
    {u'i', 0x0300, 0x00EC},
    {u'o', 0x0300, 0x00F2},
    {u'u', 0x0300, 0x00F9},
    // acute
    {u'A', 0x0301, 0x00C1},
    {u'E', 0x0301, 0x00C9},
    {u'I', 0x0301, 0x00CD},
    {u'O', 0x0301, 0x00D3},
    {u'U', 0x0301, 0x00DA},
    {u'Y', 0x0301, 0x00DD},
    {u'a', 0x0301, 0x00E1},
    {u'e', 0x0301, 0x00E9},
    {u'i', 0x0301, 0x00ED},
    {u'o', 0x0301, 0x00F3},
    {u'u', 0x0301, 0x00FA},
    {u'y', 0x0301, 0x00FD},
    // circumflex
    {u'A', 0x0302, 0x00C2},
    {u'E', 0x0302, 0x00CA},
    {u'I', 0x0302, 0x00CE},
    {u'O', 0x0302, 0x00D4},
    {u'U', 0x0302, 0x00DB},
    {u'a', 0x0302, 0x00E2},
    {u'e', 0x0302, 0x00EA},
    {u'i', 0x0302, 0x00EE},
    {u'o', 0x0302, 0x00F4},
    {u'u', 0x0302, 0x00FB},
    // tilde
    {u'A', 0x0303, 0x00C3},
    {u'N', 0x0303, 0x00D1},
    {u'O', 0x0303, 0x00D5},
    {u'a', 0x0303, 0x00E3},
    {u'n', 0x0303, 0x00F1},
    {u'o', 0x0303, 0x00F5},
    // diaeresis
    {u'A', 0x0308, 0x00C4},
    {u'E', 0x0308, 0x00CB},
    {u'I', 0x0308, 0x00CF},
    {u'O', 0x0308, 0x00D6},
    {u'U', 0x0308, 0x00DC},
    {u'Y', 0x0308, 0x0178},
    {u'a', 0x0308, 0x00E4},
    {u'e', 0x0308, 0x00EB},
    {u'i', 0x0308, 0x00EF},
    {u'o', 0x0308, 0x00F6},
    {u'u', 0x0308, 0x00FC},
    {u'y', 0x0308, 0x00FF},
    // ring above
    {u'A', 0x030A, 0x00C5},
    {u'a', 0x030A, 0x00E5},
    // caron
    {u'S', 0x030C, 0x0160},
    {u's', 0x030C, 0x0161},
    {u'Z', 0x030C, 0x017D},
    {u'z', 0x030C, 0x017E},
    // cedilla
    {u'C', 0x0327, 0x00C7},
    {u'c', 0x0327, 0x00E7},
};

char16_t Composed(char16_t base, char16_t mark) {
  for (const Composition& c : kCompositions)
    if (c.base == base && c.mark == mark) return c.letter;
  return 0;
}

std::u16string_view UpToZero(std::u16string_view text) {
  const size_t zero = text.find(u'\0');
  return zero == std::u16string_view::npos ? text : text.substr(0, zero);
}

}  // namespace

std::u16string ComposeForWindows1252(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (i + 1 < text.size()) {
      if (char16_t letter = Composed(text[i], text[i + 1])) {
        out.push_back(letter);
        ++i;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

std::string AnsiClipboardBytes(std::u16string_view text) {
  std::string bytes = EncodeWindows1252(ComposeForWindows1252(UpToZero(text)));
  if (bytes.size() > kAnsiClipboardBytes) bytes.resize(kAnsiClipboardBytes);
  return bytes;
}

std::u16string ClipboardText(std::u16string_view text, bool ansi) {
  if (ansi) return DecodeWindows1252(AnsiClipboardBytes(text));
  return std::u16string(UpToZero(text));
}

}  // namespace orv
