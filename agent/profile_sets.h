#pragma once
// The agent's three profile sets, owned by the agent window and lent to its collaborators:
// `current` is in force, `staging` is what was last loaded from or saved to Config.xml, and
// `previous` is the current set as it was before the last profile switch or reload (the
// settings that differ between the two are pushed to the mouse).
#include <memory>

#include "profile/records.h"

namespace orv {

class ProfileSets {
 public:
  ProfileSets()
      : current_(std::make_unique<ProfileSet>()),
        staging_(std::make_unique<ProfileSet>()),
        previous_(std::make_unique<ProfileSet>()) {
    ResetProfileSet(*staging_);
  }
  ProfileSets(const ProfileSets&) = delete;
  ProfileSets& operator=(const ProfileSets&) = delete;

  ProfileSet& current() { return *current_; }
  ProfileSet& staging() { return *staging_; }
  ProfileSet& previous() { return *previous_; }
  const ProfileSet& current() const { return *current_; }
  const ProfileSet& staging() const { return *staging_; }
  const ProfileSet& previous() const { return *previous_; }

  // The index of the active profile (profile 0 for an index outside 0-9).
  int ActiveIndex() const { return ProfileIndexOrFirst(current_->profileId); }
  Profile& Active() { return current_->profiles[ActiveIndex()]; }
  // Macro m of a profile; -1 for the active one.
  const Macro& MacroOf(int m, int profile = -1) const {
    return current_->profiles[profile < 0 ? ActiveIndex() : ProfileIndexOrFirst(profile)].macros[m];
  }

 private:
  std::unique_ptr<ProfileSet> current_;
  std::unique_ptr<ProfileSet> staging_;
  std::unique_ptr<ProfileSet> previous_;
};

}  // namespace orv
