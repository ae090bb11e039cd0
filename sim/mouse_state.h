#pragma once
// The model's state as it leaves the process: the state file, which keeps what the mouse keeps
// over a restart of the simulator, and the JSON object the `state` command prints.
//
// State file: a first line naming the format, then one "key=value" line each for the kept
// settings, the firmware word and the on-board memory (hex digits):
//
//   OrvMouseSim state 1
//   dpi_step=6            polling_rate=2         led_color=0x003CFF
//   led_intensity=4       led_pulsation=3        lift_distance=0
//   firmware=0x0203       onboard_header=<154 hex digits>   onboard_data=<2 per byte>
//
// (one per line). Unknown keys are skipped, so a newer file still loads.
#include <string>
#include <utility>
#include <vector>

#include "sim/mouse_model.h"

namespace orv::sim {

inline constexpr const char* kStateFileFirstLine = "OrvMouseSim state 1";

// The state file's text: the kept settings, the firmware word and the whole on-board memory.
std::string StateFileText(const MouseState& state);

// Takes a state file's text into `state`: the kept settings, which become the live ones too (a
// missing or out-of-range value takes its default), the firmware word and the on-board header
// and memory (each only when valid; memory of another size keeps what fits, the rest erased).
// False, with `state` untouched, when the text is not a state file.
bool ReadStateFileText(const std::string& text, MouseState& state);

// The snapshot as one JSON object; `extra` members (name, raw JSON value) come first.
std::string StateJson(const MouseSnapshot& snapshot, const std::vector<std::pair<std::string, std::string>>& extra);

}  // namespace orv::sim
