#pragma once
// Game detection: once a second the process that owns the foreground window is compared with
// the games linked to the profiles; the first profile naming it becomes active, and leaving the
// game restores the profile that was active before. The state of such a switch is kept in
// Config.xml.
#include <cstdint>
#include <string>

namespace orv {

class AgentConf;
class AgentDesktop;
class DeviceSettings;
class ProfileSets;

class GameWatcher {
 public:
  GameWatcher(AgentDesktop& desktop, const ProfileSets& sets, DeviceSettings& settings, const AgentConf& conf);
  GameWatcher(const GameWatcher&) = delete;
  GameWatcher& operator=(const GameWatcher&) = delete;

  void DetectGame();
  // Takes the switch state kept in Config.xml (after a reload of the sets).
  void LoadState();

  int savedProfileIndex() const { return savedProfileIndex_; }
  int autoSwitched() const { return autoSwitched_; }

 private:
  AgentDesktop& desktop_;
  const ProfileSets& sets_;
  DeviceSettings& settings_;
  const AgentConf& conf_;
  int32_t savedProfileIndex_ = 0;
  int32_t autoSwitched_ = 0;
  std::u16string foregroundName_ = u"unknown";
};

}  // namespace orv
