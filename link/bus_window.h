#pragma once
// The base of a window that other windows and programs reach through the window bus: the
// agent's hidden window, and the panel's widgets that are found by title (main window,
// progress window, About window). A Qt widget class derives from its Qt base and from
// BusWindow, gives itself a message table and answers HandleMessage with DispatchMessage:
//
//   class CAboutDialog : public QDialog, public BusWindow {
//     LResult OnVersionChanged(WParam, LParam);
//     static const MessageEntry<CAboutDialog> kMessages[];
//     LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
//       return DispatchMessage(this, kMessages, code, w, l, [] { return LResult{0}; });
//     }
//   };
//
// Messages arrive on the thread that registered the window, through that thread's
// QtBusPump (or PumpFor), never on another thread.
#include <string_view>

#include "link/message_table.h"
#include "link/window_bus.h"

namespace orv {

class BusWindow : public MessageTarget {
 public:
  BusWindow() = default;
  ~BusWindow() override { UnregisterWindow(); }
  BusWindow(const BusWindow&) = delete;
  BusWindow& operator=(const BusWindow&) = delete;

  // Registers the window under `title` for the calling thread; false when the endpoint cannot
  // be made. A window registers once; later calls rename it.
  bool RegisterWindow(std::u16string_view title) {
    if (handle_) return bus::SetWindowText(handle_, title);
    handle_ = bus::CreateWindow(this, title);
    return handle_ != 0;
  }
  // Removes the endpoint; messages still queued for it are dropped.
  void UnregisterWindow() {
    if (!handle_) return;
    bus::DestroyWindow(handle_);
    handle_ = 0;
  }
  WindowHandle windowHandle() const { return handle_; }

 private:
  WindowHandle handle_ = 0;
};

}  // namespace orv
