#include "panel/editors/function_folders.h"

#include "base/files.h"
#include "panel/labels.h"
#include "profile/function_catalog.h"

namespace orv {
namespace {

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

// The entries a list chooser offers, in row order.
std::vector<const CatalogEntry*> ChooserEntries(Chooser chooser) {
  std::vector<const CatalogEntry*> entries;
  for (int row = 0; row < ChooserRowCount(chooser); ++row)
    if (const std::optional<int> code = ChooserCode(chooser, row))
      if (const CatalogEntry* e = FindFunction(*code)) entries.push_back(e);
  return entries;
}

// Inside the current element: the rows of `entries` found in order.
std::vector<FunctionFolders::Row> ReadRows(XmlCursor& x, const std::vector<const CatalogEntry*>& entries) {
  std::vector<FunctionFolders::Row> rows;
  if (!x.EnterElement()) return rows;
  for (const CatalogEntry* e : entries)
    if (x.FindElement(Ascii(e->name))) rows.push_back({e->code, x.GetText()});
  x.LeaveElement();
  return rows;
}

void ReadGameCommands(XmlCursor& x, std::vector<FunctionFolders::Category>& tree) {
  if (!x.EnterElement()) return;
  for (const GameCategory& category : GameCategories()) {
    if (!x.FindElement(Ascii(category.element))) continue;
    FunctionFolders::Category item{category.number, x.GetAttribute(u"Strings"), {}};
    if (x.EnterElement()) {
      for (int command = 1; command <= category.commandCount; ++command) {
        const CatalogEntry* e = FindGameCommand(category.number, command);
        if (e && x.FindElement(Ascii(e->name))) item.commands.push_back({command, e->code, x.GetText()});
      }
      x.LeaveElement();
    }
    tree.push_back(std::move(item));
  }
  x.LeaveElement();
}

}  // namespace

FunctionFolders ReadFunctionFolders(XmlCursor& x) {
  FunctionFolders folders;
  x.ResetPosition();
  if (!x.FindElement() || !x.EnterElement()) return folders;
  if (x.FindElement(u"GAME_COMMANDS")) {
    folders.captions[0] = x.GetAttribute(u"Strings");
    ReadGameCommands(x, folders.gameCommands);
  }
  if (x.FindElement(u"CHANGE_DPI")) {
    folders.captions[1] = x.GetAttribute(u"Strings");
    folders.pointerSpeeds = ReadRows(x, ChooserEntries(Chooser::kPointerSpeedList));
  }
  if (x.FindElement(u"CHANGE_PROFILE")) {
    folders.captions[2] = x.GetAttribute(u"Strings");
    // The profile list's first ten rows are the profiles' own names; only the steps come from here.
    std::vector<const CatalogEntry*> steps;
    for (const CatalogEntry* e : ChooserEntries(Chooser::kProfileList))
      if (e->labelSource != LabelSource::kProfileName) steps.push_back(e);
    folders.profileSteps = ReadRows(x, steps);
  }
  if (x.FindElement(u"CUSTOM_MACROS")) folders.captions[3] = x.GetAttribute(u"Strings");
  return folders;
}

FunctionFolders ReadFunctionFolders(const std::string& programFolder) {
  XmlCursor x;
  LoadProgramDataFile(x, JoinPath(programFolder, kFunctionsFileName));
  return ReadFunctionFolders(x);
}

}  // namespace orv
