#include "agent/onboard_transfer.h"

#include <algorithm>

#include "agent/driver_channel.h"
#include "agent/peer_windows.h"
#include "agent/profile_sets.h"
#include "base/byte_order.h"
#include "base/log.h"
#include "device/onboard_format.h"
#include "link/messages.h"
#include "platform/clock.h"

namespace orv {
namespace {

constexpr size_t kDataPart = kOnboardChunkSize;
// The device information byte that gives the memory in units of 512 bytes.
constexpr size_t kMemoryUnitsByte = 3;
constexpr int kMemoryUnit = 512;
constexpr int kBufferExtra = 100;  // the transfer buffer is the memory and this much more

// The transfer buffer: a 16-bit little-endian offset, then the data.
std::vector<uint8_t> WithOffset(uint16_t offset, const uint8_t* data, size_t n) {
  std::vector<uint8_t> b(2 + n);
  PutLe16(b.data(), offset);
  std::copy_n(data, n, b.begin() + 2);
  return b;
}

}  // namespace

const char16_t kOnboardQuestion[] = u"Would you like to overwrite the current profile with the on-board profile?";

OnboardTransfer::OnboardTransfer(DriverChannel& driver, Clock& clock, ProfileSets& sets, PeerWindows& peers,
                                 AskYesNo ask)
    : driver_(driver), clock_(clock), sets_(sets), peers_(peers), ask_(std::move(ask)) {}

void OnboardTransfer::ReadMemorySize() {
  IoctlResult info = driver_.Request(IOCTL_GET_DEVICE_INFO, {}, kDeviceInfoSize);
  if (info.ok && info.out.size() == kDeviceInfoSize) {
    memorySize_ = info.out[kMemoryUnitsByte] * kMemoryUnit;
    bufferSize_ = memorySize_ + kBufferExtra;
  }
}

void OnboardTransfer::WriteOnboardProfile(bool neutral) {
  OnboardImage image = neutral ? NeutralOnboardImage(sets_.current().profileId)
                               : EncodeOnboardProfile(sets_.Active(), static_cast<size_t>(bufferSize_));
  // A profile that does not fit is refused whole rather than written cut short.
  bool failed = !image.complete;
  peers_.PostToWindow(kProgressWindowTitle, UM_PROGRESS, 25, 0);
  if (!failed) failed = !driver_.Request(IOCTL_ONBOARD_WRITE_HEADER, {image.header.begin(), image.header.end()}).ok;
  clock_.Sleep(1000);
  peers_.PostToWindow(kProgressWindowTitle, UM_PROGRESS, 50, 0);
  clock_.Sleep(1000);
  size_t n = image.data.size();
  if (!failed && n > 0) {
    if (n <= kDataPart) {
      std::vector<uint8_t> request = WithOffset(0, image.data.data(), n);
      IoctlResult r;
      for (int attempt = 0; attempt < 2; ++attempt) {
        r = driver_.Request(IOCTL_ONBOARD_WRITE_DATA, request);
        clock_.Sleep(1000);
        if (r.ok || r.error != device_error::ERROR_GEN_FAILURE) break;
      }
      failed = !r.ok;
    } else {
      failed = !driver_.Request(IOCTL_ONBOARD_WRITE_DATA, WithOffset(0, image.data.data(), kDataPart)).ok;
      clock_.Sleep(1000);
      bool second =
          driver_.Request(IOCTL_ONBOARD_WRITE_DATA, WithOffset(kDataPart, image.data.data() + kDataPart, n - kDataPart))
              .ok;
      clock_.Sleep(1000);
      failed = failed || !second;
    }
  }
  if (failed)
    ORV_LOG(Agent, Warning, image.complete ? "the on-board write failed" : "the profile does not fit the on-board memory: not written");
  peers_.PostToWindow(kProgressWindowTitle, UM_PROGRESS, 100, failed ? 1 : 0);
}

void OnboardTransfer::OfferOnboardProfile() {
  if (sets_.current().gameMode == 1) return;
  IoctlResult header = driver_.Request(IOCTL_ONBOARD_READ_HEADER, {0, 0}, kOnboardHeaderSize);
  if (!header.ok || header.out.size() != kOnboardHeaderSize) return;
  const std::vector<uint8_t>& h = header.out;
  if (h[0] != kOnboardEntryCount || IsNeutralHeader(h.data(), h.size())) return;  // nothing of the user's is stored
  clock_.Sleep(500);
  // The mouse cannot hold more than its memory; a larger length is not believed.
  size_t n = std::min<size_t>(GetBe16(h.data() + 3), static_cast<size_t>(std::max(0, bufferSize_ - 2)));
  std::vector<uint8_t> data;
  if (n > 0) {
    IoctlResult first = driver_.Request(IOCTL_ONBOARD_READ_DATA, {0, 0}, std::min(n, kDataPart));
    if (!first.ok) return;
    data = first.out;
    if (n > kDataPart) {
      clock_.Sleep(10);
      IoctlResult rest = driver_.Request(IOCTL_ONBOARD_READ_DATA, WithOffset(kDataPart, nullptr, 0), n - kDataPart);
      if (!rest.ok) return;
      data.insert(data.end(), rest.out.begin(), rest.out.end());
    }
  }
  Profile decoded = DecodeOnboardProfile(h.data(), h.size(), data.data(), data.size(), sets_.Active());
  bool yes = ask_ && ask_(kOnboardQuestion);
  if (yes) sets_.Active() = decoded;
}

}  // namespace orv
