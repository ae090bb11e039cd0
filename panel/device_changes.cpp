#include "panel/device_changes.h"

#include "link/messages.h"

namespace orv {

DeviceChanges::DeviceChanges(PanelSets& sets, PanelStore& store, AgentTransport& agent, PanelQuestions& services,
                             MainView& view)
    : sets_(sets), store_(store), agent_(agent), services_(services), view_(view) {}

void DeviceChanges::SetPollingRate(int command) {
  if (command < ID_RATE_250 || command > ID_RATE_1000) return;
  const int rate = ID_RATE_1000 - command + 1;  // 1337 -> 3, 1338 -> 2, 1339 -> 1
  if (rate != sets_.workingSet.pollingRate) view_.EnableApply(true);
  sets_.workingSet.pollingRate = rate;
  bus::SendOutcome outcome;
  agent_.Send(UM_SET_POLLING_RATE, static_cast<WParam>(rate), 0, &outcome);
  // An agent that does not answer may not have the message at all (one taken as hung is sent
  // nothing): queued, it sets the rate once the agent runs again. Twice is the same as once.
  if (outcome == bus::SendOutcome::kTimedOut) agent_.Post(UM_SET_POLLING_RATE, static_cast<WParam>(rate), 0);
  if (store_.WriteValue(ConfigValue::PollingRate, rate)) {
    sets_.savedSet.pollingRate = rate;
  } else {
    // Config.xml does not hold the new rate: savedSet keeps mirroring the file, so the next
    // Apply writes the rate with the rest.
    view_.EnableApply(true);
  }
}

bool DeviceChanges::ChangeLiftDistance(int command) {
  if (command < ID_LIFT_DEFAULT || command > ID_LIFT_LOWEST) return false;
  const int value = command - ID_LIFT_DEFAULT + 1;
  if (store_.ReadValue(ConfigValue::WarningThree2OptionFlag) == 0 && services_.WarningThree2() == 2) return false;
  // The mouse tries the value without keeping it. Over the pipe there is no answer: it counts
  // as accepted.
  const bool pipe = agent_.UsesPipe();
  const int kept = sets_.workingSet.liftDistance;
  bus::SendOutcome outcome;
  const LResult tried = agent_.Send(UM_SET_LIFT_DISTANCE, static_cast<WParam>(value), 1, &outcome);
  if (outcome == bus::SendOutcome::kTimedOut) {
    // The agent may still try the value when it runs again, long after the question would
    // have ended: the value Config.xml keeps is queued behind the trial to take it back.
    agent_.Post(UM_SET_LIFT_DISTANCE, static_cast<WParam>(kept), 0);
    return false;
  }
  if (tried == 0 && !pipe) return false;
  if (services_.WarningTwo(kLiftDistanceQuestion, kLiftDistanceConfirmTitle) == 1) {
    const LResult saved = agent_.Send(UM_SET_LIFT_DISTANCE, static_cast<WParam>(value), 2, &outcome);
    if (outcome == bus::SendOutcome::kTimedOut) {
      // The user kept it: the agent saves it in the mouse once it runs, and Config.xml says so
      // already (an agent that starts anew sets the mouse from Config.xml).
      agent_.Post(UM_SET_LIFT_DISTANCE, static_cast<WParam>(value), 2);
    } else if (saved == 0 && !pipe) {
      // The mouse refused to keep it: it has the trial value until it is set back.
      agent_.Send(UM_SET_LIFT_DISTANCE, static_cast<WParam>(kept), 0);
      return false;
    }
    sets_.workingSet.liftDistance = value;
    sets_.savedSet.liftDistance = value;
    store_.WriteValue(ConfigValue::LiftDistance, value);
    return true;
  }
  agent_.Send(UM_SET_LIFT_DISTANCE, static_cast<WParam>(kept), 0, &outcome);
  if (outcome == bus::SendOutcome::kTimedOut) agent_.Post(UM_SET_LIFT_DISTANCE, static_cast<WParam>(kept), 0);
  return false;
}

void DeviceChanges::ToggleMacroWarning() { store_.ToggleMacroWarning(); }

int DeviceChanges::PollingRateCommand(int pollingRate) {
  return pollingRate == 1 ? ID_RATE_1000 : pollingRate == 2 ? ID_RATE_500 : ID_RATE_250;
}

int DeviceChanges::LiftDistanceCommand(int liftDistance) {
  return liftDistance == 2 ? ID_LIFT_LOWER : liftDistance == 3 ? ID_LIFT_LOWEST : ID_LIFT_DEFAULT;
}

bool DeviceChanges::MacroWarningChecked() { return store_.ReadValue(ConfigValue::WarningOptionFlag) != 1; }

}  // namespace orv
