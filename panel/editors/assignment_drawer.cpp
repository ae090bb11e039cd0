#include "panel/editors/assignment_drawer.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <memory>

#include "base/text.h"
#include "panel/editors/assignment_rules.h"
#include "panel/main_state.h"
#include "panel/panel_services.h"
#include "panel/panel_store.h"
#include "profile/function_catalog.h"
#include "skin/bitmap_button.h"
#include "skin/function_list.h"
#include "skin/function_tree.h"
#include "skin/qt_text.h"
#include "skin/scroll_bar.h"
#include "skin/skin_controls.h"
#include "skin/skin_resources.h"
#include "skin/skin_window.h"

namespace orv {
namespace {

inline constexpr std::u16string_view kMacroListFullMessage =
    u"This profile holds fifty macros, as many as it can: delete one before recording another.";

constexpr ParamRange kCodeValue{kFirstDroppedCode, kLastMacroCode};

}  // namespace

const MessageEntry<CAdvanceFunctionDlg> CAdvanceFunctionDlg::kMessages[] = {
    {UM_PICK_FUNCTION, &CAdvanceFunctionDlg::OnPickFunction, kCodeValue, kZeroValue},
    {UM_NEW_MACRO, &CAdvanceFunctionDlg::OnNewMacro, kZeroValue, kZeroValue},
    {UM_EDIT_MACRO, &CAdvanceFunctionDlg::OnEditMacro, kZeroValue, kZeroValue},
    {UM_MACRO_LIST_FOCUS, &CAdvanceFunctionDlg::OnMacroListFocus, kZeroValue, kZeroValue},
    {UM_MACRO_LIST_SELECT, &CAdvanceFunctionDlg::OnMacroListSelect, kZeroValue, kZeroValue},
    {UM_CLEAR_SELECTIONS, &CAdvanceFunctionDlg::OnClearSelections, kZeroValue, kZeroValue},
    {UM_DELETE_MACRO, &CAdvanceFunctionDlg::OnDeleteMacro, kZeroValue, kZeroValue},
};

CAdvanceFunctionDlg::CAdvanceFunctionDlg(const DrawerContext& context)
    : SkinnedWindow<QWidget>(context.programFolder, context.mainWindow, Qt::Tool), context_(context) {
  SkinWindowSetup setup;
  setup.section = QStringLiteral("BUTTON_ASSIGNMENTS");
  setup.buttonKeys = {QStringLiteral("CLOSE_ASSIGNMENTS")};
  // The close button's pressed and hovered pictures come after the first frame.
  setup.deferButtonStates = true;
  SetUpSkin(setup, QSize(200, 460));
  // Its title as the window system names it: the one drawn on it.
  const QString title = skin_.Text(QStringLiteral("BUTTON_ASSIGNMENTS")).text;
  setWindowTitle(title.isEmpty() ? QStringLiteral("Button Assignments") : title);
  if (CBitmapBtn* close = closeButton()) {
    QObject::connect(close, &QAbstractButton::clicked, this, [this] {
      PostToWindow(context_.mainWindow, UM_SLIDE_CLOSE, 0, kSlideAssignmentsIn);
    });
  }
  // The folder bar, the tree and the lists come right after the first frame (a slide's first
  // step shows nothing of the drawer), or as soon as something needs them.
  QTimer::singleShot(0, this, [this] { BuildControls(); });
}

CAdvanceFunctionDlg::~CAdvanceFunctionDlg() = default;

CBitmapBtn* CAdvanceFunctionDlg::closeButton() const { return skin_.Button(QStringLiteral("CLOSE_ASSIGNMENTS")); }

void CAdvanceFunctionDlg::BuildControls() {
  if (tree_) return;
  folders_ = ReadFunctionFolders(installFolder_);
  bar_ = new CTaskBar(installFolder_, this, kFolderBarRect);
  for (int i = 0; i < 4; ++i) bar_->AddFolder(Q(folders_.captions[i]), nullptr, kFolderHeights[i]);
  if (CBitmapBtn* b = bar_->newButton()) b->SetTooltip(b->caption, true);
  if (CBitmapBtn* b = bar_->deleteButton()) b->SetTooltip(b->caption, true);
  LoadSkinImage(SkinDataPath(installFolder_, "skins/scrollbar.png"), scrollImage_);
  LoadSkinImage(SkinDataPath(installFolder_, "skins/bullet.png"), bullet_);
  tree_ = new CTreeCtrlEx(bar_);
  tree_->setObjectName(QString::number(kTreeId));
  for (const FunctionFolders::Category& c : folders_.gameCommands) {
    std::vector<std::pair<int, QString>> commands;
    for (const FunctionFolders::Command& command : c.commands) commands.emplace_back(command.command, Q(command.text));
    tree_->AddCategory(Q(c.text), c.category, commands);
  }
  auto makeList = [&](int kind, int id) {
    auto* list = new CListBoxEx(bar_);
    list->setObjectName(QString::number(id));
    list->SetKind(kind);
    list->SetBullet(bullet_);
    return list;
  };
  pointerSpeeds_ = makeList(CListBoxEx::kPointerSpeedList, kPointerSpeedListId);
  for (const FunctionFolders::Row& row : folders_.pointerSpeeds) pointerSpeeds_->AddRow(Q(row.text), row.code);
  profiles_ = makeList(CListBoxEx::kProfileList, kProfileListId);
  macros_ = makeList(CListBoxEx::kMacroList, kMacroListId);

  QAbstractItemView* controls[4] = {tree_, pointerSpeeds_, profiles_, macros_};
  for (int i = 0; i < 4; ++i) {
    QAbstractItemView* control = controls[i];
    if (auto* list = dynamic_cast<CListBoxEx*>(control)) {
      list->SetOwner(this);
      list->dragEnabled = true;
      list->Register();
    } else {
      tree_->SetOwner(this);
      tree_->dragEnabled = true;
      tree_->Register();
    }
    control->setToolTip(Q(folders_.captions[i]));
    bar_->SetFolderControl(i, SkinScrollWindow(control, scrollImage_));
  }
  bar_->WatchMacroList(macros_);
  bar_->show();
  // What was asked for before the controls were there.
  if (set_) FillLists(*set_);
  UpdateMacroFolder();
  UpdateDeleteButton();
  if (showPending_) ShowCurrentAssignment();
}

void CAdvanceFunctionDlg::FillLists(const ProfileSet& set) {
  set_ = &set;
  if (!tree_) return;  // filled when they are made
  const Profile& active = set.profiles[ProfileIndexOrFirst(set.profileId)];
  // The rows as they should be; the lists are made again only when they differ (every change
  // of the sets asks for this).
  std::vector<FunctionFolders::Row> macros, profiles;
  for (int k = 0; k < kMacroCount; ++k) {
    const std::u16string_view name = FieldText(active.macros[k].name);
    if (!name.empty()) macros.push_back({kFirstMacroCode + k, std::u16string(name)});
  }
  for (int k = 0; k < kProfileCount; ++k)
    profiles.push_back({*ChooserCode(Chooser::kProfileList, k), std::u16string(FieldText(set.profiles[k].profileName))});
  profiles.insert(profiles.end(), folders_.profileSteps.begin(), folders_.profileSteps.end());
  auto refill = [](CListBoxEx* list, const std::vector<FunctionFolders::Row>& rows) {
    bool same = list->count() == static_cast<int>(rows.size());
    for (int r = 0; same && r < list->count(); ++r)
      same = list->CodeOfRow(r) == rows[r].code && list->item(r)->text() == Q(rows[r].text);
    if (same) return;
    list->clear();
    for (const FunctionFolders::Row& row : rows) list->AddRow(Q(row.text), row.code);
    list->setCurrentRow(-1);
  };
  refill(macros_, macros);
  refill(profiles_, profiles);
  UpdateMacroFolder();
  UpdateDeleteButton();
}

void CAdvanceFunctionDlg::ShowCurrentAssignment() {
  showPending_ = !tree_;
  if (showPending_ || edited_ < 0 || edited_ >= kButtonCount || !set_) return;
  const int code = set_->profiles[ProfileIndexOrFirst(set_->profileId)].buttons[edited_].code;
  OnClearSelections(0, 0);
  auto showRow = [&](FunctionFolder folder, CListBoxEx* list) {
    bar_->SetOpenFolder(static_cast<int>(folder));
    const int row = list->RowOfCode(code);
    list->setCurrentRow(row);
    if (row >= 0) list->scrollToItem(list->item(row), QAbstractItemView::PositionAtCenter);
  };
  switch (FolderOfCode(code)) {
    case FunctionFolder::kGameCommands: {
      bar_->SetOpenFolder(static_cast<int>(FunctionFolder::kGameCommands));
      if (QTreeWidgetItem* item = tree_->ItemOfCode(code)) {
        item->parent()->setExpanded(true);
        tree_->setCurrentItem(item);
        tree_->scrollToItem(item, QAbstractItemView::PositionAtCenter);
        tree_->setFocus();
      }
      break;
    }
    case FunctionFolder::kPointerSpeeds: showRow(FunctionFolder::kPointerSpeeds, pointerSpeeds_); break;
    case FunctionFolder::kProfiles: showRow(FunctionFolder::kProfiles, profiles_); break;
    case FunctionFolder::kMacros:
      if (macros_->RowOfCode(code) >= 0) showRow(FunctionFolder::kMacros, macros_);
      else bar_->SetOpenFolder(-1);
      break;
    case FunctionFolder::kNone: bar_->SetOpenFolder(-1); break;
  }
}

void CAdvanceFunctionDlg::UpdateMacroFolder() { bar_->SetMacroFolderDisabled(macros_->count() == 0); }

void CAdvanceFunctionDlg::UpdateDeleteButton() {
  if (CBitmapBtn* b = bar_->deleteButton()) b->setEnabled(macros_->currentRow() >= 0);
}

// --- messages --------------------------------------------------------------------------------------

LResult CAdvanceFunctionDlg::SkinMessage(uint32_t code, WParam w, LParam l) {
  BuildControls();  // the folder bar's buttons are there before them
  return DispatchMessage(this, kMessages, code, w, l, [] { return LResult{0}; });
}

LResult CAdvanceFunctionDlg::OnPickFunction(WParam w, LParam) {
  if (edited_ < 0 || !context_.assignments) return 1;
  context_.assignments->Assign(edited_, static_cast<int>(w));
  return 1;
}

LResult CAdvanceFunctionDlg::OnNewMacro(WParam, LParam) {
  if (!context_.questions || !context_.macroEditor || !context_.assignments) return 1;
  // A profile holds fifty macros; the fifty-first is refused before anything is asked.
  if (macros_->count() >= kMacroCount) {
    context_.questions->WarningOne(kMacroListFullMessage);
    return 1;
  }
  if (!(context_.store && context_.store->ReadValue(ConfigValue::WarningFourOptionFlag) == 1) &&
      context_.questions->WarningFour() == 2)
    return 1;
  const std::optional<Macro> macro = context_.macroEditor->Edit(this, nullptr);
  // Saved: into a free slot, given to the edited button, shown selected in its folder.
  if (macro) {
    if (const std::optional<int> slot = context_.assignments->StoreNewMacro(*macro, edited_)) {
      bar_->SetOpenFolder(CTaskBar::kMacroFolder);
      macros_->setCurrentRow(macros_->RowOfCode(kFirstMacroCode + *slot));
    }
  }
  UpdateMacroFolder();
  UpdateDeleteButton();
  return 1;
}

LResult CAdvanceFunctionDlg::OnEditMacro(WParam, LParam) {
  const std::optional<int> code = macros_->CodeOfRow(macros_->currentRow());
  if (!code || !set_ || !context_.macroEditor || !context_.assignments) return 1;
  const int slot = *code - kFirstMacroCode;
  // The editor works on a copy: closed without saving, the profile's macro is as it was.
  auto copy = std::make_unique<Macro>(set_->profiles[ProfileIndexOrFirst(set_->profileId)].macros[slot]);
  if (const std::optional<Macro> macro = context_.macroEditor->Edit(this, copy.get())) {
    context_.assignments->StoreEditedMacro(slot, *macro);
    macros_->setCurrentRow(macros_->RowOfCode(*code));
  }
  return 1;
}

LResult CAdvanceFunctionDlg::OnMacroListFocus(WParam, LParam) {
  UpdateDeleteButton();
  return 1;
}

LResult CAdvanceFunctionDlg::OnMacroListSelect(WParam, LParam) {
  UpdateDeleteButton();
  return 1;
}

LResult CAdvanceFunctionDlg::OnClearSelections(WParam, LParam) {
  for (CListBoxEx* list : {pointerSpeeds_, profiles_, macros_}) {
    list->clearSelection();
    list->setCurrentRow(-1);
  }
  UpdateDeleteButton();
  return 1;
}

LResult CAdvanceFunctionDlg::OnDeleteMacro(WParam, LParam) {
  const int row = macros_->currentRow();
  const std::optional<int> code = macros_->CodeOfRow(row);
  if (bar_->currentFolder() != CTaskBar::kMacroFolder || !code || !context_.assignments) return 1;
  if (context_.questions && !(context_.store && context_.store->ReadValue(ConfigValue::WarningOptionFlag) == 1) &&
      context_.questions->WarningThree() == 2)
    return 1;
  // The main window shows the sets again, which fills the lists anew.
  context_.assignments->DeleteMacro(*code - kFirstMacroCode);
  UpdateMacroFolder();
  UpdateDeleteButton();
  return 1;
}

// --- painting and keys -------------------------------------------------------------------------------

void CAdvanceFunctionDlg::DrawContent(QPainter& p) {
  const SkinTextEntry title = skin_.Text(QStringLiteral("BUTTON_ASSIGNMENTS"));
  if (title.text.isEmpty()) return;
  p.setFont(SkinFont(12, 700));
  p.setPen(kGold);
  const QFontMetrics fm(p.font());
  p.drawText(QPoint(title.x - fm.horizontalAdvance(title.text) / 2, title.y + fm.ascent()), title.text);
}

void CAdvanceFunctionDlg::keyPressEvent(QKeyEvent* e) {
  // Esc and Alt+F4 ask the main window to close (this window never closes alone).
  const bool altF4 = e->key() == Qt::Key_F4 && (e->modifiers() & Qt::AltModifier);
  if (e->key() == Qt::Key_Escape || altF4) {
    PostToWindow(context_.mainWindow, UM_REQUEST_CLOSE, 0, 0);
    e->accept();
    return;
  }
  SkinnedWindow<QWidget>::keyPressEvent(e);
}

void CAdvanceFunctionDlg::closeEvent(QCloseEvent* e) {
  // Closed by the window manager: the main window decides.
  e->ignore();
  PostToWindow(context_.mainWindow, UM_REQUEST_CLOSE, 0, 0);
}

// --- the main window's drawer ----------------------------------------------------------------------

AssignmentDrawerWindow::AssignmentDrawerWindow() = default;

void AssignmentDrawerWindow::Create(const DrawerContext& context) {
  context_ = context;
  // Made on the first click of a label: its picture and outline are decoded meanwhile, once the
  // main window has shown itself, so that the first click does not wait for them.
  QPointer<QWidget> main = context.mainWindow;
  const std::string folder = context.programFolder;
  QTimer::singleShot(kPrefetchDelayMs, main, [main, folder] {
    if (main) PrefetchSkinPictures(folder, QStringLiteral("BUTTON_ASSIGNMENTS"));
  });
}

AssignmentDrawerWindow::~AssignmentDrawerWindow() { Destroy(); }

CAdvanceFunctionDlg& AssignmentDrawerWindow::Ensure() {
  if (!window_) {
    window_ = new CAdvanceFunctionDlg(context_);
    if (set_) window_->FillLists(*set_);
    host_.Attach(window_, window_->skin().outline, context_.mainWindow);
  }
  return *window_;
}

void AssignmentDrawerWindow::SetProfileSet(ProfileSet& workingSet) {
  set_ = &workingSet;
  if (window_) window_->FillLists(workingSet);
}

void AssignmentDrawerWindow::Anchor(const QRect&) { host_.Anchor(); }

void AssignmentDrawerWindow::SlideOut(const QRect&) {
  Ensure().ShowCurrentAssignment();
  host_.SlideOut();
}

void AssignmentDrawerWindow::SlideIn() {
  if (window_) host_.SlideIn();
}

void AssignmentDrawerWindow::Destroy() {
  delete window_.data();
  window_ = nullptr;
}

void AssignmentDrawerWindow::EditButton(int label) {
  // Out (or on its way): it edits that button now; in: it comes out for it.
  Ensure().SetEditedButton(label);
  window_->ShowCurrentAssignment();
  host_.SlideOut();
}

void AssignmentDrawerWindow::Toggle() {
  Ensure().SetEditedButton(-1);
  if (!host_.out()) host_.SlideOut();
}

void AssignmentDrawerWindow::Retarget(int label) {
  if (!window_) return;
  if (label < 0) {
    window_->SetEditedButton(-1);
  } else if (host_.shown()) {
    window_->SetEditedButton(label);
    window_->ShowCurrentAssignment();
  }
}

}  // namespace orv
