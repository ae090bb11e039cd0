// Writing a profile into the mouse's own memory, and offering to take the memory over when
// the mouse is plugged in.
#include <algorithm>

#include "agent/agent_window.h"
#include "device/onboard_format.h"
#include "link/messages.h"

namespace orv {
namespace {

constexpr size_t kHeaderSize = 77;
constexpr size_t kDataPart = 4096;  // the most data one request carries
constexpr uint32_t kGenFailure = 31;

// The transfer buffer: a 16-bit little-endian offset, then the data.
std::vector<uint8_t> WithOffset(uint16_t offset, const uint8_t* data, size_t n) {
  std::vector<uint8_t> b(2 + n);
  b[0] = static_cast<uint8_t>(offset);
  b[1] = static_cast<uint8_t>(offset >> 8);
  std::copy_n(data, n, b.begin() + 2);
  return b;
}

}  // namespace

const char16_t kOnboardQuestion[] = u"Would you like to overwrite the current profile with the on-board profile?";

void CMyWnd::WriteOnboardProfile(bool neutral) {
  OnboardImage image = neutral ? NeutralOnboardImage(m_currentSet->profileId)
                               : EncodeOnboardProfile(Active(), static_cast<size_t>(m_onboardBufferSize));
  // A profile that does not fit is refused whole rather than written cut short.
  bool failed = !image.complete;
  PostToWindow(kProgressWindowTitle, UM_PROGRESS, 25, 0);
  if (!failed) failed = !driver_.Request(IOCTL_ONBOARD_WRITE_HEADER, {image.header.begin(), image.header.end()}).ok;
  Sleep(1000);
  PostToWindow(kProgressWindowTitle, UM_PROGRESS, 50, 0);
  Sleep(1000);
  size_t n = image.data.size();
  if (!failed && n > 0) {
    if (n <= kDataPart) {
      std::vector<uint8_t> request = WithOffset(0, image.data.data(), n);
      IoctlResult r;
      for (int attempt = 0; attempt < 2; ++attempt) {
        r = driver_.Request(IOCTL_ONBOARD_WRITE_DATA, request);
        Sleep(1000);
        if (r.ok || r.error != kGenFailure) break;
      }
      failed = !r.ok;
    } else {
      failed = !driver_.Request(IOCTL_ONBOARD_WRITE_DATA, WithOffset(0, image.data.data(), kDataPart)).ok;
      Sleep(1000);
      bool second =
          driver_.Request(IOCTL_ONBOARD_WRITE_DATA, WithOffset(kDataPart, image.data.data() + kDataPart, n - kDataPart))
              .ok;
      Sleep(1000);
      failed = failed || !second;
    }
  }
  PostToWindow(kProgressWindowTitle, UM_PROGRESS, 100, failed ? 1 : 0);
}

void CMyWnd::OfferOnboardProfile() {
  if (m_currentSet->gameMode == 1) return;
  IoctlResult header = driver_.Request(IOCTL_ONBOARD_READ_HEADER, {0, 0}, kHeaderSize);
  if (!header.ok || header.out.size() != kHeaderSize) return;
  const std::vector<uint8_t>& h = header.out;
  if (h[0] != 14 || IsNeutralHeader(h.data(), h.size())) return;  // nothing of the user's is stored
  Sleep(500);
  // The mouse cannot hold more than its memory; a larger length is not believed.
  size_t n = std::min<size_t>((h[3] << 8) | h[4], static_cast<size_t>(std::max(0, m_onboardBufferSize - 2)));
  std::vector<uint8_t> data;
  if (n > 0) {
    IoctlResult first = driver_.Request(IOCTL_ONBOARD_READ_DATA, {0, 0}, std::min(n, kDataPart));
    if (!first.ok) return;
    data = first.out;
    if (n > kDataPart) {
      Sleep(10);
      IoctlResult rest = driver_.Request(IOCTL_ONBOARD_READ_DATA, {0x00, 0x10}, n - kDataPart);
      if (!rest.ok) return;
      data.insert(data.end(), rest.out.begin(), rest.out.end());
    }
  }
  Profile decoded = DecodeOnboardProfile(h.data(), h.size(), data.data(), data.size(), Active());
  bool yes = services_.askYesNo && services_.askYesNo(kOnboardQuestion);
  if (yes) Active() = decoded;
}

}  // namespace orv
