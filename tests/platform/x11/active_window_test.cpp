#include "platform/x11/active_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>

#include "platform/x11/pointer_control.h"
#include "tests/platform/desktop/desktop_test_support.h"
#include "tests/platform/x11/x_client.h"
#include "tests/x11_server.h"

namespace orv::x11 {
namespace {

using test::XWindowId;

TEST(X11ActiveWindow, WithoutADisplaySaysWhy) {
  test::ScopedEnv noDisplay("DISPLAY", std::nullopt);
  const ActiveWindowProcess active = QueryActiveWindowProcess();
  EXPECT_FALSE(active.display);
  EXPECT_EQ(active.pid, 0);
  EXPECT_EQ(active.why, "DISPLAY is not set");
}

// The window manager's part is played by the test: it writes _NET_ACTIVE_WINDOW, frames windows
// and marks clients with WM_STATE. The windows that must be told by their X client belong to
// other processes (orv_test_xwindow), so their process differs from every other answer.
TEST(X11ActiveWindow, FindsTheClientInsideAFrameAndAsksTheServerForItsCreator) {
  test::XvfbServer xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb cannot be started; the active window needs an X server";
  test::XClient wm;
  ASSERT_TRUE(wm.Connected());
  test::ChildProcess named("/bin/sleep", {"named.exe", "30"});
  ASSERT_GT(named.pid(), 0);
  test::XWindowProgram plain("plain-xlib");  // no _NET_WM_PID
  ASSERT_GT(plain.window(), 0u);
  test::XWindowProgram framedPlain("framed-xlib");
  ASSERT_GT(framedPlain.window(), 0u);
  test::XWindowProgram launcher("launcher", named.pid());  // names another process
  ASSERT_GT(launcher.window(), 0u);

  const XWindowId namedFrame = wm.NewWindow();
  const XWindowId namedClient = wm.NewWindow(namedFrame);
  wm.MarkManaged(namedClient);
  wm.SetPid(namedClient, static_cast<unsigned long>(named.pid()));

  wm.MarkManaged(plain.window());

  const XWindowId deepFrame = wm.NewWindow();
  const XWindowId border = wm.NewWindow(deepFrame);
  wm.NewWindow(border);  // a decoration beside the client
  wm.Reparent(framedPlain.window(), border);
  wm.MarkManaged(framedPlain.window());

  wm.MarkManaged(launcher.window());

  const XWindowId emptyFrame = wm.NewWindow();
  wm.NewWindow(emptyFrame);  // no client inside: a window of the test's own
  const XWindowId unmanaged = wm.NewWindow();
  wm.Sync();

  struct Case {
    const char* what;
    XWindowId active;
    pid_t expected;
  };
  const Case cases[] = {
      {"a frame whose client names its process", namedFrame, named.pid()},
      {"a client without _NET_WM_PID: its X client's process", plain.window(), plain.pid()},
      {"a frame two levels above such a client", deepFrame, framedPlain.pid()},
      {"_NET_WM_PID comes before the X client", launcher.window(), named.pid()},
      {"a frame without a client is not its creator's", emptyFrame, 0},
      {"a window no window manager took in", unmanaged, 0},
      {"the plain client again", plain.window(), plain.pid()},
  };
  for (const Case& c : cases) {
    wm.SetActive(c.active);
    const ActiveWindowProcess active = QueryActiveWindowProcess();
    EXPECT_TRUE(active.display) << c.what;
    EXPECT_EQ(active.pid, c.expected) << c.what;
  }
  ASSERT_NE(getpid(), plain.pid());
}

TEST(X11PointerControl, SetsTheAccelerationOrSaysWhyNot) {
  {
    test::ScopedEnv noDisplay("DISPLAY", std::nullopt);
    std::string why;
    EXPECT_EQ(SetPointerAcceleration(1, 1, 1, &why), PointerControlResult::kNoDisplay);
    EXPECT_EQ(why, "DISPLAY is not set");
  }
  test::XvfbServer xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb cannot be started; pointer acceleration needs an X server";
  test::XClient client;
  ASSERT_TRUE(client.Connected());
  struct Case {
    int numerator, denominator, threshold;
    PointerControlResult result;
    int inForceNumerator, inForceDenominator;  // afterwards
  };
  const Case cases[] = {
      {3, 2, 1, PointerControlResult::kSet, 3, 2},
      {1, 0, 1, PointerControlResult::kRefused, 3, 2},   // no denominator
      {-5, 1, 1, PointerControlResult::kRefused, 3, 2},  // a negative factor
      {7, 8, 1, PointerControlResult::kSet, 7, 8},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SetPointerAcceleration(c.numerator, c.denominator, c.threshold), c.result)
        << c.numerator << "/" << c.denominator;
    const test::XClient::PointerControl control = client.GetPointerControl();
    EXPECT_EQ(control.numerator * c.inForceDenominator, c.inForceNumerator * control.denominator)
        << c.numerator << "/" << c.denominator << ": " << control.numerator << "/" << control.denominator;
  }
}

}  // namespace
}  // namespace orv::x11
