#include "skin/scroll_bar.h"

#include <QAbstractScrollArea>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "skin/skin_timer.h"

namespace orv {

// --- geometry -------------------------------------------------------------------------------------------

int LastScrollPosition(const ScrollInfo& info) {
  return std::max(info.min, info.max - std::max(info.page - 1, 0));
}

ScrollGeometry ComputeScrollGeometry(int length, int cell, const ScrollInfo& info, bool forDrawing) {
  ScrollGeometry g;
  g.length = std::max(0, length);
  g.track = std::max(0, g.length - 2 * cell);
  const int64_t span = int64_t{info.max} - info.min + 1;
  g.range = static_cast<int>(std::max<int64_t>(0, span - std::max(0, info.page)));
  if (g.track > 11 && span > 0) {
    g.thumb = static_cast<int>(std::max<int64_t>(12, int64_t{std::max(0, info.page)} * g.track / span));
    g.thumb = std::min(g.thumb, g.track);
  }
  if (forDrawing && g.range == 0) g.thumb = 0;
  g.arrow = g.track == 0 ? g.length / 2 : cell;
  const int q = (info.trackPos >= 0 ? info.trackPos : info.pos) - info.min;
  if (g.range != 0)
    g.offset = static_cast<int>(int64_t{g.track - g.thumb} * std::clamp(q, 0, g.range) / g.range);
  else
    g.offset = (g.track - g.thumb) / 2;
  return g;
}

std::pair<int, int> ScrollGeometry::Span(int part) const {
  switch (part) {
    case kPartLineUp: return {0, arrow};
    case kPartPageUp: return {arrow, arrow + offset};
    case kPartThumb: return {arrow + offset, arrow + offset + thumb};
    case kPartPageDown: return {arrow + offset + thumb, length - arrow};
    case kPartLineDown: return {length - arrow, length};
    default: return {0, 0};
  }
}

int ScrollGeometry::Hit(int c) const {
  if (c < 0) return kPartNone;
  for (int part : {kPartLineUp, kPartPageUp, kPartThumb, kPartPageDown, kPartLineDown}) {
    auto [from, to] = Span(part);
    if (c >= from && c < to) return part;
  }
  return kPartNone;
}

// --- the bar ------------------------------------------------------------------------------------------

CSkinScrollBar::CSkinScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), orientation_(orientation), delay_(MakeSkinTimer()), repeat_(MakeSkinTimer()) {
  setMouseTracking(true);
  delay_->onTimeout = [this] { DelayDone(); };
  repeat_->onTimeout = [this] { Repeat(); };
}

CSkinScrollBar::~CSkinScrollBar() = default;

void CSkinScrollBar::SetBitmap(const QImage* image) {
  image_ = image && !image->isNull() ? image : nullptr;
  if (image_) {
    cell_ = std::max(1, image_->width() / 9);
    row_ = std::max(1, image_->height() / 3);
  }
  if (vertical())
    setGeometry(x(), y(), cell_, height());
  else
    setGeometry(x(), y(), width(), cell_);
  update();
}

void CSkinScrollBar::SetScrollInfo(const ScrollInfo& info, bool redraw) {
  int track = info_.trackPos;
  info_ = info;
  if (dragging_) info_.trackPos = track;  // a drag keeps its own place
  if (redraw) update();
}

ScrollGeometry CSkinScrollBar::Geometry() const {
  return ComputeScrollGeometry(vertical() ? height() : width(), cell_, info_, false);
}

void CSkinScrollBar::Send(uint32_t code, int pos) {
  WParam w = (code & 0xFFFF) | (static_cast<WParam>(static_cast<uint16_t>(pos)) << 16);
  SendToParent(this, vertical() ? WM_VSCROLL : WM_HSCROLL, w, ControlParam(this));
}

void CSkinScrollBar::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const ScrollGeometry g = Geometry();
  const int part = g.Hit(Along(e->position().toPoint()));
  if (part == kPartNone) return;
  if (part == kPartThumb) {
    dragging_ = true;
    pressPoint_ = e->position().toPoint();
    dragStartPosition_ = info_.pos;
    info_.trackPos = info_.pos;
    update();
    return;
  }
  pressedPart_ = part;
  lastPointer_ = e->position().toPoint();
  outsidePressed_ = false;
  repeating_ = false;
  Send(static_cast<uint32_t>(part));
  delay_->Start(500, true);
  update();
}

void CSkinScrollBar::DelayDone() {
  if (pressedPart_ == kPartNone) return;
  repeating_ = true;
  repeat_->Start(100, false);
  Repeat();
}

void CSkinScrollBar::Repeat() {
  if (pressedPart_ == kPartNone || outsidePressed_) return;
  switch (pressedPart_) {
    case kPartLineUp:
      if (info_.pos <= info_.min) return StopTimers();
      break;
    case kPartLineDown:
      if (info_.pos >= LastScrollPosition(info_)) return StopTimers();
      break;
    default: {
      // Paging stops once the thumb has come under the pointer.
      if (Geometry().Hit(Along(lastPointer_)) == kPartThumb) return StopTimers();
      break;
    }
  }
  Send(static_cast<uint32_t>(pressedPart_));
}

void CSkinScrollBar::StopTimers() {
  delay_->Stop();
  repeat_->Stop();
  repeating_ = false;
}

void CSkinScrollBar::mouseMoveEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  lastPointer_ = at;
  const ScrollGeometry g = Geometry();
  if (dragging_) {
    const int d = Along(at) - Along(pressPoint_);
    const int free = g.track - g.thumb;
    int pos = free == 0 ? 0 : static_cast<int>(dragStartPosition_ + int64_t{d} * g.range / free);
    pos = std::clamp(pos, info_.min, LastScrollPosition(info_));
    if (pos != info_.trackPos) {
      info_.trackPos = pos;
      update();
      Send(SB_THUMBTRACK, pos);
    }
    return;
  }
  if (pressedPart_ != kPartNone) {
    bool outside = g.Hit(Along(at)) != pressedPart_ || !rect().contains(at);
    if (outside != outsidePressed_) {
      outsidePressed_ = outside;
      update();
    }
    return;
  }
  int part = rect().contains(at) ? g.Hit(Along(at)) : kPartNone;
  if (part != hotPart_) {
    hotPart_ = part;
    update();
  }
}

void CSkinScrollBar::leaveEvent(QEvent*) {
  if (hotPart_ != kPartNone) {
    hotPart_ = kPartNone;
    update();
  }
}

void CSkinScrollBar::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  if (dragging_) {
    dragging_ = false;
    int pos = info_.trackPos;
    Send(SB_THUMBPOSITION, pos);
    info_.trackPos = -1;
    update();
    return;
  }
  if (pressedPart_ != kPartNone) {
    StopTimers();
    pressedPart_ = kPartNone;
    outsidePressed_ = false;
    update();
  }
}

QRect CSkinScrollBar::PartRect(const ScrollGeometry& g, int part) const {
  auto [from, to] = g.Span(part);
  if (to <= from) return {};
  return vertical() ? QRect(0, from, width(), to - from) : QRect(from, 0, to - from, height());
}

void CSkinScrollBar::DrawPart(QPainter& p, const ScrollGeometry& g, int part) {
  const QRect target = PartRect(g, part);
  if (target.isEmpty() || !image_) return;
  const int base = vertical() ? 0 : 4;
  auto cellRect = [&](int column, int row) { return QRect(column * cell_, row * row_, cell_, row_); };
  switch (part) {
    case kPartLineUp:
    case kPartLineDown: {
      int row = 0;
      if (part == pressedPart_ && !outsidePressed_) row = 2;
      else if (part == hotPart_ && pressedPart_ == kPartNone) row = 1;
      p.drawImage(target, *image_, cellRect(base + (part == kPartLineUp ? 0 : 1), row));
      break;
    }
    case kPartPageUp:
    case kPartPageDown: {
      const QRect track = cellRect(base + 3, 0);
      for (int at = 0; at < (vertical() ? target.height() : target.width()); at += vertical() ? row_ : cell_) {
        QRect piece = vertical() ? QRect(target.left(), target.top() + at, target.width(), std::min(row_, target.height() - at))
                                 : QRect(target.left() + at, target.top(), std::min(cell_, target.width() - at), target.height());
        QRect source = vertical() ? QRect(track.left(), track.top(), track.width(), piece.height())
                                  : QRect(track.left(), track.top(), piece.width(), track.height());
        p.drawImage(piece, *image_, source);
      }
      break;
    }
    case kPartThumb: {
      const int row = (part == hotPart_ || dragging_) ? 1 : 0;
      const QRect c = cellRect(base + 2, row);
      const int cap = 6;
      const int len = vertical() ? target.height() : target.width();
      const int cellLen = vertical() ? row_ : cell_;
      const int capLen = std::min(cap, len / 2);
      auto along = [&](int from, int n, int srcFrom) {
        if (n <= 0) return;
        QRect dst = vertical() ? QRect(target.left(), target.top() + from, target.width(), n)
                               : QRect(target.left() + from, target.top(), n, target.height());
        QRect src = vertical() ? QRect(c.left(), c.top() + srcFrom, c.width(), n) : QRect(c.left() + srcFrom, c.top(), n, c.height());
        p.drawImage(dst, *image_, src);
      };
      along(0, capLen, 0);
      along(len - capLen, capLen, cellLen - capLen);
      const int middle = std::max(1, cellLen - 2 * cap);
      for (int at = capLen; at < len - capLen; at += middle) along(at, std::min(middle, len - capLen - at), cap);
      break;
    }
    default:
      break;
  }
}

void CSkinScrollBar::paintEvent(QPaintEvent*) {
  if (!image_) return;  // a bar without an image paints nothing
  QPainter p(this);
  const ScrollGeometry g = ComputeScrollGeometry(vertical() ? height() : width(), cell_, info_, true);
  for (int part : {kPartLineUp, kPartPageUp, kPartThumb, kPartPageDown, kPartLineDown}) DrawPart(p, g, part);
}

// --- the wrapper --------------------------------------------------------------------------------------

CSkinScrollWnd::CSkinScrollWnd(QAbstractScrollArea* area, const QImage& image)
    : QWidget(area->parentWidget()), area_(area), watched_(area), image_(image), timer_(MakeSkinTimer()) {
  setObjectName(QStringLiteral("SkinScrollBarFrame"));
  setGeometry(area->geometry());
  if (QWidget* parent = area->parentWidget())
    if (QLayout* layout = parent->layout()) layout->replaceWidget(area, this);
  const bool visible = area->isVisibleTo(area->parentWidget());
  clip_ = new QWidget(this);
  clip_->setObjectName(QStringLiteral("LIMIT"));
  horizontal_ = new CSkinScrollBar(Qt::Horizontal, this);
  horizontal_->controlId = 100;
  vertical_ = new CSkinScrollBar(Qt::Vertical, this);
  vertical_->controlId = 101;
  horizontal_->SetBitmap(&image_);
  vertical_->SetBitmap(&image_);
  if (!image_.isNull()) thickness_ = image_.width() / 9;
  verticalPolicy_ = area->verticalScrollBarPolicy();
  horizontalPolicy_ = area->horizontalScrollBarPolicy();
  // The control's own bars are never seen: the skinned ones stand in their place.
  area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setParent(clip_);
  area->show();
  area->installEventFilter(this);
  for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()}) {
    connect(bar, &QScrollBar::rangeChanged, this, [this] { Sync(); });
    connect(bar, &QScrollBar::valueChanged, this, [this] {
      if (!relaying_) Sync();
    });
  }
  connect(area, &QObject::destroyed, this, [this] { deleteLater(); });
  timer_->onTimeout = [this] { Sync(); };
  timer_->Start(500, false);
  setVisible(visible);
  Sync();
}

CSkinScrollWnd::~CSkinScrollWnd() = default;

ScrollInfo CSkinScrollWnd::InfoOf(const QScrollBar* bar) {
  // A Qt bar's maximum is its last position; the system bar's is the content's last line.
  ScrollInfo info;
  info.min = bar->minimum();
  info.page = bar->pageStep();
  info.max = bar->maximum() + std::max(0, info.page - 1);
  info.pos = bar->value();
  return info;
}

void CSkinScrollWnd::Sync() {
  if (!area_) return;
  auto wanted = [](Qt::ScrollBarPolicy policy, const QScrollBar* bar) {
    return policy == Qt::ScrollBarAlwaysOn || (policy == Qt::ScrollBarAsNeeded && bar->maximum() > bar->minimum());
  };
  const bool v = wanted(verticalPolicy_, area_->verticalScrollBar());
  const bool h = wanted(horizontalPolicy_, area_->horizontalScrollBar());
  bool changed = v != vertical_->isVisibleTo(this) || h != horizontal_->isVisibleTo(this);
  vertical_->setVisible(v);
  horizontal_->setVisible(h);
  for (auto [bar, skinned] : {std::pair{area_->verticalScrollBar(), vertical_}, std::pair{area_->horizontalScrollBar(), horizontal_}}) {
    ScrollInfo info = InfoOf(bar);
    if (skinned->dragging()) continue;
    ScrollInfo now = skinned->info();
    now.trackPos = -1;
    if (!(now == info)) {
      skinned->SetScrollInfo(info, true);
      skinned->setEnabled(info.max >= info.page);
    }
  }
  if (changed) Place();
}

void CSkinScrollWnd::Place() {
  const bool v = vertical_->isVisibleTo(this);
  const bool h = horizontal_->isVisibleTo(this);
  const bool leftSide = layoutDirection() == Qt::RightToLeft;
  corner_ = v && h ? (leftSide ? 1 : 2) : 0;
  QRect client = rect();
  QRect clipRect = client;
  if (h) clipRect.setBottom(client.bottom() - thickness_);
  if (v) {
    if (leftSide)
      clipRect.setLeft(client.left() + thickness_);
    else
      clipRect.setRight(client.right() - thickness_);
  }
  clip_->setGeometry(clipRect);
  if (area_) area_->setGeometry(0, 0, clipRect.width(), clipRect.height());
  const int vx = leftSide ? 0 : client.width() - thickness_;
  vertical_->setGeometry(vx, 0, thickness_, clipRect.height());
  horizontal_->setGeometry(clipRect.left(), client.height() - thickness_, clipRect.width(), thickness_);
  update();
}

LResult CSkinScrollWnd::SkinMessage(uint32_t code, WParam w, LParam) {
  if (!area_ || (code != WM_VSCROLL && code != WM_HSCROLL)) return 0;
  QScrollBar* bar = code == WM_VSCROLL ? area_->verticalScrollBar() : area_->horizontalScrollBar();
  CSkinScrollBar* skinned = code == WM_VSCROLL ? vertical_ : horizontal_;
  const uint32_t request = w & 0xFFFF;
  const int pos = static_cast<int>((w >> 16) & 0xFFFF);
  relaying_ = true;
  switch (request) {
    case SB_LINEUP: bar->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case SB_LINEDOWN: bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case SB_PAGEUP: bar->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case SB_PAGEDOWN: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: bar->setValue(pos); break;
    default: break;
  }
  relaying_ = false;
  if (request != SB_THUMBTRACK) {
    ScrollInfo info = InfoOf(bar);
    skinned->SetScrollInfo(info, true);
  }
  return 0;
}

void CSkinScrollWnd::resizeEvent(QResizeEvent*) { Place(); }

void CSkinScrollWnd::paintEvent(QPaintEvent*) {
  if (corner_ == 0 || image_.isNull()) return;
  QPainter p(this);
  const int cell = image_.width() / 9, row = image_.height() / 3;
  QRect source(8 * cell, (corner_ == 1 ? 1 : 0) * row, cell, row);
  QRect target(corner_ == 1 ? 0 : width() - thickness_, height() - thickness_, thickness_, thickness_);
  p.drawImage(target, image_, source);
}

bool CSkinScrollWnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched == watched_) {
    if (event->type() == QEvent::HideToParent) hide();
    if (event->type() == QEvent::ShowToParent) show();
  }
  return QWidget::eventFilter(watched, event);
}

CSkinScrollWnd* SkinScrollWindow(QAbstractScrollArea* area, const QImage& image) {
  if (!area) return nullptr;
  return new CSkinScrollWnd(area, image);
}

}  // namespace orv
