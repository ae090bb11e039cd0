#include "platform/input/xkb_layouts.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <string>

#include "platform/input/input_codes.h"
#include "platform/input/input_injector.h"
#include "platform/x11/watched_display.h"

namespace orv {

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

XkbLayouts::XkbLayouts(Display* display) : display_(display) { Init(); }

std::unique_ptr<XkbLayouts> XkbLayouts::Connect() {
  std::unique_ptr<XkbLayouts> layouts(new XkbLayouts(nullptr));
  layouts->display_ = OpenWatchedDisplay(nullptr, &layouts->lost_);
  layouts->owned_ = layouts->display_ != nullptr;
  layouts->Init();
  return layouts;
}

void XkbLayouts::Init() {
  if (!display_) return;
  int opcode, event, error, major = XkbMajorVersion, minor = XkbMinorVersion;
  if (!XkbQueryExtension(display_, &opcode, &event, &error, &major, &minor)) {
    if (owned_) CloseWatchedDisplay(display_);
    display_ = nullptr;
    owned_ = false;
  }
}

XkbLayouts::~XkbLayouts() {
  if (owned_) CloseWatchedDisplay(display_);
}

int XkbLayouts::UsGroup() {
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

uint32_t XkbLayouts::Current() {
  if (!Available()) return kUsLayout;
  XkbStateRec state;
  if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success) return kUsLayout;
  const int group = state.group;
  return group == UsGroup() ? kUsLayout : kXkbGroupLayout + static_cast<uint32_t>(group);
}

bool XkbLayouts::Request(uint32_t layout) {
  if (!Available()) return false;
  int group;
  if (layout == kUsLayout) {
    group = UsGroup();
    if (group < 0) return false;
  } else if (layout >= kXkbGroupLayout && layout < kXkbGroupLayout + 4) {
    group = static_cast<int>(layout - kXkbGroupLayout);
  } else {
    return false;
  }
  if (!XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(group))) return false;
  XFlush(display_);
  return true;
}

}  // namespace orv
