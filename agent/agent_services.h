#pragma once
// What the agent needs from its surroundings, gathered so that tests can supply their own: the
// clock, the input injector, the desktop (foreground process, process list, pointer settings,
// starting programs), timers, the driver's device and the folders.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "agent/driver_channel.h"
#include "link/window_timers.h"
#include "platform/clock.h"
#include "platform/desktop/processes.h"

namespace orv {

class InputInjector;

class AgentDesktop {
 public:
  virtual ~AgentDesktop() = default;
  // The process that owns the foreground window; 0 when none is known.
  virtual pid_t ForegroundProcessId() = 0;
  // Every running process; false when no snapshot can be taken.
  virtual bool TakeProcessSnapshot(std::vector<ProcessEntry>& out) = 0;
  virtual bool SetDoubleClickTime(int ms) = 0;
  virtual bool SetMouseSpeed(int speed) = 0;
  virtual bool SetWheelScrollLines(int lines) = 0;
  // Starts a program with the shell's "open"; the result is the shell's.
  virtual bool LaunchProgram(const std::string& path) = 0;
};

struct AgentServices {
  Clock* clock = nullptr;
  InputInjector* input = nullptr;
  AgentDesktop* desktop = nullptr;
  WindowTimers* timers = nullptr;
  DeviceOpener openDevice;
  // Folder of the agent's executable and product data, with a trailing '/'.
  std::string programFolder;
  // Registers for session notices (true on success); empty when the system has no such
  // service at all, and then nothing is tried.
  std::function<bool()> registerSessionNotices;
  // Asks the user a yes/no question; empty (or without a display) the answer is no.
  std::function<bool(std::u16string_view)> askYesNo;
};

}  // namespace orv
