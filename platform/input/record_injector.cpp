#include "platform/input/record_injector.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <filesystem>

#include "base/files.h"
#include "base/text.h"
#include "platform/folders.h"
#include "platform/input/clipboard_text.h"

namespace orv {
namespace {

std::string EscapeText(std::u16string_view text) {
  std::string out;
  for (unsigned char c : ToUtf8(text)) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::u16string> UnescapeText(std::string_view escaped) {
  std::string utf8;
  for (size_t i = 0; i < escaped.size(); ++i) {
    char c = escaped[i];
    if (c != '\\') {
      utf8.push_back(c);
      continue;
    }
    if (++i == escaped.size()) return std::nullopt;
    switch (escaped[i]) {
      case '\\':
        utf8.push_back('\\');
        break;
      case 'n':
        utf8.push_back('\n');
        break;
      case 'r':
        utf8.push_back('\r');
        break;
      case 't':
        utf8.push_back('\t');
        break;
      case 'x': {
        if (i + 2 >= escaped.size()) return std::nullopt;
        const int high = HexDigit(escaped[i + 1]), low = HexDigit(escaped[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        utf8.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  if (!IsValidUtf8(utf8)) return std::nullopt;
  return ToUtf16(utf8);
}

// Reads the fields of a line one by one, in a fixed order.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : rest_(line) {}

  // The next space-separated word.
  std::string_view Word() {
    const size_t end = rest_.find(' ');
    std::string_view word = rest_.substr(0, end);
    rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
    return word;
  }
  // "<name>=<value>" with a value that fits T; `hex` for 0x-prefixed hexadecimal.
  template <typename T>
  bool Field(std::string_view name, T& value, bool hex = false) {
    std::string_view word = Word();
    if (word.size() <= name.size() || word.substr(0, name.size()) != name || word[name.size()] != '=') return false;
    word.remove_prefix(name.size() + 1);
    if (hex) {
      if (word.substr(0, 2) != "0x") return false;
      word.remove_prefix(2);
    }
    return Number(word, value, hex ? 16 : 10);
  }
  template <typename T>
  static bool Number(std::string_view text, T& value, int base) {
    if (text.empty() || text[0] == '+') return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
  }
  std::string_view Rest() const { return rest_; }
  bool AtEnd() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

}  // namespace

std::string FormatRecordLine(const RecordedInput& in) {
  char buffer[160];
  switch (in.kind) {
    case RecordedInput::Kind::kKey:
      std::snprintf(buffer, sizeof buffer, "key vk=%u scan=%u flags=%" PRIu32 " extra=%" PRIu64 " t=%" PRIu32 "\n",
                    unsigned{in.virtualKey}, unsigned{in.scanCode}, in.flags, in.extra, in.time);
      return buffer;
    case RecordedInput::Kind::kMouse:
      std::snprintf(buffer, sizeof buffer,
                    "mouse dx=%" PRId32 " dy=%" PRId32 " flags=0x%" PRIX32 " data=%" PRId32 " extra=%" PRIu64
                    " t=%" PRIu32 "\n",
                    in.dx, in.dy, in.flags, static_cast<int32_t>(in.mouseData), in.extra, in.time);
      return buffer;
    case RecordedInput::Kind::kClipboard:
      std::snprintf(buffer, sizeof buffer, "clipboard format=%s t=%" PRIu32 " text=", in.ansi ? "ansi" : "unicode",
                    in.time);
      return buffer + EscapeText(in.text) + "\n";
    case RecordedInput::Kind::kLayout:
      std::snprintf(buffer, sizeof buffer, "layout %08" PRIX32 " t=%" PRIu32 "\n", in.layout, in.time);
      return buffer;
  }
  return {};
}

std::optional<RecordedInput> ParseRecordLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (line.find('\n') != std::string_view::npos) return std::nullopt;
  LineReader reader(line);
  RecordedInput in;
  const std::string_view kind = reader.Word();
  bool ok = false;
  if (kind == "key") {
    in.kind = RecordedInput::Kind::kKey;
    ok = reader.Field("vk", in.virtualKey) && reader.Field("scan", in.scanCode) && reader.Field("flags", in.flags) &&
         reader.Field("extra", in.extra) && reader.Field("t", in.time) && reader.AtEnd();
  } else if (kind == "mouse") {
    in.kind = RecordedInput::Kind::kMouse;
    int32_t data = 0;
    ok = reader.Field("dx", in.dx) && reader.Field("dy", in.dy) && reader.Field("flags", in.flags, true) &&
         reader.Field("data", data) && reader.Field("extra", in.extra) && reader.Field("t", in.time) && reader.AtEnd();
    in.mouseData = static_cast<uint32_t>(data);
  } else if (kind == "clipboard") {
    in.kind = RecordedInput::Kind::kClipboard;
    const std::string_view format = reader.Word();
    if (format != "format=ansi" && format != "format=unicode") return std::nullopt;
    in.ansi = format == "format=ansi";
    if (!reader.Field("t", in.time)) return std::nullopt;
    const std::string_view rest = reader.Rest();
    if (rest.substr(0, 5) != "text=") return std::nullopt;
    std::optional<std::u16string> text = UnescapeText(rest.substr(5));
    if (!text) return std::nullopt;
    in.text = std::move(*text);
    ok = true;
  } else if (kind == "layout") {
    in.kind = RecordedInput::Kind::kLayout;
    const std::string_view hex = reader.Word();
    ok = hex.size() == 8 && LineReader::Number(hex, in.layout, 16) && reader.Field("t", in.time) && reader.AtEnd();
  }
  if (!ok) return std::nullopt;
  return in;
}

bool ReadRecordFile(const std::string& path, std::vector<RecordedInput>& inputs, size_t* malformed) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes, kMaxRecordFileSize)) return false;
  size_t start = 0;
  for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
    if (std::optional<RecordedInput> in = ParseRecordLine(std::string_view(bytes).substr(start, end - start)))
      inputs.push_back(std::move(*in));
    else if (malformed)
      ++*malformed;
  }
  return true;
}

RecordInjector::RecordInjector(std::string path, bool keepInMemory, Clock* clock)
    : path_(std::move(path)), keepInMemory_(keepInMemory), clock_(clock ? *clock : ProcessClock()) {}

RecordInjector::~RecordInjector() {
  if (fd_ >= 0) ::close(fd_);
}

bool RecordInjector::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (path_.empty() || fd_ >= 0) return true;
  const std::string folder = std::filesystem::path(path_).parent_path().string();
  if (!folder.empty()) MakeFolders(folder);
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  return fd_ >= 0;
}

bool RecordInjector::Record(RecordedInput input) {
  std::lock_guard<std::mutex> lock(mutex_);
  input.time = clock_.TickCount();
  bool written = true;
  if (!path_.empty()) {
    const std::string line = FormatRecordLine(input);
    // One write per line: with O_APPEND the line lands whole at the end of the file.
    ssize_t n;
    do {
      n = fd_ >= 0 ? ::write(fd_, line.data(), line.size()) : -1;
    } while (n < 0 && errno == EINTR);
    written = n == static_cast<ssize_t>(line.size());
  }
  if (keepInMemory_) inputs_.push_back(std::move(input));
  return written;
}

bool RecordInjector::SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t extra) {
  RecordedInput in;
  in.kind = RecordedInput::Kind::kKey;
  in.virtualKey = virtualKey;
  in.scanCode = scanCode;
  in.flags = flags;
  in.extra = extra;
  return Record(std::move(in));
}

bool RecordInjector::SendMouse(int32_t dx, int32_t dy, uint32_t flags, uint32_t mouseData, uint64_t extra) {
  RecordedInput in;
  in.kind = RecordedInput::Kind::kMouse;
  in.dx = dx;
  in.dy = dy;
  in.flags = flags;
  in.mouseData = mouseData;
  in.extra = extra;
  return Record(std::move(in));
}

uint32_t RecordInjector::ForegroundLayout() {
  std::lock_guard<std::mutex> lock(mutex_);
  return layout_;
}

bool RecordInjector::RequestLayout(uint32_t layout) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    layout_ = layout;
  }
  RecordedInput in;
  in.kind = RecordedInput::Kind::kLayout;
  in.layout = layout;
  return Record(std::move(in));
}

bool RecordInjector::SetClipboardText(std::u16string_view text, bool ansi) {
  RecordedInput in;
  in.kind = RecordedInput::Kind::kClipboard;
  in.ansi = ansi;
  in.text = ClipboardText(text, ansi);
  return Record(std::move(in));
}

void RecordInjector::SetForegroundLayout(uint32_t layout) {
  std::lock_guard<std::mutex> lock(mutex_);
  layout_ = layout;
}

std::vector<RecordedInput> RecordInjector::Inputs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inputs_;
}

void RecordInjector::ClearInputs() {
  std::lock_guard<std::mutex> lock(mutex_);
  inputs_.clear();
}

}  // namespace orv
