// orvprofile: the profile store from the command line.
//   orvprofile defaults DIR     write the installation defaults Config.xml and TrayIcon.xml into DIR
//   orvprofile save-defaults    write the validated defaults with SaveProfileSet into the user's Conf folder
//   orvprofile summary [FILE]   load a Config.xml (default: the user's) and print its ten profiles
#include "base/files.h"
#include "base/text.h"
#include "platform/folders.h"
#include "profile/profile_files.h"
#include "profile/records.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::unique_ptr<orv::ProfileSet> Defaults() {
  auto set = std::make_unique<orv::ProfileSet>();
  orv::ResetProfileSet(*set);
  orv::ValidateProfileSet(*set);
  return set;
}

int WriteDefaults(const std::string& dir) {
  auto set = Defaults();
  if (!orv::MakeFolders(dir)) {
    std::fprintf(stderr, "orvprofile: cannot create %s\n", dir.c_str());
    return 1;
  }
  const std::pair<const char*, std::string> files[] = {
      {orv::kConfigFileName, orv::NewConfigDocument(*set)},
      {orv::kTrayIconFileName, orv::NewTrayIconDocument(*set)},
  };
  for (const auto& [name, bytes] : files) {
    std::string path = orv::JoinPath(dir, name);
    if (!orv::ReplaceFileContents(path, {bytes})) {
      std::fprintf(stderr, "orvprofile: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

int SaveDefaults() {
  if (!orv::CreateConfFolders()) {
    std::fprintf(stderr, "orvprofile: cannot create %s\n", orv::ConfFolder().c_str());
    return 1;
  }
  auto set = Defaults();
  orv::RegistryStore registry = orv::UserRegistry();
  int result = orv::SaveProfileSet(orv::ConfFolder(), *set, registry);
  std::printf("SaveProfileSet(%s) = %d\n", orv::ConfFolder().c_str(), result);
  return result == 0 ? 0 : 1;
}

int Summary(const std::string& path) {
  auto set = std::make_unique<orv::ProfileSet>();
  orv::LoadProfileSet(path, *set);
  std::printf("%s\n", path.c_str());
  std::printf("active profile %d, polling rate %d (%s Hz), lift distance %d, game mode %s\n", set->profileId + 1,
              set->pollingRate, set->pollingRate == 1 ? "1000" : set->pollingRate == 2 ? "500" : "250",
              set->liftDistance, set->gameMode ? "on" : "off");
  for (int i = 0; i < orv::kProfileCount; ++i) {
    const orv::Profile& p = set->profiles[i];
    int macros = 0;
    for (const orv::Macro& m : p.macros) macros += m.name[0] != 0;
    int games = 0;
    for (const auto& g : p.gameNames) games += g[0] != 0;
    std::string buttons;
    for (const orv::ButtonAssignment& b : p.buttons) buttons += (buttons.empty() ? "" : " ") + std::to_string(b.code);
    std::printf("%c %-12s %4d DPI  colour #%06X  buttons %s  macros %d  games %d\n", i == set->profileId ? '*' : ' ',
                orv::ToUtf8(orv::FieldText(p.profileName)).c_str(), orv::kDpiOfStep[p.dpiStep - 1], p.ledColor,
                buttons.c_str(), macros, games);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "defaults") == 0) return WriteDefaults(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "save-defaults") == 0) return SaveDefaults();
  if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "summary") == 0) {
    return Summary(argc == 3 ? argv[2] : orv::JoinPath(orv::ConfFolder(), orv::kConfigFileName));
  }
  std::fprintf(stderr,
               "usage: orvprofile defaults DIR | save-defaults | summary [FILE]\n");
  return 2;
}
