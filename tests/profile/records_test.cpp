#include "profile/records.h"
#include "profile/field_ranges.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>

#include "base/text.h"

namespace orv {
namespace {

std::unique_ptr<ProfileSet> ValidatedDefaults() {
  auto set = std::make_unique<ProfileSet>();
  ResetProfileSet(*set);
  ValidateProfileSet(*set);
  return set;
}

TEST(ProfileSetReset, HoldsTheLoadStartingState) {
  auto set = std::make_unique<ProfileSet>();
  std::memset(set.get(), 0x5A, sizeof *set);
  ResetProfileSet(*set);
  EXPECT_EQ(set->profileId, -1);
  EXPECT_EQ(set->pollingRate, -1);
  EXPECT_EQ(set->liftDistance, -1);
  EXPECT_EQ(set->gameMode, -1);
  for (const Profile& p : set->profiles) {
    EXPECT_EQ(p.region, 0);
    EXPECT_EQ(p.profileName[0], 0);
    for (int32_t v : {p.dpiStep, p.doubleClickSpeed, p.scrollSpeed, p.sensitivity, p.advanceSensitivityX,
                      p.advanceSensitivityY, p.ledColor, p.ledIntensity, p.ledPulsation}) {
      EXPECT_EQ(v, -1);
    }
    for (int b = 0; b < kButtonCount; ++b) {
      EXPECT_EQ(p.buttons[b].buttonNumber, b + 1);
      EXPECT_EQ(p.buttons[b].code, -1);
    }
    for (const Macro& m : p.macros) {
      EXPECT_EQ(m.name[0], 0);
      EXPECT_EQ(m.loopCount, 0);
      EXPECT_EQ(m.delayMode, kDelayAutomatic);
      EXPECT_EQ(m.events[0].virtualKey, 0);
    }
  }
}

TEST(ProfileSetValidation, ResetSetBecomesTheDocumentedDefaults) {
  auto set = std::make_unique<ProfileSet>();
  ResetProfileSet(*set);
  EXPECT_TRUE(ValidateProfileSet(*set));
  EXPECT_EQ(set->profileId, 0);
  EXPECT_EQ(set->pollingRate, 2);
  EXPECT_EQ(set->liftDistance, 1);
  EXPECT_EQ(set->gameMode, 0);
  for (int i = 0; i < kProfileCount; ++i) {
    const Profile& p = set->profiles[i];
    EXPECT_EQ(ToUtf8(FieldText(p.profileName)), "Profile " + std::to_string(i + 1));
    EXPECT_EQ(p.dpiStep, 6);
    EXPECT_EQ(p.doubleClickSpeed, 500);
    EXPECT_EQ(p.scrollSpeed, 10);
    EXPECT_EQ(p.sensitivity, 10);
    EXPECT_EQ(p.advanceSensitivityX, 10);
    EXPECT_EQ(p.advanceSensitivityY, 10);
    EXPECT_EQ(p.ledColor, 0x3CFF);
    EXPECT_EQ(p.ledIntensity, 4);
    EXPECT_EQ(p.ledPulsation, 3);
    for (int b = 0; b < kButtonCount; ++b) {
      EXPECT_EQ(p.buttons[b].code, kDefaultButtonCodes[b]);
      EXPECT_EQ(p.buttons[b].buttonNumber, b + 1);
    }
  }
  // A second validation finds nothing to replace.
  EXPECT_FALSE(ValidateProfileSet(*set));
}

struct ValidationCase {
  const char* what;
  std::function<void(ProfileSet&)> change;
  std::function<int32_t(const ProfileSet&)> read;
  int32_t expected;
  bool replaced;
};

#define SET_FIELD(expr) [](ProfileSet& s) { expr; }
#define GET_FIELD(expr) [](const ProfileSet& s) -> int32_t { return expr; }

TEST(ProfileSetValidation, ReplacesOnlyValuesOutsideTheirRange) {
  const ValidationCase cases[] = {
      ValidationCase{"profileId 10", SET_FIELD(s.profileId = 10), GET_FIELD(s.profileId), 0, true},
      ValidationCase{"profileId -1", SET_FIELD(s.profileId = -1), GET_FIELD(s.profileId), 0, true},
      ValidationCase{"profileId 9 stays", SET_FIELD(s.profileId = 9), GET_FIELD(s.profileId), 9, false},
      ValidationCase{"pollingRate 0", SET_FIELD(s.pollingRate = 0), GET_FIELD(s.pollingRate), 2, true},
      ValidationCase{"pollingRate 3 stays", SET_FIELD(s.pollingRate = 3), GET_FIELD(s.pollingRate), 3, false},
      ValidationCase{"liftDistance 4", SET_FIELD(s.liftDistance = 4), GET_FIELD(s.liftDistance), 1, true},
      ValidationCase{"liftDistance 0 (restore)", SET_FIELD(s.liftDistance = 0), GET_FIELD(s.liftDistance), 1, true},
      ValidationCase{"gameMode 2", SET_FIELD(s.gameMode = 2), GET_FIELD(s.gameMode), 0, true},
      ValidationCase{"gameMode 1 stays", SET_FIELD(s.gameMode = 1), GET_FIELD(s.gameMode), 1, false},
      ValidationCase{"dpiStep 0", SET_FIELD(s.profiles[3].dpiStep = 0), GET_FIELD(s.profiles[3].dpiStep), 6, true},
      ValidationCase{"dpiStep 7", SET_FIELD(s.profiles[9].dpiStep = 7), GET_FIELD(s.profiles[9].dpiStep), 6, true},
      ValidationCase{"dpiStep 1 stays", SET_FIELD(s.profiles[0].dpiStep = 1), GET_FIELD(s.profiles[0].dpiStep), 1, false},
      ValidationCase{"doubleClickSpeed 150 stays", SET_FIELD(s.profiles[0].doubleClickSpeed = 150),
                       GET_FIELD(s.profiles[0].doubleClickSpeed), 150, false},
      ValidationCase{"doubleClickSpeed 950 stays", SET_FIELD(s.profiles[0].doubleClickSpeed = 950),
                       GET_FIELD(s.profiles[0].doubleClickSpeed), 950, false},
      ValidationCase{"doubleClickSpeed 149", SET_FIELD(s.profiles[0].doubleClickSpeed = 149),
                       GET_FIELD(s.profiles[0].doubleClickSpeed), 500, true},
      ValidationCase{"doubleClickSpeed 951", SET_FIELD(s.profiles[0].doubleClickSpeed = 951),
                       GET_FIELD(s.profiles[0].doubleClickSpeed), 500, true},
      ValidationCase{"scrollSpeed 19", SET_FIELD(s.profiles[1].scrollSpeed = 19), GET_FIELD(s.profiles[1].scrollSpeed), 10, true},
      ValidationCase{"sensitivity 20 stays", SET_FIELD(s.profiles[1].sensitivity = 20),
                       GET_FIELD(s.profiles[1].sensitivity), 20, false},
      ValidationCase{"sensitivity 21", SET_FIELD(s.profiles[1].sensitivity = 21), GET_FIELD(s.profiles[1].sensitivity), 10, true},
      ValidationCase{"advanceSensitivityX 0", SET_FIELD(s.profiles[2].advanceSensitivityX = 0),
                       GET_FIELD(s.profiles[2].advanceSensitivityX), 10, true},
      ValidationCase{"advanceSensitivityY 18 stays", SET_FIELD(s.profiles[2].advanceSensitivityY = 18),
                       GET_FIELD(s.profiles[2].advanceSensitivityY), 18, false},
      ValidationCase{"advanceSensitivityY 19", SET_FIELD(s.profiles[2].advanceSensitivityY = 19),
                       GET_FIELD(s.profiles[2].advanceSensitivityY), 10, true},
      ValidationCase{"ledColor 0 (black)", SET_FIELD(s.profiles[4].ledColor = 0), GET_FIELD(s.profiles[4].ledColor), 0x3CFF, true},
      ValidationCase{"ledColor 0x1000000", SET_FIELD(s.profiles[4].ledColor = 0x1000000),
                       GET_FIELD(s.profiles[4].ledColor), 0x3CFF, true},
      ValidationCase{"ledColor 0xFFFFFF stays", SET_FIELD(s.profiles[4].ledColor = 0xFFFFFF),
                       GET_FIELD(s.profiles[4].ledColor), 0xFFFFFF, false},
      ValidationCase{"ledIntensity 5", SET_FIELD(s.profiles[5].ledIntensity = 5), GET_FIELD(s.profiles[5].ledIntensity), 4, true},
      ValidationCase{"ledPulsation 0", SET_FIELD(s.profiles[5].ledPulsation = 0), GET_FIELD(s.profiles[5].ledPulsation), 3, true},
      ValidationCase{"button code 0", SET_FIELD(s.profiles[0].buttons[3].code = 0),
                       GET_FIELD(s.profiles[0].buttons[3].code), 416, true},
      ValidationCase{"button code 1201", SET_FIELD(s.profiles[0].buttons[13].code = 1201),
                       GET_FIELD(s.profiles[0].buttons[13].code), 405, true},
      ValidationCase{"button code -1", SET_FIELD(s.profiles[7].buttons[6].code = -1),
                       GET_FIELD(s.profiles[7].buttons[6].code), 401, true},
      ValidationCase{"button code 1200 stays", SET_FIELD(s.profiles[0].buttons[0].code = 1200),
                       GET_FIELD(s.profiles[0].buttons[0].code), 1200, false},
      ValidationCase{"replaced button gets its own number",
                       SET_FIELD(s.profiles[0].buttons[5].code = 0; s.profiles[0].buttons[5].buttonNumber = 77),
                       GET_FIELD(s.profiles[0].buttons[5].buttonNumber), 6, true},
      ValidationCase{"valid button keeps its number", SET_FIELD(s.profiles[0].buttons[5].buttonNumber = 77),
                       GET_FIELD(s.profiles[0].buttons[5].buttonNumber), 77, false},
      ValidationCase{"macros and region are not validated",
                       SET_FIELD(s.profiles[0].region = 99; s.profiles[0].macros[0].delayMode = 42),
                       GET_FIELD(s.profiles[0].region * 100 + s.profiles[0].macros[0].delayMode), 9942, false}};
  for (const ValidationCase& c : cases) {
    auto set = ValidatedDefaults();
    c.change(*set);
    EXPECT_EQ(ValidateProfileSet(*set), c.replaced) << c.what;
    EXPECT_EQ(c.read(*set), c.expected) << c.what;
  }
}

TEST(ProfileSetValidation, EmptyNameIsFilledWithoutCountingAsReplacement) {
  auto set = ValidatedDefaults();
  set->profiles[6].profileName[0] = 0;
  CopyText(set->profiles[2].profileName, u"Raid");
  CopyText(set->profiles[3].profileName, u"Raid");  // duplicates are allowed
  EXPECT_FALSE(ValidateProfileSet(*set));
  EXPECT_EQ(ToUtf8(FieldText(set->profiles[6].profileName)), "Profile 7");
  EXPECT_EQ(ToUtf8(FieldText(set->profiles[2].profileName)), "Raid");
  EXPECT_EQ(ToUtf8(FieldText(set->profiles[3].profileName)), "Raid");
}

TEST(ProfileSetValidation, RestoreOfOneProfileGivesItTheDefaults) {
  auto set = ValidatedDefaults();
  set->profiles[4].dpiStep = 2;
  CopyText(set->profiles[4].profileName, u"Mine");
  std::memset(&set->profiles[4], 0, sizeof(Profile));
  set->liftDistance = 0;
  EXPECT_TRUE(ValidateProfileSet(*set));
  auto defaults = ValidatedDefaults();
  // Everything before the macros is the default; the macros are empty (cleared, so their
  // delay mode is 0 rather than the reset value: macros are not validated).
  EXPECT_EQ(std::memcmp(&set->profiles[4], &defaults->profiles[4], offsetof(Profile, macros)), 0);
  for (const Macro& m : set->profiles[4].macros) {
    EXPECT_EQ(m.name[0], 0);
    EXPECT_EQ(m.delayMode, 0);
  }
  EXPECT_EQ(set->liftDistance, 1);
}

TEST(ProfileSetComparison, BitsReportWhatDiffers) {
  auto base = ValidatedDefaults();
  struct Case {
    const char* what;
    std::function<void(ProfileSet&)> change;
    uint32_t mask;
  };
  const Case cases[] = {
      {"nothing", [](ProfileSet&) {}, 0},
      {"lift distance only", [](ProfileSet& s) { s.liftDistance = 3; }, 0},
      {"game mode only", [](ProfileSet& s) { s.gameMode = 1; }, CHANGED_ANY},
      {"polling rate", [](ProfileSet& s) { s.pollingRate = 1; }, CHANGED_POLLING_RATE | CHANGED_ANY},
      {"active dpi", [](ProfileSet& s) { s.profiles[0].dpiStep = 1; }, CHANGED_DPI | CHANGED_ANY},
      {"active colour", [](ProfileSet& s) { s.profiles[0].ledColor = 0xFF0000; }, CHANGED_LED_COLOR | CHANGED_ANY},
      {"active intensity", [](ProfileSet& s) { s.profiles[0].ledIntensity = 1; }, CHANGED_LED_INTENSITY | CHANGED_ANY},
      {"active pulsation", [](ProfileSet& s) { s.profiles[0].ledPulsation = 1; }, CHANGED_LED_PULSATION | CHANGED_ANY},
      {"active button", [](ProfileSet& s) { s.profiles[0].buttons[6].code = 501; }, CHANGED_BUTTONS | CHANGED_ANY},
      {"other profile's dpi", [](ProfileSet& s) { s.profiles[5].dpiStep = 1; }, CHANGED_ANY},
      {"a macro name", [](ProfileSet& s) { CopyText(s.profiles[9].macros[49].name, u"x"); }, CHANGED_ANY},
      {"profile index", [](ProfileSet& s) { s.profileId = 3; }, CHANGED_PROFILE_INDEX},
  };
  for (const Case& c : cases) {
    auto changed = std::make_unique<ProfileSet>(*base);
    c.change(*changed);
    EXPECT_EQ(CompareProfileSets(*changed, *base, false), c.mask) << c.what;
  }
}

TEST(ProfileSetComparison, SameIndexFlagLooksAtTheNewIndexInBoth) {
  auto oldSet = ValidatedDefaults();
  oldSet->profiles[2].dpiStep = 3;  // profile 3 of the old set differs from profile 1
  auto newSet = std::make_unique<ProfileSet>(*oldSet);
  newSet->profileId = 2;
  // Own indexes: new profile 3 (step 3) against old profile 1 (step 6).
  EXPECT_EQ(CompareProfileSets(*newSet, *oldSet, false), CHANGED_DPI | CHANGED_PROFILE_INDEX);
  // Same index: profile 3 against profile 3.
  EXPECT_EQ(CompareProfileSets(*newSet, *oldSet, true), uint32_t{CHANGED_PROFILE_INDEX});
  EXPECT_EQ(CompareProfileSets(*oldSet, *oldSet, true), 0u);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// The field of a set that a row of the range table is about (profile 4 for a profile's field).
int32_t& RangedValue(ProfileSet& s, RangedField f) {
  Profile& p = s.profiles[4];
  switch (f) {
    case RangedField::ProfileId: return s.profileId;
    case RangedField::PollingRate: return s.pollingRate;
    case RangedField::LiftDistance: return s.liftDistance;
    case RangedField::GameMode: return s.gameMode;
    case RangedField::DpiStep: return p.dpiStep;
    case RangedField::DoubleClickSpeed: return p.doubleClickSpeed;
    case RangedField::ScrollSpeed: return p.scrollSpeed;
    case RangedField::Sensitivity: return p.sensitivity;
    case RangedField::AdvanceSensitivityX: return p.advanceSensitivityX;
    case RangedField::AdvanceSensitivityY: return p.advanceSensitivityY;
    case RangedField::LedColor: return p.ledColor;
    case RangedField::LedIntensity: return p.ledIntensity;
    case RangedField::LedPulsation: return p.ledPulsation;
    case RangedField::ButtonCode: return p.buttons[6].code;
  }
  return s.profileId;
}

TEST(FieldRanges, ValidationKeepsEachRangesEndsAndReplacesWhatLiesJustOutside) {
  auto set = std::make_unique<ProfileSet>();
  for (const FieldRange& r : kFieldRanges) {
    ASSERT_LT(r.min, r.max) << r.name;
    EXPECT_GE(r.step, 1) << r.name;
    // A button's fallback is its own default code.
    const int32_t fallback = r.field == RangedField::ButtonCode ? kDefaultButtonCodes[6] : r.fallback;
    EXPECT_TRUE(r.Contains(fallback)) << r.name;
    for (int32_t v : {r.min, r.max, r.min - 1, r.max + 1}) {
      ResetProfileSet(*set);
      ValidateProfileSet(*set);
      RangedValue(*set, r.field) = v;
      const bool inside = v >= r.min && v <= r.max;
      EXPECT_EQ(ValidateProfileSet(*set), !inside) << r.name << " " << v;
      EXPECT_EQ(RangedValue(*set, r.field), inside ? v : fallback) << r.name << " " << v;
      EXPECT_EQ(r.ValidOr(v), inside ? v : r.fallback) << r.name << " " << v;
    }
  }
  // The rows the panel's sliders use.
  EXPECT_EQ(RangeOf(RangedField::DoubleClickSpeed).min, 150);
  EXPECT_EQ(RangeOf(RangedField::DoubleClickSpeed).max, 950);
  EXPECT_EQ(RangeOf(RangedField::Sensitivity).max, 20);
  EXPECT_EQ(RangeOf(RangedField::AdvanceSensitivityY).max, 18);
}

}  // namespace
}  // namespace orv
