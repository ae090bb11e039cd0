#include "sim/sim_commands.h"

#include <algorithm>
#include <cstdint>

#include "device/device_io.h"
#include "sim/sim_server.h"
#include "sim/sim_text.h"

namespace orv::sim {

namespace {

using Kind = CommandArgument::Kind;

// "standard 0-5 or extra 1024-1041", from the mouse's button ranges.
const std::string& ButtonIdRanges() {
  static const std::string kText = Format("standard 0-%d or extra %d-%d", kStandardButtonCount - 1, kFirstExtraButton,
                                          kFirstExtraButton + kExtraButtonCount - 1);
  return kText;
}

CommandArgument ButtonIdArgument() {
  static const std::string kMeaning = "a button id, " + ButtonIdRanges();
  return {Kind::Number, "ID", nullptr, false, 0, INT32_MAX, kMeaning.c_str()};
}

std::string Quoted(const std::string& word) { return "\"" + word + "\""; }

std::string ArgumentSynopsis(const CommandArgument& argument) {
  std::string text = argument.name;
  if (argument.kind == Kind::Option) text += std::string(" ") + argument.value;
  return argument.optional ? "[" + text + "]" : text;
}

// What the usage text shows on an argument's line: "--memory UNITS", "ID".
std::string ArgumentLabel(const CommandArgument& argument) {
  std::string text = argument.name;
  if (argument.kind == Kind::Option) text += std::string(" ") + argument.value;
  return text;
}

std::string RangeText(const CommandArgument& argument) {
  return std::to_string(argument.low) + "-" + std::to_string(argument.high);
}

// The number of an argument, or what is wrong with it.
bool TakeNumber(const SimCommand& command, const CommandArgument& argument, const std::string& word, uint32_t& value,
                std::string& error) {
  const std::string what = std::string(command.name) + ": " + ArgumentLabel(argument) + " " + Quoted(word);
  uint64_t n = 0;
  if (!ParseNumber(word, 0, UINT64_MAX, n)) {
    error = what + " is not a number (decimal, or hexadecimal after 0x)";
    return false;
  }
  if (n < argument.low || n > argument.high) {
    error = what + " is out of range " + RangeText(argument) + " (" + argument.meaning + ")";
    return false;
  }
  value = static_cast<uint32_t>(n);
  return true;
}

bool ParseArguments(const SimCommand& command, const std::vector<std::string>& words, CommandLine& line,
                    std::string& error) {
  const std::vector<CommandArgument>& arguments = command.arguments;
  line.command = &command;
  line.values.assign(arguments.size(), std::nullopt);
  size_t nextNumber = 0;  // the next positional argument to fill
  for (size_t w = 1; w < words.size(); ++w) {
    const std::string& word = words[w];
    if (word.rfind("--", 0) == 0) {
      size_t a = 0;
      while (a < arguments.size() && !(arguments[a].kind != Kind::Number && word == arguments[a].name)) ++a;
      if (a == arguments.size()) {
        error = std::string(command.name) + ": unknown option " + Quoted(word);
        return false;
      }
      if (line.values[a]) {
        error = std::string(command.name) + ": " + word + " is given twice";
        return false;
      }
      if (arguments[a].kind == Kind::Flag) {
        line.values[a] = 1;
        continue;
      }
      if (w + 1 == words.size()) {
        error = std::string(command.name) + ": " + word + " needs " + arguments[a].value + " (" + arguments[a].meaning +
                ")";
        return false;
      }
      uint32_t value = 0;
      if (!TakeNumber(command, arguments[a], words[++w], value, error)) return false;
      line.values[a] = value;
      continue;
    }
    while (nextNumber < arguments.size() && arguments[nextNumber].kind != Kind::Number) ++nextNumber;
    if (nextNumber == arguments.size()) {
      error = std::string(command.name) + ": " +
              (arguments.empty() ? "takes no arguments, " + Quoted(word) + " is one too many"
                                 : Quoted(word) + " is one argument too many");
      return false;
    }
    uint32_t value = 0;
    if (!TakeNumber(command, arguments[nextNumber], word, value, error)) return false;
    line.values[nextNumber++] = value;
  }
  for (size_t a = 0; a < arguments.size(); ++a) {
    if (!arguments[a].optional && !line.values[a]) {
      error =
          std::string(command.name) + ": " + ArgumentLabel(arguments[a]) + " is missing (" + arguments[a].meaning + ")";
      return false;
    }
  }
  return true;
}

std::string CommandNames() {
  std::string names;
  for (const SimCommand& command : Commands()) names += (names.empty() ? "" : ", ") + std::string(command.name);
  return names;
}

}  // namespace

bool CommandLine::Given(std::string_view argument) const {
  if (!command) return false;
  for (size_t a = 0; a < command->arguments.size() && a < values.size(); ++a) {
    if (argument == command->arguments[a].name) return values[a].has_value();
  }
  return false;
}

uint32_t CommandLine::Value(std::string_view argument, uint32_t fallback) const {
  if (!command) return fallback;
  for (size_t a = 0; a < command->arguments.size() && a < values.size(); ++a) {
    if (argument == command->arguments[a].name) return values[a].value_or(fallback);
  }
  return fallback;
}

const std::vector<SimCommand>& Commands() {
  static const std::vector<SimCommand> kCommands = {
      {"serve",
       {{Kind::Flag, "--absent", nullptr, true, 0, 1, "start with the device absent until plug"},
        {Kind::Option, "--memory", "UNITS", true, 0, UINT8_MAX,
         "on-board memory in units of 512 bytes, 16 when not given"},
        {Kind::Option, "--firmware", "WORD", true, 1, UINT16_MAX,
         "firmware version word, major x 256 + minor as in 0x0204; the state file's or 0x0203 when not given"}},
       "run the simulator: the device socket and the command socket (also with no command, or options only)",
       nullptr},
      {"press", {ButtonIdArgument()}, "press a button of the mouse", &SimServer::PressCommand},
      {"release", {ButtonIdArgument()}, "release a button of the mouse", &SimServer::ReleaseCommand},
      {"plug", {}, "plug the mouse in (an absent device appears first)", &SimServer::PlugCommand},
      {"unplug", {}, "pull the mouse out: the device stays, the mouse's requests fail", &SimServer::UnplugCommand},
      {"remove", {}, "remove the device: its socket goes and its client is closed", &SimServer::RemoveCommand},
      {"fail",
       {{Kind::Number, "CODE", nullptr, false, 0, UINT32_MAX, "a request code the driver answers, as in 0x222540"},
        {Kind::Number, "ERROR", nullptr, true, 1, UINT32_MAX,
         "the error the request fails with, not 0; 31 when not given"}},
       "make the next request with CODE fail with ERROR (each fail arms one more)",
       &SimServer::FailCommand},
      {"state", {}, "print the state of the driver and the mouse as one JSON object", &SimServer::StateCommand},
      {"transcript", {}, "print every request, event and note so far, one per line", &SimServer::TranscriptCommand},
      {"quit", {}, "end the running simulator", &SimServer::QuitCommand},
      {"help", {}, "print this text", nullptr},
  };
  return kCommands;
}

bool ParseCommandLine(const std::vector<std::string>& words, CommandLine& line, std::string& error) {
  line = CommandLine{};
  if (words.empty()) {
    error = "no command given; the commands are " + CommandNames();
    return false;
  }
  for (const SimCommand& command : Commands()) {
    if (words[0] != command.name) continue;
    if (ParseArguments(command, words, line, error)) return true;
    error += "\nusage: " + CommandSynopsis(command);
    line = CommandLine{};
    return false;
  }
  error = "unknown command " + Quoted(words[0]) + "; the commands are " + CommandNames();
  return false;
}

std::string CommandSynopsis(const SimCommand& command) {
  std::string text = command.name;
  for (const CommandArgument& argument : command.arguments) text += " " + ArgumentSynopsis(argument);
  return text;
}

std::string CommandUsage(const char* program) {
  std::string text = std::string("usage: ") + program + " [COMMAND [ARGUMENTS]]\n";
  for (const SimCommand& command : Commands()) {
    text += "  " + CommandSynopsis(command) + "\n";
    text += std::string("      ") + command.help + "\n";
    for (const CommandArgument& argument : command.arguments) {
      std::string label = ArgumentLabel(argument);
      if (argument.kind == Kind::Number) label += ":";
      label.resize(std::max<size_t>(label.size() + 1, 18), ' ');
      text += "        " + label + argument.meaning + "\n";
    }
  }
  return text;
}

}  // namespace orv::sim

// ---- the running simulator's side ----

namespace orv::sim {

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    const size_t start = line.find_first_not_of(" \t\r\n\v\f", at);
    if (start == std::string::npos) break;
    const size_t end = std::min(line.find_first_of(" \t\r\n\v\f", start), line.size());
    words.push_back(line.substr(start, end - start));
    at = end;
  }
  return words;
}

std::string Hex32(uint32_t v) { return Format("0x%08X", v); }

}  // namespace

CommandReply SimServer::Execute(const std::string& line) {
  CommandLine command;
  std::string error;
  CommandReply reply;
  if (!ParseCommandLine(Words(line), command, error)) {
    reply = {1, error};
  } else if (!command.command->run) {
    reply = {1, std::string(command.command->name) + ": not a command for a running simulator"};
  } else {
    reply = (this->*command.command->run)(command);
  }
  FlushNotices();
  return reply;
}

CommandReply SimServer::PressCommand(const CommandLine& line) { return ButtonCommand(line.Value("ID"), true); }
CommandReply SimServer::ReleaseCommand(const CommandLine& line) { return ButtonCommand(line.Value("ID"), false); }

CommandReply SimServer::ButtonCommand(uint32_t id, bool down) {
  using Outcome = MouseModel::ButtonOutcome;
  const Outcome outcome = down ? model_.Press(static_cast<int>(id)) : model_.Release(static_cast<int>(id));
  switch (outcome) {
    case Outcome::Reported: {
      const std::vector<uint32_t> pending = model_.PendingEvents();
      return {0, "event=" + Hex32(pending.empty() ? 0 : pending.back())};
    }
    case Outcome::PassedThrough:
      return {0, "passthrough id=" + std::to_string(id) + (down ? " down" : " up")};
    case Outcome::Dropped:
      return {0, "dropped: no client is registered or the event queue is full"};
    case Outcome::Unchanged:
      return {0, "unchanged: button " + std::to_string(id) + " is already " + (down ? "down" : "up")};
    case Outcome::NotReady:
      return {1, "the mouse is not there (unplugged, absent or in the firmware loader)"};
    case Outcome::UnknownButton:
      return {1, "unknown button id " + std::to_string(id) + " (" + ButtonIdRanges() + ")"};
  }
  return {1, "unknown outcome"};
}

CommandReply SimServer::PlugCommand(const CommandLine&) {
  if (deviceListen_ < 0) {
    std::string error;
    if (!OpenDeviceSocket(error)) return {1, error};
    model_.Plug();
    return {0, "device present, mouse plugged"};
  }
  return model_.Plug() ? CommandReply{0, "mouse plugged"} : CommandReply{0, "mouse already plugged"};
}

CommandReply SimServer::UnplugCommand(const CommandLine&) {
  if (deviceListen_ < 0) return {1, "the device is absent"};
  return model_.Unplug() ? CommandReply{0, "mouse unplugged"} : CommandReply{0, "mouse already unplugged"};
}

CommandReply SimServer::RemoveCommand(const CommandLine&) {
  if (deviceListen_ < 0) return {0, "device already absent"};
  CloseDeviceClient();
  CloseDeviceSocket();
  model_.Unplug();
  model_.Note("device-removed");
  return {0, "device removed"};
}

CommandReply SimServer::FailCommand(const CommandLine& line) {
  const uint32_t code = line.Value("CODE");
  const uint32_t error = line.Value("ERROR", device_error::ERROR_GEN_FAILURE);
  if (!MouseModel::KnownCode(code)) return {1, "fail: unknown IOCTL code " + Hex32(code)};
  model_.ArmFailure(code, error);
  return {0, std::string("next ") + MouseModel::CodeName(code) + " fails with error " + std::to_string(error)};
}

CommandReply SimServer::StateCommand(const CommandLine&) {
  return {0, model_.StateJson({{"present", deviceListen_ >= 0 ? "true" : "false"},
                               {"client", deviceClient_ >= 0 ? "true" : "false"}})};
}

CommandReply SimServer::TranscriptCommand(const CommandLine&) {
  std::string text;
  for (const std::string& entry : model_.Transcript()) text += entry + "\n";
  return {0, text};
}

CommandReply SimServer::QuitCommand(const CommandLine&) {
  quitRequested_ = true;
  return {0, "bye"};
}

}  // namespace orv::sim
