#include "platform/input/xkb_layouts.h"

#include "platform/input/input_codes.h"
#include "platform/input/input_injector.h"

namespace orv {

std::unique_ptr<XkbLayouts> XkbLayouts::Connect() {
  std::unique_ptr<x11::XkbGroups> groups = x11::XkbGroups::Connect();
  auto layouts = std::make_unique<XkbLayouts>(groups.get());
  layouts->owned_ = std::move(groups);
  return layouts;
}

uint32_t XkbLayouts::Current() {
  if (!Available()) return kUsLayout;
  const int group = groups_->Current();
  if (group < 0) return kUsLayout;
  return group == groups_->UsGroup() ? kUsLayout : kXkbGroupLayout + static_cast<uint32_t>(group);
}

bool XkbLayouts::Request(uint32_t layout) {
  if (!Available()) return false;
  int group;
  if (layout == kUsLayout) {
    group = groups_->UsGroup();
    if (group < 0) return false;
  } else if (layout >= kXkbGroupLayout && layout < kXkbGroupLayout + 4) {
    group = static_cast<int>(layout - kXkbGroupLayout);
  } else {
    return false;
  }
  return groups_->Lock(group);
}

}  // namespace orv
