#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/input/input_codes.h"
#include "tests/platform/input/us_keyboard.h"
#include "platform/input/qt_clipboard.h"
#include "platform/input/xtest_injector.h"
#include "tests/platform/x11/x_client.h"
#include "tests/test_support.h"
#include "tests/x11_server.h"

namespace orv {
namespace {

// The keysym Xlib knows by `name` ("c", "KP_Enter").
unsigned long Keysym(const char* name) {
  const unsigned long keysym = test::XClient::Keysym(name);
  if (keysym == 0) ADD_FAILURE() << "Xlib knows no keysym " << name;
  return keysym;
}

TEST(InputXTestKeysyms, VirtualKeysTypeTheirUnshiftedUsKeysym) {
  const std::pair<uint16_t, unsigned long> cases[] = {
      {VK_A, Keysym("a")},
      {VK_C, Keysym("c")},
      {VK_Z, Keysym("z")},
      {VK_0, Keysym("0")},
      {VK_9, Keysym("9")},
      {VK_F1, Keysym("F1")},
      {VK_F12, Keysym("F12")},
      {VK_F24, Keysym("F24")},
      {VK_NUMPAD0, Keysym("KP_0")},
      {VK_NUMPAD9, Keysym("KP_9")},
      {VK_DIVIDE, Keysym("KP_Divide")},
      {VK_SEPARATOR, Keysym("KP_Enter")},
      {VK_RETURN, Keysym("Return")},
      {VK_OEM_2, Keysym("slash")},
      {VK_OEM_PLUS, Keysym("equal")},
      {VK_OEM_MINUS, Keysym("minus")},
      {VK_OEM_7, Keysym("apostrophe")},
      {VK_SNAPSHOT, Keysym("Print")},
      {VK_PRIOR, Keysym("Prior")},
      {VK_LSHIFT, Keysym("Shift_L")},
      {VK_RCONTROL, Keysym("Control_R")},
      {VK_LWIN, Keysym("Super_L")},
      {VK_APPS, Keysym("Menu")},
      {VK_NUMLOCK, Keysym("Num_Lock")},
      {VK_SHIFT, 0},
      {0, 0},
      {VK_LBUTTON, 0},
      {0x1FF, 0},
  };
  for (const auto& [vk, keysym] : cases) EXPECT_EQ(KeysymOfVirtualKey(vk), keysym) << "virtual key " << vk;
  unsigned long second = 1;
  EXPECT_EQ(KeysymOfVirtualKey(VK_RMENU, &second), static_cast<unsigned long>(Keysym("Alt_R")));
  EXPECT_EQ(second, static_cast<unsigned long>(Keysym("ISO_Level3_Shift")));
}

// Every key of a US 104-key keyboard comes back as itself from the keysym it types, with or
// without Shift; the keypad without Num Lock acts as the editing keys; other layouts' AltGr and
// characters are no key.
TEST(InputXTestKeysyms, KeysymsGoBackToTheirVirtualKeys) {
  const std::vector<uint16_t> keys = test::UsKeyboardKeys();
  ASSERT_EQ(keys.size(), 104u);
  for (uint16_t vk : keys) EXPECT_EQ(VirtualKeyOfKeysym(KeysymOfVirtualKey(vk)), vk) << "virtual key " << vk;
  const std::pair<const char*, uint16_t> cases[] = {
      {"A", VK_A},           {"Z", VK_Z},           {"exclam", VK_1},          {"at", VK_2},
      {"parenright", VK_0},  {"underscore", VK_OEM_MINUS}, {"plus", VK_OEM_PLUS}, {"braceleft", VK_OEM_4},
      {"bar", VK_OEM_5},     {"colon", VK_OEM_1},   {"quotedbl", VK_OEM_7},    {"asciitilde", VK_OEM_3},
      {"less", VK_OEM_COMMA}, {"greater", VK_OEM_PERIOD}, {"question", VK_OEM_2}, {"ISO_Left_Tab", VK_TAB},
      {"Sys_Req", VK_SNAPSHOT}, {"Break", VK_PAUSE}, {"KP_Home", VK_HOME},      {"KP_End", VK_END},
      {"KP_Insert", VK_INSERT}, {"KP_Delete", VK_DELETE}, {"KP_Begin", VK_CLEAR}, {"KP_Prior", VK_PRIOR},
      {"KP_Up", VK_UP},      {"KP_Enter", VK_SEPARATOR}, {"Meta_L", VK_LMENU},     {"Meta_R", VK_RMENU},
      {"ISO_Level3_Shift", 0}, {"adiaeresis", 0},   {"Cyrillic_a", 0},         {"dead_acute", 0},
  };
  for (const auto& [name, vk] : cases) EXPECT_EQ(VirtualKeyOfKeysym(Keysym(name)), vk) << name;
  EXPECT_EQ(VirtualKeyOfKeysym(0), 0);
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
    client_ = std::make_unique<test::XClient>();
    ASSERT_TRUE(client_->Connected());
    ASSERT_TRUE(client_->ShowFocusedWindow());
    std::string why;
    injector_ = XTestInjector::Open(nullptr, &why);
    ASSERT_NE(injector_, nullptr) << why;
  }
  void TearDown() override {
    injector_.reset();
    client_.reset();
  }

  std::unique_ptr<test::XvfbServer> server_;
  std::unique_ptr<test::XClient> client_;
  std::unique_ptr<XTestInjector> injector_;
};

TEST_F(InputXTest, KeysReachTheFocusedWindowAsTheirKeysyms) {
  const struct {
    uint16_t vk;
    uint16_t scan;
    uint32_t flags;  // of the press; the release adds KEYEVENTF_KEYUP
    unsigned long keysym;
  } cases[] = {
      {VK_C, 0x2E, 0, Keysym("c")},
      {VK_C, 0x2E, KEYEVENTF_EXTENDEDKEY, Keysym("c")},
      {VK_SPACE, 0x39, KEYEVENTF_EXTENDEDKEY, Keysym("space")},
      {VK_5, 0x06, 0, Keysym("5")},
      {VK_OEM_2, 0x35, 0, Keysym("slash")},
      {VK_F5, 0x3F, 0, Keysym("F5")},
      {VK_LEFT, 0x4B, 0, Keysym("Left")},
      {VK_DIVIDE, 0x35, 0, Keysym("KP_Divide")},
      {VK_SEPARATOR, 0, 0, Keysym("KP_Enter")},
      {VK_LSHIFT, 0x2A, 0, Keysym("Shift_L")},
      {VK_SHIFT, 0x2A, 0, Keysym("Shift_L")},
      {VK_CONTROL, 0x1D, 0, Keysym("Control_L")},
      {VK_CONTROL, 0x1D, KEYEVENTF_EXTENDEDKEY, Keysym("Control_R")},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(injector_->SendKey(c.vk, c.scan, c.flags, 0));
    const std::optional<test::XClient::Key> press = client_->NextKey(true);
    ASSERT_TRUE(press) << "virtual key " << c.vk;
    EXPECT_EQ(press->keysym, c.keysym) << "virtual key " << c.vk;
    ASSERT_TRUE(injector_->SendKey(c.vk, c.scan, c.flags | KEYEVENTF_KEYUP, 0));
    const std::optional<test::XClient::Key> release = client_->NextKey(false);
    ASSERT_TRUE(release) << "virtual key " << c.vk;
    EXPECT_EQ(release->keycode, press->keycode);
  }
  EXPECT_EQ(injector_->KeyCodeOf(VK_C, 0, 0), client_->KeycodeOf(Keysym("c")));
  EXPECT_FALSE(injector_->SendKey(0, 0, 0, 0));  // virtual key 0 has no key
}

TEST_F(InputXTest, MouseButtonsAndWheelsButNoMovement) {
  const uint32_t negative = static_cast<uint32_t>(-WHEEL_DELTA);
  const struct {
    uint32_t flags;
    uint32_t data;
    bool press;
    unsigned button;
  } cases[] = {
      {MOUSEEVENTF_LEFTDOWN, 0, true, 1},        {MOUSEEVENTF_LEFTUP, 0, false, 1},
      {MOUSEEVENTF_RIGHTDOWN, 0, true, 3},       {MOUSEEVENTF_RIGHTUP, 0, false, 3},
      {MOUSEEVENTF_MIDDLEDOWN, 1, true, 2},      {MOUSEEVENTF_MIDDLEUP, 2, false, 2},
      {MOUSEEVENTF_XDOWN, XBUTTON1, true, 8},    {MOUSEEVENTF_XUP, XBUTTON1, false, 8},
      {MOUSEEVENTF_XDOWN, XBUTTON2, true, 9},    {MOUSEEVENTF_XUP, XBUTTON2, false, 9},
      {MOUSEEVENTF_WHEEL, WHEEL_DELTA, true, 4}, {MOUSEEVENTF_WHEEL, negative, true, 5},
      {MOUSEEVENTF_HWHEEL, negative, true, 6},   {MOUSEEVENTF_HWHEEL, WHEEL_DELTA, true, 7},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(injector_->SendMouse(0, 0, c.flags, c.data, 0));
    const std::optional<unsigned> button = client_->NextButton(c.press);
    ASSERT_TRUE(button) << std::hex << "flags 0x" << c.flags;
    EXPECT_EQ(*button, c.button) << std::hex << "flags 0x" << c.flags;
  }

  // A movement, then a click to know the server has handled it: the pointer stays where it was.
  ASSERT_TRUE(injector_->SendMouse(300, 200, MOUSEEVENTF_MOVE, 0, 0));
  ASSERT_TRUE(injector_->SendMouse(300, 200, MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, 0, 0));
  const std::optional<unsigned> click = client_->NextButton(true);
  ASSERT_TRUE(click);
  EXPECT_EQ(*click, 1u);
  const std::optional<std::pair<int, int>> pointer = client_->PointerInWindow();
  ASSERT_TRUE(pointer);
  EXPECT_EQ(pointer->first, 100);
  EXPECT_EQ(pointer->second, 100);
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
  client_.reset();
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
