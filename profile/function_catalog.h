#pragma once
// The function catalogue: every assignment code a button can hold, with its name, where the
// panel offers and labels it, what the agent performs for it, how it is kept in the mouse's
// own memory and how much of that memory it takes. This is the one table of these facts: the
// agent's dispatcher, the on-board encoder and decoder, the panel's memory gauge and the
// assignment window's lists and tree all read it.
//
// Keys are Windows virtual-key codes, kept as plain integers; the on-board encoder turns them
// into HID usages itself. Mouse and keyboard flags are the values SendMouse and SendKey take.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "profile/records.h"

namespace orv {

// Codes of the macros of a profile: kFirstMacroCode + macro index.
constexpr int kFirstMacroCode = 1000;
constexpr int kLastMacroCode = kFirstMacroCode + kMacroCount - 1;

// One synthesised input of an action, or a pause between two.
struct InputStep {
  enum Kind : uint8_t { kKey, kMouse, kPause };

  // Keyboard flags: down, up, and the extended-key flag added to either.
  static constexpr uint32_t kKeyDown = 0x0;
  static constexpr uint32_t kKeyExtended = 0x1;
  static constexpr uint32_t kKeyUp = 0x2;
  // Mouse flags.
  static constexpr uint32_t kMouseLeftDown = 0x0002;
  static constexpr uint32_t kMouseLeftUp = 0x0004;
  static constexpr uint32_t kMouseRightDown = 0x0008;
  static constexpr uint32_t kMouseRightUp = 0x0010;
  static constexpr uint32_t kMouseMiddleDown = 0x0020;
  static constexpr uint32_t kMouseMiddleUp = 0x0040;
  static constexpr uint32_t kMouseXDown = 0x0080;
  static constexpr uint32_t kMouseXUp = 0x0100;
  static constexpr uint32_t kMouseWheel = 0x0800;

  Kind kind;
  uint8_t virtualKey;  // kKey: the key; its scan code is the one the system maps from it
  uint32_t flags;      // kKey: keyboard flags; kMouse: one mouse flag (no movement)
  int32_t value;       // kMouse: mouse data (X button 1 or 2, wheel delta); kPause: milliseconds

  bool operator==(const InputStep&) const = default;
};

// What happens on one edge (press or release) of a button holding the code.
enum class Operation : uint8_t {
  kNothing,
  kInput,          // send `steps` in order, pauses included
  kSetDpiStep,     // select sensitivity step `value` (1-6)
  kDpiUp,          // one step towards higher resolution
  kDpiDown,        // one step towards lower resolution
  kSelectProfile,  // make profile index `value` (0-9) active
  kProfileStep,    // move the active profile index by `value` (+1 or -1), clamped to 0-9
  kMacroPress,     // macro press of the macro with index code - kFirstMacroCode
  kMacroRelease,   // macro release of that macro
};

struct ButtonAction {
  Operation operation = Operation::kNothing;
  int32_t value = 0;
  std::span<const InputStep> steps;
};

// How a key command uses its keys (descriptive; `steps` are what is sent).
enum class KeyTiming : uint8_t {
  kNone,      // no keys: a mouse action, or not an input action
  kTap,       // modifiers down, key down, key up, modifiers up, all on the press
  kHeld,      // key down on the press, key up on the release
  kTimed,     // on the press: key down, `holdMs`, key up
  kSequence,  // a paced sequence of its own on the press (see the press steps)
};

struct KeyChord {
  uint8_t modifiers[2] = {0, 0};  // left modifier keys held around the key, in pressing order; 0 = none
  uint8_t key = 0;                // the key pressed and released; 0 when the command has no key
  KeyTiming timing = KeyTiming::kNone;
  bool extended = false;  // the key's events carry the extended-key flag
  int32_t holdMs = 0;     // kTimed: the pause between key down and key up
};

// One event of an on-board key script. Key events hold a virtual key, which the encoder
// writes as its HID usage; mouse events hold the button number (0 = left).
struct ScriptEvent {
  enum Op : uint8_t {
    kKeyDown = 97,     // 'a'
    kKeyUp = 98,       // 'b'
    kLoop = 99,        // 'c', loop count
    kMouseDown = 100,  // 'd'
    kMouseUp = 101,    // 'e'
    kDelay = 104,      // 'h', delay / 50 ms
  };
  Op op;
  uint8_t value;

  bool operator==(const ScriptEvent&) const = default;
};

// The entry types of the on-board header.
enum OnboardType : uint8_t {
  kOnboardNothing = 0,
  kOnboardLeft = 1,
  kOnboardRight = 2,
  kOnboardMiddle = 3,
  kOnboardFourth = 4,
  kOnboardFifth = 5,
  kOnboardKey = 16,
  kOnboardScript = 32,
  kOnboardWheelUp = 49,
  kOnboardWheelDown = 50,
  kOnboardDpiDown = 51,  // one step towards step 6
  kOnboardDpiUp = 52,    // one step towards step 1
  kOnboardDpiStep = 53,
};

// How a code is kept in the mouse's memory.
enum class OnboardKind : uint8_t {
  kType,         // `type` alone, no data
  kKey,          // type 16; one data byte: the usage of virtual key `value`
  kScript,       // type 32; the events of `script`, two bytes each
  kDpiStep,      // type 53; one data byte: the step `value`
  kMacroScript,  // type 32; the script of macro code - kFirstMacroCode of the profile
  kNotStored,    // the mouse cannot hold it: the entry gets type k + 1 (k = the entry's index)
};

struct OnboardEncoding {
  OnboardKind kind = OnboardKind::kNotStored;
  uint8_t type = 0;   // the entry type for every kind but kNotStored
  uint8_t value = 0;  // kKey: virtual key; kDpiStep: step 1-6
  std::span<const ScriptEvent> script;
};

enum class FunctionCategory : uint8_t {
  kMouseButton,  // 1-6, 9, 11-13 (labels from Menu.xml BUTTON_MENU)
  kSensitivity,  // 16-23 (CHANGE_DPI)
  kProfile,      // 32-43 (CHANGE_PROFILE)
  kChatCommand,  // 80-82 (labels from Menu.xml BUTTON_MENU)
  kGameCommand,  // 101-709 (Functions.xml GAME_COMMANDS)
  kMacro,        // 1000-1049
};

// Where the panel offers a code.
enum class Chooser : uint8_t {
  kNone,              // offered nowhere (labelled only)
  kButtonMenu,        // button menu, row `order`
  kPointerSpeedList,  // row `order`
  kProfileList,       // row `order`
  kGameCommandTree,   // category item `gameCategory`, command item `order`
  kMacroList,         // row code - kFirstMacroCode
};

// Where a button's label comes from.
enum class LabelSource : uint8_t {
  kMenuXml,       // Menu.xml, section `labelSection`, element `name`
  kFunctionsXml,  // Functions.xml, GAME_COMMANDS / `labelSection` / `name`
  kProfileName,   // the profileName of profile code - 32
  kMacroName,     // the name of macro code - kFirstMacroCode of the profile
};

constexpr int kNoUnits = -1;

struct CatalogEntry {
  int32_t code;      // the macro rule: kFirstMacroCode
  int32_t lastCode;  // code, except the macro rule: kLastMacroCode
  std::string_view name;
  FunctionCategory category;

  // Panel.
  Chooser chooser;
  int32_t gameCategory;  // 1-7 for game commands (the category item's data), else 0
  int32_t order;         // row in the chooser (from 0); game commands: command number (from 1, the item's data)
  LabelSource labelSource;
  std::string_view labelSection;  // Menu.xml section, or the category element inside GAME_COMMANDS

  // Agent.
  ButtonAction press;
  ButtonAction release;
  // Logical button on which both edges do nothing: the driver passes that physical button
  // through with its own meaning (its intercept bit is cleared for this code); -1 for none.
  int32_t passThroughButton;
  // The release is performed even while button reports go to the panel (left click only, so
  // that a left button pressed before the panel came to the front is not left down).
  bool releaseWhileForwarded;
  KeyChord keys;
  std::string_view chatText;  // chat commands: the lines typed, '\n' between lines

  // On-board memory.
  OnboardEncoding onboard;
  // Units the code takes; kNoUnits for a code the memory gauge does not count ("NO define
  // Function") and for the macro rule, whose units come from MacroOnboardUnits.
  int32_t units;
};

// Every entry, in ascending codes; the macro rule is the last.
std::span<const CatalogEntry> FunctionCatalog();

// The entry of an assignment code (the macro rule for 1000-1049); nullptr for a code without one.
const CatalogEntry* FindFunction(int code);
// The entry with that name (the macro rule is named CUSTOM_MACROS); nullptr if none.
const CatalogEntry* FindFunctionByName(std::string_view name);

// The code a list chooser (the button menu, the pointer-speed and profile lists) offers at
// `row`, from 0; nullopt for a row it does not have.
std::optional<int> ChooserCode(Chooser chooser, int row);
// How many rows that chooser has.
int ChooserRowCount(Chooser chooser);

// The game-command categories of the tree.
struct GameCategory {
  int32_t number;  // 1-7, the category item's data
  std::string_view element;
  int32_t commandCount;
};
std::span<const GameCategory> GameCategories();
const GameCategory* FindGameCategory(std::string_view element);
// The command of a tree item: category item data 1-7 and command item data within the
// category; nullptr outside those bounds.
const CatalogEntry* FindGameCommand(int category, int command);

// Macro index of a macro code, -1 for any other code.
inline int MacroIndexOfCode(int code) {
  return code >= kFirstMacroCode && code <= kLastMacroCode ? code - kFirstMacroCode : -1;
}

// Bytes an entry's encoding adds to the on-board data area (macro scripts: see MacroOnboardUnits).
int OnboardDataLength(const OnboardEncoding& encoding);
// On-board units of one macro: 0 in copy-and-paste mode or when looping zero times (nothing
// is stored); otherwise 2 per event, 4 for an event whose delay is 50 ms or more, and 2 for
// the loop count when it loops.
int MacroOnboardUnits(const Macro& macro);
// On-board units of a code held by a button of `profile`; nullopt for a code the gauge does
// not count (the panel reports it and adds nothing).
std::optional<int> OnboardUnits(int code, const Profile& profile);

}  // namespace orv
