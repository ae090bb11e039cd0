#pragma once
// Writing a profile into the mouse's own memory, and offering to take the memory over when
// the mouse is plugged in.
#include <cstdint>
#include <functional>
#include <string_view>

namespace orv {

class Clock;
class DriverChannel;
class PeerWindows;
class ProfileSets;

// The question the agent asks before it takes the mouse's on-board profile over.
extern const char16_t kOnboardQuestion[];

class OnboardTransfer {
 public:
  using AskYesNo = std::function<bool(std::u16string_view)>;
  OnboardTransfer(DriverChannel& driver, Clock& clock, ProfileSets& sets, PeerWindows& peers, AskYesNo ask);
  OnboardTransfer(const OnboardTransfer&) = delete;
  OnboardTransfer& operator=(const OnboardTransfer&) = delete;

  // Takes the memory size from the device information (left as it was when it cannot be read).
  void ReadMemorySize();
  // Writes the active profile's image (or the neutral one), reporting progress 25, 50 and 100
  // (lParam 1 when it failed) to the progress window.
  void WriteOnboardProfile(bool neutral);
  // Offers a stored profile that is not the neutral one; "yes" puts it over the active profile.
  void OfferOnboardProfile();

  int memorySize() const { return memorySize_; }
  int bufferSize() const { return bufferSize_; }

 private:
  DriverChannel& driver_;
  Clock& clock_;
  ProfileSets& sets_;
  PeerWindows& peers_;
  AskYesNo ask_;
  int32_t memorySize_ = 8192;
  int32_t bufferSize_ = 9216;
};

}  // namespace orv
