#include "platform/desktop/pointer_settings.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>

#include "base/log.h"
#include "platform/folders.h"
#include "platform/x11/pointer_control.h"

namespace orv {
namespace {

constexpr std::string_view kSection = "Orvandel\\Pointer";
constexpr std::string_view kDoubleClickTime = "DoubleClickTime";
constexpr std::string_view kMouseSpeed = "MouseSpeed";
constexpr std::string_view kWheelScrollLines = "WheelScrollLines";

// The pointer factor of each Windows speed, in 32nds.
constexpr int kFactor32[kMaxMouseSpeed] = {1,  2,  4,  8,  12, 16, 20, 24, 28,  32,
                                           40, 48, 56, 64, 72, 80, 88, 96, 104, 112};

// One change at a time within the process, so two setters never write over each other.
std::mutex g_recordMutex;

bool Record(std::string_view name, uint64_t value) {
  std::lock_guard<std::mutex> hold(g_recordMutex);
  RegistryStore store = UserRegistry();
  if (!store.Open()) return false;
  store.SetValue(kSection, name, std::to_string(value));
  return store.Commit();
}

std::optional<uint64_t> Recorded(std::string_view name) {
  RegistryStore store = UserRegistry();
  if (!store.Open()) return std::nullopt;
  std::optional<std::string> text = store.GetValue(kSection, name);
  if (!text || text->empty()) return std::nullopt;
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (ec != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return value;
}

void ApplyAcceleration(int speed) {
  static std::atomic<bool> told{false};
  const PointerAcceleration a = AccelerationForSpeed(speed);
  std::string why;
  switch (x11::SetPointerAcceleration(a.numerator, a.denominator, a.threshold, &why)) {
    case x11::PointerControlResult::kSet:
      break;
    case x11::PointerControlResult::kNoDisplay:
      if (!told.exchange(true))
        ORV_LOG(Desktop, Warning, "no X display (%s): pointer settings are recorded only", why.c_str());
      break;
    case x11::PointerControlResult::kRefused:
      ORV_LOG(Desktop, Warning, "the X server refused pointer speed %d", speed);
      break;
  }
}

}  // namespace

PointerAcceleration AccelerationForSpeed(int speed) {
  if (speed < kMinMouseSpeed || speed > kMaxMouseSpeed) speed = kDefaultMouseSpeed;
  const int numerator = kFactor32[speed - 1];
  const int divisor = std::gcd(numerator, 32);
  return {numerator / divisor, 32 / divisor, 1};
}

int SetDoubleClickTime(uint32_t ms) {
  if (ms == 0) ms = kDefaultDoubleClickTime;
  if (ms > kMaxDoubleClickTime) ms = kMaxDoubleClickTime;
  return Record(kDoubleClickTime, ms) ? 1 : 0;
}

int SetMouseSpeed(int speed) {
  if (speed < kMinMouseSpeed || speed > kMaxMouseSpeed) return 0;
  ApplyAcceleration(speed);
  return Record(kMouseSpeed, static_cast<uint64_t>(speed)) ? 1 : 0;
}

int SetWheelScrollLines(uint32_t lines) { return Record(kWheelScrollLines, lines) ? 1 : 0; }

uint32_t GetDoubleClickTime() {
  std::optional<uint64_t> v = Recorded(kDoubleClickTime);
  return v && *v >= 1 && *v <= kMaxDoubleClickTime ? static_cast<uint32_t>(*v) : kDefaultDoubleClickTime;
}

int GetMouseSpeed() {
  std::optional<uint64_t> v = Recorded(kMouseSpeed);
  return v && *v >= kMinMouseSpeed && *v <= kMaxMouseSpeed ? static_cast<int>(*v) : kDefaultMouseSpeed;
}

uint32_t GetWheelScrollLines() {
  std::optional<uint64_t> v = Recorded(kWheelScrollLines);
  return v && *v <= 0xFFFFFFFFu ? static_cast<uint32_t>(*v) : kDefaultWheelScrollLines;
}

}  // namespace orv
