#pragma once
#include <string_view>

namespace orv {

// Puts the clipboard form of `text` (see ClipboardText) on the clipboard of this process's
// QGuiApplication. False when there is none or when called from a thread other than its own.
bool PlaceOnQtClipboard(std::u16string_view text, bool ansi);

}  // namespace orv
