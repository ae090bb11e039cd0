#pragma once
// The rules of writing a profile into the mouse's own memory, as the panel applies them before
// and while the agent writes: the units a profile needs, the memory gauge, the check of what
// the mouse cannot hold, and the pacing of the progress window.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "profile/records.h"

namespace orv {

// The capacity assumed until the agent reports the mouse's memory size.
inline constexpr int kDefaultOnboardCapacity = 4096;

inline constexpr std::u16string_view kUndefinedFunctionMessage = u"NO define Function";
inline constexpr std::u16string_view kReduceMacroSizeMessage = u"Please reduce Macro Size.";
inline constexpr std::u16string_view kOnboardFailureMessage = u"Failure to save macro on Board";
inline constexpr std::u16string_view kLoopingMessage =
    u"Please reduce loop times of macro less than 256 times if you want to save the profile on-board.";
inline constexpr std::u16string_view kProfileSwitchingMessage =
    u"The \"Change Profile\" functions that has found in this profile can not be saved on-board. Please remove "
    u"all \"Change Profile\" functions if you want to save the profile on-board.";
inline constexpr std::u16string_view kCopyPasteMessage =
    u"The macros of \"Copy & Paste\" mode that has found in this profile can not be saved on-board. Please use "
    u"the \"Text / Record Delay / No Delay\" macro modes to create these macros if you want to save the "
    u"profile on-board.";

// The on-board units of the profile's fourteen buttons. A code the table does not know adds
// nothing and is reported to `undefined` (with the button's index), once per such button.
int NeededUnits(const Profile& profile, const std::function<void(int button)>& undefined = {});

// What keeps a profile out of the mouse's memory.
enum class OnboardRefusal { kNone, kLooping, kProfileSwitching, kCopyPaste };
// Looks at the buttons in order 1 to 14; every offending button sets the reason, so the last
// one decides.
OnboardRefusal CheckOnboardContent(const Profile& profile);
// The message of a reason (empty for kNone).
std::u16string_view RefusalMessage(OnboardRefusal reason);

// The memory gauge of the main window.
struct Gauge {
  int units = -1;
  int capacity = kDefaultOnboardCapacity;

  // Nothing is drawn while both are 0 or less.
  bool Visible() const { return units > 0 || capacity > 0; }
  // Units over capacity, limited to 0..1 (a full bar when there is no capacity at all).
  double Fraction() const;
  // units x 100 / capacity, rounded up; 100 when there is no capacity and something is needed.
  int Percent() const;
  // "%4d%" of the percentage.
  std::u16string Text() const;
  // The filled part's right edge: 79 + 87 x fraction (the bar runs from x 79 to x 166).
  int FillRight() const;
};

// The progress window's pacing, one object per on-board save.
class ProgressModel {
 public:
  static constexpr int kTickLimit = 400;
  static constexpr float kStep = 0.02f;

  // The pace: needed units / 2048 + 1 seconds.
  static double PaceSeconds(int units);
  // The timer period: pace x 1000 / 50 ms, and never 10 ms or less (those become 10).
  static int TimerPeriodMs(double paceSeconds);

  // Without an agent window the bar starts at stage 2.
  explicit ProgressModel(bool agentPresent) : stage_(agentPresent ? 0 : 2) {}

  struct TickOutcome {
    bool close = false;    // the bar has reached 100 %: the window closes
    bool timedOut = false; // the 400th tick: show the failure, the window closes on the next tick
  };
  TickOutcome Tick();
  // UM_PROGRESS: true when the report is a failure (lParam 1), which shows the failure message;
  // then the stage advances and the bar jumps to wParam percent.
  bool Report(int64_t percent, int64_t failed);

  float fraction() const { return p_; }
  int stage() const { return stage_; }
  int ticks() const { return ticks_; }
  // The bar's right edge on the window image: 16 + 222 x p (the bar spans y 32 to 46).
  int BarRight() const;

 private:
  float p_ = 0.0f;
  int stage_;
  int ticks_ = 0;
};

}  // namespace orv
