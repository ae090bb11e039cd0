#include "platform/input/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>
#include <QThread>

#include "platform/input/clipboard_text.h"

namespace orv {

bool PlaceOnQtClipboard(std::u16string_view text, bool ansi) {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (!app || QThread::currentThread() != app->thread()) return false;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return false;
  const std::u16string content = ClipboardText(text, ansi);
  clipboard->setText(QString::fromStdU16String(content), QClipboard::Clipboard);
  return true;
}

}  // namespace orv
