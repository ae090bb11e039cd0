#include "panel/editors/button_menu.h"

#include <QKeyEvent>
#include <QPainter>

#include "panel/labels.h"
#include "panel/main_state.h"
#include "profile/function_catalog.h"
#include "skin/qt_text.h"
#include "skin/skin_controls.h"
#include "skin/skin_messages.h"
#include "skin/skin_resources.h"
#include "skin/skin_window.h"

namespace orv {

CButtonMenu::CButtonMenu(QWidget* mainWindow, int button, const std::string& programFolder)
    : QWidget(mainWindow, Qt::Popup | Qt::FramelessWindowHint), main_(mainWindow), button_(button) {
  setObjectName(QStringLiteral("BUTTON_MENU"));
  setAttribute(Qt::WA_DeleteOnClose);
  const QString picture = ReadSkinSectionText(SkinDataPath(programFolder, "Skins.xml"), QStringLiteral("BUTTON_MENU"));
  if (!picture.isEmpty()) LoadSkinImage(SkinImagePath(programFolder, picture), background_);
  const QSize image = background_.isNull() ? QSize(130, 140) : background_.size();
  list_ = new CMenuListBox(this);
  list_->setObjectName(QString::number(kListId));
  list_->SetBackground(Qt::black);
  list_->SetTextColour(Qt::white);
  list_->setGeometry(0, 0, image.width(), image.height() + 5);
  // The rows Menu.xml names, in the catalogue's order; each keeps its own function.
  const LabelBook book(programFolder);
  for (int row = 0; row < ChooserRowCount(Chooser::kButtonMenu); ++row) {
    const CatalogEntry* e = FindFunction(ChooserCode(Chooser::kButtonMenu, row).value_or(0));
    if (!e) continue;
    const auto text = book.MenuText(u"BUTTON_MENU", std::u16string(e->name.begin(), e->name.end()));
    if (!text) continue;
    list_->addItem(Q(*text));
    chooserRows_.push_back(row);
  }
  list_->setCurrentRow(-1);
  QObject::connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { Pick(list_->row(item)); });
  QObject::connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { Pick(list_->row(item)); });
  resize(image.width(), CMenuListBox::kRowHeight * static_cast<int>(chooserRows_.size()));
}

void CButtonMenu::OpenUnder(const QRect& label) {
  move(label.left(), label.top() + label.height());
  show();
  list_->setFocus();
}

void CButtonMenu::Pick(int row) {
  if (picked_ || row < 0 || row >= static_cast<int>(chooserRows_.size())) return;
  picked_ = true;
  PostToWindow(main_, UM_BUTTON_MENU_PICK, chooserRows_[row], button_);
}

void CButtonMenu::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!background_.isNull()) p.drawImage(0, 0, background_);
  else p.fillRect(rect(), Qt::black);
}

void CButtonMenu::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(e);
}

void ButtonMenuPopup::Open(int label, const QRect& labelOnScreen) {
  Close();
  if (label < 0 || label >= kButtonCount) return;
  menu_ = new CButtonMenu(main_, label, programFolder_);
  menu_->OpenUnder(labelOnScreen);
}

void ButtonMenuPopup::Close() {
  if (menu_) {
    menu_->hide();
    menu_->deleteLater();
  }
  menu_ = nullptr;
}

}  // namespace orv
