#pragma once
// The pipe that carries the panel's window messages to an agent running with higher rights
// than the panel, where the window bus would refuse them. Each record is a message (code,
// wParam, lParam) in 12 little-endian bytes; the receiving side delivers it to its own window
// with Send. One component serves both roles: the agent is the server, the panel the client.
//
// The pipe is a Unix sequenced-packet socket <pipe folder>/ORVTidefallMouse with mode 0666, so
// any user may connect; because of that, the server accepts only exact 12-byte records with
// the four panel-to-agent codes and drops everything else.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "link/window_bus.h"
#include "platform/clock.h"

namespace orv {

inline constexpr size_t kPipeRecordSize = 12;

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

  // `window` receives the records (0: they are read and discarded). `path` is the socket path.
  // The client's wait for a free instance runs on `clock` (the process clock when null).
  PipeChannel(WindowHandle window, std::string path, Role role, Clock* clock = nullptr);
  // Stops the worker and waits for it, answering the messages it sends meanwhile.
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

  bool Running() const { return running_; }
  // Whether the worker has ended (after Stop, or after an unrecoverable error).
  bool Finished() const { return finished_; }
  // How many entries are in the reading state (a client connected).
  int ConnectedEntries() const;
  // Records dropped by the server because of their size or code.
  uint32_t DroppedRecords() const { return dropped_; }

 private:
  struct Entry {
    int fd = -1;
    EntryState state = kConnecting;
  };
  void ServerWorker();
  int ClientWorker();
  // Reads what waits on one entry; false when its peer is gone.
  bool ReadEntry(int entry);
  void ResetEntryLocked(int entry);
  void CloseAll();

  WindowHandle window_;
  std::string path_;
  Role role_;
  Clock* clock_;
  std::atomic<bool> running_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> finished_{false};
  std::atomic<uint32_t> dropped_{0};
  int wakeFd_ = -1;
  int listenFd_ = -1;
  mutable std::mutex mutex_;  // guards entries_ between the worker and PipeSend
  Entry entries_[2];
  std::thread worker_;
};

}  // namespace orv
