// orvdrive: does what a person does to a window on the X display, through XTest (the demo
// walks the panel with it; built with the tests).
//   orvdrive wait TITLE            until a window with that title is shown (10 s at most)
//   orvdrive gone TITLE            until no window with that title is shown
//   orvdrive where TITLE           prints the window's X Y WIDTH HEIGHT on the screen
//   orvdrive click TITLE X Y       a left click at X, Y of that window
//   orvdrive hover TITLE X Y       the pointer moved to X, Y of that window (a tooltip shows)
//   orvdrive key NAME              one key, by its X name (Down, Return, Escape ...)
//   orvdrive type TEXT             the text, key by key
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/platform/x11/x_driver.h"

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (argc < 3 || !display) {
    std::fprintf(stderr,
                 "usage: orvdrive wait|gone|where TITLE | click|hover TITLE X Y | key NAME | type TEXT (DISPLAY set)\n");
    return 2;
  }
  orv::test::XDriver x(display);
  if (!x.ok()) {
    std::fprintf(stderr, "orvdrive: cannot open the display %s\n", display);
    return 1;
  }
  const std::string verb = argv[1];
  if (verb == "wait") return x.Find(argv[2]) ? 0 : 1;
  if (verb == "gone") return x.WaitGone(argv[2]) ? 0 : 1;
  if (verb == "where") {
    const orv::test::XWindowBox w = x.Find(argv[2]);
    if (!w) return 1;
    std::printf("%d %d %d %d\n", w.x, w.y, w.width, w.height);
    return 0;
  }
  if (verb == "hover" && argc == 5) {
    const orv::test::XWindowBox w = x.Find(argv[2]);
    if (!w) return 1;
    x.MoveTo(w.x + std::atoi(argv[3]), w.y + std::atoi(argv[4]));
    return 0;
  }
  if (verb == "click" && argc == 5) {
    const orv::test::XWindowBox w = x.Find(argv[2]);
    if (!w) return 1;
    x.Click(w, std::atoi(argv[3]), std::atoi(argv[4]));
    return 0;
  }
  if (verb == "key") return x.Key(argv[2]) ? 0 : 2;
  if (verb == "type") {
    x.Type(argv[2]);
    return 0;
  }
  return 2;
}
