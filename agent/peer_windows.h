#pragma once
// The agent's notices to the other programs' windows (panel, tray program, About window,
// progress window), each found by its title when it is needed; a window that is not there
// simply gets nothing.
#include <cstdint>
#include <string_view>

#include "link/window_bus.h"

namespace orv {

class AgentDesktop;

class PeerWindows {
 public:
  void PostToWindow(std::u16string_view title, uint32_t code, WParam w, LParam l);
  void SendToWindow(std::u16string_view title, uint32_t code, WParam w, LParam l);
  // Whether the panel's window belongs to the process in front (asked of the desktop only when
  // the panel is there).
  bool PanelOwnsForeground(AgentDesktop& desktop);
};

}  // namespace orv
