// orvshot: saves a picture of the X screen, or of the window with a given title as the screen
// shows it (a shaped window keeps the desktop around its outline).
//   orvshot OUTPUT.png [TITLE]
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The window called `title` under `w` (depth first), or 0.
Window FindByTitle(Display* d, Window w, const std::string& title) {
  XTextProperty prop;
  if (XGetWMName(d, w, &prop) && prop.value) {
    char** list = nullptr;
    int count = 0;
    bool match = false;
    if (Xutf8TextPropertyToTextList(d, &prop, &list, &count) >= Success && count > 0 && list)
      match = title == list[0];
    if (list) XFreeStringList(list);
    XFree(prop.value);
    if (match) return w;
  }
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < n && !found; ++i) found = FindByTitle(d, children[i], title);
  if (children) XFree(children);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: orvshot OUTPUT.png [TITLE]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QGuiApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 1;
  QRect area = screen->geometry();
  if (argc == 3) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return 1;
    Window w = FindByTitle(d, DefaultRootWindow(d), argv[2]);
    XWindowAttributes a;
    Window child;
    int x = 0, y = 0;
    const bool found = w && XGetWindowAttributes(d, w, &a) &&
                       XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    XCloseDisplay(d);
    if (!found) {
      std::fprintf(stderr, "orvshot: no window titled %s\n", argv[2]);
      return 1;
    }
    area = QRect(x, y, a.width, a.height);
  }
  const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  return shot.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
