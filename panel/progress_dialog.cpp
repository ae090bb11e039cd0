#include "panel/progress_dialog.h"

#include <QKeyEvent>
#include <QPainter>

#include "link/messages.h"
#include "panel/panel_services.h"
#include "skin/qt_text.h"
#include "skin/skin_resources.h"
#include "skin/skin_timer.h"

namespace orv {

const MessageEntry<CPorgressDlg> CPorgressDlg::kMessages[] = {
    {UM_PROGRESS, &CPorgressDlg::OnProgress, {0, 100}, kFlagValue},
};

CPorgressDlg::CPorgressDlg(const std::string& installFolder, double paceSeconds, bool agentPresent,
                           PanelQuestions& services, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog), services_(services), model_(agentPresent),
      periodMs_(ProgressModel::TimerPeriodMs(paceSeconds)) {
  setWindowTitle(Q(kProgressWindowTitle));
  SkinWindowSetup setup;
  setup.section = QStringLiteral("PROGRESS_DLG");
  skin_.Skin(this, installFolder, setup);
  // The window has a picture and an outline only (no button states).
  if (skin_.images.normal.isNull() || skin_.images.mask.isNull())
    throw xException(QString::fromLatin1(kNoPictureMessage));
  const auto keys = ReadSkinSection(SkinDataPath(installFolder, "Skins.xml"), setup.section);
  auto it = keys.find(QStringLiteral("PROGRESS_TITLE"));
  if (it == keys.end() || !LoadSkinImage(SkinImagePath(installFolder, it->second), title_))
    throw xException(QString::fromLatin1(kNoPictureMessage));
  skin_.ApplyOutline(this);
  RegisterWindow(kProgressWindowTitle);
  timer_ = MakeSkinTimer();
  timer_->onTimeout = [this] { Advance(); };
  timer_->Start(periodMs_, false);
}

CPorgressDlg::~CPorgressDlg() {
  if (timer_) timer_->Stop();
  UnregisterWindow();
}

LResult CPorgressDlg::HandleMessage(uint32_t code, WParam w, LParam l) {
  return DispatchMessage(this, kMessages, code, w, l, [] { return LResult{0}; });
}

LResult CPorgressDlg::OnProgress(WParam w, LParam l) {
  if (model_.Report(static_cast<int64_t>(w), l)) services_.WarningOne(kOnboardFailureMessage);
  update();
  return 1;
}

void CPorgressDlg::Advance() {
  if (closing_) return;
  const ProgressModel::TickOutcome out = model_.Tick();
  update();
  if (out.close) {
    closing_ = true;
    timer_->Stop();
    // WM_CLOSE posted to itself: the modal loop ends once this tick is handled.
    QMetaObject::invokeMethod(this, [this] { done(1); }, Qt::QueuedConnection);
    return;
  }
  if (out.timedOut) services_.WarningOne(kOnboardFailureMessage);
}

QImage CPorgressDlg::Compose() const {
  QImage image = skin_.images.normal.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter p(&image);
  // The title is a picture of its own, placed where Strings.xml puts the title (its text is
  // the picture's, centred on the line).
  const SkinTextEntry title = skin_.Text(QStringLiteral("PROGRESS_TITLE"));
  p.drawImage(title.x, title.y + 6 - title_.height() / 2, title_);
  p.setPen(kGold);
  const SkinTextEntry text = skin_.Text(QStringLiteral("PROGRESS"));
  p.setFont(SkinFont(12));
  if (!text.text.isEmpty()) p.drawText(QPoint(text.x, text.y + 12), text.text);
  // The bar: 222 pixels at 100 %, from (16, 32) to (16 + 222 p, 46).
  p.fillRect(QRect(QPoint(16, 32), QPoint(model_.BarRight(), 46)), QColor(255, 186, 0));
  return image;
}

void CPorgressDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Compose());
}

void CPorgressDlg::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    e->accept();
    return;
  }
  QDialog::keyPressEvent(e);
}

}  // namespace orv
