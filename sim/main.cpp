// OrvMouseSim: the stand-in for the driver and the mouse.
//
//   OrvMouseSim [serve] [--absent] [--memory UNITS] [--firmware WORD]
//       runs the simulator on DevicePath() and its command socket.
//   OrvMouseSim press ID | release ID | plug | unplug | remove | fail CODE [ERROR] | state |
//               transcript | quit
//       tells the running simulator.
#include <csignal>
#include <cstdio>
#include <cstring>
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

constexpr const char* kUsage =
    "usage: OrvMouseSim [serve] [--absent] [--memory UNITS] [--firmware WORD]\n"
    "       OrvMouseSim press ID | release ID | plug | unplug | remove | fail CODE [ERROR] |\n"
    "                   state | transcript | quit\n";

bool ParseNumber(const char* text, unsigned long max, unsigned long& value) {
  char* end = nullptr;
  const bool hex = std::strncmp(text, "0x", 2) == 0 || std::strncmp(text, "0X", 2) == 0;
  value = std::strtoul(hex ? text + 2 : text, &end, hex ? 16 : 10);
  return *text && end && *end == '\0' && end != (hex ? text + 2 : text) && value <= max;
}

int Serve(const std::vector<std::string>& options) {
  orv::sim::MouseConfig config;
  bool present = true;
  bool firmwareGiven = false;
  uint16_t firmware = 0;
  for (size_t i = 0; i < options.size(); ++i) {
    unsigned long value = 0;
    if (options[i] == "--absent") {
      present = false;
    } else if (options[i] == "--memory" && i + 1 < options.size() && ParseNumber(options[i + 1].c_str(), 255, value)) {
      config.memoryUnits = static_cast<uint8_t>(value);
      ++i;
    } else if (options[i] == "--firmware" && i + 1 < options.size() &&
               ParseNumber(options[i + 1].c_str(), 0xFFFF, value) && value != 0) {
      firmware = static_cast<uint16_t>(value);
      firmwareGiven = true;
      ++i;
    } else {
      std::fprintf(stderr, "OrvMouseSim: bad option %s\n%s", options[i].c_str(), kUsage);
      return 1;
    }
  }
  const std::string folder = orv::DeviceFolder();
  if (folder.empty() || !orv::MakeFolders(folder)) {
    std::fprintf(stderr, "OrvMouseSim: no device folder (%s)\n", folder.c_str());
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
    std::fprintf(stderr, "OrvMouseSim: %s\n", error.c_str());
    return 1;
  }
  std::printf("OrvMouseSim: ready, device %s%s, commands %s\n", orv::DevicePath().c_str(), present ? "" : " (absent)",
              orv::sim::ControlPath().c_str());
  std::fflush(stdout);
  server.Run();
  g_server = nullptr;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "serve" || args[0].rfind("--", 0) == 0) {
    if (!args.empty() && args[0] == "serve") args.erase(args.begin());
    if (!args.empty() && (args[0] == "--help")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    return Serve(args);
  }
  if (args[0] == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::string line;
  for (const std::string& arg : args) {
    if (arg.find('\n') != std::string::npos) {
      std::fprintf(stderr, "OrvMouseSim: bad argument\n");
      return 1;
    }
    line += (line.empty() ? "" : " ") + arg;
  }
  return orv::sim::RunCommand(orv::sim::ControlPath(), line);
}
