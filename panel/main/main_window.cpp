#include "panel/main/main_window.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QHelpEvent>
#include <QToolTip>

#include "base/text.h"
#include "link/messages.h"
#include "profile/field_ranges.h"
#include "profile/function_catalog.h"
#include "panel/link_transport.h"
#include "panel/editors/assignment_drawer.h"
#include "panel/editors/button_menu.h"
#include "panel/editors/macro_dialog.h"
#include "panel/panel_store.h"
#include "panel/progress_dialog.h"
#include "platform/folders.h"
#include "skin/bitmap_button.h"
#include "skin/message_dialogs.h"
#include "skin/qt_text.h"
#include "skin/skin_resources.h"
#include "skin/skin_shell.h"

namespace orv {
namespace {


const char* const kCommandKeys[] = {
    "HELP", "EXIT", "MINIMIZE", "BUTTON_OK", "BUTTON_CANCEL", "BUTTON_APPLY", "RESTORE", "ENABLE_IN_GAME_MODE",
    "SAVE_ON_BOARD", "BUTTON_MOUSE_PROPERTIES", "BUTTON_ILLUMINATION", "BUTTON_ASSIGNMENTS", "BUTTON_ARMORY",
    "BUTTON_FILE_MENU", "BUTTON_TOOLS_MENU", "BUTTON_HELP_MENU"};

QStringList MainButtonKeys() {
  QStringList keys;
  for (const char* k : kCommandKeys) keys << QString::fromLatin1(k);
  for (int i = 1; i <= kButtonCount; ++i) keys << QStringLiteral("MOUSE_BUTTON_%1").arg(i);
  for (int k = 1; k <= kProfileCount; ++k) keys << QStringLiteral("PROFILE_%1").arg(k);
  return keys;
}

}  // namespace

// The editor windows: the ones built, and stand-ins for those not built yet.
struct CAPDlg::OwnEditors {
  OwnEditors(QWidget* mainWindow, const std::string& programFolder)
      : buttonMenu(mainWindow, programFolder), macroEditor(programFolder) {}
  AssignmentDrawerWindow assignments;
  ButtonMenuPopup buttonMenu;
  MacroDialogRunner macroEditor;
  Drawer properties;
  Drawer illumination;
  GameListWindow gameList;
  CharacterWindow character;
};

// --- the skinned dialogs -------------------------------------------------------------------------

void CAPDlgServices::WarningOne(std::u16string_view text) {
  CWarningOneDlg dialog(Q(text), programFolder_, nullptr);
  // The notice about the missing reader is one at a time, in the corner, with a link.
  if (text == kNoPdfReaderMessage) dialog.SetPdfMode(true);
  dialog.DoModal();
}

int CAPDlgServices::WarningTwo(std::u16string_view text, std::u16string_view title) {
  CWarningTwoDlg dialog(programFolder_, Q(text), nullptr);
  if (!title.empty()) dialog.SetTitle(Q(title));
  return dialog.DoModal();
}

int CAPDlgServices::WarningThree2() {
  CWarningThree2Dlg dialog(programFolder_, confFolder_, nullptr);
  return dialog.DoModal();
}

int CAPDlgServices::WarningThree() {
  CWarningThreeDlg dialog(programFolder_, confFolder_, nullptr);
  return dialog.DoModal();
}

int CAPDlgServices::WarningFour() {
  CWarningFourDlg dialog(programFolder_, confFolder_, nullptr);
  return dialog.DoModal();
}

// --- creation --------------------------------------------------------------------------------------

namespace {
constexpr ParamRange kProfileIndex{0, kProfileCount - 1};
constexpr ParamRange kLabel{0, kButtonCount - 1};
constexpr FieldRange kDpiSteps = RangeOf(RangedField::DpiStep);
}  // namespace

// What each message may carry; anything else is ignored before a handler runs.
const MessageEntry<CAPDlg> CAPDlg::kMessages[] = {
    {UM_SLIDE_DONE, &CAPDlg::OnSlideDone, kZeroValue, {kSlideAssignmentsOut, kSlideIlluminationIn}},
    {UM_SLIDE_CLOSE, &CAPDlg::OnSlideClose, kZeroValue, {kSlidePropertiesIn, kSlideIlluminationIn}},
    {UM_REQUEST_CLOSE, &CAPDlg::OnRequestClose, kZeroValue, kZeroValue},
    {UM_BUTTON_MENU_PICK, &CAPDlg::OnButtonMenuPick, {0, ChooserRowCount(Chooser::kButtonMenu) - 1}, kLabel},
    {UM_BUTTON_EVENT, &CAPDlg::OnButtonEvent, kLabel, kFlagValue},
    {UM_MEMORY_SIZE, &CAPDlg::OnMemorySize, kZeroValue, {0, INT32_MAX}},
    {UM_PROFILE_CHANGED, &CAPDlg::OnProfileChanged, kProfileIndex, kFlagValue},
    {UM_DPI_CHANGED, &CAPDlg::OnDpiChanged, {kDpiSteps.min, kDpiSteps.max}, kProfileIndex},
    {UM_SELECT_PROFILE, &CAPDlg::OnSelectProfile, kProfileIndex, kZeroValue},
    {UM_DROP_PROFILE, &CAPDlg::OnDropProfile, kProfileIndex, kProfileIndex},
    {UM_DROP_FUNCTION, &CAPDlg::OnDropFunction, {kFirstDroppedCode, kLastDroppedCode},
     {kFirstLabelDropIndex, kFirstLabelDropIndex + kButtonCount - 1}},
};

CAPDlg::CAPDlg(const PanelStartup& startup, Options options, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowSystemMenuHint),
      startup_(startup), options_(options), sets_(MakePanelSets()) {
  // Config.xml is read while the skin is set up.
  auto store = std::make_unique<ConfStore>(startup_.confFolder, RegistryFile());
  store->Prefetch();
  store_ = std::move(store);
  // 1. The skin: every picture, the outline and every control of the window.
  SkinWindowSetup setup;
  setup.section = QStringLiteral("MAIN");
  setup.hasDisable = true;
  setup.requireImages = true;
  setup.requireOutline = true;
  setup.dragByBackground = true;
  setup.deferButtonStates = true;  // forty buttons: the window shows itself before their pictures come
  setup.buttonKeys = MainButtonKeys();
  skin_.Skin(this, startup_.programFolder, setup, options_.clock);
  if (!skin_.ApplyOutline(this)) throw xException(QString::fromLatin1(kMaskFailureMessage));

  texts_.changeProfileWarning = U16(skin_.Plain(QStringLiteral("STRING_WARNING_CHANGE_PROFILE")));
  texts_.restoreProfileWarning = U16(skin_.Plain(QStringLiteral("STRING_WARNING_RESTORE_PROFILE")));
  for (int k = 0; k < kProfileCount; ++k) {
    const QString entry = skin_.Plain(QStringLiteral("PROFILE_%1").arg(k + 1));
    texts_.defaultProfileNames[k] = U16(entry.section(QLatin1Char(','), 0, 0));
  }

  // The collaborators.
  if (options_.services) {
    services_ = options_.services;
  } else {
    ownServices_ = std::make_unique<CAPDlgServices>(startup_.programFolder, startup_.confFolder, this);
    services_ = ownServices_.get();
  }
  if (!options_.agent) {
    // With the pipe flag the pipe client runs from here until the window goes.
    ownAgent_ = std::make_unique<LinkTransport>(startup_.pipeFlag, 0);
  }
  // Everything the window's collaborators tell the agent goes through the watch, which the
  // gauge shows.
  watch_ = std::make_unique<AgentWatch>(options_.agent ? *options_.agent : *ownAgent_);
  watch_->onChange = [this] { RedrawGauge(); };
  agent_ = watch_.get();
  // The editor windows a test does not give; those not built yet are stand-ins that do nothing.
  standIns_ = std::make_unique<OwnEditors>(this, startup_.programFolder);
  editors_ = options_.editors;
  if (!editors_.assignments) editors_.assignments = &standIns_->assignments;
  if (!editors_.properties) editors_.properties = &standIns_->properties;
  if (!editors_.illumination) editors_.illumination = &standIns_->illumination;
  if (!editors_.buttonMenu) editors_.buttonMenu = &standIns_->buttonMenu;
  if (!editors_.macroEditor) editors_.macroEditor = &standIns_->macroEditor;
  if (!editors_.gameList) editors_.gameList = &standIns_->gameList;
  if (!editors_.character) editors_.character = &standIns_->character;
  book_ = std::make_unique<LabelBook>(startup_.programFolder);
  rules_ = std::make_unique<EditRules>(*sets_, *store_, *agent_, *services_, *this, texts_,
                                       EditRules::Folders{startup_.programFolder, startup_.profileFolder,
                                                          startup_.confFolder});
  assignments_ = std::make_unique<AssignmentRules>(*sets_, *this, [this] { rules_->Refresh(); });
  device_ = std::make_unique<DeviceChanges>(*sets_, *store_, *agent_, *services_, *this);
  onboard_ = std::make_unique<OnboardSave>(*rules_, *sets_, *store_, *agent_, *services_, *this, *this,
                                           options_.clock ? *options_.clock : ProcessClock());

  BuildControls();
  const DrawerContext context{this,     startup_.programFolder, startup_.confFolder, assignments_.get(),
                              services_, store_.get(),          editors_.macroEditor};
  for (Drawer* d : Drawers()) d->Create(context);
  // 2-6. Anchor the drawers, load the profiles, show them, count the units.
  rules_->Load();
  rules_->Refresh();

  // Dialog initialisation: placed at the top of the work area, centred; found by its title.
  const QRect work = CurrentSkinShell().WorkArea();
  move(work.left() + (work.width() - width()) / 2, work.top());
  setWindowTitle(Q(kPanelWindowTitle));
  setWindowIcon(QIcon(QString::fromStdString(SkinImagePath(startup_.programFolder, QStringLiteral("icon.png")))));
  RegisterWindow(kPanelWindowTitle);
  for (Drawer* d : Drawers()) d->Anchor(frameGeometry());
  rules_->DialogInitialised();
}

CAPDlg::~CAPDlg() {
  for (Drawer* d : Drawers()) d->Destroy();
  UnregisterWindow();
}

void CAPDlg::BuildControls() {
  for (const char* k : kCommandKeys) {
    const QString key = QString::fromLatin1(k);
    CBitmapBtn* b = skin_.Button(key);
    if (!b) continue;
    if (key == QLatin1String("ENABLE_IN_GAME_MODE")) {
      // A latching switch: it reports its new latch as a command.
      b->toggle = true;
      b->controlId = kGameModeControlId;
      continue;
    }
    // The drawer tabs and the character button show their tooltip as their caption.
    if (key == QLatin1String("BUTTON_MOUSE_PROPERTIES")) b->rotateUp = true;
    if (key == QLatin1String("BUTTON_ILLUMINATION")) b->centreBold = true;
    if (key == QLatin1String("BUTTON_ASSIGNMENTS")) b->rotateDown = true;
    if (key == QLatin1String("BUTTON_ARMORY")) b->light = true;
    if (b->rotateUp || b->centreBold || b->rotateDown || b->light) b->caption = b->tooltipText();
    connect(b, &QAbstractButton::clicked, this, [this, key] { OnButton(key); });
  }
  for (int i = 0; i < kButtonCount; ++i) {
    CBitmapBtn* b = skin_.Button(QStringLiteral("MOUSE_BUTTON_%1").arg(i + 1));
    labels_[i] = b;
    if (!b) continue;
    b->index = kFirstLabelDropIndex + i;
    b->dropKind = 2;
    b->RegisterDropTarget();
    connect(b, &QAbstractButton::clicked, this, [this, i] { LabelClicked(i); });
  }
  for (int k = 0; k < kProfileCount; ++k) {
    CBitmapBtn* b = skin_.Button(QStringLiteral("PROFILE_%1").arg(k + 1));
    profiles_[k] = b;
    if (!b) continue;
    b->index = k;
    b->dropKind = 1;
    b->centreBold = true;
    b->RegisterDropTarget();
    // A click selects the profile; a press that moves on drags the profile's number.
    b->installEventFilter(this);
    connect(b, &QAbstractButton::clicked, this, [this, k] { rules_->ProfileClicked(k); });
  }
}

// --- messages --------------------------------------------------------------------------------------

LResult CAPDlg::HandleMessage(uint32_t code, WParam w, LParam l) {
  return DispatchMessage(this, kMessages, code, w, l, [] { return LResult{0}; });
}

LResult CAPDlg::SkinMessage(uint32_t code, WParam w, LParam l) {
  if (code == WM_COMMAND) {
    if (w == ID_BUTTON_MENU) {
      const int label = LabelOfControl(l);
      if (label >= 0) LabelRightClicked(label);
      return 1;
    }
    if (w == kGameModeControlId) {
      CBitmapBtn* b = skin_.Button(QStringLiteral("ENABLE_IN_GAME_MODE"));
      rules_->GameModeLatched(b && b->latched());
      return 1;
    }
    return 0;
  }
  return HandleMessage(code, w, l);
}

int CAPDlg::LabelOfControl(LParam control) const {
  for (int i = 0; i < kButtonCount; ++i)
    if (labels_[i] && ControlParam(labels_[i]) == control) return i;
  return -1;
}

LResult CAPDlg::OnSlideDone(WParam, LParam l) {
  const auto slide = static_cast<SlideCode>(l);  // within the table's range
  DrawerFor(DrawerOf(slide)).SlideDone(SlidesOut(slide));
  for (Drawer* d : Drawers()) d->Anchor(frameGeometry());
  return 1;
}

LResult CAPDlg::OnSlideClose(WParam, LParam l) {
  DrawerFor(DrawerOf(static_cast<SlideCode>(l))).SlideIn();  // an "in" code: the table's range
  return 1;
}

LResult CAPDlg::OnRequestClose(WParam, LParam) {
  CloseWindow();
  return 1;
}

LResult CAPDlg::OnButtonMenuPick(WParam w, LParam l) {
  assignments_->ButtonMenuPick(static_cast<int>(w), static_cast<int>(l));
  return 1;
}

LResult CAPDlg::OnButtonEvent(WParam w, LParam l) {
  if (l == 1) LabelClicked(static_cast<int>(w));
  return 1;
}

LResult CAPDlg::OnMemorySize(WParam, LParam l) {
  watch_->Answered();
  rules_->MemorySize(l);
  return 1;
}

LResult CAPDlg::OnProfileChanged(WParam w, LParam l) {
  rules_->ProfileChanged(static_cast<int>(w), l == 1);
  return 1;
}

LResult CAPDlg::OnDpiChanged(WParam w, LParam l) {
  rules_->DpiChanged(static_cast<int>(w), static_cast<int>(l));
  return 1;
}

LResult CAPDlg::OnSelectProfile(WParam w, LParam) {
  rules_->ShowProfile(static_cast<int>(w));
  return 1;
}

LResult CAPDlg::OnDropProfile(WParam w, LParam l) {
  rules_->DropProfile(static_cast<int>(w), static_cast<int>(l));
  return 1;
}

LResult CAPDlg::OnDropFunction(WParam w, LParam l) {
  assignments_->DropFunction(static_cast<int>(w), static_cast<int>(l));
  return 1;
}

// --- commands ----------------------------------------------------------------------------------------

void CAPDlg::OnButton(const QString& key) {
  if (key == QLatin1String("HELP")) {
    OnCommand(ID_HELP_USER_GUIDE);
  } else if (key == QLatin1String("EXIT")) {
    rules_->ExitButton();
  } else if (key == QLatin1String("MINIMIZE")) {
    showMinimized();
  } else if (key == QLatin1String("BUTTON_OK")) {
    rules_->OkButton();
  } else if (key == QLatin1String("BUTTON_CANCEL")) {
    rules_->CancelButton();
  } else if (key == QLatin1String("BUTTON_APPLY")) {
    rules_->ApplyButton();
  } else if (key == QLatin1String("RESTORE")) {
    rules_->Restore();
  } else if (key == QLatin1String("SAVE_ON_BOARD")) {
    onboard_->Start();
  } else if (key == QLatin1String("BUTTON_MOUSE_PROPERTIES")) {
    editors_.properties->SlideOut(frameGeometry());
  } else if (key == QLatin1String("BUTTON_ILLUMINATION")) {
    editors_.illumination->SlideOut(frameGeometry());
  } else if (key == QLatin1String("BUTTON_ASSIGNMENTS")) {
    if (!editors_.assignments->IsOut()) SelectLabel(-1);
    editors_.assignments->Toggle();
  } else if (key == QLatin1String("BUTTON_ARMORY")) {
    editors_.character->Open(sets_->workingSet);
    rules_->Refresh();
  } else if (key.endsWith(QLatin1String("_MENU"))) {
    OpenMenu(key);
  }
}

void CAPDlg::OnCommand(int id) {
  switch (id) {
    case ID_FILE_EDIT:
      editors_.gameList->Edit(sets_->workingSet);
      rules_->Refresh();
      break;
    case ID_FILE_EXPORT: rules_->Export(); break;
    case ID_FILE_IMPORT: rules_->Import(); break;
    case ID_FILE_PRINT: Print(); break;
    case ID_HELP_ABOUT: {
      CAboutDialog about(startup_.programFolder, startup_.confFolder, this);
      about.DoModal();
      break;
    }
    case ID_HELP_USER_GUIDE: rules_->OpenUserGuide(); break;
    case ID_RATE_250:
    case ID_RATE_500:
    case ID_RATE_1000: device_->SetPollingRate(id); break;
    case ID_SHOW_MACRO: device_->ToggleMacroWarning(); break;
    case ID_LIFT_DEFAULT:
    case ID_LIFT_LOWER:
    case ID_LIFT_LOWEST: device_->ChangeLiftDistance(id); break;
    default: break;
  }
}

void CAPDlg::OpenMenu(const QString& key) {
  std::unique_ptr<QMenu> menu = BuildMenu(key);
  if (QAction* chosen = menu->exec(QCursor::pos())) OnCommand(chosen->data().toInt());
}

std::unique_ptr<QMenu> CAPDlg::BuildMenu(const QString& key) {
  auto owned = std::make_unique<QMenu>(this);
  QMenu& menu = *owned;
  // A Menu.xml without the item shows its key, or the product's own text where it has one.
  auto text = [&](const char* section, const char* item, const char* otherwise = nullptr) {
    auto t = book_->MenuText(ToUtf16(section), ToUtf16(item));
    return t ? Q(*t) : QString::fromLatin1(otherwise ? otherwise : item);
  };
  auto add = [&](QMenu* m, const QString& label, int id, bool checkable = false, bool checked = false) {
    QAction* a = m->addAction(label);
    a->setData(id);
    a->setCheckable(checkable);
    a->setChecked(checked);
  };
  if (key == QLatin1String("BUTTON_FILE_MENU")) {
    add(&menu, text("FILE_MENU", "EDIT"), ID_FILE_EDIT);
    add(&menu, text("FILE_MENU", "EXPORT"), ID_FILE_EXPORT);
    add(&menu, text("FILE_MENU", "IMPORT"), ID_FILE_IMPORT);
    add(&menu, text("FILE_MENU", "PRINT"), ID_FILE_PRINT);
  } else if (key == QLatin1String("BUTTON_TOOLS_MENU")) {
    const int rate = DeviceChanges::PollingRateCommand(sets_->workingSet.pollingRate);
    QMenu* rates = menu.addMenu(text("TOOLS_MENU", "CHANGE_POLLING_RATE"));
    add(rates, text("TOOLS_MENU", "RATE_250"), ID_RATE_250, true, rate == ID_RATE_250);
    rates->addSeparator();
    add(rates, text("TOOLS_MENU", "RATE_500"), ID_RATE_500, true, rate == ID_RATE_500);
    rates->addSeparator();
    add(rates, text("TOOLS_MENU", "RATE_1000"), ID_RATE_1000, true, rate == ID_RATE_1000);
    menu.addSeparator();
    const int lift = DeviceChanges::LiftDistanceCommand(sets_->workingSet.liftDistance);
    QMenu* lifts = menu.addMenu(text("TOOLS_MENU", "LIFT_DISTANCE", "Lift Distance"));
    add(lifts, text("TOOLS_MENU", "LIFT_DEFAULT", "Default"), ID_LIFT_DEFAULT, true, lift == ID_LIFT_DEFAULT);
    lifts->addSeparator();
    add(lifts, text("TOOLS_MENU", "LIFT_LOWER", "Lower"), ID_LIFT_LOWER, true, lift == ID_LIFT_LOWER);
    lifts->addSeparator();
    add(lifts, text("TOOLS_MENU", "LIFT_LOWEST", "Lowest"), ID_LIFT_LOWEST, true, lift == ID_LIFT_LOWEST);
    menu.addSeparator();
    add(&menu, text("TOOLS_MENU", "SHOW_MACRO"), ID_SHOW_MACRO, true, device_->MacroWarningChecked());
  } else {
    add(&menu, text("HELP_MENU", "USER_GUIDE"), ID_HELP_USER_GUIDE);
    menu.addSeparator();
    add(&menu, text("HELP_MENU", "ABOUT"), ID_HELP_ABOUT);
  }
  return owned;
}

void CAPDlg::LabelClicked(int label) {
  if (label < 0 || label >= kButtonCount) return;
  SelectLabel(label);
  editors_.assignments->EditButton(label);
}

void CAPDlg::LabelRightClicked(int label) {
  SelectLabel(label);
  editors_.assignments->Retarget(label);
  const QRect r(labels_[label]->mapToGlobal(QPoint(0, 0)), labels_[label]->size());
  editors_.buttonMenu->Open(label, r);
}

QImage CAPDlg::PrintPicture() const {
  // Read when first printed: start-up does not wait for a picture it may never need.
  if (printPicture_.isNull()) {
    const auto skins = ReadSkinSection(SkinDataPath(startup_.programFolder, "Skins.xml"), QStringLiteral("MAIN"));
    if (auto it = skins.find(QStringLiteral("MAIN_PRINT")); it != skins.end())
      LoadSkinImage(SkinImagePath(startup_.programFolder, it->second), printPicture_, nullptr, options_.clock);
  }
  return printPicture_;
}

void CAPDlg::Print() {
  std::u16string labels[kButtonCount];
  for (int b = 0; b < kButtonCount; ++b) labels[b] = labelTexts_[b];
  rules_->Print(PrintPicture(), labels);
}

// --- the view ----------------------------------------------------------------------------------------

void CAPDlg::EnableApply(bool on) {
  if (CBitmapBtn* b = skin_.Button(QStringLiteral("BUTTON_APPLY"))) b->setEnabled(on);
}

void CAPDlg::Refresh() {
  const ProfileSet& set = sets_->workingSet;
  for (int k = 0; k < kProfileCount; ++k) {
    if (!profiles_[k]) continue;
    profiles_[k]->SetLatched(k == set.profileId);
    profiles_[k]->caption = Q(FieldText(set.profiles[k].profileName));
    profiles_[k]->update();
  }
  LabelButtons(*book_, set, labelTexts_);
  const bool gameMode = set.gameMode == 1;
  for (int i = 0; i < kButtonCount; ++i) {
    if (!labels_[i]) continue;
    labels_[i]->caption = Q(labelTexts_[i]);
    labels_[i]->setEnabled(!gameMode);
    labels_[i]->update();
  }
  if (CBitmapBtn* b = skin_.Button(QStringLiteral("ENABLE_IN_GAME_MODE"))) b->SetLatched(gameMode);
  if (CBitmapBtn* b = skin_.Button(QStringLiteral("RESTORE"))) b->setEnabled(set.gameMode == 0);
  RedrawGauge();
  for (Drawer* d : Drawers()) d->SetProfileSet(sets_->workingSet);
}

QRect CAPDlg::GaugeRect() { return QRect(QPoint(79, 255), QPoint(200, 270)); }

void CAPDlg::RedrawGauge() { update(GaugeRect()); }

void CAPDlg::SelectLabel(int label) {
  selected_ = label;
  for (int i = 0; i < kButtonCount; ++i)
    if (labels_[i]) labels_[i]->SetLatched(i == label);
  // No label selected: none edited in the assignment drawer either.
  if (label < 0) editors_.assignments->Retarget(-1);
}

void CAPDlg::CloseWindow() {
  QMetaObject::invokeMethod(this, [this] { done(0); }, Qt::QueuedConnection);
}

void CAPDlg::SlideInAssignments() {
  if (editors_.assignments->Exists()) editors_.assignments->SlideIn();
}

void CAPDlg::CloseButtonMenu() { editors_.buttonMenu->Close(); }

std::array<Drawer*, 3> CAPDlg::Drawers() const {
  return {editors_.assignments, editors_.properties, editors_.illumination};
}

Drawer& CAPDlg::DrawerFor(DrawerKind kind) const {
  switch (kind) {
    case DrawerKind::kProperties: return *editors_.properties;
    case DrawerKind::kIllumination: return *editors_.illumination;
    case DrawerKind::kAssignments: break;
  }
  return *editors_.assignments;
}

void CAPDlg::RunProgress(double paceSeconds, bool agentPresent) {
  CPorgressDlg progress(startup_.programFolder, paceSeconds, agentPresent, *services_, this);
  progress.move(geometry().center() - QPoint(progress.width() / 2, progress.height() / 2));
  progress.exec();
}

// --- painting and input ----------------------------------------------------------------------------

QImage CAPDlg::Compose() const {
  QImage image(skin_.images.normal.size(), QImage::Format_ARGB32_Premultiplied);
  QPainter p(&image);
  PaintFace(p);
  return image;
}

void CAPDlg::PaintFace(QPainter& p) const {
  p.drawImage(0, 0, skin_.images.normal);
  // The captions of the in-game mode area (from its left edge) and of the profiles (centred).
  p.setPen(kGold);
  p.setFont(SkinFont(12, 700));
  const QFontMetrics fm(p.font());
  const SkinTextEntry gameMode = skin_.Text(QStringLiteral("IN_GAME_MODE_TEXT"));
  if (!gameMode.text.isEmpty()) p.drawText(QPoint(gameMode.x, gameMode.y + fm.ascent()), gameMode.text);
  const SkinTextEntry profiles = skin_.Text(QStringLiteral("PROFILE"));
  if (!profiles.text.isEmpty())
    p.drawText(QPoint(profiles.x - fm.horizontalAdvance(profiles.text) / 2, profiles.y + fm.ascent()), profiles.text);
  const Gauge& g = rules_->gauge();
  if (g.Visible()) {
    // Dimmed while the agent does not take what is saved: the mouse is not what the panel shows.
    const bool dim = watch_->state() != AgentState::kAnswering;
    p.fillRect(QRect(QPoint(79, 255), QPoint(g.FillRight(), 269)), dim ? QColor(96, 84, 60) : QColor(255, 186, 0));
    if (g.FillRight() < 166) p.fillRect(QRect(QPoint(g.FillRight() + 1, 255), QPoint(166, 269)), Qt::black);
    p.setPen(dim ? QColor(128, 128, 128) : kWhite);
    p.setFont(SkinFont(12));
    p.drawText(QRect(QPoint(152, 255), QPoint(200, 270)), Qt::AlignRight | Qt::AlignVCenter, Q(g.Text()));
  }
}

bool CAPDlg::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    if (GaugeRect().contains(help->pos())) {
      // As a paragraph, which the tooltip wraps.
      const QString text = Q(std::u16string(AgentStateText(watch_->state()))).toHtmlEscaped();
      QToolTip::showText(help->globalPos(), QStringLiteral("<p>%1</p>").arg(text), this, GaugeRect());
      return true;
    }
  }
  return QDialog::event(e);
}

void CAPDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintFace(p);
}

void CAPDlg::keyPressEvent(QKeyEvent* e) {
  // Enter never closes the window; Esc is Cancel.
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    e->accept();
    return;
  }
  QDialog::keyPressEvent(e);
}

void CAPDlg::reject() { rules_->CancelButton(); }

void CAPDlg::moveEvent(QMoveEvent* e) {
  QDialog::moveEvent(e);
  if (standIns_)  // the editors are in place
    for (Drawer* d : Drawers()) d->Anchor(frameGeometry());
}

bool CAPDlg::eventFilter(QObject* watched, QEvent* event) {
  auto* button = dynamic_cast<CBitmapBtn*>(watched);
  if (!button || button->dropKind != 1) return QDialog::eventFilter(watched, event);
  if (event->type() == QEvent::MouseButtonPress) {
    dragStart_ = static_cast<QMouseEvent*>(event)->position().toPoint();
  } else if (event->type() == QEvent::MouseMove) {
    auto* e = static_cast<QMouseEvent*>(event);
    if ((e->buttons() & Qt::LeftButton) &&
        (e->position().toPoint() - dragStart_).manhattanLength() >= QApplication::startDragDistance()) {
      button->setDown(false);
      CBitmapBtn::DragRunner()(button, button->DragData());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace orv
