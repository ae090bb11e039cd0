#pragma once
// The rules of giving a button a function: a code stored for one button of the active profile
// in workingSet, Apply enabled when it changed, the labels and the on-board units shown again.
// Written once, for every way a user assigns: the assignment drawer's lists and tree, a code
// dropped on a main-window label, and a row of the button menu. No widget writes workingSet
// itself.
#include <functional>
#include <optional>

#include "panel/main_state.h"

namespace orv {

// The folders of the assignment drawer, top to bottom.
enum class FunctionFolder : int { kNone = -1, kGameCommands = 0, kPointerSpeeds = 1, kProfiles = 2, kMacros = 3 };
// The folder that offers `code` (kNone for the button menu's codes, codes nothing offers and
// unknown codes).
FunctionFolder FolderOfCode(int code);

class AssignmentRules {
 public:
  // `refresh` shows the sets again with the units recounted (the main window's rules do that).
  AssignmentRules(PanelSets& sets, MainView& view, std::function<void()> refresh);

  // Stores `code` for button `label` (0-13) of the active profile when the catalogue has it and
  // the label exists; Apply is enabled when the code differs from the one it had. The code
  // stored, or nothing when refused (nothing changed then).
  std::optional<int> Assign(int label, int code);
  // A code dropped on a main-window label (the label's drop index, 16-29). Basic mouse
  // functions (below the first code a drag may carry) are the button menu's, not a drop's.
  void DropFunction(int code, int dropIndex);
  // A row of the button menu chosen for `label`: the menu goes, then the row's code is assigned.
  void ButtonMenuPick(int row, int label);
  // Deletes macro `index` of the active profile: a button holding it gets BUTTON_OFF, the
  // macros after it move down one slot with the buttons holding them, and the last slot is
  // left free; Apply is enabled. False (nothing changed) when that slot holds no macro.
  bool DeleteMacro(int index);
  // The number of macros the active profile holds (named slots).
  int MacroCount() const;
  // A new macro into the active profile's first free slot, and given to button `label` when
  // that is one (0-13; -1 for none); Apply is enabled. Its slot, or nothing when the profile
  // holds fifty macros already (nothing changed then).
  std::optional<int> StoreNewMacro(const Macro& macro, int label);
  // Macro `index` of the active profile replaced by its edited record (the buttons holding it
  // keep it); Apply is enabled. False for a free slot (nothing changed).
  bool StoreEditedMacro(int index, const Macro& macro);

 private:
  PanelSets& sets_;
  MainView& view_;
  std::function<void()> refresh_;
};

}  // namespace orv
