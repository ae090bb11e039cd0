#include "platform/clock.h"

#include <cstdlib>
#include <thread>

namespace orv {

ScaledClock::ScaledClock(double scale) : scale_(scale > 0 ? scale : 1.0), start_(std::chrono::steady_clock::now()) {}

uint32_t ScaledClock::TickCount() {
  const double realMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
  return static_cast<uint32_t>(static_cast<uint64_t>(realMs / scale_));
}

void ScaledClock::Sleep(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms * scale_));
}

void VirtualClock::Sleep(uint32_t ms) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pauses_.push_back(ms);
  }
  now_ += ms;
}

std::vector<uint32_t> VirtualClock::Pauses() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pauses_;
}

uint64_t VirtualClock::TotalPaused() const {
  std::lock_guard<std::mutex> lock(mutex_);
  uint64_t total = 0;
  for (uint32_t p : pauses_) total += p;
  return total;
}

void VirtualClock::ClearPauses() {
  std::lock_guard<std::mutex> lock(mutex_);
  pauses_.clear();
}

double TimeScaleFromEnvironment() {
  const char* text = std::getenv("ORV_TIME_SCALE");
  if (!text || !*text) return 1.0;
  char* end = nullptr;
  double scale = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(scale > 0) || scale > 1000) return 1.0;
  return scale;
}

Clock& ProcessClock() {
  static ScaledClock clock(TimeScaleFromEnvironment());
  return clock;
}

}  // namespace orv
