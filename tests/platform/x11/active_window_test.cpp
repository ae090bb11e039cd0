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
