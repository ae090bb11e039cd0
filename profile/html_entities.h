#pragma once
#include <cstddef>
#include <string_view>

namespace orv {

// Longest reference name that is decoded; a longer one stays in the text as it is.
constexpr size_t kMaxEntityNameLength = 9;

// The character of an HTML 4.01 named character reference (without '&' and ';'), or 0 if the
// name is not in the set. Names match exactly, else without regard to ASCII case.
char16_t LookUpHtmlEntity(std::string_view name);
size_t HtmlEntityCount();

}  // namespace orv
