// The one table of the mouse's buttons, and the intercept mask derived from the function
// catalogue's pass-through buttons.
#include "device/buttons.h"

#include <gtest/gtest.h>

#include <set>

#include "device/onboard_format.h"
#include "profile/function_catalog.h"

namespace orv {
namespace {

TEST(ButtonTable, EveryLogicalButtonHasOneReportedIdAndTheStandardOnesTheirInterceptBit) {
  std::set<int> ids, logicals;
  uint32_t bits = 0;
  for (const PhysicalButton& b : kPhysicalButtons) {
    EXPECT_TRUE(ids.insert(b.id).second) << b.id;
    EXPECT_TRUE(logicals.insert(b.logical).second) << b.logical;
    EXPECT_TRUE(IsStandardButtonId(b.id) || IsExtraButtonId(b.id)) << b.id;
    // A standard button is routed by the bit of its id; an extra button always reaches the agent.
    EXPECT_EQ(b.interceptBit, IsStandardButtonId(b.id) ? 1u << b.id : 0u) << b.id;
    EXPECT_EQ(bits & b.interceptBit, 0u);
    bits |= b.interceptBit;
  }
  EXPECT_EQ(logicals.size(), static_cast<size_t>(kButtonCount));
  EXPECT_EQ(*logicals.begin(), 0);
  EXPECT_EQ(*logicals.rbegin(), kButtonCount - 1);
  EXPECT_FALSE(ids.count(kSensitivityButtonId));
}

TEST(ButtonTable, ReportedIdsMapToTheLogicalButtonsTheMouseLabels) {
  // The physical layout: the three main buttons, the two side buttons (id 3 is the back
  // button, logical 8; id 4 the forward one, logical 7), the extra buttons.
  const std::pair<int, int> map[] = {{0, 0},     {1, 1},     {2, 2},     {3, 8},     {4, 7},
                                     {1024, 5},  {1032, 6},  {1033, 10}, {1034, 9},  {1035, 11},
                                     {1036, 13}, {1037, 12}, {1038, 3},  {1039, 4}};
  for (auto [id, logical] : map) EXPECT_EQ(LogicalButtonOfId(id), logical) << id;
  for (int ignored : {-1, 5, 6, 1023, 1025, 1031, 1040, 1041, 1042})
    EXPECT_EQ(LogicalButtonOfId(ignored), -1) << ignored;
  // The on-board header's entries follow the table: ids 0-4, 1032-1039, 1024.
  const int entryIds[kOnboardEntryCount] = {0, 1, 2, 3, 4, 1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039, 1024};
  for (size_t k = 0; k < kOnboardEntryCount; ++k)
    EXPECT_EQ(kOnboardEntryButtons[k], LogicalButtonOfId(entryIds[k])) << "entry " << k;
}

// The mask as it was written out by hand before it was derived from the catalogue.
uint32_t HandWrittenMask(const Profile& p, bool gameMode) {
  if (gameMode) return 0xFF00;
  uint32_t mask = 0xFFFF;
  const ButtonAssignment* b = p.buttons;
  if (b[0].code == 1) mask &= ~0x01u;
  if (b[1].code == 2) mask &= ~0x02u;
  if (b[2].code == 101 || b[2].code == 6) mask &= ~0x04u;
  if (b[7].code == 5) mask &= ~0x10u;
  if (b[8].code == 4) mask &= ~0x08u;
  return mask;
}

TEST(InterceptMask, EveryCodeOnEveryButtonGivesTheMaskOfTheHandWrittenRule) {
  Profile p{};
  for (int b = 0; b < kButtonCount; ++b) p.buttons[b].code = kDefaultButtonCodes[b];
  int checked = 0;
  for (int button = 0; button < kButtonCount; ++button) {
    const int kept = p.buttons[button].code;
    // Every code a file can hold, and a few it cannot.
    for (int code = -1; code <= 1201; ++code) {
      p.buttons[button].code = code;
      for (bool game : {false, true}) {
        ASSERT_EQ(InterceptMask(p, game), HandWrittenMask(p, game)) << "code " << code << " on button " << button;
        ++checked;
      }
    }
    p.buttons[button].code = kept;
  }
  EXPECT_EQ(checked, kButtonCount * 1203 * 2);
  // The buttons that pass through at once: every standard bit clear.
  for (auto [b, c] : {std::pair{0, 1}, {1, 2}, {2, 6}, {7, 5}, {8, 4}}) p.buttons[b].code = c;
  EXPECT_EQ(InterceptMask(p, false), 0xFFE0u);
}

}  // namespace
}  // namespace orv
