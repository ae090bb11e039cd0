#pragma once
// The button assignment drawer (CAdvanceFunctionDlg): a skinned window that slides out of the
// main window's right edge and offers, in four folders, the game's commands (a tree), the
// pointer speeds, the profile switches and the profile's macros (lists). A click on a row or a
// command gives the edited button that function; a drag of it onto a label of the main window
// gives it to that label. The macro folder opens the macro editor on a new macro or the selected
// one, and deletes macros.
// AssignmentDrawerWindow is what the main window holds: it makes the drawer on first use and
// slides it.
#include <QPointer>
#include <memory>
#include <optional>

#include "link/message_table.h"
#include "panel/editors/drawer_host.h"
#include "panel/editors/editor_windows.h"
#include "panel/editors/function_folders.h"
#include "skin/skinned_window.h"

namespace orv {

class CBitmapBtn;
class CListBoxEx;
class CTaskBar;
class CTreeCtrlEx;

class CAdvanceFunctionDlg : public SkinnedWindow<QWidget> {
 public:
  static constexpr int kTreeId = 135, kPointerSpeedListId = 136, kProfileListId = 4369, kMacroListId = 134;
  // The folder bar's place and each folder's body height, top to bottom.
  static constexpr QRect kFolderBarRect{QPoint(0, 53), QPoint(175, 439)};
  static constexpr int kFolderHeights[4] = {220, 200, 240, 240};

  // A hidden window beside `context.mainWindow` (a tool window of it). Its picture, title and
  // close button are made at once; the folder bar with the tree and the lists right after its
  // first frame (or when first needed), while a slide's first step shows nothing of it yet.
  explicit CAdvanceFunctionDlg(const DrawerContext& context);
  ~CAdvanceFunctionDlg() override;

  // The macro list from the active profile's macros, the profile list from the ten profiles'
  // names and the two profile steps; remembers the set.
  void FillLists(const ProfileSet& set);
  // The button whose function is chosen (0-13), or -1: none, choices are ignored.
  void SetEditedButton(int button) { edited_ = button; }
  int editedButton() const { return edited_; }
  // Opens the folder of the edited button's function and selects its row or command; closes
  // every folder for a function no folder offers. Before the controls are made: once they are.
  void ShowCurrentAssignment();
  // Makes the folder bar, the tree and the lists now, if they are not made yet.
  void BuildControls();
  bool controlsBuilt() const { return tree_ != nullptr; }

  LResult SkinMessage(uint32_t code, WParam w, LParam l) override;

  // The controls, made first if need be.
  CTaskBar* folderBar() { return BuildControls(), bar_; }
  CTreeCtrlEx* tree() { return BuildControls(), tree_; }
  CListBoxEx* pointerSpeedList() { return BuildControls(), pointerSpeeds_; }
  CListBoxEx* profileList() { return BuildControls(), profiles_; }
  CListBoxEx* macroList() { return BuildControls(), macros_; }
  CBitmapBtn* closeButton() const;

 protected:
  void DrawContent(QPainter& p) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  LResult OnPickFunction(WParam w, LParam l);
  LResult OnNewMacro(WParam w, LParam l);
  LResult OnEditMacro(WParam w, LParam l);
  LResult OnMacroListFocus(WParam w, LParam l);
  LResult OnMacroListSelect(WParam w, LParam l);
  LResult OnClearSelections(WParam w, LParam l);
  LResult OnDeleteMacro(WParam w, LParam l);
  static const MessageEntry<CAdvanceFunctionDlg> kMessages[];

  void UpdateMacroFolder();
  void UpdateDeleteButton();

  DrawerContext context_;
  FunctionFolders folders_;
  const ProfileSet* set_ = nullptr;
  int edited_ = -1;
  // The current assignment is to be shown once the controls are made.
  bool showPending_ = false;
  QImage scrollImage_;
  QImage bullet_;
  CTaskBar* bar_ = nullptr;
  CTreeCtrlEx* tree_ = nullptr;
  CListBoxEx* pointerSpeeds_ = nullptr;
  CListBoxEx* profiles_ = nullptr;
  CListBoxEx* macros_ = nullptr;
};

// The assignment drawer as the main window holds it.
class AssignmentDrawerWindow : public AssignmentDrawer {
 public:
  AssignmentDrawerWindow();
  ~AssignmentDrawerWindow() override;

  // How long after the main window's creation the drawer's pictures start to be decoded.
  static constexpr int kPrefetchDelayMs = 300;
  void Create(const DrawerContext& context) override;
  void SetProfileSet(ProfileSet& workingSet) override;
  void Anchor(const QRect& mainWindow) override;
  void SlideOut(const QRect& mainWindow) override;
  void SlideIn() override;
  bool Exists() const override { return window_ != nullptr; }
  bool IsOut() const override { return host_.out(); }
  void Destroy() override;
  void EditButton(int label) override;
  void Toggle() override;
  void Retarget(int label) override;

  // The drawer, once made.
  CAdvanceFunctionDlg* window() const { return window_; }
  const DrawerHost& host() const { return host_; }

 private:
  CAdvanceFunctionDlg& Ensure();

  DrawerContext context_;
  ProfileSet* set_ = nullptr;
  QPointer<CAdvanceFunctionDlg> window_;
  DrawerHost host_{DrawerKind::kAssignments};
};

}  // namespace orv
