#pragma once
// The window bus: windows addressed by handle or title across the processes of the system.
//
// Every window that other programs reach (agent window, panel windows, tray program, control
// clients) registers an endpoint under a handle that any process can resolve: a socket per
// handle in the bus folder (mode 0600, so only its own user and root can deliver to it), and
// beside it a small file with the owner's process and the title, readable by all.
//
// Whose windows count. A window counts only when its .window file and its socket belong to
// one user, and that user is the caller's own or root; a root process also trusts the user of
// the session it serves (the owner of the session's bus folder, see BusFolder) and nobody
// else. A window of anyone else is never found, never resolved, never sent to; a connection
// from anyone but the window's own user and root is refused. Files on the bus are read
// without following links and without blocking (only regular files of a bounded size), and
// nothing is made or changed through a link or in a folder another user owns.
//
// Post queues a message and returns. Send waits for the handler's result; SendTimeout waits
// at most so long (what one program uses towards another, so a hung peer never freezes it).
// Messages to a window of the same process take no socket: posts are queued on the window's
// thread, sends are called directly on the same thread or queued with a wait on another.
//
// What runs while a thread waits, and re-entrancy:
//   - While a thread waits in Send or SendTimeout, messages *sent* to its windows (from
//     other threads and processes) are handled, so two programs sending to each other at once
//     never deadlock; *posted* messages (and timer ticks, which are posted) wait for the
//     message loop.
//   - A modal loop (QDialog::exec, QMessageBox, a nested QEventLoop) run inside a handler is
//     a message loop: every window of the thread gets its posted and sent messages there, as
//     on Windows, except the windows under a ModalScope. For those, posted messages and timer
//     ticks are held until the scope ends and then come first, in their order; sent messages
//     are still answered (the handler runs again, nested: a sender never waits for a dialog),
//     or, with ModalScope::kRefuseSends, answered at once with 0 as not delivered, so the
//     handler that opened the dialog is never re-entered.
//   - A window's handler that opens a modal loop therefore declares a ModalScope for its
//     window around it; a Send to a window of the same thread is a plain call, as always.
//
// A thread that owns windows runs its message loop by watching ThreadWaitFd() and calling
// DispatchPending() when it becomes readable (QtBusPump in link/qt/ does that inside a Qt
// event loop, nested loops included), or with PumpFor().
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace orv {

using WindowHandle = uint32_t;  // 0 is no window
using WParam = uint64_t;
using LParam = int64_t;
using LResult = int64_t;

// What a window is to the bus: something that handles messages on its own thread.
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual LResult HandleMessage(uint32_t code, WParam wParam, LParam lParam) = 0;
};

namespace bus {

// The folder of the endpoints, checked on every call: $ORV_BUS_DIR when it is safe to use,
// else $XDG_RUNTIME_DIR/orv-windows (made 0700) when the runtime folder is private to its user,
// else $TMPDIR/orv-windows-<uid> (or /tmp/...; the first of it and .1 to .8 that is the user's
// own and closed to others). Safe means: no link, and the caller's own folder (closed to
// others, or sticky), or root's sticky shared folder; for a root process also the session
// folder of the user owning $XDG_RUNTIME_DIR, who is then trusted. Empty when none can be used.
std::string BusFolder();

// Registers a window owned by the calling thread. 0 when the endpoint cannot be made.
WindowHandle CreateWindow(MessageTarget* target, std::u16string_view title);
// Removes the endpoint; messages still queued for it are dropped, waiting senders get 0.
void DestroyWindow(WindowHandle window);
bool SetWindowText(WindowHandle window, std::u16string_view title);
// The title of a window of any process; empty when it is gone.
std::u16string WindowText(WindowHandle window);

// A live window with exactly this title, or 0. Entries of dead processes are ignored and
// removed.
WindowHandle FindWindow(std::u16string_view title);
// Whether the handle names a live window.
bool IsWindow(WindowHandle window);
// The process id of the window's owner (from the socket's peer credentials, or from the
// endpoint's file when the socket belongs to another user); 0 when there is no such window.
pid_t WindowProcessId(WindowHandle window);

// Queues a message for the window. False when it cannot be delivered: no such window, a
// window of an untrusted user, or a queue that stays full for 100 ms.
bool Post(WindowHandle window, uint32_t code, WParam wParam, LParam lParam);
// Delivers the message and waits for the result. 0 when it cannot be delivered or the
// receiver ends before answering; `delivered` (when given) tells those apart from a handler
// that answered 0.
LResult Send(WindowHandle window, uint32_t code, WParam wParam, LParam lParam, bool* delivered = nullptr);
enum class SendOutcome : uint8_t {
  kDelivered,     // a handler answered; the result is its answer
  kNotDelivered,  // no such window, it went away, or it refused sends during a modal loop
  kTimedOut,      // no answer in time, or the receiver is taken as hung (see SendTimeout)
};
// Send waiting at most `timeoutMs` for the answer, as SendMessageTimeout with SMTO_BLOCK |
// SMTO_ABORTIFHUNG: the handler's result when it answered in time, else 0 with the outcome
// saying why. A message that timed out is still handled later; its answer is then dropped.
// A window of another process that has not answered an earlier send in time is taken as
// hung until that answer comes: nothing is sent to it meanwhile and the call returns at once.
// A window of the calling thread is called directly (no time-out applies).
LResult SendTimeout(WindowHandle window, uint32_t code, WParam wParam, LParam lParam, uint32_t timeoutMs,
                    SendOutcome* outcome = nullptr);
// How long one program waits for another's answer.
inline constexpr uint32_t kPeerSendTimeoutMs = 2000;

// Posts to every live window of this user (HWND_BROADCAST); returns how many took it.
int Broadcast(uint32_t code, WParam wParam, LParam lParam);

// The same code for the same name in every process, in 0xC000..0xFFFF.
uint32_t RegisterMessage(std::u16string_view name);

// While a handler runs: the process that sent or posted the message being handled (this
// process's id for its own messages), 0 outside handlers.
pid_t CurrentSenderProcessId();
// While a handler runs: the window it runs for (the innermost), 0 outside handlers.
WindowHandle CurrentWindow();

// Around a modal loop run inside a handler (see the top of this file): holds the posted
// messages and timer ticks of `window` (0: the window whose handler runs now) until the scope
// ends; sent messages are answered, or refused at once with kRefuseSends. Scopes nest. Made
// and ended on the window's own thread.
class ModalScope {
 public:
  enum Sends { kAnswerSends, kRefuseSends };
  explicit ModalScope(WindowHandle window = 0, Sends sends = kAnswerSends);
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  WindowHandle window_;
  int step_;
};

// The calling thread's message loop.
// A descriptor that turns readable when messages wait for the calling thread.
int ThreadWaitFd();
// Handles every message waiting for the calling thread, without blocking; returns how many.
size_t DispatchPending();
// Handles messages for up to `timeoutMs` (or until `done` returns true, checked after each
// round). Returns whether `done` became true.
bool PumpFor(int timeoutMs, const std::function<bool()>& done = {});
// Waits until `done` returns true, handling only *sent* messages meanwhile (what Send does
// while it waits); used to wait for a thread that may be sending to this one.
void WaitServicingSends(const std::function<bool()>& done);

}  // namespace bus
}  // namespace orv
