#pragma once
// The editor windows as the main window reaches them, one small interface each: the three
// drawers (button assignments, mouse properties, illumination), the button menu, the game list
// editor and the character window. Each entry does nothing here; a window built derives from
// its interface, and the README lists the ones still missing.
#include <QRect>
#include <optional>
#include <string>

#include "panel/main_state.h"
#include "profile/records.h"

class QWidget;

namespace orv {

class AssignmentRules;
class MacroEditorWindow;
class PanelQuestions;
class PanelStore;

// What a drawer is made with: the main window it belongs to, the folders of the program's data
// and of the user's configuration, and the main window's rules and services it uses.
struct DrawerContext {
  QWidget* mainWindow = nullptr;
  std::string programFolder;
  std::string confFolder;
  AssignmentRules* assignments = nullptr;
  PanelQuestions* questions = nullptr;
  PanelStore* store = nullptr;
  MacroEditorWindow* macroEditor = nullptr;
};

// What every drawer has with the main window: made as its hidden child when it is created and
// destroyed with it, it sees workingSet, stays anchored beside it and slides out and in.
class Drawer {
 public:
  virtual ~Drawer() = default;
  virtual void Create(const DrawerContext& /*context*/) {}
  virtual void SetProfileSet(ProfileSet& /*workingSet*/) {}
  // Re-anchored beside the main window's screen rectangle (creation, moves, slides ended).
  virtual void Anchor(const QRect& /*mainWindow*/) {}
  virtual void SlideOut(const QRect& /*mainWindow*/) {}
  virtual void SlideIn() {}
  // Its slide out (`out`) or in has ended (UM_SLIDE_DONE).
  virtual void SlideDone(bool /*out*/) {}
  virtual bool Exists() const { return false; }
  // Out beside the main window (its slide out ended, its slide in not begun).
  virtual bool IsOut() const { return false; }
  virtual void Destroy() {}
};

// The assignment drawer edits one button at a time.
class AssignmentDrawer : public Drawer {
 public:
  // A label chosen (left click or the mouse's own button): it edits button `label`, sliding
  // out if it is in.
  virtual void EditButton(int /*label*/) {}
  // BUTTON_ASSIGNMENTS: out with no button, or, when out, its edited button cleared.
  virtual void Toggle() {}
  // A label right-clicked (or -1: no label selected): when out, it edits that button; -1 always
  // clears the edited button.
  virtual void Retarget(int /*label*/) {}
};

// The button menu under a label.
class ButtonMenuWindow {
 public:
  virtual ~ButtonMenuWindow() = default;
  // Opens under the label's screen rectangle, replacing an open one.
  virtual void Open(int /*label*/, const QRect& /*labelOnScreen*/) {}
  virtual void Close() {}
};

// The macro editor, modal over `over`: a new macro (`existing` null) or a copy of one opened for
// editing. The record to save, or nothing when it was closed without saving.
class MacroEditorWindow {
 public:
  virtual ~MacroEditorWindow() = default;
  virtual std::optional<Macro> Edit(QWidget* /*over*/, const Macro* /*existing*/) { return std::nullopt; }
};

// The modal editors on workingSet: the game list editor (File, Edit) and the character window.
class GameListWindow {
 public:
  virtual ~GameListWindow() = default;
  virtual void Edit(ProfileSet& /*workingSet*/) {}
};
class CharacterWindow {
 public:
  virtual ~CharacterWindow() = default;
  virtual void Open(ProfileSet& /*workingSet*/) {}
};

// The main window's editor windows; an entry left null is a window not built yet, for which
// the main window puts one that does nothing.
struct EditorWindows {
  AssignmentDrawer* assignments = nullptr;
  Drawer* properties = nullptr;
  Drawer* illumination = nullptr;
  ButtonMenuWindow* buttonMenu = nullptr;
  MacroEditorWindow* macroEditor = nullptr;
  GameListWindow* gameList = nullptr;
  CharacterWindow* character = nullptr;
};

// Which drawer a slide code names, and whether it says out.
enum class DrawerKind : uint8_t { kAssignments, kProperties, kIllumination };
constexpr DrawerKind DrawerOf(SlideCode slide) {
  switch (slide) {
    case kSlideAssignmentsOut:
    case kSlideAssignmentsIn: return DrawerKind::kAssignments;
    case kSlidePropertiesOut:
    case kSlidePropertiesIn: return DrawerKind::kProperties;
    case kSlideIlluminationOut:
    case kSlideIlluminationIn: return DrawerKind::kIllumination;
  }
  return DrawerKind::kAssignments;
}
constexpr bool SlidesOut(SlideCode slide) {
  return slide == kSlideAssignmentsOut || slide == kSlidePropertiesOut || slide == kSlideIlluminationOut;
}

}  // namespace orv
