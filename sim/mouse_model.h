#pragma once
// The mouse and its driver as the agent sees them through the control device: every IOCTL with
// its buffer sizes, the mouse's settings, on-board memory and firmware loader, the queue of
// event words, and a transcript of everything that happened. No sockets here: the simulator
// program serves this model on the device socket, and tests wrap it in-process as a DeviceIo.
//
// The driver's part (intercept mask, sensitivity, device mode, event registration and queue)
// lives as long as the model; the mouse's part (settings) falls back to what it keeps
// (IOCTL_SAVE_SETTINGS) whenever the mouse is plugged in again or re-enumerates after the loader.
//
// Firmware images: the loader takes blocks of 512 bytes at S, S + 512, ... (S = device
// information bytes 8-9). An image names its version in its first six bytes: 'V' 'X' 'F' 'W',
// then the version word big-endian (major, minor; version number = major x 100 + minor, the
// word as the device information block and Firmware.xml's hexadecimal Version give it). An
// image without that mark is refused at IOCTL_FW_FINISH (ERROR_INVALID_DATA) and the mouse comes
// back with the firmware it had.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "device/buttons.h"
#include "device/device_codes.h"
#include "device/onboard_format.h"
#include "device/device_io.h"
#include "platform/clock.h"

namespace orv::sim {

// The button ids, the device information and on-board sizes are the device contract's.
constexpr int kStandardButtonCount = kStandardButtonIdCount;  // ids 0-5
constexpr int kFirstExtraButton = kFirstExtraButtonId;       // ids 1024-1041
constexpr int kExtraButtonCount = kExtraButtonIdCount;

constexpr size_t kDeviceInfoSize = orv::kDeviceInfoSize;
constexpr size_t kOnboardHeaderSize = orv::kOnboardHeaderSize;
constexpr size_t kOnboardChunk = kOnboardChunkSize;  // most data bytes one on-board request carries
constexpr size_t kFirmwareBlockSize = 512;
constexpr size_t kEventQueueCapacity = 128;  // words beyond are dropped
constexpr uint8_t kErasedByte = 0xFF;        // what erased on-board memory reads
constexpr size_t kMaxStateFileSize = 16u << 20;  // a state file holds settings and a few KiB of memory

// What the mouse keeps when told to save; the live values start from these.
struct MouseSettings {
  uint8_t dpiStep = 6;         // 1..6
  uint8_t pollingRate = 2;     // 1..3
  uint32_t ledColor = 0x3CFF;  // 24 bits
  uint8_t ledIntensity = 4;
  uint8_t ledPulsation = 3;
  uint16_t liftDistance = 0;  // code 0..2
  bool operator==(const MouseSettings&) const = default;
};

// The values the mouse takes; a request outside them is refused (ERROR_INVALID_PARAMETER), a
// state file's value outside them is not taken.
inline constexpr uint8_t kDpiStepLowest = 1, kDpiStepHighest = 6;
inline constexpr uint8_t kPollingRateLowest = 1, kPollingRateHighest = 3;
inline constexpr uint16_t kLiftDistanceHighest = 2;
inline constexpr uint32_t kLedColorHighest = 0xFFFFFF;
inline constexpr uint32_t kSensitivityLowest = 1, kSensitivityHighest = 18;

// The build of the simulated mouse: what its device information block says and how long it
// takes to come back after leaving for (or returning from) the firmware loader.
struct MouseConfig {
  uint8_t memoryUnits = 16;         // on-board memory in units of 512 bytes (device information byte 3)
  uint16_t firmwareWord = 0x0203;   // major << 8 | minor; a state file's version replaces it
  uint16_t firmwareStart = 0x1000;  // S, bytes 8-9
  uint16_t eraseWait = 5;           // W, bytes 10-11: the flash is erased 2 x W ms after IOCTL_FW_START
  uint16_t blockDelay = 10;         // D, bytes 12-13: a block takes D ms to program
  uint32_t reenumerateMs = 1500;    // time between the disconnect and the connect word (0: at once)
  bool pluggedAtStart = true;
};

// The version number of a firmware word (major << 8 | minor): major x 100 + minor.
constexpr unsigned FirmwareVersionNumber(uint16_t word) { return (word >> 8) * 100u + (word & 0xFFu); }

enum class MousePhase {
  Mouse,   // the normal firmware
  Away,    // re-enumerating: between a disconnect word and the next connect word
  Loader,  // the firmware loader
};

// Everything the model keeps about the driver and the mouse, as one value: the model holds one
// and every inspection is a copy of it.
struct MouseState {
  bool plugged = true;
  MousePhase phase = MousePhase::Mouse;
  MouseSettings live;
  MouseSettings saved;
  uint32_t interceptMask = 0xFFFF;
  uint8_t interceptExtra = 0;
  uint8_t sensitivityEnable = 0;
  uint32_t sensitivityX = 10;
  uint32_t sensitivityY = 10;
  uint8_t deviceMode = 0;  // 0 until told; 1 detached, 2 attached
  bool registered = false;
  uint32_t semaphoreValue = 0;  // the 4 bytes IOCTL_REGISTER_EVENT carried
  uint16_t firmwareWord = 0;
  std::array<uint8_t, kOnboardHeaderSize> onboardHeader{};  // as written
  std::vector<uint8_t> onboardData;                         // the whole memory
  std::vector<uint32_t> pendingEvents;                      // oldest first
  uint8_t standardButtons = 0;                              // pressed state, bit i = id i
  uint32_t extraButtons = 0;                                // bit i = id 1024 + i
  bool loaderStarted = false;
  std::vector<uint8_t> firmwareImage;  // bytes the loader has taken since IOCTL_FW_START
};

// Everything a test may want to compare at once: the state and the device information block
// that follows from it and the mouse's build.
struct MouseSnapshot : MouseState {
  std::array<uint8_t, kDeviceInfoSize> deviceInfo{};
};

class MouseModel {
 public:
  enum class ButtonOutcome {
    Reported,       // an event word was queued for the registered client
    PassedThrough,  // a standard button the driver does not intercept (recorded in the transcript)
    Dropped,        // reported, but nobody is registered or the queue is full
    Unchanged,      // the button already was in that state
    NotReady,       // the mouse is unplugged, away or in the loader
    UnknownButton,  // not a standard id 0-5 nor an extra id 1024-1041
  };

  explicit MouseModel(Clock& clock, MouseConfig config = {});
  MouseModel(const MouseModel&) = delete;
  MouseModel& operator=(const MouseModel&) = delete;

  // Called once per event word queued for the registered client ("event pending"). Called
  // without the model's lock held, after the word is in the queue.
  void SetEventPendingCallback(std::function<void()> callback);

  // Persistence: with a path, IOCTL_SAVE_SETTINGS, on-board writes and a new firmware rewrite
  // the state file (atomically). LoadState reads it: the kept settings (which become the live
  // ones), the firmware version and the on-board memory. False when the file is missing or not
  // a state file; values out of range keep their defaults.
  void SetStatePath(std::string path);
  bool LoadState();
  // Overrides the firmware version (after LoadState, so an explicit choice wins).
  void SetFirmwareWord(uint16_t word);

  // One request as the driver answers it.
  IoctlResult Ioctl(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize);

  // The mouse's side.
  ButtonOutcome Press(int id);
  ButtonOutcome Release(int id);
  // Plug in: queues the connect word, settings fall back to the kept ones. False if plugged.
  bool Plug();
  // Pull out: queues the disconnect word; mouse requests fail with ERROR_GEN_FAILURE until
  // plugged again. False if already unplugged.
  bool Unplug();
  bool Plugged() const;

  // The next request with `code` fails with `error` (each call arms one failure; several for
  // the same code fail that many requests in a row). False for a code the driver does not know
  // or error 0.
  bool ArmFailure(uint32_t code, uint32_t error = device_error::ERROR_GEN_FAILURE);

  // Queues a word as the driver would, whatever the mouse did (a test's own reports and
  // notices). False when nobody is registered or the queue is full.
  bool QueueEventWord(uint32_t word);

  // The client's handle was closed: registration ends, the queue is emptied and every
  // standard button passes through again.
  void ClientClosed();
  // Timed steps (the re-enumeration after entering or leaving the loader) that are due by the
  // clock. The simulator program calls it continually; in-process users call it as time moves.
  void Poll();
  bool HasTimedSteps() const;

  // Free-form line in the transcript ("note=...").
  void Note(const std::string& text);
  std::vector<std::string> Transcript() const;
  MouseSnapshot Snapshot() const;
  // The state as one JSON object; `extra` members (name, raw JSON value) come first.
  std::string StateJson(const std::vector<std::pair<std::string, std::string>>& extra = {}) const;

  // The event words waiting for the client, oldest first (without copying the whole state).
  std::vector<uint32_t> PendingEvents() const;

  static bool KnownCode(uint32_t code);
  static const char* CodeName(uint32_t code);  // "IOCTL_SET_DPI_STEP", or null
  // Every request code the driver answers, in the order of its request table.
  static std::vector<uint32_t> KnownCodes();
  size_t OnboardCapacity() const { return onboardCapacity_; }

 private:
  // The request table and its handlers (mouse_requests.cpp).
  friend struct MouseRequests;

  IoctlResult HandleLocked(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize);
  ButtonOutcome ChangeButtonLocked(int id, bool down);
  bool QueueEventLocked(uint32_t word);
  void LeaveLocked(MousePhase comeBackAs);
  void ArriveLocked();
  void SaveStateLocked();
  void AppendLocked(std::string line);
  std::string TimeLocked() const;
  std::array<uint8_t, kDeviceInfoSize> DeviceInfoLocked() const;
  int TakeNoticesLocked();
  void Notify(int notices);

  Clock& clock_;
  const MouseConfig config_;
  const size_t onboardCapacity_;
  mutable std::mutex mutex_;
  std::function<void()> onEventPending_;
  std::string statePath_;

  MouseState state_;
  // When the mouse comes back from re-enumerating, and as what.
  MousePhase comeBackAs_ = MousePhase::Mouse;
  uint32_t arriveAt_ = 0;
  // The loader's pace: when the flash is erased, when it takes the next block, and where.
  uint32_t erasedAt_ = 0;
  uint32_t blockReadyAt_ = 0;
  uint32_t nextBlockOffset_ = 0;
  int notices_ = 0;
  // Failures armed by ArmFailure.
  std::map<uint32_t, std::deque<uint32_t>> armed_;
  // Transcript; lines a request causes follow its own line.
  std::deque<std::string> transcript_;
  bool inRequest_ = false;
  std::vector<std::string> requestSideLines_;
};

// The model as a device, in-process: what a test puts behind code that talks to a DeviceIo.
// Each request first runs the model's due timed steps. Connect the "event pending" notices with
// MouseModel::SetEventPendingCallback (for example to release an EventSemaphore).
class ModelDevice : public DeviceIo {
 public:
  explicit ModelDevice(MouseModel& model) : model_(model) {}
  IoctlResult Ioctl(uint32_t code, const uint8_t* in, size_t inSize, size_t outSize) override;
  bool Alive() const override;
  // False: as if the device had gone away; every request fails with ERROR_DEVICE_NOT_CONNECTED.
  void SetAlive(bool alive);

 private:
  MouseModel& model_;
  mutable std::mutex mutex_;
  bool alive_ = true;
};

// Hex digits of bytes, upper case, no separators ("0A1B").
std::string HexBytes(const uint8_t* data, size_t size);

}  // namespace orv::sim
