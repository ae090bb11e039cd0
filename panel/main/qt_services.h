#pragma once
// The desktop's side of PanelServices on Qt: file dialogs, plain message boxes, the desktop's
// handler for documents and the print dialog. The skinned message dialogs are the window's
// own and come from the class that completes this one.
#include <QString>
#include <QWidget>

#include "panel/panel_services.h"

namespace orv {

inline constexpr std::u16string_view kNoPrinterMessage = u"No printer is installed: the profile cannot be printed.";

class QtDesktopServices : public PanelServices {
 public:
  // Dialogs open over `owner` (may be null).
  explicit QtDesktopServices(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void MessageBox(std::u16string_view text, std::u16string_view title, bool error) override;
  std::optional<std::string> OpenFileName(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileName(const FileDialogRequest& request) override;
  bool OpenDocument(const std::string& path) override;
  bool PrintPage(const QImage& page) override;

 private:
  std::optional<std::string> FileDialog(const FileDialogRequest& request, bool save);
  QWidget* owner_;
};

// "Text(*.ext)|*.ext|" pairs as Qt's name filters ("Text(*.ext)" with its patterns).
QStringList QtNameFilters(std::u16string_view filter);

}  // namespace orv
