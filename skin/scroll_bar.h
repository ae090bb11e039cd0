#pragma once
// CSkinScrollBar, a scroll bar drawn from one image of nine cells in three rows, which talks
// to its parent like a system scroll bar (WM_VSCROLL / WM_HSCROLL requests); and
// CSkinScrollWnd, which puts two of them on a Qt scrollable control and keeps them in step
// with the control's own scroll state.
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "skin/skin_messages.h"

class QAbstractScrollArea;
class QScrollBar;

namespace orv {

class SkinTimer;

// A system scroll bar's information: range min..max, page, position, track position (-1: not dragging).
struct ScrollInfo {
  int min = 0;
  int max = 0;
  int page = 0;
  int pos = 0;
  int trackPos = -1;
  bool operator==(const ScrollInfo&) const = default;
};

// Parts along a bar, also the request codes sent for them.
enum ScrollPart : int { kPartNone = -1, kPartLineUp = 0, kPartLineDown = 1, kPartPageUp = 2, kPartPageDown = 3, kPartThumb = 5 };

// The geometry of a bar of length L with arrows of `cell` pixels, its thumb placed for position q.
struct ScrollGeometry {
  int length = 0;       // L
  int track = 0;        // T = L - 2 cell, at least 0
  int range = 0;        // R: the number of scrollable positions
  int thumb = 0;        // t
  int arrow = 0;        // a
  int offset = 0;       // p
  int Hit(int coordinate) const;
  // [start, end) of a part along the axis.
  std::pair<int, int> Span(int part) const;
};
ScrollGeometry ComputeScrollGeometry(int length, int cell, const ScrollInfo& info, bool forDrawing);
// The last position a bar can reach: max less the page beyond its first line.
int LastScrollPosition(const ScrollInfo& info);

class CSkinScrollBar : public QWidget {
 public:
  CSkinScrollBar(Qt::Orientation orientation, QWidget* parent);
  ~CSkinScrollBar() override;

  // Stores the image (not owned), derives the cell and row sizes and makes the bar `cell` thick.
  void SetBitmap(const QImage* image);
  void SetScrollInfo(const ScrollInfo& info, bool redraw = true);
  const ScrollInfo& info() const { return info_; }
  bool vertical() const { return orientation_ == Qt::Vertical; }
  bool dragging() const { return dragging_; }
  int cell() const { return cell_; }
  int hotPart() const { return hotPart_; }
  int pressedPart() const { return pressedPart_; }
  ScrollGeometry Geometry() const;
  int controlId = 0;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override {}
  void leaveEvent(QEvent*) override;

 private:
  int Along(const QPoint& p) const { return vertical() ? p.y() : p.x(); }
  void Send(uint32_t code, int pos = 0);
  void DelayDone();
  void Repeat();
  void StopTimers();
  void DrawPart(QPainter& p, const ScrollGeometry& g, int part);
  QRect PartRect(const ScrollGeometry& g, int part) const;

  Qt::Orientation orientation_;
  const QImage* image_ = nullptr;
  int cell_ = 16;
  int row_ = 16;
  ScrollInfo info_;
  bool dragging_ = false;
  QPoint pressPoint_;
  int dragStartPosition_ = 0;
  int pressedPart_ = kPartNone;
  bool repeating_ = false;
  int hotPart_ = kPartNone;
  bool outsidePressed_ = false;
  QPoint lastPointer_;  // where the pointer was last seen, for paging
  std::unique_ptr<SkinTimer> delay_;
  std::unique_ptr<SkinTimer> repeat_;
};

// The wrapper: a frame in the control's place that holds the control, clipped, and the two bars.
class CSkinScrollWnd : public QWidget, public SkinMessageTarget {
 public:
  CSkinScrollWnd(QAbstractScrollArea* area, const QImage& image);
  ~CSkinScrollWnd() override;

  CSkinScrollBar* horizontalBar() const { return horizontal_; }
  CSkinScrollBar* verticalBar() const { return vertical_; }
  QWidget* clip() const { return clip_; }
  int thickness() const { return thickness_; }
  int cornerMode() const { return corner_; }  // 0 none, 1 left, 2 right
  // Copies the control's scroll state into the bars where it differs; shows and hides them.
  void Sync();

  LResult SkinMessage(uint32_t code, WParam w, LParam l) override;

 protected:
  void resizeEvent(QResizeEvent*) override;
  void paintEvent(QPaintEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();
  static ScrollInfo InfoOf(const QScrollBar* bar);

  QPointer<QAbstractScrollArea> area_;
  // The same control as a plain object, for telling its events apart: while it is destroyed it
  // is no longer a scroll area, and area_ must not be read then.
  const QObject* watched_ = nullptr;
  QImage image_;
  int thickness_ = 16;
  CSkinScrollBar* horizontal_ = nullptr;
  CSkinScrollBar* vertical_ = nullptr;
  QWidget* clip_ = nullptr;
  bool relaying_ = false;
  int corner_ = 0;
  Qt::ScrollBarPolicy verticalPolicy_;
  Qt::ScrollBarPolicy horizontalPolicy_;
  std::unique_ptr<SkinTimer> timer_;
};

// Wraps `area` in skinned scroll bars drawn from `image`; the wrapper ends with the control.
CSkinScrollWnd* SkinScrollWindow(QAbstractScrollArea* area, const QImage& image);

}  // namespace orv
