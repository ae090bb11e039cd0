#pragma once
// The other skinned controls: the folder bar of the button assignment window (CTaskBar with
// its CBarFolder folders), the list inside every value and button menu (CMenuListBox), and
// the link control of the first message dialog (CHyperlink).
#include <QAbstractButton>
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QListWidget>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

class QAbstractItemView;

namespace orv {

class CBitmapBtn;

// --- folder bar -----------------------------------------------------------------------------------

struct CBarFolder {
  QString caption;
  bool open = false;
  QPointer<QWidget> control;
  bool disabled = false;
};

// The header and body rectangles of each folder, top to bottom (a closed folder's body is empty).
struct FolderPlace {
  QRect header;
  QRect body;
};
std::vector<FolderPlace> LayOutFolders(const std::vector<int>& bodyHeights, const std::vector<bool>& open,
                                       int headerHeight, int width);

class CTaskBar : public QWidget {
 public:
  static constexpr int kId = 111;
  static constexpr int kMacroFolder = 3;
  static constexpr int kMaxFolders = 5;

  // Loads the toggle and macro-button images and the macro buttons' captions, then becomes a
  // child of `parent` at `rect`.
  CTaskBar(const std::string& installFolder, QWidget* parent, const QRect& rect);
  ~CTaskBar() override;

  // Appends a closed, enabled folder; its index, or -1 when the bar is full. The control may
  // come later (SetFolderControl).
  int AddFolder(const QString& caption, QWidget* control, int bodyHeight);
  void SetFolderControl(int index, QWidget* control);
  // -1 closes every folder; otherwise opens that folder and closes the others.
  void SetOpenFolder(int index);
  void SetMacroFolderDisabled(bool disabled);
  // The macro list in the macro folder: its double-click, focus and selection reach the
  // bar's parent as messages.
  void WatchMacroList(QAbstractItemView* list);

  const std::vector<CBarFolder>& folders() const { return folders_; }
  std::vector<FolderPlace> Places() const;
  int currentFolder() const { return currentFolder_; }
  std::array<uint8_t, 4> folderEnabled{1, 1, 1, 1};
  CBitmapBtn* toggleButton(int i) const { return i >= 0 && i < kMaxFolders ? toggleButtons_[i] : nullptr; }
  CBitmapBtn* newButton() const { return newButton_; }
  CBitmapBtn* deleteButton() const { return deleteButton_; }

  int headerHeight = 30;
  QColor lineColour{41, 41, 41};
  QColor textColour{255, 255, 255};
  QColor headerColour{21, 21, 21};

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Relayout();
  void Flip(int index);
  void PlaceButtons(const std::vector<FolderPlace>& places);

  std::vector<CBarFolder> folders_;
  std::vector<int> bodyHeights_;
  std::array<CBitmapBtn*, kMaxFolders> toggleButtons_{};
  CBitmapBtn* newButton_ = nullptr;
  CBitmapBtn* deleteButton_ = nullptr;
  // minus over, minus normal, minus disabled, plus over, plus normal, plus disabled
  std::array<QImage, 6> toggleImages_;
  int currentFolder_ = -1;
  QPointer<QAbstractItemView> macroList_;
};

// --- menu list ---------------------------------------------------------------------------------------

class CMenuListBox : public QListWidget {
 public:
  static constexpr int kRowHeight = 20;
  explicit CMenuListBox(QWidget* parent = nullptr);
  void SetBackground(const QBrush& brush);
  void SetTextColour(const QColor& colour);
  const QColor& textColour() const { return textColour_; }
  const QFont& listFont() const { return font_; }
  // The text a row shows in a width: single line, cut with an ellipsis.
  QString RowText(int row, int width) const;

 protected:
  void focusOutEvent(QFocusEvent*) override;

 private:
  QFont font_;
  QColor textColour_{255, 204, 0};
};

// --- hyperlink ---------------------------------------------------------------------------------------

class CHyperlink : public QAbstractButton {
 public:
  enum Alignment { Left = 0, Right = 1, Centre = 2 };
  explicit CHyperlink(QWidget* parent = nullptr);

  void SetURL(const QString& url);
  const QString& url() const { return url_; }
  // The owner's font: the normal face and an underlined copy for under the pointer.
  void SetLinkFont(const QFont& font);
  void SetColours(const QColor& normal, const QColor& hover, const QColor& visited);
  void SetBackground(const QImage& background) { background_ = background; update(); }
  void SetAlignment(Alignment a) { alignment_ = a; update(); }
  // Measures the text, adds 6 pixels on every side and resizes (centred on the old place if asked).
  void SizeToContent(bool centre);
  bool visited() const { return visited_; }
  bool hovering() const { return hovering_; }
  const QFont& linkFont() const { return normalFont_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void nextCheckState() override {}

 private:
  void BuildFonts();
  void Open();

  QString url_;
  QFont normalFont_, underlineFont_;
  QImage background_;
  bool useParentFont_ = true;
  bool fontsBuilt_ = false;
  QColor normal_{0, 0, 238}, hover_{255, 0, 0}, visited_Colour_{85, 26, 139};
  Alignment alignment_ = Left;
  bool visited_ = false;
  bool hovering_ = false;
};

}  // namespace orv
