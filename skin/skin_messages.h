#pragma once
// What the skinned controls tell the window they sit in. A control's notification to its
// parent is a message: sent ones are a direct call of the parent's handler, posted ones are
// queued on the window's thread. The window takes them by implementing SkinMessageTarget,
// usually with a message table (link/message_table.h).
#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "link/window_bus.h"

namespace orv {

enum : uint32_t {
  WM_COMMAND = 0x0111,
  WM_HSCROLL = 0x0114,
  WM_VSCROLL = 0x0115,
  ID_BUTTON_MENU = 0xFF00,         // WM_COMMAND wParam of a right click on a skinned button
  UM_DROP_PROFILE = 0x590,         // wParam: dropped profile number, lParam: the button's index
  UM_DROP_FUNCTION = 0x591,        // wParam: dropped code, lParam: the button's index
  UM_PICK_FUNCTION = 0x592,        // wParam: the code of the row or tree leaf chosen
  UM_NEW_MACRO = 0x5F5,            // folder bar: the new button was clicked
  UM_EDIT_MACRO = 0x5F7,           // folder bar: the macro list was double-clicked
  UM_MACRO_LIST_FOCUS = 0x5F8,     // folder bar: the macro list got the focus
  UM_MACRO_LIST_SELECT = 0x5F9,    // folder bar: the macro list's selection changed
  UM_CLEAR_SELECTIONS = 0x5FA,     // folder bar: a folder was opened or closed
  UM_DELETE_MACRO = 0x5FB,         // folder bar: the delete button was clicked
};

// Scroll request codes of WM_VSCROLL / WM_HSCROLL (low word of wParam).
enum : uint32_t {
  SB_LINEUP = 0,
  SB_LINEDOWN = 1,
  SB_PAGEUP = 2,
  SB_PAGEDOWN = 3,
  SB_THUMBPOSITION = 4,
  SB_THUMBTRACK = 5,
};

// The numbers a drop may carry: a profile number on a profile button, a function's code (the
// first sensitivity code to the last macro) on a label.
inline constexpr int kFirstDroppedProfile = 0, kLastDroppedProfile = 9;
inline constexpr int kFirstDroppedCode = 16, kLastDroppedCode = 1200;

class SkinMessageTarget {
 public:
  virtual ~SkinMessageTarget() = default;
  virtual LResult SkinMessage(uint32_t code, WParam wParam, LParam lParam) = 0;
};

// The nearest window above `control` that takes skin messages, or null.
inline SkinMessageTarget* SkinMessageTargetOf(QWidget* control) {
  for (QWidget* w = control ? control->parentWidget() : nullptr; w; w = w->parentWidget())
    if (auto* target = dynamic_cast<SkinMessageTarget*>(w)) return target;
  return nullptr;
}

// Sends: the parent's handler runs now; 0 when no window above takes messages.
inline LResult SendToParent(QWidget* control, uint32_t code, WParam w, LParam l) {
  SkinMessageTarget* target = SkinMessageTargetOf(control);
  return target ? target->SkinMessage(code, w, l) : 0;
}

// Posts to `window` (a window taking skin messages; nothing otherwise): its handler runs from
// the event loop, if the window still exists then.
inline void PostToWindow(QWidget* window, uint32_t code, WParam w, LParam l) {
  auto* target = dynamic_cast<SkinMessageTarget*>(window);
  if (!target) return;
  QPointer<QWidget> guard(window);
  QMetaObject::invokeMethod(
      window, [guard, target, code, w, l] {
        if (guard) target->SkinMessage(code, w, l);
      },
      Qt::QueuedConnection);
}

// Posts to the nearest window above `control` that takes skin messages.
inline void PostToParent(QWidget* control, uint32_t code, WParam w, LParam l) {
  PostToWindow(dynamic_cast<QWidget*>(SkinMessageTargetOf(control)), code, w, l);
}

// The value a control passes as "its window" in lParam.
inline LParam ControlParam(const QWidget* control) { return static_cast<LParam>(reinterpret_cast<intptr_t>(control)); }

}  // namespace orv
