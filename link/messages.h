#pragma once
// The names both programs, the tray program and other programs share: window titles, mutex
// and pipe names, and the private message codes between windows. Both programs must use the
// same values; the codes private to one window are defined with that window.
#include <cstdint>
#include <string_view>

namespace orv {

// Window titles, found by exact match.
inline constexpr std::u16string_view kAgentWindowTitle = u"Kestrone_Zr4_V2_Mouse_Hid";
// The title the agent window carries until its creation is complete.
inline constexpr std::u16string_view kAgentProvisionalTitle = u"Kestrune_Zr4_V2_Mouse_HID";
inline constexpr std::u16string_view kPanelWindowTitle = u"Orvandel\u00AE: Tidefall\u2122 MMO Gaming Mouse";
inline constexpr std::u16string_view kAboutWindowTitle = u"Orvandel\u00AE Tidefall MMO Gaming Mouse Software - ABOUT";
inline constexpr std::u16string_view kProgressWindowTitle = u"Orvandel MMO Gaming Mouse Software - ZR4V2_PROGRESS";
inline constexpr std::u16string_view kTrayWindowTitle = u"Kestrone_Zr4_V2_TrayIcon";

// Named mutexes.
inline constexpr std::string_view kAgentMutexName = "Kestrune_Zr4_V2_Mouse_Control";
inline constexpr std::string_view kPanelMutexName = "Veltrix_Zr4_V2_AP";
inline constexpr std::string_view kPdfWarningMutexName = "Veltrix_Zr4_V2_PDF_WARNING";

// The pipe that carries the panel's messages to an agent running with higher rights.
inline constexpr std::string_view kPipeName = "ORVTidefallMouse";

// The registered control interface for other programs (the quotes belong to the names).
inline constexpr std::u16string_view kControlAttachMessage = u"'Zr4ControlAPIAttach'";
inline constexpr std::u16string_view kControlDiscoverMessage = u"'Zr4ControlAPIDiscover'";

// Private messages between processes (and the agent's own).
enum : uint32_t {
  UM_RELOAD_PROFILES = 0x4FF,        // panel -> agent: wParam 1 = also write on-board; lParam 1 = unchanged
  UM_SET_LIFT_DISTANCE = 0x544,      // panel -> agent: wParam 1-3; lParam 0 set+save, 1 set, 2 save
  UM_SET_POLLING_RATE = 0x545,       // panel -> agent: wParam polling rate
  UM_QUERY_MEMORY_SIZE = 0xB80,      // panel -> agent
  UM_SELECT_PROFILE = 0x806,         // any -> agent and panel: wParam profile index 0-9
  UM_UPDATE_FIRMWARE = 0xB6C,        // other programs -> agent: lParam 0 = file named in Firmware.xml
  UM_GET_FIRMWARE_VERSIONS = 0xB76,  // other programs -> agent
  UM_SET_DEVICE_MODE = 0x10E5,       // agent -> itself: lParam 0 attached, 1 detached
  UM_DEVICE_EVENT = 0x6BD,           // event thread -> agent window: wParam report, lParam kind
  UM_BUTTON_EVENT = 0x53C,           // agent -> panel: wParam logical button 2-13, lParam 1 pressed
  UM_PROFILE_CHANGED = 0x536,        // agent -> panel: wParam index, lParam 1 = files rewritten
  UM_DPI_CHANGED = 0x53F,            // agent -> panel: wParam step 1-6, lParam profile index
  UM_MEMORY_SIZE = 0xB77,            // agent -> panel: lParam on-board memory size in bytes
  UM_VERSION_CHANGED = 0xB71,        // agent -> About window
  UM_PROGRESS = 0xB81,               // agent or panel -> progress window: wParam 25/50/100, lParam 1 = failed
  UM_TRAY_DEVICE_REMOVED = 0x6C1,    // agent -> tray program
  UM_TRAY_DEVICE_ARRIVED = 0x6C2,    // agent -> tray program
  UM_TRAY_ICON_FLAG_SET = 0x7EC,     // panel -> tray program
};

// System messages the programs exchange.
enum : uint32_t {
  WM_CLOSE = 0x0010,
  WM_QUERYENDSESSION = 0x0011,
  WM_POWERBROADCAST = 0x0218,
  WM_DEVICECHANGE = 0x0219,
  WM_WTSSESSION_CHANGE = 0x02B1,
  WM_TIMER = 0x0113,
  WM_INPUTLANGCHANGEREQUEST = 0x0050,
};

// The first code handed out for registered messages; every registered code lies in
// kFirstRegisteredMessage..0xFFFF.
inline constexpr uint32_t kFirstRegisteredMessage = 0xC000;

// The codes an agent accepts through the world-writable pipe; everything else arriving there
// is dropped.
constexpr bool IsPipeMessage(uint32_t code) {
  return code == UM_RELOAD_PROFILES || code == UM_SET_LIFT_DISTANCE || code == UM_SET_POLLING_RATE ||
         code == UM_QUERY_MEMORY_SIZE;
}

}  // namespace orv
