#pragma once
// Keys and mouse buttons injected into an X server through the XTest extension, as if typed and
// clicked, on a connection of its own that survives the server going away.
#include <atomic>
#include <memory>
#include <string>

#include "platform/x11/xkb_groups.h"

typedef struct _XDisplay Display;

namespace orv::x11 {

// Not safe for concurrent use: the owner serialises its calls.
class FakeInput {
 public:
  // Connects to `displayName` ($DISPLAY when null). Null, with the reason in `why`, when no
  // display answers or it lacks the XTest extension.
  static std::unique_ptr<FakeInput> Open(const char* displayName = nullptr, std::string* why = nullptr);
  ~FakeInput();
  FakeInput(const FakeInput&) = delete;
  FakeInput& operator=(const FakeInput&) = delete;

  // True once the connection is lost; every call fails from then on.
  bool Lost() const { return lost_; }
  // The keycode of a key that carries `keysym` in the server's keymap; 0 when none does.
  unsigned KeycodeOf(unsigned long keysym);
  // A key (by keycode, 8-255) or X button (1 and up) pressed or released; sent at the next
  // Flush(). False when the request could not be made.
  bool Key(unsigned keycode, bool down);
  bool Button(unsigned button, bool down);
  // Sends what is queued. False when the connection is lost.
  bool Flush();
  // The keyboard groups of the same display.
  XkbGroups& Groups() { return *groups_; }

 private:
  FakeInput() = default;
  Display* display_ = nullptr;
  std::atomic<bool> lost_{false};
  std::unique_ptr<XkbGroups> groups_;
};

}  // namespace orv::x11
