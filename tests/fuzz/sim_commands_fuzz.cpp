// Fuzz target for the simulator's command lines: the words of the program's command line and
// the lines anyone may send to the running simulator's command socket. Each part is one line,
// carried out in turn by a fresh simulator (not serving, model on a virtual clock). A line is
// done or refused with a status of 0 or 1; a refused parse says what is wrong; what parses has
// every argument within the command's range.
#include <string>
#include <vector>

#include "base/files.h"
#include "fuzz_input.h"
#include "platform/clock.h"
#include "sim/mouse_model.h"
#include "sim/sim_commands.h"
#include "sim/sim_server.h"

namespace {

using namespace orv;

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    const size_t start = line.find_first_not_of(" \t\r\n\v\f", at);
    if (start == std::string_view::npos) break;
    const size_t end = std::min(line.find_first_of(" \t\r\n\v\f", start), line.size());
    words.emplace_back(line.substr(start, end - start));
    at = end;
  }
  return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string devicePath = JoinPath(fuzz::ScratchFolder(), "cmd-device");
  static const std::string controlPath = JoinPath(fuzz::ScratchFolder(), "cmd-control");
  const auto parts = fuzz::SplitParts(data, size, 32);

  VirtualClock clock;
  sim::MouseModel model(clock);
  sim::SimServer server(model, devicePath, controlPath);
  for (std::string_view part : parts) {
    const std::vector<std::string> words = Words(part);
    sim::CommandLine line;
    std::string error;
    if (sim::ParseCommandLine(words, line, error)) {
      ORV_FUZZ_CHECK(line.command && line.values.size() == line.command->arguments.size());
      for (size_t a = 0; a < line.values.size(); ++a) {
        const sim::CommandArgument& argument = line.command->arguments[a];
        if (!line.values[a]) {
          ORV_FUZZ_CHECK(argument.optional);
          continue;
        }
        ORV_FUZZ_CHECK(*line.values[a] >= argument.low && *line.values[a] <= argument.high);
      }
    } else {
      ORV_FUZZ_CHECK(!line.command && !error.empty());
    }
    const sim::CommandReply reply = server.Execute(std::string(part));
    ORV_FUZZ_CHECK(reply.status == 0 || reply.status == 1);
    if (!line.command) ORV_FUZZ_CHECK(reply.status == 1 && !reply.text.empty());
    clock.Advance(1000);
    model.Poll();
  }
  return 0;
}
