#include "sim/mouse_model.h"

#include <gtest/gtest.h>

#include <regex>

#include "base/files.h"
#include "tests/test_support.h"

namespace orv::sim {
namespace {

using namespace device_error;
using Bytes = std::vector<uint8_t>;
using Outcome = MouseModel::ButtonOutcome;

IoctlResult Call(MouseModel& model, uint32_t code, const Bytes& in, size_t outSize) {
  return model.Ioctl(code, in.data(), in.size(), outSize);
}

uint32_t Word(const IoctlResult& r) {
  return r.out.size() == 4 ? static_cast<uint32_t>(r.out[0] | r.out[1] << 8 | r.out[2] << 16 | r.out[3] << 24) : 0;
}

// A model whose client has registered, counting the "event pending" notices.
struct Registered {
  explicit Registered(MouseConfig config = {}) : model(clock, config) {
    model.SetEventPendingCallback([this] { ++notices; });
    EXPECT_TRUE(Call(model, IOCTL_REGISTER_EVENT, {1, 0, 0, 0}, 0).ok);
  }
  VirtualClock clock;
  MouseModel model;
  int notices = 0;
};

struct Row {
  uint32_t code;
  Bytes in;
  size_t outSize;
  bool ok;
  uint32_t error;
  Bytes out;
};

TEST(SimModel, AnswersEveryRequestAsTheDriverContractSays) {
  VirtualClock clock;
  MouseModel model(clock);
  // In order: sets are read back by the gets after them.
  const Row rows[] = {
      {IOCTL_GET_FIRMWARE_VERSION, {}, 2, true, 0, {0x03, 0x02}},
      {IOCTL_GET_DEVICE_INFO, {}, 16, true, 0, {0, 0, 0, 16, 0x02, 0x03, 0, 0, 0x10, 0x00, 0, 5, 0, 10, 0, 0}},
      {IOCTL_GET_DPI_STEP, {0}, 1, true, 0, {6}},
      {IOCTL_SET_DPI_STEP, {3}, 0, true, 0, {}},
      {IOCTL_GET_DPI_STEP, {0}, 1, true, 0, {3}},
      {IOCTL_SET_DPI_STEP, {0}, 0, false, ERROR_INVALID_PARAMETER, {}},
      {IOCTL_SET_DPI_STEP, {7}, 0, false, ERROR_INVALID_PARAMETER, {}},
      {IOCTL_GET_POLLING_RATE, {0}, 1, true, 0, {2}},
      {IOCTL_SET_POLLING_RATE, {1}, 0, true, 0, {}},
      {IOCTL_SET_POLLING_RATE, {4}, 0, false, ERROR_INVALID_PARAMETER, {}},
      {IOCTL_GET_POLLING_RATE, {0}, 1, true, 0, {1}},
      {IOCTL_GET_LED_COLOR, {0, 0, 0}, 3, true, 0, {0xFF, 0x3C, 0x00}},
      {IOCTL_SET_LED_COLOR, {0x11, 0x22, 0x33}, 0, true, 0, {}},
      {IOCTL_GET_LED_COLOR, {0, 0, 0}, 3, true, 0, {0x11, 0x22, 0x33}},
      {IOCTL_SET_LED_INTENSITY, {2}, 0, true, 0, {}},
      {IOCTL_GET_LED_INTENSITY, {0}, 1, true, 0, {2}},
      {IOCTL_SET_LED_PULSATION, {1}, 0, true, 0, {}},
      {IOCTL_GET_LED_PULSATION, {0}, 1, true, 0, {1}},
      {IOCTL_SET_LIFT_DISTANCE, {2, 0}, 0, true, 0, {}},
      {IOCTL_SET_LIFT_DISTANCE, {3, 0}, 0, false, ERROR_INVALID_PARAMETER, {}},
      {IOCTL_SET_LIFT_DISTANCE, {1, 1}, 0, false, ERROR_INVALID_PARAMETER, {}},  // 257
      {IOCTL_SET_SENSITIVITY_ENABLE, {1}, 0, true, 0, {}},
      {IOCTL_SET_SENSITIVITY_X, {18, 0, 0, 0}, 0, true, 0, {}},
      {IOCTL_SET_SENSITIVITY_Y, {1, 0, 0, 0}, 0, true, 0, {}},
      {IOCTL_SET_SENSITIVITY_X, {0, 0, 0, 0}, 0, false, ERROR_INVALID_PARAMETER, {}},
      {IOCTL_SET_SENSITIVITY_Y, {19, 0, 0, 0}, 0, false, ERROR_INVALID_PARAMETER, {}},
      {IOCTL_SET_INTERCEPT_MASK, {0xFA, 0xFF, 0, 0}, 0, true, 0, {}},
      {IOCTL_SET_INTERCEPT_EXTRA, {0}, 0, true, 0, {}},
      {IOCTL_SET_DEVICE_MODE, {2, 0}, 0, true, 0, {}},
      {IOCTL_SET_DEVICE_MODE, {3, 0}, 0, false, ERROR_INVALID_PARAMETER, {}},
      {IOCTL_SET_DEVICE_MODE, {1, 1}, 0, false, ERROR_INVALID_PARAMETER, {}},
      {IOCTL_SAVE_SETTINGS, {}, 0, true, 0, {}},
      {IOCTL_FW_START, {}, 0, false, ERROR_GEN_FAILURE, {}},  // only the loader programs
      {IOCTL_FW_FINISH, {}, 0, false, ERROR_GEN_FAILURE, {}},
      {IOCTL_FW_WRITE_BLOCK, Bytes(514, 0), 0, false, ERROR_GEN_FAILURE, {}},
      {IOCTL_GET_EVENT, {0, 0, 0, 0}, 4, false, ERROR_NO_MORE_ITEMS, {}},
      {IOCTL_REGISTER_EVENT, {0x44, 0x33, 0x22, 0x11}, 0, true, 0, {}},
      {IOCTL_UNREGISTER, {}, 0, true, 0, {}},
      {0x222444, {}, 0, false, ERROR_INVALID_FUNCTION, {}},
      {0, {}, 0, false, ERROR_INVALID_FUNCTION, {}},
  };
  for (const Row& row : rows) {
    const IoctlResult r = Call(model, row.code, row.in, row.outSize);
    SCOPED_TRACE(testing::Message() << std::hex << "code 0x" << row.code);
    EXPECT_EQ(r.ok, row.ok);
    EXPECT_EQ(r.error, row.error);
    EXPECT_EQ(r.out, row.out);
  }
  const MouseSnapshot s = model.Snapshot();
  const MouseSettings expected{3, 1, 0x332211, 2, 1, 2};
  EXPECT_EQ(s.live, expected);
  EXPECT_EQ(s.saved, expected);  // IOCTL_SAVE_SETTINGS took them
  EXPECT_EQ(s.sensitivityEnable, 1);
  EXPECT_EQ(s.sensitivityX, 18u);
  EXPECT_EQ(s.sensitivityY, 1u);
  EXPECT_EQ(s.interceptMask, 0xFFFAu);
  EXPECT_EQ(s.deviceMode, 2);
  EXPECT_FALSE(s.registered);
  EXPECT_EQ(s.semaphoreValue, 0x11223344u);
}

TEST(SimModel, RefusesEveryWrongBufferSizeWithoutActing) {
  struct Size {
    uint32_t code;
    size_t in, out;
  };
  const Size sizes[] = {
      {IOCTL_REGISTER_EVENT, 4, 0},
      {IOCTL_UNREGISTER, 0, 0},
      {IOCTL_GET_EVENT, 4, 4},
      {IOCTL_SET_INTERCEPT_MASK, 4, 0},
      {IOCTL_SET_SENSITIVITY_X, 4, 0},
      {IOCTL_SET_SENSITIVITY_Y, 4, 0},
      {IOCTL_SET_SENSITIVITY_ENABLE, 1, 0},
      {IOCTL_SET_INTERCEPT_EXTRA, 1, 0},
      {IOCTL_SET_POLLING_RATE, 1, 0},
      {IOCTL_GET_POLLING_RATE, 1, 1},
      {IOCTL_GET_FIRMWARE_VERSION, 0, 2},
      {IOCTL_SET_LED_COLOR, 3, 0},
      {IOCTL_GET_LED_COLOR, 3, 3},
      {IOCTL_SET_DPI_STEP, 1, 0},
      {IOCTL_GET_DPI_STEP, 1, 1},
      {IOCTL_SET_LED_INTENSITY, 1, 0},
      {IOCTL_GET_LED_INTENSITY, 1, 1},
      {IOCTL_SET_LED_PULSATION, 1, 0},
      {IOCTL_GET_LED_PULSATION, 1, 1},
      {IOCTL_GET_DEVICE_INFO, 0, 16},
      {IOCTL_SET_DEVICE_MODE, 2, 0},
      {IOCTL_FW_START, 0, 0},
      {IOCTL_FW_WRITE_BLOCK, 514, 0},
      {IOCTL_ONBOARD_WRITE_HEADER, 77, 0},
      {IOCTL_ONBOARD_READ_HEADER, 2, 77},
      {IOCTL_SAVE_SETTINGS, 0, 0},
      {IOCTL_FW_FINISH, 0, 0},
      {IOCTL_SET_LIFT_DISTANCE, 2, 0},
  };
  VirtualClock clock;
  MouseModel model(clock);
  const MouseSnapshot before = model.Snapshot();
  for (const Size& size : sizes) {
    SCOPED_TRACE(testing::Message() << std::hex << "code 0x" << size.code);
    const std::pair<size_t, size_t> wrong[] = {{size.in + 1, size.out},
                                               {size.in, size.out + 1},
                                               {size.in ? size.in - 1 : 5, size.out},
                                               {size.in, size.out ? size.out - 1 : 3}};
    for (const auto& [in, out] : wrong) {
      const Bytes buffer(in, 1);
      const IoctlResult r = model.Ioctl(size.code, buffer.data(), in, out);
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.error, ERROR_INVALID_PARAMETER) << "in " << in << " out " << out;
      EXPECT_TRUE(r.out.empty());
    }
  }
  // The variable sizes of the on-board data requests: 1-4096 data bytes.
  const Bytes none(2, 0), tooMuch(2 + 4097, 0);
  EXPECT_EQ(Call(model, IOCTL_ONBOARD_WRITE_DATA, none, 0).error, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Call(model, IOCTL_ONBOARD_WRITE_DATA, tooMuch, 0).error, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Call(model, IOCTL_ONBOARD_WRITE_DATA, Bytes(3, 0), 1).error, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Call(model, IOCTL_ONBOARD_READ_DATA, none, 0).error, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Call(model, IOCTL_ONBOARD_READ_DATA, none, 4097).error, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Call(model, IOCTL_ONBOARD_READ_DATA, Bytes(3, 0), 1).error, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(model.Ioctl(IOCTL_SET_DPI_STEP, nullptr, 1, 0).error, ERROR_INVALID_PARAMETER);

  const MouseSnapshot after = model.Snapshot();
  EXPECT_EQ(after.live, before.live);
  EXPECT_EQ(after.onboardData, before.onboardData);
  EXPECT_EQ(after.interceptMask, before.interceptMask);
  EXPECT_FALSE(after.registered);
}

TEST(SimModel, TranscriptRecordsRequestsEventsAndPassThroughInItsLineFormat) {
  Registered r;
  r.clock.Advance(1234);
  Call(r.model, IOCTL_SET_DPI_STEP, {3}, 0);
  Call(r.model, IOCTL_GET_LED_COLOR, {0, 0, 0}, 3);
  Call(r.model, IOCTL_SET_DPI_STEP, {9}, 0);
  Call(r.model, IOCTL_SET_INTERCEPT_MASK, {0xFE, 0xFF, 0, 0}, 0);
  r.clock.Advance(66);
  r.model.Press(0);
  r.model.Press(1);
  Call(r.model, IOCTL_SET_DEVICE_MODE, {16, 0}, 0);  // leaves for the loader: its words follow its line
  const std::vector<std::string> lines = r.model.Transcript();
  const std::vector<std::string> expected = {
      "t=0 ioctl=0x222400 in=01000000 ok=1 err=0 out=",
      "t=1234 ioctl=0x222540 in=03 ok=1 err=0 out=",
      "t=1234 ioctl=0x222524 in=000000 ok=1 err=0 out=FF3C00",
      "t=1234 ioctl=0x222540 in=09 ok=0 err=87 out=",
      "t=1234 ioctl=0x222420 in=FEFF0000 ok=1 err=0 out=",
      "t=1300 passthrough id=0 down",
      "t=1300 event=0x00000002",
      "t=1300 ioctl=0x2225C4 in=1000 ok=1 err=0 out=",
      "t=1300 note=loader-enter",
      "t=1300 event=0x00000800",
  };
  EXPECT_EQ(lines, expected);
}

TEST(SimModel, StandardButtonsReportOnlyWhatTheMaskIntercepts) {
  Registered r;
  Call(r.model, IOCTL_SET_INTERCEPT_MASK, {0xFA, 0xFF, 0, 0}, 0);  // left (0) and middle (2) pass through
  struct Step {
    bool press;
    int id;
    Outcome outcome;
  };
  const Step steps[] = {
      {true, 1, Outcome::Reported},                                      // word 0x02
      {true, 0, Outcome::PassedThrough},                                 // held, but never in a word
      {true, 3, Outcome::Reported},                                      // word 0x0A, not 0x0B
      {true, 3, Outcome::Unchanged},     {false, 1, Outcome::Reported},  // word 0x08
      {true, 2, Outcome::PassedThrough}, {false, 0, Outcome::PassedThrough}, {true, 5, Outcome::Reported},  // word 0x28
      {false, 3, Outcome::Reported},                                                                        // word 0x20
      {true, 6, Outcome::UnknownButton}, {true, -1, Outcome::UnknownButton},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(step.press ? r.model.Press(step.id) : r.model.Release(step.id), step.outcome) << step.id;
  }
  EXPECT_EQ(r.model.Snapshot().pendingEvents, (std::vector<uint32_t>{0x02, 0x0A, 0x08, 0x28, 0x20}));
  EXPECT_EQ(r.notices, 5);
  const std::vector<std::string> lines = r.model.Transcript();
  for (const char* passed : {" passthrough id=0 down", " passthrough id=2 down", " passthrough id=0 up"}) {
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& l) { return l.find(passed) != std::string::npos; }),
              1)
        << passed;
  }
  // The client fetches them in order; then the queue is empty.
  for (uint32_t word : {0x02u, 0x0Au, 0x08u, 0x28u, 0x20u}) {
    EXPECT_EQ(Word(Call(r.model, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4)), word);
  }
  EXPECT_EQ(Call(r.model, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4).error, ERROR_NO_MORE_ITEMS);
}

TEST(SimModel, ExtraButtonsReportTheirWholeMask) {
  Registered r;
  Call(r.model, IOCTL_SET_INTERCEPT_MASK, {0, 0xFF, 0, 0}, 0);  // the game mode mask: extras still report
  EXPECT_EQ(r.model.Press(1024), Outcome::Reported);
  EXPECT_EQ(r.model.Press(1026), Outcome::Reported);
  EXPECT_EQ(r.model.Release(1024), Outcome::Reported);
  EXPECT_EQ(r.model.Press(1041), Outcome::Reported);
  EXPECT_EQ(r.model.Release(1041), Outcome::Reported);
  EXPECT_EQ(r.model.Release(1041), Outcome::Unchanged);
  EXPECT_EQ(r.model.Press(1023), Outcome::UnknownButton);
  EXPECT_EQ(r.model.Press(1042), Outcome::UnknownButton);
  EXPECT_EQ(r.model.Press(0), Outcome::PassedThrough);
  EXPECT_EQ(r.model.Snapshot().pendingEvents,
            (std::vector<uint32_t>{0x10000001, 0x10000005, 0x10000004, 0x10020004, 0x10000004}));
  EXPECT_EQ(r.notices, 5);
}

TEST(SimModel, NothingIsQueuedForAClientThatIsNotRegistered) {
  VirtualClock clock;
  MouseModel model(clock);
  int notices = 0;
  model.SetEventPendingCallback([&] { ++notices; });
  EXPECT_EQ(model.Press(1), Outcome::PassedThrough);  // nobody to report to: the system gets it
  EXPECT_EQ(model.Press(1030), Outcome::Dropped);
  EXPECT_TRUE(model.Snapshot().pendingEvents.empty());
  EXPECT_EQ(notices, 0);
  const auto lines = model.Transcript();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "t=0 dropped=0x10000040 reason=unregistered"), lines.end());

  Call(model, IOCTL_REGISTER_EVENT, {0, 0, 0, 0}, 0);
  EXPECT_EQ(model.Release(1030), Outcome::Reported);
  EXPECT_EQ(notices, 1);
  Call(model, IOCTL_UNREGISTER, {}, 0);  // detaching empties the queue
  EXPECT_TRUE(model.Snapshot().pendingEvents.empty());
  Call(model, IOCTL_REGISTER_EVENT, {0, 0, 0, 0}, 0);
  model.ClientClosed();  // a closed handle: unregistered, and every button passes through
  EXPECT_FALSE(model.Snapshot().registered);
  EXPECT_EQ(model.Snapshot().interceptMask, 0u);
}

TEST(SimModel, EventQueueIsBoundedAndDropsBeyondIt) {
  Registered r;
  for (int i = 0; i < 100; ++i) {
    r.model.Press(1024);
    r.model.Release(1024);
  }
  EXPECT_EQ(r.model.Snapshot().pendingEvents.size(), kEventQueueCapacity);
  EXPECT_EQ(r.notices, static_cast<int>(kEventQueueCapacity));
  const auto lines = r.model.Transcript();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("reason=full") != std::string::npos; }),
            200 - static_cast<int>(kEventQueueCapacity));
}

TEST(SimModel, UnpluggedMouseFailsItsRequestsAndComesBackWithWhatItKept) {
  Registered r;
  Call(r.model, IOCTL_SET_DPI_STEP, {2}, 0);
  Call(r.model, IOCTL_SAVE_SETTINGS, {}, 0);
  Call(r.model, IOCTL_SET_DPI_STEP, {5}, 0);  // not kept
  r.model.Press(1024);
  EXPECT_TRUE(r.model.Unplug());
  EXPECT_FALSE(r.model.Unplug());
  EXPECT_EQ(Call(r.model, IOCTL_GET_DPI_STEP, {0}, 1).error, ERROR_GEN_FAILURE);
  EXPECT_EQ(Call(r.model, IOCTL_SET_INTERCEPT_MASK, {0, 0, 0, 0}, 0).error, ERROR_GEN_FAILURE);
  EXPECT_EQ(r.model.Press(1025), Outcome::NotReady);
  // The driver's own requests still work.
  EXPECT_EQ(Word(Call(r.model, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4)), 0x10000001u);
  EXPECT_EQ(Word(Call(r.model, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4)), kEventDisconnect);
  EXPECT_TRUE(Call(r.model, IOCTL_UNREGISTER, {}, 0).ok);
  EXPECT_TRUE(Call(r.model, IOCTL_REGISTER_EVENT, {0, 0, 0, 0}, 0).ok);

  EXPECT_TRUE(r.model.Plug());
  EXPECT_FALSE(r.model.Plug());
  EXPECT_EQ(r.model.Snapshot().pendingEvents, std::vector<uint32_t>{kEventConnect});
  EXPECT_EQ(Call(r.model, IOCTL_GET_DPI_STEP, {0}, 1).out, Bytes{2});
  EXPECT_EQ(r.model.Snapshot().extraButtons, 0u);  // what was held went with the unplugging
}

Bytes Block(uint16_t offset, const Bytes& image, size_t at) {
  Bytes in{static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8)};
  for (size_t i = 0; i < kFirmwareBlockSize; ++i) in.push_back(at + i < image.size() ? image[at + i] : 0);
  return in;
}

TEST(SimModel, FirmwareLoaderLeavesProgramsAndComesBackWithTheImagesVersion) {
  Registered r;                               // S 0x1000, W 5, D 10, away for 1500 ms
  Call(r.model, IOCTL_SET_DPI_STEP, {4}, 0);  // live, not kept: a new firmware starts from what was kept
  Bytes image = {'V', 'X', 'F', 'W', 0x02, 0x04};
  image.resize(1000, 0xA5);

  ASSERT_TRUE(Call(r.model, IOCTL_SET_DEVICE_MODE, {16, 0}, 0).ok);
  EXPECT_EQ(r.model.Snapshot().phase, MousePhase::Away);
  EXPECT_EQ(Call(r.model, IOCTL_GET_FIRMWARE_VERSION, {}, 2).error, ERROR_GEN_FAILURE);  // nobody there
  r.clock.Advance(1499);
  r.model.Poll();
  EXPECT_EQ(r.model.Snapshot().phase, MousePhase::Away);
  r.clock.Advance(1);
  r.model.Poll();
  EXPECT_EQ(r.model.Snapshot().phase, MousePhase::Loader);
  EXPECT_EQ(r.model.Snapshot().pendingEvents, (std::vector<uint32_t>{kEventDisconnect, kEventConnect}));

  // The loader answers its own requests, the version and the device information only.
  EXPECT_EQ(Call(r.model, IOCTL_GET_FIRMWARE_VERSION, {}, 2).out, (Bytes{0x03, 0x02}));
  EXPECT_TRUE(Call(r.model, IOCTL_GET_DEVICE_INFO, {}, 16).ok);
  EXPECT_EQ(Call(r.model, IOCTL_GET_DPI_STEP, {0}, 1).error, ERROR_GEN_FAILURE);
  EXPECT_EQ(Call(r.model, IOCTL_SET_DEVICE_MODE, {2, 0}, 0).error, ERROR_GEN_FAILURE);
  EXPECT_EQ(r.model.Press(1024), Outcome::NotReady);
  EXPECT_EQ(Call(r.model, IOCTL_FW_WRITE_BLOCK, Block(0x1000, image, 0), 0).error, ERROR_GEN_FAILURE);  // no start

  ASSERT_TRUE(Call(r.model, IOCTL_FW_START, {}, 0).ok);
  r.clock.Advance(9);  // erasing takes 2 x W = 10 ms
  EXPECT_EQ(Call(r.model, IOCTL_FW_WRITE_BLOCK, Block(0x1000, image, 0), 0).error, ERROR_GEN_FAILURE);
  r.clock.Advance(1001);
  EXPECT_EQ(Call(r.model, IOCTL_FW_WRITE_BLOCK, Block(0x1200, image, 512), 0).error, ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(Call(r.model, IOCTL_FW_WRITE_BLOCK, Block(0x1000, image, 0), 0).ok);
  r.clock.Advance(9);  // programming a block takes D = 10 ms
  EXPECT_EQ(Call(r.model, IOCTL_FW_WRITE_BLOCK, Block(0x1200, image, 512), 0).error, ERROR_GEN_FAILURE);
  r.clock.Advance(201);
  EXPECT_TRUE(Call(r.model, IOCTL_FW_WRITE_BLOCK, Block(0x1200, image, 512), 0).ok);
  EXPECT_EQ(r.model.Snapshot().firmwareImage.size(), 1024u);

  ASSERT_TRUE(Call(r.model, IOCTL_FW_FINISH, {}, 0).ok);
  EXPECT_EQ(r.model.Snapshot().phase, MousePhase::Away);
  r.clock.Advance(1500);
  r.model.Poll();
  const MouseSnapshot s = r.model.Snapshot();
  EXPECT_EQ(s.phase, MousePhase::Mouse);
  EXPECT_EQ(s.pendingEvents, (std::vector<uint32_t>{kEventDisconnect, kEventConnect, kEventDisconnect, kEventConnect}));
  EXPECT_EQ(r.notices, 4);
  EXPECT_EQ(Call(r.model, IOCTL_GET_FIRMWARE_VERSION, {}, 2).out, (Bytes{0x04, 0x02}));  // 204
  const Bytes info = Call(r.model, IOCTL_GET_DEVICE_INFO, {}, 16).out;
  EXPECT_EQ(info[4], 0x02);
  EXPECT_EQ(info[5], 0x04);
  EXPECT_EQ(Call(r.model, IOCTL_GET_DPI_STEP, {0}, 1).out, Bytes{6});
}

TEST(SimModel, ImageWithoutVersionMarkIsRefusedAndTheOldFirmwareStays) {
  MouseConfig config;
  config.reenumerateMs = 0;  // comes back at once
  config.eraseWait = 0;
  config.blockDelay = 0;
  Registered r(config);
  ASSERT_TRUE(Call(r.model, IOCTL_SET_DEVICE_MODE, {16, 0}, 0).ok);
  EXPECT_EQ(r.model.Snapshot().phase, MousePhase::Loader);
  ASSERT_TRUE(Call(r.model, IOCTL_FW_START, {}, 0).ok);
  ASSERT_TRUE(Call(r.model, IOCTL_FW_WRITE_BLOCK, Block(0x1000, Bytes(512, 0x11), 0), 0).ok);
  const IoctlResult finish = Call(r.model, IOCTL_FW_FINISH, {}, 0);
  EXPECT_FALSE(finish.ok);
  EXPECT_EQ(finish.error, ERROR_INVALID_DATA);
  EXPECT_EQ(r.model.Snapshot().phase, MousePhase::Mouse);
  EXPECT_EQ(r.model.Snapshot().firmwareWord, 0x0203);
  EXPECT_EQ(r.model.Snapshot().pendingEvents.size(), 4u);
  // Unplugging in the middle of an update brings the old firmware back as the mouse.
  ASSERT_TRUE(Call(r.model, IOCTL_SET_DEVICE_MODE, {16, 0}, 0).ok);
  r.model.Unplug();
  r.model.Plug();
  EXPECT_EQ(r.model.Snapshot().phase, MousePhase::Mouse);
  EXPECT_TRUE(Call(r.model, IOCTL_GET_DPI_STEP, {0}, 1).ok);
}

TEST(SimModel, OnboardMemoryHoldsExactlyItsCapacity) {
  for (uint8_t units : {uint8_t{16}, uint8_t{2}}) {
    MouseConfig config;
    config.memoryUnits = units;
    VirtualClock clock;
    MouseModel model(clock, config);
    const size_t capacity = units * 512u;
    SCOPED_TRACE(capacity);
    EXPECT_EQ(model.OnboardCapacity(), capacity);
    EXPECT_EQ(Call(model, IOCTL_GET_DEVICE_INFO, {}, 16).out[3], units);

    auto write = [&](size_t offset, size_t n, uint8_t fill) {
      Bytes in{static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8)};
      in.resize(2 + n, fill);
      return Call(model, IOCTL_ONBOARD_WRITE_DATA, in, 0);
    };
    auto read = [&](size_t offset, size_t n) {
      return Call(model, IOCTL_ONBOARD_READ_DATA, {static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8)}, n);
    };
    const size_t chunk = std::min<size_t>(capacity, 4096);
    EXPECT_TRUE(write(0, chunk, 0x5A).ok);
    EXPECT_TRUE(write(capacity - 3, 3, 0x77).ok);
    EXPECT_EQ(write(capacity - 2, 3, 0x77).error, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(write(capacity, 1, 0x77).error, ERROR_INVALID_PARAMETER);
    const size_t untouched = std::min(chunk, capacity - 3);
    EXPECT_EQ(read(0, untouched).out, Bytes(untouched, 0x5A));
    EXPECT_EQ(read(capacity - 1, 1).out, Bytes{0x77});
    EXPECT_EQ(read(capacity - 1, 2).error, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(read(capacity, 1).error, ERROR_INVALID_PARAMETER);
  }
}

TEST(SimModel, OnboardHeaderIsReadBackWithoutItsTwoLeadingBytes) {
  VirtualClock clock;
  MouseModel model(clock);
  // A fresh mouse holds the neutral image.
  Bytes neutral(77, 0);
  neutral[0] = 14;
  neutral[2] = 75;
  for (int k = 0; k < 14; ++k) neutral[5 + 5 * k] = static_cast<uint8_t>(k + 1);
  EXPECT_EQ(Call(model, IOCTL_ONBOARD_READ_HEADER, {0, 0}, 77).out, neutral);

  Bytes header(77);
  for (size_t i = 0; i < header.size(); ++i) header[i] = static_cast<uint8_t>(i + 1);
  ASSERT_TRUE(Call(model, IOCTL_ONBOARD_WRITE_HEADER, header, 0).ok);
  Bytes expected(header.begin() + 2, header.end());
  expected.resize(77, 0);
  EXPECT_EQ(Call(model, IOCTL_ONBOARD_READ_HEADER, {0, 0}, 77).out, expected);
}

TEST(SimModel, ArmedFailuresFailTheNextRequestsOfTheirCode) {
  Registered r;
  EXPECT_FALSE(r.model.ArmFailure(0x222444));  // no such request
  EXPECT_FALSE(r.model.ArmFailure(IOCTL_SET_DPI_STEP, 0));
  ASSERT_TRUE(r.model.ArmFailure(IOCTL_SET_DPI_STEP));
  ASSERT_TRUE(r.model.ArmFailure(IOCTL_SET_DPI_STEP, 87));
  EXPECT_TRUE(Call(r.model, IOCTL_GET_DPI_STEP, {0}, 1).ok);  // other codes are not touched
  EXPECT_EQ(Call(r.model, IOCTL_SET_DPI_STEP, {2}, 0).error, ERROR_GEN_FAILURE);
  EXPECT_EQ(Call(r.model, IOCTL_SET_DPI_STEP, {2}, 0).error, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Call(r.model, IOCTL_GET_DPI_STEP, {0}, 1).out, Bytes{6});  // the failed sets did nothing
  EXPECT_TRUE(Call(r.model, IOCTL_SET_DPI_STEP, {2}, 0).ok);
  EXPECT_EQ(Call(r.model, IOCTL_GET_DPI_STEP, {0}, 1).out, Bytes{2});

  // A failed fetch loses its word; the next fetch takes the one after it.
  r.model.Press(1024);
  r.model.Press(1025);
  ASSERT_TRUE(r.model.ArmFailure(IOCTL_GET_EVENT, 1167));
  EXPECT_EQ(Call(r.model, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4).error, 1167u);
  EXPECT_EQ(Word(Call(r.model, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4)), 0x10000003u);
}

TEST(SimModel, StateFileKeepsSavedSettingsFirmwareAndOnboardMemory) {
  test::TempDir dir;
  const std::string path = dir / "mouse.state";
  Bytes header(77, 0x42);
  {
    VirtualClock clock;
    MouseModel model(clock);
    model.SetStatePath(path);
    EXPECT_FALSE(model.LoadState());  // nothing there yet
    Call(model, IOCTL_SET_DPI_STEP, {2}, 0);
    Call(model, IOCTL_SET_LED_COLOR, {1, 2, 3}, 0);
    Call(model, IOCTL_SET_LIFT_DISTANCE, {1, 0}, 0);
    Call(model, IOCTL_SAVE_SETTINGS, {}, 0);
    Call(model, IOCTL_SET_DPI_STEP, {5}, 0);  // not kept
    Call(model, IOCTL_ONBOARD_WRITE_HEADER, header, 0);
    Call(model, IOCTL_ONBOARD_WRITE_DATA, {0x10, 0x00, 0xDE, 0xAD}, 0);
  }
  VirtualClock clock;
  MouseModel again(clock);
  again.SetStatePath(path);
  ASSERT_TRUE(again.LoadState());
  const MouseSnapshot s = again.Snapshot();
  EXPECT_EQ(s.live, (MouseSettings{2, 2, 0x030201, 4, 3, 1}));
  EXPECT_EQ(s.saved, s.live);
  EXPECT_EQ(Bytes(s.onboardHeader.begin(), s.onboardHeader.end()), header);
  EXPECT_EQ(s.onboardData[0x10], 0xDE);
  EXPECT_EQ(s.onboardData[0x11], 0xAD);
  EXPECT_EQ(s.onboardData[0x12], 0xFF);  // erased memory
  std::string text;
  ASSERT_TRUE(ReadWholeFile(path, text, kMaxStateFileSize));
  EXPECT_EQ(text.rfind("OrvMouseSim state 1\n", 0), 0u);
}

TEST(SimModel, StateFileValuesOutOfRangeKeepTheirDefaults) {
  test::TempDir dir;
  const std::string path = dir / "mouse.state";
  test::WriteFile(path,
                  "OrvMouseSim state 1\ndpi_step=9\npolling_rate=3\nled_color=0x1000000\nfirmware=0x0110\n"
                  "onboard_header=0102\nonboard_data=ZZ\nlift_distance=2\n");
  VirtualClock clock;
  MouseModel model(clock);
  model.SetStatePath(path);
  ASSERT_TRUE(model.LoadState());
  const MouseSnapshot s = model.Snapshot();
  EXPECT_EQ(s.live, (MouseSettings{6, 3, 0x3CFF, 4, 3, 2}));
  EXPECT_EQ(s.firmwareWord, 0x0110);
  EXPECT_EQ(s.onboardHeader[2], 14);  // still the neutral image
  EXPECT_EQ(s.onboardData[0], 0xFF);

  test::WriteFile(path, "something else\ndpi_step=1\n");
  MouseModel other(clock);
  other.SetStatePath(path);
  EXPECT_FALSE(other.LoadState());
  EXPECT_EQ(other.Snapshot().live.dpiStep, 6);
}

TEST(SimModel, StateJsonNamesTheMouseState) {
  Registered r;
  Call(r.model, IOCTL_SET_DPI_STEP, {4}, 0);
  r.model.Press(1024);
  const std::string json = r.model.StateJson({{"present", "true"}});
  EXPECT_EQ(json.rfind("{\"present\":true,\"plugged\":true,\"phase\":\"mouse\",\"settings\":{\"dpi_step\":4,", 0), 0u)
      << json;
  for (const char* member : {"\"registered\":true", "\"firmware_version\":203", "\"onboard_capacity\":8192",
                             "\"pending_events\":[268435457]", "\"extra_buttons\":1", "\"saved\":{\"dpi_step\":6,"}) {
    EXPECT_NE(json.find(member), std::string::npos) << member;
  }
  EXPECT_EQ(json.back(), '}');
}

TEST(SimModel, InProcessDeviceRunsTheModelAndItsTimedSteps) {
  VirtualClock clock;
  MouseModel model(clock);
  EventSemaphore semaphore(100);
  model.SetEventPendingCallback([&] { semaphore.Release(); });
  ModelDevice device(model);
  DeviceIo& io = device;
  ASSERT_TRUE(io.Alive());
  ASSERT_TRUE(io.Ioctl(IOCTL_REGISTER_EVENT, Bytes{0, 0, 0, 0}.data(), 4, 0).ok);
  ASSERT_TRUE(io.Ioctl(IOCTL_SET_DEVICE_MODE, Bytes{16, 0}.data(), 2, 0).ok);
  EXPECT_EQ(semaphore.Count(), 1);  // the disconnect word
  clock.Sleep(1500);                // the caller waits; its next request finds the loader there
  EXPECT_TRUE(io.Ioctl(IOCTL_GET_FIRMWARE_VERSION, nullptr, 0, 2).ok);
  EXPECT_EQ(semaphore.Count(), 2);
  EXPECT_EQ(model.Snapshot().phase, MousePhase::Loader);
  device.SetAlive(false);
  EXPECT_FALSE(io.Alive());
  EXPECT_EQ(io.Ioctl(IOCTL_GET_FIRMWARE_VERSION, nullptr, 0, 2).error, ERROR_DEVICE_NOT_CONNECTED);
}

}  // namespace
}  // namespace orv::sim
