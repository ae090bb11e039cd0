#pragma once
// The mouse's buttons, as one table: the id each physical button is reported with, the logical
// button (the index of its assignment in a profile), the bit of the driver's intercept mask
// that routes it to the agent, and its place in the on-board header (the table's order). The
// agent's dispatch, its intercept mask, the on-board format and the simulator all read it.
#include <array>
#include <cstddef>
#include <cstdint>

#include "profile/records.h"

namespace orv {

// Standard reports carry ids 0-5 (bit i = id i); extra reports ids 1024-1041 (bit i = id 1024 + i).
inline constexpr int kStandardButtonIdCount = 6;
inline constexpr int kFirstExtraButtonId = 1024;
inline constexpr int kExtraButtonIdCount = 18;
// The extra button that reports a sensitivity change the mouse made itself.
inline constexpr int kSensitivityButtonId = 1031;

struct PhysicalButton {
  int id;                 // as reported
  int logical;            // index into Profile::buttons
  uint32_t interceptBit;  // intercept-mask bit of a standard button; 0 for an extra button
};

inline constexpr size_t kPhysicalButtonCount = 14;
// In on-board entry order.
inline constexpr PhysicalButton kPhysicalButtons[kPhysicalButtonCount] = {
    {0, 0, 0x01},    {1, 1, 0x02},    {2, 2, 0x04},    {3, 8, 0x08},   {4, 7, 0x10},
    {1032, 6, 0},    {1033, 10, 0},   {1034, 9, 0},    {1035, 11, 0},  {1036, 13, 0},
    {1037, 12, 0},   {1038, 3, 0},    {1039, 4, 0},    {1024, 5, 0},
};
static_assert(kPhysicalButtonCount == static_cast<size_t>(kButtonCount), "every logical button has one physical button");

// The logical button of a reported id; -1 for ids the agent ignores.
constexpr int LogicalButtonOfId(int id) {
  for (const PhysicalButton& b : kPhysicalButtons)
    if (b.id == id) return b.logical;
  return -1;
}

constexpr bool IsStandardButtonId(int id) { return id >= 0 && id < kStandardButtonIdCount; }
constexpr bool IsExtraButtonId(int id) { return id >= kFirstExtraButtonId && id < kFirstExtraButtonId + kExtraButtonIdCount; }

// The logical button of each on-board header entry, in entry order.
constexpr std::array<int, kPhysicalButtonCount> OnboardEntryButtons() {
  std::array<int, kPhysicalButtonCount> out{};
  for (size_t k = 0; k < kPhysicalButtonCount; ++k) out[k] = kPhysicalButtons[k].logical;
  return out;
}

// Intercept masks: every button to the agent; in game mode only the upper byte (the standard
// buttons keep their native path).
inline constexpr uint32_t kInterceptAll = 0xFFFF;
inline constexpr uint32_t kInterceptGameMode = 0xFF00;

// The intercept mask for a profile: in game mode kInterceptGameMode; otherwise kInterceptAll
// without the bit of each standard button whose code the function catalogue passes through on
// that very button (the driver then leaves the button its native meaning).
uint32_t InterceptMask(const Profile& active, bool gameMode);

}  // namespace orv
