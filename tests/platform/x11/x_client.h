#pragma once
// X clients for the tests, behind a header that needs no X header (only platform/x11 and these
// helpers include Xlib): a plain client of $DISPLAY that plays a window manager or another
// program, a program that shows one window of its own, and openbox run on the display.
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace orv::test {

using XWindowId = unsigned long;  // 0 is None

// A plain connection to $DISPLAY. Every call after a failed connection does nothing.
class XClient {
 public:
  XClient();
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  bool Connected() const;
  // Ends the connection now (windows it created go with it).
  void Close();
  // Waits until the server has handled every request made so far.
  void Sync();

  // An unmapped 10x10 window, child of `parent` (the root when 0).
  XWindowId NewWindow(XWindowId parent = 0);
  void Destroy(XWindowId window);
  // Puts `window` (of any client) inside `parent`, as a reparenting window manager does.
  void Reparent(XWindowId window, XWindowId parent);
  // _NET_WM_PID as a CARDINAL, or with `asText` as a STRING (a type no one should accept).
  void SetPid(XWindowId window, unsigned long pid, bool asText = false);
  // WM_STATE in the normal state, as a window manager marks the top-level windows it manages.
  void MarkManaged(XWindowId window);
  // Whether `window` carries WM_STATE.
  bool IsManaged(XWindowId window);
  // Asks for `window` to be shown (a window manager takes the request over where one runs).
  void Map(XWindowId window);

  // The root window's _NET_ACTIVE_WINDOW written directly, as a window manager does; nullopt
  // removes the property, 0 writes None.
  void SetActive(std::optional<XWindowId> window);
  // The root window's _NET_ACTIVE_WINDOW; 0 when it has none or names None.
  XWindowId ActiveWindow();
  // Asks the window manager to activate `window` (the request a pager sends), again every
  // 100 ms, until the root names it active; false when that did not happen within `timeout`.
  bool Activate(XWindowId window, std::chrono::milliseconds timeout);
  // True once a window manager announces itself on the root (_NET_SUPPORTING_WM_CHECK).
  bool HasWindowManager();

  struct PointerControl {
    int numerator = 0;
    int denominator = 0;
    int threshold = 0;
  };
  PointerControl GetPointerControl();

  // The keysym of a name as Xlib spells it ("c", "KP_Enter"); 0 for an unknown name.
  static unsigned long Keysym(const char* name);
  // The keysym the server's keymap gives `keycode` in its first group at `level` (0 plain,
  // 1 with Shift or, on the keypad, with Num Lock); 0 when none.
  unsigned long KeysymOfKeycode(unsigned keycode, int level);
  // The keycode of a key carrying `keysym` in the server's keymap; 0 when none does.
  unsigned KeycodeOf(unsigned long keysym);

  // Shows a window covering the screen (800x600 at 0,0) with the input focus and the pointer at
  // (100, 100) inside it, reporting its keys and buttons. False when it could not be shown.
  bool ShowFocusedWindow();
  struct Key {
    unsigned keycode = 0;
    unsigned long keysym = 0;  // of the key's first level, as Xlib reads it without modifiers
  };
  // The next key press (or release) of the focused window within two seconds, dropping other
  // events; nullopt when none came.
  std::optional<Key> NextKey(bool press);
  // The next button press (or release), as NextKey.
  std::optional<unsigned> NextButton(bool press);
  // Where the pointer is, relative to the focused window.
  std::optional<std::pair<int, int>> PointerInWindow();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The test program "orv_test_xwindow", run with a chosen argv[0], showing one plain Xlib
// window on $DISPLAY: with `wmPid` > 0 its window carries that _NET_WM_PID, else none (as plain
// Xlib programs, some games and launchers leave it out). Ended and reaped at destruction.
class XWindowProgram {
 public:
  explicit XWindowProgram(const std::string& argv0, pid_t wmPid = 0);
  ~XWindowProgram();
  XWindowProgram(const XWindowProgram&) = delete;
  XWindowProgram& operator=(const XWindowProgram&) = delete;

  // -1 and 0 when the program could not be started or showed no window within five seconds.
  pid_t pid() const { return pid_; }
  XWindowId window() const { return window_; }

 private:
  pid_t pid_ = -1;
  int input_ = -1;  // the program ends when this closes
  XWindowId window_ = 0;
};

// openbox managing $DISPLAY while the object lives.
class Openbox {
 public:
  Openbox();
  ~Openbox();
  Openbox(const Openbox&) = delete;
  Openbox& operator=(const Openbox&) = delete;

  // Empty when openbox manages the display; else why it does not (tests then skip and say so).
  const std::string& why() const { return why_; }

 private:
  pid_t pid_ = -1;
  std::string why_;
};

}  // namespace orv::test
