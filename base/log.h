#pragma once
// Diagnostic lines on standard error, by category and level.
//
// Errors and warnings are written by default; they are rare (a service the machine lacks, a
// file that cannot be written). Info and debug lines are off unless ORV_LOG asks for them:
//
//   ORV_LOG=info                 every category at info
//   ORV_LOG=device=debug,bus     device at debug, bus at info, the rest as by default
//   ORV_LOG=off                  nothing at all
//
// Each line is written with one call, "orv[category] level: text", so lines of several
// threads never mix.
#include <cstdint>
#include <string_view>

namespace orv {

enum class LogCategory : uint8_t { Agent, Device, Bus, Pipe, Input, Desktop, Profile, Sim, Skin, Panel };
inline constexpr int kLogCategoryCount = 10;

enum class LogLevel : uint8_t { Off, Error, Warning, Info, Debug };

// Whether lines of this category and level are written.
bool LogEnabled(LogCategory category, LogLevel level);

// Writes one line (a line break is added). Use ORV_LOG, which skips formatting when the line
// is not wanted.
void LogLine(LogCategory category, LogLevel level, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Replaces the configuration read from ORV_LOG (same syntax); false, and nothing changed,
// when it cannot be read.
bool SetLogConfiguration(std::string_view text);

// Where lines go: standard error by default; tests may point it at another descriptor.
void SetLogDescriptor(int fd);

}  // namespace orv

#define ORV_LOG(category, level, ...)                                        \
  do {                                                                       \
    if (::orv::LogEnabled(::orv::LogCategory::category, ::orv::LogLevel::level)) \
      ::orv::LogLine(::orv::LogCategory::category, ::orv::LogLevel::level, __VA_ARGS__); \
  } while (0)
