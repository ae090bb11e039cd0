// Every keysym of keysyms.h is the one Xlib defines under its name; a wrong value stops the build.
#include "platform/x11/keysyms.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

namespace orv::x11 {

#define ORV_X11_CHECK_KEYSYM(name, xlibName, value) \
  static_assert(name == static_cast<unsigned long>(xlibName), #name " is not " #xlibName);
ORV_X11_KEYSYMS(ORV_X11_CHECK_KEYSYM)
#undef ORV_X11_CHECK_KEYSYM

// The runs that keysyms are computed along.
static_assert(kSmallA + 25 == XK_z && kDigit0 + 9 == XK_9 && kKeypad0 + 9 == XK_KP_9 && kF1 + 23 == XK_F24);

}  // namespace orv::x11
