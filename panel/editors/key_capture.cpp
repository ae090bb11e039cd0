#include "panel/editors/key_capture.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "platform/input/input_codes.h"

namespace orv {
namespace {

struct NamedKey {
  uint16_t vk;
  const char16_t* name;
};

// Keys named by a word.
constexpr NamedKey kNames[] = {
    {0x08, u"Bck"},    {0x09, u"Tab"},    {0x0C, u"Clr"},      {0x0D, u"Enter"},  {0x10, u"Shft"},  {0x11, u"Ctrl"},
    {0x12, u"Alt"},    {0x13, u"Paus"},   {0x14, u"CpLk"},     {0x1B, u"Esc"},    {0x20, u"Spc"},   {0x21, u"PgUp"},
    {0x22, u"PgDn"},   {0x23, u"End"},    {0x24, u"Home"},     {0x25, u"Lft"},    {0x26, u"Up"},    {0x27, u"Rht"},
    {0x28, u"Dn"},     {0x29, u"Select"}, {0x2A, u"Prnt"},     {0x2B, u"Exe"},    {0x2C, u"Snapshot"}, {0x2D, u"Ins"},
    {0x2E, u"Del"},    {0x2F, u"Hlp"},    {0x5B, u"LWin"},     {0x5C, u"RWin"},   {0x6A, u"Num*"},  {0x6B, u"Num+"},
    {0x6C, u"NumRet"}, {0x6D, u"Num-"},   {0x6E, u"Num."},     {0x6F, u"Num/"},   {0x90, u"Numl"},  {0x91, u"Scrl"},
    {0xA0, u"LShft"},  {0xA1, u"RShft"},  {0xA2, u"LCtrl"},    {0xA3, u"RCtrl"},  {0xA4, u"LAlt"},  {0xA5, u"RAlt"},
    // Keys no character names, which the US layout has: the menu key.
    {0x5D, u"Menu"},
};

// What the US English layout types for a key without Shift (letters in upper case).
char16_t UsCharacter(uint16_t vk) {
  if ((vk >= VK_0 && vk <= VK_9) || (vk >= VK_A && vk <= VK_Z)) return vk;
  switch (vk) {
    case VK_OEM_1: return u';';
    case VK_OEM_PLUS: return u'=';
    case VK_OEM_COMMA: return u',';
    case VK_OEM_MINUS: return u'-';
    case VK_OEM_PERIOD: return u'.';
    case VK_OEM_2: return u'/';
    case VK_OEM_3: return u'`';
    case VK_OEM_4: return u'[';
    case VK_OEM_5: return u'\\';
    case VK_OEM_6: return u']';
    case VK_OEM_7: return u'\'';
    default: return 0;
  }
}

}  // namespace

bool IsRecordableKey(uint16_t vk) {
  if (UsCharacter(vk)) return true;
  if (vk >= VK_F1 && vk <= VK_F12) return true;
  if (vk >= VK_NUMPAD0 && vk <= VK_DIVIDE) return true;  // keypad digits, * + Enter - . /
  if (vk >= VK_PRIOR && vk <= VK_DOWN) return true;      // Page keys, End, Home, arrows
  if (vk >= VK_LSHIFT && vk <= VK_RMENU) return true;    // the six modifiers by side
  switch (vk) {
    case VK_BACK: case VK_TAB: case VK_CLEAR: case VK_RETURN: case VK_PAUSE: case VK_CAPITAL:
    case VK_ESCAPE: case VK_SPACE: case VK_SNAPSHOT: case VK_INSERT: case VK_DELETE:
    case VK_LWIN: case VK_RWIN: case VK_APPS: case VK_NUMLOCK: case VK_SCROLL:
    // A Shift whose side its scan code does not tell.
    case VK_SHIFT:
      return true;
    default: return false;
  }
}

uint16_t SidedKey(uint16_t vk, uint32_t flags) {
  const bool extended = flags & kKeyFlagExtended;
  const uint32_t scan = flags & 0xFF;
  switch (vk) {
    case VK_CONTROL: return extended ? VK_RCONTROL : VK_LCONTROL;
    case VK_MENU: return extended ? VK_RMENU : VK_LMENU;
    case VK_SHIFT: return scan == 0x2A ? VK_LSHIFT : scan == 0x36 ? VK_RSHIFT : VK_SHIFT;
    case VK_RETURN: return extended ? VK_SEPARATOR : VK_RETURN;
    default: return vk;
  }
}

std::u16string KeyName(uint16_t vk) {
  for (const NamedKey& k : kNames)
    if (k.vk == vk) return k.name;
  if (vk >= VK_F1 && vk <= VK_F12) return ToUtf16("F" + std::to_string(vk - VK_F1 + 1));
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return ToUtf16("Num" + std::to_string(vk - VK_NUMPAD0));
  if (const char16_t c = UsCharacter(vk)) return std::u16string(1, c);
  // No name and no character: its code.
  char hex[8];
  std::snprintf(hex, sizeof hex, "#%02X", vk);
  return ToUtf16(hex);
}

KeyCapture::Outcome KeyCapture::Check(bool up, uint16_t virtualKey, uint32_t keyFlags) const {
  const uint16_t vk = SidedKey(virtualKey, keyFlags);
  if (!IsRecordableKey(vk)) return Outcome::kNotRecordable;
  if (!up && (keyFlags & kKeyFlagRepeat)) return Outcome::kRepeat;
  // Until a recording has started, what was loaded goes at this key: it counts as empty.
  const int count = started_ ? count_ : 0;
  if (count >= kCapacity) return Outcome::kFull;
  if (up) {
    // Only after the key's own key-down (the key's last event).
    for (int i = count - 1; i >= 0; --i)
      if (events_[i].virtualKey == vk) return events_[i].keyUp ? Outcome::kUnmatchedUp : Outcome::kAccepted;
    return Outcome::kUnmatchedUp;
  }
  return Outcome::kAccepted;
}

KeyCapture::Outcome KeyCapture::Record(bool up, uint16_t virtualKey, uint32_t keyFlags) {
  const Outcome outcome = Check(up, virtualKey, keyFlags);
  if (outcome == Outcome::kNotRecordable || outcome == Outcome::kRepeat) return outcome;
  if (!started_) Clear();
  if (outcome != Outcome::kAccepted) return outcome;
  events_[count_].virtualKey = static_cast<uint8_t>(SidedKey(virtualKey, keyFlags));
  events_[count_].keyUp = up ? 1 : 0;
  ++count_;
  started_ = true;
  return Outcome::kAccepted;
}

void KeyCapture::Load(std::span<const MacroEvent> events, bool fresh) {
  Clear();
  for (const MacroEvent& e : events) {
    if (count_ >= kCapacity || (e.virtualKey == 0 && e.keyUp == 0)) break;
    events_[count_++] = e;
  }
  started_ = !fresh;
}

void KeyCapture::Clear() {
  std::fill(std::begin(events_), std::end(events_), MacroEvent{});
  count_ = 0;
}

}  // namespace orv
