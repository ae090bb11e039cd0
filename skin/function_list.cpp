#include "skin/function_list.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include "profile/function_catalog.h"
#include "skin/skin_messages.h"
#include "skin/skin_resources.h"

namespace orv {
namespace {

constexpr int kBitmapRole = Qt::UserRole;
constexpr int kCodeRole = Qt::UserRole + 1;

// The code a list's rule gives a row when the row states none.
std::optional<int> RuleCode(int kind, int row) {
  switch (kind) {
    case CListBoxEx::kPointerSpeedList: return ChooserCode(Chooser::kPointerSpeedList, row);
    case CListBoxEx::kProfileList: return ChooserCode(Chooser::kProfileList, row);
    case CListBoxEx::kMacroList:
      if (row >= 0 && row < kMacroCount) return kFirstMacroCode + row;
      return std::nullopt;
    default: return std::nullopt;
  }
}

class FunctionRowDelegate : public QStyledItemDelegate {
 public:
  explicit FunctionRowDelegate(CListBoxEx* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!index.isValid()) return;
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const bool focused = selected && list_->hasFocus();
    p->save();
    p->fillRect(r, selected ? list_->selectionColour() : list_->backgroundColour());
    QColor text = list_->textColour();
    if (!(option.state & QStyle::State_Enabled)) text = list_->palette().color(QPalette::Disabled, QPalette::Text);
    else if (focused) text = list_->focusedSelectionTextColour();
    p->setPen(text);
    p->setFont(list_->font());
    const QString caption = index.data(Qt::DisplayRole).toString();
    if (index.data(kBitmapRole).toInt() != 0) {
      // The bullet in its 16 x 16 place, at its own size, then the text after the place.
      const QImage& bullet = list_->bullet();
      if (!bullet.isNull()) {
        const QSize b = bullet.size().boundedTo(QSize(16, 16));
        p->drawImage(QPoint(r.left() + 12 + (16 - b.width()) / 2, r.top() + 2 + (16 - b.height()) / 2), bullet,
                     QRect(QPoint(0, 0), b));
      }
      const QRect textRect(r.left() + 16 + 5 + 12, r.top(), r.width() - 33, r.height());
      p->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                  p->fontMetrics().elidedText(caption, Qt::ElideRight, textRect.width()));
    } else {
      p->drawText(r, Qt::AlignCenter | Qt::TextSingleLine, p->fontMetrics().elidedText(caption, Qt::ElideRight, r.width()));
    }
    p->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return QSize(0, CListBoxEx::kRowHeight);
  }

 private:
  CListBoxEx* list_;
};

bool OffersText(const QMimeData* data) { return data && data->hasText(); }

}  // namespace

QMimeData* FunctionDragData(int code) {
  auto* data = new QMimeData;
  data->setText(QString::number(code));
  return data;
}

std::function<void(QWidget*, QMimeData*)>& FunctionDragRunner() {
  static std::function<void(QWidget*, QMimeData*)> runner = [](QWidget* source, QMimeData* data) {
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
    drag->deleteLater();
  };
  return runner;
}

CListBoxEx::CListBoxEx(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new FunctionRowDelegate(this));
  setFont(SkinFont(12, 400));
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setUniformItemSizes(true);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragEnabled(false);  // the list runs its own drag of the code
  setDropIndicatorShown(false);
  SetColours(text_, focusedSelectionText_, selection_, background_);
}

void CListBoxEx::SetColours(const QColor& text, const QColor& focusedSelectionText, const QColor& selection,
                            const QColor& background) {
  text_ = text;
  focusedSelectionText_ = focusedSelectionText;
  selection_ = selection;
  background_ = background;
  QPalette pal = palette();
  pal.setColor(QPalette::Base, background);
  pal.setColor(QPalette::Window, background);
  setPalette(pal);
  viewport()->setAutoFillBackground(true);
  viewport()->update();
}

void CListBoxEx::AddRow(const QString& text, std::optional<int> code, int bitmap) {
  auto* item = new QListWidgetItem(text);
  item->setData(kBitmapRole, bitmap);
  if (!code) code = RuleCode(kind_, count());
  if (code) item->setData(kCodeRole, *code);
  addItem(item);
}

std::optional<int> CListBoxEx::CodeOfRow(int row) const {
  const QListWidgetItem* it = item(row);
  if (!it) return std::nullopt;
  const QVariant code = it->data(kCodeRole);
  if (!code.isValid()) return std::nullopt;
  return code.toInt();
}

int CListBoxEx::RowOfCode(int code) const {
  for (int row = 0; row < count(); ++row)
    if (CodeOfRow(row) == code) return row;
  return -1;
}

void CListBoxEx::Pick(int row) {
  if (const std::optional<int> code = CodeOfRow(row)) PostToWindow(owner_, UM_PICK_FUNCTION, *code, 0);
}

void CListBoxEx::mousePressEvent(QMouseEvent* e) {
  pressedRow_ = -1;
  if (e->button() == Qt::LeftButton) {
    pressedRow_ = indexAt(e->position().toPoint()).row();
    pressPoint_ = e->position().toPoint();
  }
  QListWidget::mousePressEvent(e);
}

void CListBoxEx::mouseMoveEvent(QMouseEvent* e) {
  if (dragEnabled && pressedRow_ >= 0 && (e->buttons() & Qt::LeftButton) &&
      (e->position().toPoint() - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
    const int row = pressedRow_;
    pressedRow_ = -1;
    // The drag ends where the button is let go: on a label it assigns there, elsewhere nothing.
    if (const std::optional<int> code = CodeOfRow(row)) FunctionDragRunner()(this, FunctionDragData(*code));
    return;
  }
  QListWidget::mouseMoveEvent(e);
}

void CListBoxEx::mouseReleaseEvent(QMouseEvent* e) {
  QListWidget::mouseReleaseEvent(e);
  const bool click = e->button() == Qt::LeftButton && pressedRow_ >= 0;
  pressedRow_ = -1;
  // A click on a row assigns it, even when it was selected already.
  if (click && rect().contains(e->position().toPoint())) Pick(currentRow());
}

void CListBoxEx::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    Pick(currentRow());
    e->accept();
    return;
  }
  QListWidget::keyPressEvent(e);
}

void CListBoxEx::wheelEvent(QWheelEvent* e) {
  // One line per notch.
  const int delta = e->angleDelta().y();
  if (delta == 0) return;
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->value() + (delta > 0 ? -1 : 1));
  e->accept();
}

void CListBoxEx::dragEnterEvent(QDragEnterEvent* e) {
  if (OffersText(e->mimeData())) e->acceptProposedAction();
  else e->ignore();
}

void CListBoxEx::dragMoveEvent(QDragMoveEvent* e) {
  if (OffersText(e->mimeData())) e->acceptProposedAction();
  else e->ignore();
}

void CListBoxEx::dropEvent(QDropEvent* e) {
  // Taken and let go: a function dropped back on a list changes nothing.
  if (OffersText(e->mimeData())) e->acceptProposedAction();
  else e->ignore();
}

}  // namespace orv
