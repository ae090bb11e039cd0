#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/process_rights.h"
#include "tests/test_support.h"

namespace orv {
namespace {

TEST(VirtualClock, RecordsEveryPauseOfASequenceExactly) {
  VirtualClock clock;
  EXPECT_EQ(clock.TickCount(), 0u);
  // A paste macro's shape: key, 50 ms, text, 50 ms, key; then two waits of a second.
  const uint32_t sequence[] = {50, 50, 0, 1000, 1000, 10};
  for (uint32_t ms : sequence) clock.Sleep(ms);
  clock.Advance(7);  // time passing elsewhere is not a pause
  EXPECT_EQ(clock.Pauses(), std::vector<uint32_t>(std::begin(sequence), std::end(sequence)));
  EXPECT_EQ(clock.TotalPaused(), 2110u);
  EXPECT_EQ(clock.TickCount(), 2117u);
  clock.ClearPauses();
  EXPECT_TRUE(clock.Pauses().empty());
  EXPECT_EQ(clock.TickCount(), 2117u);
}

TEST(VirtualClock, TickCountWrapsLikeA32BitCounter) {
  VirtualClock clock;
  clock.Advance(0xFFFFFFF0u);
  uint32_t before = clock.TickCount();
  clock.Sleep(0x20);
  EXPECT_EQ(clock.TickCount(), 0x10u);
  EXPECT_EQ(static_cast<uint32_t>(clock.TickCount() - before), 0x20u);  // differences stay right
}

TEST(ScaledClock, ShortensPausesAndSpeedsUpTicksAlike) {
  ScaledClock clock(0.01);
  const auto realStart = std::chrono::steady_clock::now();
  const uint32_t tickStart = clock.TickCount();
  clock.Sleep(2000);  // 20 ms of real time
  const auto realMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - realStart).count();
  EXPECT_GE(clock.TickCount() - tickStart, 2000u);
  EXPECT_LT(realMs, 1000);  // far less than the two seconds written
}

TEST(ScaledClock, ScaleComesFromTheEnvironment) {
  const std::pair<const char*, double> cases[] = {
      {nullptr, 1.0}, {"", 1.0}, {"0.05", 0.05}, {"2", 2.0}, {"abc", 1.0}, {"0", 1.0}, {"-1", 1.0}, {"0.5x", 1.0},
  };
  for (const auto& [text, scale] : cases) {
    if (text) ::setenv("ORV_TIME_SCALE", text, 1);
    else ::unsetenv("ORV_TIME_SCALE");
    EXPECT_DOUBLE_EQ(TimeScaleFromEnvironment(), scale) << (text ? text : "(unset)");
  }
  ::unsetenv("ORV_TIME_SCALE");
}

class NamedMutexTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1); }
  void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }
  // What a NamedMutex of `name` gives in a child process.
  static NamedMutex::Outcome InChild(const char* name) {
    pid_t child = ::fork();
    if (child == 0) {
      NamedMutex m(name);
      ::_exit(static_cast<int>(m.outcome()));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<NamedMutex::Outcome>(WEXITSTATUS(status));
  }
  test::TempDir runtime;
};

TEST_F(NamedMutexTest, OneHolderPerNameUntilItEnds) {
  {
    NamedMutex first("Kestrune_Zr4_V2_Mouse_Control");
    EXPECT_EQ(first.outcome(), NamedMutex::Outcome::Created);
    EXPECT_EQ(InChild("Kestrune_Zr4_V2_Mouse_Control"), NamedMutex::Outcome::AlreadyExists);
    EXPECT_EQ(NamedMutex("Kestrune_Zr4_V2_Mouse_Control").outcome(), NamedMutex::Outcome::AlreadyExists);
    EXPECT_EQ(InChild("Veltrix_Zr4_V2_AP"), NamedMutex::Outcome::Created);  // another name
  }
  EXPECT_EQ(InChild("Kestrune_Zr4_V2_Mouse_Control"), NamedMutex::Outcome::Created);
  EXPECT_EQ(NamedMutex("bad/name").outcome(), NamedMutex::Outcome::Failed);
}

TEST_F(NamedMutexTest, ReleasedWhenTheHolderIsKilled) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = ::fork();
  if (holder == 0) {
    NamedMutex m("held");
    char c = m.outcome() == NamedMutex::Outcome::Created ? 'y' : 'n';
    (void)!::write(ready[1], &c, 1);
    ::pause();
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  EXPECT_EQ(NamedMutex("held").outcome(), NamedMutex::Outcome::AlreadyExists);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(NamedMutex("held").outcome(), NamedMutex::Outcome::Created);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(Elevation, FromTheEffectiveUserId) {
  const TokenElevation self = ::geteuid() == 0 ? kElevationFull : kElevationLimited;
  EXPECT_EQ(ThisProcessElevation(), self);
  EXPECT_EQ(ProcessElevation(::getpid()), self);
  EXPECT_EQ(ProcessElevation(0), kElevationUnknown);
  EXPECT_EQ(ProcessElevation(-5), kElevationUnknown);
  EXPECT_EQ(ProcessElevation(0x3FFFFFFF), kElevationUnknown);  // no such process
}

TEST(Elevation, AnotherUsersProcessIsLimited) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a process as another user";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
    char c = 'y';
    (void)!::write(ready[1], &c, 1);
    ::pause();
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  EXPECT_EQ(ProcessElevation(child), kElevationLimited);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
}  // namespace orv
