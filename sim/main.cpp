// OrvMouseSim: the stand-in for the driver and the mouse.
//
//   OrvMouseSim [serve] [--absent] [--memory UNITS] [--firmware WORD]
//       runs the simulator on DevicePath() and its command socket.
//   OrvMouseSim press ID | release ID | plug | unplug | remove | fail CODE [ERROR] | state |
//               transcript | quit
//       tells the running simulator.
//   OrvMouseSim help
//       prints every command with its arguments (the command table in sim_commands.cpp).
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "device/device_io.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "sim/mouse_model.h"
#include "sim/sim_server.h"

namespace {

orv::sim::SimServer* g_server = nullptr;

void OnStopSignal(int) {
  if (g_server) g_server->Stop();
}

constexpr const char* kProgram = "OrvMouseSim";

int Serve(const orv::sim::CommandLine& line) {
  orv::sim::MouseConfig config;
  const bool present = !line.Given("--absent");
  config.memoryUnits = static_cast<uint8_t>(line.Value("--memory", config.memoryUnits));
  const bool firmwareGiven = line.Given("--firmware");
  const uint16_t firmware = static_cast<uint16_t>(line.Value("--firmware"));
  const std::string folder = orv::DeviceFolder();
  if (folder.empty() || !orv::MakeFolders(folder)) {
    std::fprintf(stderr, "%s: no device folder (%s)\n", kProgram, folder.c_str());
    return 1;
  }
  config.pluggedAtStart = present;
  orv::sim::MouseModel model(orv::ProcessClock(), config);
  model.SetStatePath(orv::sim::StatePath());
  model.LoadState();
  if (firmwareGiven) model.SetFirmwareWord(firmware);

  orv::sim::SimServer server(model, orv::DevicePath(), orv::sim::ControlPath());
  // Before the sockets exist, so that whoever sees them can already end the simulator in order.
  g_server = &server;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  std::string error;
  if (!server.Start(present, error)) {
    g_server = nullptr;
    std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
    return 1;
  }
  std::printf("%s: ready, device %s%s, commands %s\n", kProgram, orv::DevicePath().c_str(), present ? "" : " (absent)",
              orv::sim::ControlPath().c_str());
  std::fflush(stdout);
  server.Run();
  g_server = nullptr;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  // No command, or options only: serve. "--help", also after serve, is help.
  if (words.empty() || words[0].rfind("--", 0) == 0) words.insert(words.begin(), "serve");
  if (words.size() == 2 && words[0] == "serve" && words[1] == "--help") words = {"help"};

  orv::sim::CommandLine line;
  std::string error;
  if (!orv::sim::ParseCommandLine(words, line, error)) {
    std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
    return 1;
  }
  const std::string name = line.command->name;
  if (name == "help") {
    std::fputs(orv::sim::CommandUsage(kProgram).c_str(), stdout);
    return 0;
  }
  if (name == "serve") return Serve(line);
  std::string text;
  for (const std::string& word : words) {
    if (word.find_first_of("\r\n") != std::string::npos) {
      std::fprintf(stderr, "%s: an argument holds a line break\n", kProgram);
      return 1;
    }
    text += (text.empty() ? "" : " ") + word;
  }
  return orv::sim::RunCommand(orv::sim::ControlPath(), text);
}
