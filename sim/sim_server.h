#pragma once
// The simulator program's two sockets and their loop.
//
// Device socket (DevicePath(), SOCK_SEQPACKET, mode 0600): the driver's control device. One
// client at a time, as the driver's exclusive open allows: a second client is greeted with a
// refusal (ERROR_SHARING_VIOLATION) and closed. Frames as in platform/device_protocol.h.
//
// Command socket (ControlPath(), SOCK_STREAM, mode 0600): one command line per connection,
// ended by '\n'; the answer is a status line ("0" or "1") followed by the text, then the
// simulator closes the connection.
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/mouse_model.h"
#include "sim/sim_commands.h"

namespace orv::sim {

// DeviceFolder()/OrvMouseSim.control.
std::string ControlPath();
// $ORV_SIM_STATE, else DeviceFolder()/OrvMouseSim.state.
std::string StatePath();

class SimServer {
 public:
  SimServer(MouseModel& model, std::string devicePath, std::string controlPath);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Binds the command socket, and the device socket when `present`. Fails when another
  // simulator answers on the command socket or a socket cannot be made.
  bool Start(bool present, std::string& error);
  // Serves until `quit` or Stop().
  void Run();
  // Ends Run from any thread or a signal handler.
  void Stop();

  // One command line, checked against the command table (sim_commands.h): press ID, release ID,
  // plug, unplug, remove, fail CODE [ERROR], state, transcript, quit.
  CommandReply Execute(const std::string& line);

 private:
  // The command table names the handlers below.
  friend const std::vector<SimCommand>& Commands();
  CommandReply PressCommand(const CommandLine& line);
  CommandReply ReleaseCommand(const CommandLine& line);
  CommandReply ButtonCommand(uint32_t id, bool down);
  CommandReply PlugCommand(const CommandLine& line);
  CommandReply UnplugCommand(const CommandLine& line);
  CommandReply RemoveCommand(const CommandLine& line);
  CommandReply FailCommand(const CommandLine& line);
  CommandReply StateCommand(const CommandLine& line);
  CommandReply TranscriptCommand(const CommandLine& line);
  CommandReply QuitCommand(const CommandLine& line);

  struct ControlClient {
    int fd = -1;
    std::string in;
    std::string out;
    bool answered = false;
    std::chrono::steady_clock::time_point since;
  };

  bool OpenDeviceSocket(std::string& error);
  void CloseDeviceSocket();
  void AcceptDeviceClient();
  void CloseDeviceClient();
  void ReadDeviceClient();
  void HandleDeviceFrame(const uint8_t* data, size_t size);
  void QueueToClient(std::vector<uint8_t> frame);
  void FlushDeviceClient();
  void FlushNotices();
  void AcceptControlClient();
  void ReadControlClient(ControlClient& client);
  void WriteControlClient(ControlClient& client);

  MouseModel& model_;
  const std::string devicePath_;
  const std::string controlPath_;
  int wakePipe_[2] = {-1, -1};
  int controlListen_ = -1;
  int deviceListen_ = -1;
  int deviceClient_ = -1;
  std::deque<std::vector<uint8_t>> outbox_;
  int pendingNotices_ = 0;
  std::vector<ControlClient> controlClients_;
  bool quitRequested_ = false;
  std::vector<uint8_t> buffer_;
};

// The command line side: sends `line` to the simulator at `controlPath`, prints its answer
// (stdout when done, stderr when refused) and returns the exit status: 0 done, 1 refused or
// no simulator running.
int RunCommand(const std::string& controlPath, const std::string& line);

}  // namespace orv::sim
