// orvmessage: sends or posts one window message to a window found by its title, as another
// program of the user would (the tray program, a control client). For trying the agent out.
//
//   orvmessage send|post [--timeout MS] TITLE CODE [WPARAM [LPARAM]]
//
// Numbers are decimal or 0x-hexadecimal. `send` prints the result; with --timeout it waits at
// most MS milliseconds for it (as SendMessageTimeout does), else as long as the window lives.
// Exit status 0 when the message was delivered, 1 when there is no such window, it could not
// be delivered or the answer did not come in time, 2 for bad arguments.
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
  long long code = 0, w = 0, l = 0, timeout = -1;
  bool send = argc >= 2 && std::strcmp(argv[1], "send") == 0;
  bool post = argc >= 2 && std::strcmp(argv[1], "post") == 0;
  int first = 2;  // the title's argument
  if (argc >= 4 && std::strcmp(argv[2], "--timeout") == 0) {
    if (!Number(argv[3], timeout) || timeout < 0 || timeout > 0x7FFFFFFF) timeout = -2;
    first = 4;
  }
  int rest = argc - first;  // TITLE CODE [WPARAM [LPARAM]]
  if ((!send && !post) || (post && first != 2) || timeout == -2 || rest < 2 || rest > 4 ||
      !Number(argv[first + 1], code) || (rest > 2 && !Number(argv[first + 2], w)) ||
      (rest > 3 && !Number(argv[first + 3], l)) || code < 0 || code > 0xFFFF) {
    std::fprintf(stderr, "usage: orvmessage send|post [--timeout MS] TITLE CODE [WPARAM [LPARAM]]\n");
    return 2;
  }
  const char* title = argv[first];
  WindowHandle window = bus::FindWindow(ToUtf16(title));
  if (!window) {
    std::fprintf(stderr, "orvmessage: no window titled \"%s\"\n", title);
    return 1;
  }
  if (post) return bus::Post(window, static_cast<uint32_t>(code), static_cast<WParam>(w), l) ? 0 : 1;
  bus::SendOutcome outcome = bus::SendOutcome::kNotDelivered;
  LResult result = 0;
  if (timeout >= 0) {
    result = bus::SendTimeout(window, static_cast<uint32_t>(code), static_cast<WParam>(w), l,
                              static_cast<uint32_t>(timeout), &outcome);
  } else {
    bool delivered = false;
    result = bus::Send(window, static_cast<uint32_t>(code), static_cast<WParam>(w), l, &delivered);
    outcome = delivered ? bus::SendOutcome::kDelivered : bus::SendOutcome::kNotDelivered;
  }
  if (outcome == bus::SendOutcome::kTimedOut) {
    std::fprintf(stderr, "orvmessage: no answer within %lld ms\n", timeout);
    return 1;
  }
  if (outcome != bus::SendOutcome::kDelivered) {
    std::fprintf(stderr, "orvmessage: the message was not delivered\n");
    return 1;
  }
  std::printf("%lld\n", static_cast<long long>(result));
  return 0;
}
