#include "platform/x11/fake_input.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "platform/x11/watched_display.h"

namespace orv::x11 {

std::unique_ptr<FakeInput> FakeInput::Open(const char* displayName, std::string* why) {
  std::unique_ptr<FakeInput> input(new FakeInput());
  input->display_ = OpenWatchedDisplay(displayName, &input->lost_);
  if (!input->display_) {
    if (why) *why = "no X display answers";
    return nullptr;
  }
  int event, error, major, minor;
  if (!XTestQueryExtension(input->display_, &event, &error, &major, &minor)) {
    if (why) *why = "the X display has no XTest extension";
    return nullptr;
  }
  input->groups_.reset(new XkbGroups(input->display_, &input->lost_));
  return input;
}

FakeInput::~FakeInput() {
  groups_.reset();
  CloseWatchedDisplay(display_);
}

unsigned FakeInput::KeycodeOf(unsigned long keysym) {
  if (lost_ || keysym == 0) return 0;
  return XKeysymToKeycode(display_, keysym);
}

bool FakeInput::Key(unsigned keycode, bool down) {
  if (lost_) return false;
  return XTestFakeKeyEvent(display_, keycode, down ? True : False, CurrentTime) != 0;
}

bool FakeInput::Button(unsigned button, bool down) {
  if (lost_) return false;
  return XTestFakeButtonEvent(display_, button, down ? True : False, CurrentTime) != 0;
}

bool FakeInput::Flush() {
  if (lost_) return false;
  XFlush(display_);
  return !lost_;
}

}  // namespace orv::x11
