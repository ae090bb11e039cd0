#pragma once
// The agent's surroundings on a real system: the platform layer's desktop services, Qt timers
// that deliver WM_TIMER through the window's queue, and the driver's control device socket.
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

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

// Timer ticks as WM_TIMER messages. As with window timers, a tick that is still waiting in the
// queue is not posted a second time, so a window kept busy by a long macro finds one tick, not
// a pile of them. Periods are shortened by the process's time scale.
class QtWindowTimers : public QObject, public WindowTimers {
 public:
  QtWindowTimers(double timeScale, QObject* parent = nullptr) : QObject(parent), scale_(timeScale) {}
  void SetWindow(WindowHandle window) { window_ = window; }
  void SetTimer(uint32_t id, uint32_t periodMs) override;
  void KillTimer(uint32_t id) override;
  void TickHandled(uint32_t id) override;

 private:
  struct Entry {
    std::unique_ptr<QTimer> timer;
    bool waiting = false;
  };
  double scale_;
  WindowHandle window_ = 0;
  std::map<uint32_t, Entry> timers_;
};

// Opens the driver's control device socket and hands it the event semaphore.
DeviceOpener SystemDeviceOpener();

}  // namespace orv
