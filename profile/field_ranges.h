#pragma once
// The ranges of the numeric values of a profile set: the one place that says which values a
// field may hold, what replaces any other value, and how far one slider notch moves it.
// Validation, the agent (before it hands a value to the system or the driver) and the panel's
// sliders read it. Standard library only.
#include <cstdint>
#include <string_view>

namespace orv {

enum class RangedField : uint8_t {
  ProfileId,
  PollingRate,
  LiftDistance,
  GameMode,
  DpiStep,
  DoubleClickSpeed,
  ScrollSpeed,
  Sensitivity,
  AdvanceSensitivityX,
  AdvanceSensitivityY,
  LedColor,
  LedIntensity,
  LedPulsation,
  ButtonCode,
};

struct FieldRange {
  RangedField field;
  std::string_view name;  // the record field's name
  int32_t min;
  int32_t max;
  int32_t fallback;  // what validation puts in place of a value outside min..max
  int32_t step;      // one slider notch

  constexpr bool Contains(int32_t v) const { return v >= min && v <= max; }
  // The value itself within the range, else the fallback.
  constexpr int32_t ValidOr(int32_t v) const { return Contains(v) ? v : fallback; }
};

inline constexpr FieldRange kFieldRanges[] = {
    {RangedField::ProfileId, "profileId", 0, 9, 0, 1},
    {RangedField::PollingRate, "pollingRate", 1, 3, 2, 1},
    {RangedField::LiftDistance, "liftDistance", 1, 3, 1, 1},
    {RangedField::GameMode, "gameMode", 0, 1, 0, 1},
    {RangedField::DpiStep, "dpiStep", 1, 6, 6, 1},
    {RangedField::DoubleClickSpeed, "doubleClickSpeed", 150, 950, 500, 1},
    {RangedField::ScrollSpeed, "scrollSpeed", 1, 18, 10, 1},
    {RangedField::Sensitivity, "sensitivity", 1, 20, 10, 1},
    {RangedField::AdvanceSensitivityX, "advanceSensitivityX", 1, 18, 10, 1},
    {RangedField::AdvanceSensitivityY, "advanceSensitivityY", 1, 18, 10, 1},
    {RangedField::LedColor, "ledColor", 1, 0xFFFFFF, 0x3CFF, 1},
    {RangedField::LedIntensity, "ledIntensity", 1, 4, 4, 1},
    {RangedField::LedPulsation, "ledPulsation", 1, 4, 3, 1},
    // The fallback of a button code is the button's own default (kDefaultButtonCodes).
    {RangedField::ButtonCode, "code", 1, 1200, 0, 1},
};

constexpr const FieldRange& RangeOf(RangedField field) {
  for (const FieldRange& r : kFieldRanges)
    if (r.field == field) return r;
  return kFieldRanges[0];  // unreachable: every field has a row (checked below)
}

namespace field_ranges_detail {
constexpr bool EveryFieldOnce() {
  for (size_t i = 0; i < sizeof kFieldRanges / sizeof kFieldRanges[0]; ++i)
    if (static_cast<size_t>(kFieldRanges[i].field) != i) return false;
  return true;
}
}  // namespace field_ranges_detail
static_assert(field_ranges_detail::EveryFieldOnce(), "one row per field, in enum order");

}  // namespace orv
