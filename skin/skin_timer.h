#pragma once
// The timers of the skinned windows whose periods matter (a dialog's countdown, a scroll
// bar's repeat). By default a Qt timer of precise type, which never fires before its period;
// tests install a factory of their own and move time by hand.
#include <functional>
#include <memory>

namespace orv {

class SkinTimer {
 public:
  virtual ~SkinTimer() = default;
  // (Re)starts the timer: `onTimeout` runs after `ms`, then every `ms` unless single-shot.
  virtual void Start(int ms, bool singleShot) = 0;
  virtual void Stop() = 0;
  virtual bool Active() const = 0;
  std::function<void()> onTimeout;
};

class SkinTimerFactory {
 public:
  virtual ~SkinTimerFactory() = default;
  virtual std::unique_ptr<SkinTimer> Create() = 0;
};

// A timer from the installed factory, or a precise Qt timer when none is installed.
std::unique_ptr<SkinTimer> MakeSkinTimer();
// Installs `factory` (not owned) for the timers made from now on; null restores Qt's.
void SetSkinTimerFactory(SkinTimerFactory* factory);

}  // namespace orv
