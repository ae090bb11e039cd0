// The model's state outside the process: the state file (every kept field there and back, one
// written by the first simulator), and the JSON object of the state command.
#include "sim/mouse_state.h"

#include <gtest/gtest.h>

#include <regex>

#include "base/files.h"
#include "sim/mouse_model.h"
#include "tests/test_support.h"

namespace orv::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// A state in which every kept field differs from a new mouse's.
MouseState KeptEverything(size_t capacity) {
  MouseState state;
  state.saved = MouseSettings{1, 3, 0xA1B2C3, 200, 0, 1};
  state.live = MouseSettings{5, 1, 0x000001, 1, 1, 0};  // not kept
  state.firmwareWord = 0x0A0B;
  for (size_t i = 0; i < state.onboardHeader.size(); ++i) state.onboardHeader[i] = static_cast<uint8_t>(3 * i + 1);
  state.onboardData.resize(capacity);
  for (size_t i = 0; i < capacity; ++i) state.onboardData[i] = static_cast<uint8_t>(i * 7 + 5);
  return state;
}

MouseState NewMouse(size_t capacity) {
  MouseState state;
  state.firmwareWord = 0x0203;
  state.onboardData.assign(capacity, kErasedByte);
  return state;
}

TEST(SimStateFile, EveryKeptFieldGoesThereAndBack) {
  const MouseState kept = KeptEverything(1024);
  const std::string text = StateFileText(kept);
  MouseState loaded = NewMouse(1024);
  loaded.interceptMask = 0x1234;  // not kept: a load leaves it
  ASSERT_TRUE(ReadStateFileText(text, loaded));
  EXPECT_EQ(loaded.saved, kept.saved);
  EXPECT_EQ(loaded.live, kept.saved);  // the mouse starts from what it kept
  EXPECT_EQ(loaded.firmwareWord, kept.firmwareWord);
  EXPECT_EQ(loaded.onboardHeader, kept.onboardHeader);
  EXPECT_EQ(loaded.onboardData, kept.onboardData);
  EXPECT_EQ(loaded.interceptMask, 0x1234u);
  EXPECT_EQ(StateFileText(loaded), text);
}

TEST(SimStateFile, EachLineSetsItsOwnFieldOnly) {
  const MouseSettings defaults;
  struct Case {
    const char* line;
    MouseSettings saved;
    uint16_t firmware;
  };
  auto with = [&](auto change) {
    MouseSettings s = defaults;
    change(s);
    return s;
  };
  const Case cases[] = {
      {"dpi_step=1", with([](MouseSettings& s) { s.dpiStep = 1; }), 0x0203},
      {"polling_rate=0x3", with([](MouseSettings& s) { s.pollingRate = 3; }), 0x0203},
      {"led_color=0xFEDCBA", with([](MouseSettings& s) { s.ledColor = 0xFEDCBA; }), 0x0203},
      {"led_intensity=255", with([](MouseSettings& s) { s.ledIntensity = 255; }), 0x0203},
      {"led_pulsation=0", with([](MouseSettings& s) { s.ledPulsation = 0; }), 0x0203},
      {"lift_distance=1", with([](MouseSettings& s) { s.liftDistance = 1; }), 0x0203},
      {"firmware=0x0110", defaults, 0x0110},
      // Out of range or malformed: the default stays.
      {"dpi_step=7", defaults, 0x0203},
      {"polling_rate=0", defaults, 0x0203},
      {"led_color=0x1000000", defaults, 0x0203},
      {"led_intensity=256", defaults, 0x0203},
      {"lift_distance=3", defaults, 0x0203},
      {"firmware=0", defaults, 0x0203},
      {"firmware=0x10000", defaults, 0x0203},
      {"dpi_step=-1", defaults, 0x0203},
      {"dpi_step= 2", defaults, 0x0203},
      {"newer_key=5", defaults, 0x0203},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    MouseState state = NewMouse(512);
    ASSERT_TRUE(ReadStateFileText(std::string(kStateFileFirstLine) + "\n" + c.line + "\n", state));
    EXPECT_EQ(state.saved, c.saved);
    EXPECT_EQ(state.live, c.saved);
    EXPECT_EQ(state.firmwareWord, c.firmware);
    EXPECT_EQ(state.onboardData, Bytes(512, kErasedByte));
  }
}

TEST(SimStateFile, OnboardMemoryOfAnotherSizeKeepsWhatFits) {
  const MouseState small = KeptEverything(4);
  const std::string text = StateFileText(small);

  MouseState larger = NewMouse(6);
  larger.onboardData = Bytes(6, 0x11);
  ASSERT_TRUE(ReadStateFileText(text, larger));
  Bytes expected = small.onboardData;
  expected.resize(6, kErasedByte);  // beyond the file: erased, not what was there
  EXPECT_EQ(larger.onboardData, expected);

  MouseState smaller = NewMouse(2);
  ASSERT_TRUE(ReadStateFileText(text, smaller));
  EXPECT_EQ(smaller.onboardData, Bytes(small.onboardData.begin(), small.onboardData.begin() + 2));

  // A header of another length, or memory that is not hex, is not taken.
  MouseState state = NewMouse(4);
  const auto header = state.onboardHeader;
  ASSERT_TRUE(ReadStateFileText(std::string(kStateFileFirstLine) + "\nonboard_header=0102\nonboard_data=0G\n", state));
  EXPECT_EQ(state.onboardHeader, header);
  EXPECT_EQ(state.onboardData, Bytes(4, kErasedByte));
}

TEST(SimStateFile, LinesEndingInCarriageReturnsLoadAsWell) {
  const MouseState kept = KeptEverything(16);
  std::string text;
  for (const char c : StateFileText(kept)) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
  MouseState loaded = NewMouse(16);
  ASSERT_TRUE(ReadStateFileText(text, loaded));
  EXPECT_EQ(loaded.saved, kept.saved);
  EXPECT_EQ(loaded.firmwareWord, kept.firmwareWord);
  EXPECT_EQ(loaded.onboardHeader, kept.onboardHeader);
  EXPECT_EQ(loaded.onboardData, kept.onboardData);
}

TEST(SimStateFile, TextThatIsNotAStateFileChangesNothing) {
  for (const char* text :
       {"", "dpi_step=1\n", "OrvMouseSim state 2\ndpi_step=1\n", "orvmousesim state 1\ndpi_step=1\n"}) {
    SCOPED_TRACE(text);
    MouseState state = KeptEverything(8);
    const MouseState before = state;
    EXPECT_FALSE(ReadStateFileText(text, state));
    EXPECT_EQ(StateFileText(state), StateFileText(before));
    EXPECT_EQ(state.live, before.live);
  }
}

// Written by the simulator before its state became one struct (memory of 1 unit, firmware
// 0x0115, settings saved, a header and data written on-board).
std::string FirstFormatFile() { return std::string(ORV_SIM_FIXTURES) + "/mouse_v1.state"; }

TEST(SimStateFile, AFileOfTheFirstSimulatorStillLoads) {
  test::TempDir dir;
  const std::string path = dir / "mouse.state";
  ASSERT_TRUE(CopyFileIfMissing(FirstFormatFile(), path, kMaxStateFileSize));
  const std::string original = test::ReadFile(path);
  ASSERT_FALSE(original.empty());

  VirtualClock clock;
  MouseConfig config;
  config.memoryUnits = 1;
  MouseModel model(clock, config);
  model.SetStatePath(path);
  ASSERT_TRUE(model.LoadState());
  const MouseSnapshot s = model.Snapshot();
  EXPECT_EQ(s.saved, (MouseSettings{2, 1, 0x123456, 7, 1, 2}));
  EXPECT_EQ(s.live, s.saved);
  EXPECT_EQ(s.firmwareWord, 0x0115);
  EXPECT_EQ(s.deviceInfo[4], 0x01);
  EXPECT_EQ(s.deviceInfo[5], 0x15);
  // The header as written: 14 entries, 6 data bytes, one on entry 0 and five on entry 1.
  EXPECT_EQ(s.onboardHeader[2], 14);
  EXPECT_EQ(s.onboardHeader[6], 6);
  EXPECT_EQ((Bytes(s.onboardHeader.begin() + 7, s.onboardHeader.begin() + 17)),
            (Bytes{16, 0, 0, 0, 1, 32, 0, 1, 0, 5}));
  ASSERT_EQ(s.onboardData.size(), 512u);
  EXPECT_EQ((Bytes(s.onboardData.begin(), s.onboardData.begin() + 7)),
            (Bytes{0x1A, 0x61, 0x04, 0x62, 0x04, 0x2C, 0xFF}));
  EXPECT_EQ(s.onboardData[510], 0xAB);
  EXPECT_EQ(s.onboardData[511], 0xCD);

  // Saving again writes the same file byte for byte.
  const uint8_t save = 0;
  ASSERT_TRUE(model.Ioctl(IOCTL_SAVE_SETTINGS, &save, 0, 0).ok);
  EXPECT_EQ(test::ReadFile(path), original);
}

TEST(SimStateFile, AFileOfTheFirstSimulatorLoadsIntoALargerMemory) {
  test::TempDir dir;
  const std::string path = dir / "mouse.state";
  ASSERT_TRUE(CopyFileIfMissing(FirstFormatFile(), path, kMaxStateFileSize));
  VirtualClock clock;
  MouseModel model(clock);  // 16 units
  model.SetStatePath(path);
  ASSERT_TRUE(model.LoadState());
  const MouseSnapshot s = model.Snapshot();
  ASSERT_EQ(s.onboardData.size(), 8192u);
  EXPECT_EQ(s.onboardData[0], 0x1A);
  EXPECT_EQ(s.onboardData[511], 0xCD);
  EXPECT_EQ(s.onboardData[512], kErasedByte);
  EXPECT_EQ(s.saved.dpiStep, 2);
}

// The top-level member names of a JSON object of ours, in order (values hold no quotes or
// braces but the settings objects, which are skipped whole).
std::vector<std::string> MemberNames(const std::string& json) {
  std::vector<std::string> names;
  int depth = 0;
  const std::regex name(R"re("([a-z_]+)":)re");
  for (size_t i = 0; i < json.size(); ++i) {
    if (json[i] == '{') ++depth;
    if (json[i] == '}') --depth;
    std::smatch m;
    const std::string rest = json.substr(i, 40);
    if (depth == 1 && json[i] == '"' && (json[i - 1] == '{' || json[i - 1] == ',') &&
        std::regex_search(rest, m, name, std::regex_constants::match_continuous)) {
      names.push_back(m[1]);
    }
  }
  return names;
}

TEST(SimStateJson, NamesEveryMemberInItsOrderWithItsValue) {
  MouseSnapshot s;
  static_cast<MouseState&>(s) = KeptEverything(4);
  s.plugged = false;
  s.phase = MousePhase::Loader;
  s.interceptMask = 0xFF00;
  s.interceptExtra = 2;
  s.sensitivityEnable = 1;
  s.sensitivityX = 17;
  s.sensitivityY = 3;
  s.deviceMode = 2;
  s.registered = true;
  s.onboardHeader[5] = 0;
  s.onboardHeader[6] = 3;  // the data area: 3 of the 4 bytes
  s.pendingEvents = {0x400, 0x10000001};
  s.standardButtons = 5;
  s.extraButtons = 0x20001;
  s.loaderStarted = true;
  s.firmwareImage.assign(1024, 0);
  s.deviceInfo[3] = 16;
  const std::string json = StateJson(s, {{"present", "true"}, {"client", "false"}});

  const std::vector<std::string> names = {"present",
                                          "client",
                                          "plugged",
                                          "phase",
                                          "settings",
                                          "saved",
                                          "intercept_mask",
                                          "intercept_extra",
                                          "sensitivity_enable",
                                          "sensitivity_x",
                                          "sensitivity_y",
                                          "device_mode",
                                          "registered",
                                          "firmware_word",
                                          "firmware_version",
                                          "device_info",
                                          "onboard_capacity",
                                          "onboard_header",
                                          "onboard_length",
                                          "onboard_data",
                                          "pending_events",
                                          "standard_buttons",
                                          "extra_buttons",
                                          "loader_started",
                                          "firmware_bytes"};
  EXPECT_EQ(MemberNames(json), names) << json;

  const std::string header = HexBytes(s.onboardHeader.data(), s.onboardHeader.size());
  for (const std::string& member :
       {std::string("{\"present\":true,\"client\":false,\"plugged\":false,\"phase\":\"loader\","),
        std::string("\"settings\":{\"dpi_step\":5,\"polling_rate\":1,\"led_color\":1,\"led_intensity\":1,"
                    "\"led_pulsation\":1,\"lift_distance\":0},"),
        std::string("\"saved\":{\"dpi_step\":1,\"polling_rate\":3,\"led_color\":10597059,\"led_intensity\":200,"
                    "\"led_pulsation\":0,\"lift_distance\":1},"),
        std::string("\"intercept_mask\":65280,\"intercept_extra\":2,\"sensitivity_enable\":1,\"sensitivity_x\":17,"
                    "\"sensitivity_y\":3,\"device_mode\":2,\"registered\":true,"),
        std::string("\"firmware_word\":2571,\"firmware_version\":1011,"),
        std::string("\"device_info\":\"00000010000000000000000000000000\",\"onboard_capacity\":4,"),
        "\"onboard_header\":\"" + header + "\",\"onboard_length\":3,\"onboard_data\":\"050C13\",",
        std::string("\"pending_events\":[1024,268435457],\"standard_buttons\":5,\"extra_buttons\":131073,"
                    "\"loader_started\":true,\"firmware_bytes\":1024}")}) {
    EXPECT_NE(json.find(member), std::string::npos) << member << "\nin " << json;
  }
}

}  // namespace
}  // namespace orv::sim
