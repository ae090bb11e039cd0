// The agent when its files cannot be written or read: what stays in force, what is kept on disk,
// and what is left for the next try.
#include <filesystem>
#include <string>

#include "profile/profile_files.h"
#include "tests/agent/agent_fixture.h"

namespace orv::test {
namespace {

namespace fs = std::filesystem;

class AgentFilesTest : public AgentTest {
 protected:
  // The mouse reads back a step other than the profile's (3, the defaults say 6): start-up finds
  // the sets differ and saves them whole.
  void SetUp() override {
    AgentTest::SetUp();
    ASSERT_TRUE(CreateConfFolders());
  }
};

TEST_F(AgentFilesTest, AFullSaveThatFailsKeepsTheStagingSetAsTheFileIsAndTellsThePanelNothing) {
  fs::create_directory(ConfigPath());  // a folder where Config.xml should be
  StandInWindow panel(kPanelWindowTitle);
  StartAgent();
  // The mouse's values are in force all the same.
  EXPECT_EQ(agent->currentSet().profiles[0].dpiStep, 3);
  EXPECT_EQ(agent->stagingSet().profiles[0].dpiStep, 6);
  for (const auto& m : panel.Messages()) EXPECT_NE(m.code, UM_PROFILE_CHANGED);
  EXPECT_TRUE(fs::is_directory(ConfigPath()));
  // Single-value writes fail too; the switch still happens.
  EXPECT_EQ(agent->settings().SelectProfile(4), 1);
  EXPECT_EQ(agent->currentSet().profileId, 4);
  EXPECT_EQ(agent->settings().SetDpiStep(2), 1);
  agent->games().DetectGame();
  EXPECT_TRUE(fs::is_directory(ConfigPath()));

  // Once the file can be written, the next reading of the mouse saves what differs.
  fs::remove(ConfigPath());
  panel.Clear();
  agent->ReadDeviceState();
  EXPECT_EQ(agent->stagingSet().profiles[4].dpiStep, agent->currentSet().profiles[4].dpiStep);
  auto onDisk = std::make_unique<ProfileSet>();
  EXPECT_EQ(LoadProfileSet(ConfigPath(), *onDisk), ProfileSetLoad::Loaded);
  EXPECT_EQ(onDisk->profileId, 4);
  EXPECT_EQ(onDisk->profiles[4].dpiStep, 2);  // the step the mouse was last told
  bool told = false;
  for (const auto& m : panel.Messages()) told = told || (m.code == UM_PROFILE_CHANGED && m.w == 4 && m.l == 1);
  EXPECT_TRUE(told);
}

TEST_F(AgentFilesTest, AnUnreadableConfigXmlIsKeptBesideTheOneStartUpWrites) {
  int broken = 0;
  for (const auto& entry : fs::directory_iterator(std::string(ORV_FIXTURES_DIR) + "/broken_config")) {
    const std::string name = entry.path().filename().string();
    if (name == "README.md" || name.rfind("readable_", 0) == 0) continue;
    ++broken;
    const std::string bytes = ReadFile(entry.path().string());
    WriteFile(ConfigPath(), bytes);
    StartAgent();
    EXPECT_EQ(ReadFile(ConfigPath() + kBrokenConfigSuffix), bytes) << name;
    auto onDisk = std::make_unique<ProfileSet>();
    EXPECT_EQ(LoadProfileSet(ConfigPath(), *onDisk), ProfileSetLoad::Loaded) << name;
    EXPECT_EQ(onDisk->profiles[0].dpiStep, 3) << name;  // the mouse's step, saved whole
    EXPECT_EQ(agent->stagingSet().profiles[0].dpiStep, 3) << name;
  }
  EXPECT_GE(broken, 5);
  // A readable file is not moved aside at the next start.
  fs::remove(ConfigPath() + kBrokenConfigSuffix);
  StartAgent();
  EXPECT_FALSE(fs::exists(ConfigPath() + kBrokenConfigSuffix));
}

TEST_F(AgentFilesTest, StartUpRemovesTheTemporaryFilesOfASaveThatWasKilled) {
  const std::string conf = ConfFolder();
  WriteFile(JoinPath(conf, "Config.xml.Ab12Cd"), "half a save");
  WriteFile(JoinPath(conf, "TrayIcon.xml.000xyz"), "half a save");
  WriteFile(JoinPath(conf, "Notes.txt"), "the user's");
  StartAgent();
  EXPECT_FALSE(fs::exists(JoinPath(conf, "Config.xml.Ab12Cd")));
  EXPECT_FALSE(fs::exists(JoinPath(conf, "TrayIcon.xml.000xyz")));
  EXPECT_EQ(ReadFile(JoinPath(conf, "Notes.txt")), "the user's");
  EXPECT_TRUE(fs::is_regular_file(ConfigPath()));
}

}  // namespace
}  // namespace orv::test
