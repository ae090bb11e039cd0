#pragma once
// The rules of the macro editor: recording into three areas (the macro's events, and in
// copy-and-paste mode the start and send keys), the pauses each delay mode gives the events,
// the tokens the areas show, and the Macro record the editor saves. The editor's window feeds
// it key events with their time stamps and reads back what to show.
#include <cstdint>
#include <string>
#include <string_view>

#include "panel/editors/key_capture.h"
#include "profile/records.h"

namespace orv {

enum class MacroArea : uint8_t { kEvents, kStartKey, kSendKey };

// What the editor's edits and toggles hold when the macro is saved.
struct MacroFields {
  std::u16string name;      // "Custom" when empty; cut to the record's field
  std::u16string loopText;  // decimal, up to three digits; anything else is 0
  bool loopOn = false;
  bool startKeyOn = true;
  bool sendKeyOn = true;
  std::u16string pasteText;  // cut to the record's field
};

// The name saved for an empty name edit.
inline constexpr std::u16string_view kDefaultMacroName = u"Custom";
// The loop edit's count of a new macro, and its most digits.
inline constexpr int kNewMacroLoopCount = 1;
inline constexpr int kLoopDigits = 3;
// The most characters of the paste text (the field keeps its terminator).
inline constexpr int kPasteTextLength = kPasteTextCapacity - 1;
inline constexpr int kMacroNameLength = kMacroNameCapacity - 1;

class MacroEditRules {
 public:
  // A new macro: auto delay, the events area current.
  MacroEditRules();
  // Editing `macro`: its mode, events (or, in copy-and-paste mode, its start and send keys).
  explicit MacroEditRules(const Macro& macro);

  // A key event at `timeMs` (the keyboard's own time stamp, in milliseconds): the area's limit,
  // the delay mode's pause rule, then the capture.
  KeyCapture::Outcome Key(bool up, uint16_t virtualKey, uint32_t keyFlags, uint32_t timeMs);
  // Delay mode 1 (auto), 2 (recorded), 3 (none) or 4 (copy and paste: the paste layout, both
  // keys on with Enter as their default, the send-key area current).
  void SetDelayMode(int mode);
  int delayMode() const { return delayMode_; }
  bool pasteLayout() const { return delayMode_ == kDelayCopyPaste; }
  // A display clicked: what was recorded goes to the current area's store, `area` becomes the
  // current one and its recording starts afresh.
  void SelectArea(MacroArea area);
  MacroArea area() const { return area_; }
  // Empties the current recording (the stores keep what was committed before).
  void Clear();

  // The tokens an area shows: the recording for the current area, its store for another.
  std::u16string Tokens(MacroArea area) const;
  const KeyCapture& recording() const { return capture_; }

  // The record saved: the recording committed first, then every field from zero.
  Macro Build(const MacroFields& fields);

 private:
  int Limit() const;
  void Commit();
  void SetPauses(uint16_t virtualKey, uint32_t timeMs);

  KeyCapture capture_;
  MacroArea area_ = MacroArea::kEvents;
  int delayMode_ = kDelayAutomatic;
  MacroEvent eventStore_[kMacroEventCount] = {};
  MacroEvent startStore_[kMacroKeyEventCount] = {};
  MacroEvent sendStore_[kMacroKeyEventCount] = {};
  bool firstAfterSwitch_ = false;
  uint32_t lastTimeMs_ = 0;
};

// The first character of `text` that Windows-1252 cannot hold (what a copy-and-paste macro
// types), or 0 when every one fits.
char16_t FirstCharacterOutsideWindows1252(std::u16string_view text);

}  // namespace orv
