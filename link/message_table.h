#pragma once
// Message tables: a window class maps message codes to its handler methods with one static
// table, as a classic Windows class framework does.
//
//   class CMyWnd : public MessageTarget {
//     LResult OnReload(WParam, LParam);
//     static constexpr MessageEntry<CMyWnd> kMessages[] = {
//         {UM_RELOAD_PROFILES, &CMyWnd::OnReload, kFlagValue, kFlagValue}};
//     LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
//       return DispatchMessage(this, kMessages, code, w, l, [&] { return DefaultHandler(code, w, l); });
//     }
//   };
//
// Every entry states the values its wParam and lParam may take. They are compared in their full
// 64 bits before the handler runs, and a message with a value outside them is ignored (answered
// 0): a handler never sees a value that only its low 32 bits would make valid, and may narrow
// its parameters to int without looking again.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "link/window_bus.h"

namespace orv {

// The values a message parameter may take, both ends included.
struct ParamRange {
  int64_t first;
  int64_t last;

  constexpr bool Holds(LParam value) const { return value >= first && value <= last; }
  // A wParam is taken as the signed number it carries, as a sender's int widened to 64 bits
  // arrives: ~0 is -1, and 2^32 + 2 is no 32-bit number at all.
  constexpr bool Holds(WParam value) const { return Holds(static_cast<LParam>(value)); }
};

inline constexpr ParamRange kZeroValue{0, 0};
inline constexpr ParamRange kFlagValue{0, 1};
inline constexpr ParamRange kInt32Value{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
inline constexpr ParamRange kUint32Value{0, std::numeric_limits<uint32_t>::max()};
inline constexpr ParamRange kAnyValue{std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()};

template <class T>
struct MessageEntry {
  // No default for the ranges: an entry without them does not compile.
  constexpr MessageEntry(uint32_t c, LResult (T::*h)(WParam, LParam), ParamRange w, ParamRange l)
      : code(c), handler(h), wParam(w), lParam(l) {}
  uint32_t code;
  LResult (T::*handler)(WParam, LParam);
  ParamRange wParam;
  ParamRange lParam;

  bool Accepts(WParam w, LParam l) const { return wParam.Holds(w) && lParam.Holds(l); }
};

// Runs the table's handler for `code` when both values are in its ranges (else 0), or
// `fallback()` when the table has no entry for the code.
template <class T, size_t N, class Fallback>
LResult DispatchMessage(T* self, const MessageEntry<T> (&table)[N], uint32_t code, WParam w, LParam l,
                        Fallback&& fallback) {
  for (const MessageEntry<T>& e : table)
    if (e.code == code) return e.Accepts(w, l) ? (self->*e.handler)(w, l) : 0;
  return fallback();
}

}  // namespace orv
