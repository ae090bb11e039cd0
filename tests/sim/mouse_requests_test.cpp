// The request table row by row: every code the driver answers, with a valid input of its size,
// in each phase of the mouse; the code set and names; the codes next to them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "sim/mouse_model.h"
#include "sim/sim_text.h"

namespace orv::sim {
namespace {

using namespace device_error;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kAnswered = 0;
constexpr uint32_t kRefused = ERROR_GEN_FAILURE;  // nobody there to carry it out

// A valid firmware block for the default firmware start (0x1000).
Bytes FirstBlock() {
  Bytes in(2 + kFirmwareBlockSize, 0);
  in[1] = 0x10;
  return in;
}

struct Row {
  uint32_t code;
  const char* name;
  Bytes in;  // valid, of the size the driver takes
  size_t outSize;
  uint32_t inMouse;   // the answer of a plugged mouse running its firmware
  uint32_t inLoader;  // the answer of the firmware loader (started, flash erased)
  bool driverOwn;     // answered by the driver itself, also with the mouse away or unplugged
};

// Written from the driver's contract, not from the model's table.
const std::vector<Row>& Rows() {
  static const std::vector<Row> kRows = {
      {IOCTL_REGISTER_EVENT, "IOCTL_REGISTER_EVENT", {1, 0, 0, 0}, 0, kAnswered, kAnswered, true},
      {IOCTL_UNREGISTER, "IOCTL_UNREGISTER", {}, 0, kAnswered, kAnswered, true},
      {IOCTL_GET_EVENT, "IOCTL_GET_EVENT", {0, 0, 0, 0}, 4, ERROR_NO_MORE_ITEMS, ERROR_NO_MORE_ITEMS, true},
      {IOCTL_SET_INTERCEPT_MASK, "IOCTL_SET_INTERCEPT_MASK", {0xFA, 0xFF, 0, 0}, 0, kAnswered, kRefused, false},
      {IOCTL_SET_SENSITIVITY_X, "IOCTL_SET_SENSITIVITY_X", {18, 0, 0, 0}, 0, kAnswered, kRefused, false},
      {IOCTL_SET_SENSITIVITY_Y, "IOCTL_SET_SENSITIVITY_Y", {1, 0, 0, 0}, 0, kAnswered, kRefused, false},
      {IOCTL_SET_SENSITIVITY_ENABLE, "IOCTL_SET_SENSITIVITY_ENABLE", {1}, 0, kAnswered, kRefused, false},
      {IOCTL_SET_INTERCEPT_EXTRA, "IOCTL_SET_INTERCEPT_EXTRA", {0}, 0, kAnswered, kRefused, false},
      {IOCTL_SET_POLLING_RATE, "IOCTL_SET_POLLING_RATE", {3}, 0, kAnswered, kRefused, false},
      {IOCTL_GET_POLLING_RATE, "IOCTL_GET_POLLING_RATE", {0}, 1, kAnswered, kRefused, false},
      {IOCTL_GET_FIRMWARE_VERSION, "IOCTL_GET_FIRMWARE_VERSION", {}, 2, kAnswered, kAnswered, false},
      {IOCTL_SET_LED_COLOR, "IOCTL_SET_LED_COLOR", {1, 2, 3}, 0, kAnswered, kRefused, false},
      {IOCTL_GET_LED_COLOR, "IOCTL_GET_LED_COLOR", {0, 0, 0}, 3, kAnswered, kRefused, false},
      {IOCTL_SET_DPI_STEP, "IOCTL_SET_DPI_STEP", {1}, 0, kAnswered, kRefused, false},
      {IOCTL_GET_DPI_STEP, "IOCTL_GET_DPI_STEP", {0}, 1, kAnswered, kRefused, false},
      {IOCTL_SET_LED_INTENSITY, "IOCTL_SET_LED_INTENSITY", {9}, 0, kAnswered, kRefused, false},
      {IOCTL_GET_LED_INTENSITY, "IOCTL_GET_LED_INTENSITY", {0}, 1, kAnswered, kRefused, false},
      {IOCTL_SET_LED_PULSATION, "IOCTL_SET_LED_PULSATION", {9}, 0, kAnswered, kRefused, false},
      {IOCTL_GET_LED_PULSATION, "IOCTL_GET_LED_PULSATION", {0}, 1, kAnswered, kRefused, false},
      {IOCTL_GET_DEVICE_INFO, "IOCTL_GET_DEVICE_INFO", {}, 16, kAnswered, kAnswered, false},
      {IOCTL_SET_DEVICE_MODE, "IOCTL_SET_DEVICE_MODE", {16, 0}, 0, kAnswered, kAnswered, false},  // to the loader
      {IOCTL_FW_START, "IOCTL_FW_START", {}, 0, kRefused, kAnswered, false},
      {IOCTL_FW_WRITE_BLOCK, "IOCTL_FW_WRITE_BLOCK", FirstBlock(), 0, kRefused, kAnswered, false},
      {IOCTL_ONBOARD_WRITE_HEADER, "IOCTL_ONBOARD_WRITE_HEADER", Bytes(77, 7), 0, kAnswered, kRefused, false},
      {IOCTL_ONBOARD_READ_HEADER, "IOCTL_ONBOARD_READ_HEADER", {0, 0}, 77, kAnswered, kRefused, false},
      {IOCTL_ONBOARD_WRITE_DATA, "IOCTL_ONBOARD_WRITE_DATA", {0, 0, 0xAB}, 0, kAnswered, kRefused, false},
      {IOCTL_ONBOARD_READ_DATA, "IOCTL_ONBOARD_READ_DATA", {0, 0}, 4096, kAnswered, kRefused, false},
      {IOCTL_SAVE_SETTINGS, "IOCTL_SAVE_SETTINGS", {}, 0, kAnswered, kRefused, false},
      // Nothing programmed carries no version mark: the loader refuses the image.
      {IOCTL_FW_FINISH, "IOCTL_FW_FINISH", {}, 0, kRefused, ERROR_INVALID_DATA, false},
      {IOCTL_SET_LIFT_DISTANCE, "IOCTL_SET_LIFT_DISTANCE", {2, 0}, 0, kAnswered, kRefused, false},
  };
  return kRows;
}

enum class Phase { Mouse, Loader, Away, Unplugged };

// A fresh model (nothing registered) in `phase`; in the loader programming has started and the
// flash is erased.
struct PhasedModel {
  explicit PhasedModel(Phase phase) : model(clock, Config(phase)) {
    const Bytes toLoader{16, 0};
    switch (phase) {
      case Phase::Mouse:
        break;
      case Phase::Loader:
      case Phase::Away:
        EXPECT_TRUE(model.Ioctl(IOCTL_SET_DEVICE_MODE, toLoader.data(), 2, 0).ok);
        if (phase == Phase::Loader) {
          EXPECT_TRUE(model.Ioctl(IOCTL_FW_START, nullptr, 0, 0).ok);
          clock.Advance(100);
        }
        break;
      case Phase::Unplugged:
        EXPECT_TRUE(model.Unplug());
        break;
    }
  }
  static MouseConfig Config(Phase phase) {
    MouseConfig config;
    config.reenumerateMs = phase == Phase::Away ? 1500 : 0;  // away: never polled back
    return config;
  }
  VirtualClock clock;
  MouseModel model;
};

const char* PhaseName(Phase phase) {
  switch (phase) {
    case Phase::Mouse:
      return "mouse";
    case Phase::Loader:
      return "loader";
    case Phase::Away:
      return "away";
    case Phase::Unplugged:
      return "unplugged";
  }
  return "?";
}

TEST(SimRequests, TheDriverAnswersExactlyTheCodesOfItsContractByName) {
  std::vector<uint32_t> expected;
  for (const Row& row : Rows()) expected.push_back(row.code);
  std::vector<uint32_t> known = MouseModel::KnownCodes();
  std::sort(expected.begin(), expected.end());
  std::sort(known.begin(), known.end());
  EXPECT_EQ(known, expected);
  for (const Row& row : Rows()) {
    EXPECT_TRUE(MouseModel::KnownCode(row.code)) << row.name;
    ASSERT_NE(MouseModel::CodeName(row.code), nullptr) << row.name;
    EXPECT_STREQ(MouseModel::CodeName(row.code), row.name);
  }
}

TEST(SimRequests, EveryCodeAnswersItsSizesInEachPhase) {
  for (const Phase phase : {Phase::Mouse, Phase::Loader, Phase::Away, Phase::Unplugged}) {
    for (const Row& row : Rows()) {
      SCOPED_TRACE(testing::Message() << row.name << " in phase " << PhaseName(phase));
      PhasedModel m(phase);
      uint32_t expected = row.inMouse;
      if (phase == Phase::Loader) expected = row.inLoader;
      if ((phase == Phase::Away || phase == Phase::Unplugged) && !row.driverOwn) expected = kRefused;
      const IoctlResult r = m.model.Ioctl(row.code, row.in.data(), row.in.size(), row.outSize);
      EXPECT_EQ(r.error, expected);
      EXPECT_EQ(r.ok, expected == kAnswered);
      EXPECT_EQ(r.out.size(), r.ok ? row.outSize : 0u);
    }
  }
}

TEST(SimRequests, VariableSizesAreTakenUpToTheirBoundsAndRefusedBeyond) {
  VirtualClock clock;
  MouseModel model(clock);
  struct Case {
    uint32_t code;
    size_t in, out;
    uint32_t error;
  };
  const Case cases[] = {
      {IOCTL_ONBOARD_WRITE_DATA, 3, 0, kAnswered},
      {IOCTL_ONBOARD_WRITE_DATA, 4098, 0, kAnswered},
      {IOCTL_ONBOARD_WRITE_DATA, 2, 0, ERROR_INVALID_PARAMETER},
      {IOCTL_ONBOARD_WRITE_DATA, 4099, 0, ERROR_INVALID_PARAMETER},
      {IOCTL_ONBOARD_READ_DATA, 2, 1, kAnswered},
      {IOCTL_ONBOARD_READ_DATA, 2, 4096, kAnswered},
      {IOCTL_ONBOARD_READ_DATA, 2, 0, ERROR_INVALID_PARAMETER},
      {IOCTL_ONBOARD_READ_DATA, 2, 4097, ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << "code 0x" << c.code << std::dec << " in " << c.in << " out "
                                    << c.out);
    const Bytes in(c.in, 0);  // offset 0
    const IoctlResult r = model.Ioctl(c.code, in.data(), in.size(), c.out);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.out.size(), r.ok ? c.out : 0u);
  }
}

TEST(SimRequests, CodesBesideTheContractAreUnknownWhateverTheirSizes) {
  std::set<uint32_t> unknown = {0, 0xFFFFFFFF, 0x222000, 0x220400};
  for (const Row& row : Rows()) {
    for (const uint32_t near : {row.code - 4, row.code + 4, row.code + 1, row.code ^ 0x10000}) {
      if (!MouseModel::KnownCode(near)) unknown.insert(near);
    }
  }
  VirtualClock clock;
  MouseModel model(clock);
  const Bytes in(4, 0);
  for (const uint32_t code : unknown) {
    for (const auto& [inSize, outSize] : {std::pair<size_t, size_t>{0, 0}, {1, 1}, {4, 4}}) {
      const IoctlResult r = model.Ioctl(code, in.data(), inSize, outSize);
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.error, ERROR_INVALID_FUNCTION) << std::hex << "code 0x" << code;
    }
    EXPECT_FALSE(model.ArmFailure(code)) << std::hex << "code 0x" << code;
  }
}

TEST(SimRequests, EveryCodeCanBeMadeToFailOnceWithTheErrorAsked) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    PhasedModel m(Phase::Mouse);
    ASSERT_TRUE(m.model.ArmFailure(row.code));
    ASSERT_TRUE(m.model.ArmFailure(row.code, 1460));
    const IoctlResult first = m.model.Ioctl(row.code, row.in.data(), row.in.size(), row.outSize);
    const IoctlResult second = m.model.Ioctl(row.code, row.in.data(), row.in.size(), row.outSize);
    const IoctlResult third = m.model.Ioctl(row.code, row.in.data(), row.in.size(), row.outSize);
    EXPECT_EQ(first.error, ERROR_GEN_FAILURE);
    EXPECT_TRUE(first.out.empty());
    EXPECT_EQ(second.error, 1460u);
    EXPECT_EQ(third.error, row.inMouse);  // armed failures are used up
    const std::vector<std::string> lines = m.model.Transcript();
    const std::string armed = Format("note=fail-armed ioctl=0x%06X err=31", row.code);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& l) { return l.find(armed) != std::string::npos; }),
              1);
  }
}

}  // namespace
}  // namespace orv::sim
