#pragma once
#include <span>
#include <string_view>

namespace orv {

// Windows code page of a charset name (IANA names and aliases, also the common Windows names such as "windows-1252",
// "cp1252", "shift_jis", "ks_c_5601-1987", "x-mac-roman"), compared without regard to ASCII case and surrounding
// blanks; 0 if unknown.
int CodePageFromCharsetName(std::string_view name);

// The glibc iconv name that converts the given Windows code page, or nullptr when iconv on this machine has none.
const char* IconvNameForCodePage(int codePage);

namespace detail {

// One entry of the charset-name table; names are stored in lower case.
struct CharsetName {
  std::string_view name;
  int codePage;
};

// One entry of the code page -> iconv converter table.
struct CodePageConverter {
  int codePage;
  const char* iconvName;
};

// The tables behind the two functions above, exposed so that tests can check them as a whole.
std::span<const CharsetName> CharsetNameTable();
std::span<const CodePageConverter> CodePageConverterTable();

}  // namespace detail
}  // namespace orv
