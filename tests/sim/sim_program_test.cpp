#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "device/device_io.h"
#include "sim/mouse_model.h"
#include "tests/sim/sim_process.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using namespace device_error;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

IoctlResult Call(DeviceIo& io, uint32_t code, const Bytes& in, size_t outSize) {
  return io.Ioctl(code, in.data(), in.size(), outSize);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

size_t CountMatching(const std::vector<std::string>& lines, const std::string& pattern) {
  const std::regex re(pattern);
  return static_cast<size_t>(
      std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return std::regex_match(l, re); }));
}

TEST(SimCommandLine, PressGivesAnEventAndTheTranscriptShowsEverything) {
  using namespace sim;
  test::TempDir dir;
  test::SimProcess sim(dir.path());
  ASSERT_TRUE(sim.ready());
  auto handle = DeviceHandle::Open(dir / "VX-TidefallDevice", nullptr);
  ASSERT_NE(handle, nullptr);
  EventSemaphore semaphore(100);
  handle->AttachEventSemaphore(&semaphore);
  ASSERT_TRUE(Call(*handle, IOCTL_REGISTER_EVENT, {0, 0, 0, 0}, 0).ok);
  ASSERT_TRUE(Call(*handle, IOCTL_SET_INTERCEPT_MASK, {0xFE, 0xFF, 0, 0}, 0).ok);

  test::RunResult r = sim.Command({"press", "0"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "passthrough id=0 down\n");
  EXPECT_FALSE(semaphore.WaitFor(20ms));
  r = sim.Command({"press", "1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "event=0x00000002\n");
  ASSERT_TRUE(semaphore.WaitFor(2000ms));
  EXPECT_EQ(Call(*handle, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4).out, (Bytes{2, 0, 0, 0}));
  EXPECT_EQ(sim.Command({"press", "1"}).out, "unchanged: button 1 is already down\n");

  r = sim.Command({"transcript"});
  EXPECT_EQ(r.status, 0);
  const auto lines = Lines(r.out);
  EXPECT_EQ(CountMatching(lines, R"(t=\d+ ioctl=0x222400 in=00000000 ok=1 err=0 out=)"), 1u) << r.out;
  EXPECT_EQ(CountMatching(lines, R"(t=\d+ ioctl=0x222420 in=FEFF0000 ok=1 err=0 out=)"), 1u);
  EXPECT_EQ(CountMatching(lines, R"(t=\d+ passthrough id=0 down)"), 1u);
  EXPECT_EQ(CountMatching(lines, R"(t=\d+ event=0x00000002)"), 1u);
  EXPECT_EQ(CountMatching(lines, R"(t=\d+ ioctl=0x222408 in=00000000 ok=1 err=0 out=02000000)"), 1u);
  EXPECT_EQ(CountMatching(lines, R"(t=\d+ note=client-open)"), 1u);
  // Every line carries its time first, and the times never go back.
  uint64_t last = 0;
  for (const std::string& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(line, m, std::regex(R"(^t=(\d+) )"))) << line;
    const uint64_t t = std::stoull(m[1]);
    EXPECT_GE(t, last);
    last = t;
  }
  handle->AttachEventSemaphore(nullptr);
}

TEST(SimCommandLine, StatePrintsTheMouseAsJson) {
  using namespace sim;
  test::TempDir dir;
  test::SimProcess sim(dir.path(), {"--memory", "4", "--firmware", "0x0110"});
  ASSERT_TRUE(sim.ready());
  std::string json = sim.Command({"state"}).out;
  EXPECT_NE(json.find("\"present\":true,\"client\":false"), std::string::npos) << json;
  EXPECT_NE(json.find("\"onboard_capacity\":2048"), std::string::npos);
  EXPECT_NE(json.find("\"firmware_version\":116"), std::string::npos);
  auto handle = DeviceHandle::Open(dir / "VX-TidefallDevice", nullptr);
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(Call(*handle, IOCTL_SET_DPI_STEP, {2}, 0).ok);
  ASSERT_TRUE(Call(*handle, IOCTL_SET_DEVICE_MODE, {2, 0}, 0).ok);
  const test::RunResult r = sim.Command({"state"});
  EXPECT_EQ(r.status, 0);
  json = r.out;
  EXPECT_EQ(json.front(), '{');
  EXPECT_EQ(json.substr(json.size() - 2), "}\n");
  for (const char* member : {"\"client\":true", "\"settings\":{\"dpi_step\":2,", "\"device_mode\":2",
                             "\"device_info\":\"00000004011000001000000500"
                             "0A0000\""}) {
    EXPECT_NE(json.find(member), std::string::npos) << member << " in " << json;
  }
}

TEST(SimCommandLine, FailMakesTheNextRequestOfThatCodeFail) {
  using namespace sim;
  test::TempDir dir;
  test::SimProcess sim(dir.path());
  ASSERT_TRUE(sim.ready());
  auto handle = DeviceHandle::Open(dir / "VX-TidefallDevice", nullptr);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(sim.Command({"fail", "0x222540"}).status, 0);
  EXPECT_EQ(sim.Command({"fail", "2237760", "87"}).status, 0);  // 0x222540 in decimal
  EXPECT_EQ(Call(*handle, IOCTL_SET_DPI_STEP, {2}, 0).error, ERROR_GEN_FAILURE);
  EXPECT_EQ(Call(*handle, IOCTL_SET_DPI_STEP, {2}, 0).error, ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(Call(*handle, IOCTL_SET_DPI_STEP, {2}, 0).ok);
}

TEST(SimCommandLine, BadCommandsAndAMissingSimulatorExitWithOne) {
  test::TempDir dir;
  test::RunResult r = test::RunSim(dir.path(), {"state"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no simulator is running"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());

  test::SimProcess sim(dir.path());
  ASSERT_TRUE(sim.ready());
  const std::vector<std::vector<std::string>> bad = {
      {"bogus"},
      {"press"},
      {"press", "x"},
      {"press", "6"},
      {"release", "1042"},
      {"press", "-1"},
      {"fail"},
      {"fail", "0x1"},
      {"fail", "0x222540", "0"},
      {"fail", "0x222540", "zz"},
      {"state", "now"},
      {"plug", "twice"},
      {"press", "99999999999"},
  };
  for (const auto& args : bad) {
    r = sim.Command(args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_FALSE(r.err.empty()) << args[0];
  }
  // A second simulator in the same folder is refused.
  r = test::RunSim(dir.path(), {"serve"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("already running"), std::string::npos);
  EXPECT_EQ(sim.Command({"state"}).status, 0);  // the first one is untouched
}

TEST(SimCommandLine, AbsentDeviceAppearsOnPlugAndGoesOnRemove) {
  using namespace sim;
  test::TempDir dir;
  test::SimProcess sim(dir.path(), {"--absent"});
  ASSERT_TRUE(sim.ready());
  const std::string device = dir / "VX-TidefallDevice";
  EXPECT_FALSE(std::filesystem::exists(device));
  uint32_t error = 0;
  EXPECT_EQ(DeviceHandle::Open(device, &error), nullptr);
  EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
  EXPECT_NE(sim.Command({"state"}).out.find("\"present\":false"), std::string::npos);
  EXPECT_EQ(sim.Command({"unplug"}).status, 1);
  EXPECT_EQ(sim.Command({"press", "1"}).status, 1);  // no mouse to press

  EXPECT_EQ(sim.Command({"plug"}).status, 0);
  EXPECT_TRUE(std::filesystem::exists(device));
  auto handle = DeviceHandle::Open(device, &error);
  ASSERT_NE(handle, nullptr) << error;
  EXPECT_TRUE(Call(*handle, IOCTL_GET_DPI_STEP, {0}, 1).ok);

  EXPECT_EQ(sim.Command({"remove"}).status, 0);
  EXPECT_FALSE(std::filesystem::exists(device));
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (handle->Alive() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(handle->Alive());
  EXPECT_NE(sim.Command({"state"}).out.find("\"present\":false,\"client\":false,\"plugged\":false"), std::string::npos);
}

TEST(SimCommandLine, SavedSettingsAndOnboardMemorySurviveARestart) {
  using namespace sim;
  test::TempDir dir;
  Bytes header(77);
  for (size_t i = 0; i < header.size(); ++i) header[i] = static_cast<uint8_t>(200 - i);
  {
    test::SimProcess sim(dir.path());
    ASSERT_TRUE(sim.ready());
    auto handle = DeviceHandle::Open(dir / "VX-TidefallDevice", nullptr);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(Call(*handle, IOCTL_SET_DPI_STEP, {3}, 0).ok);
    ASSERT_TRUE(Call(*handle, IOCTL_SET_LIFT_DISTANCE, {2, 0}, 0).ok);
    ASSERT_TRUE(Call(*handle, IOCTL_SAVE_SETTINGS, {}, 0).ok);
    ASSERT_TRUE(Call(*handle, IOCTL_SET_DPI_STEP, {5}, 0).ok);  // not kept
    ASSERT_TRUE(Call(*handle, IOCTL_ONBOARD_WRITE_HEADER, header, 0).ok);
    ASSERT_TRUE(Call(*handle, IOCTL_ONBOARD_WRITE_DATA, {0, 0, 0xC0, 0xFF, 0xEE}, 0).ok);
    handle.reset();
    EXPECT_EQ(sim.Command({"quit"}).out, "bye\n");
    const int status = sim.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "OrvMouseSim.control"));  // an orderly end cleans up
    EXPECT_FALSE(std::filesystem::exists(dir / "VX-TidefallDevice"));
  }
  test::SimProcess sim(dir.path());
  ASSERT_TRUE(sim.ready());
  auto handle = DeviceHandle::Open(dir / "VX-TidefallDevice", nullptr);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(Call(*handle, IOCTL_GET_DPI_STEP, {0}, 1).out, Bytes{3});
  Bytes expected(header.begin() + 2, header.end());
  expected.resize(77, 0);
  EXPECT_EQ(Call(*handle, IOCTL_ONBOARD_READ_HEADER, {0, 0}, 77).out, expected);
  EXPECT_EQ(Call(*handle, IOCTL_ONBOARD_READ_DATA, {0, 0}, 4).out, (Bytes{0xC0, 0xFF, 0xEE, 0xFF}));
  EXPECT_NE(sim.Command({"state"}).out.find("\"lift_distance\":2"), std::string::npos);
}

TEST(SimCommandLine, TerminationSignalEndsTheSimulatorInOrder) {
  test::TempDir dir;
  test::SimProcess sim(dir.path());
  ASSERT_TRUE(sim.ready());
  const int status = sim.Kill(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "OrvMouseSim.control"));
  EXPECT_FALSE(std::filesystem::exists(dir / "VX-TidefallDevice"));
}

TEST(SimCommandLine, LoaderComesBackOverTheSocketWithScaledPauses) {
  using namespace sim;
  test::TempDir dir;
  test::SimProcess sim(dir.path());
  ASSERT_TRUE(sim.ready());
  auto handle = DeviceHandle::Open(dir / "VX-TidefallDevice", nullptr);
  ASSERT_NE(handle, nullptr);
  EventSemaphore semaphore(100);
  handle->AttachEventSemaphore(&semaphore);
  ASSERT_TRUE(Call(*handle, IOCTL_REGISTER_EVENT, {0, 0, 0, 0}, 0).ok);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(Call(*handle, IOCTL_SET_DEVICE_MODE, {16, 0}, 0).ok);
  std::vector<uint32_t> words;
  for (int i = 0; i < 2 && semaphore.WaitFor(2000ms); ++i) {
    const Bytes out = Call(*handle, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4).out;
    if (out.size() == 4) words.push_back(static_cast<uint32_t>(out[0] | out[1] << 8));
  }
  // 1500 ms of mouse time at scale 0.01.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
  EXPECT_EQ(words, (std::vector<uint32_t>{kEventDisconnect, kEventConnect}));
  EXPECT_TRUE(Call(*handle, IOCTL_FW_START, {}, 0).ok);
  const auto lines = Lines(sim.Command({"transcript"}).out);
  EXPECT_EQ(CountMatching(lines, R"(t=\d+ note=loader-ready)"), 1u);
  handle->AttachEventSemaphore(nullptr);
}

}  // namespace
}  // namespace orv
