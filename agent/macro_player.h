#pragma once
// Synthesised input and macro playback. Everything runs on the window thread: a macro holds it
// for its whole length, and button reports that arrive meanwhile wait in the queue.
#include <cstdint>
#include <string_view>
#include <vector>

#include "profile/records.h"

namespace orv {

class AgentDesktop;
class Clock;
class InputInjector;
class ProfileSets;

class MacroPlayer {
 public:
  MacroPlayer(InputInjector& input, Clock& clock, AgentDesktop& desktop, const ProfileSets& sets);
  MacroPlayer(const MacroPlayer&) = delete;
  MacroPlayer& operator=(const MacroPlayer&) = delete;

  // The press and release of macro m (the release: of a profile, -1 for the active one).
  void MacroPress(int m);
  void MacroRelease(int m, int profile = -1);
  void PlayMacroOnce(int m);
  void PlayKeyPair(int m, bool sendKeys, int profile = -1);
  void PasteText(std::u16string_view text, bool forGame);
  bool ForegroundIsGame();

  // One key by its virtual key (the scan code the system maps from it) with keyboard flags.
  void KeyEvent(int virtualKey, uint32_t flags);
  void SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t extra);
  void SendMouse(int32_t dx, int32_t dy, uint32_t flags, uint32_t mouseData, uint64_t extra);

  // Lets go of every key a single-key macro holds down.
  void ReleaseHeldKeys();
  const std::vector<int>& heldKeys() const { return heldKeys_; }

 private:
  void PlayEvent(const MacroEvent& e, int (&seen)[256], uint32_t pause);

  InputInjector& input_;
  Clock& clock_;
  AgentDesktop& desktop_;
  const ProfileSets& sets_;
  std::vector<int> heldKeys_;
  std::vector<int> repressKeys_;
};

}  // namespace orv
