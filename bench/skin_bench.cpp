// Skin benchmark: outlines from masks beside Qt's own QRegion(QBitmap) from the same mask, and
// the time to create and first paint the About window and each message dialog.
//
// The main window's mask is the product's when the program folder has one (Skins.xml, MAIN),
// otherwise a mask of the same kind drawn here. Dialogs use the product's skin when present.
// Ends with "RESULT name value" lines.
#include <QApplication>
#include <QBitmap>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

#include "bench/bench_support.h"
#include "platform/folders.h"
#include "skin/message_dialogs.h"
#include "skin/skin_resources.h"
#include "skin/skin_window.h"

namespace {

using namespace orv;
using Clock = std::chrono::steady_clock;

double MicrosecondsOf(const std::function<void()>& run) {
  auto start = Clock::now();
  run();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct Figures {
  double p50 = 0, p99 = 0;
};

Figures Measure(int rounds, const std::function<void()>& run) {
  std::vector<double> samples;
  run();  // warm-up
  for (int i = 0; i < rounds; ++i) samples.push_back(MicrosecondsOf(run));
  return {bench::Percentile(samples, 0.5), bench::Percentile(samples, 0.99)};
}

// A main-window-like outline: a rounded body with wings and cut-outs.
QImage DrawnMainMask() {
  QImage mask(808, 620, QImage::Format_RGB32);
  mask.fill(Qt::white);
  QPainter p(&mask);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawRoundedRect(QRect(40, 30, 728, 560), 60, 60);
  p.drawEllipse(QRect(0, 200, 120, 220));
  p.drawEllipse(QRect(688, 200, 120, 220));
  p.setBrush(Qt::white);
  p.drawEllipse(QRect(380, 8, 48, 48));
  p.drawPie(QRect(300, 500, 200, 160), 0, 180 * 16);
  return mask;
}

// Many runs: a checker of 4 x 4 cells with a diagonal band, 4000 x 4000.
QImage ManyRunsMask() {
  QImage mask(4000, 4000, QImage::Format_RGB32);
  for (int y = 0; y < mask.height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(mask.scanLine(y));
    for (int x = 0; x < mask.width(); ++x) {
      bool inside = ((x / 4 + y / 4) % 2 == 0) || std::abs(x - y) < 300;
      row[x] = inside ? 0xFF000000u : 0xFFFFFFFFu;
    }
  }
  return mask;
}

void CompareRegions(const char* name, const QImage& mask, int rounds) {
  std::optional<QRegion> ours;
  QRegion theirs;
  Figures own = Measure(rounds, [&] { ours = RegionFromMask(mask); });
  Figures qt = Measure(rounds, [&] {
    theirs = QRegion(QBitmap::fromImage(mask.convertToFormat(QImage::Format_Mono), Qt::ThresholdDither));
  });
  bool same = ours && ours->xored(theirs).isEmpty();
  std::printf("%-24s %5dx%-5d RegionFromMask p50 %9.1f us   QRegion(QBitmap) p50 %9.1f us   ratio %.2f   %s\n", name,
              mask.width(), mask.height(), own.p50, qt.p50, own.p50 / qt.p50, same ? "same region" : "REGIONS DIFFER");
  std::printf("RESULT %s_region_from_mask_p50_us %.1f\n", name, own.p50);
  std::printf("RESULT %s_qt_bitmap_region_p50_us %.1f\n", name, qt.p50);
  std::printf("RESULT %s_ratio_to_qt %.3f\n", name, own.p50 / qt.p50);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string program = ProgramFolder();

  QImage main;
  auto skins = ReadSkinSection(SkinDataPath(program, "Skins.xml"), "MAIN");
  const char* source = "drawn";
  if (skins.count("MAIN_MASK") && LoadSkinImage(SkinImagePath(program, skins["MAIN_MASK"]), main)) source = "product";
  if (main.isNull()) main = DrawnMainMask();
  std::printf("main window mask: %s, %dx%d, QImage format %d\n", source, main.width(), main.height(), static_cast<int>(main.format()));
  CompareRegions("main_mask", main, 200);
  CompareRegions("many_runs_4000", ManyRunsMask(), 10);

  // Creating a dialog and composing its first picture, as its first paint does.
  const std::string conf = program;  // FWVersion.xml missing: the About window shows "Disconnected"
  struct Dialog {
    const char* name;
    std::function<std::unique_ptr<CSkinDialog>()> make;
  } dialogs[] = {
      {"about", [&] { return std::make_unique<CAboutDialog>(program, conf); }},
      {"warning_one", [&] { return std::make_unique<CWarningOneDlg>("Please reduce Macro Size.", program); }},
      {"warning_two", [&] { return std::make_unique<CWarningTwoDlg>(program, "Save the changes to this profile?"); }},
      {"warning_three", [&] { return std::make_unique<CWarningThreeDlg>(program, conf); }},
      {"warning_three2", [&] { return std::make_unique<CWarningThree2Dlg>(program, conf); }},
      {"warning_four", [&] { return std::make_unique<CWarningFourDlg>(program, conf); }},
  };
  for (const Dialog& d : dialogs) {
    bool made = true;
    Figures f = Measure(50, [&] {
      try {
        auto dialog = d.make();
        QImage first = dialog->Compose();
        (void)first;
      } catch (const xException&) {
        made = false;
      }
    });
    std::printf("%-16s create + first paint p50 %8.1f us  p99 %8.1f us%s\n", d.name, f.p50, f.p99,
                made ? "" : "  (its pictures are missing: creation fails)");
    std::printf("RESULT %s_create_paint_p50_us %.1f\n", d.name, f.p50);
    std::printf("RESULT %s_create_paint_p99_us %.1f\n", d.name, f.p99);
  }
  return 0;
}
