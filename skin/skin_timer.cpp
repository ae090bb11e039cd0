#include "skin/skin_timer.h"

#include <QTimer>

namespace orv {

namespace {

class QtSkinTimer : public SkinTimer {
 public:
  QtSkinTimer() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (onTimeout) onTimeout();
    });
  }
  void Start(int ms, bool singleShot) override {
    timer_.setSingleShot(singleShot);
    timer_.start(ms);
  }
  void Stop() override { timer_.stop(); }
  bool Active() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

SkinTimerFactory*& InstalledFactory() {
  static SkinTimerFactory* factory = nullptr;
  return factory;
}

}  // namespace

std::unique_ptr<SkinTimer> MakeSkinTimer() {
  if (SkinTimerFactory* f = InstalledFactory()) return f->Create();
  return std::make_unique<QtSkinTimer>();
}

void SetSkinTimerFactory(SkinTimerFactory* factory) { InstalledFactory() = factory; }

}  // namespace orv
