#include "panel/editors/assignment_rules.h"

#include "profile/function_catalog.h"
#include "skin/skin_messages.h"

namespace orv {

AssignmentRules::AssignmentRules(PanelSets& sets, MainView& view, std::function<void()> refresh)
    : sets_(sets), view_(view), refresh_(std::move(refresh)) {}

std::optional<int> AssignmentRules::Assign(int label, int code) {
  if (label < 0 || label >= kButtonCount || !FindFunction(code)) return std::nullopt;
  ButtonAssignment& button = sets_.activeWorking().buttons[label];
  if (button.code != code) view_.EnableApply(true);
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

}  // namespace orv
