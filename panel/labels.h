#pragma once
// The texts of the button labels and menus: the label of an assignment code comes from
// Menu.xml (mouse functions, sensitivity and profile steps, chat commands), from Functions.xml
// (game commands), or from the profile itself (profile names, macro names). Both files lie in
// the panel's program folder and are read whole when the book is loaded.
#include <optional>
#include <string>
#include <string_view>

#include "profile/records.h"
#include "profile/xml_cursor.h"

namespace orv {

inline constexpr char kMenuFileName[] = "Menu.xml";
inline constexpr char kFunctionsFileName[] = "Functions.xml";

// Loads a data file of the program folder (Menu.xml, Functions.xml) into `x`: a file that is
// missing, does not parse or whose root element has a sibling leaves `x` empty; false then.
bool LoadProgramDataFile(XmlCursor& x, const std::string& path);

class LabelBook {
 public:
  // Reads Menu.xml and Functions.xml from `programFolder`; a file that is missing, does not
  // parse or has more than one root element gives no texts.
  explicit LabelBook(const std::string& programFolder);
  // Reads both files again (they are product data a translator may change).
  void Reload();

  // The label of `code` on a button of the set's active profile: profile switches show the
  // name of their profile, macros the name of the active profile's macro. Nothing when the
  // code is unknown or the text it comes from is missing (the button then keeps its label).
  std::optional<std::u16string> LabelOf(int code, const ProfileSet& set) const;
  // The text of a key in a section of Menu.xml (menu items: FILE_MENU / EXPORT ...).
  std::optional<std::u16string> MenuText(std::u16string_view section, std::u16string_view key) const;
  // The text of a game command: Functions.xml GAME_COMMANDS / category / command.
  std::optional<std::u16string> GameCommandText(std::u16string_view category, std::u16string_view command) const;

  bool menuLoaded() const { return menuLoaded_; }
  bool functionsLoaded() const { return functionsLoaded_; }

 private:
  std::string folder_;
  mutable XmlCursor menu_;
  mutable XmlCursor functions_;
  bool menuLoaded_ = false;
  bool functionsLoaded_ = false;
};

// The labels of the fourteen buttons of the set's active profile, as Refresh shows them: each
// button's text for its code; a label whose text cannot be had keeps what it held.
void LabelButtons(const LabelBook& book, const ProfileSet& set, std::u16string (&labels)[kButtonCount]);

}  // namespace orv
