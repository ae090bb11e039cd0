#pragma once
// The X server's pointer acceleration, set through the process's shared connection.
#include <string>

namespace orv::x11 {

enum class PointerControlResult {
  kSet,        // in force
  kNoDisplay,  // no display answers (the reason goes to `why`)
  kRefused,    // the server refused the values
};

// Pointer motion of more than `threshold` pixels is multiplied by numerator/denominator. A
// connection found lost is replaced once, so a restarted X server is reached at once.
PointerControlResult SetPointerAcceleration(int numerator, int denominator, int threshold, std::string* why = nullptr);

}  // namespace orv::x11
