#pragma once
// The agent's surroundings on a real system: the platform layer's desktop services and the
// driver's control device socket. Its timers are the bus's (link/qt/window_timers.h).
#include "agent/agent_services.h"
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

// Opens the driver's control device socket and hands it the event semaphore.
DeviceOpener SystemDeviceOpener();

}  // namespace orv
