// Fuzz target for the on-board image as the agent reads it back from the mouse: a header as
// read (part 1) and the data bytes read (part 2) decoded over the default profile. The decoder
// must stay inside both buffers, change nothing but button codes and free macro slots, give
// only codes that validation keeps, and what it gives must encode and decode to itself (a
// macro to an equal macro, or to the function whose script it is).
#include <cstring>

#include "device/onboard_format.h"
#include "profile/function_catalog.h"
#include "fuzz_input.h"
#include "profile/records.h"

namespace {

const orv::ProfileSet& Defaults() {
  static const orv::ProfileSet* set = [] {
    auto* s = new orv::ProfileSet;
    orv::ResetProfileSet(*s);
    orv::ValidateProfileSet(*s);
    return s;
  }();
  return *set;
}

bool IsMacro(int code) { return code >= orv::kFirstMacroCode && code < orv::kFirstMacroCode + orv::kMacroCount; }

// A macro whose keys are exactly the keys of a function is stored as the same script as that
// function, and loads as the function: the image with the function on the macro's buttons is
// the same image.
bool StoredAlike(const orv::Profile& profile, int macro, int function, const orv::OnboardImage& image) {
  if (!IsMacro(macro) || IsMacro(function)) return false;
  orv::Profile other = profile;
  for (auto& button : other.buttons)
    if (button.code == macro) button.code = function;
  const orv::OnboardImage stored = orv::EncodeOnboardProfile(other, 0x10000);
  return stored.header == image.header && stored.data == image.data;
}

// The data the mouse holds for `code` of `profile` on one button.
std::vector<uint8_t> StoredScript(const orv::Profile& profile, int code) {
  orv::Profile one = profile;
  for (auto& button : one.buttons) button.code = orv::kOnboardOffCode;
  one.buttons[0].code = code;
  return orv::EncodeOnboardProfile(one, 0x10000).data;
}

bool SameExceptButtonsAndMacros(const orv::Profile& a, const orv::Profile& b) {
  return std::memcmp(&a, &b, offsetof(orv::Profile, buttons)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orv;
  const auto parts = fuzz::SplitParts(data, size, 2);
  // Exact copies, so that a read past either end is caught.
  const std::vector<uint8_t> header(parts[0].begin(), parts[0].end());
  const std::vector<uint8_t> area = parts.size() > 1 ? std::vector<uint8_t>(parts[1].begin(), parts[1].end())
                                                     : std::vector<uint8_t>{};

  (void)IsNeutralHeader(header.data(), header.size());
  const bool usable = UsableOnboardHeader(header.data(), header.size());

  static auto* set = new ProfileSet;
  *set = Defaults();
  const Profile& active = Defaults().profiles[0];
  const Profile decoded = DecodeOnboardProfile(header.data(), header.size(), area.data(), area.size(), active);
  ORV_FUZZ_CHECK(SameExceptButtonsAndMacros(decoded, active));
  for (int b = 0; b < kButtonCount; ++b) ORV_FUZZ_CHECK(decoded.buttons[b].buttonNumber == active.buttons[b].buttonNumber);
  for (int m = 0; m < kMacroCount; ++m) {
    if (active.macros[m].name[0] != 0) {
      ORV_FUZZ_CHECK(std::memcmp(&decoded.macros[m], &active.macros[m], sizeof(Macro)) == 0);
    }
  }
  if (header.size() < kOnboardStoredHeaderSize || header[0] != kOnboardEntryCount) {
    ORV_FUZZ_CHECK(!usable);
    ORV_FUZZ_CHECK(std::memcmp(&decoded, &active, sizeof(Profile)) == 0);
    return 0;
  }

  // Only values validation keeps.
  set->profiles[0] = decoded;
  ORV_FUZZ_CHECK(!ValidateProfileSet(*set));
  ORV_FUZZ_CHECK(std::memcmp(&set->profiles[0], &decoded, sizeof(Profile)) == 0);

  // What was decoded is stored again as the same codes.
  const OnboardImage image = EncodeOnboardProfile(decoded, 0x10000);
  ORV_FUZZ_CHECK(image.complete);
  const Profile again = DecodeOnboardProfile(image.header.data() + 2, image.header.size() - 2, image.data.data(),
                                             image.data.size(), decoded);
  for (int b = 0; b < kButtonCount; ++b) {
    const int code = decoded.buttons[b].code, code2 = again.buttons[b].code;
    // A stored loop of 0 loads as a macro that loops 0 times, which plays nothing and is stored
    // as nothing: it comes back as a button that does nothing.
    if (IsMacro(code)) {
      const Macro& m = decoded.macros[code - kFirstMacroCode];
      if (m.loopSwitch != 0 && m.loopCount == 0) {
        ORV_FUZZ_CHECK(code2 == kOnboardOffCode);
        continue;
      }
    }
    // Two stored scripts that differ only in what a macro cannot hold (mouse events, their
    // delays) load as two equal macros, and two macros whose delays differ only beyond what one
    // delay byte holds (255 x 50 ms) are stored as one script: stored again, such macros are
    // one script, found as the first.
    if (IsMacro(code) && IsMacro(code2)) {
      ORV_FUZZ_CHECK(StoredScript(again, code2) == StoredScript(decoded, code));
    } else {
      ORV_FUZZ_CHECK(code2 == code || StoredAlike(decoded, code, code2, image));
    }
  }
  ORV_FUZZ_CHECK(std::memcmp(again.macros, decoded.macros, sizeof decoded.macros) == 0);
  return 0;
}
