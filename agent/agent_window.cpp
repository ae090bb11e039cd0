#include "agent/agent_window.h"

#include <unistd.h>

#include <limits>

#include "base/log.h"
#include "device/buttons.h"
#include "link/messages.h"
#include "profile/field_ranges.h"

namespace orv {
namespace {

constexpr int kSessionRegistrationTries = 10;
constexpr WParam kCloseForSessionEnd = 0x8003;
// The lift distance's modes: set and save, set only (a trial), save only.
constexpr LParam kLastLiftDistanceMode = 2;
// The registered control interface's commands 1-6; success codes are command + 1, failure
// codes command + 15.
constexpr WParam kFirstControlCommand = 1, kLastControlCommand = 6;
constexpr LResult kControlFailureOffset = 15;
constexpr FieldRange kPollingRates = RangeOf(RangedField::PollingRate);
// The registered control interface's values: a client's window handle, a command's value.
constexpr ParamRange kControlClient{1, std::numeric_limits<WindowHandle>::max()};
constexpr ParamRange kControlValue = kInt32Value;

}  // namespace

// What each message may carry; anything else is ignored before a handler runs. A lift distance
// outside 1-3 is the default one, as long as it is a 32-bit value; a system message's values
// are only compared whole.
const MessageEntry<CMyWnd> CMyWnd::kMessages[] = {
    {UM_DEVICE_EVENT, &CMyWnd::OnDeviceEvent, kUint32Value, {kDeviceEventWord, kDeviceEventLost}},
    {UM_RELOAD_PROFILES, &CMyWnd::OnReloadProfiles, kFlagValue, kFlagValue},
    {UM_SET_LIFT_DISTANCE, &CMyWnd::OnSetLiftDistance, kInt32Value, {0, kLastLiftDistanceMode}},
    {UM_SET_POLLING_RATE, &CMyWnd::OnSetPollingRate, {kPollingRates.min, kPollingRates.max}, kZeroValue},
    {UM_QUERY_MEMORY_SIZE, &CMyWnd::OnQueryMemorySize, kZeroValue, kZeroValue},
    {UM_SELECT_PROFILE, &CMyWnd::OnSelectProfile, {0, kProfileCount - 1}, kZeroValue},
    {UM_SET_DEVICE_MODE, &CMyWnd::OnSetDeviceMode, kZeroValue, kFlagValue},
    {UM_UPDATE_FIRMWARE, &CMyWnd::OnUpdateFirmware, kZeroValue, kAnyValue},
    {UM_GET_FIRMWARE_VERSIONS, &CMyWnd::OnGetFirmwareVersions, kZeroValue, kZeroValue},
    {WM_TIMER, &CMyWnd::OnTimer, kUint32Value, kAnyValue},
    {WM_WTSSESSION_CHANGE, &CMyWnd::OnSessionChange, kAnyValue, kAnyValue},
    {WM_DEVICECHANGE, &CMyWnd::OnDeviceChange, kAnyValue, kAnyValue},
    {WM_POWERBROADCAST, &CMyWnd::OnPowerBroadcast, kAnyValue, kAnyValue},
    {WM_QUERYENDSESSION, &CMyWnd::OnQueryEndSession, kAnyValue, kAnyValue},
    {WM_CLOSE, &CMyWnd::OnClose, kAnyValue, kAnyValue},
};

CMyWnd::CMyWnd(AgentServices services, bool elevated)
    : services_(std::move(services)),
      m_elevated(elevated),
      driver_(services_.openDevice),
      settings_(driver_, *services_.clock, *services_.desktop, sets_, conf_, peers_),
      macros_(*services_.input, *services_.clock, *services_.desktop, sets_),
      buttons_(settings_, macros_, peers_, *services_.desktop, *services_.clock, sets_),
      games_(*services_.desktop, sets_, settings_, conf_),
      onboard_(driver_, *services_.clock, sets_, peers_, services_.askYesNo),
      firmware_(driver_, *services_.clock, conf_, peers_, services_.programFolder) {}

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
  // Conf and Profile under the user's application-data folder.
  conf_.Prepare(services_.programFolder);
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
    ORV_LOG(Agent, Info, "no device at start-up");
    firmware_.PublishNoFirmware();
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
  // Nothing the agent pressed stays down after it.
  buttons_.ReleaseAll();
  SendToWindow(kAgentWindowTitle, UM_SET_DEVICE_MODE, 0, 1);
  driver_.CloseDevice();
  // The event thread's last wake-up finds no device and ends.
  driver_.SignalEventThreadStop();
  m_pipeServer.reset();
}

void CMyWnd::ReloadProfiles() {
  conf_.LoadSet(sets_.staging());
  sets_.current() = sets_.staging();
  games_.LoadState();
}

void CMyWnd::InitialiseDevice() {
  onboard_.ReadMemorySize();
  ReloadProfiles();
  ReadDeviceState();
  settings_.ApplyActiveProfile();
  services_.timers->SetTimer(kTimerId, kTimerPeriodMs);
  settings_.SetLiftDistance(sets_.current().liftDistance, 0);
}

void CMyWnd::ReadDeviceState() {
  if (driver_.IsOpen()) firmware_.PublishFirmwareVersion();
  settings_.ReadSettings();
}

void CMyWnd::LaunchNotifier() { services_.desktop->LaunchProgram(services_.programFolder + "OrvNotifier"); }

// ---- Messages from the panel and other programs --------------------------------------------

LResult CMyWnd::OnReloadProfiles(WParam w, LParam l) {
  Sleep(500);
  if (l == 0) {
    sets_.previous() = sets_.current();
    ReloadProfiles();
  }
  if (w == 1) onboard_.WriteOnboardProfile(sets_.current().gameMode == 1);
  if (l != 0) return 1;
  settings_.PushChangedSettings();
  driver_.Request(IOCTL_SAVE_SETTINGS);
  Sleep(100);
  settings_.ApplyActiveProfile();
  return 1;
}

LResult CMyWnd::OnSetLiftDistance(WParam w, LParam l) {
  // Only the three modes exist. Any distance other than 2 and 3 is the default one (code 0):
  // the sets then keep the default's value, which is what the mouse now has.
  constexpr FieldRange distances = RangeOf(RangedField::LiftDistance);
  int value = w >= static_cast<WParam>(distances.min) && w <= static_cast<WParam>(distances.max) ? static_cast<int>(w)
                                                                                                  : distances.fallback;
  return settings_.SetLiftDistance(value, static_cast<int>(l));
}

LResult CMyWnd::OnSetPollingRate(WParam w, LParam) {
  const int rate = static_cast<int>(w);
  if (rate != sets_.current().pollingRate) {
    sets_.previous().pollingRate = sets_.current().pollingRate;
    sets_.current().pollingRate = rate;
    settings_.SetPollingRate(-1);
    driver_.Request(IOCTL_SAVE_SETTINGS);
  }
  return 1;
}

LResult CMyWnd::OnQueryMemorySize(WParam, LParam) {
  peers_.PostToWindow(kPanelWindowTitle, UM_MEMORY_SIZE, 0, onboard_.memorySize());
  return 1;
}

LResult CMyWnd::OnSelectProfile(WParam w, LParam) {
  settings_.SelectProfile(static_cast<int>(w));
  return 1;
}

LResult CMyWnd::OnSetDeviceMode(WParam, LParam l) { return settings_.SetDeviceMode(l != 0); }

LResult CMyWnd::OnUpdateFirmware(WParam, LParam l) {
  // Another process cannot hand the agent an address in the agent's memory: from there only
  // the file named in Firmware.xml is accepted.
  if (l != 0 && bus::CurrentSenderProcessId() != ::getpid()) return -1;
  if (l == 0) return firmware_.UpdateFirmware(nullptr);
  return firmware_.UpdateFirmware(reinterpret_cast<const std::u16string*>(l));
}

LResult CMyWnd::OnGetFirmwareVersions(WParam, LParam) { return firmware_.FirmwareVersions(); }

// The registered control interface for other programs.
LResult CMyWnd::DefaultHandler(uint32_t code, WParam w, LParam l) {
  if (code == 0) return 0;
  if (code == msgDiscover_) {
    if (!kControlClient.Holds(w)) return 0;
    controlClient_ = static_cast<WindowHandle>(w);
    bus::SendTimeout(controlClient_, msgAttach_, handle_, 1, bus::kPeerSendTimeoutMs);
  } else if (code == msgAttach_ && w >= kFirstControlCommand && w <= kLastControlCommand && kControlValue.Holds(l)) {
    int value = static_cast<int>(l);
    int done = 0;
    switch (w) {
      case 1:
        done = settings_.SetPollingRate(value);
        break;
      case 2:
        done = settings_.SelectProfile(value);  // which refuses an index outside 0-9
        break;
      case 3:
        done = settings_.SetLedColor(value);
        break;
      case 4:
        done = settings_.SetLedIntensity(value);
        break;
      case 5:
        done = settings_.SetLedPulsation(value);
        break;
      case 6:
        done = settings_.SetDpiFromProfile(value);
        break;
    }
    // Success codes 2-7, failure codes 16-21, by command.
    LResult outcome = done ? static_cast<LResult>(w) + 1 : static_cast<LResult>(w) + kControlFailureOffset;
    if (controlClient_) bus::SendTimeout(controlClient_, msgAttach_, handle_, outcome, bus::kPeerSendTimeoutMs);
  }
  return 0;
}

// ---- The device's events ----------------------------------------------------------------------

LResult CMyWnd::OnDeviceEvent(WParam w, LParam l) {
  uint32_t report = static_cast<uint32_t>(w);
  if (l == kDeviceEventExtra) {
    buttons_.ExtraReport(report);
    return 1;
  }
  if (l == kDeviceEventLost) {
    OnDeviceLost();
    return 1;
  }
  uint32_t kind = EventKind(report);
  if (kind == kEventKindConnect) {
    OnConnectEvent();
  } else if (kind == kEventKindDisconnect) {
    OnDisconnectEvent();
  } else if (kind == 0 && report < kStandardReportLimit) {
    buttons_.StandardReport(report);
  }
  return 1;
}

void CMyWnd::OnConnectEvent() {
  Sleep(500);
  if (!deviceInitialised_) {
    deviceInitialised_ = true;
    ReloadProfiles();
    onboard_.OfferOnboardProfile();
    ReadDeviceState();
    settings_.SetInterceptMask();
  }
  SendToWindow(kTrayWindowTitle, UM_TRAY_DEVICE_ARRIVED, 0, 0);
  services_.timers->SetTimer(kTimerId, kTimerPeriodMs);
  settings_.SetLiftDistance(sets_.current().liftDistance, 0);
}

void CMyWnd::OnDisconnectEvent() {
  services_.timers->KillTimer(kTimerId);
  attachedModeSent_ = false;
  deviceInitialised_ = false;
  // The mouse's releases will not come: what its buttons hold down goes up now.
  buttons_.ReleaseAll();
  SendToWindow(kTrayWindowTitle, UM_TRAY_DEVICE_REMOVED, 0, 0);
  firmware_.PublishNoFirmware();
}

void CMyWnd::OnDeviceLost() {
  ORV_LOG(Agent, Warning, "the device has gone away; what its buttons held down is released");
  buttons_.ReleaseAll();
}

// ---- System messages -----------------------------------------------------------------------

LResult CMyWnd::OnTimer(WParam w, LParam) {
  services_.timers->TickHandled(static_cast<uint32_t>(w));
  if (w != kTimerId) return 0;
  games_.DetectGame();
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
    settings_.SetLiftDistance(sets_.current().liftDistance, 0);
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
