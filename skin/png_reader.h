#pragma once
// A PNG file decoded by libpng alone, without Qt's image readers: usable before the program's
// QApplication exists, when Qt's readers must not be touched from another thread yet.
#include <QImage>
#include <optional>
#include <string>

namespace orv {

// The picture as Format_RGB32 (no transparency) or Format_ARGB32, with the pixel values Qt's
// own reader gives (no gamma correction). Nothing for a file that cannot be opened, is not a
// PNG, is damaged, is larger than 16384 pixels either way or would take more than 256 MiB; the
// caller then reads the file the usual way.
std::optional<QImage> DecodePngFile(const std::string& path);

}  // namespace orv
