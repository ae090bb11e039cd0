#include "base/log.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orv {
namespace {

constexpr std::array<std::string_view, kLogCategoryCount> kCategoryNames = {
    "agent", "device", "bus", "pipe", "input", "desktop", "profile", "sim", "skin", "panel"};
constexpr std::array<std::string_view, 5> kLevelNames = {"off", "error", "warning", "info", "debug"};

bool LevelNamed(std::string_view name, LogLevel& level) {
  for (size_t i = 0; i < kLevelNames.size(); ++i)
    if (name == kLevelNames[i]) {
      level = static_cast<LogLevel>(i);
      return true;
    }
  return false;
}

int CategoryNamed(std::string_view name) {
  for (size_t i = 0; i < kCategoryNames.size(); ++i)
    if (name == kCategoryNames[i]) return static_cast<int>(i);
  return -1;
}

using Levels = std::array<uint8_t, kLogCategoryCount>;

// Reads an ORV_LOG text into levels; false when a word is not understood.
bool ParseLevels(std::string_view text, Levels& levels) {
  for (size_t i = 0; i < levels.size(); ++i) levels[i] = static_cast<uint8_t>(LogLevel::Warning);
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (item.empty()) continue;
    size_t equals = item.find('=');
    LogLevel level = LogLevel::Info;
    if (equals == std::string_view::npos) {
      // A level alone sets every category; a category alone turns it to info.
      if (LevelNamed(item, level)) {
        levels.fill(static_cast<uint8_t>(level));
        continue;
      }
      int c = CategoryNamed(item);
      if (c < 0) return false;
      levels[static_cast<size_t>(c)] = static_cast<uint8_t>(LogLevel::Info);
      continue;
    }
    int c = CategoryNamed(item.substr(0, equals));
    if (c < 0 || !LevelNamed(item.substr(equals + 1), level)) return false;
    levels[static_cast<size_t>(c)] = static_cast<uint8_t>(level);
  }
  return true;
}

struct Configuration {
  std::array<std::atomic<uint8_t>, kLogCategoryCount> levels;
  std::atomic<int> fd{STDERR_FILENO};
  Configuration() {
    Levels parsed;
    const char* text = std::getenv("ORV_LOG");
    bool understood = ParseLevels(text ? text : "", parsed);
    if (!understood) ParseLevels("", parsed);
    for (size_t i = 0; i < parsed.size(); ++i) levels[i] = parsed[i];
    if (!understood) std::fprintf(stderr, "orv[agent] warning: ORV_LOG=%s is not understood; the default stays\n", text);
  }
};

Configuration& Config() {
  static Configuration c;
  return c;
}

}  // namespace

bool LogEnabled(LogCategory category, LogLevel level) {
  return static_cast<uint8_t>(level) <= Config().levels[static_cast<size_t>(category)].load(std::memory_order_relaxed);
}

void LogLine(LogCategory category, LogLevel level, const char* format, ...) {
  char line[1024];
  int n = std::snprintf(line, sizeof line, "orv[%.*s] %.*s: ", static_cast<int>(kCategoryNames[static_cast<size_t>(category)].size()),
                        kCategoryNames[static_cast<size_t>(category)].data(),
                        static_cast<int>(kLevelNames[static_cast<size_t>(level)].size()),
                        kLevelNames[static_cast<size_t>(level)].data());
  if (n < 0) return;
  size_t used = static_cast<size_t>(n);
  va_list args;
  va_start(args, format);
  int m = std::vsnprintf(line + used, sizeof line - used - 1, format, args);
  va_end(args);
  if (m < 0) return;
  used = std::min(used + static_cast<size_t>(m), sizeof line - 2);  // a longer line is cut
  line[used++] = '\n';
  const int fd = Config().fd.load(std::memory_order_relaxed);
  size_t done = 0;
  while (done < used) {
    ssize_t w = ::write(fd, line + done, used - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    done += static_cast<size_t>(w);
  }
}

bool SetLogConfiguration(std::string_view text) {
  Levels levels;
  if (!ParseLevels(text, levels)) return false;
  Configuration& config = Config();
  for (size_t i = 0; i < levels.size(); ++i) config.levels[i] = levels[i];
  return true;
}

void SetLogDescriptor(int fd) { Config().fd = fd; }

}  // namespace orv
