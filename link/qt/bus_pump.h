#pragma once
// Runs the window bus's messages for the calling thread inside its Qt event loop, nested
// loops (QDialog::exec, QEventLoop::exec) included: see window_bus.h for what is dispatched
// there and how a window under a ModalScope is kept from being re-entered.
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
