#include "base/log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>

namespace orv {
namespace {

// Lines written while the object lives, read back from a pipe.
class LogCapture {
 public:
  LogCapture() {
    EXPECT_EQ(::pipe(fds_), 0);
    SetLogDescriptor(fds_[1]);
  }
  ~LogCapture() {
    SetLogDescriptor(STDERR_FILENO);
    SetLogConfiguration("");
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  std::string Take() {
    ::close(fds_[1]);
    fds_[1] = ::dup(STDERR_FILENO);
    SetLogDescriptor(STDERR_FILENO);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds_[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    return out;
  }

 private:
  int fds_[2] = {-1, -1};
};

TEST(Log, LevelsAndCategoriesFollowTheConfiguration) {
  struct Case {
    const char* config;
    LogCategory category;
    LogLevel level;
    bool shown;
  };
  const Case cases[] = {
      {"", LogCategory::Device, LogLevel::Warning, true},  // the default shows warnings and errors
      {"", LogCategory::Device, LogLevel::Error, true},
      {"", LogCategory::Device, LogLevel::Info, false},
      {"info", LogCategory::Bus, LogLevel::Info, true},
      {"info", LogCategory::Bus, LogLevel::Debug, false},
      {"device=debug,bus", LogCategory::Device, LogLevel::Debug, true},
      {"device=debug,bus", LogCategory::Bus, LogLevel::Info, true},
      {"device=debug,bus", LogCategory::Bus, LogLevel::Debug, false},
      {"device=debug,bus", LogCategory::Agent, LogLevel::Info, false},
      {"off", LogCategory::Agent, LogLevel::Error, false},
      {"debug,pipe=off", LogCategory::Pipe, LogLevel::Error, false},
      {"debug,pipe=off", LogCategory::Skin, LogLevel::Debug, true},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetLogConfiguration(c.config)) << c.config;
    EXPECT_EQ(LogEnabled(c.category, c.level), c.shown) << c.config << " " << static_cast<int>(c.level);
  }
  SetLogConfiguration("");
}

TEST(Log, AConfigurationNotUnderstoodChangesNothing) {
  ASSERT_TRUE(SetLogConfiguration("device=debug"));
  for (const char* bad : {"loud", "device=loud", "nosuch=info", "=info"}) {
    EXPECT_FALSE(SetLogConfiguration(bad)) << bad;
    EXPECT_TRUE(LogEnabled(LogCategory::Device, LogLevel::Debug)) << bad;
  }
  SetLogConfiguration("");
}

TEST(Log, OneLineEachWithCategoryAndLevel) {
  LogCapture capture;
  SetLogConfiguration("bus=info");
  ORV_LOG(Bus, Info, "frame of %d bytes dropped", 7);
  ORV_LOG(Bus, Debug, "not shown");
  ORV_LOG(Device, Warning, "open failed: %s", "no such file");
  ORV_LOG(Device, Info, "not shown either");
  const std::string longText(3000, 'x');
  ORV_LOG(Agent, Error, "%s", longText.c_str());
  const std::string out = capture.Take();
  const std::string expected = "orv[bus] info: frame of 7 bytes dropped\norv[device] warning: open failed: no such file\n";
  ASSERT_EQ(out.substr(0, expected.size()), expected);
  // A line longer than the buffer is cut, but still one line with its break.
  const std::string last = out.substr(expected.size());
  EXPECT_EQ(last.rfind("orv[agent] error: xxx", 0), 0u) << last.substr(0, 40);
  EXPECT_EQ(std::count(last.begin(), last.end(), '\n'), 1);
  EXPECT_EQ(last.back(), '\n');
  EXPECT_LT(last.size(), 1100u);
}

}  // namespace
}  // namespace orv
