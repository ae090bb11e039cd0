// Synthesised input and macro playback. Everything runs on the window thread: a macro holds it
// for its whole length, and button reports that arrive meanwhile wait in the queue.
#include <algorithm>

#include "agent/agent_window.h"
#include "base/text.h"
#include "platform/input/input_injector.h"
#include "platform/input/scan_codes.h"

namespace orv {
namespace {

constexpr uint32_t kUsLayout = 0x04090409;
constexpr uint32_t kKeyUp = 2;
constexpr uint32_t kExtendedKey = 1;
constexpr int kCtrl = 17, kKeyV = 'V';

// Left and right modifiers of a recording are played as the generic key.
int FoldModifier(int key) {
  switch (key) {
    case 160:
    case 161:
      return 16;
    case 162:
    case 163:
      return 17;
    case 164:
    case 165:
      return 18;
    default:
      return key;
  }
}

enum class MacroKind { Paste, Sequence, SingleKey };

MacroKind KindOf(const Macro& m) {
  if (m.delayMode == kDelayCopyPaste) return MacroKind::Paste;
  if (m.events[2].virtualKey != 0 || (m.loopSwitch != 0 && m.loopCount != 1)) return MacroKind::Sequence;
  return MacroKind::SingleKey;
}

uint32_t Pause(int32_t delay) { return delay > 0 ? static_cast<uint32_t>(delay) : 0; }

}  // namespace

void CMyWnd::SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t extra) {
  services_.input->SendKey(virtualKey, scanCode, flags, extra);
}

void CMyWnd::SendMouse(int32_t dx, int32_t dy, uint32_t flags, uint32_t mouseData, uint64_t extra) {
  services_.input->SendMouse(dx, dy, flags, mouseData, extra);
}

void CMyWnd::KeyEvent(int virtualKey, uint32_t flags) {
  uint16_t vk = static_cast<uint16_t>(virtualKey);
  SendKey(vk, static_cast<uint16_t>(MapVirtualKeyW(vk, 0)), flags, 0);
}

void CMyWnd::MacroPress(int m) {
  const Macro& macro = Active().macros[m];
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

void CMyWnd::MacroRelease(int m, int profile) {
  const Macro& macro = MacroOf(m, profile);
  switch (KindOf(macro)) {
    case MacroKind::Paste: {
      bool forGame = ForegroundIsGame();
      if (macro.startKey != 0) PlayKeyPair(m, false, profile);
      Sleep(50);
      PasteText(FieldText(macro.pasteText), forGame);
      Sleep(50);
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
void CMyWnd::PlayEvent(const MacroEvent& e, int (&seen)[256], uint32_t pause) {
  if (seen[e.virtualKey] != -1 && seen[e.virtualKey] != e.keyUp) Sleep(1);
  int key = FoldModifier(e.virtualKey);
  SendKey(static_cast<uint16_t>(key), static_cast<uint16_t>(MapVirtualKeyW(key, 0) & 0xFF), e.keyUp ? kKeyUp : 0, 0);
  Sleep(pause);
  seen[e.virtualKey] = e.keyUp;
}

void CMyWnd::PlayMacroOnce(int m) {
  const Macro& macro = Active().macros[m];
  InputInjector& input = *services_.input;
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
  Sleep(100);
  input.RequestLayout(layout);
}

void CMyWnd::PlayKeyPair(int m, bool sendKeys, int profile) {
  const Macro& macro = MacroOf(m, profile);
  const MacroEvent* events = sendKeys ? macro.sendKeyEvents : macro.startKeyEvents;
  int seen[256];
  std::fill(std::begin(seen), std::end(seen), -1);
  for (int i = 0; i < kMacroKeyEventCount; ++i) PlayEvent(events[i], seen, 50);
}

void CMyWnd::PasteText(std::u16string_view text, bool forGame) {
  // The game reads ANSI text from the clipboard, everything else Unicode. An unavailable
  // clipboard still gets the keystroke: it pastes whatever the clipboard holds.
  services_.input->SetClipboardText(text, forGame);
  KeyEvent(kCtrl, 0);
  Sleep(50);
  KeyEvent(kKeyV, 0);
  Sleep(50);
  KeyEvent(kKeyV, kKeyUp);
  Sleep(50);
  KeyEvent(kCtrl, kKeyUp);
}

bool CMyWnd::ForegroundIsGame() {
  pid_t foreground = services_.desktop->ForegroundProcessId();
  std::vector<ProcessEntry> processes;
  if (!services_.desktop->TakeProcessSnapshot(processes)) return false;
  for (const ProcessEntry& p : processes)
    if (p.pid == foreground) return EqualsIgnoringCase(p.exeName, u"orv.exe");
  return false;
}

}  // namespace orv
