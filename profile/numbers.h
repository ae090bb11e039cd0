#pragma once
// Numbers in the data files, read the way a 32-bit wide-string-to-long conversion reads
// them: leading blanks and one sign are accepted, reading stops at the first non-digit, a
// text without digits is 0, and values beyond the 32-bit range clamp to its ends.
#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

int32_t ParseInt(std::u16string_view text);

// A comma-separated list as the writers produce it ("n," per number). Each call takes the
// piece before the next comma; a number that is not followed by a comma reads as 0, and so
// does everything after the end of the list. The list only looks at the text, which must
// outlive it (not a temporary string).
class NumberList {
 public:
  explicit NumberList(std::u16string_view text) : rest_(text) {}
  int32_t Next();
  // Whether every number has been taken (each further Next() gives 0).
  bool Done() const { return rest_.empty(); }

 private:
  std::u16string_view rest_;
};

// "%d" of a number, as UTF-16.
std::u16string FormatInt(int64_t value);
// Appends "%d," to `out`.
void AppendListNumber(std::u16string& out, int64_t value);

}  // namespace orv
