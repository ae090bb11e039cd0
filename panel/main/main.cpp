// OrvPanel: the configuration panel. One panel runs at a time; it lives as long as its main
// window, and whatever fails in that window is shown in a box titled "Error".
#include <QApplication>
#include <QFontDatabase>
#include <QMessageBox>
#include <fontconfig/fontconfig.h>

#include <thread>
#include <utility>

#include "link/qt/bus_pump.h"
#include "panel/main/app.h"
#include "panel/main/main_window.h"
#include "platform/folders.h"
#include "skin/skin_resources.h"
#include "skin/skin_window.h"

namespace {

// The plain boxes of start-up: no skin is needed to show them.
class StartupServices : public orv::QtDesktopServices {
 public:
  void WarningOne(std::u16string_view text) override { MessageBox(text, {}, false); }
  int WarningTwo(std::u16string_view, std::u16string_view) override { return 2; }
  int WarningThree2() override { return 2; }
  int WarningThree() override { return 2; }
  int WarningFour() override { return 2; }
};

// A thread that the end of its scope waits for.
class ScopedThread {
 public:
  template <class Work>
  explicit ScopedThread(Work work) : thread_(std::move(work)) {}
  ~ScopedThread() { thread_.join(); }
  ScopedThread(const ScopedThread&) = delete;
  ScopedThread& operator=(const ScopedThread&) = delete;

 private:
  std::thread thread_;
};

bool DescribeSkinFailure(std::exception_ptr failure, std::u16string& text) {
  try {
    std::rethrow_exception(failure);
  } catch (const orv::xException& e) {
    text = e.message().toStdU16String();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Fontconfig reads its configuration and font caches the first time a text is measured, which
  // costs as much as building the whole main window: it starts now, on a thread of its own,
  // while Qt connects to the display and the window is built. Qt's own call then finds it done.
  ScopedThread fonts([] { FcInit(); });
  // The main window's picture and outline are decoded meanwhile too.
  orv::PrefetchSkinPictures(orv::ProgramFolder(), QStringLiteral("MAIN"));
  QApplication application(argc, argv);
  // Qt's own list of the fonts is filled on first use too (for all threads at once): filled on
  // a thread of its own while the main window is built, it is there when the window draws.
  ScopedThread fontList([] { QFontDatabase::families(); });
  QFont::insertSubstitution(QStringLiteral("MS Shell Dlg"), QStringLiteral("DejaVu Sans"));
  orv::CAPApp app(orv::CAPApp::ThisProcess());
  // Another panel runs: this one ends without a word.
  if (!app.InitInstance()) return 0;
  orv::QtBusPump pump;
  StartupServices services;
  return app.RunMainWindow(
      [](const orv::PanelStartup& startup) {
        orv::CAPDlg window(startup);
        window.show();
        window.exec();
      },
      services, DescribeSkinFailure);
}
