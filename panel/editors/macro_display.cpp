#include "panel/editors/macro_display.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "skin/qt_text.h"
#include "skin/skin_messages.h"
#include "skin/skin_resources.h"

namespace orv {

CVesperMacroDisplay::CVesperMacroDisplay(QWidget* parent, const QImage& downMarker, const QImage& upMarker)
    : QWidget(parent), down_(downMarker), up_(upMarker), font_(SkinFont(12, 400)) {
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  bar_ = new QScrollBar(Qt::Vertical, this);
  bar_->setObjectName(QStringLiteral("100"));
  bar_->hide();
  bar_->setFocusPolicy(Qt::NoFocus);
  QObject::connect(bar_, &QScrollBar::valueChanged, this, [this](int value) {
    firstLine_ = value;
    update();
  });
  const QFontMetrics fm(font_);
  lineHeight_ = std::max(fm.height(), std::max(down_.height(), 9));
}

void CVesperMacroDisplay::SetText(const std::u16string& text) {
  text_ = Q(text);
  const bool wasShown = bar_->isVisibleTo(this);
  Layout();
  const int hidden = lineCount_ - visibleLines_;
  if (hidden > 0) {
    bar_->blockSignals(true);
    bar_->setRange(0, hidden);
    bar_->setPageStep(hidden < 3 ? 1 : 2);
    bar_->setSingleStep(1);
    if (wasShown) firstLine_ = hidden;
    firstLine_ = std::clamp(firstLine_, 0, hidden);
    bar_->setValue(firstLine_);
    bar_->blockSignals(false);
    bar_->show();
  } else {
    bar_->hide();
    firstLine_ = 0;
  }
  Place();
  update();
}

void CVesperMacroDisplay::Layout() {
  pieces_.clear();
  const QFontMetrics fm(font_);
  const int limit = width() - kScrollBarWidth;
  int line = 0, x = kLeft;
  for (const QChar c : text_) {
    const bool mark = c == QLatin1Char('|') || c == QLatin1Char('^');
    const int w = mark ? (c == QLatin1Char('|') ? down_.width() : up_.width()) : fm.horizontalAdvance(c);
    if (x + w >= limit && x > kLeft) {
      ++line;
      x = kLeft;
    }
    pieces_.push_back({line, x, c});
    x += w;
  }
  lineCount_ = pieces_.empty() ? 0 : line + 1;
  visibleLines_ = std::max(1, static_cast<int>(static_cast<double>(height()) / lineHeight_ + 0.3));
}

void CVesperMacroDisplay::Place() {
  bar_->setGeometry(width() - kScrollBarWidth, 0, kScrollBarWidth, height());
}

void CVesperMacroDisplay::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), isEnabled() ? QColor(Qt::white) : QColor(192, 192, 192));
  p.setFont(font_);
  p.setPen(Qt::black);
  const QFontMetrics fm(font_);
  for (const Piece& piece : pieces_) {
    const int row = piece.line - firstLine_;
    if (row < 0 || row > visibleLines_) continue;
    const int top = row * lineHeight_;
    if (piece.character == QLatin1Char('|') || piece.character == QLatin1Char('^')) {
      const QImage& mark = piece.character == QLatin1Char('|') ? down_ : up_;
      p.drawImage(piece.x, top + (lineHeight_ - mark.height()) / 2, mark);
    } else {
      p.drawText(QPoint(piece.x, top + (lineHeight_ - fm.height()) / 2 + fm.ascent()), QString(piece.character));
    }
  }
}

void CVesperMacroDisplay::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  PostToParent(this, UM_DISPLAY_CLICK, static_cast<WParam>(ControlParam(this)), 0);
}

void CVesperMacroDisplay::wheelEvent(QWheelEvent* e) {
  if (!bar_->isVisible()) return;
  // One line up, or a page down.
  bar_->setValue(bar_->value() + (e->angleDelta().y() > 0 ? -1 : bar_->pageStep()));
  e->accept();
}

void CVesperMacroDisplay::resizeEvent(QResizeEvent*) {
  Layout();
  Place();
}

}  // namespace orv
