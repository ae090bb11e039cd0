#pragma once
// The panel's files: Config.xml (whole sets and single values), TrayIcon.xml and the registry
// values written with a save, and exported profiles. Behind an interface, so that a test can
// make any write fail.
#include <future>
#include <memory>
#include <string>

#include "profile/profile_files.h"
#include "profile/records.h"
#include "profile/settings_files.h"

namespace orv {

class PanelStore {
 public:
  virtual ~PanelStore() = default;
  // Config.xml into `set` (defaults for anything that cannot be read); whether the file was
  // there and read.
  virtual ProfileSetLoad Load(ProfileSet& set) = 0;
  // The whole set into Config.xml, the active profile's pointer values into the registry and
  // the names into TrayIcon.xml; false when Config.xml or the registry could not be written.
  virtual bool Save(const ProfileSet& set) = 0;
  virtual bool WriteValue(ConfigValue value, int number) = 0;
  virtual int ReadValue(ConfigValue value) = 0;
  // The Tools menu's macro-warning switch; the new value.
  virtual int ToggleMacroWarning() = 0;
};

// The files of a configuration folder; `registryFile` stands for the user's registry values.
class ConfStore : public PanelStore {
 public:
  ConfStore(std::string confFolder, std::string registryFile);
  ~ConfStore() override;
  // Starts reading Config.xml on a thread of its own, so that a window can set itself up
  // meanwhile; the next Load() takes what it read (a save in between reads the file anew).
  void Prefetch();
  ProfileSetLoad Load(ProfileSet& set) override;
  bool Save(const ProfileSet& set) override;
  bool WriteValue(ConfigValue value, int number) override;
  int ReadValue(ConfigValue value) override;
  int ToggleMacroWarning() override;
  const std::string& confFolder() const { return confFolder_; }

 private:
  // A write makes what a prefetch read stale: it is waited for and dropped.
  void DropPrefetch();

  std::string confFolder_;  // empty: no configuration folder could be had
  std::string registryFile_;
  struct Prefetched {
    std::unique_ptr<ProfileSet> set;
    ProfileSetLoad outcome;
  };
  std::future<Prefetched> prefetched_;
};

}  // namespace orv
