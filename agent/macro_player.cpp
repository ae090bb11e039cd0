#include "agent/macro_player.h"

#include <algorithm>
#include <utility>

#include "agent/agent_services.h"
#include "agent/profile_sets.h"
#include "base/text.h"
#include "platform/input/input_codes.h"
#include "platform/input/input_injector.h"
#include "platform/input/scan_codes.h"

namespace orv {
namespace {

constexpr uint32_t kKeyUp = KEYEVENTF_KEYUP;
constexpr uint32_t kExtendedKey = KEYEVENTF_EXTENDEDKEY;


enum class MacroKind { Paste, Sequence, SingleKey };

MacroKind KindOf(const Macro& m) {
  if (m.delayMode == kDelayCopyPaste) return MacroKind::Paste;
  if (m.events[2].virtualKey != 0 || (m.loopSwitch != 0 && m.loopCount != 1)) return MacroKind::Sequence;
  return MacroKind::SingleKey;
}

uint32_t Pause(int32_t delay) { return delay > 0 ? static_cast<uint32_t>(delay) : 0; }

}  // namespace

MacroPlayer::MacroPlayer(InputInjector& input, Clock& clock, AgentDesktop& desktop, const ProfileSets& sets)
    : input_(input), clock_(clock), desktop_(desktop), sets_(sets) {}

void MacroPlayer::SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t extra) {
  input_.SendKey(virtualKey, scanCode, flags, extra);
}

void MacroPlayer::SendMouse(int32_t dx, int32_t dy, uint32_t flags, uint32_t mouseData, uint64_t extra) {
  input_.SendMouse(dx, dy, flags, mouseData, extra);
}

void MacroPlayer::KeyEvent(int virtualKey, uint32_t flags) {
  uint16_t vk = static_cast<uint16_t>(virtualKey);
  SendKey(vk, static_cast<uint16_t>(MapVirtualKeyW(vk, 0)), flags, 0);
}

void MacroPlayer::MacroPress(int m) {
  const Macro& macro = sets_.MacroOf(m);
  switch (KindOf(macro)) {
    case MacroKind::Paste:
      return;  // it acts on release
    case MacroKind::Sequence: {
      int times = macro.loopSwitch != 0 ? macro.loopCount : 1;
      for (int i = 0; i < times; ++i) PlayMacroOnce(m);
      // Keys held by single-key macros that the sequence let go of go down again.
      for (int key : repressKeys_) KeyEvent(key, kExtendedKey);
      repressKeys_.clear();
      return;
    }
    case MacroKind::SingleKey: {
      int key = macro.events[0].virtualKey;
      KeyEvent(key, kExtendedKey);
      heldKeys_.push_back(key);
      return;
    }
  }
}

void MacroPlayer::MacroRelease(int m, int profile) {
  const Macro& macro = sets_.MacroOf(m, profile);
  switch (KindOf(macro)) {
    case MacroKind::Paste: {
      bool forGame = ForegroundIsGame();
      if (macro.startKey != 0) PlayKeyPair(m, false, profile);
      clock_.Sleep(50);
      PasteText(FieldText(macro.pasteText), forGame);
      clock_.Sleep(50);
      if (macro.sendKey != 0) PlayKeyPair(m, true, profile);
      return;
    }
    case MacroKind::Sequence:
      return;
    case MacroKind::SingleKey: {
      int key = macro.events[0].virtualKey;
      KeyEvent(key, kExtendedKey | kKeyUp);
      heldKeys_.erase(std::remove(heldKeys_.begin(), heldKeys_.end(), key), heldKeys_.end());
      return;
    }
  }
}

// One recorded event. `seen` holds, per recorded key, the last up/down value of this pass (-1
// before the key's first event); a key changing direction gets 1 ms first.
void MacroPlayer::PlayEvent(const MacroEvent& e, int (&seen)[256], uint32_t pause) {
  if (seen[e.virtualKey] != -1 && seen[e.virtualKey] != e.keyUp) clock_.Sleep(1);
  // Left and right modifiers of a recording are played as the generic key, on its own side: the
  // right one's scan code, and the extended flag for right Ctrl and right Alt, as the keyboard
  // itself reports them, so that a right-hand key is typed again by the right-hand key.
  const uint32_t recorded = e.virtualKey;
  const int key = static_cast<int>(GenericModifier(recorded));
  uint32_t flags = e.keyUp ? kKeyUp : 0;
  if (recorded == VK_RCONTROL || recorded == VK_RMENU) flags |= kExtendedKey;
  SendKey(static_cast<uint16_t>(key), static_cast<uint16_t>(MapVirtualKeyW(recorded, 0) & 0xFF), flags, 0);
  clock_.Sleep(pause);
  seen[e.virtualKey] = e.keyUp;
}

void MacroPlayer::PlayMacroOnce(int m) {
  const Macro& macro = sets_.MacroOf(m);
  InputInjector& input = input_;
  // The recorded virtual keys mean the same characters whatever layout the user has.
  uint32_t layout = input.ForegroundLayout();
  input.RequestLayout(kUsLayout);
  int count = 0;
  while (count < kMacroEventCount && macro.events[count].virtualKey != 0) ++count;
  for (int key : heldKeys_)
    for (int i = 0; i < count; ++i)
      if (macro.events[i].virtualKey == key) {
        repressKeys_.push_back(key);
        break;
      }
  int seen[256];
  std::fill(std::begin(seen), std::end(seen), -1);
  for (int i = 0; i < count; ++i) PlayEvent(macro.events[i], seen, Pause(macro.events[i].delay));
  clock_.Sleep(100);
  input.RequestLayout(layout);
}

void MacroPlayer::PlayKeyPair(int m, bool sendKeys, int profile) {
  const Macro& macro = sets_.MacroOf(m, profile);
  const MacroEvent* events = sendKeys ? macro.sendKeyEvents : macro.startKeyEvents;
  int seen[256];
  std::fill(std::begin(seen), std::end(seen), -1);
  for (int i = 0; i < kMacroKeyEventCount; ++i) PlayEvent(events[i], seen, 50);
}

void MacroPlayer::PasteText(std::u16string_view text, bool forGame) {
  // The game reads ANSI text from the clipboard, everything else Unicode. An unavailable
  // clipboard still gets the keystroke: it pastes whatever the clipboard holds.
  input_.SetClipboardText(text, forGame);
  KeyEvent(VK_CONTROL, 0);
  clock_.Sleep(50);
  KeyEvent(VK_V, 0);
  clock_.Sleep(50);
  KeyEvent(VK_V, kKeyUp);
  clock_.Sleep(50);
  KeyEvent(VK_CONTROL, kKeyUp);
}

void MacroPlayer::ReleaseHeldKeys() {
  for (int key : std::exchange(heldKeys_, {})) KeyEvent(key, kExtendedKey | kKeyUp);
  repressKeys_.clear();
}

bool MacroPlayer::ForegroundIsGame() {
  pid_t foreground = desktop_.ForegroundProcessId();
  std::vector<ProcessEntry> processes;
  if (!desktop_.TakeProcessSnapshot(processes)) return false;
  for (const ProcessEntry& p : processes)
    if (p.pid == foreground) return EqualsIgnoringCase(p.exeName, u"orv.exe");
  return false;
}

}  // namespace orv
