// orv_bench_panel_start: the panel's cold start to its first painted frame on a private Xvfb,
// beside a bare Qt widget program that shows one image of the same size at the same place.
// Each round starts the program, then watches the screen until a point of the main window's
// picture shows its colour; the time from the start is the figure. Medians of a few rounds.
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "tests/test_support.h"
#include "tests/x11_server.h"

namespace {

using Clock = std::chrono::steady_clock;

pid_t Start(const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

void Stop(pid_t pid) {
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

// Milliseconds until the screen shows `colour` at (x, y); -1 after 10 s.
double UntilShown(QScreen* screen, int x, int y, QRgb colour, Clock::time_point start) {
  while (Clock::now() - start < std::chrono::seconds(10)) {
    const QImage point = screen->grabWindow(0, x, y, 1, 1).toImage();
    if (!point.isNull() && (point.pixel(0, 0) & 0xFFFFFF) == (colour & 0xFFFFFF))
      return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  orv::test::XvfbServer xvfb("1280x800x24");
  if (xvfb.display().empty()) {
    std::fprintf(stderr, "no Xvfb\n");
    return 1;
  }
  // This program watches the screen as one more client of the server.
  qputenv("QT_QPA_PLATFORM", "xcb");
  QGuiApplication watcher(argc, argv);
  QScreen* d = QGuiApplication::primaryScreen();
  if (!d) return 1;
  const std::string bin = ORV_PROGRAM_DIR;
  const QImage picture(QString::fromStdString(bin + "/skins/main_normal.png"));
  if (picture.isNull()) return 1;
  // The panel places itself centred at the top of the screen; the bare program goes there too.
  const int left = (1280 - picture.width()) / 2, top = 0;
  // A point of the picture far from black: the File menu button.
  const int px = 362, py = 33;
  const QRgb colour = picture.pixel(px, py);

  orv::test::TempDir dir;
  ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  ::setenv("ORV_BUS_DIR", (dir / "bus").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);

  constexpr int kRounds = 11;
  std::vector<double> panel, bare;
  for (int r = 0; r < kRounds; ++r) {
    auto t0 = Clock::now();
    pid_t p = Start({bin + "/OrvPanel"});
    panel.push_back(UntilShown(d, left + px, top + py, colour, t0));
    Stop(p);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    t0 = Clock::now();
    p = Start({bin + "/orv_bare_window", bin + "/skins/main_normal.png", std::to_string(left), std::to_string(top)});
    bare.push_back(UntilShown(d, left + px, top + py, colour, t0));
    Stop(p);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  for (double v : panel)
    if (v < 0) return std::fprintf(stderr, "the panel's window never showed\n"), 1;
  for (double v : bare)
    if (v < 0) return std::fprintf(stderr, "the bare window never showed\n"), 1;
  const double p50 = orv::bench::Percentile(panel, 0.5), b50 = orv::bench::Percentile(bare, 0.5);
  std::printf("Cold start to the first painted frame, %d rounds on Xvfb (median ms)\n", kRounds);
  std::printf("  OrvPanel (skin, profiles, bus, first paint)    %8.1f\n", p50);
  std::printf("  bare Qt program, one image of the same size    %8.1f\n", b50);
  std::printf("  ratio                                          %8.2f   (goal: at most 1.5, and under 300 ms)\n",
              p50 / b50);
  std::printf("RESULT panel_cold_start_ms %.1f\n", p50);
  std::printf("RESULT bare_window_cold_start_ms %.1f\n", b50);
  std::printf("RESULT panel_cold_start_ratio %.2f\n", p50 / b50);
  return 0;
}
