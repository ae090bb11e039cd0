#pragma once
// A window of the bus that records what reaches it, for the targets that check exactly which
// messages other processes got through to a window.
#include <cstdint>
#include <vector>

#include "fuzz_input.h"
#include "link/window_bus.h"

namespace orv::fuzz {

struct Received {
  uint32_t code;
  WParam wParam;
  LParam lParam;
};

class RecordingWindow : public MessageTarget {
 public:
  // A send is answered with code * 3 + wParam, so that each reply can be told from another.
  LResult HandleMessage(uint32_t code, WParam w, LParam l) override {
    received.push_back({code, w, l});
    return static_cast<LResult>(code) * 3 + static_cast<LResult>(w);
  }

  // Checks that the window got exactly `expected`, in order.
  void CheckReceived(const std::vector<Received>& expected) const {
    ORV_FUZZ_CHECK(received.size() == expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      ORV_FUZZ_CHECK(received[i].code == expected[i].code);
      ORV_FUZZ_CHECK(received[i].wParam == expected[i].wParam);
      ORV_FUZZ_CHECK(received[i].lParam == expected[i].lParam);
    }
  }

  std::vector<Received> received;
};

}  // namespace orv::fuzz
