#include "platform/x11/pointer_control.h"

#include <X11/Xlib.h>

#include "platform/x11/x11_connection.h"

namespace orv::x11 {

PointerControlResult SetPointerAcceleration(int numerator, int denominator, int threshold, std::string* why) {
  DisplayLease lease;
  for (int attempt = 0; attempt < 2; ++attempt) {
    Display* display = lease.Get();
    if (!display) {
      if (why) *why = lease.Why();
      return PointerControlResult::kNoDisplay;
    }
    XChangePointerControl(display, True, True, numerator, denominator, threshold);
    XSync(display, False);
    const bool refused = lease.TakeError();
    if (!lease.Lost()) return refused ? PointerControlResult::kRefused : PointerControlResult::kSet;
    lease.Reconnect();
  }
  if (why) *why = lease.Why().empty() ? "the connection to the X display was lost" : lease.Why();
  return PointerControlResult::kNoDisplay;
}

}  // namespace orv::x11
