// orvskinview: opens one skinned window or dialog on its own, so a person can look at it, and
// can save a screenshot of it with its shaped outline.
//
//   orvskinview SECTION [--folder DIR] [--conf DIR] [--message TEXT] [--grab FILE.png]
//
// SECTION: ABOUT, WARNING_ONE, WARNING_ONE_PDF, WARNING_TWO, WARNING_TWO_COUNTDOWN,
// WARNING_THREE, WARNING_THREE2, WARNING_FOUR, SCROLL (a list in skinned scroll bars),
// FOLDERS (the folder bar). The skin is read from DIR (default: the program folder), the
// versions and option flags from the Conf folder. With --grab the window is shown, the screen
// around it is saved (the desktop shows through outside the outline) and the tool ends;
// without it the window stays until it is answered or closed, and the answer is printed.
#include <QApplication>
#include <QListWidget>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "link/qt/bus_pump.h"
#include "platform/folders.h"
#include "skin/message_dialogs.h"
#include "skin/scroll_bar.h"
#include "skin/skin_controls.h"

namespace {

using namespace orv;

constexpr char kUsage[] =
    "usage: orvskinview SECTION [--folder DIR] [--conf DIR] [--message TEXT] [--grab FILE.png]\n"
    "SECTION: ABOUT WARNING_ONE WARNING_ONE_PDF WARNING_TWO WARNING_TWO_COUNTDOWN WARNING_THREE\n"
    "         WARNING_THREE2 WARNING_FOUR SCROLL FOLDERS\n";

// Saves the screen around `window` (a margin on every side) once it has been shown.
bool Grab(QWidget* window, const QString& file) {
  const int margin = 24;
  QRect area = window->frameGeometry().adjusted(-margin, -margin, margin, margin);
  QScreen* screen = window->screen();
  if (!screen) return false;
  area = area.intersected(screen->geometry());
  QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  return !shot.isNull() && shot.save(file, "PNG");
}

// A plain dark window holding a demonstration control.
std::unique_ptr<QWidget> DemoWindow(const QString& title, QSize size) {
  auto w = std::make_unique<QWidget>();
  w->setWindowTitle(title);
  w->resize(size);
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, QColor(18, 17, 16));
  w->setPalette(pal);
  w->setAutoFillBackground(true);
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const QString section = QString::fromLocal8Bit(argv[1]);
  std::string folder = ProgramFolder();
  std::string conf = ConfFolder();
  QString message = QStringLiteral("Do you want to save the changes made to this profile?");
  QString grab;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    const bool value = i + 1 < argc;
    if (a == "--folder" && value) {
      folder = argv[++i];
      if (!folder.empty() && folder.back() != '/') folder += '/';
    } else if (a == "--conf" && value) {
      conf = argv[++i];
    } else if (a == "--message" && value) {
      message = QString::fromLocal8Bit(argv[++i]);
    } else if (a == "--grab" && value) {
      grab = QString::fromLocal8Bit(argv[++i]);
    } else {
      std::fprintf(stderr, "orvskinview: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    }
  }

  QtBusPump pump;  // the About window answers UM_VERSION_CHANGED
  std::unique_ptr<QWidget> window;
  CSkinDialog* dialog = nullptr;
  QImage scrollImage;
  try {
    if (section == "ABOUT") {
      window = std::make_unique<CAboutDialog>(folder, conf);
    } else if (section == "WARNING_ONE") {
      window = std::make_unique<CWarningOneDlg>(message, folder);
    } else if (section == "WARNING_ONE_PDF") {
      auto one = std::make_unique<CWarningOneDlg>(QString::fromLatin1(kPdfReaderMessage), folder);
      one->SetPdfMode(true);
      if (!one->Create()) {
        std::fprintf(stderr, "orvskinview: another PDF notice is open\n");
        return 1;
      }
      window = std::move(one);
    } else if (section == "WARNING_TWO" || section == "WARNING_TWO_COUNTDOWN") {
      auto two = std::make_unique<CWarningTwoDlg>(folder, message);
      if (section == "WARNING_TWO_COUNTDOWN") two->SetTitle(QStringLiteral("LiftDistance_Confirm"));
      window = std::move(two);
    } else if (section == "WARNING_THREE") {
      window = std::make_unique<CWarningThreeDlg>(folder, conf);
    } else if (section == "WARNING_THREE2") {
      window = std::make_unique<CWarningThree2Dlg>(folder, conf);
    } else if (section == "WARNING_FOUR") {
      window = std::make_unique<CWarningFourDlg>(folder, conf);
    } else if (section == "SCROLL") {
      window = DemoWindow(QStringLiteral("Skinned scroll bars"), QSize(260, 300));
      auto* list = new QListWidget(window.get());
      list->setGeometry(20, 20, 220, 260);
      list->setStyleSheet(QStringLiteral("QListWidget { background: rgb(21,21,21); color: rgb(255,204,0); border: 0; }"));
      for (int i = 1; i <= 60; ++i) list->addItem(QStringLiteral("Game command %1 with a long name to scroll").arg(i));
      auto keys = ReadSkinSection(SkinDataPath(folder, "Skins.xml"), QStringLiteral("SCROLL_BAR"));
      QString file = keys.count(QStringLiteral("SCROLL_BAR_IMAGE")) ? keys[QStringLiteral("SCROLL_BAR_IMAGE")]
                                                                     : QStringLiteral("scrollbar.png");
      LoadSkinImage(SkinImagePath(folder, file), scrollImage);
      SkinScrollWindow(list, scrollImage);
    } else if (section == "FOLDERS") {
      window = DemoWindow(QStringLiteral("Folder bar"), QSize(216, 520));
      auto* bar = new CTaskBar(folder, window.get(), QRect(20, 53, 176, 440));
      const char* names[] = {"Basic Functions", "DPI Settings", "Game Commands", "Custom Macros"};
      const int heights[] = {220, 200, 240, 240};
      for (int i = 0; i < 4; ++i) {
        auto* body = new QListWidget(bar);
        body->setStyleSheet(QStringLiteral("QListWidget { background: rgb(30,28,26); color: rgb(255,204,0); border: 0; }"));
        for (int k = 1; k <= 8; ++k) body->addItem(QStringLiteral("%1 %2").arg(QString::fromLatin1(names[i])).arg(k));
        bar->AddFolder(QString::fromLatin1(names[i]), body, heights[i]);
      }
      bar->SetOpenFolder(1);
    } else {
      std::fprintf(stderr, "orvskinview: unknown section %s\n%s", argv[1], kUsage);
      return 2;
    }
  } catch (const xException& e) {
    std::fprintf(stderr, "orvskinview: %s\n", e.message().toLocal8Bit().constData());
    return 1;
  }
  dialog = dynamic_cast<CSkinDialog*>(window.get());
  if (!window->testAttribute(Qt::WA_Moved) && !(dialog && dialog->bottomRight())) {
    QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect();
    window->move(screen.center() - QPoint(window->width() / 2, window->height() / 2));
  }

  if (!grab.isEmpty()) {
    window->show();
    bool saved = false;
    QTimer::singleShot(600, [&] {
      saved = Grab(window.get(), grab);
      QCoreApplication::quit();
    });
    app.exec();
    if (!saved) {
      std::fprintf(stderr, "orvskinview: the screenshot could not be saved\n");
      return 1;
    }
    std::printf("%s\n", grab.toLocal8Bit().constData());
    return 0;
  }
  if (dialog) {
    int result = dialog->DoModal();
    std::printf("%d\n", result);
    return 0;
  }
  window->show();
  return app.exec();
}
