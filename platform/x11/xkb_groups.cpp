#include "platform/x11/xkb_groups.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include "platform/x11/watched_display.h"

namespace orv::x11 {

int UsGroupOfSymbols(std::string_view symbols) {
  size_t start = 0;
  while (start <= symbols.size()) {
    size_t end = symbols.find('+', start);
    if (end == std::string_view::npos) end = symbols.size();
    std::string_view part = symbols.substr(start, end - start);
    start = end + 1;
    int group = 1;  // the first layout carries no group suffix
    const size_t colon = part.find(':');
    if (colon != std::string_view::npos) {
      std::string_view number = part.substr(colon + 1);
      if (number.size() != 1 || number[0] < '1' || number[0] > '4') continue;
      group = number[0] - '0';
      part = part.substr(0, colon);
    }
    if (part == "us" || part == "us(basic)") return group - 1;
  }
  return -1;
}

XkbGroups::XkbGroups(Display* display, std::atomic<bool>* lost) : display_(display), lost_(lost) { RequireXkb(); }

std::unique_ptr<XkbGroups> XkbGroups::Connect() {
  std::unique_ptr<XkbGroups> groups(new XkbGroups());
  groups->display_ = OpenWatchedDisplay(nullptr, &groups->ownLost_);
  groups->owned_ = groups->display_ != nullptr;
  groups->RequireXkb();
  return groups;
}

void XkbGroups::RequireXkb() {
  if (!display_) return;
  int opcode, event, error, major = XkbMajorVersion, minor = XkbMinorVersion;
  if (!XkbQueryExtension(display_, &opcode, &event, &error, &major, &minor)) {
    if (owned_) CloseWatchedDisplay(display_);
    display_ = nullptr;
    owned_ = false;
  }
}

XkbGroups::~XkbGroups() {
  if (owned_) CloseWatchedDisplay(display_);
}

int XkbGroups::UsGroup() {
  if (!Available()) return -1;
  XkbDescPtr keyboard = XkbAllocKeyboard();
  if (!keyboard) return -1;
  int group = -1;
  if (XkbGetNames(display_, XkbSymbolsNameMask, keyboard) == Success && keyboard->names &&
      keyboard->names->symbols != None) {
    if (char* name = XGetAtomName(display_, keyboard->names->symbols)) {
      group = UsGroupOfSymbols(name);
      XFree(name);
    }
  }
  XkbFreeKeyboard(keyboard, 0, True);
  return group;
}

int XkbGroups::Current() {
  if (!Available()) return -1;
  XkbStateRec state;
  if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success) return -1;
  return state.group;
}

bool XkbGroups::Lock(int group) {
  if (!Available() || group < 0 || group > 3) return false;
  if (!XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(group))) return false;
  XFlush(display_);
  return true;
}

}  // namespace orv::x11
