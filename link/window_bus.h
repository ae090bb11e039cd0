#pragma once
// The window bus: windows addressed by handle or title across the processes of the system.
//
// Every window that other programs reach (agent window, panel windows, tray program, control
// clients) registers an endpoint under a handle that any process can resolve: a socket per
// handle in the bus folder (mode 0600, so only its own user and root can deliver to it), and
// beside it a small file with the owner's process and the title, readable by all, so any
// program can find any window and its owner.
//
// Post queues a message and returns. Send waits for the handler's result; while a thread waits
// in Send, messages *sent* to its own windows are still handled, so two programs sending to
// each other at once never deadlock, while *posted* messages wait for the message loop.
// Messages to a window of the same process take no socket: posts are queued on the window's
// thread, sends are called directly on the same thread or queued with a wait on another.
//
// A thread that owns windows runs its message loop by watching ThreadWaitFd() and calling
// DispatchPending() when it becomes readable (QtBusPump does that inside a Qt event loop), or
// with PumpFor().
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

// The folder of the endpoints: $ORV_BUS_DIR, else /tmp/orv-windows (created 1777 like /tmp).
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
// window of another user, or a queue that stays full for 100 ms.
bool Post(WindowHandle window, uint32_t code, WParam wParam, LParam lParam);
// Delivers the message and waits for the result. 0 when it cannot be delivered or the
// receiver ends before answering; `delivered` (when given) tells those apart from a handler
// that answered 0.
LResult Send(WindowHandle window, uint32_t code, WParam wParam, LParam lParam, bool* delivered = nullptr);
// Posts to every live window of this user (HWND_BROADCAST); returns how many took it.
int Broadcast(uint32_t code, WParam wParam, LParam lParam);

// The same code for the same name in every process, in 0xC000..0xFFFF.
uint32_t RegisterMessage(std::u16string_view name);

// While a handler runs: the process that sent or posted the message being handled (this
// process's id for its own messages), 0 outside handlers.
pid_t CurrentSenderProcessId();

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
