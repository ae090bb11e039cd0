#include "sim/mouse_model.h"

#include <algorithm>

#include "base/byte_order.h"
#include "base/files.h"
#include "device/onboard_format.h"
#include "sim/mouse_state.h"
#include "sim/sim_text.h"

namespace orv::sim {

using namespace device_error;

namespace {

constexpr size_t kTranscriptCapacity = 200000;  // oldest lines go first beyond this
constexpr size_t kMemoryUnit = 512;             // on-board memory comes in units of this many bytes
// The pressed state of every standard button, as a standard report carries it.
constexpr uint32_t kStandardButtonBits = (1u << kStandardButtonCount) - 1;

// The device information block: on-board memory units, then big-endian words.
constexpr size_t kInfoMemoryUnits = 3;
constexpr size_t kInfoFirmwareWord = 4;
constexpr size_t kInfoFirmwareStart = 8;
constexpr size_t kInfoEraseWait = 10;
constexpr size_t kInfoBlockDelay = 12;

IoctlResult Fail(uint32_t error) { return IoctlResult{false, error, {}}; }

}  // namespace

MouseModel::MouseModel(Clock& clock, MouseConfig config)
    : clock_(clock), config_(config), onboardCapacity_(static_cast<size_t>(config.memoryUnits) * kMemoryUnit) {
  state_.plugged = config.pluggedAtStart;
  state_.firmwareWord = config.firmwareWord;
  state_.onboardHeader = NeutralOnboardImage(0).header;  // a new mouse holds the neutral image
  state_.onboardData.assign(onboardCapacity_, kErasedByte);
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
  state_.firmwareWord = word;
}

bool MouseModel::Plugged() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_.plugged;
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
  if (!state_.registered) {
    AppendLocked(TimeLocked() + Format(" dropped=0x%08X reason=unregistered", word));
    return false;
  }
  if (state_.pendingEvents.size() >= kEventQueueCapacity) {
    AppendLocked(TimeLocked() + Format(" dropped=0x%08X reason=full", word));
    return false;
  }
  state_.pendingEvents.push_back(word);
  ++notices_;
  AppendLocked(TimeLocked() + Format(" event=0x%08X", word));
  return true;
}

std::array<uint8_t, kDeviceInfoSize> MouseModel::DeviceInfoLocked() const {
  std::array<uint8_t, kDeviceInfoSize> info{};
  info[kInfoMemoryUnits] = config_.memoryUnits;
  PutBe16(&info[kInfoFirmwareWord], state_.firmwareWord);
  PutBe16(&info[kInfoFirmwareStart], config_.firmwareStart);
  PutBe16(&info[kInfoEraseWait], config_.eraseWait);
  PutBe16(&info[kInfoBlockDelay], config_.blockDelay);
  return info;
}

void MouseModel::LeaveLocked(MousePhase comeBackAs) {
  state_.standardButtons = 0;
  state_.extraButtons = 0;
  QueueEventLocked(kEventDisconnect);
  state_.phase = MousePhase::Away;
  comeBackAs_ = comeBackAs;
  arriveAt_ = clock_.TickCount() + config_.reenumerateMs;
  if (config_.reenumerateMs == 0) ArriveLocked();
}

void MouseModel::ArriveLocked() {
  state_.phase = comeBackAs_;
  if (state_.phase == MousePhase::Mouse) {
    state_.live = state_.saved;  // a fresh start of the firmware
    AppendLocked(TimeLocked() + Format(" note=mouse-back firmware=0x%04X", state_.firmwareWord));
  } else {
    state_.loaderStarted = false;
    AppendLocked(TimeLocked() + " note=loader-ready");
  }
  QueueEventLocked(kEventConnect);
}

void MouseModel::Poll() {
  int notices;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_.plugged && state_.phase == MousePhase::Away &&
        static_cast<int32_t>(clock_.TickCount() - arriveAt_) >= 0) {
      ArriveLocked();
    }
    notices = TakeNoticesLocked();
  }
  Notify(notices);
}

bool MouseModel::HasTimedSteps() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_.plugged && state_.phase == MousePhase::Away;
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
  state_.registered = false;
  state_.pendingEvents.clear();
  state_.interceptMask = 0;
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
    if (state_.plugged) return false;
    state_.plugged = true;
    state_.phase = MousePhase::Mouse;
    state_.live = state_.saved;
    state_.loaderStarted = false;
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
    if (!state_.plugged) return false;
    state_.plugged = false;
    state_.standardButtons = 0;
    state_.extraButtons = 0;
    state_.loaderStarted = false;
    AppendLocked(TimeLocked() + " note=unplug");
    // While re-enumerating the mouse has already said goodbye.
    if (state_.phase != MousePhase::Away) QueueEventLocked(kEventDisconnect);
    state_.phase = MousePhase::Mouse;
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
  if (!state_.plugged || state_.phase != MousePhase::Mouse) return ButtonOutcome::NotReady;
  if (standard) {
    const uint8_t bit = static_cast<uint8_t>(1u << id);
    const uint8_t now = down ? (state_.standardButtons | bit) : (state_.standardButtons & ~bit);
    if (now == state_.standardButtons) return ButtonOutcome::Unchanged;
    state_.standardButtons = now;
    // Without a registered client the driver has nobody to report to: everything passes.
    if (!state_.registered || !((state_.interceptMask >> id) & 1)) {
      AppendLocked(TimeLocked() + Format(" passthrough id=%d %s", id, down ? "down" : "up"));
      return ButtonOutcome::PassedThrough;
    }
    // Buttons that pass through never show in a report, so the agent sees only its own.
    const uint32_t word = state_.standardButtons & state_.interceptMask & kStandardButtonBits;
    return QueueEventLocked(word) ? ButtonOutcome::Reported : ButtonOutcome::Dropped;
  }
  const uint32_t bit = 1u << (id - kFirstExtraButton);
  const uint32_t now = down ? (state_.extraButtons | bit) : (state_.extraButtons & ~bit);
  if (now == state_.extraButtons) return ButtonOutcome::Unchanged;
  state_.extraButtons = now;
  return QueueEventLocked(kExtraReport | state_.extraButtons) ? ButtonOutcome::Reported : ButtonOutcome::Dropped;
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

// ---- persistence ----

void MouseModel::SaveStateLocked() {
  if (statePath_.empty()) return;
  if (!ReplaceFileContents(statePath_, {StateFileText(state_)})) AppendLocked(TimeLocked() + " note=state-not-written");
}

bool MouseModel::LoadState() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  if (statePath_.empty() || !ReadWholeFile(statePath_, text, kMaxStateFileSize)) return false;
  if (!ReadStateFileText(text, state_)) return false;
  AppendLocked(TimeLocked() + " note=state-loaded");
  return true;
}

// ---- inspection ----

MouseSnapshot MouseModel::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  MouseSnapshot snapshot;
  static_cast<MouseState&>(snapshot) = state_;
  snapshot.deviceInfo = DeviceInfoLocked();
  return snapshot;
}

std::vector<uint32_t> MouseModel::PendingEvents() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_.pendingEvents;
}

std::string MouseModel::StateJson(const std::vector<std::pair<std::string, std::string>>& extra) const {
  return orv::sim::StateJson(Snapshot(), extra);
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
