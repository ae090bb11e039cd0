#pragma once
// What the window bus's files share inside the link library; not for its users.
//
//   bus_folder.cpp      the bus folder and whose windows count
//   bus_endpoint.cpp    a window's endpoint files: its socket and its .window file
//   bus_scan.cpp        the scan of the folder behind FindWindow
//   bus_queue.cpp       threads, their queues, delivery within the process, modal scopes
//   bus_socket.cpp      connections and frames between processes
//   bus_registered.cpp  registered messages
//   window_bus.cpp      the public calls
#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "link/bus_frame.h"
#include "link/window_bus.h"

namespace orv::bus::internal {

uint64_t NowMs();

// ---- The bus folder (bus_folder.cpp) --------------------------------------------------------

struct Folder {
  std::string path;       // empty when no folder can be used
  uid_t sessionUser = 0;  // a root process: the user whose session folder this is (0: none)
};
// The folder in use, chosen and checked again on every call (the environment may change).
Folder CurrentFolder();
// Whether files, sockets and windows of this user count for the calling process: its own,
// root's, and for a root process the user of the session folder it uses.
bool TrustedUser(uid_t uid);
bool TrustedUser(uid_t uid, const Folder& folder);
// Reads a regular file of at most maxSize bytes without following a link and without blocking
// on a FIFO or device; false for anything else. `st` gets the file's status.
bool ReadBoundedFile(const std::string& path, size_t maxSize, std::string& bytes, struct stat& st);

// ---- Endpoint files (bus_endpoint.cpp) ------------------------------------------------------

inline constexpr size_t kMaxInfoFileSize = 4096;

std::string SocketPath(const std::string& folder, WindowHandle h);
std::string InfoPath(const std::string& folder, WindowHandle h);
// Field 22 of /proc/<pid>/stat: the start time, which tells a live owner from a process that
// merely got the same id later.
uint64_t ProcessStartTime(pid_t pid);

struct EndpointInfo {
  pid_t pid = 0;
  uint64_t start = 0;
  uid_t uid = 0;  // the owner of the .window file
  std::u16string title;
};

std::string InfoText(pid_t pid, uint64_t start, std::u16string_view title);
// Reads the .window file of a handle: a regular file of a trusted user, of bounded size, read
// without following links or blocking; false for anything else.
bool ReadInfo(const Folder& folder, WindowHandle h, EndpointInfo& info);
bool OwnerAlive(const EndpointInfo& info);
// Whether a window counts: its .window file was read (ReadInfo) and its socket is a socket of
// the same user.
bool SocketMatches(const Folder& folder, WindowHandle h, const EndpointInfo& info);
// Reads the .window file and checks the socket and the owner's life: a window that counts.
bool ReadLiveEndpoint(const Folder& folder, WindowHandle h, EndpointInfo& info);
// Removes the files of a window of this process, or of a trusted user's dead process.
void RemoveEndpointFiles(const std::string& folder, WindowHandle h);
enum class Claim { kClaimed, kTaken, kFailed };
// Makes the .window file of a new window (never through a link, never over another file).
Claim ClaimEndpoint(const std::string& folder, WindowHandle h, std::u16string_view title);
// Replaces the .window file of a window of this process with a new file.
bool RewriteEndpoint(const std::string& folder, WindowHandle h, std::u16string_view title);
// The listening socket of a new window, mode 0600; -1 when it cannot be made.
int ListenEndpoint(const std::string& folder, WindowHandle h);

// ---- Folder scan (bus_scan.cpp) -------------------------------------------------------------

WindowHandle FindLive(std::u16string_view title);
// Every handle with a .window file in the folder.
std::vector<WindowHandle> AllHandles();

// ---- Threads and local queues (bus_queue.cpp) -----------------------------------------------

struct SendWaiter {
  std::atomic<bool> done{false};
  LResult result = 0;
  bool delivered = false;
  std::shared_ptr<int> wake;  // the sender's thread eventfd, kept open while the waiter lives
};

struct QueuedMessage {
  WindowHandle window;
  uint32_t code;
  WParam wParam;
  LParam lParam;
  pid_t sender;
  std::shared_ptr<SendWaiter> waiter;  // null for a posted message
};

struct ThreadContext;

struct LocalWindow {
  MessageTarget* target = nullptr;
  ThreadContext* thread = nullptr;
  int listenFd = -1;
  std::u16string title;
  std::string folder;  // the bus folder it was made in
};

// A connection accepted on one of this thread's windows.
struct Incoming {
  WindowHandle window;
  pid_t peer;
};

// A connection to another process's window.
struct Outgoing {
  int fd = -1;
  uint32_t unanswered = 0;  // sends that timed out and whose answers have not come yet
};

// A ModalScope adds 1 to its window's count in ThreadContext::modal, or this when it refuses sends.
inline constexpr int kRefusingStep = 0x10000;

struct ThreadContext {
  int epollFd = -1;
  int eventFd = -1;
  // Owns eventFd: a thread that takes it under the lock to wake this one afterwards keeps it
  // open until it has written, even if this thread ends meanwhile.
  std::shared_ptr<int> eventFdOwner;
  // Filled by any thread (under the process lock), drained by the owner.
  std::deque<QueuedMessage> queue;
  // Posted messages read while waiting in Send, handled by the next DispatchPending.
  std::deque<QueuedMessage> deferred;
  // Posted messages for windows under a ModalScope, handled when the scope ends.
  std::deque<QueuedMessage> held;
  std::unordered_map<WindowHandle, int> modal;  // windows under a ModalScope
  std::unordered_map<int, WindowHandle> listeners;
  std::unordered_map<int, Incoming> incoming;
  std::unordered_map<WindowHandle, Outgoing> outgoing;  // cached connections to other processes' windows
  uint32_t nextSequence = 1;
  int sendDepth = 0;

  ThreadContext();
  ~ThreadContext();
};

extern std::mutex g_mutex;  // guards g_windows, g_threads and every ThreadContext::queue
extern std::unordered_map<WindowHandle, LocalWindow> g_windows;

ThreadContext& Self();
void Wake(int eventFd);
void WatchFd(ThreadContext& t, int fd);
// Calls the window's handler. 0 (and not delivered) when the window is gone by now.
LResult Deliver(WindowHandle h, uint32_t code, WParam w, LParam l, pid_t sender, bool* delivered);
// A message sent to a window of this thread from elsewhere: delivered, or refused at once when
// the window's handler runs a modal loop that refuses sends.
LResult DeliverSent(ThreadContext& t, WindowHandle h, uint32_t code, WParam w, LParam l, pid_t sender,
                    bool* delivered);
// A posted message: delivered now, kept for after the current Send (sendsOnly) or kept for
// after the window's modal loop.
void DeliverPosted(ThreadContext& t, QueuedMessage&& m, bool sendsOnly);
void FinishWaiter(const std::shared_ptr<SendWaiter>& waiter, LResult result, bool delivered);
void DrainQueue(ThreadContext& t, bool sendsOnly, size_t& handled);
ThreadContext* OwnerThread(WindowHandle h, bool* local);
bool PostLocal(WindowHandle h, QueuedMessage m);

// ---- Sockets and frames (bus_socket.cpp) ----------------------------------------------------

void CloseIncoming(ThreadContext& t, int fd);
void DropOutgoing(ThreadContext& t, WindowHandle h);
void AcceptAll(ThreadContext& t, int listenFd, WindowHandle h);
void ReadIncoming(ThreadContext& t, int fd, bool sendsOnly, size_t& handled);
// One round over everything ready for the calling thread, without blocking.
size_t ServiceReady(ThreadContext& t, bool sendsOnly);
// Waits for `fd` (events) or messages sent to this thread, servicing the latter, until `ready`
// says so. timeoutMs < 0 waits without limit. Returns false on time-out.
bool WaitServicing(ThreadContext& t, int fd, short events, int timeoutMs, const std::function<bool(short)>& ready);
// A cached connection to another process's window, or null.
Outgoing* Connection(ThreadContext& t, WindowHandle h);
// Writes one frame, waiting for room (and serving sends to this thread meanwhile) up to
// timeoutMs (< 0: as long as the receiver lives).
bool WriteFrame(ThreadContext& t, WindowHandle h, int fd, const BusFrame& f, int timeoutMs);

}  // namespace orv::bus::internal
