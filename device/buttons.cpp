#include "device/buttons.h"

#include "profile/function_catalog.h"

namespace orv {

uint32_t InterceptMask(const Profile& active, bool gameMode) {
  if (gameMode) return kInterceptGameMode;
  uint32_t mask = kInterceptAll;
  for (const PhysicalButton& b : kPhysicalButtons) {
    if (!b.interceptBit) continue;
    const CatalogEntry* entry = FindFunction(active.buttons[b.logical].code);
    if (entry && entry->passThroughButton == b.logical) mask &= ~b.interceptBit;
  }
  return mask;
}

}  // namespace orv
