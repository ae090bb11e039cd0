#include "panel/editors/drawer_host.h"

#include <QEvent>
#include <QWidget>

#include "panel/main_state.h"
#include "skin/skin_messages.h"
#include "skin/skin_timer.h"

namespace orv {

DrawerHost::DrawerHost(DrawerKind kind) : kind_(kind), timer_(MakeSkinTimer()) {
  timer_->onTimeout = [this] { Tick(); };
}

DrawerHost::~DrawerHost() {
  timer_->Stop();
  if (main_) main_->removeEventFilter(this);
}

void DrawerHost::Attach(QWidget* window, std::optional<QRegion> outline, QWidget* mainWindow) {
  window_ = window;
  outline_ = std::move(outline);
  main_ = mainWindow;
  if (main_) main_->installEventFilter(this);
  Anchor();
}

QRect DrawerHost::MainRect() const { return main_ ? main_->frameGeometry() : QRect(); }

void DrawerHost::Anchor() {
  if (!window_ || !main_ || sliding()) return;
  window_->move(DrawerAnchor(kind_, MainRect(), window_->size()));
}

void DrawerHost::SlideOut() {
  if (!window_) return;
  if (state_ == State::kSlidingIn) pending_ = true;
  else if (state_ == State::kSlidingOut) pending_.reset();  // already on its way
  else if (state_ == State::kIn) Start(true);
}

void DrawerHost::SlideIn() {
  if (!window_) return;
  if (state_ == State::kSlidingOut) pending_ = false;
  else if (state_ == State::kSlidingIn) pending_.reset();
  else if (state_ == State::kOut) Start(false);
}

void DrawerHost::Start(bool out) {
  pending_.reset();
  const QSize size = window_->size();
  slide_ = out ? DrawerSlide::Out(kind_, MainRect(), size)
               : DrawerSlide::In(kind_, MainRect(), size, window_->pos());
  state_ = out ? State::kSlidingOut : State::kSlidingIn;
  timer_->Start(slide_->periodMs(), false);
  Tick();  // the first step at once
}

void DrawerHost::Tick() {
  if (!slide_ || !window_) {
    timer_->Stop();
    return;
  }
  const SlideFrame frame = slide_->Tick();
  Apply(frame);
  if (!frame.last) return;
  timer_->Stop();
  const bool out = state_ == State::kSlidingOut;
  state_ = out ? State::kOut : State::kIn;
  const SlideCode done = slide_->doneCode();
  slide_.reset();
  PostToWindow(main_, UM_SLIDE_DONE, 0, done);
  if (pending_) {
    const bool next = *pending_;
    if (next != out) Start(next);
    pending_.reset();
  }
}

void DrawerHost::Apply(const SlideFrame& f) {
  QWidget& w = *window_;
  if (f.geometry.isValid()) w.setGeometry(f.geometry);
  if (outline_) {
    QRegion shown = *outline_;
    if (f.clip == SlideFrame::kColumnsFrom) shown &= QRect(f.clipValue, 0, w.width() - f.clipValue, w.height());
    if (f.clip == SlideFrame::kRowsBelow) shown &= QRect(0, f.clipValue + 1, w.width(), w.height());
    // An empty mask would show the whole window: an empty step hides it instead.
    if (shown.isEmpty()) {
      w.setMask(QRegion(-1, -1, 1, 1));
    } else {
      w.setMask(shown);
    }
  }
  if (f.show && !hiddenWithMain_) {
    w.show();
    w.raise();
  }
  if (f.hide) w.hide();
  w.repaint();
}

bool DrawerHost::eventFilter(QObject* watched, QEvent* event) {
  if (watched == main_ && window_ && event->type() == QEvent::WindowStateChange) {
    // Minimised with the main window, back with it.
    if (main_->isMinimized()) {
      hiddenWithMain_ = true;
      if (shown()) window_->hide();
    } else if (hiddenWithMain_) {
      hiddenWithMain_ = false;
      if (shown()) {
        window_->show();
        Anchor();
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace orv
