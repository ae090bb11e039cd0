#include "agent/agent_window.h"

#include "link/messages.h"
#include "platform/folders.h"
#include "profile/profile_files.h"
#include "profile/settings_files.h"

namespace orv {
namespace {

constexpr int kSessionRegistrationTries = 10;
constexpr uint32_t kPbtResumeSuspend = 7;
constexpr uint32_t kPbtResumeAutomatic = 18;
constexpr uint32_t kWtsConsoleConnect = 1;
constexpr uint32_t kWtsConsoleDisconnect = 2;
constexpr WParam kCloseForSessionEnd = 0x8003;

}  // namespace

const MessageEntry<CMyWnd> CMyWnd::kMessages[] = {
    {UM_DEVICE_EVENT, &CMyWnd::OnDeviceEvent},
    {UM_RELOAD_PROFILES, &CMyWnd::OnReloadProfiles},
    {UM_SET_LIFT_DISTANCE, &CMyWnd::OnSetLiftDistance},
    {UM_SET_POLLING_RATE, &CMyWnd::OnSetPollingRate},
    {UM_QUERY_MEMORY_SIZE, &CMyWnd::OnQueryMemorySize},
    {UM_SELECT_PROFILE, &CMyWnd::OnSelectProfile},
    {UM_SET_DEVICE_MODE, &CMyWnd::OnSetDeviceMode},
    {UM_UPDATE_FIRMWARE, &CMyWnd::OnUpdateFirmware},
    {UM_GET_FIRMWARE_VERSIONS, &CMyWnd::OnGetFirmwareVersions},
    {WM_TIMER, &CMyWnd::OnTimer},
    {WM_WTSSESSION_CHANGE, &CMyWnd::OnSessionChange},
    {WM_DEVICECHANGE, &CMyWnd::OnDeviceChange},
    {WM_POWERBROADCAST, &CMyWnd::OnPowerBroadcast},
    {WM_QUERYENDSESSION, &CMyWnd::OnQueryEndSession},
    {WM_CLOSE, &CMyWnd::OnClose},
};

CMyWnd::CMyWnd(AgentServices services, bool elevated)
    : services_(std::move(services)),
      m_currentSet(std::make_unique<ProfileSet>()),
      m_stagingSet(std::make_unique<ProfileSet>()),
      m_previousSet(std::make_unique<ProfileSet>()),
      m_elevated(elevated),
      driver_(services_.openDevice) {
  ResetProfileSet(*m_stagingSet);
}

CMyWnd::~CMyWnd() { Destroy(); }

LResult CMyWnd::HandleMessage(uint32_t code, WParam w, LParam l) {
  return DispatchMessage(this, kMessages, code, w, l, [&] { return DefaultHandler(code, w, l); });
}

bool CMyWnd::Create() {
  if (created_) return handle_ != 0;
  created_ = true;
  handle_ = bus::CreateWindow(this, kAgentProvisionalTitle);
  if (!handle_) return false;
  OnCreate();
  return true;
}

void CMyWnd::OnCreate() {
  if (m_elevated) {
    m_pipeServer = std::make_unique<PipeChannel>(handle_, PipePath(kPipeName), PipeChannel::kServer);
    m_pipeServer->Start();
  }
  // Conf and Profile under the user's application-data folder; a user's Config.xml is never
  // replaced by the installed default.
  if (CreateConfFolders()) {
    confFolder_ = ConfFolder();
    CopyFileIfMissing(services_.programFolder + "Config.xml", JoinPath(confFolder_, "Config.xml"));
    MakeFolders(ProfileFolder());
  }
  if (services_.registerSessionNotices) {
    for (int i = 0; i < kSessionRegistrationTries; ++i) {
      if (services_.registerSessionNotices()) break;
      Sleep(1000);
    }
  }
  WindowHandle self = handle_;
  driver_.StartEventThread([self](uint32_t w, uint32_t l) { bus::Post(self, UM_DEVICE_EVENT, w, l); });
  if (driver_.OpenDevice()) {
    InitialiseDevice();
    LaunchNotifier();
  } else {
    if (!confFolder_.empty()) WriteFirmwareVersionFile(confFolder_, 0);
    PostToWindow(kAboutWindowTitle, UM_VERSION_CHANGED, 0, 0);
  }
  msgAttach_ = bus::RegisterMessage(kControlAttachMessage);
  msgDiscover_ = bus::RegisterMessage(kControlDiscoverMessage);
  bus::SetWindowText(handle_, kAgentWindowTitle);
}

void CMyWnd::Destroy() {
  if (!handle_ || destroyed_) return;
  destroyed_ = true;
  OnDestroy();
  bus::DestroyWindow(handle_);
}

void CMyWnd::OnDestroy() {
  services_.timers->KillTimer(kTimerId);
  if (m_pipeServer) m_pipeServer->Stop();
  SendToWindow(kAgentWindowTitle, UM_SET_DEVICE_MODE, 0, 1);
  driver_.CloseDevice();
  // The event thread's last wake-up finds no device and ends.
  driver_.SignalEventThreadStop();
  m_pipeServer.reset();
}

void CMyWnd::ReloadProfiles() {
  LoadProfileSet(confFolder_.empty() ? std::string() : JoinPath(confFolder_, "Config.xml"), *m_stagingSet);
  *m_currentSet = *m_stagingSet;
  if (!confFolder_.empty()) ReadAutoSwitchState(confFolder_, m_savedProfileIndex, m_autoSwitched);
}

void CMyWnd::InitialiseDevice() {
  IoctlResult info = driver_.Request(IOCTL_GET_DEVICE_INFO, {}, 16);
  if (info.ok && info.out.size() == 16) {
    m_onboardMemorySize = info.out[3] * 512;
    m_onboardBufferSize = m_onboardMemorySize + 100;
  }
  ReloadProfiles();
  ReadDeviceState();
  ApplyActiveProfile();
  services_.timers->SetTimer(kTimerId, kTimerPeriodMs);
  SetLiftDistance(m_currentSet->liftDistance, 0);
}

void CMyWnd::LaunchNotifier() { services_.desktop->LaunchProgram(services_.programFolder + "OrvNotifier"); }

void CMyWnd::PostToWindow(std::u16string_view title, uint32_t code, WParam w, LParam l) {
  if (WindowHandle h = bus::FindWindow(title)) bus::Post(h, code, w, l);
}

void CMyWnd::SendToWindow(std::u16string_view title, uint32_t code, WParam w, LParam l) {
  if (WindowHandle h = bus::FindWindow(title)) bus::SendTimeout(h, code, w, l, bus::kPeerSendTimeoutMs);
}

// ---- Messages from the panel and other programs --------------------------------------------

LResult CMyWnd::OnReloadProfiles(WParam w, LParam l) {
  Sleep(500);
  if (l == 0) {
    *m_previousSet = *m_currentSet;
    ReloadProfiles();
  }
  if (w == 1) WriteOnboardProfile(m_currentSet->gameMode == 1);
  if (l != 0) return 1;
  PushChangedSettings();
  driver_.Request(IOCTL_SAVE_SETTINGS);
  Sleep(100);
  ApplyActiveProfile();
  return 1;
}

LResult CMyWnd::OnSetLiftDistance(WParam w, LParam l) {
  // Only the three distances and the three modes exist; anything else changes nothing.
  if (w < 1 || w > 3 || l < 0 || l > 2) return 0;
  return SetLiftDistance(static_cast<int>(w), static_cast<int>(l));
}

LResult CMyWnd::OnSetPollingRate(WParam w, LParam) {
  if (w < 1 || w > 3) return 0;  // not a polling rate: nothing stored, nothing sent
  int rate = static_cast<int>(w);
  if (rate != m_currentSet->pollingRate) {
    m_previousSet->pollingRate = m_currentSet->pollingRate;
    m_currentSet->pollingRate = rate;
    SetPollingRate(-1);
    driver_.Request(IOCTL_SAVE_SETTINGS);
  }
  return 1;
}

LResult CMyWnd::OnQueryMemorySize(WParam, LParam) {
  PostToWindow(kPanelWindowTitle, UM_MEMORY_SIZE, 0, m_onboardMemorySize);
  return 1;
}

LResult CMyWnd::OnSelectProfile(WParam w, LParam) {
  if (w >= static_cast<WParam>(kProfileCount)) return 0;  // no such profile: nothing changes
  SelectProfile(static_cast<int>(w));
  return 1;
}

LResult CMyWnd::OnSetDeviceMode(WParam, LParam l) { return SetDeviceMode(l != 0); }

// The registered control interface for other programs.
LResult CMyWnd::DefaultHandler(uint32_t code, WParam w, LParam l) {
  if (code == 0) return 0;
  if (code == msgDiscover_) {
    controlClient_ = static_cast<WindowHandle>(w);
    bus::Send(controlClient_, msgAttach_, handle_, 1);
  } else if (code == msgAttach_ && w >= 1 && w <= 6) {
    int value = static_cast<int>(l);
    int done = 0;
    switch (w) {
      case 1:
        done = SetPollingRate(value);
        break;
      case 2:
        done = value >= 0 && value < kProfileCount ? SelectProfile(value) : 0;
        break;
      case 3:
        done = SetLedColor(value);
        break;
      case 4:
        done = SetLedIntensity(value);
        break;
      case 5:
        done = SetLedPulsation(value);
        break;
      case 6:
        done = SetDpiFromProfile(value);
        break;
    }
    // Success codes 2-7, failure codes 16-21, by command.
    LResult outcome = done ? static_cast<LResult>(w) + 1 : static_cast<LResult>(w) + 15;
    if (controlClient_) bus::Send(controlClient_, msgAttach_, handle_, outcome);
  }
  return 0;
}

// ---- System messages -----------------------------------------------------------------------

LResult CMyWnd::OnTimer(WParam w, LParam) {
  services_.timers->TickHandled(static_cast<uint32_t>(w));
  if (w != kTimerId) return 0;
  DetectGame();
  if (!attachedModeSent_) {
    Sleep(50);
    attachedModeSent_ = true;
    SendToWindow(kAgentWindowTitle, UM_SET_DEVICE_MODE, 0, 0);
  }
  return 0;
}

LResult CMyWnd::OnSessionChange(WParam w, LParam) {
  if (w == kWtsConsoleConnect) {
    if (driver_.IsOpen() || driver_.OpenDevice()) {
      InitialiseDevice();
      LaunchNotifier();
    }
  } else if (w == kWtsConsoleDisconnect) {
    driver_.CloseDevice();
  }
  return 0;
}

LResult CMyWnd::OnDeviceChange(WParam, LParam) {
  if (!driver_.IsOpen() && driver_.OpenDevice()) {
    InitialiseDevice();
    LaunchNotifier();
  }
  return 1;
}

LResult CMyWnd::OnPowerBroadcast(WParam w, LParam) {
  if (w == kPbtResumeAutomatic || w == kPbtResumeSuspend) {
    Sleep(500);
    SendToWindow(kAgentWindowTitle, UM_SET_DEVICE_MODE, 0, 1);
    SetLiftDistance(m_currentSet->liftDistance, 0);
    attachedModeSent_ = false;
  }
  return 1;
}

LResult CMyWnd::OnQueryEndSession(WParam, LParam) {
  bus::Send(handle_, WM_CLOSE, kCloseForSessionEnd, 0);
  return 1;
}

LResult CMyWnd::OnClose(WParam, LParam) {
  Destroy();
  if (onDestroyed) onDestroyed();
  return 0;
}

}  // namespace orv
