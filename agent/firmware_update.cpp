#include "agent/firmware_update.h"

#include <algorithm>

#include "agent/agent_conf.h"
#include "agent/driver_channel.h"
#include "agent/peer_windows.h"
#include "base/byte_order.h"
#include "base/files.h"
#include "base/log.h"
#include "base/text.h"
#include "link/messages.h"
#include "platform/clock.h"
#include "profile/profile_files.h"
#include "profile/xml_cursor.h"

namespace orv {
namespace {

constexpr size_t kBlockSize = 512;
constexpr int kReenumerationSteps = 30;
constexpr uint32_t kReenumerationStepMs = 1000;
constexpr uint8_t kLoaderMode = 16;
// The blocks' offsets are 16-bit: no image past 64 KiB can be written.
constexpr size_t kMaxFirmwareImageSize = 0x10000;

uint32_t BigEndian16(const std::vector<uint8_t>& b, size_t at) { return GetBe16(b.data() + at); }

// The hexadecimal number at the start of a text, after an optional "0x"; -1 when there is none.
int64_t ParseHexVersion(std::u16string_view text) {
  if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) text.remove_prefix(2);
  int64_t value = 0;
  size_t digits = 0;
  for (char16_t c : text) {
    int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
    if (d < 0 || digits == 8) break;
    value = value * 16 + d;
    ++digits;
  }
  return digits ? value : -1;
}

}  // namespace

FirmwareUpdate::FirmwareUpdate(DriverChannel& driver, Clock& clock, const AgentConf& conf, PeerWindows& peers,
                               std::string programFolder)
    : driver_(driver), clock_(clock), conf_(conf), peers_(peers), programFolder_(std::move(programFolder)) {}

bool FirmwareUpdate::ReadFirmwareXml(std::u16string& file, int64_t& version) {
  XmlCursor x;
  if (!x.LoadFile(programFolder_ + "Firmware.xml", kMaxProgramDataFileSize) || !x.FindElement()) return false;
  file.clear();
  version = -1;
  if (x.FindChildElement(u"FirmwareFile")) file = x.GetChildText();
  x.ResetChildPosition();
  if (x.FindChildElement(u"Version")) version = ParseHexVersion(x.GetChildText());
  return true;
}

void FirmwareUpdate::PublishFirmwareVersion() {
  int version = 0;
  for (int attempt = 0; attempt < 2 && version == 0; ++attempt) {
    IoctlResult r = driver_.Request(IOCTL_GET_FIRMWARE_VERSION, {}, 2);
    clock_.Sleep(1);
    version = r.ok && r.out.size() == 2 ? r.out[1] * 100 + r.out[0] : 0;
  }
  conf_.WriteFirmwareVersion(version);
  peers_.PostToWindow(kAboutWindowTitle, UM_VERSION_CHANGED, 0, 0);
}

void FirmwareUpdate::PublishNoFirmware() {
  conf_.WriteFirmwareVersion(0);
  peers_.PostToWindow(kAboutWindowTitle, UM_VERSION_CHANGED, 0, 0);
}

void FirmwareUpdate::WaitForConnect(int32_t before) {
  for (int step = 0; step < kReenumerationSteps && driver_.connectCount() <= before; ++step) clock_.Sleep(kReenumerationStepMs);
}

int FirmwareUpdate::UpdateFirmware(const std::u16string* path) {
  std::u16string file;
  if (path) {
    file = *path;
  } else {
    int64_t version;
    if (!ReadFirmwareXml(file, version) || file.empty()) return -1;
    file = ToUtf16(programFolder_) + file;
  }
  std::string image;
  // An empty image would have the loader erase the firmware and take nothing in its place.
  if (!ReadWholeFile(ToUtf8(file), image, kMaxFirmwareImageSize) || image.empty()) return -1;
  IoctlResult info = driver_.Request(IOCTL_GET_DEVICE_INFO, {}, kDeviceInfoSize);
  if (!info.ok || info.out.size() != kDeviceInfoSize) return -1;
  uint32_t start = BigEndian16(info.out, 8), eraseWait = BigEndian16(info.out, 10), blockDelay = BigEndian16(info.out, 12);
  uint64_t end = start + static_cast<uint64_t>(image.size());
  if (end > 0xFFFF) return -1;  // the blocks' 16-bit offsets cannot reach it

  int32_t before = driver_.connectCount();
  driver_.Request(IOCTL_SET_DEVICE_MODE, {kLoaderMode, 0});
  WaitForConnect(before);  // the mouse comes back as its loader
  clock_.Sleep(2000);

  int result = 0;
  if (driver_.Request(IOCTL_FW_START).ok) {
    clock_.Sleep(2 * eraseWait + 1000);
    std::vector<uint8_t> block(2 + kBlockSize, 0);
    for (uint32_t offset = start; offset < end; offset += kBlockSize) {
      // A short last piece leaves the rest of the block as it was.
      size_t at = offset - start, n = std::min(kBlockSize, image.size() - at);
      std::copy_n(image.data() + at, n, block.begin() + 2);
      PutLe16(block.data(), static_cast<uint16_t>(offset));
      if (!driver_.Request(IOCTL_FW_WRITE_BLOCK, block).ok) {
        clock_.Sleep(2000);
        if (!driver_.Request(IOCTL_FW_WRITE_BLOCK, block).ok) {
          result = -1;
          break;
        }
      }
      clock_.Sleep(blockDelay + 200);
    }
  } else {
    result = -1;  // nothing was written: not a success
  }
  if (result != 0) ORV_LOG(Agent, Warning, "the firmware update failed: the loader did not take the image");
  before = driver_.connectCount();
  driver_.Request(IOCTL_FW_FINISH);
  WaitForConnect(before);  // and back as the mouse with its new firmware
  if (result == 0) PublishFirmwareVersion();
  return result;
}

int64_t FirmwareUpdate::FirmwareVersions() {
  IoctlResult info = driver_.Request(IOCTL_GET_DEVICE_INFO, {}, kDeviceInfoSize);
  if (!info.ok || info.out.size() != kDeviceInfoSize) return -1;
  std::u16string file;
  int64_t version;
  if (!ReadFirmwareXml(file, version) || version < 0) return -1;
  return (version << 16) | BigEndian16(info.out, 4);
}

}  // namespace orv
