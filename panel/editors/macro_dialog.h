#pragma once
// The macro editor (CMacroDialog): a modal skinned window in which a user records the keys of a
// macro (with automatic, recorded or no pauses, optionally repeated) or writes a text the macro
// types into the game's chat between a start key and a send key; names it; and saves it.
// Keys reach it as the X server reports them while one of its displays has the keyboard: each
// key as the US keyboard's virtual key its keysym stands for, with the server's time stamp, so
// that a recorded key is typed again as the same key and recorded pauses are the real gaps. The
// two Windows keys come through a keyboard grab the editor takes while a display has the focus,
// and the US layout is in force meanwhile. What it records follows MacroEditRules.
#include <QDialog>
#include <QImage>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>

#include "link/message_table.h"
#include "panel/editors/editor_windows.h"
#include "panel/editors/macro_rules.h"
#include "skin/skinned_window.h"

class QLineEdit;
class QPlainTextEdit;

namespace orv {

class CBitmapBtn;
class CVesperMacroDisplay;
class XkbLayouts;

// What the editor says of a key it did not record, and of the Windows keys without the grab.
inline constexpr std::u16string_view kKeyNotRecordedNotice =
    u"That key is not one of a standard keyboard's keys and was not recorded.";
inline constexpr std::u16string_view kAreaFullNotice = u"This area holds no more keys.";
inline constexpr std::u16string_view kNoWindowsKeysNotice =
    u"The keyboard could not be taken: the Windows keys are not recorded, the other keys are.";
inline constexpr std::u16string_view kPasteCharactersNotice =
    u"Characters the game's chat cannot receive were left out of the text.";

class CMacroDialog : public SkinnedWindow<QDialog> {
 public:
  // Control ids of the toggle buttons.
  enum : int { kAutoDelayId = 1001, kRecordDelayId, kNoDelayId, kPasteId, kLoopId, kStartKeyId, kSendKeyId };

  // A new macro (`existing` null) or a copy of one to edit, over `parent`.
  CMacroDialog(const std::string& programFolder, const Macro* existing, QWidget* parent = nullptr);
  ~CMacroDialog() override;

  // The record to save, once OK was clicked.
  const std::optional<Macro>& result() const { return result_; }

  // A key event as the keyboard reported it: its keysym, its edge, whether it is the
  // keyboard's repeat of a held key, and its time stamp in milliseconds.
  void KeyEvent(unsigned long keysym, bool up, bool autoRepeat, uint32_t timeMs);

  LResult SkinMessage(uint32_t code, WParam w, LParam l) override;

  const MacroEditRules& rules() const { return rules_; }
  CVesperMacroDisplay* eventArea() const { return events_; }
  CVesperMacroDisplay* startArea() const { return start_; }
  CVesperMacroDisplay* sendArea() const { return send_; }
  QLineEdit* nameEdit() const { return name_; }
  QLineEdit* loopEdit() const { return loop_; }
  QPlainTextEdit* pasteEdit() const { return paste_; }
  CBitmapBtn* Button(const char* key) const;
  const std::u16string& notice() const { return notice_; }

 protected:
  void DrawContent(QPainter& p) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  LResult OnDisplayClick(WParam w, LParam l);
  LResult OnCommand(WParam w, LParam l);
  static const MessageEntry<CMacroDialog> kMessages[];

  void SetMode(int mode);
  void ApplyLayout();
  void LoadPastePictures();
  void ShowTokens();
  void Save();
  void Say(std::u16string_view notice);
  // A display got or lost the keyboard: the Windows keys' grab and the US layout with it.
  void DisplayFocus(bool in);
  // The grab let go and the layout before given back (focus gone from the displays, or closed).
  void ReleaseKeyboard();
  bool Capturing() const;

  std::string programFolder_;
  MacroEditRules rules_;
  std::optional<Macro> result_;
  SkinImages pasteImages_;
  SkinImages normalImages_;  // the normal layout's, kept while the paste layout shows
  bool pasteLoaded_ = false;
  QImage downMarker_, upMarker_;
  CVesperMacroDisplay* events_ = nullptr;
  CVesperMacroDisplay* start_ = nullptr;
  CVesperMacroDisplay* send_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* loop_ = nullptr;
  QPlainTextEdit* paste_ = nullptr;
  std::u16string notice_;
  bool grabbed_ = false;
  std::unique_ptr<XkbLayouts> layouts_;
  std::optional<uint32_t> savedLayout_;
};

// The macro editor as the assignment drawer opens it.
class MacroDialogRunner : public MacroEditorWindow {
 public:
  explicit MacroDialogRunner(std::string programFolder) : programFolder_(std::move(programFolder)) {}
  std::optional<Macro> Edit(QWidget* over, const Macro* existing) override;

 private:
  std::string programFolder_;
};

}  // namespace orv
