#include "panel/edit_rules.h"

#include <filesystem>

#include "base/files.h"
#include "base/log.h"
#include "base/text.h"
#include "link/messages.h"
#include "panel/print_page.h"
#include "profile/profile_files.h"
#include "skin/skin_resources.h"

namespace orv {

std::u16string FormatTwoNumbers(std::u16string_view format, int first, int second) {
  std::u16string out;
  int used = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == u'%' && i + 1 < format.size()) {
      if (format[i + 1] == u'%') {
        out += u'%';
        ++i;
        continue;
      }
      if (format[i + 1] == u'd' && used < 2) {
        out += ToUtf16(std::to_string(used++ == 0 ? first : second));
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

EditRules::EditRules(PanelSets& sets, PanelStore& store, AgentTransport& agent, PanelServices& services,
                     MainView& view, const MainTexts& texts, Folders folders)
    : sets_(sets), store_(store), agent_(agent), services_(services), view_(view), texts_(texts),
      folders_(std::move(folders)) {}

void EditRules::Load() {
  store_.Load(sets_.savedSet);
  sets_.workingSet = sets_.savedSet;
  fileHoldsSaved_ = true;
}

bool EditRules::Reload() {
  auto fresh = std::make_unique<ProfileSet>();
  const ProfileSetLoad outcome = store_.Load(*fresh);
  if (outcome != ProfileSetLoad::Loaded) {
    ORV_LOG(Panel, Warning, "Config.xml is %s: the profiles the panel holds are kept and the next Apply writes them",
            outcome == ProfileSetLoad::Missing ? "gone" : "damaged");
    fileHoldsSaved_ = false;
    view_.EnableApply(true);
    return false;
  }
  sets_.savedSet = *fresh;
  sets_.workingSet = sets_.savedSet;
  fileHoldsSaved_ = true;
  return true;
}

void EditRules::DialogInitialised() {
  if (store_.ReadValue(ConfigValue::TrayIconFlag) != 1) {
    store_.WriteValue(ConfigValue::TrayIconFlag, 1);
    agent_.PostToWindow(kTrayWindowTitle, UM_TRAY_ICON_FLAG_SET, 0, 0);
  }
  agent_.Post(UM_QUERY_MEMORY_SIZE, 0, 0);
  view_.EnableApply(true);
}

int EditRules::RecountUnits() {
  gauge_.units = NeededUnits(sets_.activeWorking(), [this](int) {
    services_.MessageBox(kUndefinedFunctionMessage, u"", false);
  });
  return gauge_.units;
}

void EditRules::Refresh() {
  RecountUnits();
  view_.Refresh();
}

ApplyResult EditRules::Apply(bool writeOnBoard) {
  const bool changed = sets_.Differ() || !fileHoldsSaved_;
  if (changed) {
    if (!store_.Save(sets_.workingSet)) return ApplyResult::kFailed;
    sets_.savedSet = sets_.workingSet;
    fileHoldsSaved_ = true;
  }
  if (writeOnBoard) {
    agent_.Post(UM_RELOAD_PROFILES, 1, changed ? 0 : 1);
  } else if (changed) {
    agent_.Post(UM_RELOAD_PROFILES, 0, 0);
  }
  return changed ? ApplyResult::kSaved : ApplyResult::kUnchanged;
}

void EditRules::ReportApply(ApplyResult result) {
  if (result != ApplyResult::kFailed) return;
  view_.EnableApply(true);
  services_.WarningOne(kSaveFailedMessage);
}

bool EditRules::SaveNow() {
  if (store_.Save(sets_.workingSet)) {
    sets_.savedSet = sets_.workingSet;
    fileHoldsSaved_ = true;
    return true;
  }
  ReportApply(ApplyResult::kFailed);
  return false;
}

void EditRules::ApplyButton() {
  view_.EnableApply(false);
  RecountUnits();
  view_.RedrawGauge();
  ReportApply(Apply(false));
}

void EditRules::OkButton() {
  view_.SlideInAssignments();
  const ApplyResult result = Apply(false);
  ReportApply(result);
  // A failed save keeps the window open, so the edits are not lost with it.
  if (result != ApplyResult::kFailed) view_.CloseWindow();
}

void EditRules::CancelButton() { view_.CloseWindow(); }

void EditRules::ExitButton() {
  if (sets_.Differ() && services_.WarningTwo(texts_.restoreProfileWarning) != 1) return;
  view_.CloseWindow();
}

void EditRules::Restore() {
  if (services_.WarningTwo(texts_.restoreProfileWarning) != 1) return;
  const int index = ProfileIndexOrFirst(sets_.workingSet.profileId);
  Profile& p = sets_.workingSet.profiles[index];
  ClearProfile(p);
  for (int b = 0; b < kButtonCount; ++b) p.buttons[b].buttonNumber = static_cast<uint8_t>(b + 1);
  sets_.workingSet.liftDistance = 0;
  ValidateProfileSet(sets_.workingSet);
  CopyText(p.profileName, texts_.defaultProfileNames[index]);
  if (FieldText(p.profileName).empty()) ValidateProfileSet(sets_.workingSet);
  const int lift = sets_.workingSet.liftDistance;
  if (lift != sets_.savedSet.liftDistance) {
    agent_.Send(UM_SET_LIFT_DISTANCE, static_cast<WParam>(lift), 0);
    sets_.savedSet.liftDistance = lift;
    store_.WriteValue(ConfigValue::LiftDistance, lift);
  }
  ReportApply(Apply(false));
  Refresh();
  view_.SelectLabel(-1);
}

void EditRules::GameModeLatched(bool latched) {
  sets_.workingSet.gameMode = latched ? 1 : 0;
  view_.SelectLabel(-1);
  Refresh();
  view_.EnableApply(true);
}

void EditRules::ProfileClicked(int k) {
  if (k < 0 || k >= kProfileCount) return;
  const uint32_t diff = CompareProfileSets(sets_.workingSet, sets_.savedSet, true);
  if ((diff & ~static_cast<uint32_t>(CHANGED_PROFILE_INDEX)) != 0) {
    if (services_.WarningTwo(kSaveQuestion) == 1) {
      if (sets_.Differ() && SaveNow()) agent_.Post(UM_RELOAD_PROFILES, 0, 0);
    } else {
      // No: the edits of every profile are dropped.
      sets_.workingSet = sets_.savedSet;
    }
  }
  if (k != sets_.workingSet.profileId) view_.EnableApply(true);
  sets_.workingSet.profileId = k;
  Refresh();
}

void EditRules::Import() {
  if (sets_.Differ() && services_.WarningTwo(texts_.restoreProfileWarning) != 1) return;
  FileDialogRequest request;
  request.folder = folders_.profile;
  request.fileName = u"*.xml";
  std::optional<std::string> path = services_.OpenFileName(request);
  if (!path || !std::filesystem::exists(*path)) return;
  if (!IsProfileFile(*path)) {
    services_.WarningOne(kNotAProfileMessage);
    return;
  }
  ImportProfile(*path, sets_.workingSet);
  view_.EnableApply(true);
  Refresh();
}

void EditRules::Export() {
  FileDialogRequest request;
  request.folder = folders_.profile;
  request.fileName = std::u16string(FieldText(sets_.activeWorking().profileName));
  std::optional<std::string> path = services_.SaveFileName(request);
  if (!path) return;
  if (!ExportProfile(*path, sets_.workingSet)) services_.WarningOne(kExportFailedMessage);
}

void EditRules::OpenUserGuide() {
  std::string folder = folders_.program;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!services_.OpenDocument(JoinPath(folder, kUserGuideFileName))) services_.WarningOne(kNoPdfReaderMessage);
}

bool EditRules::Print(const QImage& base, const std::u16string (&labels)[kButtonCount]) {
  const Profile& p = sets_.activeWorking();
  QImage portrait;
  const std::string portraitPath = PortraitPath(folders_.conf, FieldText(p.serverName), FieldText(p.characterName));
  if (!portraitPath.empty()) portrait = ReadPictureFile(portraitPath);
  return services_.PrintPage(ComposePrintPage(base, PrintContentOf(sets_.workingSet, labels, portrait)));
}

void EditRules::DropProfile(int from, int to) {
  if (from == to || from < 0 || from >= kProfileCount || to < 0 || to >= kProfileCount) return;
  if (services_.WarningTwo(FormatTwoNumbers(texts_.changeProfileWarning, to + 1, from + 1)) != 1) return;
  view_.EnableApply(true);
  sets_.workingSet.profiles[to] = sets_.workingSet.profiles[from];
  Refresh();
}

void EditRules::ShowProfile(int index) {
  if (index < 0 || index >= kProfileCount) return;
  sets_.workingSet.profileId = index;
  sets_.savedSet.profileId = index;
  Refresh();
}

void EditRules::ProfileChanged(int index, bool reload) {
  if (reload) Reload();
  ShowProfile(index);
}

void EditRules::DpiChanged(int step, int profile) {
  if (step < 1 || step > 6 || profile < 0 || profile >= kProfileCount) return;
  sets_.workingSet.profiles[profile].dpiStep = step;
  sets_.savedSet.profiles[profile].dpiStep = step;
  Refresh();
}

void EditRules::MemorySize(int64_t bytes) {
  gauge_.capacity = bytes > INT32_MAX ? INT32_MAX : bytes < INT32_MIN ? INT32_MIN : static_cast<int>(bytes);
  view_.RedrawGauge();
}

}  // namespace orv
