#include "panel/onboard_save.h"

#include "link/messages.h"

namespace orv {

OnboardSave::OnboardSave(EditRules& rules, PanelSets& sets, PanelStore& store, AgentTransport& agent,
                         PanelQuestions& services, MainView& view, ProgressRunner& progress, Clock& clock)
    : rules_(rules), sets_(sets), store_(store), agent_(agent), services_(services), view_(view),
      progress_(progress), clock_(clock) {}

OnboardSave::~OnboardSave() = default;

OnboardSave::Outcome OnboardSave::Start() {
  const int units = rules_.RecountUnits();
  if (rules_.gauge().capacity < units) {
    services_.WarningOne(kReduceMacroSizeMessage);
    return Outcome::kTooLarge;
  }
  const OnboardRefusal reason = CheckOnboardContent(sets_.activeWorking());
  if (reason != OnboardRefusal::kNone) {
    services_.WarningOne(RefusalMessage(reason));
    return Outcome::kRefused;
  }

  // The write thread's first step, disabling Apply, is taken here: widgets belong to the
  // window thread.
  view_.EnableApply(false);
  const bool changed = sets_.Differ();
  snapshot_ = std::make_unique<ProfileSet>(sets_.workingSet);
  threadOutcome_ = Outcome::kWritten;
  const bool agentPresent = agent_.AgentPresent();
  std::thread writer([this, changed] { WriteThread(changed); });
  progress_.RunProgress(ProgressModel::PaceSeconds(units), agentPresent);
  writer.join();

  if (threadOutcome_ == Outcome::kSaveFailed) {
    rules_.ReportApply(ApplyResult::kFailed);
  } else if (changed) {
    sets_.savedSet = *snapshot_;
  }
  snapshot_.reset();
  return threadOutcome_;
}

void OnboardSave::WriteThread(bool changed) {
  if (changed && !store_.Save(*snapshot_)) {
    // The agent would write what Config.xml still holds: tell it nothing.
    threadOutcome_ = Outcome::kSaveFailed;
  } else {
    agent_.Post(UM_RELOAD_PROFILES, 1, changed ? 0 : 1);
    if (agent_.AgentPresent()) return;
    threadOutcome_ = Outcome::kNoAgent;
  }
  // Nobody will report: end the progress window with the failure report.
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (agent_.PostToWindow(kProgressWindowTitle, UM_PROGRESS, 100, 1)) return;
    clock_.Sleep(100);
  }
}

}  // namespace orv
