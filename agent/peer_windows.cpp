#include "agent/peer_windows.h"

#include "agent/agent_services.h"
#include "link/messages.h"

namespace orv {

void PeerWindows::PostToWindow(std::u16string_view title, uint32_t code, WParam w, LParam l) {
  if (WindowHandle h = bus::FindWindow(title)) bus::Post(h, code, w, l);
}

void PeerWindows::SendToWindow(std::u16string_view title, uint32_t code, WParam w, LParam l) {
  if (WindowHandle h = bus::FindWindow(title)) bus::SendTimeout(h, code, w, l, bus::kPeerSendTimeoutMs);
}

bool PeerWindows::PanelOwnsForeground(AgentDesktop& desktop) {
  WindowHandle panel = bus::FindWindow(kPanelWindowTitle);
  if (!panel) return false;
  pid_t owner = bus::WindowProcessId(panel);
  return owner != 0 && owner == desktop.ForegroundProcessId();
}

}  // namespace orv
