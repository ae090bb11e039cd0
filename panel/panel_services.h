#pragma once
// What the panel hands to a person or to the desktop, gathered behind small interfaces so that
// tests can answer in the person's place: the message dialogs, the file dialogs, opening a
// document with the desktop's handler, and the way to the agent (window bus or pipe).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/window_bus.h"

class QImage;

namespace orv {

// The open and save dialogs of import and export.
inline constexpr std::u16string_view kProfileFileFilter = u"Configure File(*.xml)|*.xml|";
inline constexpr std::u16string_view kProfileFileExtension = u".xml";

struct FileDialogRequest {
  std::string folder;                                      // where the dialog starts
  std::u16string fileName;                                 // the name it proposes
  std::u16string filter{kProfileFileFilter};               // "Text(*.ext)|*.ext|" pairs
  std::u16string defaultExtension{kProfileFileExtension};  // added to a name typed without one
  bool overwritePrompt = true;
  bool hideReadOnly = true;
};

// The skinned questions and notices a window puts to the person. A new one is added here, and
// to the main window's services and the tests' stand-in.
class PanelQuestions {
 public:
  virtual ~PanelQuestions() = default;
  // CWarningOneDlg: a notice with one button.
  virtual void WarningOne(std::u16string_view text) = 0;
  // CWarningTwoDlg: a yes/no question; 1 is yes, anything else no. A title turns on the
  // dialog's ten-second countdown, which ends with no.
  virtual int WarningTwo(std::u16string_view text, std::u16string_view title = {}) = 0;
  // CWarningThree2Dlg: the lift-distance notice with its "do not show again" option; 2 stops
  // the change.
  virtual int WarningThree2() = 0;
  // CWarningThreeDlg: deleting a macro, with its "do not show again" option; 2 stops it.
  virtual int WarningThree() = 0;
  // CWarningFourDlg: before a new macro is recorded, with the same option; 2 stops it.
  virtual int WarningFour() = 0;
};

// What the desktop does for the panel: plain message boxes, file dialogs, opening a document,
// printing.
class PanelDesktop {
 public:
  virtual ~PanelDesktop() = default;
  // A plain message box with a fixed text (the error icon when `error`).
  virtual void MessageBox(std::u16string_view text, std::u16string_view title, bool error) = 0;
  // The chosen file's path, or nothing when the dialog was cancelled.
  virtual std::optional<std::string> OpenFileName(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> SaveFileName(const FileDialogRequest& request) = 0;
  // Hands a document to the desktop's handler for its type; false when nothing opened it.
  virtual bool OpenDocument(const std::string& path) = 0;
  // The print dialog, then the page on the chosen printer; false when nothing was printed
  // (no printer, the dialog cancelled, the printer failing to start).
  virtual bool PrintPage(const QImage& page) = 0;
};

// Both, for what asks the person and uses the desktop (the main window's rules).
class PanelServices : public PanelQuestions, public PanelDesktop {};

// The way to the agent's window: by message over the window bus, or over the pipe when the
// agent runs with more rights than the panel. A missing window means nothing is sent.
class AgentTransport {
 public:
  virtual ~AgentTransport() = default;
  virtual bool UsesPipe() const = 0;
  // Whether the agent's window exists now.
  virtual bool AgentPresent() = 0;
  // 1 when the message went out (always over the pipe), 0 when the agent is missing.
  virtual LResult Post(uint32_t code, WParam wParam, LParam lParam) = 0;
  // The agent's result; over the pipe always 1; 0 when the agent is missing or does not answer
  // within the peers' time-out, which `outcome` (when given) tells apart. A message that timed
  // out may still be handled once the agent runs again; one to an agent already taken as hung
  // is not sent at all.
  virtual LResult Send(uint32_t code, WParam wParam, LParam lParam, bus::SendOutcome* outcome = nullptr) = 0;
  // Posts to another window found by its title (the tray program, the progress window).
  virtual bool PostToWindow(std::u16string_view title, uint32_t code, WParam wParam, LParam lParam) = 0;
};

}  // namespace orv
