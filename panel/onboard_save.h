#pragma once
// SAVE_ON_BOARD: the size and content checks, then the write thread (save, ask the agent to
// write the active profile into the mouse) beside the modal progress window, which the agent's
// UM_PROGRESS reports (or the panel's own failure report) close.
#include <memory>
#include <thread>

#include "panel/edit_rules.h"
#include "panel/main_state.h"
#include "panel/panel_services.h"
#include "panel/panel_store.h"
#include "platform/clock.h"

namespace orv {

// The progress window as the on-board save sees it.
class ProgressRunner {
 public:
  virtual ~ProgressRunner() = default;
  // Creates the progress window (found on the window bus by its title) with the pace and runs
  // it modally until it closes.
  virtual void RunProgress(double paceSeconds, bool agentPresent) = 0;
};

class OnboardSave {
 public:
  enum class Outcome {
    kTooLarge,  // "Please reduce Macro Size."
    kRefused,   // the content check's message
    kWritten,   // the agent was asked to write (its reports say how it went)
    kNoAgent,   // no agent window: the progress window was told of the failure
    kSaveFailed // Config.xml could not be written: nothing was sent, the edits are kept
  };

  OnboardSave(EditRules& rules, PanelSets& sets, PanelStore& store, AgentTransport& agent, PanelQuestions& services,
              MainView& view, ProgressRunner& progress, Clock& clock);
  ~OnboardSave();

  // The button's whole course; returns when the progress window has closed.
  Outcome Start();

 private:
  void WriteThread(bool changed);

  EditRules& rules_;
  PanelSets& sets_;
  PanelStore& store_;
  AgentTransport& agent_;
  PanelQuestions& services_;
  MainView& view_;
  ProgressRunner& progress_;
  Clock& clock_;
  // What the write thread saves: workingSet as it was when the button was clicked, so the
  // thread never reads the sets the window thread may still change.
  std::unique_ptr<ProfileSet> snapshot_;
  Outcome threadOutcome_ = Outcome::kWritten;
};

}  // namespace orv
