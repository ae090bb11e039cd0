#pragma once
// The two forms of a pasted text: the ANSI form that the game gets (Windows-1252) and the
// Unicode form for every other program.
#include <cstddef>
#include <string>
#include <string_view>

namespace orv {

// The ANSI form holds at most this many bytes before its terminator.
inline constexpr size_t kAnsiClipboardBytes = 259;

// A base letter followed by a combining mark becomes the precomposed letter where Windows-1252
// has one ("e" + U+0301 -> U+00E9, "S" + U+030C -> U+0160); every other character stays as it is.
std::u16string ComposeForWindows1252(std::u16string_view text);

// The ANSI form: the text up to its first zero, composed, in Windows-1252 ('?' for characters the
// code page lacks, one per surrogate pair), cut to kAnsiClipboardBytes bytes. No terminator.
std::string AnsiClipboardBytes(std::u16string_view text);

// The characters a program pasting the clipboard gets: for `ansi` the ANSI form read back, else
// the text up to its first zero.
std::u16string ClipboardText(std::u16string_view text, bool ansi);

}  // namespace orv
