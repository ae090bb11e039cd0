#pragma once
// The main window's rules for its two profile sets: loading, applying (saving and telling the
// agent), switching profiles with the save question, the drops of profiles, game mode, Restore, import and export, leaving the window, and the notices
// of the agent that change the sets. The window calls these from its message table; what a
// person answers comes through PanelServices.
#include <string>

#include <QImage>

#include "panel/main_state.h"
#include "panel/onboard_check.h"
#include "panel/panel_services.h"
#include "panel/panel_store.h"

namespace orv {

enum class ApplyResult {
  kUnchanged,  // nothing differed: nothing written
  kSaved,      // Config.xml written, savedSet now equals workingSet
  kFailed,     // Config.xml could not be written: workingSet keeps the edits, savedSet is as it was
};

class EditRules {
 public:
  struct Folders {
    std::string program;  // the panel's program folder (User_Guide.pdf)
    std::string profile;  // where the import and export dialogs start
    std::string conf;     // the configuration folder (character portraits)
  };
  EditRules(PanelSets& sets, PanelStore& store, AgentTransport& agent, PanelServices& services, MainView& view,
            const MainTexts& texts, Folders folders);

  // Config.xml into savedSet, copied to workingSet.
  void Load();
  // Load for a Config.xml that changed under the panel (the agent rewrote it). A file that is
  // gone or does not load (damaged by something else) leaves both sets as they are, since they
  // hold the user's profiles and the file does not, and the next Apply writes them back (the
  // damaged file kept as Config.xml.broken). False then.
  bool Reload();
  // The end of the window's initialisation: tells the tray program once that the panel has
  // run (TRAY_ICON_FLAG), asks the agent for the on-board memory size, enables Apply.
  void DialogInitialised();
  // Recounts the on-board units (a box for every button whose code the table does not know)
  // and refreshes the view.
  void Refresh();
  int RecountUnits();

  // Saves workingSet if it differs from savedSet, then tells the agent: with `writeOnBoard`
  // UM_RELOAD_PROFILES (1, 1 when nothing changed else 0); without it (0, 0) only after a
  // change. A failed save tells the agent nothing. No dialog: it may run on the write thread.
  ApplyResult Apply(bool writeOnBoard);
  // What the window shows after an apply: a failed save keeps Apply enabled and says so.
  void ReportApply(ApplyResult result);

  // Command buttons.
  void ApplyButton();
  void OkButton();
  void CancelButton();
  void ExitButton();
  void Restore();
  void GameModeLatched(bool latched);
  // A profile button clicked.
  void ProfileClicked(int k);
  // File menu.
  void Import();
  void Export();
  // Help: the user guide beside the programs, with the desktop's handler.
  void OpenUserGuide();
  // File menu, Print: the page composed on `base` (MAIN_PRINT) with the labels the window
  // shows, then the print dialog. Whether a page was printed.
  bool Print(const QImage& base, const std::u16string (&labels)[kButtonCount]);

  // A profile dropped on another (functions dropped on labels and the button menu's picks are
  // AssignmentRules').
  void DropProfile(int from, int to);

  // The agent's notices.
  void ShowProfile(int index);
  void ProfileChanged(int index, bool reload);
  void DpiChanged(int step, int profile);
  void MemorySize(int64_t bytes);

  const Gauge& gauge() const { return gauge_; }
  Gauge& gauge() { return gauge_; }

 private:
  // Saves and tells of a failure at once (the window-thread paths).
  bool SaveNow();

  PanelSets& sets_;
  PanelStore& store_;
  AgentTransport& agent_;
  PanelServices& services_;
  MainView& view_;
  const MainTexts& texts_;
  Folders folders_;
  Gauge gauge_;
  // False while Config.xml is known not to hold savedSet (a reload found it gone or damaged):
  // Apply then saves even without an edit.
  bool fileHoldsSaved_ = true;
};

// "%s/User_Guide.pdf" of the program folder.
inline constexpr char kUserGuideFileName[] = "User_Guide.pdf";
inline constexpr std::u16string_view kNoPdfReaderMessage =
    u"Please download and install the free Adobe Reader  to read the user guide.";

}  // namespace orv
