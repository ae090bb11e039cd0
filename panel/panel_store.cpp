#include "panel/panel_store.h"

#include <memory>

#include "base/files.h"
#include "base/log.h"
#include "base/registry_store.h"
#include "profile/profile_files.h"
#include "profile/xml_cursor.h"

namespace orv {

ConfStore::ConfStore(std::string confFolder, std::string registryFile)
    : confFolder_(std::move(confFolder)), registryFile_(std::move(registryFile)) {}

ConfStore::~ConfStore() {
  if (prefetched_.valid()) prefetched_.wait();
}

void ConfStore::Prefetch() {
  if (confFolder_.empty() || prefetched_.valid()) return;
  prefetched_ = std::async(std::launch::async, [path = JoinPath(confFolder_, kConfigFileName)] {
    Prefetched read{std::make_unique<ProfileSet>(), ProfileSetLoad::Missing};
    read.outcome = LoadProfileSet(path, *read.set);
    return read;
  });
}

void ConfStore::DropPrefetch() {
  if (!prefetched_.valid()) return;
  prefetched_.wait();
  prefetched_ = {};
}

ProfileSetLoad ConfStore::Load(ProfileSet& set) {
  if (prefetched_.valid()) {
    Prefetched read = prefetched_.get();
    set = *read.set;
    return read.outcome;
  }
  if (confFolder_.empty()) {
    ResetProfileSet(set);
    ValidateProfileSet(set);
    return ProfileSetLoad::Missing;
  }
  return LoadProfileSet(JoinPath(confFolder_, kConfigFileName), set);
}

namespace {

// Whether Config.xml now holds `set` as a load would give it back.
bool FileHolds(const std::string& path, const ProfileSet& set) {
  auto expected = std::make_unique<ProfileSet>(set);
  ValidateProfileSet(*expected);
  auto back = std::make_unique<ProfileSet>();
  LoadProfileSet(path, *back);
  return CompareProfileSets(*back, *expected, false) == 0 && back->profileId == expected->profileId &&
         back->liftDistance == expected->liftDistance;
}

// Writes a whole new Config.xml for `set`, keeping the old file beside it as Config.xml.broken
// and carrying the settings flags and the automatic-switch state over.
bool RewriteConfig(const std::string& confFolder, const ProfileSet& set) {
  const std::string path = JoinPath(confFolder, kConfigFileName);
  const ConfigValue flags[] = {ConfigValue::TrayIconFlag, ConfigValue::WarningOptionFlag,
                               ConfigValue::WarningThree2OptionFlag, ConfigValue::WarningFourOptionFlag};
  int values[4];
  for (int i = 0; i < 4; ++i) values[i] = ReadConfigValue(confFolder, flags[i]);
  int savedIndex = -1, switched = -1;
  ReadAutoSwitchState(confFolder, savedIndex, switched);

  std::string old;
  if (ReadWholeFile(path, old, kMaxConfigFileSize) && !ReplaceFileContents(path + ".broken", {old})) return false;
  if (!ReplaceFileContents(path, {NewConfigDocument(set)})) return false;
  for (int i = 0; i < 4; ++i)
    if (values[i] != 0) WriteConfigValue(confFolder, flags[i], values[i]);
  if (savedIndex >= 0) WriteAutoSwitchState(confFolder, savedIndex, switched);
  ORV_LOG(Panel, Warning, "Config.xml did not take every value; it was written anew, the old one kept as %s.broken",
          path.c_str());
  return true;
}

}  // namespace

bool ConfStore::Save(const ProfileSet& set) {
  DropPrefetch();
  // Without a configuration folder there is nowhere to keep the profiles.
  if (confFolder_.empty()) return false;
  RegistryStore registry(registryFile_);
  const int result = SaveProfileSet(confFolder_, set, registry);
  if (result != 0) {
    ORV_LOG(Panel, Warning, "saving the profiles into %s failed (%d)", confFolder_.c_str(), result);
    return false;
  }
  // The update of a file edited by hand skips every element it lacks, so a value can fail to
  // arrive without any error: look, and write the file anew when it does not hold the set.
  const std::string path = JoinPath(confFolder_, kConfigFileName);
  if (FileHolds(path, set)) return true;
  return RewriteConfig(confFolder_, set) && FileHolds(path, set);
}

bool ConfStore::WriteValue(ConfigValue value, int number) {
  DropPrefetch();
  return !confFolder_.empty() && WriteConfigValue(confFolder_, value, number);
}

int ConfStore::ReadValue(ConfigValue value) { return confFolder_.empty() ? 0 : ReadConfigValue(confFolder_, value); }

int ConfStore::ToggleMacroWarning() {
  DropPrefetch(); return confFolder_.empty() ? 0 : ToggleMacroWarningFlag(confFolder_); }

}  // namespace orv
