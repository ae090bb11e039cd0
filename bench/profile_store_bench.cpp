// orv_bench_profile_store: the profile store on the largest Config.xml its layout allows.
//   1. builds that document (every text full, every macro event used, every number widest);
//   2. times parsing its bytes with XmlCursor, pugixml and tinyxml2;
//   3. times LoadProfileSet of the file;
//   4. times the SaveProfileSet update path with nothing changed and with everything changed,
//      and checks what it wrote.
// Figures are medians; the run ends with one "RESULT name value" line per figure and exits
// non-zero when a parser fails or a file does not hold what it should.
#include "base/files.h"
#include "base/registry_store.h"
#include "base/text.h"
#include "platform/folders.h"
#include "profile/profile_files.h"
#include "profile/records.h"
#include "profile/xml_cursor.h"

#include <pugixml.hpp>
#include <tinyxml2.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

using orv::ProfileSet;

// Repetitions per figure: enough for a steady median, few enough for a run of seconds.
constexpr int kParseRuns = 31;
constexpr int kLoadRuns = 21;
constexpr int kSaveRuns = 21;

// Goals.
constexpr double kPugixmlRatioGoal = 2.0;    // XmlCursor parse time / pugixml's, at most
constexpr double kTinyxml2RatioGoal = 1.0;   // XmlCursor parse time / tinyxml2's, below
constexpr double kLoadGoalMs = 30.0;
constexpr double kSaveUnchangedGoalMs = 50.0;
constexpr double kSaveChangedGoalMs = 200.0;

// --- checks and timing -----------------------------------------------------------------------

int failures = 0;

void Check(bool ok, const char* what) {
  if (ok) return;
  ++failures;
  std::fprintf(stderr, "FAILED: %s\n", what);
}

struct NothingToPrepare {
  void operator()() const {}
};

// Median wall-clock time in milliseconds of `runs` calls of `run`; `prepare` is called before
// each of them, outside the measured time.
template <typename Run, typename Prepare = NothingToPrepare>
double MedianMs(int runs, Run&& run, Prepare&& prepare = {}) {
  std::vector<double> times;
  times.reserve(static_cast<size_t>(runs));
  for (int i = 0; i < runs; ++i) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    run();
    const auto stop = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  std::sort(times.begin(), times.end());
  const size_t mid = times.size() / 2;
  return times.size() % 2 ? times[mid] : (times[mid - 1] + times[mid]) / 2;
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

// A folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orv-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// --- the sets --------------------------------------------------------------------------------

constexpr int32_t kWidest = std::numeric_limits<int32_t>::min();  // "-2147483648": 11 characters
constexpr orv::MacroEvent kWidestEvent = {255, 1, {}, kWidest};
// Every fourth character is written as "&amp;".
constexpr std::u16string_view kLargestText = u"Orv&";
// Different in every position from kLargestText, and with other characters to escape.
constexpr std::u16string_view kChangedText = u"<Tide>";

// Fills a field to its capacity less the terminator with `pattern` repeated from `shift` on.
template <size_t N>
void FillText(char16_t (&field)[N], std::u16string_view pattern, size_t shift = 0) {
  for (size_t i = 0; i + 1 < N; ++i) field[i] = pattern[(i + shift) % pattern.size()];
  field[N - 1] = 0;
}

void FillLargestProfile(orv::Profile& p) {
  for (int32_t* v : {&p.region, &p.dpiStep, &p.doubleClickSpeed, &p.scrollSpeed, &p.sensitivity,
                     &p.advanceSensitivityX, &p.advanceSensitivityY, &p.ledColor, &p.ledIntensity,
                     &p.ledPulsation}) {
    *v = kWidest;
  }
  FillText(p.serverName, kLargestText);
  FillText(p.characterName, kLargestText);
  FillText(p.characterClass, kLargestText);
  FillText(p.characterRace, kLargestText);
  FillText(p.characterLevel, kLargestText);
  FillText(p.profileName, kLargestText);
  for (auto& name : p.gameNames) FillText(name, kLargestText);
  for (orv::ButtonAssignment& b : p.buttons) {
    b.buttonNumber = 255;
    b.code = kWidest;
  }
  for (orv::Macro& m : p.macros) {
    FillText(m.name, kLargestText);
    FillText(m.pasteText, kLargestText);
    std::fill(std::begin(m.events), std::end(m.events), kWidestEvent);
    std::fill(std::begin(m.startKeyEvents), std::end(m.startKeyEvents), kWidestEvent);
    std::fill(std::begin(m.sendKeyEvents), std::end(m.sendKeyEvents), kWidestEvent);
    m.loopCount = m.loopSwitch = m.delayMode = m.startKey = m.sendKey = kWidest;
  }
}

// The set with the largest Config.xml: every text at capacity, every macro and event used,
// every number as wide as it can be written.
std::unique_ptr<ProfileSet> LargestSet() {
  auto set = std::make_unique<ProfileSet>();  // value-initialised: reserved bytes are zero
  set->profileId = set->pollingRate = set->liftDistance = set->gameMode = kWidest;
  for (orv::Profile& p : set->profiles) FillLargestProfile(p);
  return set;
}

// Events that differ from kWidestEvent in all three numbers; `seed` tells lists apart.
// A virtual key of 0 would end the list, so keys stay within 1 to 254.
template <size_t N>
void FillChangedEvents(orv::MacroEvent (&events)[N], int seed) {
  for (size_t e = 0; e < N; ++e) {
    const int k = seed + static_cast<int>(e);
    events[e] = {static_cast<uint8_t>(1 + k % 254), 0, {}, 37 * k % 100000};
  }
}

void FillChangedProfile(orv::Profile& p, int i) {
  // Values validation keeps, so that a loaded set can be compared with this one as it is.
  p.region = 1000 + i;
  p.dpiStep = 1 + i % 6;
  p.doubleClickSpeed = 150 + 80 * i;
  p.scrollSpeed = 1 + i;
  p.sensitivity = 11 + i;
  p.advanceSensitivityX = 2 + i;
  p.advanceSensitivityY = 3 + i;
  p.ledColor = 0x010203 * (i + 1);
  p.ledIntensity = 1 + i % 4;
  p.ledPulsation = 1 + (i + 1) % 4;
  // Each text starts at another point of the pattern, so that neighbouring texts differ.
  size_t shift = static_cast<size_t>(i);
  FillText(p.serverName, kChangedText, shift++);
  FillText(p.characterName, kChangedText, shift++);
  FillText(p.characterClass, kChangedText, shift++);
  FillText(p.characterRace, kChangedText, shift++);
  FillText(p.characterLevel, kChangedText, shift++);
  FillText(p.profileName, kChangedText, shift++);
  for (auto& name : p.gameNames) FillText(name, kChangedText, shift++);
  for (int b = 0; b < orv::kButtonCount; ++b) {
    p.buttons[b].buttonNumber = static_cast<uint8_t>(b + 1);  // the loader numbers entries itself
    p.buttons[b].code = 1 + (7 * (i * orv::kButtonCount + b)) % 1200;
  }
  for (int m = 0; m < orv::kMacroCount; ++m) {
    orv::Macro& macro = p.macros[m];
    FillText(macro.name, kChangedText, shift++);
    FillText(macro.pasteText, kChangedText, shift++);
    const int seed = i * orv::kMacroCount + m;
    FillChangedEvents(macro.events, seed);
    FillChangedEvents(macro.startKeyEvents, seed + 1);
    FillChangedEvents(macro.sendKeyEvents, seed + 2);
    macro.loopCount = m + 1;
    macro.loopSwitch = (i + m) % 2;
    macro.delayMode = 1 + m % 4;
    macro.startKey = m + 2;
    macro.sendKey = i + 3;
  }
}

// A set in which every value differs from LargestSet()'s.
std::unique_ptr<ProfileSet> ChangedSet() {
  auto set = std::make_unique<ProfileSet>();
  set->profileId = 7;
  set->pollingRate = 1;
  set->liftDistance = 3;
  set->gameMode = 1;
  for (int i = 0; i < orv::kProfileCount; ++i) FillChangedProfile(set->profiles[i], i);
  return set;
}

std::unique_ptr<ProfileSet> Validated(const ProfileSet& set, bool* replaced = nullptr) {
  auto copy = std::make_unique<ProfileSet>(set);
  const bool r = orv::ValidateProfileSet(*copy);
  if (replaced) *replaced = r;
  return copy;
}

bool SameSet(const ProfileSet& a, const ProfileSet& b) { return std::memcmp(&a, &b, sizeof(ProfileSet)) == 0; }

// --- the measurements ------------------------------------------------------------------------

struct ParseFigures {
  double cursorMs, pugixmlMs, tinyxml2Ms;
};

ParseFigures MeasureParsers(const std::string& utf16Bytes, const std::string& utf8Bytes) {
  ParseFigures f{};
  bool ok = true;

  std::unique_ptr<orv::XmlCursor> cursor;
  f.cursorMs = MedianMs(
      kParseRuns, [&] { ok = cursor->LoadBytes(utf16Bytes) && ok; },
      [&] { cursor = std::make_unique<orv::XmlCursor>(); });
  Check(ok, "XmlCursor::LoadBytes");

  ok = true;
  std::unique_ptr<pugi::xml_document> pugiDoc;
  f.pugixmlMs = MedianMs(
      kParseRuns,
      [&] {
        const pugi::xml_parse_result r = pugiDoc->load_buffer(utf16Bytes.data(), utf16Bytes.size(),
                                                              pugi::parse_default, pugi::encoding_utf16_le);
        ok = r && ok;
      },
      [&] { pugiDoc = std::make_unique<pugi::xml_document>(); });
  Check(ok && pugiDoc->document_element().child("PROFILE_10"), "pugixml load_buffer");

  ok = true;
  std::unique_ptr<tinyxml2::XMLDocument> tinyDoc;
  f.tinyxml2Ms = MedianMs(
      kParseRuns, [&] { ok = tinyDoc->Parse(utf8Bytes.data(), utf8Bytes.size()) == tinyxml2::XML_SUCCESS && ok; },
      [&] { tinyDoc = std::make_unique<tinyxml2::XMLDocument>(); });
  Check(ok && tinyDoc->RootElement() && tinyDoc->RootElement()->FirstChildElement("PROFILE_10"),
        "tinyxml2 Parse");
  return f;
}

double MeasureLoad(const std::string& path, const ProfileSet& expected) {
  auto loaded = std::make_unique<ProfileSet>();
  const double ms = MedianMs(kLoadRuns, [&] { orv::LoadProfileSet(path, *loaded); });
  Check(SameSet(*loaded, expected), "LoadProfileSet gives the written set, validated");
  return ms;
}

// SaveProfileSet over `original` (put back, untimed, before every run).
double MeasureSave(const std::string& folder, const std::string& path, const std::string& original,
                   const ProfileSet& set, orv::RegistryStore& registry) {
  bool saved = true, restored = true;
  const double ms = MedianMs(
      kSaveRuns, [&] { saved = orv::SaveProfileSet(folder, set, registry) == 0 && saved; },
      [&] { restored = orv::ReplaceFileContents(path, {original}) && restored; });
  Check(restored, "restoring Config.xml before a save");
  Check(saved, "SaveProfileSet");
  return ms;
}

void PrintFigure(const char* what, double ms, const char* goal, bool met) {
  std::printf("  %-34s %9.3f ms   goal %s: %s\n", what, ms, goal, Verdict(met));
}

}  // namespace

int main() {
  // 1. The largest document.
  const auto largest = LargestSet();
  const std::string configBytes = orv::NewConfigDocument(*largest);
  orv::XmlCursor reader;
  Check(reader.LoadBytes(configBytes), "the largest Config.xml is well-formed");
  const size_t configChars = reader.DocumentLength();
  const std::string utf8Copy = orv::ToUtf8(reader.GetDocument());
  std::printf("Largest Config.xml (UTF-16LE with byte order mark): %zu bytes, %zu characters\n",
              configBytes.size(), configChars);
  std::printf("  UTF-8 copy for tinyxml2: %zu bytes\n\n", utf8Copy.size());

  // 2. Parsing.
  const ParseFigures parse = MeasureParsers(configBytes, utf8Copy);
  const double ratioPugixml = parse.cursorMs / parse.pugixmlMs;
  const double ratioTinyxml2 = parse.cursorMs / parse.tinyxml2Ms;
  std::printf("Parse, median of %d                      time    XmlCursor/it\n", kParseRuns);
  std::printf("  %-34s %9.3f ms\n", "XmlCursor::LoadBytes (UTF-16LE)", parse.cursorMs);
  std::printf("  %-34s %9.3f ms   %6.3f   goal within %.0fx of pugixml: %s\n", "pugixml load_buffer (UTF-16LE)",
              parse.pugixmlMs, ratioPugixml, kPugixmlRatioGoal, Verdict(ratioPugixml <= kPugixmlRatioGoal));
  std::printf("  %-34s %9.3f ms   %6.3f   goal faster than tinyxml2: %s\n\n", "tinyxml2 Parse (UTF-8)",
              parse.tinyxml2Ms, ratioTinyxml2, Verdict(ratioTinyxml2 < kTinyxml2RatioGoal));

  TempFolder temp;
  Check(!temp.path().empty(), "creating a temporary folder");
  const std::string configPath = orv::JoinPath(temp.path(), orv::kConfigFileName);
  Check(orv::ReplaceFileContents(configPath, {configBytes}), "writing Config.xml");
  orv::RegistryStore registry(orv::JoinPath(temp.path(), "Registry.ini"));

  // 3. Loading.
  std::printf("Profile store, median of %d (load) and %d (saves), file in %s\n", kLoadRuns, kSaveRuns,
              temp.path().c_str());
  const double loadMs = MeasureLoad(configPath, *Validated(*largest));
  PrintFigure("LoadProfileSet", loadMs, "under 30 ms", loadMs < kLoadGoalMs);

  // 4. Saving over the file: the same set, then one in which every value differs.
  const double saveUnchangedMs = MeasureSave(temp.path(), configPath, configBytes, *largest, registry);
  std::string afterUnchanged;
  Check(orv::ReadWholeFile(configPath, afterUnchanged, orv::kMaxConfigFileSize) && afterUnchanged == configBytes,
        "saving the unchanged set leaves Config.xml as it was");
  PrintFigure("SaveProfileSet, nothing changed", saveUnchangedMs, "under 50 ms",
              saveUnchangedMs < kSaveUnchangedGoalMs);

  const auto changed = ChangedSet();
  bool replaced = true;
  Check(SameSet(*Validated(*changed, &replaced), *changed) && !replaced, "validation keeps the changed set as it is");
  const double saveChangedMs = MeasureSave(temp.path(), configPath, configBytes, *changed, registry);
  auto reloaded = std::make_unique<ProfileSet>();
  orv::LoadProfileSet(configPath, *reloaded);
  Check(SameSet(*reloaded, *changed), "Config.xml holds the changed set after saving it");
  PrintFigure("SaveProfileSet, every value changed", saveChangedMs, "under 200 ms",
              saveChangedMs < kSaveChangedGoalMs);

  std::printf("\n");
  std::printf("RESULT config_bytes %zu\n", configBytes.size());
  std::printf("RESULT config_chars %zu\n", configChars);
  std::printf("RESULT parse_xmlcursor_ms %.3f\n", parse.cursorMs);
  std::printf("RESULT parse_pugixml_ms %.3f\n", parse.pugixmlMs);
  std::printf("RESULT parse_tinyxml2_ms %.3f\n", parse.tinyxml2Ms);
  std::printf("RESULT parse_ratio_pugixml %.3f\n", ratioPugixml);
  std::printf("RESULT parse_ratio_tinyxml2 %.3f\n", ratioTinyxml2);
  std::printf("RESULT load_profile_set_ms %.3f\n", loadMs);
  std::printf("RESULT save_unchanged_ms %.3f\n", saveUnchangedMs);
  std::printf("RESULT save_all_changed_ms %.3f\n", saveChangedMs);

  if (failures) {
    std::fprintf(stderr, "FAILED: %d check(s) did not hold; the figures above are not to be trusted\n", failures);
    return 1;
  }
  return 0;
}
