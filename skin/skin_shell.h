#pragma once
// What the skinned windows hand to the desktop, where a person would otherwise be needed:
// opening an address with the desktop's handler, and the work area windows are placed in.
// Tests install their own.
#include <QRect>
#include <QString>

namespace orv {

class SkinShell {
 public:
  virtual ~SkinShell() = default;
  // Opens `url` with the desktop's handler; false when nothing could open it.
  virtual bool OpenUrl(const QString& url) = 0;
  // The desktop's work area in screen coordinates.
  virtual QRect WorkArea() = 0;
};

// The installed shell, or the desktop's own (QDesktopServices, the primary screen).
SkinShell& CurrentSkinShell();
// Installs `shell` (not owned); null restores the desktop's own.
void SetSkinShell(SkinShell* shell);

}  // namespace orv
