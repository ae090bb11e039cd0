#include "panel/editors/macro_dialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QWindow>

#include "base/text.h"
#include "panel/editors/macro_display.h"
#include "platform/input/input_codes.h"
#include "platform/input/xkb_layouts.h"
#include "platform/input/xtest_injector.h"
#include "skin/bitmap_button.h"
#include "skin/qt_text.h"
#include "skin/skin_resources.h"
#include "skin/skin_window.h"

namespace orv {
namespace {

const char* const kButtonKeys[] = {"BUTTON_EXIT",   "BUTTON_OK",   "BUTTON_CLEAR",      "BUTTON_CANCEL",
                                   "BUTTON_APPLY",  "BUTTON_AUTO_DELAY", "BUTTON_RECORD_DELAY", "BUTTON_NO_DELAY",
                                   "BUTTON_PASTE",  "BUTTON_LOOP", "BUTTON_START_KEY", "BUTTON_SEND_KEY"};
// The four mode buttons, their ids, their modes, and their places in the paste layout.
struct ModeButton {
  const char* key;
  const char* pasteKey;
  int id;
  int mode;
};
constexpr ModeButton kModeButtons[] = {
    {"BUTTON_AUTO_DELAY", "BUTTON_PASTE_AUTO_DELAY", CMacroDialog::kAutoDelayId, kDelayAutomatic},
    {"BUTTON_RECORD_DELAY", "BUTTON_PASTE_RECORD_DELAY", CMacroDialog::kRecordDelayId, kDelayRecorded},
    {"BUTTON_NO_DELAY", "BUTTON_PASTE_NO_DELAY", CMacroDialog::kNoDelayId, kDelayNone},
    {"BUTTON_PASTE", "BUTTON_PASTE_PASTE", CMacroDialog::kPasteId, kDelayCopyPaste},
};

QString Key(const char* key) { return QString::fromLatin1(key); }

}  // namespace

const MessageEntry<CMacroDialog> CMacroDialog::kMessages[] = {
    {UM_DISPLAY_CLICK, &CMacroDialog::OnDisplayClick, kAnyValue, kZeroValue},
    {WM_COMMAND, &CMacroDialog::OnCommand, {kAutoDelayId, kSendKeyId}, kAnyValue},
};

CMacroDialog::CMacroDialog(const std::string& programFolder, const Macro* existing, QWidget* parent)
    : SkinnedWindow<QDialog>(programFolder, parent, Qt::Dialog),
      programFolder_(programFolder),
      rules_(existing ? MacroEditRules(*existing) : MacroEditRules()) {
  SkinWindowSetup setup;
  setup.section = QStringLiteral("MACRO");
  for (const char* k : kButtonKeys) setup.buttonKeys << Key(k);
  setup.dragByBackground = true;
  // The buttons' pressed and hovered pictures come after the first frame.
  setup.deferButtonStates = true;
  SetUpSkin(setup, QSize(640, 440));
  setModal(true);
  const SkinTextEntry title = skin_.Text(QStringLiteral("CUSTOM_MACRO"));
  setWindowTitle(title.text.isEmpty() ? QStringLiteral("Custom Macro") : title.text);
  LoadSkinImage(SkinDataPath(programFolder, "skins/marker_down.png"), downMarker_);
  LoadSkinImage(SkinDataPath(programFolder, "skins/marker_up.png"), upMarker_);

  for (const ModeButton& m : kModeButtons)
    if (CBitmapBtn* b = Button(m.key)) {
      b->toggle = true;
      b->controlId = m.id;
    }
  const std::pair<const char*, int> toggles[] = {{"BUTTON_LOOP", kLoopId}, {"BUTTON_START_KEY", kStartKeyId},
                                                 {"BUTTON_SEND_KEY", kSendKeyId}};
  for (auto [key, id] : toggles)
    if (CBitmapBtn* b = Button(key)) {
      b->toggle = true;
      b->controlId = id;
    }
  if (CBitmapBtn* b = Button("BUTTON_OK")) connect(b, &QAbstractButton::clicked, this, [this] { Save(); });
  for (const char* key : {"BUTTON_CANCEL", "BUTTON_EXIT"})
    if (CBitmapBtn* b = Button(key)) connect(b, &QAbstractButton::clicked, this, [this] { reject(); });
  if (CBitmapBtn* b = Button("BUTTON_CLEAR"))
    connect(b, &QAbstractButton::clicked, this, [this] {
      rules_.Clear();
      paste_->clear();
      ShowTokens();
    });

  auto display = [&](const char* key) {
    auto* d = new CVesperMacroDisplay(this, downMarker_, upMarker_);
    d->setObjectName(Key(key));
    d->setGeometry(skin_.Control(Key(key)).rect());
    d->installEventFilter(this);
    return d;
  };
  events_ = display("MACRO_AREA");
  start_ = display("START_AREA");
  send_ = display("SEND_AREA");
  const QFont editFont = SkinFont(18, 400);
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("EDIT_NAME"));
  name_->setGeometry(skin_.Control(QStringLiteral("EDIT_NAME")).rect());
  name_->setFont(editFont);
  name_->setMaxLength(kMacroNameLength);
  loop_ = new QLineEdit(this);
  loop_->setObjectName(QStringLiteral("EDIT_LOOP"));
  loop_->setGeometry(skin_.Control(QStringLiteral("EDIT_LOOP")).rect());
  loop_->setMaxLength(kLoopDigits);
  loop_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), loop_));
  paste_ = new QPlainTextEdit(this);
  paste_->setObjectName(QStringLiteral("EDIT_PASTE"));
  paste_->setGeometry(skin_.Control(QStringLiteral("EDIT_PASTE")).rect());
  paste_->setFont(editFont);
  connect(paste_, &QPlainTextEdit::textChanged, this, [this] {
    // Only what the chat can take, and only as much as the record holds.
    const std::u16string text = U16(paste_->toPlainText());
    std::u16string kept;
    bool left = false;
    for (char16_t c : text) {
      if (FirstCharacterOutsideWindows1252(std::u16string_view(&c, 1))) {
        left = true;
        continue;
      }
      kept += c;
    }
    if (kept.size() > static_cast<size_t>(kPasteTextLength)) kept.resize(kPasteTextLength);
    if (kept == text) return;
    const QSignalBlocker block(paste_);
    paste_->setPlainText(Q(kept));
    paste_->moveCursor(QTextCursor::End);
    if (left) Say(kPasteCharactersNotice);
  });

  // Opened on a macro: its name, loop, text and switches; new: one loop, off.
  if (existing) {
    name_->setText(Q(std::u16string(FieldText(existing->name))));
    loop_->setText(QString::number(existing->loopCount));
    if (CBitmapBtn* b = Button("BUTTON_LOOP")) b->SetLatched(existing->loopSwitch != 0);
    paste_->setPlainText(Q(std::u16string(FieldText(existing->pasteText))));
    if (CBitmapBtn* b = Button("BUTTON_START_KEY")) b->SetLatched(existing->startKey != 0);
    if (CBitmapBtn* b = Button("BUTTON_SEND_KEY")) b->SetLatched(existing->sendKey != 0);
  } else {
    loop_->setText(QString::number(kNewMacroLoopCount));
  }
  ApplyLayout();
  ShowTokens();
  (rules_.pasteLayout() ? send_ : events_)->setFocus();
}

CMacroDialog::~CMacroDialog() { ReleaseKeyboard(); }

CBitmapBtn* CMacroDialog::Button(const char* key) const { return skin_.Button(Key(key)); }

bool CMacroDialog::Capturing() const {
  const QWidget* focus = focusWidget();
  return focus != name_ && focus != loop_ && focus != paste_;
}

void CMacroDialog::KeyEvent(unsigned long keysym, bool up, bool autoRepeat, uint32_t timeMs) {
  if (up && autoRepeat) return;  // the release half of a repeat
  const uint16_t vk = VirtualKeyOfKeysym(keysym);
  const KeyCapture::Outcome outcome = rules_.Key(up, vk, autoRepeat ? kKeyFlagRepeat : 0, timeMs);
  switch (outcome) {
    case KeyCapture::Outcome::kAccepted:
      // What was said of a key goes with the next key kept; what was said of the keyboard stays.
      if (notice_ == kKeyNotRecordedNotice || notice_ == kAreaFullNotice) Say({});
      break;
    case KeyCapture::Outcome::kNotRecordable:
      if (!up) Say(kKeyNotRecordedNotice);
      break;
    case KeyCapture::Outcome::kFull: Say(kAreaFullNotice); break;
    default: break;
  }
  ShowTokens();
}

void CMacroDialog::ShowTokens() {
  events_->SetText(rules_.Tokens(MacroArea::kEvents));
  start_->SetText(rules_.Tokens(MacroArea::kStartKey));
  send_->SetText(rules_.Tokens(MacroArea::kSendKey));
}

void CMacroDialog::Say(std::u16string_view notice) {
  if (notice_ == notice) return;
  notice_ = notice;
  update();
}

void CMacroDialog::SetMode(int mode) {
  const bool wasPaste = rules_.pasteLayout();
  rules_.SetDelayMode(mode);
  if (rules_.pasteLayout() && !wasPaste) {
    // Both keys on, Enter their default, the send key's area current.
    for (const char* key : {"BUTTON_START_KEY", "BUTTON_SEND_KEY"})
      if (CBitmapBtn* b = Button(key)) b->SetLatched(true);
  }
  ApplyLayout();
  ShowTokens();
  (rules_.pasteLayout() ? send_ : events_)->setFocus();
}

void CMacroDialog::LoadPastePictures() {
  if (pasteLoaded_) return;
  pasteLoaded_ = true;
  const auto skins = ReadSkinSection(SkinDataPath(programFolder_, "Skins.xml"), QStringLiteral("MACRO"));
  auto load = [&](const char* key, QImage& image) {
    if (auto it = skins.find(Key(key)); it != skins.end()) LoadSkinImage(SkinImagePath(programFolder_, it->second), image);
  };
  load("MACRO_PASTE_NORMAL", pasteImages_.normal);
  load("MACRO_PASTE_DOWN", pasteImages_.down);
  load("MACRO_PASTE_OVER", pasteImages_.over);
}

void CMacroDialog::ApplyLayout() {
  const bool paste = rules_.pasteLayout();
  // The paste layout's pictures, the first time it shows.
  if (paste) LoadPastePictures();
  // The window's pictures, and the buttons cut from them again.
  if (paste && !pasteImages_.normal.isNull()) {
    if (normalImages_.normal.isNull()) normalImages_ = skin_.images;
    skin_.images.normal = pasteImages_.normal;
    skin_.images.down = pasteImages_.down.isNull() ? pasteImages_.normal : pasteImages_.down;
    skin_.images.over = pasteImages_.over.isNull() ? pasteImages_.normal : pasteImages_.over;
  } else if (!paste && !normalImages_.normal.isNull()) {
    skin_.images.normal = normalImages_.normal;
    skin_.images.down = normalImages_.down;
    skin_.images.over = normalImages_.over;
  }
  for (const char* key : kButtonKeys) {
    CBitmapBtn* b = Button(key);
    if (!b) continue;
    QString place = Key(key);
    for (const ModeButton& m : kModeButtons)
      if (paste && place == Key(m.key)) place = Key(m.pasteKey);
    const SkinControlEntry entry = skin_.Control(place);
    if (entry.rect().isEmpty()) continue;
    b->setGeometry(entry.rect());
    b->SetSkinImages(entry.rect(), skin_.images.normal, skin_.images.over, skin_.images.down, skin_.images.normal);
    b->SetTooltip(entry.tooltip, true);
  }
  for (const ModeButton& m : kModeButtons)
    if (CBitmapBtn* b = Button(m.key)) b->SetLatched(rules_.delayMode() == m.mode);
  const bool loopOn = Button("BUTTON_LOOP") && Button("BUTTON_LOOP")->latched();
  const bool startOn = Button("BUTTON_START_KEY") && Button("BUTTON_START_KEY")->latched();
  const bool sendOn = Button("BUTTON_SEND_KEY") && Button("BUTTON_SEND_KEY")->latched();
  events_->setVisible(!paste);
  loop_->setVisible(!paste);
  loop_->setEnabled(loopOn);
  if (CBitmapBtn* b = Button("BUTTON_LOOP")) b->setVisible(!paste);
  for (QWidget* w : {static_cast<QWidget*>(start_), static_cast<QWidget*>(send_), static_cast<QWidget*>(paste_)})
    w->setVisible(paste);
  start_->setEnabled(startOn);
  send_->setEnabled(sendOn);
  for (const char* key : {"BUTTON_START_KEY", "BUTTON_SEND_KEY"})
    if (CBitmapBtn* b = Button(key)) b->setVisible(paste);
  update();
}

void CMacroDialog::Save() {
  MacroFields fields;
  fields.name = U16(name_->text());
  fields.loopText = U16(loop_->text());
  fields.loopOn = Button("BUTTON_LOOP") && Button("BUTTON_LOOP")->latched();
  fields.startKeyOn = Button("BUTTON_START_KEY") && Button("BUTTON_START_KEY")->latched();
  fields.sendKeyOn = Button("BUTTON_SEND_KEY") && Button("BUTTON_SEND_KEY")->latched();
  fields.pasteText = U16(paste_->toPlainText());
  result_ = rules_.Build(fields);
  accept();
}

// --- messages -------------------------------------------------------------------------------------

LResult CMacroDialog::SkinMessage(uint32_t code, WParam w, LParam l) {
  return DispatchMessage(this, kMessages, code, w, l, [] { return LResult{0}; });
}

LResult CMacroDialog::OnDisplayClick(WParam w, LParam) {
  const auto clicked = static_cast<LParam>(w);
  if (clicked == ControlParam(events_)) rules_.SelectArea(MacroArea::kEvents);
  else if (clicked == ControlParam(start_)) rules_.SelectArea(MacroArea::kStartKey);
  else if (clicked == ControlParam(send_)) rules_.SelectArea(MacroArea::kSendKey);
  ShowTokens();
  return 1;
}

LResult CMacroDialog::OnCommand(WParam w, LParam) {
  const int id = static_cast<int>(w);
  for (const ModeButton& m : kModeButtons)
    if (m.id == id) SetMode(m.mode);
  if (id == kLoopId || id == kStartKeyId || id == kSendKeyId) ApplyLayout();
  return 1;
}

// --- keys, focus and painting -------------------------------------------------------------------

bool CMacroDialog::eventFilter(QObject* watched, QEvent* event) {
  const bool display = watched == events_ || watched == start_ || watched == send_;
  if (!display) return SkinnedWindow<QDialog>::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      event->accept();  // every key is the recording's, none a shortcut
      return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* k = static_cast<QKeyEvent*>(event);
      KeyEvent(k->nativeVirtualKey(), event->type() == QEvent::KeyRelease, k->isAutoRepeat(),
               static_cast<uint32_t>(k->timestamp()));
      return true;
    }
    case QEvent::FocusIn: DisplayFocus(true); break;
    case QEvent::FocusOut: DisplayFocus(false); break;
    default: break;
  }
  return SkinnedWindow<QDialog>::eventFilter(watched, event);
}

void CMacroDialog::DisplayFocus(bool in) {
  if (in) {
    if (!grabbed_) {
      QWindow* window = windowHandle();
      grabbed_ = window && window->setKeyboardGrabEnabled(true);
      if (!grabbed_) Say(kNoWindowsKeysNotice);
    }
    if (!layouts_) layouts_ = XkbLayouts::Connect();
    if (layouts_ && layouts_->Available() && !savedLayout_) {
      savedLayout_ = layouts_->Current();
      layouts_->Request(kUsLayout);
    }
    return;
  }
  // Focus moving from one display to another keeps both.
  const QWidget* next = QApplication::focusWidget();
  if (next == events_ || next == start_ || next == send_) return;
  ReleaseKeyboard();
}

void CMacroDialog::ReleaseKeyboard() {
  if (grabbed_) {
    if (QWindow* window = windowHandle()) window->setKeyboardGrabEnabled(false);
    grabbed_ = false;
  }
  if (layouts_ && savedLayout_) layouts_->Request(*savedLayout_);
  savedLayout_.reset();
}

void CMacroDialog::keyPressEvent(QKeyEvent* e) {
  if (Capturing()) {
    KeyEvent(e->nativeVirtualKey(), false, e->isAutoRepeat(), static_cast<uint32_t>(e->timestamp()));
    return;
  }
  SkinnedWindow<QDialog>::keyPressEvent(e);
}

void CMacroDialog::keyReleaseEvent(QKeyEvent* e) {
  if (Capturing()) {
    KeyEvent(e->nativeVirtualKey(), true, e->isAutoRepeat(), static_cast<uint32_t>(e->timestamp()));
    return;
  }
  SkinnedWindow<QDialog>::keyReleaseEvent(e);
}

void CMacroDialog::mousePressEvent(QMouseEvent* e) {
  // A press on the background moves the window and gives the keyboard back to the area.
  (rules_.pasteLayout() ? send_ : events_)->setFocus();
  SkinnedWindow<QDialog>::mousePressEvent(e);
}

void CMacroDialog::DrawContent(QPainter& p) {
  p.setFont(SkinFont(12, 700));
  const QFontMetrics fm(p.font());
  auto label = [&](const char* key, bool centred = false) {
    const SkinTextEntry t = skin_.Text(Key(key));
    if (t.text.isEmpty()) return;
    const int x = centred ? t.x - fm.horizontalAdvance(t.text) / 2 : t.x;
    p.drawText(QPoint(x, t.y + fm.ascent()), t.text);
  };
  label("CUSTOM_MACRO", true);
  label("MACRO_NAME");
  if (rules_.pasteLayout()) {
    for (const char* k : {"PASTE_AUTO_DELAY", "PASTE_RECORD_DELAY", "PASTE_NO_DELAY", "PASTE_PASTE", "START_KEY", "SEND_KEY"})
      label(k);
  } else {
    for (const char* k : {"AUTO_DELAY", "RECORD_DELAY", "NO_DELAY", "PASTE", "LOOP"}) label(k);
  }
  if (!notice_.empty()) {
    p.setFont(SkinFont(11, 400));
    p.drawText(QRect(128, 392, 200, 36), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, Q(notice_));
  }
}

std::optional<Macro> MacroDialogRunner::Edit(QWidget* over, const Macro* existing) {
  CMacroDialog dialog(programFolder_, existing, over);
  // Over the middle of the panel's main window (the drawer's owner).
  if (QWidget* main = over ? over->window()->parentWidget() : nullptr; main || over) {
    const QRect around = (main ? main : over)->frameGeometry();
    dialog.move(around.center() - QPoint(dialog.width() / 2, dialog.height() / 2));
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.result();
}

}  // namespace orv
