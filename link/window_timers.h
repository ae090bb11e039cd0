#pragma once
// Timers of one window: each tick arrives as WM_TIMER (wParam = timer id) in the window's
// queue. BusWindowTimers (link/qt/window_timers.h) runs them on a Qt event loop; tests give a
// window their own.
#include <cstdint>

namespace orv {

class WindowTimers {
 public:
  virtual ~WindowTimers() = default;
  virtual void SetTimer(uint32_t id, uint32_t periodMs) = 0;
  virtual void KillTimer(uint32_t id) = 0;
  // The window has taken a tick of this timer from its queue.
  virtual void TickHandled(uint32_t) {}
};

}  // namespace orv
