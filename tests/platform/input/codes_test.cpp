#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "platform/input/input_codes.h"
#include "platform/input/key_usage.h"
#include "platform/input/scan_codes.h"

namespace orv {
namespace {

struct Mapping {
  uint32_t code;
  uint32_t expected;
};

TEST(InputScanCodes, VirtualKeyToScanCodeAsOnTheUsLayout) {
  const Mapping cases[] = {
      {VK_ESCAPE, 0x01},
      {VK_BACK, 0x0E},
      {VK_TAB, 0x0F},
      {VK_RETURN, 0x1C},
      {VK_SPACE, 0x39},
      {VK_CAPITAL, 0x3A},
      {VK_F1, 0x3B},
      {VK_F10, 0x44},
      {VK_F11, 0x57},
      {VK_F12, 0x58},
      {VK_F13, 0x64},
      {VK_F23, 0x6E},
      {VK_F24, 0x76},
      {VK_NUMLOCK, 0x45},
      {VK_SCROLL, 0x46},
      {VK_PAUSE, 0x45},
      {VK_SNAPSHOT, 0x54},
      {VK_CLEAR, 0x4C},
      {VK_CANCEL, 0x46},
      // Cursor and editing keys give the keypad position they share, without the E0 prefix.
      {VK_LEFT, 0x4B},
      {VK_UP, 0x48},
      {VK_RIGHT, 0x4D},
      {VK_DOWN, 0x50},
      {VK_INSERT, 0x52},
      {VK_DELETE, 0x53},
      {VK_HOME, 0x47},
      {VK_END, 0x4F},
      {VK_PRIOR, 0x49},
      {VK_NEXT, 0x51},
      // Keypad.
      {VK_DIVIDE, 0x35},
      {VK_MULTIPLY, 0x37},
      {VK_SUBTRACT, 0x4A},
      {VK_ADD, 0x4E},
      {VK_DECIMAL, 0x53},
      {VK_NUMPAD0, 0x52},
      {VK_NUMPAD1, 0x4F},
      {VK_NUMPAD5, 0x4C},
      {VK_NUMPAD7, 0x47},
      {VK_NUMPAD9, 0x49},
      {VK_SEPARATOR, 0},
      // Modifiers: generic ones as the left key, sided ones as their own.
      {VK_SHIFT, 0x2A},
      {VK_CONTROL, 0x1D},
      {VK_MENU, 0x38},
      {VK_LSHIFT, 0x2A},
      {VK_RSHIFT, 0x36},
      {VK_LCONTROL, 0x1D},
      {VK_RCONTROL, 0x1D},
      {VK_LMENU, 0x38},
      {VK_RMENU, 0x38},
      {VK_LWIN, 0x5B},
      {VK_RWIN, 0x5C},
      {VK_APPS, 0x5D},
      {VK_SLEEP, 0x5F},
      // Punctuation.
      {VK_OEM_1, 0x27},
      {VK_OEM_PLUS, 0x0D},
      {VK_OEM_COMMA, 0x33},
      {VK_OEM_MINUS, 0x0C},
      {VK_OEM_PERIOD, 0x34},
      {VK_OEM_2, 0x35},
      {VK_OEM_3, 0x29},
      {VK_OEM_4, 0x1A},
      {VK_OEM_5, 0x2B},
      {VK_OEM_6, 0x1B},
      {VK_OEM_7, 0x28},
      {VK_OEM_102, 0x56},
      {VK_VOLUME_UP, 0x30},
      // Nothing.
      {0, 0},
      {VK_LBUTTON, 0},
      {VK_SELECT, 0},
      {0xFF, 0},
      {0x10041, 0},
  };
  for (const Mapping& m : cases)
    EXPECT_EQ(MapVirtualKeyW(m.code, MAPVK_VK_TO_VSC), m.expected) << "virtual key " << m.code;

  // Letters and digits follow the rows of the keyboard.
  const std::pair<std::string_view, uint32_t> rows[] = {
      {"1234567890", 0x02}, {"QWERTYUIOP", 0x10}, {"ASDFGHJKL", 0x1E}, {"ZXCVBNM", 0x2C}};
  for (const auto& [keys, first] : rows)
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(MapVirtualKeyW(keys[i], MAPVK_VK_TO_VSC), first + i) << keys[i];
}

TEST(InputScanCodes, ScanCodeToVirtualKeyWithAndWithoutSides) {
  struct Case {
    uint32_t scan;
    uint32_t generic;  // type 1
    uint32_t sided;    // type 3
  };
  const Case cases[] = {
      {0x2A, VK_SHIFT, VK_LSHIFT},
      {0x36, VK_SHIFT, VK_RSHIFT},
      {0x1D, VK_CONTROL, VK_LCONTROL},
      {0xE01D, VK_CONTROL, VK_RCONTROL},
      {0x38, VK_MENU, VK_LMENU},
      {0xE038, VK_MENU, VK_RMENU},
      {0x48, VK_UP, VK_UP},
      {0xE048, VK_UP, VK_UP},
      {0x52, VK_INSERT, VK_INSERT},
      {0x4C, VK_CLEAR, VK_CLEAR},
      {0x35, VK_OEM_2, VK_OEM_2},
      {0xE035, VK_DIVIDE, VK_DIVIDE},
      {0x37, VK_MULTIPLY, VK_MULTIPLY},
      {0xE037, VK_SNAPSHOT, VK_SNAPSHOT},
      {0x1C, VK_RETURN, VK_RETURN},
      {0xE01C, VK_RETURN, VK_RETURN},
      {0x45, VK_NUMLOCK, VK_NUMLOCK},
      {0xE11D, VK_PAUSE, VK_PAUSE},
      {0xE05B, VK_LWIN, VK_LWIN},
      {0x2E, VK_C, VK_C},
      {0x0B, VK_0, VK_0},
      {0x00, 0, 0},
      {0x5B, 0, 0},
      {0xE0FF, 0, 0},
      {0xE12E, 0, 0},
      {0xD02E, 0, 0},
      {0x1002E, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MapVirtualKeyW(c.scan, MAPVK_VSC_TO_VK), c.generic) << std::hex << "scan 0x" << c.scan;
    EXPECT_EQ(MapVirtualKeyW(c.scan, MAPVK_VSC_TO_VK_EX), c.sided) << std::hex << "scan 0x" << c.scan;
  }
}

TEST(InputScanCodes, VirtualKeyToUnshiftedCharacter) {
  const Mapping cases[] = {
      {VK_A, 'A'},        {VK_Z, 'Z'},         {VK_0, '0'},         {VK_9, '9'},          {VK_SPACE, ' '},
      {VK_RETURN, '\r'},  {VK_BACK, '\b'},     {VK_TAB, '\t'},      {VK_ESCAPE, 0x1B},    {VK_OEM_1, ';'},
      {VK_OEM_PLUS, '='}, {VK_OEM_COMMA, ','}, {VK_OEM_MINUS, '-'}, {VK_OEM_PERIOD, '.'}, {VK_OEM_2, '/'},
      {VK_OEM_3, '`'},    {VK_OEM_4, '['},     {VK_OEM_5, '\\'},    {VK_OEM_6, ']'},      {VK_OEM_7, '\''},
      {VK_NUMPAD5, '5'},  {VK_MULTIPLY, '*'},  {VK_ADD, '+'},       {VK_SUBTRACT, '-'},   {VK_DECIMAL, '.'},
      {VK_DIVIDE, '/'},   {VK_F1, 0},          {VK_SHIFT, 0},       {VK_LEFT, 0},         {0, 0},
  };
  for (const Mapping& m : cases)
    EXPECT_EQ(MapVirtualKeyW(m.code, MAPVK_VK_TO_CHAR), m.expected) << "virtual key " << m.code;
  EXPECT_EQ(MapVirtualKeyW(VK_A, 4), 0u);  // other translation types are not provided
}

// The key usage table of the on-board format as it is written down, "key→usage" or
// "first-last→first-last".
constexpr std::string_view kUsageTable =
    "8→42, 9→43, 13→40, 19→72, 20→57, 27→41, 32→44, 33→75, 34→78, 35→77, 36→74, 37→80, 38→82, 39→79, "
    "40→81, 44→70, 45→73, 46→76, 48→39, 49-57→30-38, 65-90→4-29, 91→227, 92→231, 93→101, 95→130, 96→98, "
    "97-105→89-97, 106→85, 107→87, 108→88, 109→86, 110→99, 111→84, 112-123→58-69, 144→83, 145→71, 160→225, "
    "161→229, 162→224, 163→228, 164→226, 165→230, 186→51, 187→46, 188→54, 189→45, 190→55, 191→56, 192→53, "
    "219→47, 220→49, 221→48, 222→52";

std::map<uint32_t, uint32_t> ParseUsageTable() {
  std::map<uint32_t, uint32_t> table;
  std::string text(kUsageTable);
  const std::string arrow = "→";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(", ", start);
    if (end == std::string::npos) end = text.size();
    const std::string entry = text.substr(start, end - start);
    start = end + 2;
    const size_t at = entry.find(arrow);
    const std::string keys = entry.substr(0, at), usages = entry.substr(at + arrow.size());
    const auto range = [](const std::string& s) {
      const size_t dash = s.find('-');
      const uint32_t first = std::stoul(s.substr(0, dash));
      return std::pair<uint32_t, uint32_t>(first, dash == std::string::npos ? first : std::stoul(s.substr(dash + 1)));
    };
    const auto [k0, k1] = range(keys);
    const auto [u0, u1] = range(usages);
    EXPECT_EQ(k1 - k0, u1 - u0) << entry;
    for (uint32_t k = k0; k <= k1; ++k) table[k] = u0 + (k - k0);
  }
  return table;
}

TEST(InputKeyUsage, EveryRowOfTheTableAndNothingElse) {
  const std::map<uint32_t, uint32_t> table = ParseUsageTable();
  ASSERT_EQ(table.size(), 105u);
  for (uint32_t vk = 0; vk < 0x200; ++vk) {
    const auto row = table.find(vk);
    const uint32_t expected = row == table.end() ? kNoKeyUsage : row->second;
    EXPECT_EQ(KeyUsage(vk), expected) << "virtual key " << vk;
  }
  // Back from a usage (the on-board decoder reads keys this way).
  for (const auto& [vk, usage] : table) EXPECT_EQ(VirtualKeyOfUsage(static_cast<uint8_t>(usage)), vk) << usage;
  for (uint8_t usage : {0, 1, 3, 100, 102, 232, 255}) EXPECT_EQ(VirtualKeyOfUsage(usage), 0) << int{usage};
}

}  // namespace
}  // namespace orv
