#pragma once
// CListBoxEx, the owner-drawn list of the assignment drawer's pointer-speed, profile and macro
// folders. Each row stands for one assignment code: a click on it posts UM_PICK_FUNCTION with
// the code to the list's owner, Enter does the same for the current row, and a press that moves
// on drags the code as decimal text, which a label of the main window takes as its function.
// Rows are drawn with a small bullet before amber text on a dark ground. The list is a drop
// target too: it takes a dragged text and does nothing with it.
#include <QColor>
#include <QImage>
#include <QListWidget>
#include <QPointer>
#include <functional>
#include <optional>

class QMimeData;

namespace orv {

// The data a drag of a function carries: its code as decimal text.
QMimeData* FunctionDragData(int code);
// Runs the drag of a function from `source` with the copy effect; replaceable, so that tests
// see the drag start and end it themselves.
std::function<void(QWidget* source, QMimeData* data)>& FunctionDragRunner();

class CListBoxEx : public QListWidget {
 public:
  static constexpr int kRowHeight = 20;
  // The item data of a row drawn with the bullet; 0 draws the text centred without it.
  static constexpr int kBulletBitmap = 135;
  enum Kind : int { kNoKind = -1, kPointerSpeedList = 1, kProfileList = 2, kMacroList = 3 };

  explicit CListBoxEx(QWidget* parent = nullptr);

  void SetKind(int kind) { kind_ = kind; }
  int kind() const { return kind_; }
  // The window that receives UM_PICK_FUNCTION (it takes skin messages).
  void SetOwner(QWidget* owner) { owner_ = owner; }
  bool dragEnabled = false;
  // Makes the list a drop target.
  void Register() {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
  }

  // Appends a row for `code` (the list's rule gives it when none is stated: 16 + row for the
  // pointer speeds, 32 + row for the profiles, 1000 + row for the macros).
  void AddRow(const QString& text, std::optional<int> code = std::nullopt, int bitmap = kBulletBitmap);
  // The code of a row; nothing for a row that has none.
  std::optional<int> CodeOfRow(int row) const;
  // The row standing for `code`, or -1.
  int RowOfCode(int code) const;

  void SetBullet(const QImage& bullet) { bullet_ = bullet; }
  void SetColours(const QColor& text, const QColor& focusedSelectionText, const QColor& selection,
                  const QColor& background);
  const QColor& textColour() const { return text_; }
  const QColor& focusedSelectionTextColour() const { return focusedSelectionText_; }
  const QColor& selectionColour() const { return selection_; }
  const QColor& backgroundColour() const { return background_; }
  const QImage& bullet() const { return bullet_; }

 protected:
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dragMoveEvent(QDragMoveEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  void Pick(int row);

  int kind_ = kNoKind;
  QPointer<QWidget> owner_;
  QImage bullet_;
  QColor text_{255, 204, 0};
  QColor focusedSelectionText_{128, 128, 0};
  QColor selection_{41, 41, 41};
  QColor background_{22, 22, 22};
  int pressedRow_ = -1;
  QPoint pressPoint_;
};

}  // namespace orv
