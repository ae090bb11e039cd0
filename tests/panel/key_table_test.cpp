// The 104 keys of a US keyboard through a real X server's keymap (a private Xvfb): each key's
// X key code gives the keysym the capture turns into a virtual key, the name the macro editor
// shows, and the key the XTest injector presses again when the macro plays.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "panel/editors/key_capture.h"
#include "platform/input/input_codes.h"
#include "platform/input/scan_codes.h"
#include "platform/input/xtest_injector.h"
#include "tests/platform/x11/x_client.h"
#include "tests/x11_server.h"

namespace orv {
namespace {

struct KeyRow {
  unsigned keycode;  // the evdev code + 8, as X numbers the keys of a PC keyboard
  uint16_t vk;
  const char16_t* name;
};

// Every key of the US 104-key keyboard, row by row (a left or right Alt with Shift is Meta).
const KeyRow kKeys[] = {
    {9, VK_ESCAPE, u"Esc"},   {67, VK_F1, u"F1"},      {68, VK_F2, u"F2"},       {69, VK_F3, u"F3"},
    {70, VK_F4, u"F4"},       {71, VK_F5, u"F5"},      {72, VK_F6, u"F6"},       {73, VK_F7, u"F7"},
    {74, VK_F8, u"F8"},       {75, VK_F9, u"F9"},      {76, VK_F10, u"F10"},     {95, VK_F11, u"F11"},
    {96, VK_F12, u"F12"},     {107, VK_SNAPSHOT, u"Snapshot"}, {78, VK_SCROLL, u"Scrl"}, {127, VK_PAUSE, u"Paus"},
    {49, VK_OEM_3, u"`"},     {10, VK_1, u"1"},        {11, VK_2, u"2"},         {12, VK_3, u"3"},
    {13, VK_4, u"4"},         {14, VK_5, u"5"},        {15, VK_6, u"6"},         {16, VK_7, u"7"},
    {17, VK_8, u"8"},         {18, VK_9, u"9"},        {19, VK_0, u"0"},         {20, VK_OEM_MINUS, u"-"},
    {21, VK_OEM_PLUS, u"="},  {22, VK_BACK, u"Bck"},   {23, VK_TAB, u"Tab"},     {24, VK_Q, u"Q"},
    {25, VK_W, u"W"},         {26, VK_E, u"E"},        {27, VK_R, u"R"},         {28, VK_T, u"T"},
    {29, VK_Y, u"Y"},         {30, VK_U, u"U"},        {31, VK_I, u"I"},         {32, VK_O, u"O"},
    {33, VK_P, u"P"},         {34, VK_OEM_4, u"["},    {35, VK_OEM_6, u"]"},     {51, VK_OEM_5, u"\\"},
    {66, VK_CAPITAL, u"CpLk"}, {38, VK_A, u"A"},       {39, VK_S, u"S"},         {40, VK_D, u"D"},
    {41, VK_F, u"F"},         {42, VK_G, u"G"},        {43, VK_H, u"H"},         {44, VK_J, u"J"},
    {45, VK_K, u"K"},         {46, VK_L, u"L"},        {47, VK_OEM_1, u";"},     {48, VK_OEM_7, u"'"},
    {36, VK_RETURN, u"Enter"}, {50, VK_LSHIFT, u"LShft"}, {52, VK_Z, u"Z"},      {53, VK_X, u"X"},
    {54, VK_C, u"C"},         {55, VK_V, u"V"},        {56, VK_B, u"B"},         {57, VK_N, u"N"},
    {58, VK_M, u"M"},         {59, VK_OEM_COMMA, u","}, {60, VK_OEM_PERIOD, u"."}, {61, VK_OEM_2, u"/"},
    {62, VK_RSHIFT, u"RShft"}, {37, VK_LCONTROL, u"LCtrl"}, {133, VK_LWIN, u"LWin"}, {64, VK_LMENU, u"LAlt"},
    {65, VK_SPACE, u"Spc"},   {108, VK_RMENU, u"RAlt"}, {134, VK_RWIN, u"RWin"}, {135, VK_APPS, u"Menu"},
    {105, VK_RCONTROL, u"RCtrl"}, {118, VK_INSERT, u"Ins"}, {110, VK_HOME, u"Home"}, {112, VK_PRIOR, u"PgUp"},
    {119, VK_DELETE, u"Del"}, {115, VK_END, u"End"},   {117, VK_NEXT, u"PgDn"},  {111, VK_UP, u"Up"},
    {113, VK_LEFT, u"Lft"},   {116, VK_DOWN, u"Dn"},   {114, VK_RIGHT, u"Rht"},  {77, VK_NUMLOCK, u"Numl"},
    {106, VK_DIVIDE, u"Num/"}, {63, VK_MULTIPLY, u"Num*"}, {82, VK_SUBTRACT, u"Num-"}, {86, VK_ADD, u"Num+"},
    {104, VK_SEPARATOR, u"NumRet"}, {79, VK_NUMPAD7, u"Num7"}, {80, VK_NUMPAD8, u"Num8"}, {81, VK_NUMPAD9, u"Num9"},
    {83, VK_NUMPAD4, u"Num4"}, {84, VK_NUMPAD5, u"Num5"}, {85, VK_NUMPAD6, u"Num6"}, {87, VK_NUMPAD1, u"Num1"},
    {88, VK_NUMPAD2, u"Num2"}, {89, VK_NUMPAD3, u"Num3"}, {90, VK_NUMPAD0, u"Num0"}, {91, VK_DECIMAL, u"Num."},
};

// The keypad's keys without Num Lock act as the editing keys.
const std::pair<unsigned, uint16_t> kKeypadWithoutNumLock[] = {
    {79, VK_HOME}, {80, VK_UP},   {81, VK_PRIOR},  {83, VK_LEFT},   {84, VK_CLEAR}, {85, VK_RIGHT},
    {87, VK_END},  {88, VK_DOWN}, {89, VK_NEXT},   {90, VK_INSERT}, {91, VK_DELETE},
};

bool Keypad(unsigned keycode) { return keycode >= 79 && keycode <= 91 && keycode != 82 && keycode != 86; }

TEST(UsKeyboardTable, EveryKeyIsRecordedNamedAndPressedAgainAsItself) {
  test::XvfbServer xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
  test::XClient x;
  ASSERT_TRUE(x.Connected());
  std::string why;
  std::unique_ptr<XTestInjector> injector = XTestInjector::Open(nullptr, &why);
  ASSERT_NE(injector, nullptr) << why;
  ASSERT_EQ(std::size(kKeys), 104u);
  for (const KeyRow& k : kKeys) {
    // The keypad's digits and point type their numbers with Num Lock (level 1).
    const unsigned long keysym = x.KeysymOfKeycode(k.keycode, Keypad(k.keycode) ? 1 : 0);
    const uint16_t vk = VirtualKeyOfKeysym(keysym);
    EXPECT_EQ(vk, k.vk) << "key code " << k.keycode;
    EXPECT_TRUE(IsRecordableKey(vk)) << "key code " << k.keycode;
    EXPECT_EQ(KeyName(vk), k.name) << "key code " << k.keycode;
    // What Shift makes of the key is the same key.
    if (!Keypad(k.keycode))
      if (const unsigned long shifted = x.KeysymOfKeycode(k.keycode, 1))
        EXPECT_EQ(VirtualKeyOfKeysym(shifted), k.vk) << "key code " << k.keycode << " with Shift";
    // Played, the key the injector presses types the same keysym: this key, or one the server's
    // map gives the same keysym (the keypad's point is also the keypad comma's).
    const unsigned back = injector->KeyCodeOf(vk, static_cast<uint16_t>(MapVirtualKeyW(vk, 0)), 0);
    EXPECT_TRUE(back == k.keycode || x.KeysymOfKeycode(back, 0) == keysym || x.KeysymOfKeycode(back, 1) == keysym)
        << "key code " << k.keycode << " typed again as " << back;
  }
  for (const auto& [keycode, vk] : kKeypadWithoutNumLock)
    EXPECT_EQ(VirtualKeyOfKeysym(x.KeysymOfKeycode(keycode, 0)), vk) << "key code " << keycode << " without Num Lock";
}

}  // namespace
}  // namespace orv
