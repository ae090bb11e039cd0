// Fuzz target for what the agent's firmware update reads: Firmware.xml (part 1), the firmware
// image it names (part 2), the device information block the mouse answers (part 3), the
// mouse's firmware version answer (part 4) and which requests fail (part 5, one byte per
// request, odd fails). The update runs against a recording device on a virtual clock.
// Whatever the files say: a refused update sends nothing to the mouse, a successful one has
// sent every byte of the image in order in whole blocks within the 16-bit offsets, and the
// versions answer is -1 or carries the mouse's firmware word.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/agent_conf.h"
#include "agent/driver_channel.h"
#include "agent/firmware_update.h"
#include "agent/peer_windows.h"
#include "base/byte_order.h"
#include "base/files.h"
#include "base/text.h"
#include "device/device_codes.h"
#include "fuzz_input.h"
#include "platform/clock.h"
#include "profile/xml_cursor.h"

namespace {

using namespace orv;

struct Sent {
  uint32_t code;
  std::vector<uint8_t> in;
  bool ok;
};

// Answers every request from the fuzz input and keeps what was sent.
class RecordingDevice : public DeviceIo {
 public:
  RecordingDevice(std::vector<uint8_t> info, std::vector<uint8_t> version, std::string_view failures,
                  std::vector<Sent>& sent)
      : info_(std::move(info)), version_(std::move(version)), failures_(failures), sent_(sent) {}

  IoctlResult Ioctl(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize) override {
    const size_t n = sent_.size();
    const bool fails = code != IOCTL_REGISTER_EVENT && n < failures_.size() && (failures_[n] & 1);
    sent_.push_back({code, std::vector<uint8_t>(in, in + inSize), !fails});
    if (fails) return IoctlResult{false, device_error::ERROR_GEN_FAILURE, {}};
    IoctlResult r{true, 0, {}};
    if (code == IOCTL_GET_DEVICE_INFO) r.out = info_;
    if (code == IOCTL_GET_FIRMWARE_VERSION) r.out = version_;
    // As the device handle takes it: an answer longer than asked for is malformed.
    if (r.out.size() > outSize) return IoctlResult{false, device_error::ERROR_INVALID_DATA, {}};
    return r;
  }
  bool Alive() const override { return true; }

 private:
  std::vector<uint8_t> info_, version_;
  std::string_view failures_;
  std::vector<Sent>& sent_;
};

std::vector<uint8_t> Vector(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// FirmwareFile's text as the agent reads it, through the same XML reader.
std::string NamedFile(std::string_view xml) {
  XmlCursor x;
  if (!x.LoadBytes(xml) || !x.FindElement() || !x.FindChildElement(u"FirmwareFile")) return {};
  return ToUtf8(x.GetChildText());
}

// The blocks a successful update must have sent for `image` from start offset `start`.
void CheckBlocks(const std::vector<Sent>& sent, std::string_view image, uint32_t start) {
  size_t at = 0;
  for (const Sent& s : sent) {
    if (s.code != IOCTL_FW_WRITE_BLOCK || !s.ok) continue;
    ORV_FUZZ_CHECK(s.in.size() == 514);
    ORV_FUZZ_CHECK(at < image.size());
    ORV_FUZZ_CHECK(GetLe16(s.in.data()) == start + at);
    const size_t n = std::min<size_t>(512, image.size() - at);
    ORV_FUZZ_CHECK(std::memcmp(image.data() + at, s.in.data() + 2, n) == 0);
    at += 512;
  }
  ORV_FUZZ_CHECK(at >= image.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    const std::string f = JoinPath(fuzz::ScratchFolder(), "program") + "/";
    MakeFolders(f);
    // No window of the other programs to tell.
    const std::string bus = fuzz::ScratchSubfolder("bus");
    setenv("ORV_BUS_DIR", bus.c_str(), 1);
    return f;
  }();
  const auto parts = fuzz::SplitParts(data, size, 5);
  const std::string_view xml = parts[0];
  const std::string_view image = parts.size() > 1 ? parts[1] : std::string_view{};
  std::vector<uint8_t> info =
      parts.size() > 2 ? Vector(parts[2])
                       : std::vector<uint8_t>{0, 0, 0, 16, 2, 3, 0, 0, 0x10, 0, 0, 5, 0, 10, 0, 0};
  const std::vector<uint8_t> version = parts.size() > 3 ? Vector(parts[3]) : std::vector<uint8_t>{3, 2};
  const std::string_view failures = parts.size() > 4 ? parts[4] : std::string_view{};

  ORV_FUZZ_CHECK(ReplaceFileContents(folder + "Firmware.xml", {xml}));
  // Only a plain file name of the program folder is written: the target reads nothing outside it.
  const std::string named = NamedFile(xml);
  bool plainName = !named.empty() && named.find('/') == std::string::npos && named != "." && named != ".." &&
                   named.find('\0') == std::string::npos && named != "Firmware.xml";
  // A name the file system cannot hold (too long) is a file that is not there.
  if (plainName) plainName = ReplaceFileContents(folder + named, {image});
  ORV_FUZZ_CHECK(ReplaceFileContents(folder + "Given.bin", {image}));

  const bool infoRead = info.size() == kDeviceInfoSize;
  const uint32_t start = infoRead ? GetBe16(info.data() + 8) : 0;
  const bool fits = start + image.size() <= 0xFFFF;

  for (int round = 0; round < 2; ++round) {
    if (round == 0 && !plainName) continue;
    std::vector<Sent> sent;
    VirtualClock clock;
    DriverChannel driver([&](EventSemaphore&) { return std::make_unique<RecordingDevice>(info, version, failures, sent); });
    ORV_FUZZ_CHECK(driver.OpenDevice() == 1);
    sent.clear();
    AgentConf conf;
    PeerWindows peers;
    FirmwareUpdate update(driver, clock, conf, peers, folder);
    const std::u16string given = ToUtf16(folder + "Given.bin");
    const int result = update.UpdateFirmware(round == 0 ? nullptr : &given);
    ORV_FUZZ_CHECK(result == 0 || result == -1);
    bool modeSent = false;
    for (const Sent& s : sent) modeSent = modeSent || s.code == IOCTL_SET_DEVICE_MODE;
    if (!infoRead || !fits || image.empty()) {
      // Refused before anything reached the mouse.
      ORV_FUZZ_CHECK(result == -1);
      ORV_FUZZ_CHECK(!modeSent);
    }
    if (result == 0) CheckBlocks(sent, image, start);

    sent.clear();
    const int64_t versions = update.FirmwareVersions();
    if (versions != -1) {
      ORV_FUZZ_CHECK(infoRead);
      ORV_FUZZ_CHECK((versions & 0xFFFF) == GetBe16(info.data() + 4));
      ORV_FUZZ_CHECK(versions >= 0);
    }
  }
  return 0;
}
