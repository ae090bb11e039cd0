#include "panel/editors/drawer_slide.h"

#include <algorithm>

namespace orv {
namespace {

constexpr int kAssignmentStep = 15, kAssignmentPeriodMs = 20;
constexpr int kIlluminationStep = 10, kIlluminationPeriodMs = 1;
constexpr int kPropertiesStep = 8, kPropertiesPeriodMs = 1;

}  // namespace

QPoint DrawerAnchor(DrawerKind kind, const QRect& mainWindow, QSize drawer) {
  // QRect's right() and bottom() are the last pixel; the edges the drawers keep to are one on.
  const int right = mainWindow.x() + mainWindow.width(), bottom = mainWindow.y() + mainWindow.height();
  switch (kind) {
    case DrawerKind::kAssignments: return {right - 20, mainWindow.y() + 88};
    case DrawerKind::kProperties: return {mainWindow.x() - drawer.width() + 18, mainWindow.y() + 85};
    case DrawerKind::kIllumination: return {mainWindow.x() + 97, bottom - 20};
  }
  return {};
}

DrawerSlide::DrawerSlide(DrawerKind kind, bool out, QSize size, QPoint base, int position)
    : kind_(kind), out_(out), size_(size), base_(base), position_(position) {}

DrawerSlide DrawerSlide::Out(DrawerKind kind, const QRect& mainWindow, QSize size) {
  switch (kind) {
    case DrawerKind::kAssignments:
      // Its base is two pixels right of where it stays; the end of the slide anchors it.
      return DrawerSlide(kind, true, size, {mainWindow.x() + mainWindow.width() - 18, mainWindow.y() + 88}, size.width());
    case DrawerKind::kIllumination:
      return DrawerSlide(kind, true, size, DrawerAnchor(kind, mainWindow, size), size.height());
    case DrawerKind::kProperties:
      return DrawerSlide(kind, true, size, {mainWindow.x() + 18, mainWindow.y() + 85}, 0);
  }
  return DrawerSlide(kind, true, size, {}, 0);
}

DrawerSlide DrawerSlide::In(DrawerKind kind, const QRect& mainWindow, QSize size, QPoint current) {
  switch (kind) {
    case DrawerKind::kAssignments: return DrawerSlide(kind, false, size, current, 0);
    case DrawerKind::kIllumination: return DrawerSlide(kind, false, size, DrawerAnchor(kind, mainWindow, size), 0);
    case DrawerKind::kProperties:
      return DrawerSlide(kind, false, size, {mainWindow.x() + 18, mainWindow.y() + 85}, size.width());
  }
  return DrawerSlide(kind, false, size, current, 0);
}

int DrawerSlide::periodMs() const {
  switch (kind_) {
    case DrawerKind::kAssignments: return kAssignmentPeriodMs;
    case DrawerKind::kIllumination: return kIlluminationPeriodMs;
    case DrawerKind::kProperties: return kPropertiesPeriodMs;
  }
  return kAssignmentPeriodMs;
}

SlideCode DrawerSlide::doneCode() const {
  switch (kind_) {
    case DrawerKind::kAssignments: return out_ ? kSlideAssignmentsOut : kSlideAssignmentsIn;
    case DrawerKind::kIllumination: return out_ ? kSlideIlluminationOut : kSlideIlluminationIn;
    case DrawerKind::kProperties: return out_ ? kSlidePropertiesOut : kSlidePropertiesIn;
  }
  return kSlideAssignmentsIn;
}

SlideFrame DrawerSlide::Tick() {
  if (done_) return last_;
  SlideFrame f;
  const bool first = first_;
  first_ = false;
  switch (kind_) {
    case DrawerKind::kAssignments: {
      // Out: each step while the offset is above 0 shows the columns from it on; the step that
      // finds it at 0 or below ends with the whole outline where the window is. In: the same
      // the other way until the offset reaches the width, then hidden.
      const bool ending = out_ ? position_ <= 0 : position_ >= size_.width();
      if (ending) {
        f = last_;
        f.clip = SlideFrame::kWhole;
        f.show = false;
        f.hide = !out_;
        f.last = true;
        break;
      }
      f.geometry = QRect(QPoint(base_.x() - position_, base_.y()), size_);
      f.clip = SlideFrame::kColumnsFrom;
      f.clipValue = position_;
      f.show = out_ && first;
      position_ += out_ ? -kAssignmentStep : kAssignmentStep;
      break;
    }
    case DrawerKind::kIllumination: {
      f.geometry = QRect(QPoint(base_.x(), base_.y() - position_), size_);
      f.clip = SlideFrame::kRowsBelow;
      f.clipValue = position_;
      f.show = out_ && first;
      position_ += out_ ? -kIlluminationStep : kIlluminationStep;
      if (out_ ? position_ <= 0 : position_ >= size_.height()) {
        // Ended: the whole outline at the target, hidden after a slide in.
        f.geometry = QRect(base_, size_);
        f.clip = SlideFrame::kWhole;
        f.clipValue = 0;
        f.hide = !out_;
        f.last = true;
      }
      break;
    }
    case DrawerKind::kProperties: {
      position_ = std::clamp(position_ + (out_ ? kPropertiesStep : -kPropertiesStep), 0, size_.width());
      f.geometry = QRect(base_.x() - position_, base_.y(), position_, size_.height());
      f.show = out_ && first;
      if (position_ == 0 || position_ == size_.width()) {
        f.hide = position_ == 0;
        f.last = true;
      }
      break;
    }
  }
  done_ = f.last;
  last_ = f;
  return f;
}

}  // namespace orv
