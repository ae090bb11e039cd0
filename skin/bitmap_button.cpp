#include "skin/bitmap_button.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "skin/skin_messages.h"
#include "skin/skin_resources.h"

namespace orv {

ButtonImage ChooseStateImage(bool toggle, bool latched, bool selected, bool hovering, bool disabled) {
  if (toggle) return latched ? ButtonImage::Down : ButtonImage::Normal;
  if (latched || selected) return ButtonImage::Down;
  if (hovering) return ButtonImage::Over;
  if (disabled) return ButtonImage::Disable;
  return ButtonImage::Normal;
}

bool DroppedNumber(const QMimeData* data, int& number) {
  if (!data || !data->hasText()) return false;
  QString text = data->text().trimmed();
  // The number as the dragging control wrote it, possibly with its terminating zero.
  while (text.endsWith(QChar(0))) text.chop(1);
  bool ok = false;
  number = text.toInt(&ok, 10);
  return ok;
}

CBitmapBtn::CBitmapBtn(QWidget* parent) : QAbstractButton(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover, false);
}

CBitmapBtn::~CBitmapBtn() = default;

void CBitmapBtn::SetSkinImages(const QRect& rect, const QImage& normalSource, const QImage& overSource,
                               const QImage& downSource, const QImage& disableSource) {
  CropSkinImage(normal_, normalSource, rect);
  CropSkinImage(over_, overSource, rect);
  CropSkinImage(down_, downSource, rect);
  CropSkinImage(disable_, disableSource, rect);
  update();
}

void CBitmapBtn::SetCardImages(const QImage& normal, const QImage& over, const QImage& down,
                               const QImage& disable, int width) {
  card_ = true;
  QRect rect(0, 0, width, height());
  CropSkinImage(normal_, normal, rect);
  CropSkinImage(over_, over, rect);
  CropSkinImage(down_, down, rect);
  CropSkinImage(disable_, disable, rect);
  update();
}

void CBitmapBtn::SetImages(const QImage& normal, const QImage& over, const QImage& down, const QImage& disable,
                           const QRect& rect) {
  card_ = false;
  CropSkinImage(normal_, normal, rect);
  CropSkinImage(over_, over, rect);
  CropSkinImage(down_, down, rect);
  CropSkinImage(disable_, disable, rect);
  update();
}

void CBitmapBtn::SetCardTexts(const QString& realm, const QString& name, const QString& level, const QString& cls,
                              const QString& race) {
  cardRealm_ = realm;
  cardName_ = name;
  cardLevel_ = level;
  cardClass_ = cls;
  cardRace_ = race;
  update();
}

const QImage& CBitmapBtn::image(ButtonImage which) const {
  switch (which) {
    case ButtonImage::Over: return over_;
    case ButtonImage::Down: return down_;
    case ButtonImage::Disable: return disable_;
    case ButtonImage::Normal: break;
  }
  return normal_;
}

void CBitmapBtn::SetTooltip(const QString& text, bool active) {
  tooltipText_ = text;
  setToolTip(active ? text : QString());
}

void CBitmapBtn::SetLatched(bool latched) {
  if (latched_ == latched) return;
  latched_ = latched;
  update();
}

void CBitmapBtn::SetHovering(bool on) {
  if (hovering_ == on) return;
  hovering_ = on;
  update();
}

ButtonImage CBitmapBtn::CurrentImage() const {
  return ChooseStateImage(toggle, latched_, isDown(), hovering_, !isEnabled());
}

// --- drawing ------------------------------------------------------------------------------------

CaptionLayout CBitmapBtn::LayoutCaption(const QString& caption, QSize size, bool rotateUp, bool centreBold,
                                        bool rotateDown, bool light) {
  CaptionLayout l;
  const int width = size.width(), height = size.height();
  l.font = SkinFont(12, (rotateUp || centreBold || rotateDown) ? 700 : (light ? 300 : 400));
  QFontMetrics fm(l.font);
  const int cx = fm.horizontalAdvance(caption);
  const int cy = fm.height();
  l.text = caption;
  if (rotateUp) {
    l.kind = CaptionLayout::RotatedUp;
    l.angle = 90;
    l.origin = QPoint(5, height / 2 + cx / 2 + 5);
  } else if (centreBold) {
    l.kind = CaptionLayout::CentredBold;
    l.origin = QPoint(5 + (width - cx) / 2, height / 2 - cy / 2 - 2);
  } else if (rotateDown) {
    l.kind = CaptionLayout::RotatedDown;
    l.angle = 270;
    l.origin = QPoint(15, height / 2 - cx / 2 + 5);
  } else {
    l.kind = CaptionLayout::Plain;
    l.rect = QRect(QPoint(5, height / 2 - cy / 2), QPoint(width - 2 - 1, height - 1));
    l.text = fm.elidedText(caption, Qt::ElideRight, std::max(0, l.rect.width()));
  }
  return l;
}

CaptionLayout CBitmapBtn::Layout() const {
  return LayoutCaption(caption, size(), rotateUp, centreBold, rotateDown, light);
}

void CBitmapBtn::DrawCaption(QPainter& painter) {
  CaptionLayout l = Layout();
  painter.save();
  painter.setFont(l.font);
  painter.setPen((hovering_ || latched_) ? kWhite : kGold);
  QFontMetrics fm(l.font);
  switch (l.kind) {
    case CaptionLayout::Plain:
      painter.drawText(l.rect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, l.text);
      break;
    case CaptionLayout::CentredBold:
      painter.drawText(l.origin + QPoint(0, fm.ascent()), l.text);
      break;
    case CaptionLayout::RotatedUp:
    case CaptionLayout::RotatedDown:
      painter.translate(l.origin);
      painter.rotate(-l.angle);
      painter.drawText(QPoint(0, fm.ascent()), l.text);
      break;
  }
  painter.restore();
}

void CBitmapBtn::DrawCard(QPainter& painter, const QImage& state) {
  const QRect r = rect();
  if (!state.isNull()) painter.drawImage(0, 0, state);
  painter.fillRect(QRect(QPoint(r.left() + 65, r.top()), r.bottomRight()), QColor(17, 15, 16));
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
  QFont bold = SkinFont(12, 700);
  QFontMetrics fm(bold);
  painter.setFont(bold);
  painter.setPen(kGold);
  QRect nameRect(QPoint(r.left() + 67, r.top()), r.bottomRight());
  painter.drawText(nameRect, flags, fm.elidedText(cardName_, Qt::ElideRight, nameRect.width()));
  painter.setPen(kWhite);
  painter.drawText(QPoint(r.left() + 67, r.top() + 16 + fm.ascent()), QStringLiteral("Level ") + cardLevel_);
  painter.drawText(QPoint(r.left() + 67, r.top() + 28 + fm.ascent()), cardClass_);
  QFont small = SkinFont(11, 700);
  painter.setFont(small);
  painter.setPen(kGold);
  QRect realmRect(QPoint(r.left() + 67, r.top() + 50), r.bottomRight());
  painter.drawText(realmRect, flags, QFontMetrics(small).elidedText(cardRealm_, Qt::ElideRight, realmRect.width()));
}

void CBitmapBtn::DrawItem(QPainter& painter, bool selected, bool disabled) {
  const QImage& state = image(ChooseStateImage(toggle, latched_, selected, hovering_, disabled));
  if (card_) {
    DrawCard(painter, state);
    return;
  }
  if (!state.isNull()) painter.drawImage(0, 0, state);
  if (!caption.isEmpty()) DrawCaption(painter);
}

void CBitmapBtn::paintEvent(QPaintEvent*) {
  QImage off(size(), QImage::Format_ARGB32_Premultiplied);
  off.fill(Qt::transparent);
  {
    QPainter painter(&off);
    painter.setRenderHint(QPainter::TextAntialiasing);
    DrawItem(painter, isDown(), !isEnabled());
  }
  QPainter(this).drawImage(0, 0, off);
}

void CColorBtn::DrawItem(QPainter& painter, bool selected, bool disabled) {
  CBitmapBtn::DrawItem(painter, selected, disabled);
  painter.fillRect(QRect(QPoint(1, 1), QPoint(width() - 21 - 1, height() - 1 - 1)), colour);
}

// --- mouse --------------------------------------------------------------------------------------

bool CBitmapBtn::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void CBitmapBtn::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    SendToParent(this, WM_COMMAND, ID_BUTTON_MENU, ControlParam(this));
    QAbstractButton::mousePressEvent(e);
    return;
  }
  if (e->button() != Qt::LeftButton) {
    QAbstractButton::mousePressEvent(e);
    return;
  }
  QWidget* owner = window();
  if (owner && !owner->isActiveWindow()) owner->activateWindow();
  QAbstractButton::mousePressEvent(e);
  if (dragSource) {
    QMimeData* data = DragData();
    DragRunner()(this, data);
    setDown(false);
  }
}

void CBitmapBtn::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && toggle) {
    setDown(false);
    latched_ = !latched_;
    update();
    SendToParent(this, WM_COMMAND, static_cast<WParam>(controlId & 0xFFFF), ControlParam(this));
    e->accept();
    return;
  }
  QAbstractButton::mouseReleaseEvent(e);
}

void CBitmapBtn::mouseMoveEvent(QMouseEvent* e) {
  QAbstractButton::mouseMoveEvent(e);
  // Hover highlighting only while the program is the active one.
  bool inside = rect().contains(e->position().toPoint());
  if (inside && QGuiApplication::applicationState() == Qt::ApplicationActive)
    SetHovering(true);
  else if (!inside && !(e->buttons() & Qt::LeftButton))
    SetHovering(false);
}

void CBitmapBtn::enterEvent(QEnterEvent* e) {
  QAbstractButton::enterEvent(e);
  if (QGuiApplication::applicationState() == Qt::ApplicationActive) SetHovering(true);
}

void CBitmapBtn::leaveEvent(QEvent* e) {
  QAbstractButton::leaveEvent(e);
  SetHovering(false);
}

void CBitmapBtn::changeEvent(QEvent* e) {
  QAbstractButton::changeEvent(e);
  if (e->type() == QEvent::EnabledChange) update();
}

// --- drag and drop ------------------------------------------------------------------------------

std::function<void(CBitmapBtn*, QMimeData*)>& CBitmapBtn::DragRunner() {
  static std::function<void(CBitmapBtn*, QMimeData*)> runner = [](CBitmapBtn* button, QMimeData* data) {
    QDrag* drag = new QDrag(button);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
    drag->deleteLater();
  };
  return runner;
}

QMimeData* CBitmapBtn::DragData() const {
  auto* data = new QMimeData;
  data->setText(QString::number(index));
  return data;
}

void CBitmapBtn::RegisterDropTarget() { setAcceptDrops(true); }

namespace {
bool Accepts(int kind, int n) {
  return (kind == 1 && n >= kFirstDroppedProfile && n <= kLastDroppedProfile) ||
         (kind == 2 && n >= kFirstDroppedCode && n <= kLastDroppedCode);
}
}  // namespace

Qt::DropAction CBitmapBtn::OnDragOver(const QMimeData* data) {
  int n = 0;
  if (!DroppedNumber(data, n)) return Qt::IgnoreAction;
  return Accepts(dropKind, n) ? Qt::CopyAction : Qt::IgnoreAction;
}

bool CBitmapBtn::OnDrop(const QMimeData* data) {
  if (!data || !data->hasText()) return false;
  int n = 0;
  if (DroppedNumber(data, n) && Accepts(dropKind, n))
    PostToParent(this, dropKind == 1 ? UM_DROP_PROFILE : UM_DROP_FUNCTION, static_cast<WParam>(n), index);
  return true;
}

int CBitmapBtn::OnDropEx(const QMimeData*) { return -1; }

void CBitmapBtn::dragEnterEvent(QDragEnterEvent* e) {
  // The first answer decides whether Qt keeps offering the drag to the button at all, so the
  // enter is asked like a move: a drag that can never be accepted is refused at once.
  if (OnDragOver(e->mimeData()) == Qt::CopyAction) {
    e->setDropAction(Qt::CopyAction);
    e->accept();
  } else {
    e->ignore();
  }
}

void CBitmapBtn::dragMoveEvent(QDragMoveEvent* e) {
  if (OnDragOver(e->mimeData()) == Qt::CopyAction) {
    e->setDropAction(Qt::CopyAction);
    e->accept();
  } else {
    e->ignore();
  }
}

void CBitmapBtn::dropEvent(QDropEvent* e) {
  bool handled = OnDropEx(e->mimeData()) != -1 || OnDrop(e->mimeData());
  if (handled) {
    e->setDropAction(Qt::CopyAction);
    e->accept();
  } else {
    e->ignore();
  }
}

}  // namespace orv
