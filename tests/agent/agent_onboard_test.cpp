// The agent's long conversations with the mouse: the firmware update through the loader, the
// on-board write and the offer to take the mouse's memory over.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/byte_order.h"
#include "device/onboard_format.h"
#include "profile/settings_files.h"
#include "tests/agent/agent_fixture.h"

namespace orv::test {
namespace {

using Pauses = std::vector<uint32_t>;

// Whether `needle` occurs in `hay` as a run of consecutive pauses.
bool HasRun(const Pauses& hay, const Pauses& needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

class FirmwareTest : public AgentTest {
 protected:
  void SetUp() override {
    AgentTest::SetUp();
    // S = 0x1000, W = 5, D = 10 (the model's loader); firmware word 0x0203.
    device->model.SetFirmwareWord(0x0203);
    // Each pause gives the event thread a moment to count the connects the device reports.
    clock.onSleep = [](uint32_t) { std::this_thread::sleep_for(std::chrono::microseconds(300)); };
  }
  // A program folder of its own with a Firmware.xml naming `file` of `size` bytes.
  void OwnFirmware(size_t size, const std::string& version = "0x0205") {
    programFolder = own_.path() + "/";
    WriteFile(own_ / "Firmware.xml", "<?xml version=\"1.0\"?>\r\n<FIRMWARE>\r\n<FirmwareFile>fw.bin</FirmwareFile>\r\n"
                                     "<Version>" + version + "</Version>\r\n</FIRMWARE>\r\n");
    std::string image(size, '\x5A');
    WriteFile(own_ / "fw.bin", image);
  }
  std::vector<DeviceRequest> Requests(uint32_t code) {
    std::vector<DeviceRequest> out;
    for (auto& r : device->Take())
      if (r.code == code) out.push_back(r);
    return out;
  }
  TempDir own_;
};

TEST_F(FirmwareTest, AnUpdateSendsTheImageInBlocksWithTheLoadersPauses) {
  StartAgent();
  EXPECT_EQ(Message(UM_UPDATE_FIRMWARE, 0, 0), 0);
  std::vector<DeviceRequest> sent = device->Take();
  std::vector<uint32_t> codes;
  for (auto& r : sent) codes.push_back(r.code);
  EXPECT_EQ(codes, (std::vector<uint32_t>{IOCTL_GET_DEVICE_INFO, IOCTL_SET_DEVICE_MODE, IOCTL_FW_START,
                                          IOCTL_FW_WRITE_BLOCK, IOCTL_FW_WRITE_BLOCK, IOCTL_FW_WRITE_BLOCK,
                                          IOCTL_FW_WRITE_BLOCK, IOCTL_FW_FINISH, IOCTL_GET_FIRMWARE_VERSION}));
  EXPECT_EQ(sent[1].in, (std::vector<uint8_t>{16, 0}));
  std::string image = ReadFile(ORV_PROGRAM_DIR "/Firmware.bin");
  ASSERT_EQ(image.size(), 2048u);
  for (int b = 0; b < 4; ++b) {
    const DeviceRequest& block = sent[3 + b];
    ASSERT_EQ(block.in.size(), 514u);
    uint32_t offset = 0x1000 + 512 * b;
    EXPECT_EQ(block.in[0], offset & 0xFF);
    EXPECT_EQ(block.in[1], offset >> 8);
    std::vector<uint8_t> expected(image.begin() + 512 * b, image.begin() + 512 * (b + 1));
    EXPECT_EQ(std::vector<uint8_t>(block.in.begin() + 2, block.in.end()), expected) << "block " << b;
  }
  // W = 5 and D = 10: 1010 ms after the start, 210 ms after each block; 2000 ms after the loader came.
  EXPECT_TRUE(HasRun(clock.Pauses(), {2000, 1010, 210, 210, 210, 210})) << ::testing::PrintToString(clock.Pauses());
  EXPECT_EQ(ReadFirmwareVersion(ConfFolder()), 204);  // what the mouse now reports: the image's 2.04
}

TEST_F(FirmwareTest, ALoaderThatNeverComesBackEndsEachWaitAfterThirtySeconds) {
  StartAgent();
  // The mouse leaves and comes back, but the driver never reports it.
  device->alwaysFail.insert(IOCTL_GET_EVENT);
  EXPECT_EQ(Message(UM_UPDATE_FIRMWARE, 0, 0), 0);
  Pauses pauses = clock.Pauses();
  EXPECT_TRUE(HasRun(pauses, Pauses(30, 1000)));
  EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 1000u), 60);  // two waits of 30 steps
  EXPECT_EQ(Requests(IOCTL_FW_WRITE_BLOCK).size(), 4u);  // the update went on regardless
}

TEST_F(FirmwareTest, ABlockIsTriedTwiceAndTheLoaderIsToldToFinishEitherWay) {
  StartAgent();
  device->failures[IOCTL_FW_WRITE_BLOCK] = 1;  // the first block fails once, then goes
  EXPECT_EQ(Message(UM_UPDATE_FIRMWARE, 0, 0), 0);
  EXPECT_EQ(Requests(IOCTL_FW_WRITE_BLOCK).size(), 5u);
  EXPECT_TRUE(HasRun(clock.Pauses(), {1010, 2000, 210, 210}));

  std::filesystem::remove(JoinPath(ConfFolder(), "FWVersion.xml"));
  device->failures[IOCTL_FW_WRITE_BLOCK] = 2;  // the first block fails twice
  EXPECT_EQ(Message(UM_UPDATE_FIRMWARE, 0, 0), -1);
  std::vector<uint32_t> codes;
  for (auto& r : device->Take()) codes.push_back(r.code);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), IOCTL_FW_WRITE_BLOCK), 2);
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.back(), IOCTL_FW_FINISH);  // told to finish; no version read after a failure
  EXPECT_FALSE(std::filesystem::exists(JoinPath(ConfFolder(), "FWVersion.xml")));
}

TEST_F(FirmwareTest, WhatIsRefusedBeforeAnythingIsSent) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
  } cases[] = {
      {"an image reaching 0x10000", [&] { OwnFirmware(0x10000 - 0x1000); }},
      {"no Firmware.xml", [&] { programFolder = own_.path() + "/missing/"; }},
      {"no image", [&] {
         OwnFirmware(10);
         std::filesystem::remove(own_ / "fw.bin");
       }},
      {"no device information", [&] { device->alwaysFail.insert(IOCTL_GET_DEVICE_INFO); }},
      {"an empty image", [&] { OwnFirmware(0); }},
      // Nothing waits on a FIFO or reads a device where the files should be.
      {"Firmware.xml a FIFO", [&] {
         OwnFirmware(10);
         std::filesystem::remove(own_ / "Firmware.xml");
         ASSERT_TRUE(test::MakeSpecialFile(own_ / "Firmware.xml", test::SpecialFile::kFifo, 0));
       }},
      {"the image a FIFO", [&] {
         OwnFirmware(10);
         std::filesystem::remove(own_ / "fw.bin");
         ASSERT_TRUE(test::MakeSpecialFile(own_ / "fw.bin", test::SpecialFile::kFifo, 0));
       }},
      {"the image a link to /dev/zero", [&] {
         OwnFirmware(10);
         std::filesystem::remove(own_ / "fw.bin");
         ASSERT_TRUE(test::MakeSpecialFile(own_ / "fw.bin", test::SpecialFile::kDeviceLink, 0));
       }},
  };
  for (const Case& c : cases) {
    c.arrange();
    StartAgent();
    EXPECT_EQ(Message(UM_UPDATE_FIRMWARE, 0, 0), -1) << c.what;
    for (auto& r : device->Take()) EXPECT_EQ(r.code, IOCTL_GET_DEVICE_INFO) << c.what;
    agent.reset();
    device->alwaysFail.clear();
    std::filesystem::remove(own_ / "Firmware.xml");
    std::filesystem::remove(own_ / "fw.bin");
  }
  // One byte less fits: the update goes ahead.
  OwnFirmware(0x10000 - 0x1000 - 1);
  StartAgent();
  EXPECT_EQ(Message(UM_UPDATE_FIRMWARE, 0, 0), 0);
  EXPECT_EQ(Requests(IOCTL_FW_WRITE_BLOCK).size(), 120u);  // 61439 bytes in 512-byte blocks
}

TEST_F(FirmwareTest, ShortImagesFillTheirLastBlockFromTheOneBefore) {
  OwnFirmware(700);
  StartAgent();
  EXPECT_EQ(Message(UM_UPDATE_FIRMWARE, 0, 0), 0);
  std::vector<DeviceRequest> blocks = Requests(IOCTL_FW_WRITE_BLOCK);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[1].in[2 + 187], 0x5A);  // the file's last byte
  EXPECT_EQ(blocks[1].in[2 + 188], 0x5A);  // the first block's byte left in place
}

TEST_F(FirmwareTest, AnotherProcessCanOnlyAskForTheFileOfFirmwareXml) {
  StartAgent();
  std::u16string path = test::U(ORV_PROGRAM_DIR "/Firmware.bin");
  // Handled directly, as from outside any message of this process.
  EXPECT_EQ(Message(UM_UPDATE_FIRMWARE, 0, reinterpret_cast<LParam>(&path)), -1);
  EXPECT_TRUE(device->Take().empty());
  // Sent within the process, the address is this process's own.
  EXPECT_EQ(bus::Send(agent->handle(), UM_UPDATE_FIRMWARE, 0, reinterpret_cast<LParam>(&path)), 0);
  EXPECT_EQ(Requests(IOCTL_FW_WRITE_BLOCK).size(), 4u);
}

TEST_F(FirmwareTest, TheVersionsOfFileAndMouse) {
  StartAgent();
  EXPECT_EQ(Message(UM_GET_FIRMWARE_VERSIONS), (0x0204 << 16) | 0x0203);
  for (std::string v : {"0X1A", "1a", "12zz"}) {
    OwnFirmware(10, v);
    StartAgent();
    int64_t expected = v == "12zz" ? 0x12 : 0x1A;
    EXPECT_EQ(Message(UM_GET_FIRMWARE_VERSIONS), (expected << 16) | 0x0203) << v;
  }
  OwnFirmware(10, "none");
  StartAgent();
  EXPECT_EQ(Message(UM_GET_FIRMWARE_VERSIONS), -1);
  device->alwaysFail.insert(IOCTL_GET_DEVICE_INFO);
  programFolder = ORV_PROGRAM_DIR "/";
  StartAgent();
  EXPECT_EQ(Message(UM_GET_FIRMWARE_VERSIONS), -1);
}

// ---- On-board memory -------------------------------------------------------------------------

class OnboardTest : public AgentTest {
 protected:
  // Buttons whose macros give exactly `n` data bytes: macros of 320 and fewer two-byte events,
  // and an odd byte from a sensitivity step.
  void ShapeForLength(ProfileSet& s, size_t n) {
    Profile& p = s.profiles[0];
    for (auto& b : p.buttons) b.code = 9;
    size_t left = n;
    int button = 0, macro = 0;
    if (left % 2) {
      p.buttons[button++].code = 16;
      --left;
    }
    while (left > 0) {
      size_t events = std::min<size_t>(left / 2, 320);
      Macro& m = p.macros[macro];
      CopyText(m.name, u"long");
      for (size_t e = 0; e < events; ++e) m.events[e] = MacroEvent{'A', uint8_t(e % 2), {0, 0}, 0};
      p.buttons[button++].code = 1000 + macro++;
      left -= 2 * events;
    }
  }
  std::vector<DeviceRequest> DataWrites() {
    std::vector<DeviceRequest> out;
    for (auto& r : device->Take())
      if (r.code == IOCTL_ONBOARD_WRITE_DATA) out.push_back(r);
    return out;
  }
};

TEST_F(OnboardTest, TheActiveProfileIsWrittenWithItsProgress) {
  StandInWindow progress(kProgressWindowTitle);
  WriteConfig([](ProfileSet& s) { s.profiles[0].buttons[0].code = 18; });
  StartAgent();
  OnboardImage expected = EncodeOnboardProfile(agent->currentSet().profiles[0], agent->onboardBufferSize());
  EXPECT_EQ(Message(UM_RELOAD_PROFILES, 1, 1), 1);
  std::vector<DeviceRequest> sent = device->Take();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].code, IOCTL_ONBOARD_WRITE_HEADER);
  EXPECT_EQ(sent[0].in, std::vector<uint8_t>(expected.header.begin(), expected.header.end()));
  EXPECT_EQ(sent[1].code, IOCTL_ONBOARD_WRITE_DATA);
  std::vector<uint8_t> data{0, 0};
  data.insert(data.end(), expected.data.begin(), expected.data.end());
  EXPECT_EQ(sent[1].in, data);
  EXPECT_EQ(clock.Pauses(), (Pauses{500, 1000, 1000, 1000}));
  EXPECT_EQ(progress.Messages(), (std::vector<StandInWindow::Message>{
                                     {UM_PROGRESS, 25, 0}, {UM_PROGRESS, 50, 0}, {UM_PROGRESS, 100, 0}}));
}

TEST_F(OnboardTest, DataOfMoreThan4096BytesGoesInTwoRequests) {
  for (size_t n : {size_t{4096}, size_t{4097}}) {
    WriteConfig([&](ProfileSet& s) { ShapeForLength(s, n); });
    StartAgent();
    Message(UM_RELOAD_PROFILES, 1, 1);
    std::vector<DeviceRequest> writes = DataWrites();
    if (n == 4096) {
      ASSERT_EQ(writes.size(), 1u);
      EXPECT_EQ(writes[0].in.size(), 4098u);
    } else {
      ASSERT_EQ(writes.size(), 2u);
      EXPECT_EQ(writes[0].in.size(), 4098u);
      EXPECT_EQ(writes[1].in.size(), 3u);
      EXPECT_EQ(writes[1].in[0], 0x00);  // offset 4096, little-endian
      EXPECT_EQ(writes[1].in[1], 0x10);
    }
    agent.reset();
  }
}

TEST_F(OnboardTest, AWriteFailingWithError31IsTriedOnceMore) {
  StandInWindow progress(kProgressWindowTitle);
  WriteConfig([](ProfileSet& s) { s.profiles[0].buttons[5].code = 501; });
  struct Case {
    int failures;
    uint32_t error;
    size_t tries;
    LParam failed;
  } cases[] = {{1, 31, 2, 0}, {2, 31, 2, 1}, {0, 0, 1, 0}};
  StartAgent();
  for (const Case& c : cases) {
    device->failures[IOCTL_ONBOARD_WRITE_DATA] = c.failures;
    progress.Clear();
    Message(UM_RELOAD_PROFILES, 1, 1);
    EXPECT_EQ(DataWrites().size(), c.tries);
    EXPECT_EQ(progress.Messages().back(), (StandInWindow::Message{UM_PROGRESS, 100, c.failed}));
  }
  // A failed header marks the transfer failed too.
  device->failures[IOCTL_ONBOARD_WRITE_HEADER] = 1;
  progress.Clear();
  Message(UM_RELOAD_PROFILES, 1, 1);
  EXPECT_EQ(progress.Messages().back(), (StandInWindow::Message{UM_PROGRESS, 100, 1}));
}

TEST_F(OnboardTest, GameModeWritesTheNeutralImage) {
  WriteConfig([](ProfileSet& s) {
    s.gameMode = 1;
    s.profileId = 3;
  });
  StartAgent();
  Message(UM_RELOAD_PROFILES, 1, 1);
  std::vector<DeviceRequest> sent = device->Take();
  ASSERT_EQ(sent.size(), 1u);  // no data
  OnboardImage neutral = NeutralOnboardImage(3);
  EXPECT_EQ(sent[0].in, std::vector<uint8_t>(neutral.header.begin(), neutral.header.end()));
  EXPECT_EQ(sent[0].in[0], 3);
  for (int k = 0; k < 14; ++k) EXPECT_EQ(sent[0].in[7 + 5 * k], k + 1);
}

class OfferTest : public AgentTest {
 protected:
  // The mouse holds `stored`, written into its memory as the agent writes it (the mouse reads
  // its header back without the written header's first two bytes).
  void MouseHolds(const Profile& stored) { MouseHolds(EncodeOnboardProfile(stored, 8292)); }
  void MouseHolds(const OnboardImage& image) {
    device->answers.erase(IOCTL_ONBOARD_READ_HEADER);
    ASSERT_TRUE(device->Mouse(IOCTL_ONBOARD_WRITE_HEADER, {image.header.begin(), image.header.end()}));
    for (size_t at = 0; at < image.data.size(); at += 4096) {
      const size_t n = std::min<size_t>(4096, image.data.size() - at);
      std::vector<uint8_t> part(2 + n);
      PutLe16(part.data(), static_cast<uint16_t>(at));
      std::copy_n(image.data.begin() + static_cast<std::ptrdiff_t>(at), n, part.begin() + 2);
      ASSERT_TRUE(device->Mouse(IOCTL_ONBOARD_WRITE_DATA, part));
    }
    written = image;
    dataLength = image.data.size();
  }
  OnboardImage written;
  size_t dataLength = 0;
};

TEST_F(OfferTest, AStoredProfileIsOfferedOnConnectAndTakenOnYes) {
  StartAgent();
  auto stored = std::make_unique<Profile>(agent->currentSet().profiles[0]);
  stored->buttons[5].code = 402;
  stored->buttons[6].code = 16;
  MouseHolds(*stored);
  Standard(kEventDisconnect);
  answer = false;
  Standard(kEventConnect);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], u"Would you like to overwrite the current profile with the on-board profile?");
  EXPECT_NE(agent->currentSet().profiles[0].buttons[5].code, 402);  // no: unchanged

  Standard(kEventDisconnect);
  answer = true;
  device->Take();
  Standard(kEventConnect);
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(agent->currentSet().profiles[0].buttons[5].code, 402);
  EXPECT_EQ(agent->currentSet().profiles[0].buttons[6].code, 16);
  std::vector<DeviceRequest> sent = device->Take();
  auto read = std::find_if(sent.begin(), sent.end(), [](auto& r) { return r.code == IOCTL_ONBOARD_READ_DATA; });
  ASSERT_NE(read, sent.end());
  EXPECT_EQ(read->in, (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(read->outSize, dataLength);
  // The set changed, so reading the mouse back saves it.
  auto loaded = std::make_unique<ProfileSet>();
  LoadProfileSet(ConfigPath(), *loaded);
  EXPECT_EQ(loaded->profiles[0].buttons[5].code, 402);
}

TEST_F(OfferTest, TheNeutralImageAndGameModeAreNeverOffered) {
  StartAgent();
  MouseHolds(NeutralOnboardImage(0));
  Standard(kEventDisconnect);
  Standard(kEventConnect);
  EXPECT_TRUE(asked.empty());

  std::vector<uint8_t> garbage(77, 0x33);  // not 14 entries, as no write leaves it
  device->answers[IOCTL_ONBOARD_READ_HEADER] = garbage;
  Standard(kEventDisconnect);
  Standard(kEventConnect);
  EXPECT_TRUE(asked.empty());

  WriteConfig([](ProfileSet& s) { s.gameMode = 1; });
  MouseHolds(agent->currentSet().profiles[0]);
  Standard(kEventDisconnect);
  device->Take();
  Standard(kEventConnect);
  EXPECT_TRUE(asked.empty());
  for (auto& r : device->Take()) EXPECT_NE(r.code, IOCTL_ONBOARD_READ_HEADER);
}

TEST_F(OfferTest, LongDataIsReadInTwoPartsAndALyingLengthIsNotBelieved) {
  StartAgent();
  auto stored = std::make_unique<Profile>(agent->currentSet().profiles[0]);
  for (int m = 0; m < 8; ++m) {
    CopyText(stored->macros[m].name, u"m");
    for (int e = 0; e < 320; ++e) stored->macros[m].events[e] = MacroEvent{uint8_t('A' + m), uint8_t(e % 2), {0, 0}, 0};
    stored->buttons[3 + m].code = 1000 + m;
  }
  MouseHolds(*stored);
  ASSERT_GT(dataLength, 4096u);
  Standard(kEventDisconnect);
  clock.ClearPauses();
  Standard(kEventConnect);
  std::vector<DeviceRequest> reads;
  for (auto& r : device->Take())
    if (r.code == IOCTL_ONBOARD_READ_DATA) reads.push_back(r);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].outSize, 4096u);
  EXPECT_EQ(reads[1].in, (std::vector<uint8_t>{0x00, 0x10}));
  EXPECT_EQ(reads[1].outSize, dataLength - 4096);
  EXPECT_TRUE(HasRun(clock.Pauses(), {500, 10}));
  EXPECT_EQ(asked.size(), 1u);

  // A header claiming 0xFFFF bytes: no more than the memory holds is asked for.
  OnboardImage lying = written;
  lying.header[5] = 0xFF;
  lying.header[6] = 0xFF;
  ASSERT_TRUE(device->Mouse(IOCTL_ONBOARD_WRITE_HEADER, {lying.header.begin(), lying.header.end()}));
  Standard(kEventDisconnect);
  Standard(kEventConnect);
  size_t asked_for = 0;
  for (auto& r : device->Take())
    if (r.code == IOCTL_ONBOARD_READ_DATA) asked_for += r.outSize;
  EXPECT_EQ(asked_for, static_cast<size_t>(agent->onboardBufferSize() - 2));
}

}  // namespace
}  // namespace orv::test
