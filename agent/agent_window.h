#pragma once
// The agent window: the agent's one hidden window and the whole of its state. The panel, the
// tray program, the event thread, the pipe thread and other programs reach the agent by
// messages to it; every action, profile change and device request runs in its handlers on the
// window thread.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "agent/agent_services.h"
#include "agent/driver_channel.h"
#include "link/message_table.h"
#include "link/pipe_channel.h"
#include "link/window_bus.h"
#include "profile/records.h"

namespace orv {

struct CatalogEntry;

// The question the agent asks before it takes the mouse's on-board profile over.
extern const char16_t kOnboardQuestion[];
struct ButtonAction;


class CMyWnd : public MessageTarget {
 public:
  static constexpr uint32_t kTimerId = 100;
  static constexpr uint32_t kTimerPeriodMs = 1000;

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

  // Operations other parts of the agent (and its tests) use.
  int SelectProfile(int index);
  int ProfileStep(int step);
  void ApplyActiveProfile();
  void PushChangedSettings();
  void SetInterceptMask();
  void ReadDeviceState();
  int ReadDpiStep();
  int SetDpiStep(int step);
  int DpiUp();
  int DpiDown();
  int SetDpiFromProfile(int value);
  int SetPollingRate(int value);
  int SetLedColor(int value);
  int SetLedIntensity(int value);
  int SetLedPulsation(int value);
  int SetLiftDistance(int value, int mode);
  int SetDeviceMode(bool detached);
  void DetectGame();
  void ReloadProfiles();
  void InitialiseDevice();
  void LaunchNotifier();
  // On-board memory and firmware.
  void WriteOnboardProfile(bool neutral);
  void OfferOnboardProfile();
  // The update from a file: `path` (null: the file named in Firmware.xml). 0 or -1.
  int UpdateFirmware(const std::u16string* path);
  void PublishFirmwareVersion();
  // Macro playback and synthesised input.
  void MacroPress(int m);
  // The release of macro m of a profile (-1: the active one).
  void MacroRelease(int m, int profile = -1);
  void PlayMacroOnce(int m);
  void PlayKeyPair(int m, bool sendKeys, int profile = -1);
  void PasteText(std::u16string_view text, bool forGame);
  bool ForegroundIsGame();
  void SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t extra);
  void SendMouse(int32_t dx, int32_t dy, uint32_t flags, uint32_t mouseData, uint64_t extra);
  void ButtonPressed(int id);
  void ButtonReleased(int id);

  WindowHandle handle() const { return handle_; }
  const ProfileSet& currentSet() const { return *m_currentSet; }
  ProfileSet& currentSet() { return *m_currentSet; }
  const ProfileSet& previousSet() const { return *m_previousSet; }
  const ProfileSet& stagingSet() const { return *m_stagingSet; }
  DriverChannel& driver() { return driver_; }
  const std::string& confFolder() const { return confFolder_; }
  int savedProfileIndex() const { return m_savedProfileIndex; }
  int autoSwitched() const { return m_autoSwitched; }
  int onboardMemorySize() const { return m_onboardMemorySize; }
  int onboardBufferSize() const { return m_onboardBufferSize; }
  bool deviceInitialised() const { return deviceInitialised_; }
  bool attachedModeSent() const { return attachedModeSent_; }
  const std::vector<int>& heldKeys() const { return heldKeys_; }
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
  bool ReadFirmwareXml(std::u16string& file, int64_t& version);
  void WaitForConnect(int32_t before);
  void PerformPress(int button, int code);
  void PerformRelease(int button, int code, int profile);
  void Perform(const ButtonAction& action, int code, int profile);
  void SwitchProfile(int index);  // SelectProfile without the device check
  bool PanelOwnsForeground();
  void PostToWindow(std::u16string_view title, uint32_t code, WParam w, LParam l);
  void SendToWindow(std::u16string_view title, uint32_t code, WParam w, LParam l);
  void KeyEvent(int virtualKey, uint32_t flags);
  void PlayEvent(const MacroEvent& e, int (&seen)[256], uint32_t pause);
  void Sleep(uint32_t ms) { services_.clock->Sleep(ms); }
  Profile& Active() { return m_currentSet->profiles[ProfileIndexOrFirst(m_currentSet->profileId)]; }
  // Macro m of a profile; -1 for the active one.
  const Macro& MacroOf(int m, int profile) {
    return m_currentSet->profiles[ProfileIndexOrFirst(profile < 0 ? m_currentSet->profileId : profile)].macros[m];
  }

  AgentServices services_;
  WindowHandle handle_ = 0;
  bool created_ = false;
  bool destroyed_ = false;

  std::unique_ptr<ProfileSet> m_currentSet;
  std::unique_ptr<ProfileSet> m_stagingSet;
  std::unique_ptr<ProfileSet> m_previousSet;
  int32_t m_savedProfileIndex = 0;
  int32_t m_autoSwitched = 0;
  int32_t m_onboardMemorySize = 8192;
  int32_t m_onboardBufferSize = 9216;
  std::recursive_mutex m_applyLock;
  std::unique_ptr<PipeChannel> m_pipeServer;
  bool m_elevated = false;

  DriverChannel driver_;
  std::string confFolder_;  // empty when the application-data folder is unavailable
  uint32_t msgAttach_ = 0;
  uint32_t msgDiscover_ = 0;
  WindowHandle controlClient_ = 0;
  bool deviceInitialised_ = false;
  bool attachedModeSent_ = false;
  uint32_t prevExtraButtons_ = 0;
  uint32_t prevStandardButtons_ = 0;
  int32_t lastDpiStep_ = 0;
  // What the press of each logical button performed (the code, in which profile), so that its
  // release undoes that even when the profile or the window in front changed meanwhile.
  struct ButtonPress {
    bool performed = false;
    int code = 0;
    int profile = 0;
  };
  ButtonPress pressed_[kButtonCount];
  std::vector<int> heldKeys_;
  std::vector<int> repressKeys_;
  std::u16string foregroundName_ = u"unknown";
};

}  // namespace orv
