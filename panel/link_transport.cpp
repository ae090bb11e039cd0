#include "panel/link_transport.h"

#include "link/messages.h"

namespace orv {

bool LinkTransport::AgentPresent() { return bus::FindWindow(kAgentWindowTitle) != 0; }

bool LinkTransport::PostToWindow(std::u16string_view title, uint32_t code, WParam wParam, LParam lParam) {
  WindowHandle window = bus::FindWindow(title);
  return window != 0 && bus::Post(window, code, wParam, lParam);
}

}  // namespace orv
