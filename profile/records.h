#pragma once
// The records both programs keep every user setting of the mouse in. They are plain
// fixed-size values without pointers: a whole ProfileSet is copied, compared and reset as
// one block. Where natural alignment would leave padding, an explicit zero-filled field
// takes its place, so that every byte of a record is defined and block comparison is exact.
#include <cstdint>
#include <type_traits>

namespace orv {

constexpr int kProfileCount = 10;
constexpr int kButtonCount = 14;
constexpr int kMacroCount = 50;
constexpr int kMacroEventCount = 320;
constexpr int kMacroKeyEventCount = 2;
constexpr int kGameNameCount = 10;

// Capacities of the UTF-16 texts, terminator included.
constexpr int kServerNameCapacity = 255;
constexpr int kCharacterNameCapacity = 255;
constexpr int kCharacterFieldCapacity = 100;  // class, race and level
constexpr int kProfileNameCapacity = 256;
constexpr int kGameNameCapacity = 255;
constexpr int kMacroNameCapacity = 100;
constexpr int kPasteTextCapacity = 260;

struct MacroEvent {
  uint8_t virtualKey;  // Windows virtual-key code; 0 ends a list
  uint8_t keyUp;       // 0 = key goes down, non-zero = key goes up
  uint8_t reserved[2];
  int32_t delay;       // milliseconds to wait after this event
};

// Macro delay modes.
enum MacroDelayMode : int32_t {
  kDelayAutomatic = 1,
  kDelayRecorded = 2,
  kDelayNone = 3,
  kDelayCopyPaste = 4,
};

struct Macro {
  char16_t name[kMacroNameCapacity];  // empty: a free macro slot
  MacroEvent events[kMacroEventCount];
  int32_t loopCount;
  int32_t loopSwitch;  // 0 = play once, 1 = repeat loopCount times
  int32_t delayMode;   // MacroDelayMode
  MacroEvent startKeyEvents[kMacroKeyEventCount];
  int32_t startKey;
  MacroEvent sendKeyEvents[kMacroKeyEventCount];
  int32_t sendKey;
  char16_t pasteText[kPasteTextCapacity];
};

struct ButtonAssignment {
  uint8_t buttonNumber;  // the entry's own 1-based number
  uint8_t reserved[3];
  int32_t code;          // assignment code, 1 to 1200
};

struct Profile {
  int32_t region;
  char16_t serverName[kServerNameCapacity];
  char16_t characterName[kCharacterNameCapacity];
  char16_t characterClass[kCharacterFieldCapacity];
  char16_t characterRace[kCharacterFieldCapacity];
  char16_t characterLevel[kCharacterFieldCapacity];
  char16_t profileName[kProfileNameCapacity];
  int32_t dpiStep;
  int32_t doubleClickSpeed;
  int32_t scrollSpeed;
  int32_t sensitivity;
  int32_t advanceSensitivityX;
  int32_t advanceSensitivityY;
  int32_t ledColor;
  int32_t ledIntensity;
  int32_t ledPulsation;
  char16_t gameNames[kGameNameCount][kGameNameCapacity];
  ButtonAssignment buttons[kButtonCount];
  Macro macros[kMacroCount];
};

struct ProfileSet {
  int32_t profileId;    // index of the active profile, 0 to 9
  int32_t pollingRate;  // 1 = 1000 Hz, 2 = 500 Hz, 3 = 250 Hz
  int32_t liftDistance; // 1 = Default, 2 = Lower, 3 = Lowest
  int32_t gameMode;     // 0 = off, 1 = on
  Profile profiles[kProfileCount];
};

static_assert(sizeof(MacroEvent) == 8);
static_assert(sizeof(Macro) == 3332);
static_assert(std::is_trivially_copyable_v<ProfileSet>);
static_assert(std::has_unique_object_representations_v<ProfileSet>, "records must have no padding");

// What CompareProfileSets reports.
enum ProfileChangeMask : uint32_t {
  CHANGED_DPI = 0x1,
  CHANGED_POLLING_RATE = 0x2,
  CHANGED_LED_COLOR = 0x4,
  CHANGED_LED_INTENSITY = 0x8,
  CHANGED_LED_PULSATION = 0x10,
  CHANGED_ANY = 0x20,
  CHANGED_BUTTONS = 0x80,
  CHANGED_PROFILE_INDEX = 0x100,
};

// Default assignment of buttons 1 to 14.
inline constexpr int32_t kDefaultButtonCodes[kButtonCount] = {1, 2, 6, 416, 507, 517, 401, 5, 4, 403, 415, 420, 520, 405};

// Sensitivity steps: step n (1..6) is kDpiOfStep[n - 1] dots per inch.
inline constexpr int32_t kDpiOfStep[6] = {3200, 2400, 2000, 1600, 1200, 800};

// The profile a set is looked at under for an index: the index itself within 0 to 9, else
// profile 0 (what an unvalidated set falls back to).
inline int ProfileIndexOrFirst(int32_t index) { return index >= 0 && index < kProfileCount ? index : 0; }

// The state a load starts from: header values -1, profiles zero except the nine pointer and
// illumination values (-1), the button entries (own number, code -1) and the macros' delay mode (1).
void ResetProfileSet(ProfileSet& set);
// Puts every value outside its range to its default; true if anything was replaced (an empty
// profile name is named "Profile n" without counting as a replacement).
bool ValidateProfileSet(ProfileSet& set);
// What differs between two sets. With `sameIndex` both are looked at under the new set's
// profileId; otherwise each under its own.
uint32_t CompareProfileSets(const ProfileSet& newSet, const ProfileSet& oldSet, bool sameIndex);
// Every byte zero (the cleared profile that an import starts from).
void ClearProfile(Profile& profile);

}  // namespace orv
