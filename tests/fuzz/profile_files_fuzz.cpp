// Fuzz target for the profile files as the programs load them: Config.xml (part 1),
// TrayIcon.xml (part 2) and an exported profile (part 3). What loads is a valid set; saved and
// loaded again it is the same set (nothing is lost or changed on the way through the file); an
// imported profile is valid, and exported into the same file and imported again it is the same
// profile; a tray file that loaded still loads after the names are written into it; the automatic switch
// state written reads back.
#include <cstring>
#include <string>
#include <unistd.h>

#include "base/files.h"
#include "base/registry_store.h"
#include "fuzz_input.h"
#include "profile/profile_files.h"
#include "profile/records.h"
#include "profile/xml_cursor.h"

namespace {

bool SameSet(const orv::ProfileSet& a, const orv::ProfileSet& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orv;
  static const std::string conf = fuzz::ScratchSubfolder("Conf");
  static auto* loaded = new ProfileSet;
  static auto* reloaded = new ProfileSet;
  static auto* copy = new ProfileSet;
  const auto parts = fuzz::SplitParts(data, size, 3);
  const std::string configPath = JoinPath(conf, kConfigFileName);
  const std::string trayPath = JoinPath(conf, kTrayIconFileName);
  const std::string exportPath = JoinPath(conf, "Exported.xml");
  std::remove((configPath + kBrokenConfigSuffix).c_str());
  std::remove(trayPath.c_str());

  // Config.xml.
  ORV_FUZZ_CHECK(ReplaceFileContents(configPath, {parts[0]}));
  const ProfileSetLoad outcome = LoadProfileSet(configPath, *loaded);
  ORV_FUZZ_CHECK(outcome != ProfileSetLoad::Missing);
  *copy = *loaded;
  ORV_FUZZ_CHECK(!ValidateProfileSet(*copy));
  ORV_FUZZ_CHECK(SameSet(*copy, *loaded));

  // Saved and loaded again. A file that does not load is replaced by a whole new document,
  // which the writers' own tests cover; it is saved here only now and then, as it is slow.
  static unsigned inputs = 0;
  if (outcome == ProfileSetLoad::Loaded || ++inputs % 64 == 0) {
    if (parts.size() > 1) ORV_FUZZ_CHECK(ReplaceFileContents(trayPath, {parts[1]}));
    RegistryStore registry(JoinPath(fuzz::ScratchFolder(), "Registry.ini"));
    const int saved = SaveProfileSet(conf, *loaded, registry);
    ORV_FUZZ_CHECK(saved == kSaveDone);
    ORV_FUZZ_CHECK(LoadProfileSet(configPath, *reloaded) == ProfileSetLoad::Loaded);
    ORV_FUZZ_CHECK(SameSet(*reloaded, *loaded));
  }

  // TrayIcon.xml: still a file that loads when it loaded before, with the names written.
  if (parts.size() > 1 && ::access(trayPath.c_str(), F_OK) == 0) {
    XmlCursor before;
    const bool trayLoaded = before.LoadBytes(parts[1]) && before.FindElement();
    XmlCursor tray;
    if (trayLoaded) ORV_FUZZ_CHECK(tray.LoadFile(trayPath, kMaxTrayIconFileSize) && tray.FindElement());
  }

  // The automatic switch state.
  if (WriteAutoSwitchState(conf, 7, 1)) {
    int index = -1, switched = -1;
    ReadAutoSwitchState(conf, index, switched);
    ORV_FUZZ_CHECK(index == 7 && switched == 1);
  }

  // An exported profile.
  if (parts.size() > 2) {
    ORV_FUZZ_CHECK(ReplaceFileContents(exportPath, {parts[2]}));
    ImportProfile(exportPath, *loaded);
    *copy = *loaded;
    ORV_FUZZ_CHECK(!ValidateProfileSet(*copy));
    ORV_FUZZ_CHECK(SameSet(*copy, *loaded));
    ORV_FUZZ_CHECK(ExportProfile(exportPath, *loaded));
    *reloaded = *loaded;
    ImportProfile(exportPath, *reloaded);
    ORV_FUZZ_CHECK(SameSet(*reloaded, *loaded));
  }
  return 0;
}
