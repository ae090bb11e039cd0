#include <dirent.h>
#include <gtest/gtest.h>
#include <linux/input.h>

#include <set>
#include <string>
#include <vector>

#include "platform/input/input_codes.h"
#include "platform/input/key_usage.h"
#include "platform/input/uinput_injector.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using Events = std::vector<UinputEvent>;

const UinputEvent kReport{EV_SYN, SYN_REPORT, 0};

Events KeyEvents(uint16_t key, int32_t value) { return {{EV_KEY, key, value}, kReport}; }

TEST(InputUinput, KeyboardInputsBecomeLinuxKeys) {
  const struct {
    uint16_t vk;
    uint16_t scan;
    uint32_t flags;
    Events expected;
  } cases[] = {
      {VK_C, 0x2E, 0, KeyEvents(KEY_C, 1)},
      {VK_C, 0x2E, KEYEVENTF_KEYUP, KeyEvents(KEY_C, 0)},
      {VK_C, 0x2E, KEYEVENTF_EXTENDEDKEY, KeyEvents(KEY_C, 1)},  // a single-key macro's press
      {VK_C, 0x2E, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, KeyEvents(KEY_C, 0)},
      {VK_SHIFT, 0x2A, 0, KeyEvents(KEY_LEFTSHIFT, 1)},
      {VK_SHIFT, 0x2A, KEYEVENTF_EXTENDEDKEY, KeyEvents(KEY_LEFTSHIFT, 1)},
      {VK_CONTROL, 0x1D, 0, KeyEvents(KEY_LEFTCTRL, 1)},
      {VK_CONTROL, 0x1D, KEYEVENTF_EXTENDEDKEY, KeyEvents(KEY_RIGHTCTRL, 1)},
      {VK_MENU, 0x38, 0, KeyEvents(KEY_LEFTALT, 1)},
      {VK_MENU, 0x38, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, KeyEvents(KEY_RIGHTALT, 0)},
      {VK_LSHIFT, 0x2A, 0, KeyEvents(KEY_LEFTSHIFT, 1)},
      {VK_RSHIFT, 0x36, 0, KeyEvents(KEY_RIGHTSHIFT, 1)},
      {VK_RCONTROL, 0x1D, 0, KeyEvents(KEY_RIGHTCTRL, 1)},
      {VK_LMENU, 0x38, KEYEVENTF_EXTENDEDKEY, KeyEvents(KEY_LEFTALT, 1)},  // a sided key keeps its side
      {VK_RETURN, 0x1C, KEYEVENTF_EXTENDEDKEY, KeyEvents(KEY_ENTER, 1)},
      {VK_SEPARATOR, 0, 0, KeyEvents(KEY_KPENTER, 1)},  // the keypad Enter of recorded macros
      {VK_DIVIDE, 0x35, 0, KeyEvents(KEY_KPSLASH, 1)},
      {VK_OEM_2, 0x35, 0, KeyEvents(KEY_SLASH, 1)},
      {VK_NUMPAD0, 0x52, 0, KeyEvents(KEY_KP0, 1)},
      {VK_NUMPAD7, 0x47, 0, KeyEvents(KEY_KP7, 1)},
      {VK_ADD, 0x4E, 0, KeyEvents(KEY_KPPLUS, 1)},
      {VK_OEM_PLUS, 0x0D, 0, KeyEvents(KEY_EQUAL, 1)},
      {VK_OEM_MINUS, 0x0C, 0, KeyEvents(KEY_MINUS, 1)},
      {VK_0, 0x0B, 0, KeyEvents(KEY_0, 1)},
      {VK_1, 0x02, 0, KeyEvents(KEY_1, 1)},
      {VK_F10, 0x44, 0, KeyEvents(KEY_F10, 1)},
      {VK_F11, 0x57, 0, KeyEvents(KEY_F11, 1)},
      {VK_F13, 0x64, 0, KeyEvents(KEY_F13, 1)},
      {VK_F24, 0x76, 0, KeyEvents(KEY_F24, 1)},
      {VK_OEM_102, 0x56, 0, KeyEvents(KEY_102ND, 1)},
      {VK_SNAPSHOT, 0x54, 0, KeyEvents(KEY_SYSRQ, 1)},
      {VK_PAUSE, 0x45, 0, KeyEvents(KEY_PAUSE, 1)},
      {VK_NUMLOCK, 0x45, 0, KeyEvents(KEY_NUMLOCK, 1)},
      {VK_INSERT, 0x52, 0, KeyEvents(KEY_INSERT, 1)},
      {VK_PRIOR, 0x49, 0, KeyEvents(KEY_PAGEUP, 1)},
      {VK_LWIN, 0x5B, 0, KeyEvents(KEY_LEFTMETA, 1)},
      {VK_RWIN, 0x5C, 0, KeyEvents(KEY_RIGHTMETA, 1)},
      {VK_APPS, 0x5D, 0, KeyEvents(KEY_COMPOSE, 1)},
      {0, 0x2E, KEYEVENTF_SCANCODE, KeyEvents(KEY_C, 1)},  // the key at a scan code
      {0, 0x1D, KEYEVENTF_SCANCODE | KEYEVENTF_EXTENDEDKEY, KeyEvents(KEY_RIGHTCTRL, 1)},
      {0, 0, 0, {}},            // a macro without events presses virtual key 0: nothing to inject
      {VK_SLEEP, 0x5F, 0, {}},  // its usage has no key on Linux
      {VK_SELECT, 0, 0, {}},
      {0x1FF, 0, 0, {}},
  };
  const UinputTranslator translator;
  for (const auto& c : cases)
    EXPECT_EQ(translator.Key(c.vk, c.scan, c.flags), c.expected) << "virtual key " << c.vk << " flags " << c.flags;
}

TEST(InputUinput, EveryKeyOfTheUsageTableHasItsOwnLinuxKey) {
  std::set<uint16_t> keys;
  const std::vector<uint16_t> declared = UinputTranslator::DeviceKeys();
  const std::set<uint16_t> declaredSet(declared.begin(), declared.end());
  int rows = 0;
  for (uint32_t vk = 0; vk < 256; ++vk) {
    const uint8_t usage = KeyUsage(vk);
    if (usage == kNoKeyUsage || usage == 130) continue;  // 130 (Sleep's) is no Linux key
    ++rows;
    const uint16_t key = UinputTranslator::LinuxKeyOfUsage(usage);
    EXPECT_NE(key, 0) << "virtual key " << vk;
    EXPECT_TRUE(keys.insert(key).second) << "virtual key " << vk << " shares Linux key " << key;
    EXPECT_TRUE(declaredSet.count(key)) << "the device does not declare key " << key;
  }
  EXPECT_EQ(rows, 104);
  for (uint16_t button : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE, BTN_SIDE, BTN_EXTRA})
    EXPECT_TRUE(declaredSet.count(button)) << button;
}

TEST(InputUinput, MouseInputsBecomeButtonsAndWheelsButNeverMovement) {
  const uint32_t up = static_cast<uint32_t>(-WHEEL_DELTA);
  const struct {
    int32_t dx;
    uint32_t flags;
    uint32_t data;
    Events expected;
  } cases[] = {
      {0, MOUSEEVENTF_LEFTDOWN, 0, KeyEvents(BTN_LEFT, 1)},
      {0, MOUSEEVENTF_LEFTUP, 0, KeyEvents(BTN_LEFT, 0)},
      {0, MOUSEEVENTF_RIGHTDOWN, 0, KeyEvents(BTN_RIGHT, 1)},
      {0, MOUSEEVENTF_RIGHTUP, 0, KeyEvents(BTN_RIGHT, 0)},
      {0, MOUSEEVENTF_MIDDLEDOWN, 1, KeyEvents(BTN_MIDDLE, 1)},  // move-and-steer passes data 1
      {0, MOUSEEVENTF_MIDDLEUP, 2, KeyEvents(BTN_MIDDLE, 0)},
      {0, MOUSEEVENTF_XDOWN, XBUTTON1, KeyEvents(BTN_SIDE, 1)},
      {0, MOUSEEVENTF_XUP, XBUTTON1, KeyEvents(BTN_SIDE, 0)},
      {0, MOUSEEVENTF_XDOWN, XBUTTON2, KeyEvents(BTN_EXTRA, 1)},
      {0, MOUSEEVENTF_XUP, XBUTTON2, KeyEvents(BTN_EXTRA, 0)},
      {0, MOUSEEVENTF_XDOWN, 0, {}},
      {0, MOUSEEVENTF_WHEEL, WHEEL_DELTA, {{EV_REL, REL_WHEEL, 1}, {EV_REL, REL_WHEEL_HI_RES, 120}, kReport}},
      {0, MOUSEEVENTF_WHEEL, up, {{EV_REL, REL_WHEEL, -1}, {EV_REL, REL_WHEEL_HI_RES, -120}, kReport}},
      {0, MOUSEEVENTF_WHEEL, 2 * WHEEL_DELTA, {{EV_REL, REL_WHEEL, 2}, {EV_REL, REL_WHEEL_HI_RES, 240}, kReport}},
      {0, MOUSEEVENTF_HWHEEL, up, {{EV_REL, REL_HWHEEL, -1}, {EV_REL, REL_HWHEEL_HI_RES, -120}, kReport}},
      {0, MOUSEEVENTF_WHEEL, 0, {}},
      {25, MOUSEEVENTF_MOVE, 0, {}},
      {25, MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, 0, KeyEvents(BTN_LEFT, 1)},
      {0, MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, {{EV_KEY, BTN_LEFT, 1}, {EV_KEY, BTN_LEFT, 0}, kReport}},
  };
  for (const auto& c : cases) {
    UinputTranslator translator;
    EXPECT_EQ(translator.Mouse(c.flags, c.data), c.expected) << std::hex << "flags 0x" << c.flags << " data " << c.data;
  }

  // Partial wheel deltas add up to a notch; the exact delta always goes to the fine axis.
  UinputTranslator translator;
  const Events fine{{EV_REL, REL_WHEEL_HI_RES, 40}, kReport};
  EXPECT_EQ(translator.Mouse(MOUSEEVENTF_WHEEL, 40), fine);
  EXPECT_EQ(translator.Mouse(MOUSEEVENTF_WHEEL, 40), fine);
  EXPECT_EQ(translator.Mouse(MOUSEEVENTF_WHEEL, 40),
            (Events{{EV_REL, REL_WHEEL, 1}, {EV_REL, REL_WHEEL_HI_RES, 40}, kReport}));
  EXPECT_EQ(translator.Mouse(MOUSEEVENTF_WHEEL, 40), fine);
  // A turn back first uses up what was left over.
  EXPECT_EQ(translator.Mouse(MOUSEEVENTF_WHEEL, static_cast<uint32_t>(-160)),
            (Events{{EV_REL, REL_WHEEL, -1}, {EV_REL, REL_WHEEL_HI_RES, -160}, kReport}));
}

int OpenDescriptors() {
  int n = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir)) ++n;
    ::closedir(dir);
  }
  return n;
}

TEST(InputUinput, AMissingOrUnusableDeviceFailsCleanly) {
  test::TempDir dir;
  test::WriteFile(dir / "plain-file", "");
  const int before = OpenDescriptors();
  for (const std::string& path : {dir / "no-such-node", dir.path(), dir / "plain-file", std::string("/dev/null")}) {
    std::string why;
    EXPECT_EQ(UinputInjector::Open(path, &why), nullptr) << path;
    EXPECT_NE(why.find(path), std::string::npos) << why;
  }
  EXPECT_EQ(OpenDescriptors(), before);  // nothing left open
}

}  // namespace
}  // namespace orv
