#pragma once
// The mouse's settings as the agent pushes them and reads them back, the sensitivity steps,
// the intercept mask, putting the active profile into force and switching profiles.
#include <cstdint>
#include <mutex>

namespace orv {

class AgentConf;
class AgentDesktop;
class Clock;
class DriverChannel;
class PeerWindows;
class ProfileSets;

class DeviceSettings {
 public:
  DeviceSettings(DriverChannel& driver, Clock& clock, AgentDesktop& desktop, ProfileSets& sets, const AgentConf& conf,
                 PeerWindows& peers);
  DeviceSettings(const DeviceSettings&) = delete;
  DeviceSettings& operator=(const DeviceSettings&) = delete;

  // Each returns 1 when sent, 0 when the device is closed (SetLiftDistance and SetDeviceMode:
  // whether the requests succeeded).
  int SetPollingRate(int value);  // -1: the current set's
  int SetLedColor(int value);     // 0: the active profile's
  int SetLedIntensity(int value); // -1: the active profile's
  int SetLedPulsation(int value); // -1: the active profile's
  // Unless mode is 2 the distance is sent (code 1 for 2, 2 for 3, 0 for any other value); mode
  // 1 stops there, otherwise the mouse saves it and the value goes into all three sets.
  int SetLiftDistance(int value, int mode);
  int SetDeviceMode(bool detached);

  int ReadDpiStep();
  int SetDpiStep(int step);
  int DpiUp();
  int DpiDown();
  int SetDpiFromProfile(int value);  // -1: the active profile's

  void PushChangedSettings();
  void SetInterceptMask();
  void ApplyActiveProfile();
  // Reads the sensitivity step, polling rate and illumination back into the current set; when
  // the set then differs from the staging set it is saved and the panel told.
  void ReadSettings();

  // Makes profile `index` active: the file, the system, the mouse and the panel follow.
  void SwitchProfile(int index);
  // SwitchProfile for an open device and an index of 0-9; 1, else 0 and nothing changes.
  int SelectProfile(int index);
  // The active index moved by `step`, kept within 0-9. 1.
  int ProfileStep(int step);

 private:
  DriverChannel& driver_;
  Clock& clock_;
  AgentDesktop& desktop_;
  ProfileSets& sets_;
  const AgentConf& conf_;
  PeerWindows& peers_;
  std::recursive_mutex applyLock_;
  int32_t lastDpiStep_ = 0;
};

}  // namespace orv
