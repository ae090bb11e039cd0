#pragma once
// What the main window's collaborators share: the two profile sets the window owns, the narrow
// view of the window they act on, the texts it read from its skin, and its command ids and
// private messages.
#include <cstdint>
#include <memory>
#include <string>

#include "profile/records.h"

namespace orv {

// workingSet is what every editor changes; savedSet is what Config.xml holds.
struct PanelSets {
  ProfileSet workingSet;
  ProfileSet savedSet;

  Profile& activeWorking() { return workingSet.profiles[ProfileIndexOrFirst(workingSet.profileId)]; }
  const Profile& activeWorking() const { return workingSet.profiles[ProfileIndexOrFirst(workingSet.profileId)]; }
  // Whether the two sets differ (each looked at under its own active profile).
  bool Differ() const { return CompareProfileSets(workingSet, savedSet, false) != 0; }
};
// The sets are large (two megabytes each with their macros): keep them on the heap.
inline std::unique_ptr<PanelSets> MakePanelSets() { return std::make_unique<PanelSets>(); }

// The main window as its collaborators see it.
class MainView {
 public:
  virtual ~MainView() = default;
  virtual void EnableApply(bool on) = 0;
  // Shows the sets again: profile buttons, labels, the game-mode latch (labels and Restore
  // enabled only out of game mode), the gauge, and the sets handed to the side panels.
  virtual void Refresh() = 0;
  virtual void RedrawGauge() = 0;
  // Highlights one label (-1: none, also in the assignment window).
  virtual void SelectLabel(int label) = 0;
  // WM_CLOSE to itself: the window ends.
  virtual void CloseWindow() = 0;
  // Slides the assignment window in, if it exists.
  virtual void SlideInAssignments() = 0;
  // Destroys the open button menu, if any.
  virtual void CloseButtonMenu() = 0;
};

// The texts the main window reads from Strings.xml at creation.
struct MainTexts {
  // STRING_WARNING_CHANGE_PROFILE: a format taking the target's and the source's profile numbers.
  std::u16string changeProfileWarning;
  // STRING_WARNING_RESTORE_PROFILE.
  std::u16string restoreProfileWarning;
  // The label texts of PROFILE_1 .. PROFILE_10.
  std::u16string defaultProfileNames[kProfileCount];
};

// Menu commands.
enum : int {
  ID_FILE_EDIT = 1325,
  ID_FILE_EXPORT = 1326,
  ID_FILE_IMPORT = 1332,
  ID_FILE_PRINT = 1333,
  ID_HELP_ABOUT = 1335,
  ID_HELP_USER_GUIDE = 1336,
  ID_RATE_250 = 1337,
  ID_RATE_500 = 1338,
  ID_RATE_1000 = 1339,
  ID_SHOW_MACRO = 1342,
  ID_LIFT_DEFAULT = 1345,
  ID_LIFT_LOWER = 1346,
  ID_LIFT_LOWEST = 1347,
};

// Messages between the main window and its own windows.
enum : uint32_t {
  UM_SLIDE_DONE = 0x464,        // lParam: the drawer and the slide that ended (SlideCode)
  UM_REQUEST_CLOSE = 0x465,     // a side window asks the main window to close
  UM_SLIDE_CLOSE = 0x466,       // lParam: the drawer to slide in (SlideCode, an "in" one)
  UM_BUTTON_MENU_PICK = 0x4CE,  // wParam the button menu's row, lParam label
};

// The lParam of UM_SLIDE_DONE and UM_SLIDE_CLOSE: which drawer, out or in.
enum SlideCode : int {
  kSlideAssignmentsOut = 50,
  kSlidePropertiesOut = 51,
  kSlideIlluminationOut = 52,
  kSlidePropertiesIn = 53,
  kSlideAssignmentsIn = 54,
  kSlideIlluminationIn = 55,
};


// The drop targets' indexes: profile buttons 0-9, labels 16-29.
inline constexpr int kFirstLabelDropIndex = 16;

// Texts of the panel's own notices where nothing else is given.
inline constexpr std::u16string_view kSaveQuestion = u"Would you like to save changes?";
inline constexpr std::u16string_view kSaveFailedMessage =
    u"The settings could not be saved: Config.xml cannot be written. Your changes are kept; check the "
    u"configuration folder and apply again.";
inline constexpr std::u16string_view kNotAProfileMessage =
    u"The chosen file is not a profile of this mouse. Nothing was imported.";
inline constexpr std::u16string_view kExportFailedMessage =
    u"The profile could not be exported: the file cannot be written there.";

// A message text used as a format with two numbers: the first two "%d" take `first` and
// `second` in turn; "%%" is a percent sign; anything else stays as written.
std::u16string FormatTwoNumbers(std::u16string_view format, int first, int second);

}  // namespace orv
