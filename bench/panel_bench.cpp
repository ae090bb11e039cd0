// orv_bench_panel: Apply in the panel on a full Config.xml (ten profiles, every macro slot
// used with all of its 320 events), beside the bare store call it is built on.
//   1. Apply after one button changed (the usual edit): compare, save, read the file back to
//      be sure it holds the set, copy, tell the agent;
//   2. SaveProfileSet of the same set alone, the floor of the first (without the read-back);
//   3. Apply with nothing changed (what OK costs after Apply).
// Prints p50 and p99 of each and ends with RESULT lines.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/registry_store.h"
#include "base/text.h"
#include "bench/bench_support.h"
#include "panel/edit_rules.h"
#include "profile/profile_files.h"

namespace orv {
namespace {

class QuietServices : public PanelServices {
 public:
  void WarningOne(std::u16string_view) override { ++notices; }
  int WarningTwo(std::u16string_view, std::u16string_view) override { return 1; }
  int WarningThree2() override { return 1; }
  int WarningThree() override { return 1; }
  int WarningFour() override { return 1; }
  void MessageBox(std::u16string_view, std::u16string_view, bool) override {}
  std::optional<std::string> OpenFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> SaveFileName(const FileDialogRequest&) override { return std::nullopt; }
  bool OpenDocument(const std::string&) override { return false; }
  bool PrintPage(const QImage&) override { return false; }
  int notices = 0;
};

class CountingAgent : public AgentTransport {
 public:
  bool UsesPipe() const override { return false; }
  bool AgentPresent() override { return true; }
  LResult Post(uint32_t, WParam, LParam) override { return ++posts, 1; }
  LResult Send(uint32_t, WParam, LParam, bus::SendOutcome* outcome = nullptr) override {
    if (outcome) *outcome = bus::SendOutcome::kDelivered;
    return 1;
  }
  bool PostToWindow(std::u16string_view, uint32_t, WParam, LParam) override { return true; }
  int posts = 0;
};

class NoView : public MainView {
 public:
  void EnableApply(bool) override {}
  void Refresh() override {}
  void RedrawGauge() override {}
  void SelectLabel(int) override {}
  void CloseWindow() override {}
  void SlideInAssignments() override {}
  void CloseButtonMenu() override {}
};

// Every macro of every profile at capacity: a name, 320 events of widely written delays.
void FillFullSet(ProfileSet& set) {
  ResetProfileSet(set);
  ValidateProfileSet(set);
  for (int i = 0; i < kProfileCount; ++i) {
    Profile& p = set.profiles[i];
    for (int m = 0; m < kMacroCount; ++m) {
      Macro& macro = p.macros[m];
      CopyText(macro.name, ToUtf16("Macro " + std::to_string(i) + "." + std::to_string(m) + std::string(80, 'x')));
      for (int e = 0; e < kMacroEventCount; ++e)
        macro.events[e] = {static_cast<uint8_t>(0x41 + e % 26), static_cast<uint8_t>(e % 2), {0, 0}, 10000 + e};
      macro.loopCount = 3;
      macro.loopSwitch = 1;
      macro.delayMode = kDelayRecorded;
    }
  }
}

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int Run() {
  const std::string base = (std::filesystem::temp_directory_path() / "orv-bench-panel-XXXXXX").string();
  std::string pattern = base;
  if (!::mkdtemp(pattern.data())) return 1;
  const std::string conf = pattern + "/Conf/";
  MakeFolders(conf);
  auto full = std::make_unique<ProfileSet>();
  FillFullSet(*full);
  ReplaceFileContents(conf + "Config.xml", {NewConfigDocument(*full)});
  std::string bytes;
  ReadWholeFile(conf + "Config.xml", bytes, orv::kMaxConfigFileSize);

  ConfStore store(conf, pattern + "/Registry.ini");
  QuietServices services;
  CountingAgent agent;
  NoView view;
  MainTexts texts;
  auto sets = MakePanelSets();
  EditRules rules(*sets, store, agent, services, view, texts, {pattern + "/", pattern + "/"});
  rules.Load();

  constexpr int kRounds = 60;
  std::vector<double> apply, bare, unchanged;
  for (int r = 0; r < kRounds; ++r) {
    // One edit, as a drop of a function on a label.
    sets->workingSet.profiles[r % kProfileCount].buttons[r % kButtonCount].code = r % 2 ? 501 : 9;
    auto t0 = std::chrono::steady_clock::now();
    const ApplyResult result = rules.Apply(false);
    apply.push_back(Ms(std::chrono::steady_clock::now() - t0));
    if (result != ApplyResult::kSaved) {
      std::fprintf(stderr, "apply did not save (round %d)\n", r);
      return 1;
    }
    t0 = std::chrono::steady_clock::now();
    rules.Apply(false);
    unchanged.push_back(Ms(std::chrono::steady_clock::now() - t0));

    RegistryStore registry(pattern + "/Registry.ini");
    t0 = std::chrono::steady_clock::now();
    SaveProfileSet(conf, sets->workingSet, registry);
    bare.push_back(Ms(std::chrono::steady_clock::now() - t0));
  }
  // What was applied last is what the file holds.
  auto back = std::make_unique<ProfileSet>();
  LoadProfileSet(conf + "Config.xml", *back);
  const bool ok = CompareProfileSets(*back, sets->savedSet, false) == 0 && agent.posts == kRounds &&
                  services.notices == 0;
  std::filesystem::remove_all(pattern);

  using bench::Percentile;
  std::printf("Config.xml of %zu bytes (every macro at capacity), %d rounds\n", bytes.size(), kRounds);
  std::printf("%-34s %10s %10s\n", "", "p50 ms", "p99 ms");
  std::printf("%-34s %10.2f %10.2f\n", "Apply after one edit", Percentile(apply, 0.5), Percentile(apply, 0.99));
  std::printf("%-34s %10.2f %10.2f\n", "SaveProfileSet alone (the floor)", Percentile(bare, 0.5),
              Percentile(bare, 0.99));
  std::printf("%-34s %10.3f %10.3f\n", "Apply with nothing changed", Percentile(unchanged, 0.5),
              Percentile(unchanged, 0.99));
  std::printf("RESULT panel_config_bytes %zu\n", bytes.size());
  std::printf("RESULT panel_apply_p50_ms %.3f\n", Percentile(apply, 0.5));
  std::printf("RESULT panel_apply_p99_ms %.3f\n", Percentile(apply, 0.99));
  std::printf("RESULT panel_apply_floor_p50_ms %.3f\n", Percentile(bare, 0.5));
  std::printf("RESULT panel_apply_unchanged_p50_ms %.4f\n", Percentile(unchanged, 0.5));
  if (!ok) std::fprintf(stderr, "the file does not hold what was applied\n");
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace orv

int main() { return orv::Run(); }
