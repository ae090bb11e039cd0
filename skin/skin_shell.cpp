#include "skin/skin_shell.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

namespace orv {

namespace {

class DesktopShell : public SkinShell {
 public:
  bool OpenUrl(const QString& url) override { return QDesktopServices::openUrl(QUrl(url)); }
  QRect WorkArea() override {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  }
};

SkinShell*& Installed() {
  static SkinShell* shell = nullptr;
  return shell;
}

}  // namespace

SkinShell& CurrentSkinShell() {
  static DesktopShell desktop;
  SkinShell* s = Installed();
  return s ? *s : desktop;
}

void SetSkinShell(SkinShell* shell) { Installed() = shell; }

}  // namespace orv
