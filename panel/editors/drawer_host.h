#pragma once
// What the three drawers' windows share: sliding out of the main window's edge and back on a
// timer, frame by frame as DrawerSlide gives them, with only the part of the outline that is
// out showing; telling the main window when a slide ended (UM_SLIDE_DONE); staying anchored
// beside it; and hiding while it is minimised. A slide asked for while the other one runs
// follows when that one ends.
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <memory>
#include <optional>

#include "panel/editors/drawer_slide.h"

class QWidget;

namespace orv {

class SkinTimer;

class DrawerHost : public QObject {
 public:
  explicit DrawerHost(DrawerKind kind);
  ~DrawerHost() override;

  // The drawer's window, its whole outline (none: rectangular) and the main window.
  void Attach(QWidget* window, std::optional<QRegion> outline, QWidget* mainWindow);
  bool attached() const { return window_ != nullptr; }

  void SlideOut();
  void SlideIn();
  // Beside the main window; a sliding drawer is placed when its slide ends instead.
  void Anchor();

  bool out() const { return state_ == State::kOut; }
  bool sliding() const { return state_ == State::kSlidingOut || state_ == State::kSlidingIn; }
  bool shown() const { return state_ != State::kIn; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class State { kIn, kSlidingOut, kOut, kSlidingIn };
  void Start(bool out);
  void Tick();
  void Apply(const SlideFrame& frame);
  QRect MainRect() const;

  DrawerKind kind_;
  QPointer<QWidget> window_;
  QPointer<QWidget> main_;
  std::optional<QRegion> outline_;
  std::unique_ptr<SkinTimer> timer_;
  std::optional<DrawerSlide> slide_;
  State state_ = State::kIn;
  // The slide asked for while the other ran: true out, false in.
  std::optional<bool> pending_;
  bool hiddenWithMain_ = false;
};

}  // namespace orv
