#include "panel/editors/macro_rules.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "platform/input/input_codes.h"

namespace orv {
namespace {

constexpr int kShortPauseMs = 50;   // auto delay between events, and after a switch to recorded delay
constexpr int kFirstPauseMs = 10;   // auto delay after the first event
constexpr int kSlashPauseMs = 20;   // ... when the second key opens the chat line

MacroEvent EnterEdge(bool up) { return MacroEvent{static_cast<uint8_t>(VK_RETURN), static_cast<uint8_t>(up), {0, 0}, 0}; }

std::u16string Decimal(int n) { return ToUtf16(std::to_string(n)); }

}  // namespace

MacroEditRules::MacroEditRules() = default;

MacroEditRules::MacroEditRules(const Macro& macro) {
  if (macro.delayMode == kDelayCopyPaste) {
    delayMode_ = kDelayCopyPaste;
    std::copy(std::begin(macro.startKeyEvents), std::end(macro.startKeyEvents), startStore_);
    std::copy(std::begin(macro.sendKeyEvents), std::end(macro.sendKeyEvents), sendStore_);
    area_ = MacroArea::kSendKey;
    capture_.Load(sendStore_, true);
    return;
  }
  if (macro.delayMode >= kDelayAutomatic && macro.delayMode <= kDelayNone) delayMode_ = macro.delayMode;
  std::copy(std::begin(macro.events), std::end(macro.events), eventStore_);
  capture_.Load(macro.events, true);
}

int MacroEditRules::Limit() const { return area_ == MacroArea::kEvents ? kMacroEventCount : kMacroKeyEventCount; }

void MacroEditRules::SetPauses(uint16_t virtualKey, uint32_t timeMs) {
  MacroEvent* e = capture_.events();
  const int n = capture_.count();
  switch (delayMode_) {
    case kDelayAutomatic:
      if (n == 1) {
        e[1].delay = kShortPauseMs;
        e[0].delay = virtualKey == VK_OEM_2 ? kSlashPauseMs : kFirstPauseMs;
      } else if (n >= 2) {
        e[n].delay = kShortPauseMs;
      }
      break;
    case kDelayRecorded:
      if (n >= 1) e[n - 1].delay = firstAfterSwitch_ ? kShortPauseMs : static_cast<int32_t>(timeMs - lastTimeMs_);
      firstAfterSwitch_ = false;
      lastTimeMs_ = timeMs;
      break;
    case kDelayNone:
      if (n >= 1) e[n - 1].delay = 0;
      break;
    default: break;  // copy and paste: the slots keep their pauses
  }
}

KeyCapture::Outcome MacroEditRules::Key(bool up, uint16_t virtualKey, uint32_t keyFlags, uint32_t timeMs) {
  // The first key of a recording over loaded events empties them (also when it is refused).
  const KeyCapture::Outcome outcome = capture_.Check(up, virtualKey, keyFlags);
  if (outcome != KeyCapture::Outcome::kNotRecordable && outcome != KeyCapture::Outcome::kRepeat && !capture_.started())
    capture_.Clear();
  if (outcome != KeyCapture::Outcome::kAccepted) return outcome;
  if (capture_.count() >= Limit()) return KeyCapture::Outcome::kFull;
  // Only an event that is kept sets pauses: a refused one takes no time from the real gaps.
  SetPauses(SidedKey(virtualKey, keyFlags), timeMs);
  return capture_.Record(up, virtualKey, keyFlags);
}

void MacroEditRules::SetDelayMode(int mode) {
  if (mode < kDelayAutomatic || mode > kDelayCopyPaste) return;
  if (mode == kDelayCopyPaste) {
    if (delayMode_ == kDelayCopyPaste) return;
    Commit();
    delayMode_ = kDelayCopyPaste;
    startStore_[0] = EnterEdge(false);
    startStore_[1] = EnterEdge(true);
    sendStore_[0] = EnterEdge(false);
    sendStore_[1] = EnterEdge(true);
    area_ = MacroArea::kSendKey;
    capture_.Load(sendStore_, true);
    return;
  }
  if (delayMode_ == kDelayCopyPaste) {
    // Back to the events: what they held before goes on being recorded.
    Commit();
    area_ = MacroArea::kEvents;
    capture_.Load(eventStore_, false);
  }
  if (mode == kDelayRecorded && capture_.count() > 0) firstAfterSwitch_ = true;
  delayMode_ = mode;
}

void MacroEditRules::Commit() {
  const MacroEvent* e = capture_.events();
  switch (area_) {
    case MacroArea::kEvents: std::copy(e, e + kMacroEventCount, eventStore_); break;
    case MacroArea::kStartKey: std::copy(e, e + kMacroKeyEventCount, startStore_); break;
    case MacroArea::kSendKey: std::copy(e, e + kMacroKeyEventCount, sendStore_); break;
  }
}

void MacroEditRules::SelectArea(MacroArea area) {
  if (pasteLayout() == (area == MacroArea::kEvents)) return;  // a display the layout does not show
  Commit();
  area_ = area;
  capture_.Clear();
}

void MacroEditRules::Clear() { capture_.Clear(); }

std::u16string MacroEditRules::Tokens(MacroArea area) const {
  const MacroEvent* events = area == area_ ? capture_.events()
                             : area == MacroArea::kEvents ? eventStore_
                             : area == MacroArea::kStartKey ? startStore_
                                                            : sendStore_;
  const int count = area == area_ ? capture_.count() : area == MacroArea::kEvents ? kMacroEventCount : kMacroKeyEventCount;
  std::u16string text;
  for (int i = 0; i < count && events[i].virtualKey != 0; ++i) {
    const MacroEvent& e = events[i];
    if (delayMode_ == kDelayAutomatic) {
      if (e.keyUp) continue;
      text += KeyName(e.virtualKey) + u" ";
      continue;
    }
    text += KeyName(e.virtualKey) + (e.keyUp ? u"^" : u"|");
    if ((delayMode_ == kDelayRecorded || delayMode_ == kDelayCopyPaste) && e.delay != 0)
      text += u"<" + Decimal(e.delay) + u"ms>";
    text += u" ";
  }
  return text;
}

Macro MacroEditRules::Build(const MacroFields& fields) {
  Commit();
  Macro m;
  std::memset(&m, 0, sizeof m);
  const std::u16string name = fields.name.empty() ? std::u16string(kDefaultMacroName) : fields.name;
  CopyText(m.name, std::u16string_view(name).substr(0, kMacroNameLength));
  int loops = 0;
  const bool digits = !fields.loopText.empty() && fields.loopText.size() <= static_cast<size_t>(kLoopDigits) &&
                      std::all_of(fields.loopText.begin(), fields.loopText.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
  if (digits)
    for (char16_t c : fields.loopText) loops = loops * 10 + (c - u'0');
  m.loopCount = loops;
  m.loopSwitch = fields.loopOn ? 1 : 0;
  m.delayMode = delayMode_;
  std::copy(std::begin(eventStore_), std::end(eventStore_), m.events);
  // A key still down at the end (its release went elsewhere: the focus left the area, or the
  // editor closed while it was held) is released at the end, so that playing leaves none held.
  int count = 0;
  while (count < kMacroEventCount && m.events[count].virtualKey != 0) ++count;
  for (int i = 0; i < count && count < kMacroEventCount; ++i) {
    const MacroEvent& e = m.events[i];
    if (e.keyUp) continue;
    bool released = false;
    for (int j = i + 1; j < count && !released; ++j) released = m.events[j].virtualKey == e.virtualKey;
    if (!released) m.events[count++] = MacroEvent{e.virtualKey, 1, {0, 0}, 0};
  }
  std::copy(std::begin(startStore_), std::end(startStore_), m.startKeyEvents);
  std::copy(std::begin(sendStore_), std::end(sendStore_), m.sendKeyEvents);
  m.startKey = fields.startKeyOn ? 1 : 0;
  m.sendKey = fields.sendKeyOn ? 1 : 0;
  CopyText(m.pasteText, std::u16string_view(fields.pasteText).substr(0, kPasteTextLength));
  return m;
}

char16_t FirstCharacterOutsideWindows1252(std::u16string_view text) {
  for (char16_t c : text) {
    size_t lost = 0;
    EncodeWindows1252(std::u16string_view(&c, 1), &lost);
    if (lost) return c;
  }
  return 0;
}

}  // namespace orv
