// Fuzz target for the simulator's state file, which anyone who can write the device folder
// may edit: read over the state of a new mouse, it is taken or refused whole, and what was
// taken is written and read back as the same state.
#include <string>

#include "fuzz_input.h"
#include "sim/mouse_model.h"
#include "sim/mouse_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orv::sim;
  const std::string text(reinterpret_cast<const char*>(data), size);
  MouseState fresh;
  fresh.onboardData.assign(16 * 512, kErasedByte);
  MouseState state = fresh;
  if (!ReadStateFileText(text, state)) {
    ORV_FUZZ_CHECK(StateFileText(state) == StateFileText(fresh));
    return 0;
  }
  ORV_FUZZ_CHECK(state.onboardData.size() == fresh.onboardData.size());
  ORV_FUZZ_CHECK(state.live == state.saved);
  const std::string written = StateFileText(state);
  MouseState again = fresh;
  ORV_FUZZ_CHECK(ReadStateFileText(written, again));
  ORV_FUZZ_CHECK(StateFileText(again) == written);
  return 0;
}
