#pragma once
// CAPDlg: the panel's main window. It owns the two profile sets and is the message table of
// the panel: the agent's notices arrive here over the window bus (it is registered under its
// title), its skinned controls report here, and every rule runs in a collaborator (EditRules,
// DeviceChanges, OnboardSave) that sees the window through MainView.
#include <QDialog>
#include <array>
#include <QImage>
#include <memory>
#include <string>

#include "link/bus_window.h"
#include "panel/main/app.h"
#include "panel/agent_watch.h"
#include "panel/device_changes.h"
#include "panel/editors/assignment_rules.h"
#include "panel/edit_rules.h"
#include "panel/editors/editor_windows.h"
#include "panel/labels.h"
#include "panel/main_state.h"
#include "panel/onboard_save.h"
#include "panel/main/qt_services.h"
#include "skin/skin_messages.h"
#include "skin/skin_window.h"

namespace orv {

class CBitmapBtn;
class ConfStore;
}  // namespace orv
class QMenu;
namespace orv {

// The services of the running panel: the desktop's, with the skinned message dialogs.
class CAPDlgServices : public QtDesktopServices {
 public:
  CAPDlgServices(std::string programFolder, std::string confFolder, QWidget* owner = nullptr)
      : QtDesktopServices(owner), programFolder_(std::move(programFolder)), confFolder_(std::move(confFolder)) {}
  void WarningOne(std::u16string_view text) override;
  int WarningTwo(std::u16string_view text, std::u16string_view title) override;
  int WarningThree2() override;
  int WarningThree() override;
  int WarningFour() override;

 private:
  std::string programFolder_;
  std::string confFolder_;
};

class CAPDlg : public QDialog,
               public BusWindow,
               public SkinMessageTarget,
               public MainView,
               public ProgressRunner {
 public:
  // Control id of the game-mode switch, which reports its latch as a command.
  static constexpr int kGameModeControlId = 0x7001;

  // What a test puts in place of the person, the agent or the editors (null: the real ones).
  struct Options {
    PanelServices* services = nullptr;
    AgentTransport* agent = nullptr;
    EditorWindows editors;
    Clock* clock = nullptr;
  };
  // Builds the window from the skin (xException when it cannot), loads the profiles, registers
  // on the window bus and tells the agent and the tray program it is there.
  CAPDlg(const PanelStartup& startup, Options options, QWidget* parent = nullptr);
  explicit CAPDlg(const PanelStartup& startup) : CAPDlg(startup, Options{}) {}
  ~CAPDlg() override;

  // Window bus and control messages.
  LResult HandleMessage(uint32_t code, WParam w, LParam l) override;
  LResult SkinMessage(uint32_t code, WParam w, LParam l) override;
  // A menu command or a command button.
  void OnCommand(int id);
  void OnButton(const QString& key);
  void LabelClicked(int label);
  void LabelRightClicked(int label);
  // The pop-up menu of a menu button, opened at the cursor; chosen items run as commands.
  void OpenMenu(const QString& key);
  // That menu with its items, ids (the actions' data) and check marks.
  std::unique_ptr<QMenu> BuildMenu(const QString& key);

  // MainView.
  void EnableApply(bool on) override;
  void Refresh() override;
  void RedrawGauge() override;
  void SelectLabel(int label) override;
  void CloseWindow() override;
  void SlideInAssignments() override;
  void CloseButtonMenu() override;
  // ProgressRunner.
  void RunProgress(double paceSeconds, bool agentPresent) override;

  // What tests and the print look at.
  PanelSets& sets() { return *sets_; }
  EditRules& rules() { return *rules_; }
  AgentWatch& agentWatch() { return *watch_; }
  AssignmentRules& assignments() { return *assignments_; }
  // Where the on-board memory gauge is drawn, in the window's coordinates.
  static QRect GaugeRect();
  SkinWindow& skin() { return skin_; }
  CBitmapBtn* Control(const QString& key) const { return skin_.Button(key); }
  CBitmapBtn* Label(int i) const { return labels_[i]; }
  CBitmapBtn* ProfileButton(int k) const { return profiles_[k]; }
  const std::u16string& LabelText(int i) const { return labelTexts_[i]; }
  int selectedLabel() const { return selected_; }
  // The editor windows it uses (a test's, the built ones, or stand-ins).
  const EditorWindows& editors() const { return editors_; }
  // The window's picture with its gauge, as a paint shows it.
  QImage Compose() const;
  // The picture the printout is composed on (MAIN_PRINT); null when it cannot be read.
  QImage PrintPicture() const;

 protected:
  bool event(QEvent*) override;
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void moveEvent(QMoveEvent*) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The picture, its captions and the gauge.
  void PaintFace(QPainter& p) const;
  LResult OnSlideDone(WParam, LParam);
  LResult OnSlideClose(WParam, LParam);
  LResult OnRequestClose(WParam, LParam);
  LResult OnButtonMenuPick(WParam, LParam);
  LResult OnButtonEvent(WParam, LParam);
  LResult OnMemorySize(WParam, LParam);
  LResult OnProfileChanged(WParam, LParam);
  LResult OnDpiChanged(WParam, LParam);
  LResult OnSelectProfile(WParam, LParam);
  LResult OnDropProfile(WParam, LParam);
  LResult OnDropFunction(WParam, LParam);
  static const MessageEntry<CAPDlg> kMessages[];

  // The three drawers, and the one a slide code names.
  std::array<Drawer*, 3> Drawers() const;
  Drawer& DrawerFor(DrawerKind kind) const;
  void BuildControls();
  void Print();
  int LabelOfControl(LParam control) const;

  PanelStartup startup_;
  Options options_;
  SkinWindow skin_;
  mutable QImage printPicture_;
  std::unique_ptr<PanelSets> sets_;
  std::unique_ptr<PanelStore> store_;
  std::unique_ptr<CAPDlgServices> ownServices_;
  std::unique_ptr<AgentTransport> ownAgent_;
  struct OwnEditors;
  std::unique_ptr<OwnEditors> standIns_;
  PanelServices* services_ = nullptr;
  AgentTransport* agent_ = nullptr;  // through watch_
  std::unique_ptr<AgentWatch> watch_;
  EditorWindows editors_;  // every entry set: a test's, or a stand-in that does nothing
  std::unique_ptr<LabelBook> book_;
  MainTexts texts_;
  std::unique_ptr<EditRules> rules_;
  std::unique_ptr<AssignmentRules> assignments_;
  std::unique_ptr<DeviceChanges> device_;
  std::unique_ptr<OnboardSave> onboard_;
  CBitmapBtn* labels_[kButtonCount] = {};
  CBitmapBtn* profiles_[kProfileCount] = {};
  std::u16string labelTexts_[kButtonCount];
  int selected_ = -1;
  QPoint dragStart_;
};

}  // namespace orv
