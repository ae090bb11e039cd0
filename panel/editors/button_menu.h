#pragma once
// The button menu (CButtonMenu): a pop-up list of the basic mouse functions under a label of
// the main window, opened by a right click. Choosing a row tells the main window
// (UM_BUTTON_MENU_PICK with the function's row in the catalogue's button menu and the label);
// the main window then closes it. A click elsewhere or Esc closes it too.
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "panel/editors/editor_windows.h"

namespace orv {

class CMenuListBox;

class CButtonMenu : public QWidget {
 public:
  static constexpr int kListId = 129;
  // A hidden pop-up for `button` of `mainWindow`, its rows from Menu.xml in `programFolder`.
  CButtonMenu(QWidget* mainWindow, int button, const std::string& programFolder);

  // Below the label's screen rectangle, as wide as its picture and as high as its rows; shown.
  void OpenUnder(const QRect& labelOnScreen);
  CMenuListBox* list() const { return list_; }
  int button() const { return button_; }
  // The catalogue row of each row shown (a row missing from Menu.xml is not shown).
  const std::vector<int>& chooserRows() const { return chooserRows_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent*) override;

 private:
  void Pick(int row);

  QPointer<QWidget> main_;
  int button_;
  QImage background_;
  CMenuListBox* list_ = nullptr;
  std::vector<int> chooserRows_;
  bool picked_ = false;
};

// The button menu as the main window holds it: one open at a time.
class ButtonMenuPopup : public ButtonMenuWindow {
 public:
  ButtonMenuPopup(QWidget* mainWindow, std::string programFolder)
      : main_(mainWindow), programFolder_(std::move(programFolder)) {}
  ~ButtonMenuPopup() override { Close(); }
  void Open(int label, const QRect& labelOnScreen) override;
  void Close() override;
  CButtonMenu* menu() const { return menu_; }
  void SetMainWindow(QWidget* mainWindow) { main_ = mainWindow; }

 private:
  QPointer<QWidget> main_;
  std::string programFolder_;
  QPointer<CButtonMenu> menu_;
};

}  // namespace orv
