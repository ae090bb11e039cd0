#pragma once
// What the assignment drawer's folders offer, as Functions.xml words it: the folders' captions,
// the game's commands as categories and commands, the pointer-speed rows and the profile steps.
// The file's sections, and the elements inside each, are looked up in the catalogue's order,
// each lookup among the siblings after the previous match: an element listed out of order, or
// missing, is not offered, and nothing else moves. Every row and command keeps its own code.
#include <string>
#include <vector>

#include "profile/xml_cursor.h"

namespace orv {

struct FunctionFolders {
  struct Row {
    int code = 0;
    std::u16string text;
  };
  struct Command {
    int command = 0;  // the command item's data
    int code = 0;
    std::u16string text;
  };
  struct Category {
    int category = 0;  // the category item's data
    std::u16string text;
    std::vector<Command> commands;
  };

  // The captions of the four folders: game commands, pointer speeds, profiles, macros.
  std::u16string captions[4];
  std::vector<Category> gameCommands;
  std::vector<Row> pointerSpeeds;
  // PROFILE_UP and PROFILE_DOWN, after the ten profiles' names.
  std::vector<Row> profileSteps;
};

// The folders of a loaded Functions.xml (an empty cursor gives empty folders).
FunctionFolders ReadFunctionFolders(XmlCursor& functions);
// The folders of the Functions.xml in `programFolder`.
FunctionFolders ReadFunctionFolders(const std::string& programFolder);

}  // namespace orv
