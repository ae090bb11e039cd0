#include "skin/message_dialogs.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QTextLayout>

#include "link/messages.h"
#include "platform/process_rights.h"
#include "skin/bitmap_button.h"
#include "skin/qt_text.h"
#include "skin/skin_controls.h"
#include "skin/skin_shell.h"
#include "skin/skin_timer.h"

namespace orv {

QString FirmwareVersionText(int firmware) {
  if (firmware <= 0) return QStringLiteral("Disconnected");
  return QString::asprintf("%x.%02x", static_cast<unsigned>(firmware / 100), static_cast<unsigned>(firmware % 100));
}

QString SoftwareVersionText(int software) {
  if (software <= 0) software = kSoftwareVersion;
  QString digits = QString::number(software);
  return digits.left(1) + u'.' + (digits.size() > 1 ? digits.mid(1) : QStringLiteral("0"));
}

// --- the family's base ----------------------------------------------------------------------------

CSkinDialog::CSkinDialog(std::string installFolder, QWidget* parent)
    : SkinnedWindow<QDialog>(std::move(installFolder), parent, Qt::Dialog) {
  setModal(true);
}

CSkinDialog::~CSkinDialog() = default;

void CSkinDialog::SetUpSkin(const SkinWindowSetup& setup) {
  SkinnedWindow<QDialog>::SetUpSkin(setup);
  if (CBitmapBtn* exit = skin_.Button(QStringLiteral("BUTTON_EXIT")))
    connect(exit, &QAbstractButton::clicked, this, [this] { done(2); });
}

void CSkinDialog::Answer(const QString& key, int result) {
  CBitmapBtn* b = skin_.Button(key);
  if (!b) return;
  b->caption = b->tooltipText();
  connect(b, &QAbstractButton::clicked, this, [this, result] { done(result); });
}

int CSkinDialog::DoModal() { return exec(); }

void CSkinDialog::DrawCentred(QPainter& p, int x, int y, const QString& text) {
  QFontMetrics fm(p.font());
  p.drawText(QPoint(x - fm.horizontalAdvance(text) / 2, y + fm.ascent()), text);
}

void CSkinDialog::DrawWrapped(QPainter& p, const QRect& rect, const QString& text) {
  p.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

void CSkinDialog::showEvent(QShowEvent* e) {
  if (bottomRight_) {
    QRect area = CurrentSkinShell().WorkArea();
    move(area.right() + 1 - width(), area.bottom() + 1 - height());
  }
  QDialog::showEvent(e);
  raise();
  activateWindow();
}

// --- CWarningOneDlg ---------------------------------------------------------------------------------

CWarningOneDlg::CWarningOneDlg(const QString& message, const std::string& installFolder, QWidget* parent)
    : CSkinDialog(installFolder, parent), message_(message) {
  SkinWindowSetup setup;
  setup.section = QStringLiteral("WARNING_ONE");
  setup.requireImages = true;
  setup.buttonKeys = {QStringLiteral("BUTTON_EXIT"), QStringLiteral("BUTTON_OK")};
  SetUpSkin(setup);
  Answer(QStringLiteral("BUTTON_OK"), 2);
  setWindowTitle(skin_.Text(QStringLiteral("WARNING_ONE_TITLE")).text);
}

CWarningOneDlg::~CWarningOneDlg() = default;

bool CWarningOneDlg::Create() {
  if (created_ || !pdfMode_) return true;
  pdfMutex_ = std::make_unique<NamedMutex>(std::string(kPdfWarningMutexName));
  if (pdfMutex_->outcome() == NamedMutex::Outcome::AlreadyExists) {
    pdfMutex_.reset();
    return false;
  }
  created_ = true;
  SetBottomRight(true);
  // The link covers the words "Adobe Reader" of the message. Their place is taken from the
  // message as it is wrapped in its rectangle with this platform's font (character widths
  // differ from the face the rectangle was first laid out for); a message without those words
  // gets the link at the place the average character width gives.
  QFont font = SkinFont(14, 700);
  QFontMetrics fm(font);
  const int avgW = fm.averageCharWidth();
  const int h = fm.height();
  const QRect message = skin_.Control(QStringLiteral("WARNING_ONE_STRING")).rect();
  QRect at(message.left() + 35 * avgW - 1, message.top() - h / 4, 15 * avgW - 1, fm.leading() + (3 * h) / 2);
  const QString shown = DisplayedMessage();
  const qsizetype words = shown.indexOf(QString::fromLatin1(kPdfReaderLinkText).replace(u' ', QChar(0x00A0)));
  if (words >= 0 && message.width() > 0) {
    QTextLayout layout(shown, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    bool first = true;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(message.width());
      if (!first) y += fm.leading();
      first = false;
      line.setPosition(QPointF(0, y));
      y += line.height();
    }
    layout.endLayout();
    QTextLine line = layout.lineForTextPosition(static_cast<int>(words));
    if (line.isValid()) {
      const int x = static_cast<int>(line.cursorToX(static_cast<int>(words)));
      const int width = std::max(15 * avgW - 1, fm.horizontalAdvance(QString::fromLatin1(kPdfReaderLinkText)) + 2);
      at = QRect(message.left() + x, message.top() + static_cast<int>(line.y()) - h / 4, width, at.height());
      // Over a line with another below it, the link keeps to its own line.
      if (line.lineNumber() + 1 < layout.lineCount())
        at = QRect(at.left(), message.top() + static_cast<int>(line.y()), width, static_cast<int>(line.height()));
    }
  }
  link_ = new CHyperlink(this);
  link_->setObjectName(QStringLiteral("PDF_READER_LINK"));
  link_->setText(QString::fromLatin1(kPdfReaderLinkText));
  link_->SetURL(QString::fromLatin1(kPdfReaderAddress));
  link_->SetLinkFont(font);
  link_->SetColours(kAmber, kAmber, kAmber);
  link_->SetBackground(skin_.images.normal.copy(at));
  link_->setGeometry(at);
  link_->show();
  return true;
}

int CWarningOneDlg::DoModal() {
  if (!Create()) return -1;
  return exec();
}

QString CWarningOneDlg::DisplayedMessage() const {
  if (!pdfMode_) return message_;
  // The link's words stay on one line.
  QString shown = message_;
  return shown.replace(QString::fromLatin1(kPdfReaderLinkText),
                       QString::fromLatin1(kPdfReaderLinkText).replace(u' ', QChar(0x00A0)));
}

void CWarningOneDlg::DrawContent(QPainter& p) {
  p.setFont(SkinFont(14, 700));
  SkinTextEntry title = skin_.Text(QStringLiteral("WARNING_ONE_TITLE"));
  if (skin_.Has(QStringLiteral("WARNING_ONE_TITLE"))) DrawCentred(p, title.x, title.y, title.text);
  if (skin_.Has(QStringLiteral("WARNING_ONE_STRING")))
    DrawWrapped(p, skin_.Control(QStringLiteral("WARNING_ONE_STRING")).rect(), DisplayedMessage());
}

// --- CWarningTwoDlg ---------------------------------------------------------------------------------

CWarningTwoDlg::CWarningTwoDlg(const std::string& installFolder, const QString& message, QWidget* parent)
    : CSkinDialog(installFolder, parent), message_(message) {
  SkinWindowSetup setup;
  setup.section = QStringLiteral("WARNING_TWO");
  setup.buttonKeys = {QStringLiteral("BUTTON_EXIT"), QStringLiteral("BUTTON_YES"), QStringLiteral("BUTTON_NO")};
  SetUpSkin(setup);
  Answer(QStringLiteral("BUTTON_YES"), 1);
  Answer(QStringLiteral("BUTTON_NO"), 2);
}

CWarningTwoDlg::~CWarningTwoDlg() = default;

int& CWarningTwoDlg::Counter() {
  static int counter = 10;
  return counter;
}

void CWarningTwoDlg::SetTitle(const QString& title) {
  setWindowTitle(title);
  if (title.isEmpty() || timer_) return;
  Counter() = 10;
  timer_ = MakeSkinTimer();
  timer_->onTimeout = [this] { Tick(); };
  timer_->Start(1000, false);
}

void CWarningTwoDlg::Tick() {
  if (Counter() <= 1) {
    Counter() = 0;
    timer_->Stop();
    done(2);
    return;
  }
  --Counter();
  update();
}

void CWarningTwoDlg::DrawContent(QPainter& p) {
  // The texts are read afresh for every paint, so an edited Strings.xml shows at once.
  auto strings = ReadSkinSection(SkinDataPath(installFolder_, "Strings.xml"), QStringLiteral("WARNING_TWO"));
  p.setFont(SkinFont(12, 700));
  auto title = strings.find(QStringLiteral("WARNING_TWO_TITLE"));
  if (title != strings.end()) {
    SkinTextEntry t = ParseTextEntry(title->second);
    DrawCentred(p, t.x, t.y, t.text);
  }
  auto text = strings.find(QStringLiteral("WARNING_TWO_STRING"));
  if (text == strings.end()) return;
  QRect rect = ParseControlEntry(text->second).rect();
  DrawWrapped(p, rect, message_);
  if (timer_) {
    QRect lower(QPoint(rect.left(), rect.top() + 40), rect.bottomRight());
    DrawWrapped(p, lower, QString::fromLatin1(kCountdownFormat).arg(Counter()));
  }
}

// --- the option dialogs --------------------------------------------------------------------------------

COptionWarningDlg::COptionWarningDlg(const std::string& installFolder, std::string confFolder, const QString& section,
                                     ConfigValue flag, bool dragByBackground, QWidget* parent)
    : CSkinDialog(installFolder, parent), section_(section), confFolder_(std::move(confFolder)), flag_(flag) {
  SkinWindowSetup setup;
  setup.section = section;
  setup.dragByBackground = dragByBackground;
  setup.buttonKeys = {QStringLiteral("BUTTON_EXIT"), QStringLiteral("BUTTON_YES"), QStringLiteral("BUTTON_NO"),
                     QStringLiteral("BUTTON_OPTION")};
  SetUpSkin(setup);
  if (CBitmapBtn* option = optionButton()) option->toggle = true;
  if (CBitmapBtn* yes = skin_.Button(QStringLiteral("BUTTON_YES"))) {
    yes->caption = yes->tooltipText();
    connect(yes, &QAbstractButton::clicked, this, [this] {
      CBitmapBtn* option = optionButton();
      WriteConfigValue(confFolder_, flag_, option && option->latched() ? 1 : 0);
      done(1);
    });
  }
  Answer(QStringLiteral("BUTTON_NO"), 2);
  setWindowTitle(skin_.Text(section + QStringLiteral("_TITLE")).text);
}

CBitmapBtn* COptionWarningDlg::optionButton() const { return skin_.Button(QStringLiteral("BUTTON_OPTION")); }

void COptionWarningDlg::DrawContent(QPainter& p) {
  p.setFont(SkinFont(12, 700));
  const QString title = section_ + QStringLiteral("_TITLE");
  if (skin_.Has(title)) {
    SkinTextEntry t = skin_.Text(title);
    DrawCentred(p, t.x, t.y, t.text);
  }
  for (const char* suffix : {"_OPTION", "_STRING"}) {
    const QString key = section_ + QLatin1String(suffix);
    if (!skin_.Has(key) || (flag_ == ConfigValue::WarningFourOptionFlag && QLatin1String(suffix) == "_STRING")) continue;
    SkinControlEntry e = skin_.Control(key);
    DrawWrapped(p, e.rect(), e.tooltip);
  }
}

CWarningThreeDlg::CWarningThreeDlg(const std::string& installFolder, const std::string& confFolder, QWidget* parent)
    : COptionWarningDlg(installFolder, confFolder, QStringLiteral("WARNING_THREE"), ConfigValue::WarningOptionFlag,
                        false, parent) {}

CWarningThree2Dlg::CWarningThree2Dlg(const std::string& installFolder, const std::string& confFolder, QWidget* parent)
    : COptionWarningDlg(installFolder, confFolder, QStringLiteral("WARNING_THREE2"),
                        ConfigValue::WarningThree2OptionFlag, false, parent) {}

CWarningFourDlg::CWarningFourDlg(const std::string& installFolder, const std::string& confFolder, QWidget* parent)
    : COptionWarningDlg(installFolder, confFolder, QStringLiteral("WARNING_FOUR"), ConfigValue::WarningFourOptionFlag,
                        true, parent) {
  if (!skin_.Has(QStringLiteral("WARNING_FOUR_STRING"))) return;
  notice_ = new QPlainTextEdit(this);
  notice_->setObjectName(QString::number(kNoticeId));
  notice_->setReadOnly(true);
  notice_->setFrameShape(QFrame::NoFrame);
  notice_->setFont(SkinFont(12, 400));
  QPalette pal = notice_->palette();
  pal.setColor(QPalette::Text, kAmber);
  pal.setColor(QPalette::Base, QColor(32, 32, 32));
  notice_->setPalette(pal);
  notice_->setPlainText(skin_.Plain(QStringLiteral("WARNING_FOUR_LICENSE")));
  notice_->setGeometry(skin_.Control(QStringLiteral("WARNING_FOUR_STRING")).rect());
}

void CWarningFourDlg::DrawContent(QPainter& p) { COptionWarningDlg::DrawContent(p); }

// --- About -----------------------------------------------------------------------------------------------

const MessageEntry<CAboutDialog> CAboutDialog::kMessages[] = {
    {UM_VERSION_CHANGED, &CAboutDialog::OnVersionChanged, kZeroValue, kZeroValue},
};

CAboutDialog::CAboutDialog(const std::string& installFolder, std::string confFolder, QWidget* parent)
    : CSkinDialog(installFolder, parent), confFolder_(std::move(confFolder)) {
  const QString title = Q(kAboutWindowTitle);
  setWindowTitle(title);
  SkinWindowSetup setup;
  setup.section = QStringLiteral("ABOUT");
  setup.dragByBackground = true;
  setup.buttonKeys = {QStringLiteral("BUTTON_EXIT")};
  SetUpSkin(setup);
  clean_ = skin_.images.normal;
  DrawVersions();
  RegisterWindow(kAboutWindowTitle);
}

CAboutDialog::~CAboutDialog() { UnregisterWindow(); }

void CAboutDialog::DrawVersions() {
  if (clean_.isNull()) {
    update();
    return;
  }
  QImage& normal = skin_.images.normal;
  normal = clean_.copy();
  QPainter p(&normal);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setFont(SkinFont(12, 700));
  p.setPen(kAmber);
  if (skin_.Has(QStringLiteral("TITLE"))) {
    SkinTextEntry t = skin_.Text(QStringLiteral("TITLE"));
    DrawCentred(p, t.x, t.y, t.text);
  }
  QFontMetrics fm(p.font());
  if (skin_.Has(QStringLiteral("SOFTWARE_VERSION"))) {
    SkinTextEntry s = skin_.Text(QStringLiteral("SOFTWARE_VERSION"));
    p.drawText(QPoint(s.x, s.y + fm.ascent()), s.text + SoftwareVersionText(ReadSoftwareVersion(confFolder_)));
  }
  if (skin_.Has(QStringLiteral("FIRMWARE_VERSION"))) {
    SkinTextEntry f = skin_.Text(QStringLiteral("FIRMWARE_VERSION"));
    QRect area(f.x, f.y, 200, 40);
    p.drawImage(area.topLeft(), clean_, area);
    p.drawText(QPoint(f.x, f.y + fm.ascent()), f.text + FirmwareVersionText(ReadFirmwareVersion(confFolder_)));
  }
  p.end();
  update();
}

LResult CAboutDialog::OnVersionChanged(WParam, LParam) {
  DrawVersions();
  return 1;
}

LResult CAboutDialog::HandleMessage(uint32_t code, WParam w, LParam l) {
  return DispatchMessage(this, kMessages, code, w, l, [] { return LResult{0}; });
}

void CAboutDialog::keyPressEvent(QKeyEvent* e) { CSkinDialog::keyPressEvent(e); }

}  // namespace orv
