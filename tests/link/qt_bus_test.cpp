// The bus inside a Qt event loop: window timers that never fire early, and what a modal loop
// run inside a handler dispatches.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "link/messages.h"
#include "link/qt/bus_pump.h"
#include "link/qt/window_timers.h"
#include "link/window_bus.h"
#include "platform/clock.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using Steady = std::chrono::steady_clock;

class LinkQt : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "orv_link_qt_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  }
  void SetUp() override { ::setenv("ORV_BUS_DIR", dir_.path().c_str(), 1); }
  // Runs the event loop until `done` or `ms` pass.
  static bool RunUntil(const std::function<bool()>& done, int ms = 3000) {
    auto until = Steady::now() + std::chrono::milliseconds(ms);
    while (!done() && Steady::now() < until) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return done();
  }
  test::TempDir dir_;
  QtBusPump pump_;
};

// A window whose handler the test supplies; records what it got and how deep in handlers.
class QtWindow : public MessageTarget {
 public:
  struct Got {
    uint32_t code;
    WParam w;
    int depth;
  };
  explicit QtWindow(std::u16string_view title) { handle = bus::CreateWindow(this, title); }
  ~QtWindow() override { bus::DestroyWindow(handle); }
  LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
    ++depth_;
    got.push_back({code, w, depth_});
    LResult r = onMessage ? onMessage(code, w, l) : 1;
    --depth_;
    return r;
  }
  WindowHandle handle = 0;
  std::vector<Got> got;
  std::function<LResult(uint32_t, WParam, LParam)> onMessage;

 private:
  int depth_ = 0;
};

// A clock that runs at half the speed of real time: a wake-up on real time comes early by it.
class HalfSpeedClock : public Clock {
 public:
  uint32_t TickCount() override {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start_).count();
    return static_cast<uint32_t>(ms / 2);
  }
  void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(2 * ms)); }

 private:
  Steady::time_point start_ = Steady::now();
};

TEST_F(LinkQt, TimerTicksNeverComeBeforeTheirPeriodOnTheClock) {
  struct Case {
    const char* name;
    uint32_t periodMs;
    bool halfSpeed;  // the clock is slower than the event loop's timers: every wake-up is early
  };
  for (Case c : {Case{"real clock", 30, false}, Case{"slow clock", 20, true}}) {
    HalfSpeedClock slow;
    ScaledClock real(1.0);
    Clock& clock = c.halfSpeed ? static_cast<Clock&>(slow) : real;
    BusWindowTimers timers(1.0, &clock);
    QtWindow window(u"ticking");
    std::vector<uint32_t> at;
    std::vector<Steady::time_point> realAt;
    window.onMessage = [&](uint32_t code, WParam id, LParam) -> LResult {
      if (code != WM_TIMER) return 0;
      at.push_back(clock.TickCount());
      realAt.push_back(Steady::now());
      timers.TickHandled(static_cast<uint32_t>(id));
      return 0;
    };
    timers.SetWindow(window.handle);
    uint32_t start = clock.TickCount();
    Steady::time_point realStart = Steady::now();
    timers.SetTimer(7, c.periodMs);
    ASSERT_TRUE(RunUntil([&] { return at.size() >= 5; })) << c.name;
    timers.KillTimer(7);
    uint32_t previous = start;
    Steady::time_point realPrevious = realStart;
    for (size_t i = 0; i < at.size(); ++i) {
      EXPECT_GE(at[i] - previous, c.periodMs) << c.name << ", tick " << i;
      if (!c.halfSpeed) {
        EXPECT_GE(realAt[i] - realPrevious, std::chrono::milliseconds(c.periodMs)) << c.name << ", tick " << i;
      }
      previous = at[i];
      realPrevious = realAt[i];
    }
  }
}

TEST_F(LinkQt, ABusyWindowFindsOneTickWaitingNotAPile) {
  BusWindowTimers timers(1.0);
  QtWindow window(u"busy");
  int ticks = 0;
  window.onMessage = [&](uint32_t code, WParam id, LParam) -> LResult {
    if (code != WM_TIMER) return 0;
    if (++ticks == 1) {
      // Busy for ten periods, with the event loop running meanwhile (as a long macro's pauses
      // do not, but a modal loop would): the timer keeps firing, one tick is posted.
      QEventLoop loop;
      QTimer::singleShot(100, &loop, &QEventLoop::quit);
      loop.exec();
    }
    timers.TickHandled(static_cast<uint32_t>(id));
    return 0;
  };
  timers.SetWindow(window.handle);
  timers.SetTimer(1, 10);
  ASSERT_TRUE(RunUntil([&] { return ticks >= 1; }));
  auto until = Steady::now() + std::chrono::milliseconds(100);
  RunUntil([&] { return Steady::now() > until; });
  timers.KillTimer(1);
  bus::PumpFor(20);
  // The first tick's nested loop took one more tick at most; not the ten that came due.
  EXPECT_LE(ticks, 1 + 1 + 10);
  EXPECT_GE(ticks, 2);
  size_t during = 0;
  for (const auto& g : window.got) during += g.depth > 1;
  EXPECT_LE(during, 1u);
}

// A handler that opens a modal loop under a ModalScope: posted messages and timer ticks for
// its window wait for the loop's end and then come in order; sends are answered inside it
// (or refused with kRefuseSends); other windows of the thread get everything meanwhile.
TEST_F(LinkQt, AModalLoopHoldsItsWindowsPostsAndTicksAndAnswersOrRefusesSends) {
  constexpr uint32_t kOpenModal = 0x9100, kPosted = 0x9101, kSent = 0x9102, kOther = 0x9103;
  for (bus::ModalScope::Sends sends : {bus::ModalScope::kAnswerSends, bus::ModalScope::kRefuseSends}) {
    bool refuse = sends == bus::ModalScope::kRefuseSends;
    QtWindow window(u"modal owner"), other(u"other window");
    BusWindowTimers timers(1.0);
    timers.SetWindow(window.handle);
    std::atomic<int> sentResult{-1};
    std::atomic<int> sentOutcome{-1};
    std::atomic<bool> sendDone{false};
    std::thread helper;
    bool loopEnded = false;
    window.onMessage = [&](uint32_t code, WParam w, LParam) -> LResult {
      if (code == WM_TIMER) timers.TickHandled(static_cast<uint32_t>(w));
      if (code == kSent) return 77;
      if (code != kOpenModal) return 0;
      bus::ModalScope modal(0, sends);  // the window whose handler runs now
      timers.SetTimer(3, 5);
      helper = std::thread([&] {
        bus::Post(window.handle, kPosted, 1, 0);
        bus::Post(other.handle, kOther, 0, 0);
        bus::SendOutcome outcome;
        sentResult = static_cast<int>(bus::SendTimeout(window.handle, kSent, 0, 0, 2000, &outcome));
        sentOutcome = static_cast<int>(outcome);
        sendDone = true;
        bus::Post(window.handle, kPosted, 2, 0);
      });
      // The dialog's loop: runs until the send came back, other got its message and a tick
      // came due, then a little longer.
      QEventLoop loop;
      QTimer poll;
      auto start = Steady::now();
      QObject::connect(&poll, &QTimer::timeout, [&] {
        if (sendDone && !other.got.empty() && Steady::now() - start > std::chrono::milliseconds(60)) loop.quit();
        if (Steady::now() - start > std::chrono::seconds(3)) loop.quit();
      });
      poll.start(2);
      loop.exec();
      helper.join();
      timers.KillTimer(3);
      loopEnded = true;
      return 1;
    };
    ASSERT_TRUE(bus::Post(window.handle, kOpenModal, 0, 0));
    ASSERT_TRUE(RunUntil([&] { return loopEnded; }));
    bus::PumpFor(50);
    // Inside the loop: the other window's message, and the send (answered, or refused).
    ASSERT_FALSE(other.got.empty());
    EXPECT_EQ(other.got[0].code, kOther);
    EXPECT_EQ(sentResult, refuse ? 0 : 77);
    EXPECT_EQ(sentOutcome, static_cast<int>(refuse ? bus::SendOutcome::kNotDelivered : bus::SendOutcome::kDelivered));
    std::vector<uint32_t> nested, after;
    std::vector<WParam> postedOrder;
    for (const auto& g : window.got) {
      if (g.code == kOpenModal) continue;
      (g.depth > 1 ? nested : after).push_back(g.code);
      if (g.code == kPosted) postedOrder.push_back(g.w);
    }
    EXPECT_EQ(nested, refuse ? std::vector<uint32_t>{} : std::vector<uint32_t>{kSent}) << "refuse=" << refuse;
    // After the loop: both posts in order, and the one tick held (no pile), not before.
    ASSERT_GE(after.size(), 3u);
    EXPECT_EQ(postedOrder, (std::vector<WParam>{1, 2}));
    size_t ticks = 0;
    for (uint32_t c : after) ticks += c == WM_TIMER;
    EXPECT_EQ(ticks, 1u);
    for (uint32_t c : after) EXPECT_NE(c, kSent);
  }
}

}  // namespace
}  // namespace orv
