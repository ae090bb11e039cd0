// orvshot: saves a picture of the screen, or of a rectangle of it (a window as the screen
// shows it: a shaped window keeps the desktop around its outline).
//   orvshot OUTPUT.png [X Y WIDTH HEIGHT]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 6) {
    std::fprintf(stderr, "usage: orvshot OUTPUT.png [X Y WIDTH HEIGHT]\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 1;
  QRect area = screen->geometry();
  if (argc == 6) area = QRect(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  return !shot.isNull() && shot.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
