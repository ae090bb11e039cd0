#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log.h"
#include "platform/input/input_injector.h"
#include "platform/input/record_injector.h"
#include "platform/input/uinput_injector.h"
#include "platform/input/xtest_injector.h"

namespace orv {
namespace {

constexpr const char* kDefaultUinputPath = "/dev/uinput";

void Say(const std::string& line) { ORV_LOG(Input, Warning, "%s", line.c_str()); }

// The recording backend at `path`; `why` (when not empty) is the reason it stands in for another
// backend, said in one line together with a failure to open the file.
std::unique_ptr<InputInjector> Recording(const std::string& path, const std::string& why) {
  auto recorder = std::make_unique<RecordInjector>(path);
  const bool opened = recorder->Open();
  const int error = errno;
  std::string line = why.empty() ? std::string() : why + "; recording the inputs to " + path;
  if (!opened) {
    if (line.empty())
      line = "cannot write the input record " + path + " (" + std::strerror(error) + ")";
    else
      line += ", which cannot be written (" + std::string(std::strerror(error)) + ")";
    line += "; no input is injected";
  }
  if (!line.empty()) Say(line);
  return recorder;
}

}  // namespace

std::unique_ptr<InputInjector> CreateInjector(std::string_view choice, const std::string& defaultRecordPath) {
  return CreateInjector(choice, defaultRecordPath, kDefaultUinputPath);
}

std::unique_ptr<InputInjector> CreateInjector(std::string_view choice, const std::string& defaultRecordPath,
                                              const std::string& uinputPath) {
  if (choice == "record") return Recording(defaultRecordPath, "");
  if (choice.substr(0, 7) == "record:") {
    const std::string path(choice.substr(7));
    return Recording(path.empty() ? defaultRecordPath : path, "");
  }
  std::string why;
  if (choice == "uinput") {
    if (auto injector = UinputInjector::Open(uinputPath, &why)) return injector;
    return Recording(defaultRecordPath, "uinput unavailable: " + why);
  }
  if (choice == "xtest") {
    if (auto injector = XTestInjector::Open(nullptr, &why)) return injector;
    return Recording(defaultRecordPath, "XTest unavailable: " + why);
  }
  if (choice.empty() || choice == "auto") {
    std::string uinputWhy;
    if (::access(uinputPath.c_str(), W_OK) == 0) {
      if (auto injector = UinputInjector::Open(uinputPath, &uinputWhy)) return injector;
    }
    if (auto injector = XTestInjector::Open(nullptr, &why)) {
      if (!uinputWhy.empty()) Say("uinput unavailable: " + uinputWhy + "; using XTest");
      return injector;
    }
    const std::string uinputPart = uinputWhy.empty() ? "no writable " + uinputPath : "uinput unavailable: " + uinputWhy;
    return Recording(defaultRecordPath, uinputPart + ", " + why);
  }
  return Recording(defaultRecordPath, "unknown ORV_INPUT choice \"" + std::string(choice) + "\"");
}

std::string InjectorChoiceFromEnvironment() {
  const char* value = std::getenv("ORV_INPUT");
  return value ? std::string(value) : std::string();
}

}  // namespace orv
