#pragma once
// Message tables: a window class maps message codes to its handler methods with one static
// table, as a classic Windows class framework does.
//
//   class CMyWnd : public MessageTarget {
//     LResult OnReload(WParam, LParam);
//     static constexpr MessageEntry<CMyWnd> kMessages[] = {{UM_RELOAD_PROFILES, &CMyWnd::OnReload}};
//     LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
//       return DispatchMessage(this, kMessages, code, w, l, [&] { return DefaultHandler(code, w, l); });
//     }
//   };
#include <cstddef>
#include <cstdint>

#include "link/window_bus.h"

namespace orv {

template <class T>
struct MessageEntry {
  uint32_t code;
  LResult (T::*handler)(WParam, LParam);
};

// Runs the table's handler for `code`, or `fallback()` when the table has none.
template <class T, size_t N, class Fallback>
LResult DispatchMessage(T* self, const MessageEntry<T> (&table)[N], uint32_t code, WParam w, LParam l,
                        Fallback&& fallback) {
  for (const MessageEntry<T>& e : table)
    if (e.code == code) return (self->*e.handler)(w, l);
  return fallback();
}

}  // namespace orv
