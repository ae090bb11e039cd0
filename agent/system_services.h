#pragma once
// The agent's surroundings on a real system: the platform layer's desktop services, the bus's
// Qt window timers that deliver WM_TIMER through the window's queue, and the driver's control
// device socket.
#include "agent/agent_services.h"
#include "link/qt/window_timers.h"
#include "link/window_bus.h"

namespace orv {

class SystemDesktop : public AgentDesktop {
 public:
  pid_t ForegroundProcessId() override;
  bool TakeProcessSnapshot(std::vector<ProcessEntry>& out) override;
  bool SetDoubleClickTime(int ms) override;
  bool SetMouseSpeed(int speed) override;
  bool SetWheelScrollLines(int lines) override;
  bool LaunchProgram(const std::string& path) override;
};

// The agent's window timers are the bus's (link/qt/window_timers.h): never early, no pile of
// ticks, periods on the process's time scale.
class QtWindowTimers : public WindowTimers {
 public:
  explicit QtWindowTimers(double timeScale) : timers_(timeScale) {}
  void SetWindow(WindowHandle window) { timers_.SetWindow(window); }
  void SetTimer(uint32_t id, uint32_t periodMs) override { timers_.SetTimer(id, periodMs); }
  void KillTimer(uint32_t id) override { timers_.KillTimer(id); }
  void TickHandled(uint32_t id) override { timers_.TickHandled(id); }

 private:
  BusWindowTimers timers_;
};

// Opens the driver's control device socket and hands it the event semaphore.
DeviceOpener SystemDeviceOpener();

}  // namespace orv
