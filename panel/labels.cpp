#include "panel/labels.h"

#include "base/files.h"
#include "base/text.h"
#include "profile/function_catalog.h"
#include "profile/profile_files.h"

namespace orv {
namespace {

// The text of root / `path...`: each step looks among the children of the previous match.
std::optional<std::u16string> TextAt(XmlCursor& x, std::initializer_list<std::u16string_view> path) {
  x.ResetPosition();
  if (!x.FindElement()) return std::nullopt;
  for (std::u16string_view name : path) {
    if (!x.EnterElement() || !x.FindElement(name)) return std::nullopt;
  }
  return x.GetText();
}

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

bool LoadProgramDataFile(XmlCursor& x, const std::string& path) {
  // A document that does not parse, or whose root has a sibling, is not used at all.
  if (!x.LoadFile(path, kMaxProgramDataFileSize) || !x.IsWellFormed()) {
    x.SetDocument({});
    return false;
  }
  return true;
}

LabelBook::LabelBook(const std::string& programFolder) : folder_(programFolder) { Reload(); }

void LabelBook::Reload() {
  menuLoaded_ = LoadProgramDataFile(menu_, JoinPath(folder_, kMenuFileName));
  functionsLoaded_ = LoadProgramDataFile(functions_, JoinPath(folder_, kFunctionsFileName));
}

std::optional<std::u16string> LabelBook::MenuText(std::u16string_view section, std::u16string_view key) const {
  if (!menuLoaded_) return std::nullopt;
  return TextAt(menu_, {section, key});
}

std::optional<std::u16string> LabelBook::GameCommandText(std::u16string_view category,
                                                         std::u16string_view command) const {
  if (!functionsLoaded_) return std::nullopt;
  return TextAt(functions_, {u"GAME_COMMANDS", category, command});
}

std::optional<std::u16string> LabelBook::LabelOf(int code, const ProfileSet& set) const {
  const Profile& active = set.profiles[ProfileIndexOrFirst(set.profileId)];
  const CatalogEntry* e = FindFunction(code);
  if (!e) return std::nullopt;
  switch (e->labelSource) {
    case LabelSource::kMenuXml:
      return MenuText(Ascii(e->labelSection), Ascii(e->name));
    case LabelSource::kFunctionsXml:
      return GameCommandText(Ascii(e->labelSection), Ascii(e->name));
    case LabelSource::kProfileName: {
      const int index = code - 32;
      if (index < 0 || index >= kProfileCount) return std::nullopt;
      return std::u16string(FieldText(set.profiles[index].profileName));
    }
    case LabelSource::kMacroName: {
      const int m = MacroIndexOfCode(code);
      if (m < 0) return std::nullopt;
      return std::u16string(FieldText(active.macros[m].name));
    }
  }
  return std::nullopt;
}

void LabelButtons(const LabelBook& book, const ProfileSet& set, std::u16string (&labels)[kButtonCount]) {
  const Profile& active = set.profiles[ProfileIndexOrFirst(set.profileId)];
  for (int b = 0; b < kButtonCount; ++b) {
    if (auto text = book.LabelOf(active.buttons[b].code, set)) labels[b] = std::move(*text);
  }
}

}  // namespace orv
