#include "skin/function_tree.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "profile/function_catalog.h"
#include "skin/function_list.h"
#include "skin/skin_messages.h"
#include "skin/skin_resources.h"

namespace orv {
namespace {

constexpr int kDataRole = Qt::UserRole;

// Each item's text on the ground, the selected one on the highlight with a focus frame.
class TreeItemDelegate : public QStyledItemDelegate {
 public:
  explicit TreeItemDelegate(CTreeCtrlEx* tree) : QStyledItemDelegate(tree), tree_(tree) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!index.isValid()) return;
    const bool selected = option.state & QStyle::State_Selected;
    const QString text = index.data(Qt::DisplayRole).toString();
    p->save();
    p->setFont(tree_->font());
    const QFontMetrics fm = p->fontMetrics();
    QRect r = option.rect;
    r.setWidth(std::min(r.width(), fm.horizontalAdvance(text) + 6));
    const QPalette& pal = tree_->palette();
    p->fillRect(r, selected ? pal.color(QPalette::Highlight) : tree_->backgroundColour());
    if (selected) {
      p->setPen(QPen(pal.color(QPalette::HighlightedText), 1, Qt::DotLine));
      p->drawRect(r.adjusted(0, 0, -1, -1));
    }
    p->setPen(selected ? pal.color(QPalette::HighlightedText) : tree_->textColour());
    p->drawText(r.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                fm.elidedText(text, Qt::ElideRight, option.rect.width() - 6));
    p->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    s.setHeight(std::max(s.height(), 18));
    return s;
  }

 private:
  CTreeCtrlEx* tree_;
};

bool OffersText(const QMimeData* data) { return data && data->hasText(); }

}  // namespace

CTreeCtrlEx::CTreeCtrlEx(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(true);
  setItemsExpandable(true);
  setFont(SkinFont(12, 700));
  setItemDelegate(new TreeItemDelegate(this));
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragEnabled(false);  // the tree runs its own drag of the code
  setDropIndicatorShown(false);
  setIndentation(16);
  QPalette pal = palette();
  pal.setColor(QPalette::Base, background_);
  pal.setColor(QPalette::Window, background_);
  pal.setColor(QPalette::Text, text_);
  // The branch arrows in the text colour.
  pal.setColor(QPalette::WindowText, text_);
  pal.setColor(QPalette::ButtonText, text_);
  pal.setColor(QPalette::Highlight, QColor(0, 120, 215));
  pal.setColor(QPalette::HighlightedText, Qt::white);
  setPalette(pal);
  viewport()->setAutoFillBackground(true);
}

QTreeWidgetItem* CTreeCtrlEx::AddCategory(const QString& text, int category) {
  auto* item = new QTreeWidgetItem(this, QStringList{text});
  item->setData(0, kDataRole, category);
  item->setExpanded(false);
  return item;
}

QTreeWidgetItem* CTreeCtrlEx::AddCategory(const QString& text, int category,
                                         const std::vector<std::pair<int, QString>>& commands) {
  // Made whole before it joins the tree: the tree hears of it once.
  auto* item = new QTreeWidgetItem(QStringList{text});
  item->setData(0, kDataRole, category);
  QList<QTreeWidgetItem*> children;
  children.reserve(static_cast<qsizetype>(commands.size()));
  for (const auto& [number, name] : commands) {
    auto* child = new QTreeWidgetItem(QStringList{name});
    child->setData(0, kDataRole, number);
    children.push_back(child);
  }
  item->addChildren(children);
  addTopLevelItem(item);
  item->setExpanded(false);
  return item;
}

QTreeWidgetItem* CTreeCtrlEx::AddCommand(QTreeWidgetItem* category, const QString& text, int command) {
  if (!category) return nullptr;
  auto* item = new QTreeWidgetItem(category, QStringList{text});
  item->setData(0, kDataRole, command);
  return item;
}

int CTreeCtrlEx::ItemData(const QTreeWidgetItem* item) { return item ? item->data(0, kDataRole).toInt() : 0; }

std::optional<int> CTreeCtrlEx::CodeOfItem(const QTreeWidgetItem* item) {
  if (!item || !item->parent() || item->parent()->parent()) return std::nullopt;
  const CatalogEntry* command = FindGameCommand(ItemData(item->parent()), ItemData(item));
  if (!command) return std::nullopt;
  return command->code;
}

QTreeWidgetItem* CTreeCtrlEx::ItemOfCode(int code) const {
  for (int c = 0; c < topLevelItemCount(); ++c) {
    QTreeWidgetItem* category = topLevelItem(c);
    for (int i = 0; i < category->childCount(); ++i)
      if (CodeOfItem(category->child(i)) == code) return category->child(i);
  }
  return nullptr;
}

void CTreeCtrlEx::Pick(const QTreeWidgetItem* item) {
  if (const std::optional<int> code = CodeOfItem(item)) PostToWindow(owner_, UM_PICK_FUNCTION, *code, 0);
}

void CTreeCtrlEx::mousePressEvent(QMouseEvent* e) {
  pressed_ = nullptr;
  if (e->button() == Qt::LeftButton) {
    QTreeWidgetItem* item = itemAt(e->position().toPoint());
    if (CodeOfItem(item)) pressed_ = item;
    pressPoint_ = e->position().toPoint();
  }
  QTreeWidget::mousePressEvent(e);
}

void CTreeCtrlEx::mouseMoveEvent(QMouseEvent* e) {
  if (dragEnabled && pressed_ && (e->buttons() & Qt::LeftButton) &&
      (e->position().toPoint() - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
    const std::optional<int> code = CodeOfItem(pressed_);
    pressed_ = nullptr;
    if (code) FunctionDragRunner()(this, FunctionDragData(*code));
    return;
  }
  QTreeWidget::mouseMoveEvent(e);
}

void CTreeCtrlEx::mouseReleaseEvent(QMouseEvent* e) {
  QTreeWidget::mouseReleaseEvent(e);
  QTreeWidgetItem* pressed = pressed_;
  pressed_ = nullptr;
  // A click on a command assigns it, even when it was selected already.
  if (e->button() == Qt::LeftButton && pressed && itemAt(e->position().toPoint()) == pressed) Pick(pressed);
}

void CTreeCtrlEx::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    QTreeWidgetItem* item = currentItem();
    if (item && !item->parent()) item->setExpanded(!item->isExpanded());
    else Pick(item);
    e->accept();
    return;
  }
  QTreeWidget::keyPressEvent(e);
}

void CTreeCtrlEx::dragEnterEvent(QDragEnterEvent* e) {
  if (OffersText(e->mimeData())) e->acceptProposedAction();
  else e->ignore();
}

void CTreeCtrlEx::dragMoveEvent(QDragMoveEvent* e) {
  if (OffersText(e->mimeData())) e->acceptProposedAction();
  else e->ignore();
}

void CTreeCtrlEx::dropEvent(QDropEvent* e) {
  if (OffersText(e->mimeData())) e->acceptProposedAction();
  else e->ignore();
}

}  // namespace orv
