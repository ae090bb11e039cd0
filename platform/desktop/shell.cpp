#include "platform/desktop/shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace orv {

bool ShellOpenProgram(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), X_OK) != 0)
    return false;
  // Absolute, so that a bare file name is never looked up along PATH instead.
  return QProcess::startDetached(QFileInfo(QString::fromStdString(path)).absoluteFilePath(), {});
}

bool ShellOpenDocument(const std::string& path) {
  if (path.empty()) return false;
  const QFileInfo file(QString::fromStdString(path));
  if (!file.exists()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

}  // namespace orv
