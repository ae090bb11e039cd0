// orvmessage: sends or posts one window message to a window found by its title, as another
// program of the user would (the tray program, a control client). For trying the agent out.
//
//   orvmessage send|post TITLE CODE [WPARAM [LPARAM]]
//
// Numbers are decimal or 0x-hexadecimal. `send` prints the result; exit status 0 when the
// message was delivered, 1 when there is no such window or it could not be delivered, 2 for
// bad arguments.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/text.h"
#include "link/window_bus.h"

namespace {

bool Number(const char* text, long long& value) {
  errno = 0;
  char* end = nullptr;
  value = std::strtoll(text, &end, 0);
  return errno == 0 && end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orv;
  long long code = 0, w = 0, l = 0;
  bool send = argc >= 4 && std::strcmp(argv[1], "send") == 0;
  bool post = argc >= 4 && std::strcmp(argv[1], "post") == 0;
  if ((!send && !post) || argc > 6 || !Number(argv[3], code) || (argc > 4 && !Number(argv[4], w)) ||
      (argc > 5 && !Number(argv[5], l)) || code < 0 || code > 0xFFFF) {
    std::fprintf(stderr, "usage: orvmessage send|post TITLE CODE [WPARAM [LPARAM]]\n");
    return 2;
  }
  WindowHandle window = bus::FindWindow(ToUtf16(argv[2]));
  if (!window) {
    std::fprintf(stderr, "orvmessage: no window titled \"%s\"\n", argv[2]);
    return 1;
  }
  if (post) return bus::Post(window, static_cast<uint32_t>(code), static_cast<WParam>(w), l) ? 0 : 1;
  bool delivered = false;
  LResult result = bus::Send(window, static_cast<uint32_t>(code), static_cast<WParam>(w), l, &delivered);
  if (!delivered) {
    std::fprintf(stderr, "orvmessage: the message was not delivered\n");
    return 1;
  }
  std::printf("%lld\n", static_cast<long long>(result));
  return 0;
}
