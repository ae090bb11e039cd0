#pragma once
// The simulator program's commands as one table: each command's name, its arguments, what it
// does and who carries it out. The usage text is made from it, and a command line is checked
// against it twice: by the command line before it is sent (so a mistake is told even when no
// simulator runs) and by the running simulator, which takes lines from anyone on its socket.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::sim {

class SimServer;
struct CommandLine;

struct CommandReply {
  int status = 0;    // 0 done, 1 refused (bad command or nothing to do it on)
  std::string text;  // what the command line prints
};

struct CommandArgument {
  enum class Kind {
    Number,  // positional: decimal, or hexadecimal after 0x
    Flag,    // an option on its own: "--absent"
    Option,  // an option followed by a number: "--memory UNITS"
  };
  Kind kind;
  const char* name;   // "ID", "--absent", "--memory"
  const char* value;  // an option's number as the usage shows it ("UNITS"); null otherwise
  bool optional;
  uint32_t low, high;   // the numbers taken
  const char* meaning;  // for the usage text and for what is wrong
};

struct SimCommand {
  const char* name;
  std::vector<CommandArgument> arguments;
  const char* help;
  // How the running simulator carries it out; null for what the program does itself (serve,
  // help).
  CommandReply (SimServer::*run)(const CommandLine&);
};

// A command line checked against its command's arguments.
struct CommandLine {
  const SimCommand* command = nullptr;
  // One per argument of the command, in the table's order: the number, 1 for a flag that is
  // there, nothing for an optional argument left out.
  std::vector<std::optional<uint32_t>> values;

  // By the argument's name in the table ("ID", "--memory").
  bool Given(std::string_view argument) const;
  uint32_t Value(std::string_view argument, uint32_t fallback = 0) const;
};

// Every command, in the order the usage text lists them.
const std::vector<SimCommand>& Commands();

// Checks the words of a command line (command first). False, with `error` saying what is wrong
// followed by the command's usage line, when they do not make a command.
bool ParseCommandLine(const std::vector<std::string>& words, CommandLine& line, std::string& error);

// "press ID", "serve [--absent] [--memory UNITS] [--firmware WORD]".
std::string CommandSynopsis(const SimCommand& command);

// The program's usage text: every command with its arguments and what it does.
std::string CommandUsage(const char* program);

}  // namespace orv::sim
