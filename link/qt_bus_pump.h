#pragma once
// Runs the window bus's messages for the calling thread inside its Qt event loop.
#include <QObject>
#include <QSocketNotifier>

#include "link/window_bus.h"

namespace orv {

class QtBusPump : public QObject {
 public:
  explicit QtBusPump(QObject* parent = nullptr)
      : QObject(parent), notifier_(bus::ThreadWaitFd(), QSocketNotifier::Read, this) {
    connect(&notifier_, &QSocketNotifier::activated, this, [] { bus::DispatchPending(); });
  }

 private:
  QSocketNotifier notifier_;
};

}  // namespace orv
