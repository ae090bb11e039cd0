#include "skin/skin_resources.h"

#include <QFile>
#include <QFontDatabase>
#include <QImageReader>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "base/files.h"
#include "platform/clock.h"
#include "skin/png_reader.h"

namespace orv {

namespace {

// Screen coordinates beyond this are nonsense in a data file; such numbers are clamped.
constexpr int64_t kCoordinateLimit = 32767;

// The integer at the start of `s` as the C library's %d reads it: leading blanks, a sign,
// digits up to the first other character; 0 when there are none. Clamped to the coordinate range.
int32_t LeadingInt(QStringView s) {
  qsizetype i = 0;
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\r' || s[i] == u'\n')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  int64_t value = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
    value = value * 10 + (s[i].unicode() - u'0');
    if (value > kCoordinateLimit) value = kCoordinateLimit + 1;  // keeps growing no further
  }
  value = std::min(value, kCoordinateLimit);
  return static_cast<int32_t>(negative ? -value : value);
}

int32_t Clamp(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -2 * kCoordinateLimit, 2 * kCoordinateLimit)); }

}  // namespace

QRect SkinControlEntry::rect() const {
  return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

SkinControlEntry ParseControlEntry(const QString& value) {
  SkinControlEntry e;
  qsizetype comma = value.indexOf(u',');
  if (comma < 0) return e;
  QStringView rest = QStringView(value).mid(comma + 1);
  // x, y, width, height: each field read from where the one before ended.
  int32_t numbers[4] = {0, 0, 0, 0};
  QStringView field = rest;
  for (int i = 0; i < 4; ++i) {
    numbers[i] = LeadingInt(field);
    qsizetype next = field.indexOf(u',');
    if (next < 0) break;
    field = field.mid(next + 1);
  }
  e.left = numbers[0];
  e.top = numbers[1];
  e.right = Clamp(int64_t{numbers[0]} + numbers[2]);
  e.bottom = Clamp(int64_t{numbers[1]} + numbers[3]);
  e.latched = rest.contains(u"TRUE");
  qsizetype last = rest.lastIndexOf(u',');
  if (last >= 0) {
    QStringView withoutFlag = rest.left(last);
    qsizetype before = withoutFlag.lastIndexOf(u',');
    if (before >= 0) e.tooltip = withoutFlag.mid(before + 1).trimmed().toString();
  }
  return e;
}

SkinTextEntry ParseTextEntry(const QString& value) {
  SkinTextEntry e;
  e.x = LeadingInt(value);
  qsizetype comma = value.indexOf(u',');
  if (comma < 0) return e;
  e.y = LeadingInt(QStringView(value).mid(comma + 1));
  e.text = value.mid(value.lastIndexOf(u',') + 1);
  return e;
}

namespace {
Clock*& InstalledClock() {
  static Clock* clock = nullptr;
  return clock;
}
}  // namespace

Clock& SkinClock() { return InstalledClock() ? *InstalledClock() : ProcessClock(); }
void SetSkinClock(Clock* clock) { InstalledClock() = clock; }

namespace {
QImage DecodePicture(const std::string& bytes) {
  QImage decoded;
  if (!bytes.empty()) decoded.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
  return decoded;
}
}  // namespace

QImage ReadPictureFile(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes, kMaxSkinImageFileSize)) return {};
  return DecodePicture(bytes);
}

bool PictureHeaderReads(const std::string& path) {
  const int fd = OpenRegularFile(path, kMaxSkinImageFileSize);
  if (fd < 0) return false;
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return false;
  }
  return QImageReader(&file).canRead();
}

bool LoadSkinImage(const std::string& path, QImage& target, QSize* size, Clock* clock) {
  Clock& waits = clock ? *clock : SkinClock();
  // A file that is missing or cannot be read may be on its way (an installer still copying):
  // it gets a second attempt after a second. Anything but a regular file of a picture's size
  // is refused at once.
  std::string bytes;
  FileRead outcome = FileRead::kFailed;
  for (int attempt = 0; attempt < 2; ++attempt) {
    outcome = ReadFileBounded(path, bytes, kMaxSkinImageFileSize);
    if (outcome != FileRead::kMissing && outcome != FileRead::kFailed) break;
    waits.Sleep(1000);
  }
  if (outcome != FileRead::kRead) return false;
  QImage decoded = DecodePicture(bytes);
  if (decoded.isNull()) return false;
  target = std::move(decoded);
  if (size) *size = target.size();
  return true;
}

namespace {

// The runs of one region scan, batched: the list grows by 100 rectangles and is handed to the
// region built so far whenever it holds 2000. The scan goes down the mask row by row, so each
// batch lies below (or, split within a row, to the right of) everything before it, and uniting
// it with the region so far is appending it to that region's rectangles. At the end, rows with
// the same runs as the row above are merged into one band, which is the region's banded form
// that QRegion takes as it is.
class RunCollector {
 public:
  void AddRow(int y, const std::vector<int>& runs) {  // runs: x0, x1 pairs
    for (size_t i = 0; i < runs.size(); i += 2) {
      if (batch_.size() == batch_.capacity()) batch_.reserve(batch_.size() + 100);
      batch_.emplace_back(QPoint(runs[i], y), QPoint(runs[i + 1] - 1, y));
      if (batch_.size() >= kFlushCount) Flush();
    }
  }
  std::optional<QRegion> Finish() {
    Flush();
    if (all_.empty()) return std::nullopt;
    std::vector<QRect> bands;
    bands.reserve(all_.size());
    size_t previous = 0, previousCount = 0;  // the last band written to `bands`
    for (size_t i = 0; i < all_.size();) {
      size_t end = i;
      while (end < all_.size() && all_[end].top() == all_[i].top()) ++end;
      const size_t count = end - i;
      bool merge = previousCount == count && bands[previous].bottom() + 1 == all_[i].top();
      for (size_t k = 0; merge && k < count; ++k)
        merge = bands[previous + k].left() == all_[i + k].left() && bands[previous + k].right() == all_[i + k].right();
      if (merge) {
        for (size_t k = 0; k < count; ++k) bands[previous + k].setBottom(all_[i].bottom());
      } else {
        previous = bands.size();
        previousCount = count;
        bands.insert(bands.end(), all_.begin() + i, all_.begin() + end);
      }
      i = end;
    }
    QRegion region;
    region.setRects(bands.data(), static_cast<int>(bands.size()));
    return region;
  }

 private:
  static constexpr size_t kFlushCount = 2000;
  void Flush() {
    all_.insert(all_.end(), batch_.begin(), batch_.end());
    batch_.clear();
  }
  std::vector<QRect> batch_;
  std::vector<QRect> all_;
};

// The mask as 32-bit pixels, without a copy when it already is one.
QImage ThirtyTwoBit(const QImage& mask) {
  switch (mask.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
      return mask;
    default:
      return mask.convertToFormat(QImage::Format_RGB32);
  }
}

// The runs of one row of a one-bit mask, eight pixels at a time where a byte is all inside or
// all outside. `inside0` and `inside1` tell which of the two colours are inside.
void BitRowRuns(const uchar* row, int width, int first, bool msbFirst, bool inside0, bool inside1,
                std::vector<int>& runs) {
  auto insideBits = [&](uchar b) -> uchar { return static_cast<uchar>((inside1 ? b : 0) | (inside0 ? ~b : 0)); };
  bool inRun = false;
  int start = 0;
  int x = first;
  const uint64_t inside0Word = inside0 ? ~uint64_t{0} : 0;
  while (x < width) {
    // Sixty-four pixels at once where they are all alike, whichever the bit order.
    if ((x & 7) == 0 && x + 64 <= width) {
      uint64_t word;
      std::memcpy(&word, row + (x >> 3), sizeof word);
      const uint64_t in = (inside1 ? word : 0) | (inside0Word & ~word);
      if (in == 0 || in == ~uint64_t{0}) {
        const bool all = in != 0;
        if (all != inRun) {
          if (all)
            start = x;
          else
            runs.insert(runs.end(), {start, x});
          inRun = all;
        }
        x += 64;
        continue;
      }
    }
    if ((x & 7) == 0 && x + 8 <= width) {
      const uchar b = insideBits(row[x >> 3]);
      if (b == 0x00 || b == 0xFF) {
        const bool in = b == 0xFF;
        if (in != inRun) {
          if (in)
            start = x;
          else
            runs.insert(runs.end(), {start, x});
          inRun = in;
        }
        x += 8;
        continue;
      }
    }
    const uchar b = insideBits(row[x >> 3]);
    const bool in = ((msbFirst ? (b >> (7 - (x & 7))) : (b >> (x & 7))) & 1) != 0;
    if (in != inRun) {
      if (in)
        start = x;
      else
        runs.insert(runs.end(), {start, x});
      inRun = in;
    }
    ++x;
  }
  if (inRun) runs.insert(runs.end(), {start, width});
}

// Scans the mask row by row from `firstRow`, each row from `firstColumn`. One-bit and 8-bit
// indexed masks are read through their colour tables without a 32-bit copy.
template <class IsTransparent>
std::optional<QRegion> ScanMask(const QImage& mask, int firstColumn, int firstRow, IsTransparent transparent) {
  if (mask.isNull()) return std::nullopt;
  const int w = mask.width();
  const int h = mask.height();
  const int x0 = std::max(0, firstColumn);
  RunCollector collector;
  std::vector<int> runs;
  const QImage::Format format = mask.format();
  // An index the colour table does not have is inside, as QImage::pixel gives black for it.
  const auto insideAt = [&](int i) { return i >= mask.colorCount() || !transparent(mask.color(i)); };
  if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB) {
    const bool inside0 = insideAt(0), inside1 = insideAt(1);
    for (int y = std::max(0, firstRow); y < h; ++y) {
      runs.clear();
      BitRowRuns(mask.constScanLine(y), w, x0, format == QImage::Format_Mono, inside0, inside1, runs);
      collector.AddRow(y, runs);
    }
    return collector.Finish();
  }
  if (format == QImage::Format_Indexed8) {
    bool inside[256];
    for (int i = 0; i < 256; ++i) inside[i] = insideAt(i);
    for (int y = std::max(0, firstRow); y < h; ++y) {
      const uchar* row = mask.constScanLine(y);
      runs.clear();
      int x = x0;
      while (x < w) {
        while (x < w && !inside[row[x]]) ++x;
        if (x >= w) break;
        int start = x;
        while (x < w && inside[row[x]]) ++x;
        runs.insert(runs.end(), {start, x});
      }
      collector.AddRow(y, runs);
    }
    return collector.Finish();
  }
  const QImage pixels = ThirtyTwoBit(mask);
  for (int y = std::max(0, firstRow); y < h; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(pixels.constScanLine(y));
    runs.clear();
    int x = x0;
    while (x < w) {
      while (x < w && transparent(row[x])) ++x;
      if (x >= w) break;
      int start = x;
      while (x < w && !transparent(row[x])) ++x;
      runs.insert(runs.end(), {start, x});
    }
    collector.AddRow(y, runs);
  }
  return collector.Finish();
}

}  // namespace

std::optional<QRegion> RegionFromMask(const QImage& mask, QColor transparent, int tolerance) {
  tolerance = std::clamp(tolerance, 0, 255);
  const int r = transparent.red(), g = transparent.green(), b = transparent.blue();
  if (tolerance == 0) {
    const uint32_t key = (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
    return ScanMask(mask, 0, 0, [key](uint32_t p) { return (p & 0x00FFFFFFu) == key; });
  }
  const int rh = std::min(255, r + tolerance), gh = std::min(255, g + tolerance), bh = std::min(255, b + tolerance);
  return ScanMask(mask, 0, 0, [=](uint32_t p) {
    int pr = (p >> 16) & 0xFF, pg = (p >> 8) & 0xFF, pb = p & 0xFF;
    return pr >= r && pr <= rh && pg >= g && pg <= gh && pb >= b && pb <= bh;
  });
}

std::optional<QRegion> RegionFromMaskClipped(const QImage& mask, int mode, int value) {
  auto white = [](uint32_t p) { return (p & 0x00FFFFFFu) == 0x00FFFFFFu; };
  if (mode == 1) return ScanMask(mask, value, 0, white);
  if (mode == 2) {
    // Rows y > value: the first kept row is value + 1 (no row at all past the last one).
    int64_t first = int64_t{value} + 1;
    if (first > mask.height()) return std::nullopt;
    return ScanMask(mask, 0, static_cast<int>(std::max<int64_t>(0, first)), white);
  }
  return ScanMask(mask, 0, 0, white);
}

void CropSkinImage(QImage& target, const QImage& source, const QRect& rect) {
  if (source.isNull()) return;
  target = source.copy(rect);
}

QFont SkinFont(int height, int weight, bool underline) {
  static const bool substituted = [] {
    QFont::insertSubstitution(QStringLiteral("MS Shell Dlg"), QStringLiteral("DejaVu Sans"));
    return true;
  }();
  (void)substituted;
  QFont font(QStringLiteral("MS Shell Dlg"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, height));
  font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
  font.setUnderline(underline);
  return font;
}

namespace {
std::string WithSlash(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder : folder + '/';
}
}  // namespace

std::string SkinDataPath(const std::string& installFolder, const char* name) { return WithSlash(installFolder) + name; }

std::string SkinImagePath(const std::string& installFolder, const QString& fileName) {
  return WithSlash(installFolder) + "skins/" + fileName.toStdString();
}

}  // namespace orv
