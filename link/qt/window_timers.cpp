#include "link/qt/window_timers.h"

#include <algorithm>
#include <cmath>

#include "link/messages.h"

namespace orv {

BusWindowTimers::BusWindowTimers(double timeScale, Clock* clock, QObject* parent)
    : QObject(parent), scale_(timeScale > 0 ? timeScale : 1.0), clock_(clock ? clock : &ProcessClock()) {}

BusWindowTimers::~BusWindowTimers() = default;

void BusWindowTimers::Arm(Entry& e, uint32_t clockMs) {
  // Rounded up, so that the wake-up is not early by a fraction of a millisecond either.
  int realMs = static_cast<int>(std::ceil(clockMs * scale_));
  e.timer->start(std::max(1, realMs));
}

void BusWindowTimers::SetTimer(uint32_t id, uint32_t periodMs) {
  Entry& e = timers_[id];
  if (!e.timer) {
    e.timer = std::make_unique<QTimer>();
    e.timer->setSingleShot(true);
    e.timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(e.timer.get(), &QTimer::timeout, this, [this, id] { Fired(id); });
  }
  e.periodMs = std::max<uint32_t>(1, periodMs);
  // The clock counts whole milliseconds: one more makes sure a whole period has passed.
  e.dueAt = clock_->TickCount() + e.periodMs + 1;
  Arm(e, e.periodMs + 1);
}

void BusWindowTimers::Fired(uint32_t id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  Entry& e = it->second;
  uint32_t now = clock_->TickCount();
  int32_t left = static_cast<int32_t>(e.dueAt - now);
  if (left > 0) {  // woken early: wait for the rest
    Arm(e, static_cast<uint32_t>(left));
    return;
  }
  e.dueAt = now + e.periodMs + 1;
  Arm(e, e.periodMs + 1);
  if (e.waiting || !window_) return;
  e.waiting = bus::Post(window_, WM_TIMER, id, 0);
}

void BusWindowTimers::KillTimer(uint32_t id) {
  auto it = timers_.find(id);
  if (it != timers_.end() && it->second.timer) it->second.timer->stop();
}

void BusWindowTimers::TickHandled(uint32_t id) {
  auto it = timers_.find(id);
  if (it != timers_.end()) it->second.waiting = false;
}

}  // namespace orv
