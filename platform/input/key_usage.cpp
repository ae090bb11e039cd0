#include "platform/input/key_usage.h"

namespace orv {
namespace {

// Runs of consecutive virtual keys with consecutive usages.
struct UsageRun {
  uint16_t firstKey;
  uint16_t lastKey;
  uint8_t firstUsage;
};

constexpr UsageRun kRuns[] = {
    {8, 8, 42},       // Backspace
    {9, 9, 43},       // Tab
    {13, 13, 40},     // Enter
    {19, 19, 72},     // Pause
    {20, 20, 57},     // Caps Lock
    {27, 27, 41},     // Esc
    {32, 32, 44},     // Space
    {33, 33, 75},     // Page Up
    {34, 34, 78},     // Page Down
    {35, 35, 77},     // End
    {36, 36, 74},     // Home
    {37, 37, 80},     // Left
    {38, 38, 82},     // Up
    {39, 39, 79},     // Right
    {40, 40, 81},     // Down
    {44, 44, 70},     // Print Screen
    {45, 45, 73},     // Insert
    {46, 46, 76},     // Delete
    {48, 48, 39},     // 0
    {49, 57, 30},     // 1-9
    {65, 90, 4},      // A-Z
    {91, 91, 227},    // left Windows key
    {92, 92, 231},    // right Windows key
    {93, 93, 101},    // Application
    {95, 95, 130},    // Sleep
    {96, 96, 98},     // keypad 0
    {97, 105, 89},    // keypad 1-9
    {106, 106, 85},   // keypad *
    {107, 107, 87},   // keypad +
    {108, 108, 88},   // keypad Enter
    {109, 109, 86},   // keypad -
    {110, 110, 99},   // keypad .
    {111, 111, 84},   // keypad /
    {112, 123, 58},   // F1-F12
    {144, 144, 83},   // Num Lock
    {145, 145, 71},   // Scroll Lock
    {160, 160, 225},  // left Shift
    {161, 161, 229},  // right Shift
    {162, 162, 224},  // left Ctrl
    {163, 163, 228},  // right Ctrl
    {164, 164, 226},  // left Alt
    {165, 165, 230},  // right Alt
    {186, 186, 51},   // ;
    {187, 187, 46},   // =
    {188, 188, 54},   // ,
    {189, 189, 45},   // -
    {190, 190, 55},   // .
    {191, 191, 56},   // /
    {192, 192, 53},   // `
    {219, 219, 47},   // [
    {220, 220, 49},   // backslash
    {221, 221, 48},   // ]
    {222, 222, 52},   // '
};

}  // namespace

uint8_t KeyUsage(uint32_t virtualKey) {
  for (const UsageRun& run : kRuns)
    if (virtualKey >= run.firstKey && virtualKey <= run.lastKey)
      return static_cast<uint8_t>(run.firstUsage + (virtualKey - run.firstKey));
  return kNoKeyUsage;
}

uint16_t VirtualKeyOfUsage(uint8_t usage) {
  if (usage == kNoKeyUsage) return 0;
  for (const UsageRun& run : kRuns)
    if (usage >= run.firstUsage && usage <= run.firstUsage + (run.lastKey - run.firstKey))
      return static_cast<uint16_t>(run.firstKey + (usage - run.firstUsage));
  return 0;
}

}  // namespace orv
