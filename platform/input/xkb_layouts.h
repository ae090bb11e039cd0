#pragma once
// Keyboard layout switching on X11: the layout ids of InputInjector for the XKB groups of a
// display (x11::XkbGroups), the US English layout being the group whose symbols are plain "us".
#include <cstdint>
#include <memory>

#include "platform/x11/xkb_groups.h"

namespace orv {

class XkbLayouts {
 public:
  // Works on `groups` (not owned; the caller serialises access); null gives no groups.
  explicit XkbLayouts(x11::XkbGroups* groups) : groups_(groups) {}
  // Opens a connection of its own to $DISPLAY (no groups when none answers, nor after the
  // connection is lost).
  static std::unique_ptr<XkbLayouts> Connect();
  XkbLayouts(const XkbLayouts&) = delete;
  XkbLayouts& operator=(const XkbLayouts&) = delete;

  bool Available() const { return groups_ && groups_->Available(); }
  // kUsLayout when the US group is in force, kXkbGroupLayout + group for another group; kUsLayout
  // without XKB.
  uint32_t Current();
  // Locks the US group for kUsLayout, group g for kXkbGroupLayout + g. False (nothing done)
  // without XKB, without a US group, or for any other id.
  bool Request(uint32_t layout);

 private:
  std::unique_ptr<x11::XkbGroups> owned_;
  x11::XkbGroups* groups_ = nullptr;
};

}  // namespace orv
