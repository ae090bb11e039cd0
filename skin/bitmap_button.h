#pragma once
// CBitmapBtn: the one push button of both programs. Its look is four images cut out of its
// window's whole-window images; beyond the mouse states it can carry a caption in four
// layouts, stay latched, toggle, act as a drag source of its index and as a drop target for
// small numbers, and show a character card. CColorBtn also paints a colour swatch.
#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <functional>

class QMimeData;

namespace orv {

// Which of the four state images a button shows.
enum class ButtonImage { Normal, Over, Down, Disable };
ButtonImage ChooseStateImage(bool toggle, bool latched, bool selected, bool hovering, bool disabled);

// Where and how a caption is drawn on a button of `size`.
struct CaptionLayout {
  enum Kind { RotatedUp, CentredBold, RotatedDown, Plain } kind = Plain;
  QFont font;
  QString text;    // what is drawn (cut with an ellipsis in the plain layout)
  int angle = 0;   // degrees counter-clockwise
  QPoint origin;   // top-left of the text cell before rotation (all layouts but plain)
  QRect rect;      // the plain layout's rectangle (single line, centred, top-aligned)
};

// A dragged text read as a decimal number; false when it is none.
bool DroppedNumber(const QMimeData* data, int& number);

class CBitmapBtn : public QAbstractButton {
 public:
  explicit CBitmapBtn(QWidget* parent = nullptr);
  ~CBitmapBtn() override;

  // --- images -------------------------------------------------------------------------------
  // Cuts the four state images out of the window's images at `rect`.
  void SetSkinImages(const QRect& rect, const QImage& normalSource, const QImage& overSource,
                     const QImage& downSource, const QImage& disableSource);
  // Card mode: the images cut at (0, 0, width, button height) out of the given pictures.
  void SetCardImages(const QImage& normal, const QImage& over, const QImage& down, const QImage& disable,
                     int width);
  // Card mode off: the images cut at `rect` out of the given pictures.
  void SetImages(const QImage& normal, const QImage& over, const QImage& down, const QImage& disable,
                 const QRect& rect);
  void SetCardTexts(const QString& realm, const QString& name, const QString& level, const QString& cls,
                    const QString& race);
  const QImage& image(ButtonImage which) const;

  // --- state and properties ------------------------------------------------------------------
  void SetTooltip(const QString& text, bool active);
  const QString& tooltipText() const { return tooltipText_; }
  // Redraws only when the value changes.
  void SetLatched(bool latched);
  bool latched() const { return latched_; }
  bool hovering() const { return hovering_; }
  bool card() const { return card_; }

  QString caption;
  bool toggle = false;
  bool rotateUp = false;
  bool rotateDown = false;
  bool centreBold = false;
  bool light = false;
  bool dragSource = false;
  int32_t index = -1;
  int32_t dropKind = -1;  // 1: numbers 0-9; 2: numbers 16-1200; else nothing
  int controlId = 0;

  // --- drag and drop -------------------------------------------------------------------------
  // From now on drags over the button reach OnDragOver and OnDrop.
  void RegisterDropTarget();
  virtual Qt::DropAction OnDragOver(const QMimeData* data);
  virtual bool OnDrop(const QMimeData* data);
  // -1: not handled, the plain drop is used.
  virtual int OnDropEx(const QMimeData* data);
  // The data a drag of this button carries: its index as decimal text.
  QMimeData* DragData() const;
  // Runs a drag of `data` with the copy effect; replaceable so tests can see the drag start.
  static std::function<void(CBitmapBtn*, QMimeData*)>& DragRunner();

  // The caption's placement on this button as it is now.
  CaptionLayout Layout() const;
  static CaptionLayout LayoutCaption(const QString& caption, QSize size, bool rotateUp, bool centreBold,
                                     bool rotateDown, bool light);

 protected:
  // Draws the button into `painter` (the client area starting at 0, 0).
  virtual void DrawItem(QPainter& painter, bool selected, bool disabled);
  ButtonImage CurrentImage() const;

  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void changeEvent(QEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dragMoveEvent(QDragMoveEvent*) override;
  void dropEvent(QDropEvent*) override;
  bool hitButton(const QPoint& pos) const override;

 private:
  void SetHovering(bool on);
  void DrawCard(QPainter& painter, const QImage& state);
  void DrawCaption(QPainter& painter);

  bool hovering_ = false;
  bool latched_ = false;
  bool card_ = false;
  QString cardName_, cardRealm_, cardLevel_, cardRace_, cardClass_;
  QImage normal_, over_, down_, disable_;
  QString tooltipText_;
};

class CColorBtn : public CBitmapBtn {
 public:
  using CBitmapBtn::CBitmapBtn;
  QColor colour;

 protected:
  void DrawItem(QPainter& painter, bool selected, bool disabled) override;
};

}  // namespace orv
