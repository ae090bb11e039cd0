#pragma once
// The pipe that carries the panel's window messages to an agent running with higher rights
// than the panel, where the window bus would refuse them. Each record is a message (code,
// wParam, lParam) in 12 little-endian bytes; the receiving side delivers it to its own window
// with Send. One component serves both roles: the agent is the server, the panel the client.
//
// The pipe is a Unix sequenced-packet socket <pipe folder>/ORVTidefallMouse with mode 0666, so
// any user may connect; because of that, the server accepts only exact 12-byte records with
// the four panel-to-agent codes and drops everything else, and it serves at most two
// connections of each user (told by the peer's credentials), never a number in all: no user's
// idle connections can keep another user's panel out. A connection over its user's two is
// told so with a 4-byte notice and closed; the client takes that as a busy pipe and tries
// again, as a client finding every instance busy does, for up to 20 s.
//
// The worker thread shares the channel's state and keeps it alive until it ends, so the
// channel may be destroyed anywhere, on the worker thread too (from a record's handler).
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/window_bus.h"
#include "platform/clock.h"

namespace orv {

inline constexpr size_t kPipeRecordSize = 12;
// Connections the server serves for one user at a time.
inline constexpr int kPipeConnectionsPerUser = 2;
// What the server writes to a connection over its user's limit before closing it.
inline constexpr std::array<uint8_t, 4> kPipeBusyNotice = {'B', 'U', 'S', 'Y'};

// $ORV_PIPE_DIR, else /tmp.
std::string PipeFolder();
// The pipe's socket path for a pipe name.
std::string PipePath(std::string_view name);

// The 12-byte record and its reading. ParsePipeRecord is false for anything but exactly 12 bytes.
std::array<uint8_t, kPipeRecordSize> MakePipeRecord(uint32_t code, uint32_t wParam, uint32_t lParam);
bool ParsePipeRecord(const uint8_t* bytes, size_t size, uint32_t& code, uint32_t& wParam, uint32_t& lParam);

class PipeChannel {
 public:
  enum Role { kServer = 0, kClient = 1 };
  enum EntryState { kConnecting = 0, kReading = 1 };
  // Called on the worker thread with each record accepted.
  using RecordHandler = std::function<void(uint32_t code, uint32_t wParam, uint32_t lParam)>;

  // `window` receives the records (0: they are read and discarded). `path` is the socket path.
  // The client's wait for a free instance runs on `clock` (the process clock when null).
  PipeChannel(WindowHandle window, std::string path, Role role, Clock* clock = nullptr);
  // The records go to `handler` instead of a window.
  PipeChannel(RecordHandler handler, std::string path, Role role, Clock* clock = nullptr);
  // Stops the worker and waits for it, answering the messages it sends meanwhile; on the
  // worker thread itself, stops it and lets it end on its own.
  ~PipeChannel();
  PipeChannel(const PipeChannel&) = delete;
  PipeChannel& operator=(const PipeChannel&) = delete;

  // 1 when the worker thread started, 0 when it is already running (or ran), -1 when the
  // thread cannot be created.
  int Start();
  // Ends the worker: clears the running flag and wakes it.
  void Stop();
  // Writes the record to every entry in the reading state; always 1. An entry whose write
  // fails is reset as by Reconnect.
  int PipeSend(uint32_t code, uint32_t wParam, uint32_t lParam);
  // Drops the entry's client and waits for the next one (server); a client entry is closed.
  // 1 when the entry waits for a client again, 0 otherwise.
  int Reconnect(int entry);

  bool Running() const;
  // Whether the worker has ended (after Stop, or after an unrecoverable error).
  bool Finished() const;
  // How many entries are in the reading state (a client connected).
  int ConnectedEntries() const;
  // Records dropped by the server because of their size or code.
  uint32_t DroppedRecords() const;
  // Connections the server turned away because their user had all its connections.
  uint32_t RefusedConnections() const;

  struct State;  // shared by the channel and its worker thread

 private:
  std::shared_ptr<State> state_;
  std::thread worker_;
};

}  // namespace orv
