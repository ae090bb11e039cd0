// orv_bench_drawer: the assignment drawer, offscreen and in process.
//   - creating the drawer to its first painted frame (the window grabbed whole: its picture,
//     title, close button and folder bar), beside a bare Qt widget that loads the same picture
//     and paints it (goal: at most 1.5 times the bare widget, under 50 ms); and the drawer
//     complete, its tree and lists made and drawn too;
//   - filling its lists from a full profile set (fifty macros, the ten profiles and the steps)
//     and its tree from Functions.xml (goal: under 2 ms);
//   - one assignment, from the code of a clicked command reaching the drawer to the main
//     window's label drawn again with its new text (goal: under 1 ms of the panel's own work).
// Ends with "RESULT name value" lines.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/text.h"
#include "bench/bench_support.h"
#include "panel/editors/assignment_drawer.h"
#include "panel/editors/function_folders.h"
#include "panel/main/main_window.h"
#include "platform/folders.h"
#include "profile/profile_files.h"
#include "skin/bitmap_button.h"
#include "skin/function_list.h"
#include "skin/function_tree.h"
#include "skin/skin_controls.h"
#include "skin/qt_text.h"
#include "skin/skin_messages.h"
#include "skin/skin_resources.h"
#include "skin/skin_window.h"

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;

double MsOf(const std::function<void()>& run) {
  const auto start = Clock::now();
  run();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
  double p50 = 0, p99 = 0;
};

Figures Measure(int rounds, const std::function<void()>& run) {
  std::vector<double> samples;
  run();  // warm-up
  for (int i = 0; i < rounds; ++i) samples.push_back(MsOf(run));
  return {bench::Percentile(samples, 0.5), bench::Percentile(samples, 0.99)};
}

class QuietServices : public PanelServices {
 public:
  void WarningOne(std::u16string_view) override {}
  int WarningTwo(std::u16string_view, std::u16string_view) override { return 1; }
  int WarningThree2() override { return 1; }
  int WarningThree() override { return 1; }
  int WarningFour() override { return 1; }
  void MessageBox(std::u16string_view, std::u16string_view, bool) override {}
  std::optional<std::string> OpenFileName(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> SaveFileName(const FileDialogRequest&) override { return std::nullopt; }
  bool OpenDocument(const std::string&) override { return false; }
  bool PrintPage(const QImage&) override { return false; }
};

class QuietAgent : public AgentTransport {
 public:
  bool UsesPipe() const override { return false; }
  bool AgentPresent() override { return true; }
  LResult Post(uint32_t, WParam, LParam) override { return 1; }
  LResult Send(uint32_t, WParam, LParam, bus::SendOutcome* outcome = nullptr) override {
    if (outcome) *outcome = bus::SendOutcome::kDelivered;
    return 1;
  }
  bool PostToWindow(std::u16string_view, uint32_t, WParam, LParam) override { return true; }
};

// A bare Qt widget showing one picture.
class BareWindow : public QWidget {
 public:
  explicit BareWindow(const QString& path) : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), picture_(path) {
    resize(picture_.size());
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, picture_); }

 private:
  QImage picture_;
};

void NameEveryMacro(ProfileSet& set, const std::string& tag) {
  for (Profile& p : set.profiles)
    for (int m = 0; m < kMacroCount; ++m) CopyText(p.macros[m].name, ToUtf16(tag + " macro " + std::to_string(m)));
}

int Run() {
  const std::string program = ProgramFolder();
  const std::string base = (std::filesystem::temp_directory_path() / "orv-bench-drawer-XXXXXX").string();
  std::string temp = base;
  if (!::mkdtemp(temp.data())) return 1;
  ::setenv("XDG_CONFIG_HOME", temp.c_str(), 1);
  ::setenv("ORV_BUS_DIR", (temp + "/bus").c_str(), 1);
  MakeFolders(temp + "/bus");
  const std::string conf = temp + "/Conf/";
  MakeFolders(conf);
  std::string config;
  ReadWholeFile(program + "Config.xml", config, kMaxConfigFileSize);
  ReplaceFileContents(conf + "Config.xml", {config});

  QWidget owner;
  DrawerContext context{&owner, program, conf, nullptr, nullptr, nullptr};
  const auto skins = ReadSkinSection(SkinDataPath(program, "Skins.xml"), QStringLiteral("BUTTON_ASSIGNMENTS"));
  const QString picture = QString::fromStdString(
      SkinImagePath(program, skins.count(QStringLiteral("BUTTON_ASSIGNMENTS_NORMAL"))
                                 ? skins.at(QStringLiteral("BUTTON_ASSIGNMENTS_NORMAL"))
                                 : QStringLiteral("assignments_normal.png")));
  bool drawn = true;
  const auto firstFrame = [&] {
    CAdvanceFunctionDlg dlg(context);
    const QImage first = dlg.grab().toImage();
    drawn = drawn && !first.isNull() && first.size() == dlg.size();
  };
  // As the panel makes it: its picture and outline were decoded while the panel waited for the
  // first click of a label (the wait is not timed).
  std::vector<double> warm;
  firstFrame();
  for (int i = 0; i < 40; ++i) {
    PrefetchSkinPictures(program, QStringLiteral("BUTTON_ASSIGNMENTS"));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    warm.push_back(MsOf(firstFrame));
  }
  const Figures drawer{bench::Percentile(warm, 0.5), bench::Percentile(warm, 0.99)};
  // Made with nothing decoded ahead.
  const Figures cold = Measure(40, firstFrame);
  // Complete: its tree and lists made too (they come right after the first frame, while the
  // slide's first step shows nothing of the drawer yet), drawn with the game commands open.
  const Figures complete = Measure(40, [&] {
    CAdvanceFunctionDlg dlg(context);
    dlg.BuildControls();
    dlg.folderBar()->SetOpenFolder(0);
    const QImage frame = dlg.grab().toImage();
    drawn = drawn && !frame.isNull();
  });
  const Figures bare = Measure(40, [&] {
    BareWindow window(picture);
    const QImage first = window.grab().toImage();
    drawn = drawn && !first.isNull();
  });

  auto a = std::make_unique<ProfileSet>(), b = std::make_unique<ProfileSet>();
  ResetProfileSet(*a);
  ValidateProfileSet(*a);
  *b = *a;
  NameEveryMacro(*a, "A");
  NameEveryMacro(*b, "B");
  CAdvanceFunctionDlg filled(context);
  int round = 0;
  const Figures lists = Measure(200, [&] { filled.FillLists(++round % 2 ? *a : *b); });
  const bool full = filled.macroList()->count() == kMacroCount && filled.profileList()->count() == 12;
  const Figures tree = Measure(200, [&] {
    const FunctionFolders folders = ReadFunctionFolders(program);
    CTreeCtrlEx t;
    for (const FunctionFolders::Category& c : folders.gameCommands) {
      QTreeWidgetItem* category = t.AddCategory(Q(c.text), c.category);
      for (const FunctionFolders::Command& command : c.commands) t.AddCommand(category, Q(command.text), command.command);
    }
  });

  // One assignment in the real main window: the drawer out for the seventh button, the code of a
  // command handed to it as its tree hands it, the label drawn again.
  QuietServices services;
  QuietAgent agent;
  PanelStartup startup;
  startup.programFolder = program;
  startup.confFolder = conf;
  startup.profileFolder = temp + "/";
  auto window = std::make_unique<CAPDlg>(startup, CAPDlg::Options{&services, &agent, {}, nullptr});
  window->show();
  window->editors().assignments->EditButton(6);
  auto* drawerWindow = dynamic_cast<AssignmentDrawerWindow*>(window->editors().assignments);
  CAdvanceFunctionDlg* dlg = drawerWindow ? drawerWindow->window() : nullptr;
  if (!dlg) return 1;
  int code = 402;
  const Figures assign = Measure(200, [&] {
    code = code == 402 ? 403 : 402;
    dlg->SkinMessage(UM_PICK_FUNCTION, code, 0);
    window->Label(6)->repaint();
  });
  const bool assigned = window->sets().workingSet.profiles[0].buttons[6].code == code;
  window.reset();
  std::filesystem::remove_all(temp);

  std::printf("%-46s %10s %10s\n", "", "p50 ms", "p99 ms");
  std::printf("%-46s %10.3f %10.3f\n", "drawer: creation to first frame", drawer.p50, drawer.p99);
  std::printf("%-46s %10.3f %10.3f\n", "drawer, nothing decoded ahead", cold.p50, cold.p99);
  std::printf("%-46s %10.3f %10.3f\n", "drawer complete, tree and lists drawn", complete.p50, complete.p99);
  std::printf("%-46s %10.3f %10.3f\n", "bare Qt widget, same picture", bare.p50, bare.p99);
  std::printf("%-46s %10.3f %10.3f\n", "lists from a full set (50 macros)", lists.p50, lists.p99);
  std::printf("%-46s %10.3f %10.3f\n", "tree from Functions.xml (131 commands)", tree.p50, tree.p99);
  std::printf("%-46s %10.3f %10.3f\n", "one assignment, code to label drawn", assign.p50, assign.p99);
  std::printf("RESULT drawer_first_frame_p50_ms %.3f\n", drawer.p50);
  std::printf("RESULT drawer_first_frame_p99_ms %.3f\n", drawer.p99);
  std::printf("RESULT drawer_first_frame_cold_p50_ms %.3f\n", cold.p50);
  std::printf("RESULT drawer_complete_p50_ms %.3f\n", complete.p50);
  std::printf("RESULT drawer_bare_window_p50_ms %.3f\n", bare.p50);
  std::printf("RESULT drawer_first_frame_ratio_to_bare %.3f\n", drawer.p50 / bare.p50);
  std::printf("RESULT drawer_fill_lists_p50_ms %.4f\n", lists.p50);
  std::printf("RESULT drawer_fill_tree_p50_ms %.4f\n", tree.p50);
  std::printf("RESULT drawer_assign_p50_ms %.4f\n", assign.p50);
  std::printf("RESULT drawer_assign_p99_ms %.4f\n", assign.p99);
  if (!drawn || !full || !assigned) {
    std::fprintf(stderr, "the drawer did not draw, fill or assign as it should\n");
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace orv

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QFont::insertSubstitution(QStringLiteral("MS Shell Dlg"), QStringLiteral("DejaVu Sans"));
  return orv::Run();
}
