#include "platform/x11/xkb_groups.h"

#include <gtest/gtest.h>

#include "tests/platform/desktop/desktop_test_support.h"
#include "tests/x11_server.h"

namespace orv::x11 {
namespace {

TEST(X11XkbGroups, UsGroupOfAKeymap) {
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

TEST(X11XkbGroups, WithoutADisplayThereAreNoGroups) {
  test::ScopedEnv noDisplay("DISPLAY", std::nullopt);
  std::unique_ptr<XkbGroups> groups = XkbGroups::Connect();
  ASSERT_NE(groups, nullptr);
  EXPECT_FALSE(groups->Available());
  EXPECT_EQ(groups->Current(), -1);
  EXPECT_EQ(groups->UsGroup(), -1);
  EXPECT_FALSE(groups->Lock(0));
}

TEST(X11XkbGroups, TheServersKeymapHasItsUsGroupLockedAndRefusesOtherNumbers) {
  test::XvfbServer xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb cannot be started; keyboard groups need an X server";
  std::unique_ptr<XkbGroups> groups = XkbGroups::Connect();
  ASSERT_TRUE(groups->Available());
  EXPECT_EQ(groups->UsGroup(), 0);  // Xvfb's keymap is the plain US one
  EXPECT_TRUE(groups->Lock(0));
  EXPECT_EQ(groups->Current(), 0);
  for (int group : {-1, 4, 255}) EXPECT_FALSE(groups->Lock(group)) << group;
  EXPECT_EQ(groups->Current(), 0);
}

}  // namespace
}  // namespace orv::x11
