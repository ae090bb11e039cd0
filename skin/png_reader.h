#pragma once
// A PNG file decoded by libpng alone, without Qt's image readers: usable before the program's
// QApplication exists, when Qt's readers must not be touched from another thread yet.
#include <QImage>
#include <optional>
#include <string>

namespace orv {

// The largest picture file of a skin that is read, by this reader or by LoadSkinImage; the
// product's largest is under a megabyte.
inline constexpr size_t kMaxSkinImageFileSize = 64u << 20;

// The picture as Format_RGB32 (no transparency) or Format_ARGB32, with the pixel values Qt's
// own reader gives (no gamma correction). Nothing for a file that cannot be opened, is no
// regular file or larger than kMaxSkinImageFileSize (base/files.h), is not a PNG, is damaged, is larger than 16384 pixels either way or would take more than 256 MiB; the
// caller then reads the file the usual way.
std::optional<QImage> DecodePngFile(const std::string& path);

}  // namespace orv
