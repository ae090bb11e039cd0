#include "panel/main/qt_services.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "base/files.h"
#include "panel/print_page.h"
#include "platform/desktop/shell.h"
#include "skin/qt_text.h"

namespace orv {

QStringList QtNameFilters(std::u16string_view filter) {
  const QStringList parts = Q(filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString text = parts[i];
    const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
    // Qt reads the patterns from the last parentheses of a filter.
    out << (text.endsWith(QLatin1Char(')')) && text.contains(patterns) ? text
                                                                        : text + QStringLiteral(" (") + patterns +
                                                                              QStringLiteral(")"));
  }
  return out;
}

void QtDesktopServices::MessageBox(std::u16string_view text, std::u16string_view title, bool error) {
  QMessageBox box(error ? QMessageBox::Critical : QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Ok, owner_);
  box.exec();
}

std::optional<std::string> QtDesktopServices::FileDialog(const FileDialogRequest& request, bool save) {
  QFileDialog dialog(owner_);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(QtNameFilters(request.filter));
  QString suffix = Q(request.defaultExtension);
  if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
  dialog.setDefaultSuffix(suffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
  dialog.setDirectory(QString::fromStdString(request.folder));
  const QString name = Q(request.fileName);
  if (!name.isEmpty() && !name.contains(QLatin1Char('*'))) dialog.selectFile(name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> QtDesktopServices::OpenFileName(const FileDialogRequest& request) { return FileDialog(request, false); }

std::optional<std::string> QtDesktopServices::SaveFileName(const FileDialogRequest& request) { return FileDialog(request, true); }

bool QtDesktopServices::OpenDocument(const std::string& path) { return ShellOpenDocument(path); }

bool QtDesktopServices::PrintPage(const QImage& page) {
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    WarningOne(kNoPrinterMessage);
    return false;
  }
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, owner_);
  // All pages; no selection, page numbers or printing to a file.
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
  if (dialog.exec() != QDialog::Accepted) return false;
  return PrintPageImage(printer, page);
}

}  // namespace orv
