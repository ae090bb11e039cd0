#include "platform/desktop/pointer_settings.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/platform/desktop/desktop_test_support.h"
#include "tests/platform/x11/x_client.h"
#include "tests/test_support.h"
#include "tests/x11_server.h"

namespace orv {
namespace {

std::string RegistryText(const test::TempDir& home) { return test::ReadFile(home / "Veltrix/Registry.ini"); }

TEST(DesktopPointer, RecordsEveryValueAndReadsItBack) {
  test::TempDir home;
  test::ScopedEnv config("XDG_CONFIG_HOME", home.path());
  test::ScopedEnv noDisplay("DISPLAY", std::nullopt);
  // Before anything is recorded: the system defaults.
  EXPECT_EQ(GetDoubleClickTime(), 500u);
  EXPECT_EQ(GetMouseSpeed(), 10);
  EXPECT_EQ(GetWheelScrollLines(), 3u);

  // Values the profile store wrote beforehand stay.
  std::filesystem::create_directories(home / "Veltrix");
  test::WriteFile(home / "Veltrix/Registry.ini", "[Control Panel\\Mouse]\nDoubleClickSpeed=400\n");

  struct Step {
    const char* what;
    std::function<int()> set;
    int result;
    uint32_t doubleClick;
    int speed;
    uint32_t lines;
  };
  const Step steps[] = {
      {"double-click 950", [] { return SetDoubleClickTime(950); }, 1, 950, 10, 3},
      {"double-click 0 is the default", [] { return SetDoubleClickTime(0); }, 1, 500, 10, 3},
      {"double-click beyond 5000 is 5000", [] { return SetDoubleClickTime(7000); }, 1, 5000, 10, 3},
      {"speed 20", [] { return SetMouseSpeed(20); }, 1, 5000, 20, 3},
      {"speed 0 refused", [] { return SetMouseSpeed(0); }, 0, 5000, 20, 3},
      {"speed 21 refused", [] { return SetMouseSpeed(21); }, 0, 5000, 20, 3},
      {"speed -3 refused", [] { return SetMouseSpeed(-3); }, 0, 5000, 20, 3},
      {"speed 1", [] { return SetMouseSpeed(1); }, 1, 5000, 1, 3},
      {"wheel 7 lines", [] { return SetWheelScrollLines(7); }, 1, 5000, 1, 7},
      {"wheel by pages", [] { return SetWheelScrollLines(0xFFFFFFFFu); }, 1, 5000, 1, 0xFFFFFFFFu},
      {"wheel 0 lines", [] { return SetWheelScrollLines(0); }, 1, 5000, 1, 0},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(s.set(), s.result) << s.what;
    EXPECT_EQ(GetDoubleClickTime(), s.doubleClick) << s.what;
    EXPECT_EQ(GetMouseSpeed(), s.speed) << s.what;
    EXPECT_EQ(GetWheelScrollLines(), s.lines) << s.what;
  }
  EXPECT_EQ(RegistryText(home),
            "[Control Panel\\Mouse]\nDoubleClickSpeed=400\n\n[Orvandel\\Pointer]\nDoubleClickTime=5000\n"
            "MouseSpeed=1\nWheelScrollLines=0\n");
}

TEST(DesktopPointer, RecordsThatAreNotValuesReadAsDefaults) {
  test::TempDir home;
  test::ScopedEnv config("XDG_CONFIG_HOME", home.path());
  std::filesystem::create_directories(home / "Veltrix");
  struct Case {
    const char* record;
    uint32_t doubleClick;
    int speed;
    uint32_t lines;
  };
  const Case cases[] = {
      {"DoubleClickTime=abc\nMouseSpeed=21\nWheelScrollLines=-1\n", 500, 10, 3},
      {"DoubleClickTime=0\nMouseSpeed=0\nWheelScrollLines=4294967296\n", 500, 10, 3},
      {"DoubleClickTime=300ms\nMouseSpeed= 7\nWheelScrollLines=\n", 500, 7, 3},
      {"DoubleClickTime=250\nMouseSpeed=15\nWheelScrollLines=12\n", 250, 15, 12},
  };
  for (const Case& c : cases) {
    test::WriteFile(home / "Veltrix/Registry.ini", std::string("[Orvandel\\Pointer]\n") + c.record);
    EXPECT_EQ(GetDoubleClickTime(), c.doubleClick) << c.record;
    EXPECT_EQ(GetMouseSpeed(), c.speed) << c.record;
    EXPECT_EQ(GetWheelScrollLines(), c.lines) << c.record;
  }
}

TEST(DesktopPointer, AValueThatCannotBeRecordedIsAFailure) {
  test::TempDir home;
  test::WriteFile(home / "file", "not a folder");
  test::ScopedEnv config("XDG_CONFIG_HOME", home / "file/below");
  test::ScopedEnv noDisplay("DISPLAY", std::nullopt);
  EXPECT_EQ(SetDoubleClickTime(400), 0);
  EXPECT_EQ(SetMouseSpeed(12), 0);
  EXPECT_EQ(SetWheelScrollLines(5), 0);
  EXPECT_EQ(GetMouseSpeed(), 10);
}

TEST(DesktopPointer, SpeedBecomesTheWindowsPointerFactor) {
  // The factor in 32nds for each speed.
  const int factor32[] = {1, 2, 4, 8, 12, 16, 20, 24, 28, 32, 40, 48, 56, 64, 72, 80, 88, 96, 104, 112};
  for (int speed = 1; speed <= 20; ++speed) {
    PointerAcceleration a = AccelerationForSpeed(speed);
    EXPECT_EQ(a.numerator * 32, factor32[speed - 1] * a.denominator) << speed;
    EXPECT_EQ(a.threshold, 1) << speed;
  }
  EXPECT_EQ(AccelerationForSpeed(10).numerator, 1);
  EXPECT_EQ(AccelerationForSpeed(10).denominator, 1);
  EXPECT_EQ(AccelerationForSpeed(0).numerator, AccelerationForSpeed(10).numerator);
}

TEST(DesktopPointer, SpeedIsPutIntoForceAsXPointerAcceleration) {
  test::XvfbServer xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb cannot be started; pointer acceleration needs an X server";
  test::TempDir home;
  test::ScopedEnv config("XDG_CONFIG_HOME", home.path());
  test::XClient display;
  ASSERT_TRUE(display.Connected());
  struct Case {
    int speed;
    int result;
    int factor32;  // in force afterwards
  };
  const Case cases[] = {{1, 1, 1}, {4, 1, 8}, {10, 1, 32}, {11, 1, 40}, {20, 1, 112}, {0, 0, 112}, {6, 1, 16}};
  for (const Case& c : cases) {
    EXPECT_EQ(SetMouseSpeed(c.speed), c.result) << c.speed;
    const auto [numerator, denominator, threshold] = display.GetPointerControl();
    EXPECT_EQ(numerator * 32, c.factor32 * denominator) << c.speed << ": " << numerator << "/" << denominator;
    EXPECT_EQ(threshold, 1) << c.speed;
  }
  EXPECT_EQ(GetMouseSpeed(), 6);
}

}  // namespace
}  // namespace orv
