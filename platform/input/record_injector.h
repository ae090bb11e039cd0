#pragma once
// The recording backend: instead of injecting, it writes one line per input to a file, and can
// keep the inputs in memory too. Tests, the demonstration and the benchmarks read the file.
//
// Line format (one line per input, fields separated by one space, numbers decimal unless said):
//   key vk=<virtual key> scan=<scan code> flags=<flags> extra=<extra> t=<time>
//   mouse dx=<dx> dy=<dy> flags=0x<flags, hex> data=<mouse data, signed> extra=<extra> t=<time>
//   clipboard format=<ansi|unicode> t=<time> text=<text>
//   layout <layout, 8 hex digits> t=<time>
// for example
//   key vk=67 scan=46 flags=0 extra=0 t=1234
//   mouse dx=0 dy=0 flags=0x800 data=-120 extra=0 t=1290
//   clipboard format=ansi t=1300 text=/say Café\tand a tab
//   layout 04090409 t=1400
// <time> is the tick count of the injector's clock (the process clock unless given) in ms.
// <text> is the rest of the line: the text the clipboard holds (for ansi the Windows-1252 form,
// composed and cut, read back), in UTF-8, with backslash escapes \\ \n \r \t and \xHH for the
// other control characters below 0x20 and 0x7F, so that a line stays one line.
// Every line is written with a single write(2) to a file opened for appending, so a reader that
// watches the file sees whole lines, and several writers do not mix their lines.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/input/input_codes.h"
#include "platform/input/input_injector.h"

namespace orv {

struct RecordedInput {
  enum class Kind : uint8_t { kKey, kMouse, kClipboard, kLayout };
  Kind kind = Kind::kKey;
  uint16_t virtualKey = 0;  // key
  uint16_t scanCode = 0;    // key
  uint32_t flags = 0;       // key, mouse
  int32_t dx = 0;           // mouse
  int32_t dy = 0;           // mouse
  uint32_t mouseData = 0;   // mouse
  uint64_t extra = 0;       // key, mouse
  bool ansi = false;        // clipboard
  std::u16string text;      // clipboard
  uint32_t layout = 0;      // layout
  uint32_t time = 0;
  bool operator==(const RecordedInput&) const = default;
};

// One line of the format above, with its line feed.
std::string FormatRecordLine(const RecordedInput& input);
// Reads one line (with or without its line feed). Empty when the line is not in the format.
std::optional<RecordedInput> ParseRecordLine(std::string_view line);
// Reads every complete line of a record file (a last line without line feed is still being
// written and is left out). Lines not in the format are skipped and counted in `malformed`.
// Returns false when the file cannot be read.
// The largest record file that is read back (a test's or a demo's few thousand lines fit).
inline constexpr size_t kMaxRecordFileSize = 256u << 20;
bool ReadRecordFile(const std::string& path, std::vector<RecordedInput>& inputs, size_t* malformed = nullptr);

class RecordInjector : public InputInjector {
 public:
  // Records to `path` (nothing is written when it is empty) and, with `keepInMemory`, also into
  // Inputs(). Times come from `clock`, the process clock when null.
  explicit RecordInjector(std::string path, bool keepInMemory = false, Clock* clock = nullptr);
  ~RecordInjector() override;
  RecordInjector(const RecordInjector&) = delete;
  RecordInjector& operator=(const RecordInjector&) = delete;

  // Opens the file for appending, creating it and its missing folders. True when there is no
  // file to open. Until it succeeds, every input with a file returns false.
  bool Open();
  const std::string& Path() const { return path_; }

  const char* Name() const override { return "record"; }
  bool SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t extra) override;
  bool SendMouse(int32_t dx, int32_t dy, uint32_t flags, uint32_t mouseData, uint64_t extra) override;
  // The layout last requested; at first the one given to SetForegroundLayout, else kUsLayout.
  uint32_t ForegroundLayout() override;
  // Records the switch and takes `layout` as the one in force; every layout is accepted.
  bool RequestLayout(uint32_t layout) override;
  // Records the clipboard's new content (for ansi the Windows-1252 form read back).
  bool SetClipboardText(std::u16string_view text, bool ansi) override;

  // The layout in force as if the user had chosen it (no line is written).
  void SetForegroundLayout(uint32_t layout);
  // The inputs kept so far (always empty without keepInMemory), and forgetting them.
  std::vector<RecordedInput> Inputs() const;
  void ClearInputs();

 private:
  bool Record(RecordedInput input);

  const std::string path_;
  const bool keepInMemory_;
  Clock& clock_;
  mutable std::mutex mutex_;
  int fd_ = -1;
  uint32_t layout_ = kUsLayout;
  std::vector<RecordedInput> inputs_;
};

}  // namespace orv
