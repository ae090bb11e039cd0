#include "profile/function_catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "profile/profile_files.h"
#include "profile/xml_cursor.h"
#include "tests/test_support.h"

namespace orv {
namespace {

// ---------------------------------------------------------------------------------------------
// The expected table, written down independently of the catalogue's own rows.
//
// Actions use the input conventions of the agent:
//   -                 nothing
//   tap:K             K down, K up
//   shift:K ctrl:K alt:K   left modifier (0xA0, 0xA2, 0xA4) down, K down, K up, modifier up
//   ctrlshift:K       left Ctrl down, left Shift down, K down, K up, Shift up, Ctrl up
//   down:K up:K       one key event; xdown:K xup:K the same with the extended-key flag
//   text:ABC          a tap of each character's key
//   wait:N            a pause of N ms
//   mouse:F:D         one mouse input with flags F and mouse data D
//   dpi:N dpiup dpidown profile:N pstep:N macro   the non-input operations
// A key K is a hex virtual key (0x41) or a letter or digit, which is its own virtual key.
//
// Keys (the game's bindings): keys joined by '+', the last one pressed between the others;
// then "held", "<N>ms" (released after N ms), "ext" (extended-key flag), "seq" (a sequence of
// its own); "-" for none.

struct Row {
  int code;
  const char* name;
  char chooser;  // M button menu, D pointer-speed list, P profile list, T tree, - none
  int order;     // row, or the command number in its category
  const char* press;
  const char* release;
  int passThrough;
  const char* keys;
};

// Mouse flags: left down 0x2, up 0x4; right 0x8, 0x10; middle 0x20, 0x40; X 0x80, 0x100; wheel 0x800.
const Row kRows[] = {
    {1, "LEFT_CLICK", 'M', 0, "mouse:0x2:0", "mouse:0x4:0", 0, "-"},
    {2, "RIGHT_CLICK", 'M', 1, "mouse:0x8:0", "mouse:0x10:0", 1, "-"},
    {3, "DOUBLE_CLICK", 'M', 2, "mouse:0x2:0 mouse:0x4:0 mouse:0x2:0 mouse:0x4:0", "-", -1, "-"},
    {4, "WINDOWS_BUTTON_4", 'M', 3, "mouse:0x80:1", "mouse:0x100:1", 8, "-"},
    {5, "WINDOWS_BUTTON_5", 'M', 4, "mouse:0x80:2", "mouse:0x100:2", 7, "-"},
    {6, "UNIVERSAL_SCROLL", 'M', 5, "mouse:0x20:0", "mouse:0x40:0", 2, "-"},
    {9, "BUTTON_OFF", 'M', 6, "-", "-", -1, "-"},
    {11, "SCROLL_UP", '-', 0, "-", "-", -1, "-"},
    {12, "SCROLL_DOWN", '-', 0, "-", "-", -1, "-"},
    {13, "BUTTON_ASSIGNMENTS", '-', 0, "-", "-", -1, "-"},
    {16, "DPI_800", 'D', 0, "dpi:6", "-", -1, "-"},
    {17, "DPI_1200", 'D', 1, "dpi:5", "-", -1, "-"},
    {18, "DPI_1600", 'D', 2, "dpi:4", "-", -1, "-"},
    {19, "DPI_2000", 'D', 3, "dpi:3", "-", -1, "-"},
    {20, "DPI_2400", 'D', 4, "dpi:2", "-", -1, "-"},
    {21, "DPI_3200", 'D', 5, "dpi:1", "-", -1, "-"},
    {22, "DPI_UP", 'D', 6, "dpiup", "-", -1, "-"},
    {23, "DPI_DOWN", 'D', 7, "dpidown", "-", -1, "-"},
    {32, "PROFILE_1", 'P', 0, "profile:0", "-", -1, "-"},
    {33, "PROFILE_2", 'P', 1, "profile:1", "-", -1, "-"},
    {34, "PROFILE_3", 'P', 2, "profile:2", "-", -1, "-"},
    {35, "PROFILE_4", 'P', 3, "profile:3", "-", -1, "-"},
    {36, "PROFILE_5", 'P', 4, "profile:4", "-", -1, "-"},
    {37, "PROFILE_6", 'P', 5, "profile:5", "-", -1, "-"},
    {38, "PROFILE_7", 'P', 6, "profile:6", "-", -1, "-"},
    {39, "PROFILE_8", 'P', 7, "profile:7", "-", -1, "-"},
    {40, "PROFILE_9", 'P', 8, "profile:8", "-", -1, "-"},
    {41, "PROFILE_10", 'P', 9, "profile:9", "-", -1, "-"},
    {42, "PROFILE_UP", 'P', 10, "pstep:1", "-", -1, "-"},
    {43, "PROFILE_DOWN", 'P', 11, "pstep:-1", "-", -1, "-"},
    {80, "STOP_ALL", '-', 0, "tap:0x0D tap:0xBF text:STOPCASTING tap:0x0D tap:0x0D tap:0xBF text:STOPATTACK tap:0x0D",
     "-", -1, "-"},
    {81, "FOCUS", '-', 0, "tap:0x0D tap:0xBF text:FOCUS tap:0x0D", "-", -1, "-"},
    {82, "DISMOUNT", '-', 0, "tap:0x0D tap:0xBF text:DISMOUNT tap:0x0D", "-", -1, "-"},
    // Movement keys.
    {101, "MOVE_AND_STEER", 'T', 1, "mouse:0x20:1", "mouse:0x40:2", 2, "-"},
    {102, "MOVE_FORWARD", 'T', 2, "down:W", "up:W", -1, "0x57 held"},
    {103, "TURN_LEFT", 'T', 3, "down:A", "up:A", -1, "0x41 held"},
    {104, "MOVE_BACKWARD", 'T', 4, "down:S", "up:S", -1, "0x53 held"},
    {105, "TURN_RIGHT", 'T', 5, "down:D", "up:D", -1, "0x44 held"},
    {106, "STRAFE_LEFT", 'T', 6, "down:Q", "up:Q", -1, "0x51 held"},
    {107, "STRAFE_RIGHT", 'T', 7, "down:E", "up:E", -1, "0x45 held"},
    {108, "JUMP", 'T', 8, "xdown:0x20 wait:200 xup:0x20", "-", -1, "0x20 200ms ext"},
    {109, "SIT_STAND", 'T', 9, "xdown:X wait:200 xup:X", "-", -1, "0x58 200ms ext"},
    {110, "SHEATH", 'T', 10, "down:Z wait:100 up:Z", "-", -1, "0x5A 100ms"},
    {111, "TOGGLE_AUTORUN", 'T', 11, "tap:0x90", "-", -1, "0x90"},
    {112, "PITCH_UP", 'T', 12, "tap:0x2D", "-", -1, "0x2D"},
    {113, "PITCH_DOWN", 'T', 13, "tap:0x2E", "-", -1, "0x2E"},
    {114, "TOGGLE_RUN", 'T', 14, "tap:0x6F", "-", -1, "0x6F"},
    // Chat functions.
    {201, "OPEN_CHAT", 'T', 1, "tap:0x0D", "-", -1, "0x0D"},
    {202, "OPEN_CHAT_SLASH", 'T', 2, "tap:0xBF", "-", -1, "0xBF"},
    {203, "CHAT_PAGE_UP", 'T', 3, "tap:0x21", "-", -1, "0x21"},
    {204, "CHAT_PAGE_DOWN", 'T', 4, "tap:0x22", "-", -1, "0x22"},
    {205, "CHAT_BOTTOM", 'T', 5, "shift:0x22", "-", -1, "0xA0+0x22"},
    {206, "CHAT_REPLY", 'T', 6, "tap:R", "-", -1, "0x52"},
    {207, "COMBAT_LOG_PAGE_UP", 'T', 7, "ctrl:0x21", "-", -1, "0xA2+0x21"},
    {208, "COMBAT_LOG_PAGE_DOWN", 'T', 8, "ctrl:0x22", "-", -1, "0xA2+0x22"},
    {209, "COMBAT_LOG_BOTTOM", 'T', 9, "ctrlshift:0x22", "-", -1, "0xA2+0xA0+0x22"},
    {210, "TOGGLE_COMBAT_LOG", 'T', 10, "shift:C", "-", -1, "0xA0+0x43"},
    // Action bar functions.
    {301, "ACTION_BUTTON_1", 'T', 1, "tap:1", "-", -1, "0x31"},
    {302, "ACTION_BUTTON_2", 'T', 2, "tap:2", "-", -1, "0x32"},
    {303, "ACTION_BUTTON_3", 'T', 3, "tap:3", "-", -1, "0x33"},
    {304, "ACTION_BUTTON_4", 'T', 4, "tap:4", "-", -1, "0x34"},
    {305, "ACTION_BUTTON_5", 'T', 5, "tap:5", "-", -1, "0x35"},
    {306, "ACTION_BUTTON_6", 'T', 6, "tap:6", "-", -1, "0x36"},
    {307, "ACTION_BUTTON_7", 'T', 7, "tap:7", "-", -1, "0x37"},
    {308, "ACTION_BUTTON_8", 'T', 8, "tap:8", "-", -1, "0x38"},
    {309, "ACTION_BUTTON_9", 'T', 9, "tap:9", "-", -1, "0x39"},
    {310, "ACTION_BUTTON_10", 'T', 10, "tap:0", "-", -1, "0x30"},
    {311, "ACTION_BUTTON_11", 'T', 11, "tap:0xBD", "-", -1, "0xBD"},
    {312, "ACTION_BUTTON_12", 'T', 12, "tap:0xBB", "-", -1, "0xBB"},
    {313, "SELF_ACTION_BUTTON_1", 'T', 13, "alt:1", "-", -1, "0xA4+0x31"},
    {314, "SELF_ACTION_BUTTON_2", 'T', 14, "alt:2", "-", -1, "0xA4+0x32"},
    {315, "SELF_ACTION_BUTTON_3", 'T', 15, "alt:3", "-", -1, "0xA4+0x33"},
    {316, "SELF_ACTION_BUTTON_4", 'T', 16, "alt:4", "-", -1, "0xA4+0x34"},
    {317, "SELF_ACTION_BUTTON_5", 'T', 17, "alt:5", "-", -1, "0xA4+0x35"},
    {318, "SELF_ACTION_BUTTON_6", 'T', 18, "alt:6", "-", -1, "0xA4+0x36"},
    {319, "SELF_ACTION_BUTTON_7", 'T', 19, "alt:7", "-", -1, "0xA4+0x37"},
    {320, "SELF_ACTION_BUTTON_8", 'T', 20, "alt:8", "-", -1, "0xA4+0x38"},
    {321, "SELF_ACTION_BUTTON_9", 'T', 21, "alt:9", "-", -1, "0xA4+0x39"},
    {322, "SELF_ACTION_BUTTON_10", 'T', 22, "alt:0", "-", -1, "0xA4+0x30"},
    {323, "SELF_ACTION_BUTTON_11", 'T', 23, "alt:0xBD", "-", -1, "0xA4+0xBD"},
    {324, "SELF_ACTION_BUTTON_12", 'T', 24, "alt:0xBB", "-", -1, "0xA4+0xBB"},
    {325, "SPECIAL_ACTION_BUTTON_1", 'T', 25, "ctrl:0x70", "-", -1, "0xA2+0x70"},
    {326, "SPECIAL_ACTION_BUTTON_2", 'T', 26, "ctrl:0x71", "-", -1, "0xA2+0x71"},
    {327, "SPECIAL_ACTION_BUTTON_3", 'T', 27, "ctrl:0x72", "-", -1, "0xA2+0x72"},
    {328, "SPECIAL_ACTION_BUTTON_4", 'T', 28, "ctrl:0x73", "-", -1, "0xA2+0x73"},
    {329, "SPECIAL_ACTION_BUTTON_5", 'T', 29, "ctrl:0x74", "-", -1, "0xA2+0x74"},
    {330, "SPECIAL_ACTION_BUTTON_6", 'T', 30, "ctrl:0x75", "-", -1, "0xA2+0x75"},
    {331, "SPECIAL_ACTION_BUTTON_7", 'T', 31, "ctrl:0x76", "-", -1, "0xA2+0x76"},
    {332, "SPECIAL_ACTION_BUTTON_8", 'T', 32, "ctrl:0x77", "-", -1, "0xA2+0x77"},
    {333, "SPECIAL_ACTION_BUTTON_9", 'T', 33, "ctrl:0x78", "-", -1, "0xA2+0x78"},
    {334, "SPECIAL_ACTION_BUTTON_10", 'T', 34, "ctrl:0x79", "-", -1, "0xA2+0x79"},
    {335, "SECONDARY_ACTION_BUTTON_1", 'T', 35, "ctrl:1", "-", -1, "0xA2+0x31"},
    {336, "SECONDARY_ACTION_BUTTON_2", 'T', 36, "ctrl:2", "-", -1, "0xA2+0x32"},
    {337, "SECONDARY_ACTION_BUTTON_3", 'T', 37, "ctrl:3", "-", -1, "0xA2+0x33"},
    {338, "SECONDARY_ACTION_BUTTON_4", 'T', 38, "ctrl:4", "-", -1, "0xA2+0x34"},
    {339, "SECONDARY_ACTION_BUTTON_5", 'T', 39, "ctrl:5", "-", -1, "0xA2+0x35"},
    {340, "SECONDARY_ACTION_BUTTON_6", 'T', 40, "ctrl:6", "-", -1, "0xA2+0x36"},
    {341, "SECONDARY_ACTION_BUTTON_7", 'T', 41, "ctrl:7", "-", -1, "0xA2+0x37"},
    {342, "SECONDARY_ACTION_BUTTON_8", 'T', 42, "ctrl:8", "-", -1, "0xA2+0x38"},
    {343, "SECONDARY_ACTION_BUTTON_9", 'T', 43, "ctrl:9", "-", -1, "0xA2+0x39"},
    {344, "SECONDARY_ACTION_BUTTON_10", 'T', 44, "ctrl:0", "-", -1, "0xA2+0x30"},
    {345, "ACTION_PAGE_1", 'T', 45, "shift:1", "-", -1, "0xA0+0x31"},
    {346, "ACTION_PAGE_2", 'T', 46, "shift:2", "-", -1, "0xA0+0x32"},
    {347, "ACTION_PAGE_3", 'T', 47, "shift:3", "-", -1, "0xA0+0x33"},
    {348, "ACTION_PAGE_4", 'T', 48, "shift:4", "-", -1, "0xA0+0x34"},
    {349, "ACTION_PAGE_5", 'T', 49, "shift:5", "-", -1, "0xA0+0x35"},
    {350, "ACTION_PAGE_6", 'T', 50, "shift:6", "-", -1, "0xA0+0x36"},
    {351, "PREVIOUS_ACTION_BAR", 'T', 51,
     "xdown:0xA0 wait:50 down:0x26 wait:50 up:0x26 wait:50 xup:0xA0 wait:50 up:0xA0", "-", -1, "0xA0+0x26 seq"},
    {352, "NEXT_ACTION_BAR", 'T', 52, "xdown:0xA0 wait:50 down:0x28 wait:50 up:0x28 wait:50 xup:0xA0 up:0xA0", "-", -1,
     "0xA0+0x28 seq"},
    // Targeting functions.
    {401, "TARGET_NEAREST_ENEMY", 'T', 1, "tap:0x09", "-", -1, "0x09"},
    {402, "TARGET_PREVIOUS_ENEMY", 'T', 2, "shift:0x09", "-", -1, "0xA0+0x09"},
    {403, "TARGET_NEAREST_FRIEND", 'T', 3, "ctrl:0x09", "-", -1, "0xA2+0x09"},
    {404, "TARGET_PREVIOUS_FRIEND", 'T', 4, "ctrlshift:0x09", "-", -1, "0xA2+0xA0+0x09"},
    {405, "TARGET_SELF", 'T', 5, "tap:0x70", "-", -1, "0x70"},
    {406, "TARGET_PARTY_MEMBER_1", 'T', 6, "tap:0x71", "-", -1, "0x71"},
    {407, "TARGET_PARTY_MEMBER_2", 'T', 7, "tap:0x72", "-", -1, "0x72"},
    {408, "TARGET_PARTY_MEMBER_3", 'T', 8, "tap:0x73", "-", -1, "0x73"},
    {409, "TARGET_PARTY_MEMBER_4", 'T', 9, "tap:0x74", "-", -1, "0x74"},
    {410, "TARGET_PET", 'T', 10, "shift:0x70", "-", -1, "0xA0+0x70"},
    {411, "TARGET_PARTY_PET_1", 'T', 11, "shift:0x71", "-", -1, "0xA0+0x71"},
    {412, "TARGET_PARTY_PET_2", 'T', 12, "shift:0x72", "-", -1, "0xA0+0x72"},
    {413, "TARGET_PARTY_PET_3", 'T', 13, "shift:0x73", "-", -1, "0xA0+0x73"},
    {414, "TARGET_PARTY_PET_4", 'T', 14, "shift:0x74", "-", -1, "0xA0+0x74"},
    {415, "TARGET_LAST_HOSTILE", 'T', 15, "tap:G", "-", -1, "0x47"},
    {416, "ASSIST_TARGET", 'T', 16, "tap:F", "-", -1, "0x46"},
    {417, "SHOW_ENEMY_NAME_PLATES", 'T', 17, "tap:V", "-", -1, "0x56"},
    {418, "SHOW_FRIENDLY_NAME_PLATES", 'T', 18, "shift:V", "-", -1, "0xA0+0x56"},
    {419, "SHOW_ALL_NAME_PLATES", 'T', 19, "ctrl:V", "-", -1, "0xA2+0x56"},
    {420, "ATTACK_TARGET", 'T', 20, "tap:T", "-", -1, "0x54"},
    {421, "PET_ATTACK", 'T', 21, "shift:T", "-", -1, "0xA0+0x54"},
    // Interface panel functions.
    {501, "TOGGLE_CHARACTER_PANE", 'T', 1, "tap:C", "-", -1, "0x43"},
    {502, "TOGGLE_BACKPACK", 'T', 2, "shift:B", "-", -1, "0xA0+0x42"},
    {503, "TOGGLE_BAG_1", 'T', 3, "tap:0x77", "-", -1, "0x77"},
    {504, "TOGGLE_BAG_2", 'T', 4, "tap:0x78", "-", -1, "0x78"},
    {505, "TOGGLE_BAG_3", 'T', 5, "tap:0x79", "-", -1, "0x79"},
    {506, "TOGGLE_BAG_4", 'T', 6, "tap:0x7A", "-", -1, "0x7A"},
    {507, "OPEN_ALL_BAGS", 'T', 7, "tap:B", "-", -1, "0x42"},
    {508, "TOGGLE_SPELLBOOK", 'T', 8, "tap:P", "-", -1, "0x50"},
    {509, "TOGGLE_PETBOOK", 'T', 9, "shift:I", "-", -1, "0xA0+0x49"},
    {510, "TOGGLE_TALENT_PANE", 'T', 10, "tap:N", "-", -1, "0x4E"},
    {511, "TOGGLE_HONOR_PANE", 'T', 11, "tap:H", "-", -1, "0x48"},
    {512, "TOGGLE_PET_PANE", 'T', 12, "shift:P", "-", -1, "0xA0+0x50"},
    {513, "TOGGLE_REPUTATION_PANE", 'T', 13, "tap:U", "-", -1, "0x55"},
    {514, "TOGGLE_SKILL_PANE", 'T', 14, "tap:K", "-", -1, "0x4B"},
    {515, "TOGGLE_QUEST_LOG", 'T', 15, "tap:L", "-", -1, "0x4C"},
    {516, "TOGGLE_GAME_MENU", 'T', 16, "tap:0x1B", "-", -1, "0x1B"},
    {517, "TOGGLE_WORLD_MAP_PANE", 'T', 17, "tap:M", "-", -1, "0x4D"},
    {518, "TOGGLE_SOCIAL_PANE", 'T', 18, "tap:O", "-", -1, "0x4F"},
    {519, "TOGGLE_SCORE_SCREEN", 'T', 19, "shift:0x20", "-", -1, "0xA0+0x20"},
    {520, "TOGGLE_BATTLE_MAP", 'T', 20, "shift:M", "-", -1, "0xA0+0x4D"},
    {521, "TOGGLE_CHANNEL_PULLOUT", 'T', 21, "shift:O", "-", -1, "0xA0+0x4F"},
    // Camera functions.
    {601, "NEXT_VIEW", 'T', 1, "tap:0x23", "-", -1, "0x23"},
    {602, "PREVIOUS_VIEW", 'T', 2, "tap:0x24", "-", -1, "0x24"},
    {603, "ZOOM_IN", 'T', 3, "mouse:0x800:120", "-", -1, "-"},
    {604, "ZOOM_OUT", 'T', 4, "mouse:0x800:-120", "-", -1, "-"},
    // Miscellaneous functions.
    {701, "MINIMAP_ZOOM_IN", 'T', 1, "tap:0x6B", "-", -1, "0x6B"},
    {702, "MINIMAP_ZOOM_OUT", 'T', 2, "tap:0x6D", "-", -1, "0x6D"},
    {703, "TOGGLE_MUSIC", 'T', 3, "ctrl:M", "-", -1, "0xA2+0x4D"},
    {704, "TOGGLE_SOUND", 'T', 4, "ctrl:S", "-", -1, "0xA2+0x53"},
    {705, "MASTER_VOLUME_UP", 'T', 5, "ctrl:0xBB", "-", -1, "0xA2+0xBB"},
    {706, "MASTER_VOLUME_DOWN", 'T', 6, "ctrl:0xBD", "-", -1, "0xA2+0xBD"},
    {707, "TOGGLE_USER_INTERFACE", 'T', 7, "alt:Z", "-", -1, "0xA4+0x5A"},
    {708, "TOGGLE_FRAMERATE_DISPLAY", 'T', 8, "ctrl:R", "-", -1, "0xA2+0x52"},
    {709, "SCREEN_SHOT", 'T', 9, "tap:0x2C", "-", -1, "0x2C"},
};

struct Category {
  int number;
  const char* element;
  int commands;
};
const Category kCategories[] = {
    {1, "MOVEMENT_KEYS", 14},
    {2, "CHAT_FUNCTIONS", 10},
    {3, "ACTION_BAR_FUNCTIONS", 52},
    {4, "TARGETING_FUNCTIONS", 21},
    {5, "INTERFACE_PANEL_FUNCTIONS", 21},
    {6, "CAMERA_FUNCTIONS", 4},
    {7, "MISCELLANEOUS_FUNCTIONS", 9},
};

// Code lists of the on-board format and of the memory gauge, as ranges [first, last].
struct Range {
  int first, last;
};
bool InRanges(int code, std::span<const Range> ranges) {
  for (const Range& r : ranges)
    if (code >= r.first && code <= r.last) return true;
  return false;
}
// Stored as one key (type 16).
const Range kSingleKeyCodes[] = {{102, 114}, {201, 204}, {206, 206}, {301, 312}, {401, 401},
                                 {405, 409}, {415, 417}, {420, 420}, {501, 501}, {503, 508},
                                 {510, 511}, {513, 518}, {601, 602}, {701, 702}, {709, 709}};
// Stored as a key script of the modifiers and the key (type 32).
const Range kModifierScriptCodes[] = {{205, 205}, {207, 210}, {313, 352}, {402, 404}, {410, 414}, {418, 419},
                                      {421, 421}, {502, 502}, {509, 509}, {512, 512}, {519, 521}, {703, 708}};
// Units of the memory gauge.
const Range kUnits0[] = {{1, 2}, {4, 6}, {9, 9}, {22, 23}, {32, 43}, {101, 101}, {603, 604}};
const Range kUnits1[] = {{102, 114}, {201, 204}, {206, 206}, {301, 312}, {401, 401}, {405, 409}, {415, 417}, {420, 420},
                         {501, 501}, {503, 508}, {510, 511}, {513, 518}, {601, 602}, {701, 702}, {709, 709}};
// The sensitivity step codes keep their step in one data byte, so they count one unit too.
const Range kUnits1Step[] = {{16, 21}};
const Range kUnits8[] = {{3, 3},     {205, 205}, {207, 208}, {210, 210}, {313, 352}, {402, 403}, {410, 414},
                         {418, 419}, {421, 421}, {502, 502}, {509, 509}, {512, 512}, {519, 521}, {703, 708}};
const Range kUnits12[] = {{209, 209}, {404, 404}};

// --- notation -------------------------------------------------------------------------------

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find(sep, start);
    if (end == std::string_view::npos) end = s.size();
    if (end > start) out.emplace_back(s.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

int KeyOf(const std::string& token) {
  if (token.size() == 1) return static_cast<unsigned char>(token[0]);
  return std::stoi(token, nullptr, 0);
}

InputStep Key(int key, uint32_t flags) { return {InputStep::kKey, static_cast<uint8_t>(key), flags, 0}; }

struct ExpectedAction {
  Operation operation = Operation::kNothing;
  int value = 0;
  std::vector<InputStep> steps;
};

ExpectedAction ParseAction(std::string_view notation, bool release) {
  ExpectedAction a;
  if (notation == "-") return a;
  for (const std::string& token : Split(notation, ' ')) {
    const std::vector<std::string> part = Split(token, ':');
    const std::string& word = part[0];
    auto chord = [&](std::initializer_list<int> modifiers) {
      const int key = KeyOf(part[1]);
      for (int m : modifiers) a.steps.push_back(Key(m, 0));
      a.steps.push_back(Key(key, 0));
      a.steps.push_back(Key(key, 2));
      for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m) a.steps.push_back(Key(*m, 2));
    };
    a.operation = Operation::kInput;
    if (word == "tap") {
      chord({});
    } else if (word == "shift") {
      chord({0xA0});
    } else if (word == "ctrl") {
      chord({0xA2});
    } else if (word == "alt") {
      chord({0xA4});
    } else if (word == "ctrlshift") {
      chord({0xA2, 0xA0});
    } else if (word == "down" || word == "up" || word == "xdown" || word == "xup") {
      const uint32_t flags = (word.ends_with("up") ? 2u : 0u) | (word[0] == 'x' ? 1u : 0u);
      a.steps.push_back(Key(KeyOf(part[1]), flags));
    } else if (word == "text") {
      for (char c : part[1]) {
        a.steps.push_back(Key(c, 0));
        a.steps.push_back(Key(c, 2));
      }
    } else if (word == "wait") {
      a.steps.push_back({InputStep::kPause, 0, 0, std::stoi(part[1])});
    } else if (word == "mouse") {
      a.steps.push_back(
          {InputStep::kMouse, 0, static_cast<uint32_t>(std::stoul(part[1], nullptr, 0)), std::stoi(part[2])});
    } else if (word == "dpi") {
      a = {Operation::kSetDpiStep, std::stoi(part[1]), {}};
    } else if (word == "dpiup") {
      a = {Operation::kDpiUp, 0, {}};
    } else if (word == "dpidown") {
      a = {Operation::kDpiDown, 0, {}};
    } else if (word == "profile") {
      a = {Operation::kSelectProfile, std::stoi(part[1]), {}};
    } else if (word == "pstep") {
      a = {Operation::kProfileStep, std::stoi(part[1]), {}};
    } else if (word == "macro") {
      a = {release ? Operation::kMacroRelease : Operation::kMacroPress, 0, {}};
    } else {
      ADD_FAILURE() << "bad notation " << token;
    }
  }
  return a;
}

struct ExpectedKeys {
  std::vector<int> modifiers;
  int key = 0;
  KeyTiming timing = KeyTiming::kNone;
  bool extended = false;
  int holdMs = 0;
};

ExpectedKeys ParseKeys(std::string_view notation) {
  ExpectedKeys k;
  if (notation == "-") return k;
  const std::vector<std::string> words = Split(notation, ' ');
  std::vector<std::string> keys = Split(words[0], '+');
  k.key = KeyOf(keys.back());
  keys.pop_back();
  for (const std::string& m : keys) k.modifiers.push_back(KeyOf(m));
  k.timing = KeyTiming::kTap;
  for (size_t i = 1; i < words.size(); ++i) {
    if (words[i] == "held") {
      k.timing = KeyTiming::kHeld;
    } else if (words[i] == "ext") {
      k.extended = true;
    } else if (words[i] == "seq") {
      k.timing = KeyTiming::kSequence;
    } else if (words[i].ends_with("ms")) {
      k.timing = KeyTiming::kTimed;
      k.holdMs = std::stoi(words[i]);
    } else {
      ADD_FAILURE() << "bad keys " << notation;
    }
  }
  return k;
}

std::vector<InputStep> StepsOf(std::span<const InputStep> steps) { return {steps.begin(), steps.end()}; }
std::vector<ScriptEvent> EventsOf(std::span<const ScriptEvent> events) { return {events.begin(), events.end()}; }

std::string Describe(const std::vector<InputStep>& steps) {
  std::string s;
  for (const InputStep& st : steps) {
    s += "[" + std::to_string(st.kind) + " vk" + std::to_string(st.virtualKey) + " f" + std::to_string(st.flags) +
         " v" + std::to_string(st.value) + "]";
  }
  return s;
}

void ExpectAction(const ButtonAction& actual, const ExpectedAction& expected, const char* edge) {
  SCOPED_TRACE(edge);
  EXPECT_EQ(actual.operation, expected.operation);
  EXPECT_EQ(actual.value, expected.value);
  EXPECT_EQ(Describe(StepsOf(actual.steps)), Describe(expected.steps));
}

FunctionCategory CategoryOfCode(int code) {
  if (code <= 13) return FunctionCategory::kMouseButton;
  if (code <= 23) return FunctionCategory::kSensitivity;
  if (code <= 43) return FunctionCategory::kProfile;
  if (code <= 82) return FunctionCategory::kChatCommand;
  if (code <= 709) return FunctionCategory::kGameCommand;
  return FunctionCategory::kMacro;
}

// Menu.xml section of the labels, or the Functions.xml category element.
std::string SectionOfCode(int code) {
  if (code <= 13 || (code >= 80 && code <= 82)) return "BUTTON_MENU";
  if (code <= 23) return "CHANGE_DPI";
  if (code <= 43) return "CHANGE_PROFILE";
  return kCategories[code / 100 - 1].element;
}

Chooser ChooserOf(char c) {
  switch (c) {
    case 'M':
      return Chooser::kButtonMenu;
    case 'D':
      return Chooser::kPointerSpeedList;
    case 'P':
      return Chooser::kProfileList;
    case 'T':
      return Chooser::kGameCommandTree;
    default:
      return Chooser::kNone;
  }
}

// --- the table ------------------------------------------------------------------------------

TEST(FunctionCatalogTable, EveryCodeMatchesItsRow) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.code);
    const CatalogEntry* e = FindFunction(row.code);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->code, row.code);
    EXPECT_EQ(e->lastCode, row.code);
    EXPECT_EQ(e->name, row.name);
    EXPECT_EQ(e->category, CategoryOfCode(row.code));
    EXPECT_EQ(e->chooser, ChooserOf(row.chooser));
    EXPECT_EQ(e->order, row.order);
    EXPECT_EQ(e->gameCategory, row.code >= 101 ? row.code / 100 : 0);
    EXPECT_EQ(e->labelSection, SectionOfCode(row.code));
    const LabelSource label = row.code >= 101                    ? LabelSource::kFunctionsXml
                              : row.code >= 32 && row.code <= 41 ? LabelSource::kProfileName
                                                                 : LabelSource::kMenuXml;
    EXPECT_EQ(e->labelSource, label);

    ExpectAction(e->press, ParseAction(row.press, false), "press");
    ExpectAction(e->release, ParseAction(row.release, true), "release");
    EXPECT_EQ(e->passThroughButton, row.passThrough);
    EXPECT_EQ(e->releaseWhileForwarded, row.code == 1);

    const ExpectedKeys keys = ParseKeys(row.keys);
    std::vector<int> modifiers;
    for (uint8_t m : e->keys.modifiers)
      if (m) modifiers.push_back(m);
    EXPECT_EQ(modifiers, keys.modifiers);
    EXPECT_EQ(e->keys.key, keys.key);
    EXPECT_EQ(e->keys.timing, keys.timing);
    EXPECT_EQ(e->keys.extended, keys.extended);
    EXPECT_EQ(e->keys.holdMs, keys.holdMs);
  }
  // Nothing in the catalogue beyond the rows and the macro rule.
  EXPECT_EQ(FunctionCatalog().size(), std::size(kRows) + 1);
}

TEST(FunctionCatalogTable, OnboardEncodingOfEveryCode) {
  struct Fixed {
    int code;
    OnboardKind kind;
    int type;
    int value;
  };
  const Fixed kFixed[] = {
      {1, OnboardKind::kType, 1, 0},      {2, OnboardKind::kType, 2, 0},      {4, OnboardKind::kType, 4, 0},
      {5, OnboardKind::kType, 5, 0},      {6, OnboardKind::kType, 3, 0},      {101, OnboardKind::kType, 3, 0},
      {9, OnboardKind::kType, 0, 0},      {16, OnboardKind::kDpiStep, 53, 6}, {17, OnboardKind::kDpiStep, 53, 5},
      {18, OnboardKind::kDpiStep, 53, 4}, {19, OnboardKind::kDpiStep, 53, 3}, {20, OnboardKind::kDpiStep, 53, 2},
      {21, OnboardKind::kDpiStep, 53, 1}, {22, OnboardKind::kType, 52, 0},    {23, OnboardKind::kType, 51, 0},
      {603, OnboardKind::kType, 49, 0},   {604, OnboardKind::kType, 50, 0},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.code);
    const OnboardEncoding& enc = FindFunction(row.code)->onboard;
    const ExpectedKeys keys = ParseKeys(row.keys);
    const Fixed* fixed = nullptr;
    for (const Fixed& f : kFixed)
      if (f.code == row.code) fixed = &f;
    std::vector<ScriptEvent> script;
    if (fixed) {
      EXPECT_EQ(enc.kind, fixed->kind);
      EXPECT_EQ(enc.type, fixed->type);
      EXPECT_EQ(enc.value, fixed->value);
    } else if (row.code == 3) {
      EXPECT_EQ(enc.kind, OnboardKind::kScript);
      EXPECT_EQ(enc.type, 32);
      script = {{ScriptEvent::kMouseDown, 0},
                {ScriptEvent::kMouseUp, 0},
                {ScriptEvent::kMouseDown, 0},
                {ScriptEvent::kMouseUp, 0}};
    } else if (InRanges(row.code, kSingleKeyCodes)) {
      ASSERT_TRUE(keys.modifiers.empty());
      EXPECT_EQ(enc.kind, OnboardKind::kKey);
      EXPECT_EQ(enc.type, 16);
      EXPECT_EQ(enc.value, keys.key);
    } else if (InRanges(row.code, kModifierScriptCodes)) {
      EXPECT_EQ(enc.kind, OnboardKind::kScript);
      EXPECT_EQ(enc.type, 32);
      for (int m : keys.modifiers) script.push_back({ScriptEvent::kKeyDown, static_cast<uint8_t>(m)});
      script.push_back({ScriptEvent::kKeyDown, static_cast<uint8_t>(keys.key)});
      script.push_back({ScriptEvent::kKeyUp, static_cast<uint8_t>(keys.key)});
      for (auto m = keys.modifiers.rbegin(); m != keys.modifiers.rend(); ++m)
        script.push_back({ScriptEvent::kKeyUp, static_cast<uint8_t>(*m)});
    } else {
      // 11-13, 32-43 and 80-82: the mouse cannot hold them.
      EXPECT_EQ(enc.kind, OnboardKind::kNotStored);
    }
    EXPECT_EQ(EventsOf(enc.script), script);
  }
  // The script of two modifiers has six events, Ctrl outside Shift.
  const std::vector<ScriptEvent> bottom = {{ScriptEvent::kKeyDown, 0xA2}, {ScriptEvent::kKeyDown, 0xA0},
                                           {ScriptEvent::kKeyDown, 0x22}, {ScriptEvent::kKeyUp, 0x22},
                                           {ScriptEvent::kKeyUp, 0xA0},   {ScriptEvent::kKeyUp, 0xA2}};
  EXPECT_EQ(EventsOf(FindFunction(209)->onboard.script), bottom);
}

TEST(FunctionCatalogTable, UnitsOfEveryCodeAgreeWithTheStoredBytes) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.code);
    const CatalogEntry* e = FindFunction(row.code);
    int expected = kNoUnits;
    if (InRanges(row.code, kUnits0)) expected = 0;
    if (InRanges(row.code, kUnits1) || InRanges(row.code, kUnits1Step)) expected = 1;
    if (InRanges(row.code, kUnits8)) expected = 8;
    if (InRanges(row.code, kUnits12)) expected = 12;
    EXPECT_EQ(e->units, expected);
    if (expected != kNoUnits) {
      EXPECT_EQ(e->units, OnboardDataLength(e->onboard));
    }
  }
}

TEST(FunctionCatalogTable, GameCategoriesAndTheirCommands) {
  ASSERT_EQ(GameCategories().size(), std::size(kCategories));
  int total = 0;
  for (size_t i = 0; i < std::size(kCategories); ++i) {
    const GameCategory& g = GameCategories()[i];
    EXPECT_EQ(g.number, kCategories[i].number);
    EXPECT_EQ(g.element, kCategories[i].element);
    EXPECT_EQ(g.commandCount, kCategories[i].commands);
    EXPECT_EQ(FindGameCategory(kCategories[i].element), &g);
    int commands = 0;
    for (const CatalogEntry& e : FunctionCatalog()) commands += e.gameCategory == g.number;
    EXPECT_EQ(commands, g.commandCount);
    total += commands;
  }
  EXPECT_EQ(total, 131);
  EXPECT_EQ(FindGameCategory("CHANGE_DPI"), nullptr);
}

TEST(FunctionCatalogTable, CodesNamesAndReversibleEncodingsAreUnique) {
  std::set<int> codes;
  std::set<std::string_view> names;
  std::set<int> singleKeys;
  std::set<std::string> scripts;  // the events as bytes
  int previous = 0;
  for (const CatalogEntry& e : FunctionCatalog()) {
    EXPECT_GT(e.code, previous) << e.name;  // ascending, ranges included
    previous = e.lastCode;
    EXPECT_TRUE(codes.insert(e.code).second) << e.code;
    EXPECT_TRUE(names.insert(e.name).second) << e.name;
    EXPECT_FALSE(e.name.empty());
    // The decoder maps a stored key or script back to its code, so none may repeat.
    if (e.onboard.kind == OnboardKind::kKey) {
      EXPECT_TRUE(singleKeys.insert(e.onboard.value).second) << e.name;
    }
    if (e.onboard.kind == OnboardKind::kScript) {
      std::string bytes;
      for (const ScriptEvent& ev : e.onboard.script) bytes += {static_cast<char>(ev.op), static_cast<char>(ev.value)};
      EXPECT_TRUE(scripts.insert(bytes).second) << e.name;
    }
  }
  EXPECT_EQ(singleKeys.size(), 60u);
  EXPECT_EQ(scripts.size(), 69u);  // the double click and 68 commands with modifiers
}

TEST(FunctionCatalogTable, ChatCommandsTypeTheirText) {
  struct Chat {
    int code;
    const char* text;
  };
  for (const Chat& c : {Chat{80, "/stopcasting\n/stopattack"}, Chat{81, "/focus"}, Chat{82, "/dismount"}}) {
    EXPECT_EQ(FindFunction(c.code)->chatText, c.text);
  }
  EXPECT_TRUE(FindFunction(501)->chatText.empty());
  // A letter is sent unshifted: the typed keys never include Shift.
  for (const InputStep& s : FindFunction(80)->press.steps) EXPECT_NE(s.virtualKey, 0xA0);
  EXPECT_EQ(FindFunction(80)->press.steps.size(), 2u * (1 + 1 + 11 + 1 + 1 + 1 + 10 + 1));
}

// --- the macro rule ---------------------------------------------------------------------------

TEST(FunctionCatalogMacros, OneRuleForFiftyCodes) {
  const CatalogEntry* rule = FindFunction(1000);
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->code, 1000);
  EXPECT_EQ(rule->lastCode, 1049);
  EXPECT_EQ(FindFunction(1049), rule);
  EXPECT_EQ(FindFunction(1023), rule);
  EXPECT_EQ(FindFunctionByName("CUSTOM_MACROS"), rule);
  EXPECT_EQ(&FunctionCatalog().back(), rule);
  EXPECT_EQ(rule->category, FunctionCategory::kMacro);
  EXPECT_EQ(rule->chooser, Chooser::kMacroList);
  EXPECT_EQ(rule->labelSource, LabelSource::kMacroName);
  EXPECT_EQ(rule->press.operation, Operation::kMacroPress);
  EXPECT_EQ(rule->release.operation, Operation::kMacroRelease);
  EXPECT_EQ(rule->passThroughButton, -1);
  EXPECT_EQ(rule->onboard.kind, OnboardKind::kMacroScript);
  EXPECT_EQ(rule->onboard.type, 32);
  EXPECT_EQ(MacroIndexOfCode(1000), 0);
  EXPECT_EQ(MacroIndexOfCode(1049), 49);
  EXPECT_EQ(MacroIndexOfCode(999), -1);
  EXPECT_EQ(MacroIndexOfCode(1050), -1);
  EXPECT_EQ(FindFunction(999), nullptr);
  EXPECT_EQ(FindFunction(1050), nullptr);
}

struct MacroCase {
  const char* what;
  std::vector<int> delays;  // one event per delay
  int loopCount, loopSwitch, delayMode;
  int units;
};

TEST(FunctionCatalogMacros, UnitsOfAMacro) {
  const MacroCase kCases[] = {
      {"three events", {10, 60, 50}, 0, 0, kDelayRecorded, 2 + 4 + 4},
      {"49 ms is short", {49, 0}, 0, 0, kDelayNone, 4},
      {"copy and paste counts nothing", {100, 100, 100}, 0, 0, kDelayCopyPaste, 0},
      {"looping adds the count", {10, 10}, 3, 1, kDelayRecorded, 6},
      {"a count without the switch adds nothing", {10, 10}, 5, 0, kDelayRecorded, 4},
      {"looping zero times stores nothing", {10, 60}, 0, 1, kDelayRecorded, 0},
      {"a negative count with the switch stores the events only", {10}, -2, 1, kDelayRecorded, 2},
      {"no events", {}, 0, 0, kDelayAutomatic, 0},
  };
  auto macro = std::make_unique<Macro>();
  for (const MacroCase& c : kCases) {
    SCOPED_TRACE(c.what);
    std::memset(macro.get(), 0, sizeof *macro);
    for (size_t i = 0; i < c.delays.size(); ++i)
      macro->events[i] = {0x41, static_cast<uint8_t>(i % 2), {}, c.delays[i]};
    macro->loopCount = c.loopCount;
    macro->loopSwitch = c.loopSwitch;
    macro->delayMode = c.delayMode;
    EXPECT_EQ(MacroOnboardUnits(*macro), c.units);
  }
}

TEST(FunctionCatalogMacros, EventsEndAtTheFirstEmptyKeyOrTheLastSlot) {
  auto macro = std::make_unique<Macro>();
  std::memset(macro.get(), 0, sizeof *macro);
  macro->delayMode = kDelayRecorded;
  for (MacroEvent& e : macro->events) e = {0x41, 0, {}, 100};
  EXPECT_EQ(MacroOnboardUnits(*macro), 4 * kMacroEventCount);
  macro->events[2].virtualKey = 0;
  EXPECT_EQ(MacroOnboardUnits(*macro), 8);
}

TEST(FunctionCatalogMacros, OnboardUnitsOfButtonsOfAProfile) {
  auto profile = std::make_unique<Profile>();
  ClearProfile(*profile);
  Macro& m = profile->macros[3];
  m.delayMode = kDelayRecorded;
  m.events[0] = {0x41, 0, {}, 30};
  m.events[1] = {0x41, 1, {}, 120};
  struct Case {
    int code;
    std::optional<int> units;
  };
  const Case kCases[] = {
      {209, 12},
      {603, 0},
      {501, 1},
      {502, 8},
      {1, 0},
      {18, 1},
      {35, 0},
      {1003, 6},
      {1004, 0},  // the macro of slot 3; an empty slot
      {80, std::nullopt},
      {11, std::nullopt},
      {7, std::nullopt},
      {1050, std::nullopt},
      {-5, std::nullopt},
  };
  for (const Case& c : kCases) EXPECT_EQ(OnboardUnits(c.code, *profile), c.units) << c.code;
}

// --- lookups ----------------------------------------------------------------------------------

TEST(FunctionCatalogLookup, ByCodeNameAndTreeItem) {
  ASSERT_NE(FindFunction(501), nullptr);
  EXPECT_EQ(FindFunction(501)->name, "TOGGLE_CHARACTER_PANE");
  for (const Row& row : kRows) {
    const CatalogEntry* e = FindFunctionByName(row.name);
    ASSERT_NE(e, nullptr) << row.name;
    EXPECT_EQ(e->code, row.code);
  }
  struct Item {
    int category, command, code;
  };
  const Item kItems[] = {{1, 14, 114}, {7, 9, 709}, {3, 34, 334}, {1, 1, 101}, {3, 52, 352},
                         {0, 1, 0},    {8, 1, 0},   {1, 15, 0},   {6, 0, 0},   {6, 5, 0},
                         {-1, 1, 0},   {2, 11, 0},  {5, 22, 0},   {4, 99, 0},  {INT_MAX, INT_MAX, 0}};
  for (const Item& item : kItems) {
    const CatalogEntry* e = FindGameCommand(item.category, item.command);
    EXPECT_EQ(e ? e->code : 0, item.code) << item.category << "/" << item.command;
  }
}

// The list choosers' rows to codes, at their bounds: the button menu's last row is "off".
TEST(FunctionCatalogLookup, ListRowsGiveTheirCodes) {
  struct Case {
    Chooser chooser;
    int rows;
    std::vector<std::pair<int, std::optional<int>>> rowCodes;
  } cases[] = {
      {Chooser::kButtonMenu, 7, {{-1, std::nullopt}, {0, 1}, {5, 6}, {6, 9}, {7, std::nullopt}}},
      {Chooser::kPointerSpeedList, 8, {{-1, std::nullopt}, {0, 16}, {7, 23}, {8, std::nullopt}}},
      {Chooser::kProfileList, 12, {{0, 32}, {11, 43}, {12, std::nullopt}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooserRowCount(c.chooser), c.rows) << static_cast<int>(c.chooser);
    for (const auto& [row, code] : c.rowCodes)
      EXPECT_EQ(ChooserCode(c.chooser, row), code) << static_cast<int>(c.chooser) << " row " << row;
  }
}

TEST(FunctionCatalogLookup, UnknownCodesAndNamesAreNotFound) {
  for (int code : {INT_MIN, -1,  0,   7,   8,   10,  14,  15,  24,  31,  44,   79,   83,   100,    115,
                   200,     211, 300, 353, 422, 522, 605, 700, 710, 999, 1050, 1200, 1201, INT_MAX}) {
    EXPECT_EQ(FindFunction(code), nullptr) << code;
  }
  for (const char* name : {"", "toggle_run", "TOGGLE_RUN ", "MACRO_1", "PROFILE_11", "GAME_COMMANDS", "DPI"}) {
    EXPECT_EQ(FindFunctionByName(name), nullptr) << name;
  }
}

TEST(FunctionCatalogLookup, PassThroughButtonsAreTheInterceptExceptions) {
  // A standard button keeps its native path when it holds its own plain mouse function: left on
  // logical 0, right on 1, middle (or move-and-steer) on 2, the fifth button on 7, the fourth on 8.
  std::vector<std::pair<int, int>> found;
  for (const CatalogEntry& e : FunctionCatalog())
    if (e.passThroughButton >= 0) found.push_back({e.code, e.passThroughButton});
  const std::vector<std::pair<int, int>> expected = {{1, 0}, {2, 1}, {4, 8}, {5, 7}, {6, 2}, {101, 2}};
  EXPECT_EQ(found, expected);
}

// --- the data file ----------------------------------------------------------------------------

// The catalogue's names of one chooser, in row order.
std::vector<std::u16string> NamesOf(Chooser chooser) {
  std::vector<const CatalogEntry*> rows;
  for (const CatalogEntry& e : FunctionCatalog())
    if (e.chooser == chooser) rows.push_back(&e);
  std::sort(rows.begin(), rows.end(), [](auto a, auto b) { return a->order < b->order; });
  std::vector<std::u16string> names;
  for (const CatalogEntry* e : rows) names.push_back(test::U(e->name));
  return names;
}

// Walks the children of the element entered last: each name must follow in order, with a
// non-empty text, and nothing may come after the last.
void ExpectChildren(XmlCursor& x, const std::vector<std::u16string>& names) {
  for (const std::u16string& name : names) {
    ASSERT_TRUE(x.FindElement(name)) << test::N(name);
    EXPECT_FALSE(x.GetText().empty()) << test::N(name);
  }
  EXPECT_FALSE(x.FindElement()) << "after " << test::N(names.back());
}

TEST(FunctionCatalogFile, FunctionsXmlListsTheCatalogueInOrder) {
  XmlCursor x;
  ASSERT_TRUE(x.LoadFile(std::string(ORV_PROGRAM_DIR) + "/Functions.xml", kMaxProgramDataFileSize)) << x.GetResult();
  EXPECT_TRUE(x.GetDocFlags() & kDocUtf16LeFile);
  ASSERT_TRUE(x.FindElement());
  ASSERT_TRUE(x.EnterElement());

  ASSERT_TRUE(x.FindElement(u"GAME_COMMANDS"));
  EXPECT_FALSE(x.GetAttribute(u"Strings").empty());
  ASSERT_TRUE(x.EnterElement());
  for (const GameCategory& g : GameCategories()) {
    ASSERT_TRUE(x.FindElement(test::U(g.element))) << g.element;
    EXPECT_FALSE(x.GetAttribute(u"Strings").empty()) << g.element;
    ASSERT_TRUE(x.EnterElement());
    std::vector<std::u16string> names;
    for (int n = 1; n <= g.commandCount; ++n) names.push_back(test::U(FindGameCommand(g.number, n)->name));
    ExpectChildren(x, names);
    ASSERT_TRUE(x.LeaveElement());
  }
  EXPECT_FALSE(x.FindElement());
  ASSERT_TRUE(x.LeaveElement());

  struct Section {
    const char16_t* element;
    std::vector<std::u16string> children;
  };
  const Section kSections[] = {
      {u"CHANGE_DPI", NamesOf(Chooser::kPointerSpeedList)},
      {u"CHANGE_PROFILE", NamesOf(Chooser::kProfileList)},
      {u"CUSTOM_MACROS", {u"DELETE", u"NEW_MACRO"}},
  };
  for (const Section& s : kSections) {
    ASSERT_TRUE(x.FindElement(s.element)) << test::N(s.element);
    EXPECT_FALSE(x.GetAttribute(u"Strings").empty());
    ASSERT_TRUE(x.EnterElement());
    ExpectChildren(x, s.children);
    ASSERT_TRUE(x.LeaveElement());
  }
  EXPECT_FALSE(x.FindElement());
  EXPECT_EQ(NamesOf(Chooser::kPointerSpeedList).size(), 8u);
  EXPECT_EQ(NamesOf(Chooser::kProfileList).size(), 12u);
}

}  // namespace
}  // namespace orv
