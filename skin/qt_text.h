#pragma once
// Texts between Qt and the records. QString holds UTF-16 as the records' texts do, so both
// ways copy the code units as they are.
#include <QString>
#include <string>
#include <string_view>

namespace orv {

inline QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }
inline std::u16string U16(const QString& text) { return text.toStdU16String(); }

}  // namespace orv
