#include "agent/agent_conf.h"

#include "base/files.h"
#include "base/log.h"
#include "base/registry_store.h"
#include "platform/folders.h"
#include "profile/settings_files.h"

namespace orv {
namespace {

bool Logged(bool written, const std::string& folder, const char* file, const char* what) {
  if (!written) ORV_LOG(Agent, Warning, "%s: %s could not be written into %s", what, file, folder.c_str());
  return written;
}

}  // namespace

void AgentConf::Prepare(const std::string& programFolder) {
  folder_.clear();
  if (!CreateConfFolders()) {
    ORV_LOG(Agent, Warning, "no Conf folder can be made: settings are not kept");
    return;
  }
  folder_ = ConfFolder();
  RemoveStaleTemporaryFiles(folder_);
  // A user's Config.xml is never replaced by the installed default.
  CopyFileIfMissing(programFolder + kConfigFileName, JoinPath(folder_, kConfigFileName), kMaxConfigFileSize);
  MakeFolders(ProfileFolder());
}

ProfileSetLoad AgentConf::LoadSet(ProfileSet& set) const {
  return LoadProfileSet(folder_.empty() ? std::string() : JoinPath(folder_, kConfigFileName), set);
}

bool AgentConf::SaveSet(const ProfileSet& set) const {
  if (folder_.empty()) return false;
  RegistryStore registry = UserRegistry();
  int result = SaveProfileSet(folder_, set, registry);
  if (result == kSaveRegistryUnavailable) ORV_LOG(Agent, Warning, "the registry values cannot be opened: nothing saved");
  // A TrayIcon.xml that could not be written is logged by the save; Config.xml holds the set.
  return result == kSaveDone || result == kSaveTrayIconNotWritten;
}

bool AgentConf::WriteActiveProfileIndex(int index) const {
  return !folder_.empty() &&
         Logged(::orv::WriteActiveProfileIndex(folder_, index), folder_, kConfigFileName, "the active profile");
}

bool AgentConf::WriteDpiStep(int profileIndex, int step) const {
  return !folder_.empty() &&
         Logged(::orv::WriteDpiStep(folder_, profileIndex, step), folder_, kConfigFileName, "the sensitivity step");
}

bool AgentConf::WriteAutoSwitchState(int savedIndex, int switched) const {
  return !folder_.empty() && Logged(::orv::WriteAutoSwitchState(folder_, savedIndex, switched), folder_,
                                    kConfigFileName, "the game switch state");
}

void AgentConf::ReadAutoSwitchState(int& savedIndex, int& switched) const {
  if (!folder_.empty()) ::orv::ReadAutoSwitchState(folder_, savedIndex, switched);
}

bool AgentConf::WriteFirmwareVersion(int version) const {
  return !folder_.empty() && Logged(WriteFirmwareVersionFile(folder_, version), folder_, kFirmwareVersionFileName,
                                    "the firmware version");
}

}  // namespace orv
