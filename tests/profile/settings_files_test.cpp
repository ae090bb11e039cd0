#include "profile/settings_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "base/registry_store.h"
#include "profile/profile_files.h"
#include "profile/records.h"
#include "profile/xml_cursor.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using test::Utf16LeFile;

class SettingsFiles : public ::testing::Test {
 protected:
  void SaveDefaults() {
    auto set = std::make_unique<ProfileSet>();
    ResetProfileSet(*set);
    ValidateProfileSet(*set);
    RegistryStore registry(registryDir / "Registry.ini");
    ASSERT_EQ(SaveProfileSet(conf.path(), *set, registry), 0);
  }
  std::u16string ConfigText() {
    XmlCursor x;
    x.LoadFile(conf / kConfigFileName, kMaxConfigFileSize);
    return x.GetDocument();
  }
  test::TempDir conf;
  test::TempDir registryDir;
};

TEST_F(SettingsFiles, FlagsReadZeroUntilWrittenAndAreAddedAtTheEnd) {
  EXPECT_EQ(ReadConfigValue(conf.path(), ConfigValue::TrayIconFlag), 0);  // no file
  EXPECT_FALSE(WriteConfigValue(conf.path(), ConfigValue::TrayIconFlag, 1));
  EXPECT_FALSE(std::filesystem::exists(conf / kConfigFileName));

  SaveDefaults();
  for (ConfigValue v : {ConfigValue::TrayIconFlag, ConfigValue::WarningOptionFlag, ConfigValue::WarningThree2OptionFlag,
                        ConfigValue::WarningFourOptionFlag}) {
    EXPECT_EQ(ReadConfigValue(conf.path(), v), 0);
  }
  EXPECT_TRUE(WriteConfigValue(conf.path(), ConfigValue::TrayIconFlag, 1));
  EXPECT_NE(ConfigText().find(u"</PROFILE_10>\r\n<TRAY_ICON_FLAG>1</TRAY_ICON_FLAG>\r\n</root>"), std::u16string::npos);
  EXPECT_EQ(ReadConfigValue(conf.path(), ConfigValue::TrayIconFlag), 1);
  EXPECT_TRUE(WriteConfigValue(conf.path(), ConfigValue::WarningFourOptionFlag, 1));
  EXPECT_TRUE(WriteConfigValue(conf.path(), ConfigValue::TrayIconFlag, 0));  // set in place, not added again
  const std::u16string text = ConfigText();
  EXPECT_NE(text.find(u"<TRAY_ICON_FLAG>0</TRAY_ICON_FLAG>\r\n<WARNINGFOUR_OPTION_FLAG>1</WARNINGFOUR_OPTION_FLAG>\r\n</root>"),
            std::u16string::npos);

  // They survive a full save of the profiles.
  SaveDefaults();
  EXPECT_EQ(ReadConfigValue(conf.path(), ConfigValue::WarningFourOptionFlag), 1);
}

TEST_F(SettingsFiles, DeviceValuesAreWrittenWhereTheyStand) {
  SaveDefaults();
  EXPECT_TRUE(WriteConfigValue(conf.path(), ConfigValue::PollingRate, 3));
  EXPECT_TRUE(WriteConfigValue(conf.path(), ConfigValue::LiftDistance, 2));
  EXPECT_EQ(ConfigText().find(u"<LIFT_DISTANCE>2</LIFT_DISTANCE>"),
            ConfigText().find(u"<POLLING_RATE>3</POLLING_RATE>\r\n") + 32);
  auto set = std::make_unique<ProfileSet>();
  LoadProfileSet(conf / kConfigFileName, *set);
  EXPECT_EQ(set->pollingRate, 3);
  EXPECT_EQ(set->liftDistance, 2);
}

TEST_F(SettingsFiles, AValueWrittenIntoAConfigDeclaredUtf7ReadsBack) {
  // A hand-made file that declares UTF-7: the write must leave a file that still loads.
  test::WriteFile(conf / kConfigFileName,
                  "<?xml version=\"1.0\" encoding=\"UTF-7\"?>\r\n<root>\r\n<POLLING_RATE>2</POLLING_RATE>\r\n</root>\r\n");
  EXPECT_EQ(ReadConfigValue(conf.path(), ConfigValue::PollingRate), 2);
  EXPECT_TRUE(WriteConfigValue(conf.path(), ConfigValue::PollingRate, 3));
  EXPECT_EQ(ReadConfigValue(conf.path(), ConfigValue::PollingRate), 3);
  EXPECT_EQ(test::ReadFile(conf / kConfigFileName),
            "<?xml version=\"1.0\" encoding=\"UTF-7\"?>\r\n<root>\r\n<POLLING_RATE>3</POLLING_RATE>\r\n</root>\r\n");
}

TEST_F(SettingsFiles, MacroWarningToggle) {
  SaveDefaults();
  const struct {
    int stored;
    int first;
    int second;
  } cases[] = {{0, 1, 0}, {1, 0, 1}, {7, 1, 0}};
  for (const auto& c : cases) {
    WriteConfigValue(conf.path(), ConfigValue::WarningOptionFlag, c.stored);
    EXPECT_EQ(ToggleMacroWarningFlag(conf.path()), c.first);
    EXPECT_EQ(ReadConfigValue(conf.path(), ConfigValue::WarningOptionFlag), c.first);
    EXPECT_EQ(ToggleMacroWarningFlag(conf.path()), c.second);
    EXPECT_EQ(ReadConfigValue(conf.path(), ConfigValue::WarningOptionFlag), c.second);
  }
}

TEST_F(SettingsFiles, FirmwareVersionFile) {
  EXPECT_EQ(ReadFirmwareVersion(conf.path()), 0);
  EXPECT_EQ(ReadSoftwareVersion(conf.path()), 0);
  ASSERT_TRUE(WriteFirmwareVersionFile(conf.path(), 261));
  EXPECT_EQ(test::ReadFile(conf / kFirmwareVersionFileName),
            Utf16LeFile(u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<root>\r\n<FW_VERSION>261</FW_VERSION>\r\n"
                        u"<SOFTWARE_VERSION>115</SOFTWARE_VERSION>\r\n</root>\r\n"));
  EXPECT_EQ(ReadFirmwareVersion(conf.path()), 261);
  EXPECT_EQ(ReadSoftwareVersion(conf.path()), 115);

  // An existing file without SOFTWARE_VERSION keeps lacking it.
  test::WriteFile(conf / kFirmwareVersionFileName, Utf16LeFile(u"<root><X/><FW_VERSION>1</FW_VERSION></root>"));
  ASSERT_TRUE(WriteFirmwareVersionFile(conf.path(), 300));
  EXPECT_EQ(test::ReadFile(conf / kFirmwareVersionFileName), Utf16LeFile(u"<root><X/><FW_VERSION>300</FW_VERSION></root>"));
  EXPECT_EQ(ReadSoftwareVersion(conf.path()), 0);

  // A broken file is rebuilt with both.
  test::WriteFile(conf / kFirmwareVersionFileName, "garbage");
  ASSERT_TRUE(WriteFirmwareVersionFile(conf.path(), 5));
  EXPECT_EQ(ReadFirmwareVersion(conf.path()), 5);
  EXPECT_EQ(ReadSoftwareVersion(conf.path()), 115);
}

// The writers say when the file could not be written: a folder in place of the file, a file in
// place of the Conf folder (both fail for root too).
TEST_F(SettingsFiles, WritersThatCannotWriteSaySo) {
  SaveDefaults();
  std::filesystem::create_directory(conf / kFirmwareVersionFileName);
  EXPECT_FALSE(WriteFirmwareVersionFile(conf.path(), 204));
  EXPECT_TRUE(std::filesystem::is_directory(conf / kFirmwareVersionFileName));
  test::TempDir other;
  test::WriteFile(other / "Conf", "a file");
  EXPECT_FALSE(WriteConfigValue(other / "Conf", ConfigValue::TrayIconFlag, 1));
  EXPECT_FALSE(WriteFirmwareVersionFile(other / "Conf", 204));
  EXPECT_EQ(test::ReadFile(other / "Conf"), "a file");
  std::filesystem::remove(conf / kConfigFileName);
  std::filesystem::create_directory(conf / kConfigFileName);
  EXPECT_FALSE(WriteConfigValue(conf.path(), ConfigValue::PollingRate, 3));
  EXPECT_TRUE(std::filesystem::is_directory(conf / kConfigFileName));
}

}  // namespace
}  // namespace orv
