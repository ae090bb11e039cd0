#include "panel/panel_store.h"

#include <sys/stat.h>

#include "base/files.h"
#include "base/log.h"
#include "base/registry_store.h"
#include "profile/profile_files.h"
#include "profile/xml_cursor.h"

namespace orv {

ConfStore::ConfStore(std::string confFolder, std::string registryFile)
    : confFolder_(std::move(confFolder)), registryFile_(std::move(registryFile)) {}

void ConfStore::Load(ProfileSet& set) {
  if (confFolder_.empty()) {
    ResetProfileSet(set);
    ValidateProfileSet(set);
    return;
  }
  LoadProfileSet(JoinPath(confFolder_, kConfigFileName), set);
}

bool ConfStore::Save(const ProfileSet& set) {
  // Without a configuration folder there is nowhere to keep the profiles.
  if (confFolder_.empty()) return false;
  RegistryStore registry(registryFile_);
  const int result = SaveProfileSet(confFolder_, set, registry);
  if (result != 0) ORV_LOG(Panel, Warning, "saving the profiles into %s failed (%d)", confFolder_.c_str(), result);
  return result == 0;
}

bool ConfStore::WriteValue(ConfigValue value, int number) {
  return !confFolder_.empty() && WriteConfigValue(confFolder_, value, number);
}

int ConfStore::ReadValue(ConfigValue value) { return confFolder_.empty() ? 0 : ReadConfigValue(confFolder_, value); }

int ConfStore::ToggleMacroWarning() { return confFolder_.empty() ? 0 : ToggleMacroWarningFlag(confFolder_); }

bool LooksLikeProfileFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (static_cast<uint64_t>(st.st_size) > kMaxImportFileSize) return false;
  XmlCursor x;
  if (!x.LoadFile(path) || !x.IsWellFormed() || !x.FindElement()) return false;
  // An export carries the profile's values under its root; any one of them will do, the
  // reader takes defaults for the rest.
  for (std::u16string_view name : {u"PROFILE_ID", u"PROFILE_NAME", u"BUTTON_1", u"DPI_VALUE", u"MACRO_1"}) {
    x.ResetChildPosition();
    if (x.FindChildElement(name)) return true;
  }
  return false;
}

}  // namespace orv
