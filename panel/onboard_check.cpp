#include "panel/onboard_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "profile/function_catalog.h"

namespace orv {

int NeededUnits(const Profile& profile, const std::function<void(int)>& undefined) {
  int sum = 0;
  for (int b = 0; b < kButtonCount; ++b) {
    std::optional<int> units = OnboardUnits(profile.buttons[b].code, profile);
    if (units) {
      sum += *units;
    } else if (undefined) {
      undefined(b);
    }
  }
  return sum;
}

OnboardRefusal CheckOnboardContent(const Profile& profile) {
  OnboardRefusal reason = OnboardRefusal::kNone;
  for (int b = 0; b < kButtonCount; ++b) {
    const int code = profile.buttons[b].code;
    if (code >= 32 && code <= 43) reason = OnboardRefusal::kProfileSwitching;
    const int m = MacroIndexOfCode(code);
    if (m >= 0) {
      const Macro& macro = profile.macros[m];
      if (macro.delayMode == kDelayCopyPaste) reason = OnboardRefusal::kCopyPaste;
      if (macro.loopCount >= 256 && macro.loopSwitch == 1) reason = OnboardRefusal::kLooping;
    }
  }
  return reason;
}

std::u16string_view RefusalMessage(OnboardRefusal reason) {
  switch (reason) {
    case OnboardRefusal::kLooping: return kLoopingMessage;
    case OnboardRefusal::kProfileSwitching: return kProfileSwitchingMessage;
    case OnboardRefusal::kCopyPaste: return kCopyPasteMessage;
    case OnboardRefusal::kNone: break;
  }
  return {};
}

double Gauge::Fraction() const {
  if (units <= 0) return 0.0;
  if (capacity <= 0) return 1.0;
  return std::clamp(static_cast<double>(units) / capacity, 0.0, 1.0);
}

int Gauge::Percent() const {
  if (units <= 0) return 0;
  if (capacity <= 0) return 100;
  return static_cast<int>((static_cast<int64_t>(units) * 100 + capacity - 1) / capacity);
}

std::u16string Gauge::Text() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%4d%%", Percent());
  return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

int Gauge::FillRight() const { return 79 + static_cast<int>(87 * Fraction()); }

double ProgressModel::PaceSeconds(int units) { return units / 2048.0 + 1.0; }

int ProgressModel::TimerPeriodMs(double paceSeconds) {
  const int ms = static_cast<int>(paceSeconds * 1000.0 / 50.0);
  return ms <= 10 ? 10 : ms;
}

ProgressModel::TickOutcome ProgressModel::Tick() {
  TickOutcome out;
  // The bar creeps to 24, 49 and 99 % between the reports of 25, 50 and 100 %; the limits
  // carry a little slack so that the sums of 0.02 steps, which are never exact in binary,
  // stop where they are meant to.
  const float limits[3] = {0.22f, 0.47f, 0.97f};
  if (stage_ >= 3 || (stage_ >= 0 && p_ <= limits[stage_] + 1e-4f)) p_ += kStep;
  if (p_ >= 1.0f) out.close = true;
  if (++ticks_ == kTickLimit) {
    out.timedOut = true;
    ++stage_;
    p_ = 1.0f;
  }
  return out;
}

bool ProgressModel::Report(int64_t percent, int64_t failed) {
  ++stage_;
  p_ = static_cast<float>(percent) / 100.0f;
  return failed == 1;
}

int ProgressModel::BarRight() const { return 16 + static_cast<int>(222 * p_); }

}  // namespace orv
