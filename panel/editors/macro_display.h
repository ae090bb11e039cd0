#pragma once
// CVesperMacroDisplay: where the macro editor shows an area's recorded keys, one token per
// event ("A|<120ms> "), with the key-down and key-up marks drawn as small arrows. The text
// breaks into lines at the display's width, leaving room for a scroll bar that shows when the
// lines do not fit. A click gives it the keyboard (the editor then records into its area).
#include <QImage>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

class QScrollBar;

namespace orv {

// A display clicked (wParam: the display, as ControlParam gives it), to the macro editor.
inline constexpr uint32_t UM_DISPLAY_CLICK = 0x540;

class CVesperMacroDisplay : public QWidget {
 public:
  static constexpr int kScrollBarWidth = 15;
  static constexpr int kLeft = 2;

  CVesperMacroDisplay(QWidget* parent, const QImage& downMarker, const QImage& upMarker);

  // Lays the tokens out again and repaints: the view stays at the top while they fit, and goes
  // to their end once they overflow a display that already scrolled.
  void SetText(const std::u16string& text);
  const QString& text() const { return text_; }
  int lineCount() const { return lineCount_; }
  int visibleLines() const { return visibleLines_; }
  int firstLine() const { return firstLine_; }
  int lineHeight() const { return lineHeight_; }
  QScrollBar* scrollBar() const { return bar_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  struct Piece {
    int line;
    int x;
    QChar character;  // '|' and '^' are the marks
  };
  void Layout();
  void Place();

  QImage down_, up_;
  QString text_;
  QFont font_;
  std::vector<Piece> pieces_;
  int lineHeight_ = 14;
  int lineCount_ = 0;
  int visibleLines_ = 1;
  int firstLine_ = 0;
  QScrollBar* bar_ = nullptr;
};

}  // namespace orv
