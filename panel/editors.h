#pragma once
// The windows the main window opens for editing that come with the editor issues: the three
// drawers (button assignments, mouse properties, illumination), the button menu, the game
// list editor and the character window. The main window reaches all of them through this one
// interface; until a window is built its entry does nothing, and the README lists which ones
// are missing.
#include <QRect>
#include <string>

#include "panel/main_state.h"
#include "profile/records.h"

class QWidget;

namespace orv {

class PanelEditors {
 public:
  virtual ~PanelEditors() = default;
  // With the main window's creation: the drawers are made as hidden children.
  virtual void Create(QWidget* /*mainWindow*/, const std::string& /*programFolder*/, const std::string& /*confFolder*/) {}
  // Refresh: the drawers see workingSet.
  virtual void SetProfileSet(ProfileSet& /*workingSet*/) {}
  // Re-anchors the drawers beside the main window's screen rectangle (creation, moves, slides).
  virtual void Anchor(const QRect& /*mainWindow*/) {}
  // UM_SLIDE_DONE and UM_SLIDE_CLOSE from the drawers: which drawer ended which slide, and
  // which drawer is to slide in.
  virtual void SlideDone(SlideCode /*slide*/) {}
  virtual void SlideIn(SlideCode /*slide*/) {}
  // A label chosen (left click or the mouse's own button): the assignment drawer edits button
  // `label`, sliding out if it is in.
  virtual void EditButton(int /*label*/) {}
  // BUTTON_ASSIGNMENTS: out with no button, or, when out, its edited button cleared.
  virtual void ToggleAssignments() {}
  virtual bool AssignmentsExist() const { return false; }
  // BUTTON_MOUSE_PROPERTIES, BUTTON_ILLUMINATION: slide out from the main window's rectangle.
  virtual void SlideOutProperties(const QRect& /*mainWindow*/) {}
  virtual void SlideOutIllumination(const QRect& /*mainWindow*/) {}
  // The button menu under a label (screen rectangle), replacing an open one; and its end.
  virtual void OpenButtonMenu(int /*label*/, const QRect& /*labelOnScreen*/) {}
  virtual void CloseButtonMenu() {}
  // Modal editors on workingSet: the game list editor (File, Edit) and the character window.
  virtual void EditGameList(ProfileSet& /*workingSet*/) {}
  virtual void OpenCharacterWindow(ProfileSet& /*workingSet*/) {}
  // With the main window's destruction.
  virtual void Destroy() {}
};

}  // namespace orv
