#pragma once
// The capture of keys into macro events: the buffer a recording fills, the rules that decide
// whether a key event becomes an event (side-specific modifiers, the keypad's Enter, a key-up
// only after its key-down, the buffer's end), which keys can be recorded at all (those of a US
// 104-key keyboard), and the short names the macro editor shows for them.
#include <cstdint>
#include <span>
#include <string>

#include "profile/records.h"

namespace orv {

// The key flags that come with a key event: the scan code in the low byte, and these bits.
inline constexpr uint32_t kKeyFlagExtended = 0x100;
inline constexpr uint32_t kKeyFlagRepeat = 0x4000;

// Whether a virtual key is one of a US 104-key keyboard's keys, as the capture stores them
// (side-specific modifiers, 0x6C for the keypad's Enter); media keys and the like are not.
bool IsRecordableKey(uint16_t virtualKey);
// The key a generic code stands for, from its flags: Ctrl and Alt by the extended bit, Shift by
// its scan code (left 0x2A, right 0x36; otherwise it stays generic), Enter on the keypad.
uint16_t SidedKey(uint16_t virtualKey, uint32_t keyFlags);
// The short name of a key in the macro editor's tokens ("LShft", "NumRet", "A", "/" ...).
std::u16string KeyName(uint16_t virtualKey);

class KeyCapture {
 public:
  static constexpr int kCapacity = kMacroEventCount;
  enum class Outcome : uint8_t {
    kAccepted,
    kFull,           // the buffer holds kCapacity events
    kUnmatchedUp,    // a key-up whose key-down is not the key's last event
    kNotRecordable,  // a key outside the keyboard the macros know
    kRepeat,         // the keyboard's auto-repeat of a key held down
  };

  // One key event. Until the first one is accepted after a fresh Load, the first key event
  // empties what was loaded. An accepted event takes its slot's key and edge; the slot's pause
  // stays what it was (the macro editor sets pauses before).
  Outcome Record(bool up, uint16_t virtualKey, uint32_t keyFlags);
  // What Record would answer, changing nothing (but what it empties first).
  Outcome Check(bool up, uint16_t virtualKey, uint32_t keyFlags) const;
  // Events up to the first empty one. `fresh`: the next key starts a new recording (a macro
  // opened for editing); otherwise recording goes on after them.
  void Load(std::span<const MacroEvent> events, bool fresh);
  // Empties the buffer (count 0, every event zero).
  void Clear();

  MacroEvent* events() { return events_; }
  const MacroEvent* events() const { return events_; }
  int count() const { return count_; }
  bool started() const { return started_; }

 private:
  MacroEvent events_[kCapacity] = {};
  int count_ = 0;
  bool started_ = false;
};

}  // namespace orv
