#include "profile/records.h"

#include "base/text.h"
#include "profile/field_ranges.h"

#include <cstring>
#include <string>

namespace orv {
namespace {

bool ReplaceOutside(int32_t& value, RangedField field) {
  const FieldRange& range = RangeOf(field);
  if (range.Contains(value)) return false;
  value = range.fallback;
  return true;
}

}  // namespace

void ClearProfile(Profile& profile) { std::memset(&profile, 0, sizeof profile); }

void ResetProfileSet(ProfileSet& set) {
  std::memset(&set, 0, sizeof set);
  set.profileId = set.pollingRate = set.liftDistance = set.gameMode = -1;
  for (Profile& p : set.profiles) {
    p.dpiStep = p.doubleClickSpeed = p.scrollSpeed = p.sensitivity = -1;
    p.advanceSensitivityX = p.advanceSensitivityY = -1;
    p.ledColor = p.ledIntensity = p.ledPulsation = -1;
    for (int b = 0; b < kButtonCount; ++b) {
      p.buttons[b].buttonNumber = static_cast<uint8_t>(b + 1);
      p.buttons[b].code = -1;
    }
    for (Macro& m : p.macros) m.delayMode = kDelayAutomatic;
  }
}

bool ValidateProfileSet(ProfileSet& set) {
  bool replaced = false;
  replaced |= ReplaceOutside(set.profileId, RangedField::ProfileId);
  replaced |= ReplaceOutside(set.pollingRate, RangedField::PollingRate);
  replaced |= ReplaceOutside(set.liftDistance, RangedField::LiftDistance);
  replaced |= ReplaceOutside(set.gameMode, RangedField::GameMode);
  for (int i = 0; i < kProfileCount; ++i) {
    Profile& p = set.profiles[i];
    if (p.profileName[0] == 0) CopyText(p.profileName, u"Profile " + ToUtf16(std::to_string(i + 1)));
    replaced |= ReplaceOutside(p.dpiStep, RangedField::DpiStep);
    replaced |= ReplaceOutside(p.doubleClickSpeed, RangedField::DoubleClickSpeed);
    replaced |= ReplaceOutside(p.scrollSpeed, RangedField::ScrollSpeed);
    replaced |= ReplaceOutside(p.sensitivity, RangedField::Sensitivity);
    replaced |= ReplaceOutside(p.advanceSensitivityX, RangedField::AdvanceSensitivityX);
    replaced |= ReplaceOutside(p.advanceSensitivityY, RangedField::AdvanceSensitivityY);
    replaced |= ReplaceOutside(p.ledColor, RangedField::LedColor);
    replaced |= ReplaceOutside(p.ledIntensity, RangedField::LedIntensity);
    replaced |= ReplaceOutside(p.ledPulsation, RangedField::LedPulsation);
    for (int b = 0; b < kButtonCount; ++b) {
      ButtonAssignment& a = p.buttons[b];
      if (!RangeOf(RangedField::ButtonCode).Contains(a.code)) {
        a.code = kDefaultButtonCodes[b];
        a.buttonNumber = static_cast<uint8_t>(b + 1);
        replaced = true;
      }
    }
  }
  return replaced;
}

uint32_t CompareProfileSets(const ProfileSet& newSet, const ProfileSet& oldSet, bool sameIndex) {
  const int newIndex = ProfileIndexOrFirst(newSet.profileId);
  const int oldIndex = sameIndex ? newIndex : ProfileIndexOrFirst(oldSet.profileId);
  const Profile& n = newSet.profiles[newIndex];
  const Profile& o = oldSet.profiles[oldIndex];
  uint32_t mask = 0;
  if (n.dpiStep != o.dpiStep) mask |= CHANGED_DPI;
  if (newSet.pollingRate != oldSet.pollingRate) mask |= CHANGED_POLLING_RATE;
  if (n.ledColor != o.ledColor) mask |= CHANGED_LED_COLOR;
  if (n.ledIntensity != o.ledIntensity) mask |= CHANGED_LED_INTENSITY;
  if (n.ledPulsation != o.ledPulsation) mask |= CHANGED_LED_PULSATION;
  if (std::memcmp(newSet.profiles, oldSet.profiles, sizeof newSet.profiles) != 0 ||
      newSet.gameMode != oldSet.gameMode || newSet.pollingRate != oldSet.pollingRate) {
    mask |= CHANGED_ANY;
  }
  if (oldSet.profileId != newIndex) mask |= CHANGED_PROFILE_INDEX;
  if (std::memcmp(n.buttons, o.buttons, sizeof n.buttons) != 0) mask |= CHANGED_BUTTONS;
  return mask;
}

}  // namespace orv
