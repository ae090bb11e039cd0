#pragma once
// Window timers on a Qt event loop: each tick arrives as WM_TIMER (wParam = the timer's id)
// in the window's queue, through the window bus.
//
// - Never early. A tick comes no sooner than one period after the timer was set or after the
//   previous tick, measured on the platform clock: Qt's precise timers are armed, and a wake-up
//   that comes before the time is due (a timer of the event loop may come a little early) arms
//   the timer again for what is left.
// - No pile of ticks. As with window timers, a tick that still waits in the window's queue is
//   not posted a second time, so a window kept busy by a long handler finds one tick, not many
//   (the window tells TickHandled when it takes one).
// - Periods are clock time: on a scaled clock (ORV_TIME_SCALE) they pass as much faster as
//   every other pause of the process.
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>

#include "link/window_bus.h"
#include "link/window_timers.h"
#include "platform/clock.h"

namespace orv {

class BusWindowTimers : public QObject, public WindowTimers {
 public:
  // `clock` measures the periods (the process clock when null); one of its milliseconds lasts
  // `timeScale` real milliseconds.
  explicit BusWindowTimers(double timeScale, Clock* clock = nullptr, QObject* parent = nullptr);
  ~BusWindowTimers() override;
  void SetWindow(WindowHandle window) { window_ = window; }
  // Starts (or restarts) timer `id`: its first tick is due `periodMs` from now.
  void SetTimer(uint32_t id, uint32_t periodMs) override;
  void KillTimer(uint32_t id) override;
  // The window has taken a tick of this timer from its queue.
  void TickHandled(uint32_t id) override;

 private:
  struct Entry {
    std::unique_ptr<QTimer> timer;
    uint32_t periodMs = 0;
    uint32_t dueAt = 0;  // clock ticks
    bool waiting = false;
  };
  void Arm(Entry& e, uint32_t clockMs);
  void Fired(uint32_t id);

  double scale_;
  Clock* clock_;
  WindowHandle window_ = 0;
  std::map<uint32_t, Entry> timers_;
};

}  // namespace orv
