#include "profile/records.h"

#include "base/text.h"

#include <cstring>
#include <string>

namespace orv {
namespace {

bool ReplaceOutside(int32_t& value, int32_t low, int32_t high, int32_t fallback) {
  if (value >= low && value <= high) return false;
  value = fallback;
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
  replaced |= ReplaceOutside(set.profileId, 0, 9, 0);
  replaced |= ReplaceOutside(set.pollingRate, 1, 3, 2);
  replaced |= ReplaceOutside(set.liftDistance, 1, 3, 1);
  replaced |= ReplaceOutside(set.gameMode, 0, 1, 0);
  for (int i = 0; i < kProfileCount; ++i) {
    Profile& p = set.profiles[i];
    if (p.profileName[0] == 0) CopyText(p.profileName, u"Profile " + ToUtf16(std::to_string(i + 1)));
    replaced |= ReplaceOutside(p.dpiStep, 1, 6, 6);
    replaced |= ReplaceOutside(p.doubleClickSpeed, 150, 950, 500);
    replaced |= ReplaceOutside(p.scrollSpeed, 1, 18, 10);
    replaced |= ReplaceOutside(p.sensitivity, 1, 20, 10);
    replaced |= ReplaceOutside(p.advanceSensitivityX, 1, 18, 10);
    replaced |= ReplaceOutside(p.advanceSensitivityY, 1, 18, 10);
    replaced |= ReplaceOutside(p.ledColor, 1, 0xFFFFFF, 0x3CFF);
    replaced |= ReplaceOutside(p.ledIntensity, 1, 4, 4);
    replaced |= ReplaceOutside(p.ledPulsation, 1, 4, 3);
    for (int b = 0; b < kButtonCount; ++b) {
      ButtonAssignment& a = p.buttons[b];
      if (ReplaceOutside(a.code, 1, 1200, kDefaultButtonCodes[b])) {
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
