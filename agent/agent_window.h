#pragma once
// The agent window: the agent's one hidden window. The panel, the tray program, the event
// thread, the pipe thread and other programs reach the agent by messages to it; every action,
// profile change and device request runs in its handlers on the window thread.
//
// The window is the message table and the owner of the profile sets and of the driver channel;
// the work is done by collaborators, each built here with only what it needs (the driver
// channel, the clock, the desktop, the sets, the Conf files, the peer windows) and never the
// window itself:
//
//   DeviceSettings   settings pushed and read back, sensitivity steps, intercept mask,
//                    the active profile put into force, profile switching
//   MacroPlayer      synthesised input and the three kinds of macro
//   ButtonDispatch   button reports to performed functions (uses the two above)
//   GameWatcher      the game in front and the automatic profile switch
//   OnboardTransfer  the mouse's on-board memory
//   FirmwareUpdate   the firmware loader and the versions
//
// A handler decodes its message, asks a collaborator and answers; what several collaborators
// do in order (start-up, connect, disconnect) is written out here.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "agent/agent_conf.h"
#include "agent/agent_services.h"
#include "agent/button_dispatch.h"
#include "agent/device_settings.h"
#include "agent/driver_channel.h"
#include "agent/firmware_update.h"
#include "agent/game_watcher.h"
#include "agent/macro_player.h"
#include "agent/onboard_transfer.h"
#include "agent/peer_windows.h"
#include "agent/profile_sets.h"
#include "link/message_table.h"
#include "link/pipe_channel.h"
#include "link/window_bus.h"
#include "profile/records.h"

namespace orv {

class CMyWnd : public MessageTarget {
 public:
  static constexpr uint32_t kTimerId = 100;
  static constexpr uint32_t kTimerPeriodMs = 1000;
  // The wParam of the system notices the window handles.
  static constexpr WParam kDbtDeviceArrival = 0x8000;                         // WM_DEVICECHANGE
  static constexpr WParam kPbtResumeSuspend = 7, kPbtResumeAutomatic = 18;    // WM_POWERBROADCAST
  static constexpr WParam kWtsConsoleConnect = 1, kWtsConsoleDisconnect = 2;  // WM_WTSSESSION_CHANGE

  CMyWnd(AgentServices services, bool elevated);
  ~CMyWnd() override;
  CMyWnd(const CMyWnd&) = delete;
  CMyWnd& operator=(const CMyWnd&) = delete;

  // Registers the window under its provisional title and runs its creation; false when the
  // window cannot be made.
  bool Create();
  // Runs the destruction (once) and unregisters the window.
  void Destroy();
  // Called once the window has been destroyed by WM_CLOSE (the application then ends).
  std::function<void()> onDestroyed;

  LResult HandleMessage(uint32_t code, WParam wParam, LParam lParam) override;

  // What start-up and a reconnect do in order.
  void ReloadProfiles();
  void InitialiseDevice();
  void ReadDeviceState();
  void LaunchNotifier();

  // The collaborators.
  DeviceSettings& settings() { return settings_; }
  MacroPlayer& macros() { return macros_; }
  ButtonDispatch& buttons() { return buttons_; }
  GameWatcher& games() { return games_; }
  OnboardTransfer& onboard() { return onboard_; }
  FirmwareUpdate& firmware() { return firmware_; }
  DriverChannel& driver() { return driver_; }

  // State, for the tests.
  WindowHandle handle() const { return handle_; }
  const ProfileSet& currentSet() const { return sets_.current(); }
  ProfileSet& currentSet() { return sets_.current(); }
  const ProfileSet& previousSet() const { return sets_.previous(); }
  const ProfileSet& stagingSet() const { return sets_.staging(); }
  const std::string& confFolder() const { return conf_.folder(); }
  int savedProfileIndex() const { return games_.savedProfileIndex(); }
  int autoSwitched() const { return games_.autoSwitched(); }
  int onboardMemorySize() const { return onboard_.memorySize(); }
  int onboardBufferSize() const { return onboard_.bufferSize(); }
  bool deviceInitialised() const { return deviceInitialised_; }
  bool attachedModeSent() const { return attachedModeSent_; }
  const std::vector<int>& heldKeys() const { return macros_.heldKeys(); }
  uint32_t attachMessage() const { return msgAttach_; }
  uint32_t discoverMessage() const { return msgDiscover_; }

 private:
  // Message handlers.
  LResult OnDeviceEvent(WParam, LParam);
  LResult OnReloadProfiles(WParam, LParam);
  LResult OnSetLiftDistance(WParam, LParam);
  LResult OnSetPollingRate(WParam, LParam);
  LResult OnQueryMemorySize(WParam, LParam);
  LResult OnSelectProfile(WParam, LParam);
  LResult OnSetDeviceMode(WParam, LParam);
  LResult OnUpdateFirmware(WParam, LParam);
  LResult OnGetFirmwareVersions(WParam, LParam);
  LResult OnTimer(WParam, LParam);
  LResult OnSessionChange(WParam, LParam);
  LResult OnDeviceChange(WParam, LParam);
  LResult OnPowerBroadcast(WParam, LParam);
  LResult OnQueryEndSession(WParam, LParam);
  LResult OnClose(WParam, LParam);
  LResult DefaultHandler(uint32_t code, WParam, LParam);
  static const MessageEntry<CMyWnd> kMessages[];

  void OnCreate();
  void OnDestroy();
  void OnConnectEvent();
  void OnDisconnectEvent();
  void OnDeviceLost();
  void SendToWindow(std::u16string_view title, uint32_t code, WParam w, LParam l) {
    peers_.SendToWindow(title, code, w, l);
  }
  void Sleep(uint32_t ms) { services_.clock->Sleep(ms); }

  AgentServices services_;
  WindowHandle handle_ = 0;
  bool created_ = false;
  bool destroyed_ = false;

  ProfileSets sets_;
  std::unique_ptr<PipeChannel> m_pipeServer;
  bool m_elevated = false;

  DriverChannel driver_;
  AgentConf conf_;
  PeerWindows peers_;
  DeviceSettings settings_;
  MacroPlayer macros_;
  ButtonDispatch buttons_;
  GameWatcher games_;
  OnboardTransfer onboard_;
  FirmwareUpdate firmware_;

  uint32_t msgAttach_ = 0;
  uint32_t msgDiscover_ = 0;
  WindowHandle controlClient_ = 0;
  bool deviceInitialised_ = false;
  bool attachedModeSent_ = false;
};

}  // namespace orv
