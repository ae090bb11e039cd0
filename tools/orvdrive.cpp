// orvdrive: does what a person does to a window on the X display, through XTest.
//   orvdrive wait TITLE            until a window with that title is shown (10 s at most)
//   orvdrive gone TITLE            until no window with that title is shown
//   orvdrive click TITLE X Y       a left click at X, Y of that window
//   orvdrive key NAME              one key, by its X name (Down, Return, Escape ...)
//   orvdrive type TEXT             the text, key by key
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/x_driver.h"

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (argc < 3 || !display) {
    std::fprintf(stderr, "usage: orvdrive wait|gone TITLE | click TITLE X Y | key NAME | type TEXT (with DISPLAY set)\n");
    return 2;
  }
  orv::XDriver x(display);
  if (!x.ok()) {
    std::fprintf(stderr, "orvdrive: cannot open the display %s\n", display);
    return 1;
  }
  const std::string verb = argv[1];
  if (verb == "wait") return x.Find(argv[2]) ? 0 : 1;
  if (verb == "gone") return x.WaitGone(argv[2]) ? 0 : 1;
  if (verb == "click" && argc == 5) {
    orv::XWindowBox w = x.Find(argv[2]);
    if (!w) return 1;
    x.Click(w, std::atoi(argv[3]), std::atoi(argv[4]));
    return 0;
  }
  if (verb == "key") {
    const KeySym sym = XStringToKeysym(argv[2]);
    if (sym == NoSymbol) return 2;
    x.Key(sym);
    return 0;
  }
  if (verb == "type") {
    x.Type(argv[2]);
    return 0;
  }
  return 2;
}
