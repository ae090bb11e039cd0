#pragma once
// Connections to an X server that may go away: Xlib ends the process when a connection breaks,
// unless told otherwise. A watched connection instead sets its flag and fails from then on.
#include <atomic>

typedef struct _XDisplay Display;

namespace orv {

// Opens `name` ($DISPLAY when null); null when no display answers. `lost` becomes true when the
// connection breaks; the caller then makes no more calls on it except CloseWatchedDisplay.
Display* OpenWatchedDisplay(const char* name, std::atomic<bool>* lost);
void CloseWatchedDisplay(Display* display);

}  // namespace orv
