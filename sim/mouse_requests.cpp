// The driver's requests: one table row per request code with the buffer sizes it takes, who
// must be there to carry it out, and its handler. The model checks a request against its row
// before the handler runs, so a handler always sees an input of a size its row allows and an
// output buffer of the size the caller asked for, and only says whether it carried the request
// out.
#include <algorithm>
#include <span>

#include "base/byte_order.h"
#include "sim/mouse_model.h"
#include "sim/sim_text.h"

namespace orv::sim {

using namespace device_error;

namespace {

constexpr uint32_t kDone = 0;  // a handler's answer when it carried the request out

// IOCTL_SET_DEVICE_MODE: byte 0 the mode, byte 1 zero.
constexpr uint8_t kModeDetached = 1;
constexpr uint8_t kModeAttached = 2;
constexpr uint8_t kModeLoader = 16;

// A firmware image starts with its mark, then its version word (big-endian).
constexpr uint8_t kImageMark[] = {'V', 'X', 'F', 'W'};
constexpr size_t kImageVersionAt = sizeof kImageMark;

// The on-board data requests start with the 16-bit offset.
constexpr size_t kOffsetSize = 2;
// The header as read back leaves out the two bytes that lead the header as written.
constexpr size_t kHeaderUnreadBytes = 2;

// Who must be there for a request to be carried out.
enum class Reach {
  Driver,         // the driver answers itself, whatever the mouse does
  Mouse,          // the mouse's own firmware
  Loader,         // the firmware loader
  MouseOrLoader,  // either: the loader answers the version, the device information and the mode
};

IoctlResult Ok(std::vector<uint8_t> out = {}) { return IoctlResult{true, 0, std::move(out)}; }
IoctlResult Fail(uint32_t error) { return IoctlResult{false, error, {}}; }

}  // namespace

struct MouseRequests {
  // One request as its handler sees it.
  struct Request {
    const uint8_t* in;
    size_t inSize;
    std::vector<uint8_t>& out;  // as long as the caller asked for
    uint32_t now;               // the clock's tick count
  };
  // Returns kDone, or the error the request fails with (its output then goes unsent).
  using Handler = uint32_t (*)(MouseModel&, Request&);

  struct Row {
    uint32_t code;
    const char* name;
    size_t minIn, maxIn;
    size_t minOut, maxOut;
    Reach reach;
    Handler handler;

    bool Fits(size_t inSize, size_t outSize) const {
      return inSize >= minIn && inSize <= maxIn && outSize >= minOut && outSize <= maxOut;
    }
  };

  static std::span<const Row> Rows();
  static const Row* Find(uint32_t code) {
    for (const Row& row : Rows()) {
      if (row.code == code) return &row;
    }
    return nullptr;
  }

  static bool Reachable(const MouseState& state, Reach reach) {
    if (reach == Reach::Driver) return true;
    if (!state.plugged) return false;
    switch (state.phase) {
      case MousePhase::Away:
        return false;
      case MousePhase::Mouse:
        return reach == Reach::Mouse || reach == Reach::MouseOrLoader;
      case MousePhase::Loader:
        return reach == Reach::Loader || reach == Reach::MouseOrLoader;
    }
    return false;
  }

  // ---- the driver's own ----

  static uint32_t RegisterEvent(MouseModel& m, Request& r) {
    if (!m.state_.registered) m.state_.pendingEvents.clear();  // a new client starts with an empty queue
    m.state_.registered = true;
    m.state_.semaphoreValue = GetLe32(r.in);
    return kDone;
  }
  static uint32_t Unregister(MouseModel& m, Request&) {
    m.state_.registered = false;
    m.state_.pendingEvents.clear();
    return kDone;
  }
  static uint32_t GetEvent(MouseModel& m, Request& r) {
    std::vector<uint32_t>& events = m.state_.pendingEvents;
    if (events.empty()) return ERROR_NO_MORE_ITEMS;
    PutLe32(r.out.data(), events.front());
    events.erase(events.begin());
    return kDone;
  }

  // ---- pointer and buttons ----

  static uint32_t SetInterceptMask(MouseModel& m, Request& r) {
    m.state_.interceptMask = GetLe32(r.in);
    return kDone;
  }
  static uint32_t SetInterceptExtra(MouseModel& m, Request& r) {
    m.state_.interceptExtra = r.in[0];
    return kDone;
  }
  static uint32_t SetSensitivityEnable(MouseModel& m, Request& r) {
    m.state_.sensitivityEnable = r.in[0];
    return kDone;
  }
  static uint32_t SetSensitivity(uint32_t& field, Request& r) {
    const uint32_t value = GetLe32(r.in);
    if (value < kSensitivityLowest || value > kSensitivityHighest) return ERROR_INVALID_PARAMETER;
    field = value;
    return kDone;
  }
  static uint32_t SetSensitivityX(MouseModel& m, Request& r) { return SetSensitivity(m.state_.sensitivityX, r); }
  static uint32_t SetSensitivityY(MouseModel& m, Request& r) { return SetSensitivity(m.state_.sensitivityY, r); }

  // ---- settings ----

  static uint32_t SetPollingRate(MouseModel& m, Request& r) {
    if (r.in[0] < kPollingRateLowest || r.in[0] > kPollingRateHighest) return ERROR_INVALID_PARAMETER;
    m.state_.live.pollingRate = r.in[0];
    return kDone;
  }
  static uint32_t GetPollingRate(MouseModel& m, Request& r) {
    r.out[0] = m.state_.live.pollingRate;
    return kDone;
  }
  static uint32_t SetDpiStep(MouseModel& m, Request& r) {
    if (r.in[0] < kDpiStepLowest || r.in[0] > kDpiStepHighest) return ERROR_INVALID_PARAMETER;
    m.state_.live.dpiStep = r.in[0];
    return kDone;
  }
  static uint32_t GetDpiStep(MouseModel& m, Request& r) {
    r.out[0] = m.state_.live.dpiStep;
    return kDone;
  }
  static uint32_t SetLedColor(MouseModel& m, Request& r) {
    m.state_.live.ledColor = GetLe24(r.in);
    return kDone;
  }
  static uint32_t GetLedColor(MouseModel& m, Request& r) {
    PutLe24(r.out.data(), m.state_.live.ledColor);
    return kDone;
  }
  static uint32_t SetLedIntensity(MouseModel& m, Request& r) {
    m.state_.live.ledIntensity = r.in[0];
    return kDone;
  }
  static uint32_t GetLedIntensity(MouseModel& m, Request& r) {
    r.out[0] = m.state_.live.ledIntensity;
    return kDone;
  }
  static uint32_t SetLedPulsation(MouseModel& m, Request& r) {
    m.state_.live.ledPulsation = r.in[0];
    return kDone;
  }
  static uint32_t GetLedPulsation(MouseModel& m, Request& r) {
    r.out[0] = m.state_.live.ledPulsation;
    return kDone;
  }
  static uint32_t SetLiftDistance(MouseModel& m, Request& r) {
    const uint16_t value = GetLe16(r.in);
    if (value > kLiftDistanceHighest) return ERROR_INVALID_PARAMETER;
    m.state_.live.liftDistance = value;
    return kDone;
  }
  static uint32_t SaveSettings(MouseModel& m, Request&) {
    m.state_.saved = m.state_.live;
    m.SaveStateLocked();
    return kDone;
  }

  // ---- the device and its firmware ----

  static uint32_t GetFirmwareVersion(MouseModel& m, Request& r) {
    PutLe16(r.out.data(), m.state_.firmwareWord);  // minor, then major
    return kDone;
  }
  static uint32_t GetDeviceInfo(MouseModel& m, Request& r) {
    const auto info = m.DeviceInfoLocked();
    std::copy(info.begin(), info.end(), r.out.begin());
    return kDone;
  }
  static uint32_t SetDeviceMode(MouseModel& m, Request& r) {
    const uint8_t mode = r.in[0];
    if (r.in[1] != 0 || (mode != kModeDetached && mode != kModeAttached && mode != kModeLoader)) {
      return ERROR_INVALID_PARAMETER;
    }
    if (m.state_.phase == MousePhase::Loader) {
      return mode == kModeLoader ? kDone : ERROR_GEN_FAILURE;  // the loader knows no agent modes
    }
    if (mode == kModeLoader) {
      m.AppendLocked(m.TimeLocked() + " note=loader-enter");
      m.LeaveLocked(MousePhase::Loader);
    } else {
      m.state_.deviceMode = mode;
    }
    return kDone;
  }
  static uint32_t FwStart(MouseModel& m, Request& r) {
    m.state_.loaderStarted = true;
    m.state_.firmwareImage.clear();
    m.nextBlockOffset_ = m.config_.firmwareStart;
    m.erasedAt_ = r.now + 2u * m.config_.eraseWait;
    m.blockReadyAt_ = m.erasedAt_;
    return kDone;
  }
  static uint32_t FwWriteBlock(MouseModel& m, Request& r) {
    if (!m.state_.loaderStarted) return ERROR_GEN_FAILURE;
    if (static_cast<int32_t>(r.now - m.erasedAt_) < 0) {
      m.AppendLocked(m.TimeLocked() + " note=loader-busy reason=erasing");
      return ERROR_GEN_FAILURE;
    }
    if (static_cast<int32_t>(r.now - m.blockReadyAt_) < 0) {
      m.AppendLocked(m.TimeLocked() + " note=loader-busy reason=programming");
      return ERROR_GEN_FAILURE;
    }
    if (GetLe16(r.in) != m.nextBlockOffset_) return ERROR_INVALID_PARAMETER;
    const uint8_t* block = r.in + kOffsetSize;
    m.state_.firmwareImage.insert(m.state_.firmwareImage.end(), block, block + kFirmwareBlockSize);
    m.nextBlockOffset_ += kFirmwareBlockSize;
    m.blockReadyAt_ = r.now + m.config_.blockDelay;
    return kDone;
  }
  static uint32_t FwFinish(MouseModel& m, Request&) {
    const std::vector<uint8_t>& image = m.state_.firmwareImage;
    const bool marked = m.state_.loaderStarted && image.size() >= kImageVersionAt + 2 &&
                        std::equal(std::begin(kImageMark), std::end(kImageMark), image.begin());
    const uint16_t word = marked ? GetBe16(&image[kImageVersionAt]) : 0;
    const bool accepted = word != 0;
    if (accepted) m.state_.firmwareWord = word;
    m.AppendLocked(m.TimeLocked() + Format(" note=loader-finish accepted=%d bytes=%zu firmware=0x%04X",
                                           accepted ? 1 : 0, image.size(), m.state_.firmwareWord));
    m.state_.loaderStarted = false;
    if (accepted) m.SaveStateLocked();
    m.LeaveLocked(MousePhase::Mouse);
    return accepted ? kDone : ERROR_INVALID_DATA;
  }

  // ---- on-board memory ----

  static uint32_t OnboardWriteHeader(MouseModel& m, Request& r) {
    std::copy(r.in, r.in + kOnboardHeaderSize, m.state_.onboardHeader.begin());
    m.SaveStateLocked();
    return kDone;
  }
  static uint32_t OnboardReadHeader(MouseModel& m, Request& r) {
    // The rest of the answer stays zero.
    const auto& header = m.state_.onboardHeader;
    std::copy(header.begin() + kHeaderUnreadBytes, header.end(), r.out.begin());
    return kDone;
  }
  static uint32_t OnboardWriteData(MouseModel& m, Request& r) {
    const size_t offset = GetLe16(r.in);
    const size_t n = r.inSize - kOffsetSize;
    std::vector<uint8_t>& memory = m.state_.onboardData;
    if (offset + n > memory.size()) return ERROR_INVALID_PARAMETER;
    std::copy(r.in + kOffsetSize, r.in + r.inSize, memory.begin() + static_cast<std::ptrdiff_t>(offset));
    m.SaveStateLocked();
    return kDone;
  }
  static uint32_t OnboardReadData(MouseModel& m, Request& r) {
    const size_t offset = GetLe16(r.in);
    const std::vector<uint8_t>& memory = m.state_.onboardData;
    if (offset + r.out.size() > memory.size()) return ERROR_INVALID_PARAMETER;
    std::copy_n(memory.begin() + static_cast<std::ptrdiff_t>(offset), r.out.size(), r.out.begin());
    return kDone;
  }
};

std::span<const MouseRequests::Row> MouseRequests::Rows() {
  using R = MouseRequests;
  constexpr size_t kBlockIn = kOffsetSize + kFirmwareBlockSize;
  constexpr size_t kMostDataIn = kOffsetSize + kOnboardChunk;
  // code, name, input bytes (least, most), output bytes (least, most), reach, handler
  static const Row kRows[] = {
      {IOCTL_REGISTER_EVENT, "IOCTL_REGISTER_EVENT", 4, 4, 0, 0, Reach::Driver, R::RegisterEvent},
      {IOCTL_UNREGISTER, "IOCTL_UNREGISTER", 0, 0, 0, 0, Reach::Driver, R::Unregister},
      {IOCTL_GET_EVENT, "IOCTL_GET_EVENT", 4, 4, 4, 4, Reach::Driver, R::GetEvent},
      {IOCTL_SET_INTERCEPT_MASK, "IOCTL_SET_INTERCEPT_MASK", 4, 4, 0, 0, Reach::Mouse, R::SetInterceptMask},
      {IOCTL_SET_SENSITIVITY_X, "IOCTL_SET_SENSITIVITY_X", 4, 4, 0, 0, Reach::Mouse, R::SetSensitivityX},
      {IOCTL_SET_SENSITIVITY_Y, "IOCTL_SET_SENSITIVITY_Y", 4, 4, 0, 0, Reach::Mouse, R::SetSensitivityY},
      {IOCTL_SET_SENSITIVITY_ENABLE, "IOCTL_SET_SENSITIVITY_ENABLE", 1, 1, 0, 0, Reach::Mouse, R::SetSensitivityEnable},
      {IOCTL_SET_INTERCEPT_EXTRA, "IOCTL_SET_INTERCEPT_EXTRA", 1, 1, 0, 0, Reach::Mouse, R::SetInterceptExtra},
      {IOCTL_SET_POLLING_RATE, "IOCTL_SET_POLLING_RATE", 1, 1, 0, 0, Reach::Mouse, R::SetPollingRate},
      {IOCTL_GET_POLLING_RATE, "IOCTL_GET_POLLING_RATE", 1, 1, 1, 1, Reach::Mouse, R::GetPollingRate},
      {IOCTL_GET_FIRMWARE_VERSION, "IOCTL_GET_FIRMWARE_VERSION", 0, 0, 2, 2, Reach::MouseOrLoader,
       R::GetFirmwareVersion},
      {IOCTL_SET_LED_COLOR, "IOCTL_SET_LED_COLOR", 3, 3, 0, 0, Reach::Mouse, R::SetLedColor},
      {IOCTL_GET_LED_COLOR, "IOCTL_GET_LED_COLOR", 3, 3, 3, 3, Reach::Mouse, R::GetLedColor},
      {IOCTL_SET_DPI_STEP, "IOCTL_SET_DPI_STEP", 1, 1, 0, 0, Reach::Mouse, R::SetDpiStep},
      {IOCTL_GET_DPI_STEP, "IOCTL_GET_DPI_STEP", 1, 1, 1, 1, Reach::Mouse, R::GetDpiStep},
      {IOCTL_SET_LED_INTENSITY, "IOCTL_SET_LED_INTENSITY", 1, 1, 0, 0, Reach::Mouse, R::SetLedIntensity},
      {IOCTL_GET_LED_INTENSITY, "IOCTL_GET_LED_INTENSITY", 1, 1, 1, 1, Reach::Mouse, R::GetLedIntensity},
      {IOCTL_SET_LED_PULSATION, "IOCTL_SET_LED_PULSATION", 1, 1, 0, 0, Reach::Mouse, R::SetLedPulsation},
      {IOCTL_GET_LED_PULSATION, "IOCTL_GET_LED_PULSATION", 1, 1, 1, 1, Reach::Mouse, R::GetLedPulsation},
      {IOCTL_GET_DEVICE_INFO, "IOCTL_GET_DEVICE_INFO", 0, 0, kDeviceInfoSize, kDeviceInfoSize, Reach::MouseOrLoader,
       R::GetDeviceInfo},
      {IOCTL_SET_DEVICE_MODE, "IOCTL_SET_DEVICE_MODE", 2, 2, 0, 0, Reach::MouseOrLoader, R::SetDeviceMode},
      {IOCTL_FW_START, "IOCTL_FW_START", 0, 0, 0, 0, Reach::Loader, R::FwStart},
      {IOCTL_FW_WRITE_BLOCK, "IOCTL_FW_WRITE_BLOCK", kBlockIn, kBlockIn, 0, 0, Reach::Loader, R::FwWriteBlock},
      {IOCTL_ONBOARD_WRITE_HEADER, "IOCTL_ONBOARD_WRITE_HEADER", kOnboardHeaderSize, kOnboardHeaderSize, 0, 0,
       Reach::Mouse, R::OnboardWriteHeader},
      {IOCTL_ONBOARD_READ_HEADER, "IOCTL_ONBOARD_READ_HEADER", kOffsetSize, kOffsetSize, kOnboardHeaderSize,
       kOnboardHeaderSize, Reach::Mouse, R::OnboardReadHeader},
      {IOCTL_ONBOARD_WRITE_DATA, "IOCTL_ONBOARD_WRITE_DATA", kOffsetSize + 1, kMostDataIn, 0, 0, Reach::Mouse,
       R::OnboardWriteData},
      {IOCTL_ONBOARD_READ_DATA, "IOCTL_ONBOARD_READ_DATA", kOffsetSize, kOffsetSize, 1, kOnboardChunk, Reach::Mouse,
       R::OnboardReadData},
      {IOCTL_SAVE_SETTINGS, "IOCTL_SAVE_SETTINGS", 0, 0, 0, 0, Reach::Mouse, R::SaveSettings},
      {IOCTL_FW_FINISH, "IOCTL_FW_FINISH", 0, 0, 0, 0, Reach::Loader, R::FwFinish},
      {IOCTL_SET_LIFT_DISTANCE, "IOCTL_SET_LIFT_DISTANCE", 2, 2, 0, 0, Reach::Mouse, R::SetLiftDistance},
  };
  return kRows;
}

// ---- the model's side ----

bool MouseModel::KnownCode(uint32_t code) { return MouseRequests::Find(code) != nullptr; }

const char* MouseModel::CodeName(uint32_t code) {
  const MouseRequests::Row* row = MouseRequests::Find(code);
  return row ? row->name : nullptr;
}

std::vector<uint32_t> MouseModel::KnownCodes() {
  std::vector<uint32_t> codes;
  for (const MouseRequests::Row& row : MouseRequests::Rows()) codes.push_back(row.code);
  return codes;
}

IoctlResult MouseModel::HandleLocked(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize) {
  auto armed = armed_.find(code);
  if (armed != armed_.end() && !armed->second.empty()) {
    const uint32_t error = armed->second.front();
    armed->second.pop_front();
    if (armed->second.empty()) armed_.erase(armed);
    // A failed fetch loses the word it would have taken, so later fetches stay in step.
    std::vector<uint32_t>& events = state_.pendingEvents;
    if (code == IOCTL_GET_EVENT && !events.empty()) {
      AppendLocked(TimeLocked() + Format(" dropped=0x%08X reason=failed", events.front()));
      events.erase(events.begin());
    }
    return Fail(error);
  }

  const MouseRequests::Row* row = MouseRequests::Find(code);
  if (!row) return Fail(ERROR_INVALID_FUNCTION);
  if (!row->Fits(inSize, outSize)) return Fail(ERROR_INVALID_PARAMETER);
  if (!MouseRequests::Reachable(state_, row->reach)) return Fail(ERROR_GEN_FAILURE);

  std::vector<uint8_t> out(outSize);
  MouseRequests::Request request{in, inSize, out, clock_.TickCount()};
  const uint32_t error = row->handler(*this, request);
  return error == kDone ? Ok(std::move(out)) : Fail(error);
}

}  // namespace orv::sim
