#include "sim/mouse_state.h"

#include <algorithm>
#include <sstream>
#include <string_view>
#include <type_traits>

#include "base/byte_order.h"
#include "sim/sim_text.h"

namespace orv::sim {

namespace {

// A number the state file keeps, with the range a file's value must be in; written in decimal,
// or in hexadecimal with `hexDigits` digits.
struct NumberField {
  const char* name;
  uint64_t low, high;
  int hexDigits = 0;
};
// Bytes the state file keeps, as hex digits.
struct BytesField {
  const char* name;
};

// The kept settings by name, in the order the state file and the JSON list them. The JSON gives
// every one of them in decimal.
template <typename Settings, typename Visit>
void ForEachSetting(Settings& s, Visit&& visit) {
  visit(NumberField{"dpi_step", kDpiStepLowest, kDpiStepHighest}, s.dpiStep);
  visit(NumberField{"polling_rate", kPollingRateLowest, kPollingRateHighest}, s.pollingRate);
  visit(NumberField{"led_color", 0, kLedColorHighest, 6}, s.ledColor);
  visit(NumberField{"led_intensity", 0, UINT8_MAX}, s.ledIntensity);
  visit(NumberField{"led_pulsation", 0, UINT8_MAX}, s.ledPulsation);
  visit(NumberField{"lift_distance", 0, kLiftDistanceHighest}, s.liftDistance);
}

// Everything the state file keeps, line by line.
template <typename State, typename Visit>
void ForEachKept(State& state, Visit&& visit) {
  ForEachSetting(state.saved, visit);
  visit(NumberField{"firmware", 1, UINT16_MAX, 4}, state.firmwareWord);
  visit(BytesField{"onboard_header"}, state.onboardHeader);
  visit(BytesField{"onboard_data"}, state.onboardData);
}

// Where the header as written keeps the length of the data area (2 bytes, big-endian).
constexpr size_t kHeaderDataLengthAt = 5;

template <typename... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <typename... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

std::string NumberText(const NumberField& field, uint64_t value) {
  if (field.hexDigits) return Format("0x%0*llX", field.hexDigits, static_cast<unsigned long long>(value));
  return std::to_string(value);
}

// A JSON object built member by member, in order.
class JsonObject {
 public:
  void Raw(std::string_view name, std::string_view value) {
    text_ += text_.size() > 1 ? ",\"" : "\"";
    text_ += name;
    text_ += "\":";
    text_ += value;
  }
  void Number(std::string_view name, uint64_t value) { Raw(name, std::to_string(value)); }
  void Bool(std::string_view name, bool value) { Raw(name, value ? "true" : "false"); }
  // Our strings are names and hex digits: nothing to escape.
  void String(std::string_view name, std::string_view value) { Raw(name, "\"" + std::string(value) + "\""); }
  std::string Close() { return text_ + "}"; }

 private:
  std::string text_ = "{";
};

std::string SettingsJson(const MouseSettings& settings) {
  JsonObject json;
  ForEachSetting(settings, [&](const NumberField& field, auto value) { json.Number(field.name, value); });
  return json.Close();
}

const char* PhaseName(MousePhase phase) {
  switch (phase) {
    case MousePhase::Mouse:
      return "mouse";
    case MousePhase::Away:
      return "away";
    case MousePhase::Loader:
      return "loader";
  }
  return "mouse";
}

}  // namespace

std::string StateFileText(const MouseState& state) {
  std::string text = std::string(kStateFileFirstLine) + "\n";
  ForEachKept(state, Overloaded{
                         [&](const NumberField& field, auto value) {
                           text += std::string(field.name) + "=" + NumberText(field, value) + "\n";
                         },
                         [&](const BytesField& field, const auto& bytes) {
                           text += std::string(field.name) + "=" + HexBytes(bytes.data(), bytes.size()) + "\n";
                         },
                     });
  return text;
}

bool ReadStateFileText(const std::string& text, MouseState& state) {
  std::istringstream lines(text);
  std::string line;
  // A line may end in CR as well (a file edited on another system).
  auto next = [&] {
    if (!std::getline(lines, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  };
  if (!next() || line != kStateFileFirstLine) return false;
  MouseState loaded = state;
  loaded.saved = MouseSettings{};
  while (next()) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string_view key = std::string_view(line).substr(0, eq);
    const std::string_view value = std::string_view(line).substr(eq + 1);
    ForEachKept(loaded,
                Overloaded{
                    [&](const NumberField& field, auto& member) {
                      uint64_t n = 0;
                      if (key == field.name && ParseNumber(value, field.low, field.high, n)) {
                        member = static_cast<std::remove_reference_t<decltype(member)>>(n);
                      }
                    },
                    [&](const BytesField& field, auto& bytes) {
                      std::vector<uint8_t> parsed;
                      if (key != field.name || !ParseHex(value, parsed)) return;
                      if constexpr (std::is_same_v<std::remove_reference_t<decltype(bytes)>, std::vector<uint8_t>>) {
                        // A memory of another size keeps what fits.
                        std::fill(bytes.begin(), bytes.end(), kErasedByte);
                        std::copy_n(parsed.begin(), std::min(parsed.size(), bytes.size()), bytes.begin());
                      } else if (parsed.size() == bytes.size()) {
                        std::copy(parsed.begin(), parsed.end(), bytes.begin());
                      }
                    },
                });
  }
  loaded.live = loaded.saved;
  state = std::move(loaded);
  return true;
}

std::string StateJson(const MouseSnapshot& s, const std::vector<std::pair<std::string, std::string>>& extra) {
  JsonObject json;
  for (const auto& [name, value] : extra) json.Raw(name, value);
  json.Bool("plugged", s.plugged);
  json.String("phase", PhaseName(s.phase));
  json.Raw("settings", SettingsJson(s.live));
  json.Raw("saved", SettingsJson(s.saved));
  json.Number("intercept_mask", s.interceptMask);
  json.Number("intercept_extra", s.interceptExtra);
  json.Number("sensitivity_enable", s.sensitivityEnable);
  json.Number("sensitivity_x", s.sensitivityX);
  json.Number("sensitivity_y", s.sensitivityY);
  json.Number("device_mode", s.deviceMode);
  json.Bool("registered", s.registered);
  json.Number("firmware_word", s.firmwareWord);
  json.Number("firmware_version", FirmwareVersionNumber(s.firmwareWord));
  json.String("device_info", HexBytes(s.deviceInfo.data(), s.deviceInfo.size()));
  json.Number("onboard_capacity", s.onboardData.size());
  json.String("onboard_header", HexBytes(s.onboardHeader.data(), s.onboardHeader.size()));
  // The data area as far as the stored header says it reaches.
  const size_t length = std::min<size_t>(GetBe16(&s.onboardHeader[kHeaderDataLengthAt]), s.onboardData.size());
  json.Number("onboard_length", length);
  json.String("onboard_data", HexBytes(s.onboardData.data(), length));
  std::string events = "[";
  for (size_t i = 0; i < s.pendingEvents.size(); ++i) events += (i ? "," : "") + std::to_string(s.pendingEvents[i]);
  json.Raw("pending_events", events + "]");
  json.Number("standard_buttons", s.standardButtons);
  json.Number("extra_buttons", s.extraButtons);
  json.Bool("loader_started", s.loaderStarted);
  json.Number("firmware_bytes", s.firmwareImage.size());
  return json.Close();
}

}  // namespace orv::sim
