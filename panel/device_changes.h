#pragma once
// The device values the panel changes at once, outside Apply: the polling rate (Tools menu),
// written to Config.xml straight away, and the lift distance, tried on the mouse first and
// kept only when the user confirms within the countdown.
#include <string_view>

#include "panel/main_state.h"
#include "panel/panel_services.h"
#include "panel/panel_store.h"

namespace orv {

inline constexpr std::u16string_view kLiftDistanceQuestion =
    u"The lift Distance has been reconfigured. Do you want to keep this setting?";
inline constexpr std::u16string_view kLiftDistanceConfirmTitle = u"LiftDistance_Confirm";

class DeviceChanges {
 public:
  DeviceChanges(PanelSets& sets, PanelStore& store, AgentTransport& agent, PanelQuestions& services, MainView& view);

  // Commands 1337, 1338, 1339: polling rate 3, 2, 1 (250, 500, 1000 Hz).
  void SetPollingRate(int command);
  // Commands 1345, 1346, 1347: lift distance 1, 2, 3. True when the new value was kept.
  bool ChangeLiftDistance(int command);
  // Command 1342: the macro warning switch.
  void ToggleMacroWarning();

  // The menu items that carry the check mark.
  static int PollingRateCommand(int pollingRate);
  static int LiftDistanceCommand(int liftDistance);
  bool MacroWarningChecked();

 private:
  PanelSets& sets_;
  PanelStore& store_;
  AgentTransport& agent_;
  PanelQuestions& services_;
  MainView& view_;
};

}  // namespace orv
