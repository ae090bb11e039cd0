#include "skin/skin_controls.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "skin/bitmap_button.h"
#include "skin/skin_messages.h"
#include "skin/skin_resources.h"
#include "skin/skin_shell.h"
#include "skin/skin_window.h"

namespace orv {

// --- folder bar -----------------------------------------------------------------------------------

std::vector<FolderPlace> LayOutFolders(const std::vector<int>& bodyHeights, const std::vector<bool>& open,
                                       int headerHeight, int width) {
  std::vector<FolderPlace> places;
  int y = 0;
  for (size_t i = 0; i < bodyHeights.size(); ++i) {
    FolderPlace p;
    int h = headerHeight + (i == static_cast<size_t>(CTaskBar::kMacroFolder) ? 20 : 0);
    p.header = QRect(0, y, width, h);
    y += h;
    if (i < open.size() && open[i]) {
      p.body = QRect(0, y, width, std::max(0, bodyHeights[i]));
      y += std::max(0, bodyHeights[i]);
    }
    places.push_back(p);
  }
  return places;
}

CTaskBar::CTaskBar(const std::string& installFolder, QWidget* parent, const QRect& rect) : QWidget(parent) {
  auto load = [&](const char* name, QImage& image) { LoadSkinImage(SkinDataPath(installFolder, name), image); };
  load("skins/Minus button_over.jpg", toggleImages_[0]);
  load("skins/Minus button_normal.jpg", toggleImages_[1]);
  load("skins/Plus Button_disable.jpg", toggleImages_[2]);
  load("skins/Plus Button_over.jpg", toggleImages_[3]);
  load("skins/Plus Button_normal.jpg", toggleImages_[4]);
  toggleImages_[5] = toggleImages_[2];
  QImage newNormal, newOver, newDown;
  load("skins/new_normal.jpg", newNormal);
  load("skins/new_over.jpg", newOver);
  load("skins/new_down.jpg", newDown);
  auto captions = ReadSkinSection(SkinDataPath(installFolder, "Functions.xml"), QStringLiteral("CUSTOM_MACROS"));

  auto makeMacroButton = [&](const QString& caption, uint32_t message) {
    auto* b = new CBitmapBtn(this);
    b->resize(70, 25);
    b->SetSkinImages(QRect(0, 0, 76, 25), newNormal, newOver, newDown, newNormal);
    b->caption = caption;
    b->hide();
    connect(b, &QAbstractButton::clicked, this, [this, message] { PostToParent(this, message, 0, 0); });
    return b;
  };
  newButton_ = makeMacroButton(captions[QStringLiteral("NEW_MACRO")], UM_NEW_MACRO);
  deleteButton_ = makeMacroButton(captions[QStringLiteral("DELETE")], UM_DELETE_MACRO);
  setGeometry(rect);
  setObjectName(QStringLiteral("CTaskBar"));
}

CTaskBar::~CTaskBar() = default;

int CTaskBar::AddFolder(const QString& caption, QWidget* control, int bodyHeight) {
  if (folders_.size() >= static_cast<size_t>(kMaxFolders)) return -1;
  int index = static_cast<int>(folders_.size());
  folders_.push_back(CBarFolder{caption, false, control, false});
  bodyHeights_.push_back(bodyHeight);
  auto* toggle = new CBitmapBtn(this);
  toggle->resize(17, 17);
  toggle->SetSkinImages(QRect(0, 0, 17, 17), toggleImages_[4], toggleImages_[3], toggleImages_[3], toggleImages_[4]);
  toggle->SetTooltip(caption, true);
  toggle->hide();
  connect(toggle, &QAbstractButton::clicked, this, [this, index] {
    PostToParent(this, UM_CLEAR_SELECTIONS, 0, 0);
    Flip(index);
  });
  toggleButtons_[index] = toggle;
  if (control) control->hide();
  Relayout();
  return index;
}

void CTaskBar::SetFolderControl(int index, QWidget* control) {
  if (index < 0 || index >= static_cast<int>(folders_.size())) return;
  folders_[index].control = control;
  if (control) control->hide();
  Relayout();
}

std::vector<FolderPlace> CTaskBar::Places() const {
  std::vector<bool> open;
  for (const CBarFolder& f : folders_) open.push_back(f.open);
  return LayOutFolders(bodyHeights_, open, headerHeight, width());
}

void CTaskBar::Flip(int index) {
  if (index < 0 || index >= static_cast<int>(folders_.size())) return;
  bool open = !folders_[index].open;
  for (CBarFolder& f : folders_) f.open = false;
  folders_[index].open = open;
  currentFolder_ = index;
  Relayout();
}

void CTaskBar::SetOpenFolder(int index) {
  for (size_t i = 0; i < folders_.size(); ++i)
    if (index < 0 || i <= 3 || static_cast<int>(i) == index) folders_[i].open = static_cast<int>(i) == index;
  if (index >= 0 && index < static_cast<int>(folders_.size())) currentFolder_ = index;
  Relayout();
}

void CTaskBar::SetMacroFolderDisabled(bool disabled) {
  if (kMacroFolder < static_cast<int>(folders_.size())) folders_[kMacroFolder].disabled = disabled;
  PlaceButtons(Places());
  update();
}

void CTaskBar::Relayout() {
  std::vector<FolderPlace> places = Places();
  for (size_t i = 0; i < folders_.size(); ++i) {
    QWidget* control = folders_[i].control;
    if (!control) continue;
    if (folders_[i].open) {
      control->setGeometry(places[i].body);
      control->show();
      control->update();
    } else {
      control->hide();
    }
  }
  PlaceButtons(places);
  update();
}

void CTaskBar::PlaceButtons(const std::vector<FolderPlace>& places) {
  for (size_t i = 0; i < folders_.size(); ++i) {
    const QRect& h = places[i].header;
    CBitmapBtn* toggle = toggleButtons_[i];
    toggle->setGeometry(h.left() + 156, h.top() + 7, 17, 17);
    const bool open = folders_[i].open;
    const QImage& normal = toggleImages_[open ? 1 : 4];
    const QImage& over = toggleImages_[open ? 0 : 3];
    const QImage& disable = toggleImages_[open ? 2 : 5];
    toggle->SetSkinImages(QRect(1, 1, 17, 17), normal, over, over, disable);
    toggle->setEnabled(!folders_[i].disabled && (i >= folderEnabled.size() || folderEnabled[i] != 0));
    toggle->show();
    if (static_cast<int>(i) == kMacroFolder) {
      newButton_->setGeometry(h.left() + 6, h.top() + 22, 70, 25);
      deleteButton_->setGeometry(h.left() + 86, h.top() + 22, 70, 25);
      newButton_->show();
      deleteButton_->show();
    }
  }
}

void CTaskBar::paintEvent(QPaintEvent*) {
  QImage off(size(), QImage::Format_RGB32);
  off.fill(lineColour);
  {
    QPainter p(&off);
    std::vector<FolderPlace> places = Places();
    for (size_t i = 0; i < folders_.size(); ++i) {
      const QRect h = places[i].header;
      const int left = h.left(), top = h.top(), right = h.left() + h.width(), bottom = h.top() + h.height();
      p.setPen(lineColour);
      p.drawLine(left, top, right - 1, top);
      // The 3-D frame: top-left edges in the header colour, bottom-right ones in the line colour.
      p.setPen(headerColour);
      p.drawLine(left, top + 1, right - 2, top + 1);
      p.drawLine(left, top + 1, left, bottom - 2);
      p.setPen(lineColour);
      p.drawLine(right - 1, top + 1, right - 1, bottom - 1);
      p.drawLine(left, bottom - 1, right - 1, bottom - 1);
      p.fillRect(QRect(QPoint(left + 1, top + 2), QPoint(right - 2, bottom - 2)), headerColour);
      int captionTop = static_cast<int>(i) == kMacroFolder ? top - 20 : top + 2;
      p.setPen(textColour);
      p.setFont(SkinFont(12, 700));
      p.drawText(QRect(QPoint(left + 6, captionTop), QPoint(right - 2, bottom - 2)),
                 Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, folders_[i].caption);
    }
  }
  QPainter(this).drawImage(0, 0, off);
}

void CTaskBar::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  std::vector<FolderPlace> places = Places();
  int hit = -1;
  for (size_t i = 0; i < places.size(); ++i)
    if (places[i].header.contains(e->position().toPoint())) hit = static_cast<int>(i);
  if (hit < 0) {
    for (CBarFolder& f : folders_) f.open = false;
    Relayout();
    return;
  }
  if (folders_[hit].disabled || (hit < static_cast<int>(folderEnabled.size()) && folderEnabled[hit] == 0)) return;
  PostToParent(this, UM_CLEAR_SELECTIONS, 0, 0);
  Flip(hit);
}

void CTaskBar::WatchMacroList(QAbstractItemView* list) {
  if (!list) return;
  macroList_ = list;
  list->setObjectName(list->objectName().isEmpty() ? QStringLiteral("134") : list->objectName());
  list->installEventFilter(this);
  connect(list, &QAbstractItemView::doubleClicked, this, [this] { PostToParent(this, UM_EDIT_MACRO, 0, 0); });
  if (list->selectionModel())
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { PostToParent(this, UM_MACRO_LIST_SELECT, 0, 0); });
}

bool CTaskBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == macroList_ && event->type() == QEvent::FocusIn) PostToParent(this, UM_MACRO_LIST_FOCUS, 0, 0);
  return QWidget::eventFilter(watched, event);
}

// --- menu list ---------------------------------------------------------------------------------------

namespace {

class MenuRowDelegate : public QStyledItemDelegate {
 public:
  explicit MenuRowDelegate(CMenuListBox* list) : QStyledItemDelegate(list), list_(list) {}
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!index.isValid()) return;
    p->save();
    p->setFont(list_->listFont());
    p->setPen(list_->textColour());
    p->drawText(option.rect, Qt::AlignCenter | Qt::TextSingleLine, list_->RowText(index.row(), option.rect.width()));
    p->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return QSize(0, CMenuListBox::kRowHeight);
  }

 private:
  CMenuListBox* list_;
};

}  // namespace

CMenuListBox::CMenuListBox(QWidget* parent) : QListWidget(parent), font_(SkinFont(12, 400)) {
  setItemDelegate(new MenuRowDelegate(this));
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setUniformItemSizes(true);
}

void CMenuListBox::SetBackground(const QBrush& brush) {
  QPalette pal = palette();
  pal.setBrush(QPalette::Base, brush);
  pal.setBrush(QPalette::Window, brush);
  setPalette(pal);
  viewport()->setAutoFillBackground(true);
}

void CMenuListBox::SetTextColour(const QColor& colour) {
  textColour_ = colour;
  viewport()->update();
}

QString CMenuListBox::RowText(int row, int width) const {
  QListWidgetItem* it = item(row);
  if (!it) return {};
  return QFontMetrics(font_).elidedText(it->text(), Qt::ElideRight, width);
}

void CMenuListBox::focusOutEvent(QFocusEvent* e) {
  QListWidget::focusOutEvent(e);
  // Losing the focus closes the pop-up the list lives in.
  if (QWidget* popup = parentWidget()) {
    popup->hide();
    popup->deleteLater();
  }
}

// --- hyperlink ---------------------------------------------------------------------------------------

CHyperlink::CHyperlink(QWidget* parent) : QAbstractButton(parent) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  connect(this, &QAbstractButton::clicked, this, [this] { Open(); });
}

void CHyperlink::SetURL(const QString& url) {
  url_ = url;
  setToolTip(url);
}

void CHyperlink::SetLinkFont(const QFont& font) {
  normalFont_ = font;
  underlineFont_ = font;
  underlineFont_.setUnderline(true);
  useParentFont_ = false;
  fontsBuilt_ = true;
  update();
}

void CHyperlink::SetColours(const QColor& normal, const QColor& hover, const QColor& visited) {
  normal_ = normal;
  hover_ = hover;
  visited_Colour_ = visited;
  update();
}

void CHyperlink::BuildFonts() {
  QFont parentFont = parentWidget() ? parentWidget()->font() : font();
  QFont f = SkinFont(parentFont.pixelSize() > 0 ? parentFont.pixelSize() : 12, parentFont.weight() > 400 ? 700 : 400);
  f.setFamily(parentFont.family());
  normalFont_ = f;
  underlineFont_ = f;
  underlineFont_.setUnderline(true);
  fontsBuilt_ = true;
}

void CHyperlink::SizeToContent(bool centre) {
  if (!fontsBuilt_) BuildFonts();
  QFontMetrics fm(normalFont_);
  QSize want(fm.horizontalAdvance(text()) + 12, fm.height() + 12);
  QRect old = geometry();
  QRect next(old.topLeft(), want);
  if (centre) next.moveCenter(old.center());
  setGeometry(next);
}

void CHyperlink::paintEvent(QPaintEvent*) {
  if (useParentFont_ && !fontsBuilt_) BuildFonts();
  QPainter p(this);
  if (!background_.isNull()) p.drawImage(0, 0, background_);
  p.setFont(hovering_ ? underlineFont_ : normalFont_);
  p.setPen(hovering_ ? hover_ : (visited_ ? visited_Colour_ : normal_));
  Qt::Alignment h = alignment_ == Right ? Qt::AlignRight : alignment_ == Centre ? Qt::AlignHCenter : Qt::AlignLeft;
  QFontMetrics fm(p.font());
  p.drawText(rect(), h | Qt::AlignVCenter | Qt::TextSingleLine, fm.elidedText(text(), Qt::ElideRight, width()));
}

void CHyperlink::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    click();
    return;
  }
  QAbstractButton::keyPressEvent(e);
}

void CHyperlink::enterEvent(QEnterEvent* e) {
  QAbstractButton::enterEvent(e);
  hovering_ = true;
  update();
}

void CHyperlink::leaveEvent(QEvent* e) {
  QAbstractButton::leaveEvent(e);
  hovering_ = false;
  update();
}

void CHyperlink::Open() {
  if (url_.isEmpty()) return;
  CurrentSkinShell().OpenUrl(url_);
  visited_ = true;
  update();
}

}  // namespace orv
