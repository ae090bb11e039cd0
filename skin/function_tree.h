#pragma once
// CTreeCtrlEx, the owner-drawn tree of the game's commands in the assignment drawer: category
// items at the top, command items under them. A category item holds its category number as
// item data, a command item its command number; the code of a command is 100 x category +
// command, within the catalogue's bounds. A click on a command posts UM_PICK_FUNCTION with its
// code to the tree's owner, Enter does the same for the current one, and a press that moves
// on drags the code as decimal text (as the lists do). The tree is a drop target that takes a
// dragged text and does nothing with it.
#include <QColor>
#include <QPointer>
#include <QTreeWidget>
#include <optional>
#include <utility>
#include <vector>

namespace orv {

class CTreeCtrlEx : public QTreeWidget {
 public:
  explicit CTreeCtrlEx(QWidget* parent = nullptr);

  void SetOwner(QWidget* owner) { owner_ = owner; }
  bool dragEnabled = false;
  void Register() {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
  }

  // A category item at the end (closed), with its number as item data.
  QTreeWidgetItem* AddCategory(const QString& text, int category);
  // A command item at the end of `category`, with its number as item data.
  QTreeWidgetItem* AddCommand(QTreeWidgetItem* category, const QString& text, int command);
  // A whole category with its commands (number, text), added at once.
  QTreeWidgetItem* AddCategory(const QString& text, int category, const std::vector<std::pair<int, QString>>& commands);
  // The item data of an item.
  static int ItemData(const QTreeWidgetItem* item);
  // The code of a command item; nothing for a category item or numbers outside the catalogue.
  static std::optional<int> CodeOfItem(const QTreeWidgetItem* item);
  // The command item whose code is `code` (matched by the items' data), or null.
  QTreeWidgetItem* ItemOfCode(int code) const;

  const QColor& textColour() const { return text_; }
  const QColor& backgroundColour() const { return background_; }

 protected:
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dragMoveEvent(QDragMoveEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  void Pick(const QTreeWidgetItem* item);

  QPointer<QWidget> owner_;
  QColor text_{255, 204, 0};
  QColor background_{22, 22, 22};
  QTreeWidgetItem* pressed_ = nullptr;
  QPoint pressPoint_;
};

}  // namespace orv
