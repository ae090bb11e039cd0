#include "skin/png_reader.h"

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "base/files.h"

namespace orv {
namespace {

constexpr png_uint_32 kLargestSide = 16384;
// As much as Qt's readers allocate for one picture by default.
constexpr uint64_t kLargestPicture = uint64_t{256} << 20;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

struct Header {
  png_uint_32 width = 0, height = 0;
  bool alpha = false;
  // A two-colour palette picture (a window's mask) stays one bit a pixel, as Qt reads it.
  bool mono = false;
  png_colorp palette = nullptr;
  int paletteSize = 0;
};

// The header read and the transforms set so that every row comes out as 32-bit BGRA (the byte
// order of QImage's 32-bit formats on this machine), or as it is for a two-colour palette
// picture. False when libpng reports an error. libpng reports errors with longjmp to here: no
// object with a destructor lives in this frame.
bool ReadHeader(png_structp png, png_infop info, std::FILE* file, Header& h) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_user_limits(png, kLargestSide, kLargestSide);
  png_read_info(png, info);
  int depth = 0, colour = 0;
  png_get_IHDR(png, info, &h.width, &h.height, &depth, &colour, nullptr, nullptr, nullptr);
  h.alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
  if (colour == PNG_COLOR_TYPE_PALETTE && depth == 1 && !h.alpha &&
      png_get_PLTE(png, info, &h.palette, &h.paletteSize) && h.paletteSize > 0) {
    h.mono = true;
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == (png_size_t{h.width} + 7) / 8;
  }
  png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to an alpha channel
  png_set_scale_16(png);  // rounded, as Qt reduces sixteen bits a channel
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  if (!h.alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return png_get_rowbytes(png, info) == png_size_t{h.width} * 4;
}

bool ReadRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

std::optional<QImage> DecodePngFile(const std::string& path) {
  const int fd = OpenRegularFile(path, kMaxSkinImageFileSize);
  if (fd < 0) return std::nullopt;
  std::unique_ptr<std::FILE, FileCloser> file(::fdopen(fd, "rb"));
  if (!file) {
    ::close(fd);
    return std::nullopt;
  }
  png_byte signature[8];
  if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
      png_sig_cmp(signature, 0, sizeof signature) != 0)
    return std::nullopt;
  // Errors jump back to the step that met them; neither errors nor warnings are printed.
  png_structp png = png_create_read_struct(
      PNG_LIBPNG_VER_STRING, nullptr, [](png_structp p, png_const_charp) { png_longjmp(p, 1); },
      [](png_structp, png_const_charp) {});
  if (!png) return std::nullopt;
  png_infop info = png_create_info_struct(png);
  std::optional<QImage> out;
  Header h;
  if (info) {
    png_set_sig_bytes(png, sizeof signature);
    if (ReadHeader(png, info, file.get(), h) && h.width > 0 && h.height > 0 &&
        uint64_t{h.width} * h.height * 4 <= kLargestPicture) {
      const QImage::Format format =
          h.mono ? QImage::Format_Mono : h.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
      QImage image(static_cast<int>(h.width), static_cast<int>(h.height), format);
      if (h.mono && !image.isNull()) {
        // Two entries, the second black where the palette has one colour only, as with Qt.
        QList<QRgb> table(2, qRgb(0, 0, 0));
        for (int i = 0; i < std::min(h.paletteSize, 2); ++i)
          table[i] = qRgb(h.palette[i].red, h.palette[i].green, h.palette[i].blue);
        image.setColorTable(table);
      }
      if (!image.isNull()) {
        std::vector<png_bytep> rows(h.height);
        for (png_uint_32 y = 0; y < h.height; ++y) rows[y] = image.scanLine(static_cast<int>(y));
        if (ReadRows(png, rows.data())) out = std::move(image);
      }
    }
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  return out;
}

}  // namespace orv
