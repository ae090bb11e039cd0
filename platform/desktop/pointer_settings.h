#pragma once
// The system pointer settings a profile carries: double-click time, pointer speed and wheel
// lines. Every value set is recorded in the user's settings store (UserRegistry(),
// section "Orvandel\Pointer", values "DoubleClickTime", "MouseSpeed" and "WheelScrollLines" as
// decimal strings, written on each change), and the getters read the record back. Where an X
// display answers, the speed is also put into force as the X pointer acceleration; the X server
// has no setting for the other two, so they are recorded only. Without a display one line goes
// to standard error, once per process. The setters return 1 on success and 0 on failure, as the
// Windows calls do; a value that cannot be recorded is a failure.
#include <cstdint>

namespace orv {

inline constexpr uint32_t kDefaultDoubleClickTime = 500;
inline constexpr uint32_t kMaxDoubleClickTime = 5000;
inline constexpr int kDefaultMouseSpeed = 10;
inline constexpr int kMinMouseSpeed = 1;
inline constexpr int kMaxMouseSpeed = 20;
inline constexpr uint32_t kDefaultWheelScrollLines = 3;

// Milliseconds; 0 means the default (500), more than 5000 is taken as 5000.
int SetDoubleClickTime(uint32_t ms);
// SPI_SETMOUSESPEED: 1 (slowest) to 20 (fastest), 10 moves the pointer as far as the mouse.
// Any other value fails and changes nothing.
int SetMouseSpeed(int speed);
// Lines per wheel notch; 0xFFFFFFFF is "a page at a time", as on Windows.
int SetWheelScrollLines(uint32_t lines);

// The recorded values; the defaults (500, 10, 3) when none is recorded or the record is not a
// valid value.
uint32_t GetDoubleClickTime();
int GetMouseSpeed();
uint32_t GetWheelScrollLines();

// How a speed becomes X pointer acceleration: the pointer moves by the factor the Windows speed
// gives without enhanced precision, in 32nds: 1/32, 1/16, 1/8, then 2/8 to 7/8 for 4 to 9, 1 at
// 10, then a quarter more for each step, up to 3.5 at 20. The factor applies to every motion of
// more than one pixel (threshold 1). Speeds outside 1-20 give the factor of 10.
struct PointerAcceleration {
  int numerator;
  int denominator;
  int threshold;
};
PointerAcceleration AccelerationForSpeed(int speed);

}  // namespace orv
