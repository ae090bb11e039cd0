#pragma once
// Button reports: the masks of the previous reports, the map from reported ids to logical
// buttons (device/buttons.h), forwarding to the panel while it is in front, and performing what
// the active profile assigns, as the function catalogue describes it.
#include <cstdint>

#include "profile/records.h"

namespace orv {

class AgentDesktop;
class Clock;
class DeviceSettings;
class MacroPlayer;
class PeerWindows;
class ProfileSets;
struct ButtonAction;

class ButtonDispatch {
 public:
  ButtonDispatch(DeviceSettings& settings, MacroPlayer& macros, PeerWindows& peers, AgentDesktop& desktop,
                 Clock& clock, const ProfileSets& sets);
  ButtonDispatch(const ButtonDispatch&) = delete;
  ButtonDispatch& operator=(const ButtonDispatch&) = delete;

  // A report of the standard buttons (bit i = id i) or of the extra buttons (bit i = id
  // 1024 + i): each button whose bit changed since the last report of its kind is pressed or
  // released. Nothing is performed in game mode.
  void StandardReport(uint32_t mask);
  void ExtraReport(uint32_t mask);
  void ButtonPressed(int id);
  void ButtonReleased(int id);

  // The device is gone: every button still down is let go as its press was performed (keys and
  // mouse buttons up, a single-key macro's key up; nothing else is performed), keys held by
  // macros go up, and the report masks start afresh.
  void ReleaseAll();

 private:
  void PerformPress(int button, int code);
  void PerformRelease(int button, int code, int profile);
  void Perform(const ButtonAction& action, int code, int profile);

  DeviceSettings& settings_;
  MacroPlayer& macros_;
  PeerWindows& peers_;
  AgentDesktop& desktop_;
  Clock& clock_;
  const ProfileSets& sets_;
  uint32_t prevExtraButtons_ = 0;
  uint32_t prevStandardButtons_ = 0;
  // What the press of each logical button performed (the code, in which profile), so that its
  // release undoes that even when the profile or the window in front changed meanwhile.
  struct ButtonPress {
    bool performed = false;
    int code = 0;
    int profile = 0;
  };
  ButtonPress pressed_[kButtonCount];
};

}  // namespace orv
