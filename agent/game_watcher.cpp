#include "agent/game_watcher.h"

#include "agent/agent_conf.h"
#include "agent/agent_services.h"
#include "agent/device_settings.h"
#include "agent/profile_sets.h"
#include "base/text.h"
#include "platform/desktop/processes.h"

namespace orv {

GameWatcher::GameWatcher(AgentDesktop& desktop, const ProfileSets& sets, DeviceSettings& settings,
                         const AgentConf& conf)
    : desktop_(desktop), sets_(sets), settings_(settings), conf_(conf) {}

void GameWatcher::LoadState() { conf_.ReadAutoSwitchState(savedProfileIndex_, autoSwitched_); }

void GameWatcher::DetectGame() {
  pid_t foreground = desktop_.ForegroundProcessId();
  std::vector<ProcessEntry> processes;
  if (!desktop_.TakeProcessSnapshot(processes)) return;
  foregroundName_ = u"unknown";
  const ProfileSet& current = sets_.current();
  int found = -1;
  for (const ProcessEntry& p : processes) {
    if (p.pid != foreground) continue;
    // While the on-screen display program is in front nothing changes.
    if (EqualsIgnoringCase(p.exeName, u"OSD.exe")) return;
    foregroundName_ = p.exeName;
    for (int profile = 0; profile < kProfileCount && found < 0; ++profile) {
      for (const auto& game : current.profiles[profile].gameNames) {
        std::u16string_view name = FieldText(game);
        if (!name.empty() && EqualsIgnoringCase(name, foregroundName_)) {
          found = profile;
          break;
        }
      }
    }
  }
  if (found >= 0 && found != current.profileId) {
    if (autoSwitched_ == 0) savedProfileIndex_ = current.profileId;
    autoSwitched_ = 1;
    settings_.SwitchProfile(found);
    conf_.WriteAutoSwitchState(savedProfileIndex_, autoSwitched_);
  } else if (found < 0 && autoSwitched_ == 1) {
    // A saved index read from a hand-edited file may be anything; only a real profile is restored.
    settings_.SwitchProfile(ProfileIndexOrFirst(savedProfileIndex_));
    autoSwitched_ = 0;
    conf_.WriteAutoSwitchState(savedProfileIndex_, autoSwitched_);
  }
}

}  // namespace orv
