#include "sim/mouse_model.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "base/files.h"

namespace orv::sim {

using namespace device_error;

namespace {

constexpr size_t kTranscriptCapacity = 200000;  // oldest lines go first beyond this
constexpr const char* kStateFirstLine = "OrvMouseSim state 1";

// Which requests the driver answers itself (they work whatever the mouse does) and which the
// mouse must carry out.
enum class Reach { Driver, Mouse, Loader };

struct Shape {
  uint32_t code;
  const char* name;
  size_t minIn, maxIn;
  size_t minOut, maxOut;
  Reach reach;
};

constexpr Shape kShapes[] = {
    {IOCTL_REGISTER_EVENT, "IOCTL_REGISTER_EVENT", 4, 4, 0, 0, Reach::Driver},
    {IOCTL_UNREGISTER, "IOCTL_UNREGISTER", 0, 0, 0, 0, Reach::Driver},
    {IOCTL_GET_EVENT, "IOCTL_GET_EVENT", 4, 4, 4, 4, Reach::Driver},
    {IOCTL_SET_INTERCEPT_MASK, "IOCTL_SET_INTERCEPT_MASK", 4, 4, 0, 0, Reach::Mouse},
    {IOCTL_SET_SENSITIVITY_X, "IOCTL_SET_SENSITIVITY_X", 4, 4, 0, 0, Reach::Mouse},
    {IOCTL_SET_SENSITIVITY_Y, "IOCTL_SET_SENSITIVITY_Y", 4, 4, 0, 0, Reach::Mouse},
    {IOCTL_SET_SENSITIVITY_ENABLE, "IOCTL_SET_SENSITIVITY_ENABLE", 1, 1, 0, 0, Reach::Mouse},
    {IOCTL_SET_INTERCEPT_EXTRA, "IOCTL_SET_INTERCEPT_EXTRA", 1, 1, 0, 0, Reach::Mouse},
    {IOCTL_SET_POLLING_RATE, "IOCTL_SET_POLLING_RATE", 1, 1, 0, 0, Reach::Mouse},
    {IOCTL_GET_POLLING_RATE, "IOCTL_GET_POLLING_RATE", 1, 1, 1, 1, Reach::Mouse},
    {IOCTL_GET_FIRMWARE_VERSION, "IOCTL_GET_FIRMWARE_VERSION", 0, 0, 2, 2, Reach::Mouse},
    {IOCTL_SET_LED_COLOR, "IOCTL_SET_LED_COLOR", 3, 3, 0, 0, Reach::Mouse},
    {IOCTL_GET_LED_COLOR, "IOCTL_GET_LED_COLOR", 3, 3, 3, 3, Reach::Mouse},
    {IOCTL_SET_DPI_STEP, "IOCTL_SET_DPI_STEP", 1, 1, 0, 0, Reach::Mouse},
    {IOCTL_GET_DPI_STEP, "IOCTL_GET_DPI_STEP", 1, 1, 1, 1, Reach::Mouse},
    {IOCTL_SET_LED_INTENSITY, "IOCTL_SET_LED_INTENSITY", 1, 1, 0, 0, Reach::Mouse},
    {IOCTL_GET_LED_INTENSITY, "IOCTL_GET_LED_INTENSITY", 1, 1, 1, 1, Reach::Mouse},
    {IOCTL_SET_LED_PULSATION, "IOCTL_SET_LED_PULSATION", 1, 1, 0, 0, Reach::Mouse},
    {IOCTL_GET_LED_PULSATION, "IOCTL_GET_LED_PULSATION", 1, 1, 1, 1, Reach::Mouse},
    {IOCTL_GET_DEVICE_INFO, "IOCTL_GET_DEVICE_INFO", 0, 0, kDeviceInfoSize, kDeviceInfoSize, Reach::Mouse},
    {IOCTL_SET_DEVICE_MODE, "IOCTL_SET_DEVICE_MODE", 2, 2, 0, 0, Reach::Mouse},
    {IOCTL_FW_START, "IOCTL_FW_START", 0, 0, 0, 0, Reach::Loader},
    {IOCTL_FW_WRITE_BLOCK, "IOCTL_FW_WRITE_BLOCK", 2 + kFirmwareBlockSize, 2 + kFirmwareBlockSize, 0, 0, Reach::Loader},
    {IOCTL_ONBOARD_WRITE_HEADER, "IOCTL_ONBOARD_WRITE_HEADER", kOnboardHeaderSize, kOnboardHeaderSize, 0, 0,
     Reach::Mouse},
    {IOCTL_ONBOARD_READ_HEADER, "IOCTL_ONBOARD_READ_HEADER", 2, 2, kOnboardHeaderSize, kOnboardHeaderSize,
     Reach::Mouse},
    {IOCTL_ONBOARD_WRITE_DATA, "IOCTL_ONBOARD_WRITE_DATA", 3, 2 + kOnboardChunk, 0, 0, Reach::Mouse},
    {IOCTL_ONBOARD_READ_DATA, "IOCTL_ONBOARD_READ_DATA", 2, 2, 1, kOnboardChunk, Reach::Mouse},
    {IOCTL_SAVE_SETTINGS, "IOCTL_SAVE_SETTINGS", 0, 0, 0, 0, Reach::Mouse},
    {IOCTL_FW_FINISH, "IOCTL_FW_FINISH", 0, 0, 0, 0, Reach::Loader},
    {IOCTL_SET_LIFT_DISTANCE, "IOCTL_SET_LIFT_DISTANCE", 2, 2, 0, 0, Reach::Mouse},
};

const Shape* FindShape(uint32_t code) {
  for (const Shape& shape : kShapes) {
    if (shape.code == code) return &shape;
  }
  return nullptr;
}

// What the loader answers besides its own three requests.
bool LoaderAnswers(uint32_t code) {
  return code == IOCTL_GET_FIRMWARE_VERSION || code == IOCTL_GET_DEVICE_INFO || code == IOCTL_SET_DEVICE_MODE;
}

IoctlResult Ok(std::vector<uint8_t> out = {}) { return IoctlResult{true, 0, std::move(out)}; }
IoctlResult Fail(uint32_t error) { return IoctlResult{false, error, {}}; }

uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// printf into a string of whatever length the result takes.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buffer[256];
  const int n = std::snprintf(buffer, sizeof buffer, format, args...);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, args...);
  out.resize(static_cast<size_t>(n));
  return out;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>& out) {
  if (text.size() % 2) return false;
  out.clear();
  out.reserve(text.size() / 2);
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = digit(text[i]), lo = digit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<uint8_t>(hi << 4 | lo));
  }
  return true;
}

// A whole number in decimal or with 0x in hexadecimal, within [low, high].
bool ParseNumber(const std::string& text, uint64_t low, uint64_t high, uint64_t& value) {
  if (text.empty() || text.size() > 20) return false;
  size_t i = 0;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    i = 2;
  }
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    if (v > (UINT64_MAX - d) / base) return false;
    v = v * base + d;
  }
  if (v < low || v > high) return false;
  value = v;
  return true;
}

// The neutral on-board image as written: 14 entries, entry k of type k + 1, no data.
std::array<uint8_t, kOnboardHeaderSize> NeutralHeader() {
  std::array<uint8_t, kOnboardHeaderSize> header{};
  header[2] = 14;
  header[4] = 75;
  for (int k = 0; k < 14; ++k) header[7 + 5 * k] = static_cast<uint8_t>(k + 1);
  return header;
}

const char* PhaseName(MousePhase phase) {
  switch (phase) {
    case MousePhase::Mouse:
      return "mouse";
    case MousePhase::Away:
      return "away";
    case MousePhase::Loader:
      return "loader";
  }
  return "mouse";
}

std::string SettingsJson(const MouseSettings& s) {
  return Format(
      "{\"dpi_step\":%u,\"polling_rate\":%u,\"led_color\":%u,\"led_intensity\":%u,\"led_pulsation\":%u,"
      "\"lift_distance\":%u}",
      s.dpiStep, s.pollingRate, s.ledColor, s.ledIntensity, s.ledPulsation, s.liftDistance);
}

}  // namespace

std::string HexBytes(const uint8_t* data, size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 15]);
  }
  return out;
}

MouseModel::MouseModel(Clock& clock, MouseConfig config)
    : clock_(clock),
      config_(config),
      plugged_(config.pluggedAtStart),
      firmwareWord_(config.firmwareWord),
      onboardHeader_(NeutralHeader()),
      onboardData_(static_cast<size_t>(config.memoryUnits) * 512, 0xFF) {}

bool MouseModel::KnownCode(uint32_t code) { return FindShape(code) != nullptr; }

const char* MouseModel::CodeName(uint32_t code) {
  const Shape* shape = FindShape(code);
  return shape ? shape->name : nullptr;
}

void MouseModel::SetEventPendingCallback(std::function<void()> callback) {
  std::lock_guard<std::mutex> lock(mutex_);
  onEventPending_ = std::move(callback);
}

void MouseModel::SetStatePath(std::string path) {
  std::lock_guard<std::mutex> lock(mutex_);
  statePath_ = std::move(path);
}

void MouseModel::SetFirmwareWord(uint16_t word) {
  std::lock_guard<std::mutex> lock(mutex_);
  firmwareWord_ = word;
}

bool MouseModel::Plugged() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return plugged_;
}

std::string MouseModel::TimeLocked() const { return Format("t=%u", clock_.TickCount()); }

void MouseModel::AppendLocked(std::string line) {
  if (inRequest_) {
    requestSideLines_.push_back(std::move(line));
    return;
  }
  transcript_.push_back(std::move(line));
  while (transcript_.size() > kTranscriptCapacity) transcript_.pop_front();
}

void MouseModel::Note(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  AppendLocked(TimeLocked() + " note=" + text);
}

std::vector<std::string> MouseModel::Transcript() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::vector<std::string>(transcript_.begin(), transcript_.end());
}

int MouseModel::TakeNoticesLocked() {
  const int n = notices_;
  notices_ = 0;
  return n;
}

void MouseModel::Notify(int notices) {
  if (notices <= 0) return;
  std::function<void()> callback;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    callback = onEventPending_;
  }
  if (!callback) return;
  for (int i = 0; i < notices; ++i) callback();
}

bool MouseModel::QueueEventLocked(uint32_t word) {
  if (!registered_) {
    AppendLocked(TimeLocked() + Format(" dropped=0x%08X reason=unregistered", word));
    return false;
  }
  if (events_.size() >= kEventQueueCapacity) {
    AppendLocked(TimeLocked() + Format(" dropped=0x%08X reason=full", word));
    return false;
  }
  events_.push_back(word);
  ++notices_;
  AppendLocked(TimeLocked() + Format(" event=0x%08X", word));
  return true;
}

std::array<uint8_t, kDeviceInfoSize> MouseModel::DeviceInfoLocked() const {
  std::array<uint8_t, kDeviceInfoSize> info{};
  info[3] = config_.memoryUnits;
  info[4] = static_cast<uint8_t>(firmwareWord_ >> 8);
  info[5] = static_cast<uint8_t>(firmwareWord_);
  info[8] = static_cast<uint8_t>(config_.firmwareStart >> 8);
  info[9] = static_cast<uint8_t>(config_.firmwareStart);
  info[10] = static_cast<uint8_t>(config_.eraseWait >> 8);
  info[11] = static_cast<uint8_t>(config_.eraseWait);
  info[12] = static_cast<uint8_t>(config_.blockDelay >> 8);
  info[13] = static_cast<uint8_t>(config_.blockDelay);
  return info;
}

void MouseModel::LeaveLocked(MousePhase comeBackAs) {
  standardButtons_ = 0;
  extraButtons_ = 0;
  QueueEventLocked(kEventDisconnect);
  phase_ = MousePhase::Away;
  comeBackAs_ = comeBackAs;
  arriveAt_ = clock_.TickCount() + config_.reenumerateMs;
  if (config_.reenumerateMs == 0) ArriveLocked();
}

void MouseModel::ArriveLocked() {
  phase_ = comeBackAs_;
  if (phase_ == MousePhase::Mouse) {
    live_ = saved_;  // a fresh start of the firmware
    AppendLocked(TimeLocked() + Format(" note=mouse-back firmware=0x%04X", firmwareWord_));
  } else {
    loaderStarted_ = false;
    AppendLocked(TimeLocked() + " note=loader-ready");
  }
  QueueEventLocked(kEventConnect);
}

void MouseModel::Poll() {
  int notices;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (plugged_ && phase_ == MousePhase::Away && static_cast<int32_t>(clock_.TickCount() - arriveAt_) >= 0) {
      ArriveLocked();
    }
    notices = TakeNoticesLocked();
  }
  Notify(notices);
}

bool MouseModel::HasTimedSteps() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return plugged_ && phase_ == MousePhase::Away;
}

bool MouseModel::ArmFailure(uint32_t code, uint32_t error) {
  if (!KnownCode(code) || error == 0) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  armed_[code].push_back(error);
  AppendLocked(TimeLocked() + Format(" note=fail-armed ioctl=0x%06X err=%u", code, error));
  return true;
}

void MouseModel::ClientClosed() {
  std::lock_guard<std::mutex> lock(mutex_);
  registered_ = false;
  events_.clear();
  interceptMask_ = 0;
  AppendLocked(TimeLocked() + " note=client-closed");
}

bool MouseModel::QueueEventWord(uint32_t word) {
  int notices;
  bool queued;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued = QueueEventLocked(word);
    notices = TakeNoticesLocked();
  }
  Notify(notices);
  return queued;
}

bool MouseModel::Plug() {
  int notices;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (plugged_) return false;
    plugged_ = true;
    phase_ = MousePhase::Mouse;
    live_ = saved_;
    loaderStarted_ = false;
    AppendLocked(TimeLocked() + " note=plug");
    QueueEventLocked(kEventConnect);
    notices = TakeNoticesLocked();
  }
  Notify(notices);
  return true;
}

bool MouseModel::Unplug() {
  int notices;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!plugged_) return false;
    plugged_ = false;
    standardButtons_ = 0;
    extraButtons_ = 0;
    loaderStarted_ = false;
    AppendLocked(TimeLocked() + " note=unplug");
    // While re-enumerating the mouse has already said goodbye.
    if (phase_ != MousePhase::Away) QueueEventLocked(kEventDisconnect);
    phase_ = MousePhase::Mouse;
    notices = TakeNoticesLocked();
  }
  Notify(notices);
  return true;
}

MouseModel::ButtonOutcome MouseModel::Press(int id) {
  int notices;
  ButtonOutcome outcome;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outcome = ChangeButtonLocked(id, true);
    notices = TakeNoticesLocked();
  }
  Notify(notices);
  return outcome;
}

MouseModel::ButtonOutcome MouseModel::Release(int id) {
  int notices;
  ButtonOutcome outcome;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outcome = ChangeButtonLocked(id, false);
    notices = TakeNoticesLocked();
  }
  Notify(notices);
  return outcome;
}

MouseModel::ButtonOutcome MouseModel::ChangeButtonLocked(int id, bool down) {
  const bool standard = id >= 0 && id < kStandardButtonCount;
  const bool extra = id >= kFirstExtraButton && id < kFirstExtraButton + kExtraButtonCount;
  if (!standard && !extra) return ButtonOutcome::UnknownButton;
  if (!plugged_ || phase_ != MousePhase::Mouse) return ButtonOutcome::NotReady;
  if (standard) {
    const uint8_t bit = static_cast<uint8_t>(1u << id);
    const uint8_t now = down ? (standardButtons_ | bit) : (standardButtons_ & ~bit);
    if (now == standardButtons_) return ButtonOutcome::Unchanged;
    standardButtons_ = now;
    // Without a registered client the driver has nobody to report to: everything passes.
    if (!registered_ || !((interceptMask_ >> id) & 1)) {
      AppendLocked(TimeLocked() + Format(" passthrough id=%d %s", id, down ? "down" : "up"));
      return ButtonOutcome::PassedThrough;
    }
    // Buttons that pass through never show in a report, so the agent sees only its own.
    const uint32_t word = standardButtons_ & interceptMask_ & 0x3F;
    return QueueEventLocked(word) ? ButtonOutcome::Reported : ButtonOutcome::Dropped;
  }
  const uint32_t bit = 1u << (id - kFirstExtraButton);
  const uint32_t now = down ? (extraButtons_ | bit) : (extraButtons_ & ~bit);
  if (now == extraButtons_) return ButtonOutcome::Unchanged;
  extraButtons_ = now;
  return QueueEventLocked(kExtraReport | extraButtons_) ? ButtonOutcome::Reported : ButtonOutcome::Dropped;
}

IoctlResult MouseModel::Ioctl(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize) {
  static const uint8_t kNothing = 0;
  if (!in) {
    if (inSize) return Fail(ERROR_INVALID_PARAMETER);
    in = &kNothing;
  }
  IoctlResult result;
  int notices;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string time = TimeLocked();
    inRequest_ = true;
    requestSideLines_.clear();
    result = HandleLocked(code, in, inSize, outSize);
    inRequest_ = false;
    AppendLocked(time + Format(" ioctl=0x%06X in=", code) + HexBytes(in, inSize) +
                 Format(" ok=%d err=%u out=", result.ok ? 1 : 0, result.error) +
                 HexBytes(result.out.data(), result.out.size()));
    for (std::string& line : requestSideLines_) AppendLocked(std::move(line));
    requestSideLines_.clear();
    notices = TakeNoticesLocked();
  }
  Notify(notices);
  return result;
}

IoctlResult MouseModel::HandleLocked(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize) {
  auto armed = armed_.find(code);
  if (armed != armed_.end() && !armed->second.empty()) {
    const uint32_t error = armed->second.front();
    armed->second.pop_front();
    if (armed->second.empty()) armed_.erase(armed);
    // A failed fetch loses the word it would have taken, so later fetches stay in step.
    if (code == IOCTL_GET_EVENT && !events_.empty()) {
      AppendLocked(TimeLocked() + Format(" dropped=0x%08X reason=failed", events_.front()));
      events_.pop_front();
    }
    return Fail(error);
  }

  const Shape* shape = FindShape(code);
  if (!shape) return Fail(ERROR_INVALID_FUNCTION);
  if (inSize < shape->minIn || inSize > shape->maxIn || outSize < shape->minOut || outSize > shape->maxOut) {
    return Fail(ERROR_INVALID_PARAMETER);
  }

  switch (code) {
    case IOCTL_REGISTER_EVENT:
      if (!registered_) events_.clear();  // a new client starts with an empty queue
      registered_ = true;
      semaphoreValue_ = U32(in);
      return Ok();
    case IOCTL_UNREGISTER:
      registered_ = false;
      events_.clear();
      return Ok();
    case IOCTL_GET_EVENT: {
      if (events_.empty()) return Fail(ERROR_NO_MORE_ITEMS);
      const uint32_t word = events_.front();
      events_.pop_front();
      return Ok({static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word >> 16),
                 static_cast<uint8_t>(word >> 24)});
    }
    default:
      break;
  }

  // From here on the mouse itself must answer.
  if (!plugged_ || phase_ == MousePhase::Away) return Fail(ERROR_GEN_FAILURE);
  if (phase_ == MousePhase::Loader && shape->reach != Reach::Loader && !LoaderAnswers(code)) {
    return Fail(ERROR_GEN_FAILURE);
  }
  if (phase_ == MousePhase::Mouse && shape->reach == Reach::Loader) return Fail(ERROR_GEN_FAILURE);

  const uint32_t now = clock_.TickCount();
  switch (code) {
    case IOCTL_SET_INTERCEPT_MASK:
      interceptMask_ = U32(in);
      return Ok();
    case IOCTL_SET_SENSITIVITY_X:
    case IOCTL_SET_SENSITIVITY_Y: {
      const uint32_t value = U32(in);
      if (value < 1 || value > 18) return Fail(ERROR_INVALID_PARAMETER);
      (code == IOCTL_SET_SENSITIVITY_X ? sensitivityX_ : sensitivityY_) = value;
      return Ok();
    }
    case IOCTL_SET_SENSITIVITY_ENABLE:
      sensitivityEnable_ = in[0];
      return Ok();
    case IOCTL_SET_INTERCEPT_EXTRA:
      interceptExtra_ = in[0];
      return Ok();
    case IOCTL_SET_POLLING_RATE:
      if (in[0] < 1 || in[0] > 3) return Fail(ERROR_INVALID_PARAMETER);
      live_.pollingRate = in[0];
      return Ok();
    case IOCTL_GET_POLLING_RATE:
      return Ok({live_.pollingRate});
    case IOCTL_GET_FIRMWARE_VERSION:
      return Ok({static_cast<uint8_t>(firmwareWord_), static_cast<uint8_t>(firmwareWord_ >> 8)});
    case IOCTL_SET_LED_COLOR:
      live_.ledColor =
          static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) | (static_cast<uint32_t>(in[2]) << 16);
      return Ok();
    case IOCTL_GET_LED_COLOR:
      return Ok({static_cast<uint8_t>(live_.ledColor), static_cast<uint8_t>(live_.ledColor >> 8),
                 static_cast<uint8_t>(live_.ledColor >> 16)});
    case IOCTL_SET_DPI_STEP:
      if (in[0] < 1 || in[0] > 6) return Fail(ERROR_INVALID_PARAMETER);
      live_.dpiStep = in[0];
      return Ok();
    case IOCTL_GET_DPI_STEP:
      return Ok({live_.dpiStep});
    case IOCTL_SET_LED_INTENSITY:
      live_.ledIntensity = in[0];
      return Ok();
    case IOCTL_GET_LED_INTENSITY:
      return Ok({live_.ledIntensity});
    case IOCTL_SET_LED_PULSATION:
      live_.ledPulsation = in[0];
      return Ok();
    case IOCTL_GET_LED_PULSATION:
      return Ok({live_.ledPulsation});
    case IOCTL_GET_DEVICE_INFO: {
      const auto info = DeviceInfoLocked();
      return Ok(std::vector<uint8_t>(info.begin(), info.end()));
    }
    case IOCTL_SET_DEVICE_MODE: {
      const uint8_t mode = in[0];
      if (in[1] != 0 || (mode != 1 && mode != 2 && mode != 16)) return Fail(ERROR_INVALID_PARAMETER);
      if (phase_ == MousePhase::Loader) {
        return mode == 16 ? Ok() : Fail(ERROR_GEN_FAILURE);  // the loader knows no agent modes
      }
      if (mode == 16) {
        AppendLocked(TimeLocked() + " note=loader-enter");
        LeaveLocked(MousePhase::Loader);
      } else {
        deviceMode_ = mode;
      }
      return Ok();
    }
    case IOCTL_FW_START:
      loaderStarted_ = true;
      firmwareImage_.clear();
      nextBlockOffset_ = config_.firmwareStart;
      erasedAt_ = now + 2u * config_.eraseWait;
      blockReadyAt_ = erasedAt_;
      return Ok();
    case IOCTL_FW_WRITE_BLOCK: {
      if (!loaderStarted_) return Fail(ERROR_GEN_FAILURE);
      if (static_cast<int32_t>(now - erasedAt_) < 0) {
        AppendLocked(TimeLocked() + " note=loader-busy reason=erasing");
        return Fail(ERROR_GEN_FAILURE);
      }
      if (static_cast<int32_t>(now - blockReadyAt_) < 0) {
        AppendLocked(TimeLocked() + " note=loader-busy reason=programming");
        return Fail(ERROR_GEN_FAILURE);
      }
      const uint32_t offset = U16(in);
      if (offset != nextBlockOffset_) return Fail(ERROR_INVALID_PARAMETER);
      firmwareImage_.insert(firmwareImage_.end(), in + 2, in + 2 + kFirmwareBlockSize);
      nextBlockOffset_ += kFirmwareBlockSize;
      blockReadyAt_ = now + config_.blockDelay;
      return Ok();
    }
    case IOCTL_FW_FINISH: {
      const bool marked = loaderStarted_ && firmwareImage_.size() >= 6 && firmwareImage_[0] == 'V' &&
                          firmwareImage_[1] == 'X' && firmwareImage_[2] == 'F' && firmwareImage_[3] == 'W';
      const uint16_t word = marked ? static_cast<uint16_t>(firmwareImage_[4] << 8 | firmwareImage_[5]) : 0;
      const bool accepted = marked && word != 0;
      if (accepted) firmwareWord_ = word;
      AppendLocked(TimeLocked() + Format(" note=loader-finish accepted=%d bytes=%zu firmware=0x%04X", accepted ? 1 : 0,
                                         firmwareImage_.size(), firmwareWord_));
      loaderStarted_ = false;
      if (accepted) SaveStateLocked();
      LeaveLocked(MousePhase::Mouse);
      return accepted ? Ok() : Fail(ERROR_INVALID_DATA);
    }
    case IOCTL_ONBOARD_WRITE_HEADER:
      std::copy(in, in + kOnboardHeaderSize, onboardHeader_.begin());
      SaveStateLocked();
      return Ok();
    case IOCTL_ONBOARD_READ_HEADER: {
      // The stored header starts with the entry count: the two leading bytes are not kept.
      std::vector<uint8_t> out(onboardHeader_.begin() + 2, onboardHeader_.end());
      out.resize(kOnboardHeaderSize, 0);
      return Ok(std::move(out));
    }
    case IOCTL_ONBOARD_WRITE_DATA: {
      const size_t offset = U16(in);
      const size_t n = inSize - 2;
      if (offset + n > onboardData_.size()) return Fail(ERROR_INVALID_PARAMETER);
      std::copy(in + 2, in + inSize, onboardData_.begin() + static_cast<std::ptrdiff_t>(offset));
      SaveStateLocked();
      return Ok();
    }
    case IOCTL_ONBOARD_READ_DATA: {
      const size_t offset = U16(in);
      if (offset + outSize > onboardData_.size()) return Fail(ERROR_INVALID_PARAMETER);
      const auto begin = onboardData_.begin() + static_cast<std::ptrdiff_t>(offset);
      return Ok(std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(outSize)));
    }
    case IOCTL_SAVE_SETTINGS:
      saved_ = live_;
      SaveStateLocked();
      return Ok();
    case IOCTL_SET_LIFT_DISTANCE: {
      const uint16_t value = U16(in);
      if (value > 2) return Fail(ERROR_INVALID_PARAMETER);
      live_.liftDistance = value;
      return Ok();
    }
    default:
      return Fail(ERROR_INVALID_FUNCTION);
  }
}

// ---- persistence ----

void MouseModel::SaveStateLocked() {
  if (statePath_.empty()) return;
  std::string text = std::string(kStateFirstLine) + "\n";
  text += Format("dpi_step=%u\npolling_rate=%u\nled_color=0x%06X\nled_intensity=%u\nled_pulsation=%u\n", saved_.dpiStep,
                 saved_.pollingRate, saved_.ledColor, saved_.ledIntensity, saved_.ledPulsation);
  text += Format("lift_distance=%u\nfirmware=0x%04X\n", saved_.liftDistance, firmwareWord_);
  text += "onboard_header=" + HexBytes(onboardHeader_.data(), onboardHeader_.size()) + "\n";
  text += "onboard_data=" + HexBytes(onboardData_.data(), onboardData_.size()) + "\n";
  if (!ReplaceFileContents(statePath_, {text})) AppendLocked(TimeLocked() + " note=state-not-written");
}

bool MouseModel::LoadState() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  if (statePath_.empty() || !ReadWholeFile(statePath_, text)) return false;
  std::istringstream lines(text);
  std::string line;
  if (!std::getline(lines, line) || line != kStateFirstLine) return false;
  MouseSettings kept;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    uint64_t n = 0;
    std::vector<uint8_t> bytes;
    if (key == "dpi_step" && ParseNumber(value, 1, 6, n))
      kept.dpiStep = static_cast<uint8_t>(n);
    else if (key == "polling_rate" && ParseNumber(value, 1, 3, n))
      kept.pollingRate = static_cast<uint8_t>(n);
    else if (key == "led_color" && ParseNumber(value, 0, 0xFFFFFF, n))
      kept.ledColor = static_cast<uint32_t>(n);
    else if (key == "led_intensity" && ParseNumber(value, 0, 255, n))
      kept.ledIntensity = static_cast<uint8_t>(n);
    else if (key == "led_pulsation" && ParseNumber(value, 0, 255, n))
      kept.ledPulsation = static_cast<uint8_t>(n);
    else if (key == "lift_distance" && ParseNumber(value, 0, 2, n))
      kept.liftDistance = static_cast<uint16_t>(n);
    else if (key == "firmware" && ParseNumber(value, 1, 0xFFFF, n))
      firmwareWord_ = static_cast<uint16_t>(n);
    else if (key == "onboard_header" && ParseHex(value, bytes) && bytes.size() == kOnboardHeaderSize) {
      std::copy(bytes.begin(), bytes.end(), onboardHeader_.begin());
    } else if (key == "onboard_data" && ParseHex(value, bytes)) {
      // A memory of another size keeps what fits.
      std::fill(onboardData_.begin(), onboardData_.end(), 0xFF);
      std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), onboardData_.size())),
                onboardData_.begin());
    }
  }
  saved_ = kept;
  live_ = kept;
  AppendLocked(TimeLocked() + " note=state-loaded");
  return true;
}

// ---- inspection ----

MouseSnapshot MouseModel::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  MouseSnapshot s;
  s.plugged = plugged_;
  s.phase = phase_;
  s.live = live_;
  s.saved = saved_;
  s.interceptMask = interceptMask_;
  s.interceptExtra = interceptExtra_;
  s.sensitivityEnable = sensitivityEnable_;
  s.sensitivityX = sensitivityX_;
  s.sensitivityY = sensitivityY_;
  s.deviceMode = deviceMode_;
  s.registered = registered_;
  s.semaphoreValue = semaphoreValue_;
  s.firmwareWord = firmwareWord_;
  s.deviceInfo = DeviceInfoLocked();
  s.onboardHeader = onboardHeader_;
  s.onboardData = onboardData_;
  s.pendingEvents.assign(events_.begin(), events_.end());
  s.standardButtons = standardButtons_;
  s.extraButtons = extraButtons_;
  s.loaderStarted = loaderStarted_;
  s.firmwareImage = firmwareImage_;
  return s;
}

std::string MouseModel::StateJson(const std::vector<std::pair<std::string, std::string>>& extra) const {
  const MouseSnapshot s = Snapshot();
  std::string json = "{";
  for (const auto& [name, value] : extra) json += "\"" + name + "\":" + value + ",";
  json += Format("\"plugged\":%s,\"phase\":\"%s\",", s.plugged ? "true" : "false", PhaseName(s.phase));
  json += "\"settings\":" + SettingsJson(s.live) + ",\"saved\":" + SettingsJson(s.saved) + ",";
  json += Format(
      "\"intercept_mask\":%u,\"intercept_extra\":%u,\"sensitivity_enable\":%u,\"sensitivity_x\":%u,"
      "\"sensitivity_y\":%u,\"device_mode\":%u,\"registered\":%s,",
      s.interceptMask, s.interceptExtra, s.sensitivityEnable, s.sensitivityX, s.sensitivityY, s.deviceMode,
      s.registered ? "true" : "false");
  json += Format("\"firmware_word\":%u,\"firmware_version\":%u,", s.firmwareWord,
                 (s.firmwareWord >> 8) * 100 + (s.firmwareWord & 0xFF));
  json += "\"device_info\":\"" + HexBytes(s.deviceInfo.data(), s.deviceInfo.size()) + "\",";
  json += Format("\"onboard_capacity\":%zu,", s.onboardData.size());
  json += "\"onboard_header\":\"" + HexBytes(s.onboardHeader.data(), s.onboardHeader.size()) + "\",";
  // The data area as far as the stored header says it reaches.
  const size_t length =
      std::min<size_t>(static_cast<size_t>(s.onboardHeader[5] << 8 | s.onboardHeader[6]), s.onboardData.size());
  json += Format("\"onboard_length\":%zu,", length);
  json += "\"onboard_data\":\"" + HexBytes(s.onboardData.data(), length) + "\",";
  json += "\"pending_events\":[";
  for (size_t i = 0; i < s.pendingEvents.size(); ++i) json += (i ? "," : "") + std::to_string(s.pendingEvents[i]);
  json += "],";
  json += Format("\"standard_buttons\":%u,\"extra_buttons\":%u,\"loader_started\":%s,\"firmware_bytes\":%zu}",
                 s.standardButtons, s.extraButtons, s.loaderStarted ? "true" : "false", s.firmwareImage.size());
  return json;
}

// ---- in-process device ----

IoctlResult ModelDevice::Ioctl(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize) {
  if (!Alive()) return Fail(ERROR_DEVICE_NOT_CONNECTED);
  model_.Poll();
  return model_.Ioctl(code, in, inSize, outSize);
}

bool ModelDevice::Alive() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return alive_;
}

void ModelDevice::SetAlive(bool alive) {
  std::lock_guard<std::mutex> lock(mutex_);
  alive_ = alive;
}

}  // namespace orv::sim
