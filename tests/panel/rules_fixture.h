#pragma once
// The main window's collaborators over a real configuration folder, with a person, an agent
// and a window that the test plays.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "base/files.h"
#include "link/messages.h"
#include "base/text.h"
#include "panel/device_changes.h"
#include "panel/edit_rules.h"
#include "panel/editors/assignment_rules.h"
#include "profile/profile_files.h"
#include "tests/panel/panel_fakes.h"
#include "tests/test_support.h"

namespace orv::test {

class RulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    services.Reset();
    agent.Reset();
    view = FakeView();
    sets = MakePanelSets();
    conf = dir.path() + "/Conf/";
    MakeFolders(conf);
    MakeFolders(dir.path() + "/Profile");
    auto defaults = std::make_unique<ProfileSet>();
    ResetProfileSet(*defaults);
    ValidateProfileSet(*defaults);
    std::filesystem::remove_all(ConfigPath());  // whatever an earlier case left there
    WriteFile(ConfigPath(), NewConfigDocument(*defaults));
    texts.changeProfileWarning = u"Copy profile %d over with profile %d?";
    texts.restoreProfileWarning = u"Your changes will be lost. Go on?";
    for (int i = 0; i < kProfileCount; ++i) texts.defaultProfileNames[i] = U("Default " + std::to_string(i + 1));
    files = std::make_unique<ConfStore>(conf, dir.path() + "/Registry.ini");
    store = std::make_unique<FailingStore>(*files);
    rules = std::make_unique<EditRules>(*sets, *store, agent, services, view, texts,
                                        EditRules::Folders{dir.path() + "/bin/", dir.path() + "/Profile/", conf});
    device = std::make_unique<DeviceChanges>(*sets, *store, agent, services, view);
    assignments = std::make_unique<AssignmentRules>(*sets, view, [this] { rules->Refresh(); });
    rules->Load();
  }
  std::string ConfigPath() const { return conf + "Config.xml"; }
  std::unique_ptr<ProfileSet> OnDisk() const {
    auto set = std::make_unique<ProfileSet>();
    LoadProfileSet(ConfigPath(), *set);
    return set;
  }
  ProfileSet& working() { return sets->workingSet; }
  ProfileSet& saved() { return sets->savedSet; }
  int Code(const ProfileSet& s, int profile, int button) const { return s.profiles[profile].buttons[button].code; }
  std::vector<SentMessage> Reloads() {
    std::vector<SentMessage> out;
    for (const SentMessage& m : agent.Messages())
      if (m.code == UM_RELOAD_PROFILES) out.push_back(m);
    return out;
  }

  TempDir dir;
  std::string conf;
  MainTexts texts;
  std::unique_ptr<PanelSets> sets = MakePanelSets();
  std::unique_ptr<ConfStore> files;
  std::unique_ptr<FailingStore> store;
  FakeServices services;
  FakeAgent agent;
  FakeView view;
  std::unique_ptr<EditRules> rules;
  std::unique_ptr<DeviceChanges> device;
  std::unique_ptr<AssignmentRules> assignments;
};

}  // namespace orv::test
