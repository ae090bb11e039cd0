#pragma once
// The agent's files in the Conf folder: preparing the folder at start-up, loading the profile
// sets from Config.xml, the full save and the single-value writes.
//
// Every write reports whether it reached the disk, and a failed one is logged once per call
// (a folder in the file's place, a full disk, no permission). What the agent does then: the
// file stays as it was, and the set in force stays as the user's action made it (a profile
// switch, a sensitivity step still happen); the staging set, which mirrors the file, is only
// replaced after a full save that succeeded, so a difference that could not be saved is found
// and saved again at the next reading of the mouse, and the panel is only told of changes that
// are on disk.
#include <string>

#include "profile/profile_files.h"
#include "profile/records.h"

namespace orv {

class AgentConf {
 public:
  // Creates the Conf and Profile folders, copies the installed default Config.xml from
  // `programFolder` unless the user has one, and removes the temporary files a killed save
  // left. Without an application-data folder the agent keeps no files (folder() is empty).
  void Prepare(const std::string& programFolder);
  // The Conf folder; empty when the agent keeps no files.
  const std::string& folder() const { return folder_; }
  bool available() const { return !folder_.empty(); }

  ProfileSetLoad LoadSet(ProfileSet& set) const;
  // SaveProfileSet into the Conf folder; true when Config.xml was written.
  bool SaveSet(const ProfileSet& set) const;
  bool WriteActiveProfileIndex(int index) const;
  bool WriteDpiStep(int profileIndex, int step) const;
  bool WriteAutoSwitchState(int savedIndex, int switched) const;
  // Leaves both unchanged when the file or the element is missing.
  void ReadAutoSwitchState(int& savedIndex, int& switched) const;
  bool WriteFirmwareVersion(int version) const;

 private:
  std::string folder_;
};

}  // namespace orv
