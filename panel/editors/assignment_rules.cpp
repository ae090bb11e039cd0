#include "panel/editors/assignment_rules.h"

#include "base/text.h"
#include "profile/function_catalog.h"
#include "skin/skin_messages.h"

namespace orv {

FunctionFolder FolderOfCode(int code) {
  const CatalogEntry* e = FindFunction(code);
  if (!e) return FunctionFolder::kNone;
  switch (e->chooser) {
    case Chooser::kGameCommandTree: return FunctionFolder::kGameCommands;
    case Chooser::kPointerSpeedList: return FunctionFolder::kPointerSpeeds;
    case Chooser::kProfileList: return FunctionFolder::kProfiles;
    case Chooser::kMacroList: return FunctionFolder::kMacros;
    case Chooser::kNone:
    case Chooser::kButtonMenu: break;
  }
  return FunctionFolder::kNone;
}

AssignmentRules::AssignmentRules(PanelSets& sets, MainView& view, std::function<void()> refresh)
    : sets_(sets), view_(view), refresh_(std::move(refresh)) {}

std::optional<int> AssignmentRules::Assign(int label, int code) {
  if (label < 0 || label >= kButtonCount || !FindFunction(code)) return std::nullopt;
  ButtonAssignment& button = sets_.activeWorking().buttons[label];
  // The function it has already: nothing changes.
  if (button.code == code) return code;
  view_.EnableApply(true);
  button.code = code;
  if (refresh_) refresh_();
  return code;
}

void AssignmentRules::DropFunction(int code, int dropIndex) {
  if (code < kFirstDroppedCode || code > kLastDroppedCode) return;
  Assign(dropIndex - kFirstLabelDropIndex, code);
}

void AssignmentRules::ButtonMenuPick(int row, int label) {
  view_.CloseButtonMenu();
  if (const std::optional<int> code = ChooserCode(Chooser::kButtonMenu, row)) Assign(label, *code);
}

bool AssignmentRules::DeleteMacro(int index) {
  Profile& profile = sets_.activeWorking();
  if (index < 0 || index >= kMacroCount || FieldText(profile.macros[index].name).empty()) return false;
  view_.EnableApply(true);
  constexpr int kButtonOff = 9;
  for (ButtonAssignment& b : profile.buttons)
    if (b.code == kFirstMacroCode + index) b.code = kButtonOff;
  for (int k = index; k + 1 < kMacroCount; ++k) {
    profile.macros[k] = profile.macros[k + 1];
    for (ButtonAssignment& b : profile.buttons)
      if (b.code == kFirstMacroCode + k + 1) b.code = kFirstMacroCode + k;
  }
  profile.macros[kMacroCount - 1] = Macro{};
  if (refresh_) refresh_();
  return true;
}

int AssignmentRules::MacroCount() const {
  int count = 0;
  for (const Macro& m : sets_.activeWorking().macros) count += FieldText(m.name).empty() ? 0 : 1;
  return count;
}

std::optional<int> AssignmentRules::StoreNewMacro(const Macro& macro, int label) {
  Profile& profile = sets_.activeWorking();
  for (int k = 0; k < kMacroCount; ++k) {
    if (!FieldText(profile.macros[k].name).empty()) continue;
    profile.macros[k] = macro;
    if (FieldText(profile.macros[k].name).empty()) CopyText(profile.macros[k].name, u"Custom");
    view_.EnableApply(true);
    if (label >= 0 && label < kButtonCount) profile.buttons[label].code = kFirstMacroCode + k;
    if (refresh_) refresh_();
    return k;
  }
  return std::nullopt;
}

bool AssignmentRules::StoreEditedMacro(int index, const Macro& macro) {
  Profile& profile = sets_.activeWorking();
  if (index < 0 || index >= kMacroCount || FieldText(profile.macros[index].name).empty()) return false;
  profile.macros[index] = macro;
  if (FieldText(profile.macros[index].name).empty()) CopyText(profile.macros[index].name, u"Custom");
  view_.EnableApply(true);
  if (refresh_) refresh_();
  return true;
}

}  // namespace orv
