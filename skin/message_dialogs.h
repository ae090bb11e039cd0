#pragma once
// The skinned message dialogs of both programs and the About window. Each is a frameless
// modal dialog dressed by the skinning sequence with its own section of Skins.xml and
// Strings.xml, shaped by its mask. DoModal() shows it and gives 1 for yes, 2 for no, the exit
// button, closing the window or a countdown's end (-1 when it could not be shown at all).
#include <QDialog>
#include <QPlainTextEdit>
#include <memory>
#include <string>

#include "link/bus_window.h"
#include "profile/settings_files.h"
#include "skin/skin_messages.h"
#include "skin/skin_window.h"
#include "skin/skinned_window.h"

namespace orv {

class CBitmapBtn;
class CHyperlink;
class NamedMutex;
class SkinTimer;

inline constexpr char kPdfReaderMessage[] =
    "Please download and install the free Adobe Reader  to read the user guide.";
inline constexpr char kPdfReaderLinkText[] = "Adobe Reader";
inline constexpr char kPdfReaderAddress[] = "https://get.adobe.com/reader/";
inline constexpr char kCountdownFormat[] = "Reverting in %1 second";

// Firmware version as the About window shows it: "%x.%02x" of f / 100 and f % 100, or
// "Disconnected" for 0.
QString FirmwareVersionText(int firmware);
// Software version: its decimal digits with a point after the first (115 when 0).
QString SoftwareVersionText(int software);

// The base of the family: a skinned modal dialog.
class CSkinDialog : public SkinnedWindow<QDialog> {
 public:
  CSkinDialog(std::string installFolder, QWidget* parent);
  ~CSkinDialog() override;

  // Shows the dialog modally; its result.
  virtual int DoModal();
  // Bottom-right placement: the dialog's bottom-right corner on the work area's.
  void SetBottomRight(bool on) { bottomRight_ = on; }
  bool bottomRight() const { return bottomRight_; }

 protected:
  // The skinned window's set-up, and the exit button wired to end the dialog with 2.
  void SetUpSkin(const SkinWindowSetup& setup);
  // Answer buttons also show their tooltip as caption; clicking one ends the dialog with `result`.
  void Answer(const QString& key, int result);
  // Draws `text` centred on x with its top at y.
  static void DrawCentred(QPainter& p, int x, int y, const QString& text);
  static void DrawWrapped(QPainter& p, const QRect& rect, const QString& text);

  void showEvent(QShowEvent*) override;
  // Help is not offered either.
  bool Swallows(const QKeyEvent& e) const override { return e.key() == Qt::Key_F1; }
  void reject() override { done(2); }

  bool bottomRight_ = false;
};

// A notice with one button.
class CWarningOneDlg : public CSkinDialog {
 public:
  // Throws xException when the dialog's images are missing.
  CWarningOneDlg(const QString& message, const std::string& installFolder, QWidget* parent = nullptr);
  ~CWarningOneDlg() override;
  // The notice about the missing PDF reader: one at a time, placed bottom-right, with a link.
  void SetPdfMode(bool on) { pdfMode_ = on; }
  // Takes the PDF notice's mutex and adds its link; false when another such notice is open.
  bool Create();
  int DoModal() override;
  CHyperlink* link() const { return link_; }
  // The message as drawn: in PDF mode the link's words are kept on one line.
  QString DisplayedMessage() const;

 protected:
  void DrawContent(QPainter& p) override;

 private:
  QString message_;
  bool pdfMode_ = false;
  bool created_ = false;
  std::unique_ptr<NamedMutex> pdfMutex_;
  CHyperlink* link_ = nullptr;
};

// A yes/no question, optionally answering no by itself after a countdown.
class CWarningTwoDlg : public CSkinDialog {
 public:
  CWarningTwoDlg(const std::string& installFolder, const QString& message, QWidget* parent = nullptr);
  ~CWarningTwoDlg() override;
  // A window title turns the countdown on: ten seconds, then the answer is no.
  void SetTitle(const QString& title);
  bool countingDown() const { return timer_ != nullptr; }
  // The counter, shared by every countdown dialog.
  static int& Counter();

 protected:
  void DrawContent(QPainter& p) override;

 private:
  void Tick();
  QString message_;
  std::unique_ptr<SkinTimer> timer_;
};

// A yes/no question with an option not to be asked again (CWarningThreeDlg and its kin).
class COptionWarningDlg : public CSkinDialog {
 public:
  COptionWarningDlg(const std::string& installFolder, std::string confFolder, const QString& section,
                    ConfigValue flag, bool dragByBackground, QWidget* parent);
  ConfigValue flag() const { return flag_; }
  CBitmapBtn* optionButton() const;

 protected:
  void DrawContent(QPainter& p) override;

 private:
  QString section_;
  std::string confFolder_;
  ConfigValue flag_;
};

class CWarningThreeDlg : public COptionWarningDlg {
 public:
  CWarningThreeDlg(const std::string& installFolder, const std::string& confFolder, QWidget* parent = nullptr);
};

class CWarningThree2Dlg : public COptionWarningDlg {
 public:
  CWarningThree2Dlg(const std::string& installFolder, const std::string& confFolder, QWidget* parent = nullptr);
};

class CWarningFourDlg : public COptionWarningDlg {
 public:
  static constexpr int kNoticeId = 4353;
  CWarningFourDlg(const std::string& installFolder, const std::string& confFolder, QWidget* parent = nullptr);
  QPlainTextEdit* notice() const { return notice_; }

 protected:
  void DrawContent(QPainter& p) override;

 private:
  QPlainTextEdit* notice_ = nullptr;
};

// The About window: software and firmware versions; found on the window bus by its title.
class CAboutDialog : public CSkinDialog, public BusWindow {
 public:
  CAboutDialog(const std::string& installFolder, std::string confFolder, QWidget* parent = nullptr);
  ~CAboutDialog() override;
  // Draws the version texts into the normal image from FWVersion.xml, then repaints.
  void DrawVersions();
  LResult OnVersionChanged(WParam, LParam);
  LResult HandleMessage(uint32_t code, WParam w, LParam l) override;

 protected:
  void keyPressEvent(QKeyEvent*) override;

 private:
  static const MessageEntry<CAboutDialog> kMessages[];
  std::string confFolder_;
  QImage clean_;
};

}  // namespace orv
