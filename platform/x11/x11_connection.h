#pragma once
// The process's one connection to the X display, on which the active window's process is asked
// and the pointer acceleration set (active_window.h, pointer_control.h).
//
// Xlib reports a failed request through a process-wide error handler and a lost connection
// through a process-wide I/O error handler, whose defaults end the process. The connection
// installs handlers that take the errors of its own display and pass those of every other
// display to the handlers that were there before. After a lost connection no further request
// may be made on it (Xlib's buffers are gone); the lease closes it and opens a new one.
#include <mutex>
#include <string>

typedef struct _XDisplay Display;

namespace orv::x11 {

// Exclusive use of the shared connection while the lease lives. The connection is opened on
// first use for the display named by DISPLAY, and opened again when DISPLAY names another
// display or the old connection was lost.
class DisplayLease {
 public:
  DisplayLease();
  ~DisplayLease() = default;
  DisplayLease(const DisplayLease&) = delete;
  DisplayLease& operator=(const DisplayLease&) = delete;

  // Null when no display answers; Why() then says why.
  Display* Get() const;
  const std::string& Why() const { return why_; }

  // True when the connection was lost during the calls made so far. Nothing more may be asked
  // of it; Reconnect() replaces it.
  bool Lost() const;
  // True when a request since the last call failed with an X error (a window that no longer
  // exists, a bad value); clears the record.
  bool TakeError();
  // Closes the connection and opens a new one.
  void Reconnect();

 private:
  std::unique_lock<std::mutex> lock_;
  std::string why_;
};

}  // namespace orv::x11
