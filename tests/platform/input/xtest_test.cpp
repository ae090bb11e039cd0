#include <gtest/gtest.h>
#include <poll.h>

#include <QClipboard>
#include <QGuiApplication>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/input/input_codes.h"
#include "platform/input/qt_clipboard.h"
#include "platform/input/xkb_layouts.h"
#include "platform/input/xtest_injector.h"
#include "tests/test_support.h"
#include "tests/x11_server.h"

// Xlib last: its macros (None, Bool, Status ...) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace orv {
namespace {

TEST(InputXTestKeysyms, VirtualKeysTypeTheirUnshiftedUsKeysym) {
  const std::pair<uint16_t, KeySym> cases[] = {
      {VK_A, XK_a},
      {VK_C, XK_c},
      {VK_Z, XK_z},
      {VK_0, XK_0},
      {VK_9, XK_9},
      {VK_F1, XK_F1},
      {VK_F12, XK_F12},
      {VK_F24, XK_F24},
      {VK_NUMPAD0, XK_KP_0},
      {VK_NUMPAD9, XK_KP_9},
      {VK_DIVIDE, XK_KP_Divide},
      {VK_SEPARATOR, XK_KP_Enter},
      {VK_RETURN, XK_Return},
      {VK_OEM_2, XK_slash},
      {VK_OEM_PLUS, XK_equal},
      {VK_OEM_MINUS, XK_minus},
      {VK_OEM_7, XK_apostrophe},
      {VK_SNAPSHOT, XK_Print},
      {VK_PRIOR, XK_Prior},
      {VK_LSHIFT, XK_Shift_L},
      {VK_RCONTROL, XK_Control_R},
      {VK_LWIN, XK_Super_L},
      {VK_APPS, XK_Menu},
      {VK_NUMLOCK, XK_Num_Lock},
      {VK_SHIFT, 0},
      {0, 0},
      {VK_LBUTTON, 0},
      {0x1FF, 0},
  };
  for (const auto& [vk, keysym] : cases) EXPECT_EQ(KeysymOfVirtualKey(vk), keysym) << "virtual key " << vk;
  unsigned long second = 1;
  EXPECT_EQ(KeysymOfVirtualKey(VK_RMENU, &second), static_cast<unsigned long>(XK_Alt_R));
  EXPECT_EQ(second, static_cast<unsigned long>(XK_ISO_Level3_Shift));
}

TEST(InputXkbLayouts, UsGroupOfAKeymap) {
  const std::pair<const char*, int> cases[] = {
      {"pc+us+inet(evdev)", 0},
      {"pc+de+us:2+inet(evdev)", 1},
      {"pc+ru+ua:2+us:3+inet(evdev)+group(alt_shift_toggle)", 2},
      {"pc+us(basic)+inet(evdev)", 0},
      {"pc+de+inet(evdev)", -1},
      {"pc+us(intl)+inet(evdev)", -1},
      {"pc+us(dvorak)+de:2", -1},
      {"pc+de+us:9", -1},
      {"", -1},
      {"us", 0},
  };
  for (const auto& [symbols, group] : cases) EXPECT_EQ(UsGroupOfSymbols(symbols), group) << symbols;
}

TEST(InputClipboard, WithoutAGuiApplicationTheClipboardIsRefused) {
  EXPECT_FALSE(PlaceOnQtClipboard(u"text", true));
  EXPECT_FALSE(PlaceOnQtClipboard(u"text", false));
}

TEST(InputClipboard, TheQtClipboardGetsTheFormAsked) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char name[] = "orv_platform_input_tests";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  const std::u16string text = test::U(std::string(300, 'a') + "e\xCC\x81");
  ASSERT_TRUE(PlaceOnQtClipboard(text, true));
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdU16String(), std::u16string(259, u'a'));
  ASSERT_TRUE(PlaceOnQtClipboard(u"Cafe\u0301 \u4E2D", false));
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdU16String(), u"Cafe\u0301 \u4E2D");
  ASSERT_TRUE(PlaceOnQtClipboard(u"Cafe\u0301 \u4E2D", true));
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdU16String(), u"Caf\u00E9 ?");
}

// An X client window covering the screen of a private Xvfb, with the input focus, and an
// injector talking to the same server.
class InputXTest : public testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<test::XvfbServer>();
    if (server_->display().empty()) GTEST_SKIP() << "Xvfb could not be started: the XTest tests need an X server";
    client_ = XOpenDisplay(nullptr);
    ASSERT_NE(client_, nullptr);
    window_ = XCreateSimpleWindow(client_, DefaultRootWindow(client_), 0, 0, 800, 600, 0, 0, 0);
    XSelectInput(client_, window_,
                 KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
    XMapWindow(client_, window_);
    XEvent event;
    ASSERT_TRUE(Next(event, MapNotify));
    XSetInputFocus(client_, window_, RevertToParent, CurrentTime);
    XWarpPointer(client_, None, window_, 0, 0, 0, 0, 100, 100);
    XSync(client_, False);
    std::string why;
    injector_ = XTestInjector::Open(nullptr, &why);
    ASSERT_NE(injector_, nullptr) << why;
  }
  void TearDown() override {
    injector_.reset();
    if (client_) XCloseDisplay(client_);
  }

  // Waits (at most two seconds) for the next event of `type`, dropping others.
  bool Next(XEvent& event, int type) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
      while (XPending(client_)) {
        XNextEvent(client_, &event);
        if (event.type == type) return true;
      }
      pollfd fd{ConnectionNumber(client_), POLLIN, 0};
      ::poll(&fd, 1, 20);
    }
    return false;
  }

  std::unique_ptr<test::XvfbServer> server_;
  Display* client_ = nullptr;
  Window window_ = 0;
  std::unique_ptr<XTestInjector> injector_;
};

TEST_F(InputXTest, KeysReachTheFocusedWindowAsTheirKeysyms) {
  const struct {
    uint16_t vk;
    uint16_t scan;
    uint32_t flags;  // of the press; the release adds KEYEVENTF_KEYUP
    KeySym keysym;
  } cases[] = {
      {VK_C, 0x2E, 0, XK_c},
      {VK_C, 0x2E, KEYEVENTF_EXTENDEDKEY, XK_c},
      {VK_SPACE, 0x39, KEYEVENTF_EXTENDEDKEY, XK_space},
      {VK_5, 0x06, 0, XK_5},
      {VK_OEM_2, 0x35, 0, XK_slash},
      {VK_F5, 0x3F, 0, XK_F5},
      {VK_LEFT, 0x4B, 0, XK_Left},
      {VK_DIVIDE, 0x35, 0, XK_KP_Divide},
      {VK_SEPARATOR, 0, 0, XK_KP_Enter},
      {VK_LSHIFT, 0x2A, 0, XK_Shift_L},
      {VK_SHIFT, 0x2A, 0, XK_Shift_L},
      {VK_CONTROL, 0x1D, 0, XK_Control_L},
      {VK_CONTROL, 0x1D, KEYEVENTF_EXTENDEDKEY, XK_Control_R},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(injector_->SendKey(c.vk, c.scan, c.flags, 0));
    XEvent press, release;
    ASSERT_TRUE(Next(press, KeyPress)) << "virtual key " << c.vk;
    EXPECT_EQ(XLookupKeysym(&press.xkey, 0), c.keysym) << "virtual key " << c.vk;
    ASSERT_TRUE(injector_->SendKey(c.vk, c.scan, c.flags | KEYEVENTF_KEYUP, 0));
    ASSERT_TRUE(Next(release, KeyRelease)) << "virtual key " << c.vk;
    EXPECT_EQ(release.xkey.keycode, press.xkey.keycode);
  }
  EXPECT_EQ(injector_->KeyCodeOf(VK_C, 0, 0), XKeysymToKeycode(client_, XK_c));
  EXPECT_FALSE(injector_->SendKey(0, 0, 0, 0));  // virtual key 0 has no key
}

TEST_F(InputXTest, MouseButtonsAndWheelsButNoMovement) {
  const uint32_t negative = static_cast<uint32_t>(-WHEEL_DELTA);
  const struct {
    uint32_t flags;
    uint32_t data;
    int type;
    unsigned button;
  } cases[] = {
      {MOUSEEVENTF_LEFTDOWN, 0, ButtonPress, 1},        {MOUSEEVENTF_LEFTUP, 0, ButtonRelease, 1},
      {MOUSEEVENTF_RIGHTDOWN, 0, ButtonPress, 3},       {MOUSEEVENTF_RIGHTUP, 0, ButtonRelease, 3},
      {MOUSEEVENTF_MIDDLEDOWN, 1, ButtonPress, 2},      {MOUSEEVENTF_MIDDLEUP, 2, ButtonRelease, 2},
      {MOUSEEVENTF_XDOWN, XBUTTON1, ButtonPress, 8},    {MOUSEEVENTF_XUP, XBUTTON1, ButtonRelease, 8},
      {MOUSEEVENTF_XDOWN, XBUTTON2, ButtonPress, 9},    {MOUSEEVENTF_XUP, XBUTTON2, ButtonRelease, 9},
      {MOUSEEVENTF_WHEEL, WHEEL_DELTA, ButtonPress, 4}, {MOUSEEVENTF_WHEEL, negative, ButtonPress, 5},
      {MOUSEEVENTF_HWHEEL, negative, ButtonPress, 6},   {MOUSEEVENTF_HWHEEL, WHEEL_DELTA, ButtonPress, 7},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(injector_->SendMouse(0, 0, c.flags, c.data, 0));
    XEvent event;
    ASSERT_TRUE(Next(event, c.type)) << std::hex << "flags 0x" << c.flags;
    EXPECT_EQ(event.xbutton.button, c.button) << std::hex << "flags 0x" << c.flags;
  }

  // A movement, then a click to know the server has handled it: the pointer stays where it was.
  ASSERT_TRUE(injector_->SendMouse(300, 200, MOUSEEVENTF_MOVE, 0, 0));
  ASSERT_TRUE(injector_->SendMouse(300, 200, MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, 0, 0));
  XEvent click;
  ASSERT_TRUE(Next(click, ButtonPress));
  EXPECT_EQ(click.xbutton.button, 1u);
  Window root, child;
  int rootX, rootY, x, y;
  unsigned mask;
  ASSERT_TRUE(XQueryPointer(client_, window_, &root, &child, &rootX, &rootY, &x, &y, &mask));
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 100);
  injector_->SendMouse(0, 0, MOUSEEVENTF_LEFTUP, 0, 0);
}

TEST_F(InputXTest, LayoutSwitchFindsTheUsGroup) {
  EXPECT_EQ(injector_->ForegroundLayout(), kUsLayout);
  EXPECT_TRUE(injector_->RequestLayout(kUsLayout));
  EXPECT_EQ(injector_->ForegroundLayout(), kUsLayout);
  EXPECT_FALSE(injector_->RequestLayout(0x04070407));  // no such group: nothing happens
  EXPECT_EQ(injector_->ForegroundLayout(), kUsLayout);
  EXPECT_FALSE(injector_->SetClipboardText(u"x", true));  // no QGuiApplication in this process
}

TEST_F(InputXTest, ALostServerMakesInputsFailInsteadOfEndingTheProcess) {
  XCloseDisplay(client_);
  client_ = nullptr;
  server_.reset();  // the X server goes away
  bool sent = true;
  for (int i = 0; i < 3 && sent; ++i) sent = injector_->SendKey(VK_C, 0x2E, 0, 0);
  EXPECT_FALSE(sent);
  EXPECT_FALSE(injector_->Connected());
  EXPECT_FALSE(injector_->SendMouse(0, 0, MOUSEEVENTF_LEFTDOWN, 0, 0));
  EXPECT_FALSE(injector_->RequestLayout(kUsLayout));
  EXPECT_EQ(injector_->ForegroundLayout(), kUsLayout);
}

}  // namespace
}  // namespace orv
