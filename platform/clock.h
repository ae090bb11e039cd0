#pragma once
// Every pause and every tick count of the programs goes through a Clock, so that tests can
// run the long timed sequences (macros, firmware and on-board transfers) on a virtual clock
// and process-level tests on a scaled one.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace orv {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds of clock time since an arbitrary start; wraps around at 2^32 like a tick count.
  virtual uint32_t TickCount() = 0;
  // Waits `ms` milliseconds of clock time.
  virtual void Sleep(uint32_t ms) = 0;
};

// Real time, each pause shortened by `scale` (1 = as written, 0.05 = twenty times faster). The
// tick count runs faster by the same factor, so pauses and tick counts stay consistent.
class ScaledClock : public Clock {
 public:
  explicit ScaledClock(double scale = 1.0);
  uint32_t TickCount() override;
  void Sleep(uint32_t ms) override;
  double Scale() const { return scale_; }

 private:
  double scale_;
  std::chrono::steady_clock::time_point start_;
};

// Time that moves only when someone sleeps: no waiting at all, and every pause recorded.
class VirtualClock : public Clock {
 public:
  uint32_t TickCount() override { return static_cast<uint32_t>(now_.load()); }
  void Sleep(uint32_t ms) override;
  // Moves time without recording a pause (what happens elsewhere meanwhile).
  void Advance(uint32_t ms) { now_ += ms; }
  // The pauses taken so far, in order.
  std::vector<uint32_t> Pauses() const;
  // Their sum.
  uint64_t TotalPaused() const;
  void ClearPauses();

 private:
  std::atomic<uint64_t> now_{0};
  mutable std::mutex mutex_;
  std::vector<uint32_t> pauses_;
};

// The time scale set for this process by ORV_TIME_SCALE (a positive number; 1 when unset or
// not a positive number).
double TimeScaleFromEnvironment();
// The clock of this process: a ScaledClock with the scale from the environment.
Clock& ProcessClock();

}  // namespace orv
