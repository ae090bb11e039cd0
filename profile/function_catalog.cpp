#include "profile/function_catalog.h"

#include <algorithm>
#include <array>
#include <vector>

namespace orv {
namespace {

// The virtual keys the table uses (Windows values).
namespace vk {
constexpr uint8_t kTab = 0x09;
constexpr uint8_t kReturn = 0x0D;
constexpr uint8_t kEscape = 0x1B;
constexpr uint8_t kSpace = 0x20;
constexpr uint8_t kPageUp = 0x21;
constexpr uint8_t kPageDown = 0x22;
constexpr uint8_t kEnd = 0x23;
constexpr uint8_t kHome = 0x24;
constexpr uint8_t kUp = 0x26;
constexpr uint8_t kDown = 0x28;
constexpr uint8_t kPrintScreen = 0x2C;
constexpr uint8_t kInsert = 0x2D;
constexpr uint8_t kDelete = 0x2E;
constexpr uint8_t kAdd = 0x6B;
constexpr uint8_t kSubtract = 0x6D;
constexpr uint8_t kDivide = 0x6F;
constexpr uint8_t kF1 = 0x70, kF2 = 0x71, kF3 = 0x72, kF4 = 0x73, kF5 = 0x74, kF6 = 0x75, kF7 = 0x76, kF8 = 0x77,
                  kF9 = 0x78, kF10 = 0x79, kF11 = 0x7A;
constexpr uint8_t kNumLock = 0x90;
constexpr uint8_t kLeftShift = 0xA0;
constexpr uint8_t kLeftCtrl = 0xA2;
constexpr uint8_t kLeftAlt = 0xA4;
constexpr uint8_t kEquals = 0xBB;  // VK_OEM_PLUS
constexpr uint8_t kMinus = 0xBD;   // VK_OEM_MINUS
constexpr uint8_t kSlash = 0xBF;   // VK_OEM_2
}  // namespace vk

constexpr uint8_t kShift = vk::kLeftShift;
constexpr uint8_t kCtrl = vk::kLeftCtrl;
constexpr uint8_t kAlt = vk::kLeftAlt;

// Letters and digits are their own virtual keys.
constexpr uint8_t Key(char c) { return static_cast<uint8_t>(c); }

constexpr KeyTiming kTap = KeyTiming::kTap;
constexpr KeyTiming kHeld = KeyTiming::kHeld;
constexpr KeyTiming kTimed = KeyTiming::kTimed;

// One game command with the game's default binding.
struct GameCommandRow {
  int code;
  std::string_view name;
  uint8_t modifier1;
  uint8_t modifier2;
  uint8_t key;
  KeyTiming timing;
  bool extended;
  int holdMs;
};

constexpr GameCommandRow Tap(int code, std::string_view name, uint8_t key) {
  return {code, name, 0, 0, key, kTap, false, 0};
}
constexpr GameCommandRow Chord(int code, std::string_view name, uint8_t modifier, uint8_t key) {
  return {code, name, modifier, 0, key, kTap, false, 0};
}
constexpr GameCommandRow Chord2(int code, std::string_view name, uint8_t modifier1, uint8_t modifier2, uint8_t key) {
  return {code, name, modifier1, modifier2, key, kTap, false, 0};
}
constexpr GameCommandRow Held(int code, std::string_view name, uint8_t key) {
  return {code, name, 0, 0, key, kHeld, false, 0};
}
constexpr GameCommandRow Timed(int code, std::string_view name, uint8_t key, bool extended, int holdMs) {
  return {code, name, 0, 0, key, kTimed, extended, holdMs};
}
// Commands without a key binding of this form; the builder gives them their own actions.
constexpr GameCommandRow Own(int code, std::string_view name, uint8_t modifier = 0, uint8_t key = 0) {
  return {code, name, modifier, 0, key, KeyTiming::kNone, false, 0};
}

constexpr GameCategory kGameCategories[] = {
    {1, "MOVEMENT_KEYS", 14},
    {2, "CHAT_FUNCTIONS", 10},
    {3, "ACTION_BAR_FUNCTIONS", 52},
    {4, "TARGETING_FUNCTIONS", 21},
    {5, "INTERFACE_PANEL_FUNCTIONS", 21},
    {6, "CAMERA_FUNCTIONS", 4},
    {7, "MISCELLANEOUS_FUNCTIONS", 9},
};

// The game's commands, code = 100 x category + command number.
constexpr GameCommandRow kGameCommands[] = {
    // MOVEMENT_KEYS
    Own(101, "MOVE_AND_STEER"),
    Held(102, "MOVE_FORWARD", Key('W')),
    Held(103, "TURN_LEFT", Key('A')),
    Held(104, "MOVE_BACKWARD", Key('S')),
    Held(105, "TURN_RIGHT", Key('D')),
    Held(106, "STRAFE_LEFT", Key('Q')),
    Held(107, "STRAFE_RIGHT", Key('E')),
    Timed(108, "JUMP", vk::kSpace, true, 200),
    Timed(109, "SIT_STAND", Key('X'), true, 200),
    Timed(110, "SHEATH", Key('Z'), false, 100),
    Tap(111, "TOGGLE_AUTORUN", vk::kNumLock),
    Tap(112, "PITCH_UP", vk::kInsert),
    Tap(113, "PITCH_DOWN", vk::kDelete),
    Tap(114, "TOGGLE_RUN", vk::kDivide),
    // CHAT_FUNCTIONS
    Tap(201, "OPEN_CHAT", vk::kReturn),
    Tap(202, "OPEN_CHAT_SLASH", vk::kSlash),
    Tap(203, "CHAT_PAGE_UP", vk::kPageUp),
    Tap(204, "CHAT_PAGE_DOWN", vk::kPageDown),
    Chord(205, "CHAT_BOTTOM", kShift, vk::kPageDown),
    Tap(206, "CHAT_REPLY", Key('R')),
    Chord(207, "COMBAT_LOG_PAGE_UP", kCtrl, vk::kPageUp),
    Chord(208, "COMBAT_LOG_PAGE_DOWN", kCtrl, vk::kPageDown),
    Chord2(209, "COMBAT_LOG_BOTTOM", kCtrl, kShift, vk::kPageDown),
    Chord(210, "TOGGLE_COMBAT_LOG", kShift, Key('C')),
    // ACTION_BAR_FUNCTIONS
    Tap(301, "ACTION_BUTTON_1", Key('1')),
    Tap(302, "ACTION_BUTTON_2", Key('2')),
    Tap(303, "ACTION_BUTTON_3", Key('3')),
    Tap(304, "ACTION_BUTTON_4", Key('4')),
    Tap(305, "ACTION_BUTTON_5", Key('5')),
    Tap(306, "ACTION_BUTTON_6", Key('6')),
    Tap(307, "ACTION_BUTTON_7", Key('7')),
    Tap(308, "ACTION_BUTTON_8", Key('8')),
    Tap(309, "ACTION_BUTTON_9", Key('9')),
    Tap(310, "ACTION_BUTTON_10", Key('0')),
    Tap(311, "ACTION_BUTTON_11", vk::kMinus),
    Tap(312, "ACTION_BUTTON_12", vk::kEquals),
    Chord(313, "SELF_ACTION_BUTTON_1", kAlt, Key('1')),
    Chord(314, "SELF_ACTION_BUTTON_2", kAlt, Key('2')),
    Chord(315, "SELF_ACTION_BUTTON_3", kAlt, Key('3')),
    Chord(316, "SELF_ACTION_BUTTON_4", kAlt, Key('4')),
    Chord(317, "SELF_ACTION_BUTTON_5", kAlt, Key('5')),
    Chord(318, "SELF_ACTION_BUTTON_6", kAlt, Key('6')),
    Chord(319, "SELF_ACTION_BUTTON_7", kAlt, Key('7')),
    Chord(320, "SELF_ACTION_BUTTON_8", kAlt, Key('8')),
    Chord(321, "SELF_ACTION_BUTTON_9", kAlt, Key('9')),
    Chord(322, "SELF_ACTION_BUTTON_10", kAlt, Key('0')),
    Chord(323, "SELF_ACTION_BUTTON_11", kAlt, vk::kMinus),
    Chord(324, "SELF_ACTION_BUTTON_12", kAlt, vk::kEquals),
    Chord(325, "SPECIAL_ACTION_BUTTON_1", kCtrl, vk::kF1),
    Chord(326, "SPECIAL_ACTION_BUTTON_2", kCtrl, vk::kF2),
    Chord(327, "SPECIAL_ACTION_BUTTON_3", kCtrl, vk::kF3),
    Chord(328, "SPECIAL_ACTION_BUTTON_4", kCtrl, vk::kF4),
    Chord(329, "SPECIAL_ACTION_BUTTON_5", kCtrl, vk::kF5),
    Chord(330, "SPECIAL_ACTION_BUTTON_6", kCtrl, vk::kF6),
    Chord(331, "SPECIAL_ACTION_BUTTON_7", kCtrl, vk::kF7),
    Chord(332, "SPECIAL_ACTION_BUTTON_8", kCtrl, vk::kF8),
    Chord(333, "SPECIAL_ACTION_BUTTON_9", kCtrl, vk::kF9),
    Chord(334, "SPECIAL_ACTION_BUTTON_10", kCtrl, vk::kF10),
    Chord(335, "SECONDARY_ACTION_BUTTON_1", kCtrl, Key('1')),
    Chord(336, "SECONDARY_ACTION_BUTTON_2", kCtrl, Key('2')),
    Chord(337, "SECONDARY_ACTION_BUTTON_3", kCtrl, Key('3')),
    Chord(338, "SECONDARY_ACTION_BUTTON_4", kCtrl, Key('4')),
    Chord(339, "SECONDARY_ACTION_BUTTON_5", kCtrl, Key('5')),
    Chord(340, "SECONDARY_ACTION_BUTTON_6", kCtrl, Key('6')),
    Chord(341, "SECONDARY_ACTION_BUTTON_7", kCtrl, Key('7')),
    Chord(342, "SECONDARY_ACTION_BUTTON_8", kCtrl, Key('8')),
    Chord(343, "SECONDARY_ACTION_BUTTON_9", kCtrl, Key('9')),
    Chord(344, "SECONDARY_ACTION_BUTTON_10", kCtrl, Key('0')),
    Chord(345, "ACTION_PAGE_1", kShift, Key('1')),
    Chord(346, "ACTION_PAGE_2", kShift, Key('2')),
    Chord(347, "ACTION_PAGE_3", kShift, Key('3')),
    Chord(348, "ACTION_PAGE_4", kShift, Key('4')),
    Chord(349, "ACTION_PAGE_5", kShift, Key('5')),
    Chord(350, "ACTION_PAGE_6", kShift, Key('6')),
    Own(351, "PREVIOUS_ACTION_BAR", kShift, vk::kUp),
    Own(352, "NEXT_ACTION_BAR", kShift, vk::kDown),
    // TARGETING_FUNCTIONS
    Tap(401, "TARGET_NEAREST_ENEMY", vk::kTab),
    Chord(402, "TARGET_PREVIOUS_ENEMY", kShift, vk::kTab),
    Chord(403, "TARGET_NEAREST_FRIEND", kCtrl, vk::kTab),
    Chord2(404, "TARGET_PREVIOUS_FRIEND", kCtrl, kShift, vk::kTab),
    Tap(405, "TARGET_SELF", vk::kF1),
    Tap(406, "TARGET_PARTY_MEMBER_1", vk::kF2),
    Tap(407, "TARGET_PARTY_MEMBER_2", vk::kF3),
    Tap(408, "TARGET_PARTY_MEMBER_3", vk::kF4),
    Tap(409, "TARGET_PARTY_MEMBER_4", vk::kF5),
    Chord(410, "TARGET_PET", kShift, vk::kF1),
    Chord(411, "TARGET_PARTY_PET_1", kShift, vk::kF2),
    Chord(412, "TARGET_PARTY_PET_2", kShift, vk::kF3),
    Chord(413, "TARGET_PARTY_PET_3", kShift, vk::kF4),
    Chord(414, "TARGET_PARTY_PET_4", kShift, vk::kF5),
    Tap(415, "TARGET_LAST_HOSTILE", Key('G')),
    Tap(416, "ASSIST_TARGET", Key('F')),
    Tap(417, "SHOW_ENEMY_NAME_PLATES", Key('V')),
    Chord(418, "SHOW_FRIENDLY_NAME_PLATES", kShift, Key('V')),
    Chord(419, "SHOW_ALL_NAME_PLATES", kCtrl, Key('V')),
    Tap(420, "ATTACK_TARGET", Key('T')),
    Chord(421, "PET_ATTACK", kShift, Key('T')),
    // INTERFACE_PANEL_FUNCTIONS
    Tap(501, "TOGGLE_CHARACTER_PANE", Key('C')),
    Chord(502, "TOGGLE_BACKPACK", kShift, Key('B')),
    Tap(503, "TOGGLE_BAG_1", vk::kF8),
    Tap(504, "TOGGLE_BAG_2", vk::kF9),
    Tap(505, "TOGGLE_BAG_3", vk::kF10),
    Tap(506, "TOGGLE_BAG_4", vk::kF11),
    Tap(507, "OPEN_ALL_BAGS", Key('B')),
    Tap(508, "TOGGLE_SPELLBOOK", Key('P')),
    Chord(509, "TOGGLE_PETBOOK", kShift, Key('I')),
    Tap(510, "TOGGLE_TALENT_PANE", Key('N')),
    Tap(511, "TOGGLE_HONOR_PANE", Key('H')),
    Chord(512, "TOGGLE_PET_PANE", kShift, Key('P')),
    Tap(513, "TOGGLE_REPUTATION_PANE", Key('U')),
    Tap(514, "TOGGLE_SKILL_PANE", Key('K')),
    Tap(515, "TOGGLE_QUEST_LOG", Key('L')),
    Tap(516, "TOGGLE_GAME_MENU", vk::kEscape),
    Tap(517, "TOGGLE_WORLD_MAP_PANE", Key('M')),
    Tap(518, "TOGGLE_SOCIAL_PANE", Key('O')),
    Chord(519, "TOGGLE_SCORE_SCREEN", kShift, vk::kSpace),
    Chord(520, "TOGGLE_BATTLE_MAP", kShift, Key('M')),
    Chord(521, "TOGGLE_CHANNEL_PULLOUT", kShift, Key('O')),
    // CAMERA_FUNCTIONS
    Tap(601, "NEXT_VIEW", vk::kEnd),
    Tap(602, "PREVIOUS_VIEW", vk::kHome),
    Own(603, "ZOOM_IN"),
    Own(604, "ZOOM_OUT"),
    // MISCELLANEOUS_FUNCTIONS
    Tap(701, "MINIMAP_ZOOM_IN", vk::kAdd),
    Tap(702, "MINIMAP_ZOOM_OUT", vk::kSubtract),
    Chord(703, "TOGGLE_MUSIC", kCtrl, Key('M')),
    Chord(704, "TOGGLE_SOUND", kCtrl, Key('S')),
    Chord(705, "MASTER_VOLUME_UP", kCtrl, vk::kEquals),
    Chord(706, "MASTER_VOLUME_DOWN", kCtrl, vk::kMinus),
    Chord(707, "TOGGLE_USER_INTERFACE", kAlt, Key('Z')),
    Chord(708, "TOGGLE_FRAMERATE_DISPLAY", kCtrl, Key('R')),
    Tap(709, "SCREEN_SHOT", vk::kPrintScreen),
};

// An entry while the table is built: its steps and script are kept apart until every entry is
// known, then moved into the table's shared pools.
struct Draft {
  CatalogEntry entry{};
  std::vector<InputStep> pressSteps, releaseSteps;
  std::vector<ScriptEvent> script;
};

InputStep KeyStep(uint8_t key, uint32_t flags) { return {InputStep::kKey, key, flags, 0}; }
InputStep MouseStep(uint32_t flags, int32_t data = 0) { return {InputStep::kMouse, 0, flags, data}; }
InputStep PauseStep(int32_t ms) { return {InputStep::kPause, 0, 0, ms}; }

// Modifiers down in order, key down, key up, modifiers up in reverse order.
void AppendChord(std::vector<InputStep>& steps, const KeyChord& keys) {
  for (uint8_t m : keys.modifiers)
    if (m) steps.push_back(KeyStep(m, InputStep::kKeyDown));
  steps.push_back(KeyStep(keys.key, InputStep::kKeyDown));
  steps.push_back(KeyStep(keys.key, InputStep::kKeyUp));
  for (int i = 1; i >= 0; --i)
    if (keys.modifiers[i]) steps.push_back(KeyStep(keys.modifiers[i], InputStep::kKeyUp));
}

void AppendTap(std::vector<InputStep>& steps, uint8_t key) { AppendChord(steps, KeyChord{{0, 0}, key, kTap}); }

// The on-board form of a chord: one key alone is a type 16 entry, a key with modifiers the
// script of the same key events.
void SetOnboardChord(Draft& d, const KeyChord& keys) {
  if (!keys.modifiers[0]) {
    d.entry.onboard = {OnboardKind::kKey, kOnboardKey, keys.key, {}};
    return;
  }
  d.entry.onboard = {OnboardKind::kScript, kOnboardScript, 0, {}};
  for (uint8_t m : keys.modifiers)
    if (m) d.script.push_back({ScriptEvent::kKeyDown, m});
  d.script.push_back({ScriptEvent::kKeyDown, keys.key});
  d.script.push_back({ScriptEvent::kKeyUp, keys.key});
  for (int i = 1; i >= 0; --i)
    if (keys.modifiers[i]) d.script.push_back({ScriptEvent::kKeyUp, keys.modifiers[i]});
}

Draft Basic(int code, std::string_view name, FunctionCategory category, Chooser chooser, int order,
            std::string_view section) {
  Draft d;
  d.entry.code = code;
  d.entry.lastCode = code;
  d.entry.name = name;
  d.entry.category = category;
  d.entry.chooser = chooser;
  d.entry.order = order;
  d.entry.labelSource = LabelSource::kMenuXml;
  d.entry.labelSection = section;
  d.entry.passThroughButton = -1;
  d.entry.onboard = {OnboardKind::kNotStored, 0, 0, {}};
  d.entry.units = 0;
  return d;
}

// A plain mouse button: its down flag on the press and its up flag on the release, except on
// the logical button that physically is that mouse button.
Draft MouseButton(int code, std::string_view name, int row, uint32_t downFlag, uint32_t upFlag, int32_t data,
                  int passThrough, uint8_t onboardType) {
  Draft d = Basic(code, name, FunctionCategory::kMouseButton, Chooser::kButtonMenu, row, "BUTTON_MENU");
  d.entry.press.operation = Operation::kInput;
  d.pressSteps = {MouseStep(downFlag, data)};
  d.entry.release.operation = Operation::kInput;
  d.releaseSteps = {MouseStep(upFlag, data)};
  d.entry.passThroughButton = passThrough;
  d.entry.onboard = {OnboardKind::kType, onboardType, 0, {}};
  return d;
}

void AddBasicFunctions(std::vector<Draft>& out) {
  using S = InputStep;
  Draft left = MouseButton(1, "LEFT_CLICK", 0, S::kMouseLeftDown, S::kMouseLeftUp, 0, 0, kOnboardLeft);
  left.entry.releaseWhileForwarded = true;
  out.push_back(left);
  out.push_back(MouseButton(2, "RIGHT_CLICK", 1, S::kMouseRightDown, S::kMouseRightUp, 0, 1, kOnboardRight));

  Draft dbl = Basic(3, "DOUBLE_CLICK", FunctionCategory::kMouseButton, Chooser::kButtonMenu, 2, "BUTTON_MENU");
  dbl.entry.press.operation = Operation::kInput;
  dbl.pressSteps = {MouseStep(S::kMouseLeftDown), MouseStep(S::kMouseLeftUp), MouseStep(S::kMouseLeftDown),
                    MouseStep(S::kMouseLeftUp)};
  dbl.entry.onboard = {OnboardKind::kScript, kOnboardScript, 0, {}};
  dbl.script = {{ScriptEvent::kMouseDown, 0},
                {ScriptEvent::kMouseUp, 0},
                {ScriptEvent::kMouseDown, 0},
                {ScriptEvent::kMouseUp, 0}};
  out.push_back(dbl);

  out.push_back(MouseButton(4, "WINDOWS_BUTTON_4", 3, S::kMouseXDown, S::kMouseXUp, 1, 8, kOnboardFourth));
  out.push_back(MouseButton(5, "WINDOWS_BUTTON_5", 4, S::kMouseXDown, S::kMouseXUp, 2, 7, kOnboardFifth));
  out.push_back(MouseButton(6, "UNIVERSAL_SCROLL", 5, S::kMouseMiddleDown, S::kMouseMiddleUp, 0, 2, kOnboardMiddle));

  Draft off = Basic(9, "BUTTON_OFF", FunctionCategory::kMouseButton, Chooser::kButtonMenu, 6, "BUTTON_MENU");
  off.entry.onboard = {OnboardKind::kType, kOnboardNothing, 0, {}};
  out.push_back(off);

  // Labelled only: no chooser offers them, the agent does nothing and the gauge does not count them.
  int code = 11;
  for (std::string_view name : {"SCROLL_UP", "SCROLL_DOWN", "BUTTON_ASSIGNMENTS"}) {
    Draft d = Basic(code++, name, FunctionCategory::kMouseButton, Chooser::kNone, 0, "BUTTON_MENU");
    d.entry.units = kNoUnits;
    out.push_back(d);
  }
}

void AddSensitivityFunctions(std::vector<Draft>& out) {
  constexpr std::string_view kNames[] = {"DPI_800", "DPI_1200", "DPI_1600", "DPI_2000", "DPI_2400", "DPI_3200"};
  for (int i = 0; i < 6; ++i) {
    const int code = 16 + i;
    Draft d = Basic(code, kNames[i], FunctionCategory::kSensitivity, Chooser::kPointerSpeedList, i, "CHANGE_DPI");
    d.entry.press = {Operation::kSetDpiStep, 22 - code, {}};
    d.entry.onboard = {OnboardKind::kDpiStep, kOnboardDpiStep, static_cast<uint8_t>(22 - code), {}};
    out.push_back(d);
  }
  Draft up = Basic(22, "DPI_UP", FunctionCategory::kSensitivity, Chooser::kPointerSpeedList, 6, "CHANGE_DPI");
  up.entry.press.operation = Operation::kDpiUp;
  up.entry.onboard = {OnboardKind::kType, kOnboardDpiUp, 0, {}};
  out.push_back(up);
  Draft down = Basic(23, "DPI_DOWN", FunctionCategory::kSensitivity, Chooser::kPointerSpeedList, 7, "CHANGE_DPI");
  down.entry.press.operation = Operation::kDpiDown;
  down.entry.onboard = {OnboardKind::kType, kOnboardDpiDown, 0, {}};
  out.push_back(down);
}

void AddProfileFunctions(std::vector<Draft>& out) {
  constexpr std::string_view kNames[] = {"PROFILE_1", "PROFILE_2", "PROFILE_3", "PROFILE_4", "PROFILE_5",
                                         "PROFILE_6", "PROFILE_7", "PROFILE_8", "PROFILE_9", "PROFILE_10"};
  for (int i = 0; i < kProfileCount; ++i) {
    Draft d = Basic(32 + i, kNames[i], FunctionCategory::kProfile, Chooser::kProfileList, i, "CHANGE_PROFILE");
    d.entry.labelSource = LabelSource::kProfileName;
    d.entry.press = {Operation::kSelectProfile, i, {}};
    out.push_back(d);
  }
  Draft up = Basic(42, "PROFILE_UP", FunctionCategory::kProfile, Chooser::kProfileList, 10, "CHANGE_PROFILE");
  up.entry.press = {Operation::kProfileStep, +1, {}};
  out.push_back(up);
  Draft down = Basic(43, "PROFILE_DOWN", FunctionCategory::kProfile, Chooser::kProfileList, 11, "CHANGE_PROFILE");
  down.entry.press = {Operation::kProfileStep, -1, {}};
  out.push_back(down);
}

// The virtual key that types a character of a chat command: letters unshifted, '/' as VK_OEM_2.
uint8_t ChatKey(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - 'a' + 'A');
  if (c == '/') return vk::kSlash;
  return static_cast<uint8_t>(c);
}

void AddChatCommands(std::vector<Draft>& out) {
  struct Chat {
    int code;
    std::string_view name;
    std::string_view text;
  };
  constexpr Chat kChats[] = {
      {80, "STOP_ALL", "/stopcasting\n/stopattack"},
      {81, "FOCUS", "/focus"},
      {82, "DISMOUNT", "/dismount"},
  };
  for (const Chat& chat : kChats) {
    Draft d = Basic(chat.code, chat.name, FunctionCategory::kChatCommand, Chooser::kNone, 0, "BUTTON_MENU");
    d.entry.chatText = chat.text;
    d.entry.press.operation = Operation::kInput;
    // Each line: Enter opens the chat line, the characters are typed, Enter sends it.
    std::string_view rest = chat.text;
    while (true) {
      const size_t end = rest.find('\n');
      AppendTap(d.pressSteps, vk::kReturn);
      for (char c : rest.substr(0, end)) AppendTap(d.pressSteps, ChatKey(c));
      AppendTap(d.pressSteps, vk::kReturn);
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
    d.entry.units = kNoUnits;
    out.push_back(d);
  }
}

Draft GameCommand(const GameCommandRow& row) {
  const int category = row.code / 100;
  Draft d = Basic(row.code, row.name, FunctionCategory::kGameCommand, Chooser::kGameCommandTree, row.code % 100,
                  kGameCategories[category - 1].element);
  d.entry.gameCategory = category;
  d.entry.labelSource = LabelSource::kFunctionsXml;
  d.entry.keys.modifiers[0] = row.modifier1;
  d.entry.keys.modifiers[1] = row.modifier2;
  d.entry.keys.key = row.key;
  d.entry.keys.timing = row.timing;
  d.entry.keys.extended = row.extended;
  d.entry.keys.holdMs = row.holdMs;

  using S = InputStep;
  const uint32_t ext = row.extended ? S::kKeyExtended : 0;
  switch (row.timing) {
    case KeyTiming::kTap:
      d.entry.press.operation = Operation::kInput;
      AppendChord(d.pressSteps, d.entry.keys);
      break;
    case KeyTiming::kHeld:
      d.entry.press.operation = Operation::kInput;
      d.pressSteps = {KeyStep(row.key, S::kKeyDown | ext)};
      d.entry.release.operation = Operation::kInput;
      d.releaseSteps = {KeyStep(row.key, S::kKeyUp | ext)};
      break;
    case KeyTiming::kTimed:
      d.entry.press.operation = Operation::kInput;
      d.pressSteps = {KeyStep(row.key, S::kKeyDown | ext), PauseStep(row.holdMs), KeyStep(row.key, S::kKeyUp | ext)};
      break;
    default:
      break;
  }
  if (row.key) SetOnboardChord(d, d.entry.keys);
  return d;
}

// The game commands whose actions are not a plain use of their keys.
void CompleteOwnCommand(Draft& d) {
  using S = InputStep;
  switch (d.entry.code) {
    case 101:  // the middle button held, steering with the mouse; its down and up carry data 1 and 2
      d.entry.press.operation = Operation::kInput;
      d.pressSteps = {MouseStep(S::kMouseMiddleDown, 1)};
      d.entry.release.operation = Operation::kInput;
      d.releaseSteps = {MouseStep(S::kMouseMiddleUp, 2)};
      d.entry.passThroughButton = 2;
      d.entry.onboard = {OnboardKind::kType, kOnboardMiddle, 0, {}};
      break;
    case 351:
    case 352: {
      // Shift with an arrow, paced for the game: Shift goes down with the extended-key flag
      // and is released twice, with and without it; the next-bar form does not pause between
      // those two releases.
      const uint8_t arrow = d.entry.keys.key;
      d.entry.keys.timing = KeyTiming::kSequence;
      d.entry.press.operation = Operation::kInput;
      d.pressSteps = {KeyStep(kShift, S::kKeyDown | S::kKeyExtended),
                      PauseStep(50),
                      KeyStep(arrow, S::kKeyDown),
                      PauseStep(50),
                      KeyStep(arrow, S::kKeyUp),
                      PauseStep(50),
                      KeyStep(kShift, S::kKeyUp | S::kKeyExtended)};
      if (d.entry.code == 351) d.pressSteps.push_back(PauseStep(50));
      d.pressSteps.push_back(KeyStep(kShift, S::kKeyUp));
      break;  // on-board it is the plain chord, set with the keys
    }
    case 603:
    case 604:
      d.entry.press.operation = Operation::kInput;
      d.pressSteps = {MouseStep(S::kMouseWheel, d.entry.code == 603 ? 120 : -120)};
      d.entry.onboard = {OnboardKind::kType, d.entry.code == 603 ? kOnboardWheelUp : kOnboardWheelDown, 0, {}};
      break;
    default:
      break;
  }
}

Draft MacroRule() {
  Draft d = Basic(kFirstMacroCode, "CUSTOM_MACROS", FunctionCategory::kMacro, Chooser::kMacroList, 0, {});
  d.entry.lastCode = kLastMacroCode;
  d.entry.labelSource = LabelSource::kMacroName;
  d.entry.press.operation = Operation::kMacroPress;
  d.entry.release.operation = Operation::kMacroRelease;
  d.entry.onboard = {OnboardKind::kMacroScript, kOnboardScript, 0, {}};
  d.entry.units = kNoUnits;
  return d;
}

struct Catalog {
  std::vector<CatalogEntry> entries;
  std::vector<InputStep> steps;
  std::vector<ScriptEvent> events;
  std::array<int16_t, kLastMacroCode + 1> indexOfCode;
};

Catalog BuildCatalog() {
  std::vector<Draft> drafts;
  AddBasicFunctions(drafts);
  AddSensitivityFunctions(drafts);
  AddProfileFunctions(drafts);
  AddChatCommands(drafts);
  for (const GameCommandRow& row : kGameCommands) {
    Draft d = GameCommand(row);
    CompleteOwnCommand(d);
    drafts.push_back(d);
  }
  drafts.push_back(MacroRule());
  // A code takes as many units as its encoding adds to the on-board data area.
  for (Draft& d : drafts) {
    if (d.entry.units == kNoUnits) continue;
    d.entry.units = d.entry.onboard.kind == OnboardKind::kScript ? 2 * static_cast<int>(d.script.size())
                                                                 : OnboardDataLength(d.entry.onboard);
  }

  Catalog c;
  size_t stepCount = 0, eventCount = 0;
  for (const Draft& d : drafts) {
    stepCount += d.pressSteps.size() + d.releaseSteps.size();
    eventCount += d.script.size();
  }
  // Reserved in full, so that the spans taken below stay valid.
  c.steps.reserve(stepCount);
  c.events.reserve(eventCount);
  auto pool = [](auto& into, const auto& from) {
    const size_t at = into.size();
    into.insert(into.end(), from.begin(), from.end());
    return std::span(into.data() + at, from.size());
  };
  for (Draft& d : drafts) {
    d.entry.press.steps = pool(c.steps, d.pressSteps);
    d.entry.release.steps = pool(c.steps, d.releaseSteps);
    d.entry.onboard.script = pool(c.events, d.script);
    c.entries.push_back(d.entry);
  }
  c.indexOfCode.fill(-1);
  for (size_t i = 0; i < c.entries.size(); ++i)
    for (int code = c.entries[i].code; code <= c.entries[i].lastCode; ++code)
      c.indexOfCode[code] = static_cast<int16_t>(i);
  return c;
}

const Catalog& TheCatalog() {
  static const Catalog catalog = BuildCatalog();
  return catalog;
}

}  // namespace

std::span<const CatalogEntry> FunctionCatalog() { return TheCatalog().entries; }

const CatalogEntry* FindFunction(int code) {
  const Catalog& c = TheCatalog();
  if (code < 0 || code >= static_cast<int>(c.indexOfCode.size()) || c.indexOfCode[code] < 0) return nullptr;
  return &c.entries[c.indexOfCode[code]];
}

const CatalogEntry* FindFunctionByName(std::string_view name) {
  for (const CatalogEntry& e : FunctionCatalog())
    if (e.name == name) return &e;
  return nullptr;
}

std::optional<int> ChooserCode(Chooser chooser, int row) {
  for (const CatalogEntry& e : FunctionCatalog())
    if (e.chooser == chooser && e.order == row && e.code == e.lastCode) return e.code;
  return std::nullopt;
}

int ChooserRowCount(Chooser chooser) {
  int rows = 0;
  for (const CatalogEntry& e : FunctionCatalog())
    if (e.chooser == chooser) ++rows;
  return rows;
}

std::span<const GameCategory> GameCategories() { return kGameCategories; }

const GameCategory* FindGameCategory(std::string_view element) {
  for (const GameCategory& g : kGameCategories)
    if (g.element == element) return &g;
  return nullptr;
}

const CatalogEntry* FindGameCommand(int category, int command) {
  if (category < 1 || category > static_cast<int>(std::size(kGameCategories))) return nullptr;
  if (command < 1 || command > kGameCategories[category - 1].commandCount) return nullptr;
  return FindFunction(100 * category + command);
}

int OnboardDataLength(const OnboardEncoding& encoding) {
  switch (encoding.kind) {
    case OnboardKind::kKey:
    case OnboardKind::kDpiStep:
      return 1;
    case OnboardKind::kScript:
      return 2 * static_cast<int>(encoding.script.size());
    default:
      return 0;
  }
}

int MacroOnboardUnits(const Macro& macro) {
  if (macro.delayMode == kDelayCopyPaste) return 0;
  if (macro.loopSwitch != 0 && macro.loopCount == 0) return 0;  // the encoder stores nothing
  int units = 0;
  for (int i = 0; i < kMacroEventCount && macro.events[i].virtualKey != 0; ++i)
    units += macro.events[i].delay >= 50 ? 4 : 2;
  if (macro.loopSwitch != 0 && macro.loopCount > 0) units += 2;
  return units;
}

std::optional<int> OnboardUnits(int code, const Profile& profile) {
  const CatalogEntry* e = FindFunction(code);
  if (!e) return std::nullopt;
  if (e->onboard.kind == OnboardKind::kMacroScript) return MacroOnboardUnits(profile.macros[MacroIndexOfCode(code)]);
  if (e->units == kNoUnits) return std::nullopt;
  return e->units;
}

}  // namespace orv
