#include "profile/profile_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "base/log.h"
#include "base/registry_store.h"
#include "base/text.h"
#include "profile/settings_files.h"
#include "profile/xml_cursor.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using test::N;
using test::U;
using test::Utf16LeFile;

std::unique_ptr<ProfileSet> NewSet() { return std::make_unique<ProfileSet>(); }

std::unique_ptr<ProfileSet> Defaults() {
  auto set = NewSet();
  ResetProfileSet(*set);
  ValidateProfileSet(*set);
  return set;
}

// The Config.xml layout written out line by line, independently of the writers.
std::u16string ExpectedDefaultConfig() {
  std::u16string e = u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<root>\r\n";
  const auto line = [&e](const std::string& name, const std::string& value) {
    e += U(value.empty() ? "<" + name + "/>\r\n" : "<" + name + ">" + value + "</" + name + ">\r\n");
  };
  line("PROFILE_ID", "0");
  line("POLLING_RATE", "2");
  line("LIFT_DISTANCE", "1");
  line("GAME_MODE", "0");
  const int buttons[] = {1, 2, 6, 416, 507, 517, 401, 5, 4, 403, 415, 420, 520, 405};
  for (int i = 1; i <= 10; ++i) {
    e += U("<PROFILE_" + std::to_string(i) + ">\r\n");
    line("REGION", "0");
    for (const char* t : {"SERVER_NAME", "CHARACTER_NAME", "CHARACTER_LEVEL", "CHARACTER_CLASS", "CHARACTER_RACE"}) line(t, "");
    line("PROFILE_NAME", "Profile " + std::to_string(i));
    line("DPI_VALUE", "6");
    line("DOUBLE_CLICK_SPEED", "500");
    line("SCROLL_SPEED", "10");
    line("SENSITIVITY", "10");
    line("ADVANCE_SENSITIVITY_X", "10");
    line("ADVANCE_SENSITIVITY_Y", "10");
    line("LED_COLOR", "15615");
    line("LED_INTENSITY", "4");
    line("LED_PULSATION", "3");
    for (int g = 1; g <= 10; ++g) line("GAME_NAME_" + std::to_string(g), "");
    for (int m = 1; m <= 50; ++m) {
      e += U("<MACRO_" + std::to_string(m) + ">\r\n");
      line("MACRO_NAME", "");
      line("MACRO_LOOP_COUNT", "0,0,");
      line("MACRO_DELAY_MODE", "1");
      line("MACRO_PASTE", "");
      line("MACRO_START_KEY", "0");
      line("MACRO_SEND_KEY", "0");
      line("MACRO_INFO", "");
      line("MACRO_START_KEY_INFO", "");
      line("MACRO_SEND_KEY_INFO", "");
      e += U("</MACRO_" + std::to_string(m) + ">\r\n");
    }
    for (int b = 1; b <= 14; ++b) line("BUTTON_" + std::to_string(b), std::to_string(b) + "," + std::to_string(buttons[b - 1]) + ",");
    e += U("</PROFILE_" + std::to_string(i) + ">\r\n");
  }
  e += u"</root>\r\n";
  return e;
}

class ProfileFiles : public ::testing::Test {
 protected:
  std::string Config() const { return conf / kConfigFileName; }
  std::string Tray() const { return conf / kTrayIconFileName; }
  int Save(const ProfileSet& set) { return SaveProfileSet(conf.path(), set, registry); }
  std::unique_ptr<ProfileSet> Load() {
    auto set = NewSet();
    LoadProfileSet(Config(), *set);
    return set;
  }
  // A Config.xml made of the given root content, UTF-16LE with mark.
  void WriteConfig(std::u16string_view rootContent) {
    test::WriteFile(Config(), Utf16LeFile(u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<root>\r\n" +
                                          std::u16string(rootContent) + u"</root>\r\n"));
  }

  test::TempDir conf;
  test::TempDir registryDir;
  RegistryStore registry{registryDir / "Registry.ini"};
};

TEST_F(ProfileFiles, InstalledDefaultConfigIsTheWritersOutputByteForByte) {
  const std::string installed = test::ReadFile(std::string(ORV_PROGRAM_DIR) + "/Config.xml");
  EXPECT_EQ(installed, Utf16LeFile(ExpectedDefaultConfig()));
  EXPECT_EQ(installed, NewConfigDocument(*Defaults()));

  XmlCursor tray;
  ASSERT_TRUE(tray.LoadFile(std::string(ORV_PROGRAM_DIR) + "/TrayIcon.xml", kMaxTrayIconFileSize));
  EXPECT_EQ(tray.GetDocFlags() & kDocByteOrderFlags, kDocUtf16LeFile);
  tray.FindElement(u"root");
  for (int i = 1; i <= 10; ++i) {
    ASSERT_TRUE(tray.FindChildElement(U("PROFILE_" + std::to_string(i))));
    EXPECT_EQ(tray.GetChildText(), U("Profile " + std::to_string(i)));
  }
}

TEST_F(ProfileFiles, EmptyFolderLoadsDefaultsAndSaveWritesANewFile) {
  auto loaded = Load();
  EXPECT_EQ(std::memcmp(loaded.get(), Defaults().get(), sizeof(ProfileSet)), 0);
  EXPECT_EQ(Save(*loaded), 0);
  EXPECT_EQ(test::ReadFile(Config()), Utf16LeFile(ExpectedDefaultConfig()));
  EXPECT_FALSE(std::filesystem::exists(Tray()));  // a missing TrayIcon.xml is not created
  // The active profile's pointer values went to the registry.
  RegistryStore check(registry.Path());
  ASSERT_TRUE(check.Open());
  EXPECT_EQ(check.GetValue("Control Panel\\Mouse", "DoubleClickSpeed"), "500");
  EXPECT_EQ(check.GetValue("Control Panel\\Mouse", "MouseSensitivity"), "10");
  EXPECT_EQ(check.GetValue("Control Panel\\Desktop", "WheelScrollLines"), "10");
}

TEST_F(ProfileFiles, RegistryThatCannotBeOpenedTouchesNoFile) {
  test::WriteFile(registryDir / "blocker", "a file where a folder should be");
  RegistryStore blocked(registryDir / "blocker/Registry.ini");
  auto set = Defaults();
  EXPECT_EQ(SaveProfileSet(conf.path(), *set, blocked), -1);
  EXPECT_FALSE(std::filesystem::exists(Config()));
}

TEST_F(ProfileFiles, ValuesRoundTripThroughTheFile) {
  auto set = Defaults();
  set->profileId = 4;
  set->pollingRate = 1;
  set->liftDistance = 3;
  set->gameMode = 1;
  Profile& p = set->profiles[4];
  p.region = 2;
  CopyText(p.serverName, u"Sil<ver> & Moon");
  CopyText(p.characterName, u"\u00D8rn \U0001F600");
  CopyText(p.characterClass, u"Mage");
  CopyText(p.characterRace, u"Elf");
  CopyText(p.characterLevel, u"60");
  CopyText(p.profileName, u"Raid \"night\"");
  p.dpiStep = 2;
  p.ledColor = 0xFF00FF;
  CopyText(p.gameNames[9], u"orv.exe");
  p.buttons[6].code = 501;
  Macro& m = p.macros[49];
  CopyText(m.name, u"Pull");
  m.events[0] = {65, 0, {}, 50};
  m.events[1] = {65, 1, {}, 2147483647};
  m.loopCount = 5;
  m.loopSwitch = 1;
  m.delayMode = kDelayCopyPaste;
  m.startKeyEvents[0] = {13, 0, {}, 0};
  m.startKeyEvents[1] = {13, 1, {}, 0};
  m.startKey = 1;
  CopyText(m.pasteText, u"/cast Fireball");
  ASSERT_EQ(Save(*set), 0);
  auto loaded = Load();
  EXPECT_EQ(std::memcmp(loaded.get(), set.get(), sizeof(ProfileSet)), 0);
  // And once more over the existing file (the update path).
  p.dpiStep = 3;
  CopyText(m.name, u"Pull 2");
  ASSERT_EQ(Save(*set), 0);
  loaded = Load();
  EXPECT_EQ(std::memcmp(loaded.get(), set.get(), sizeof(ProfileSet)), 0);
}

TEST_F(ProfileFiles, HeaderIsReadInOrder) {
  WriteConfig(u"<GAME_MODE>1</GAME_MODE>\r\n<PROFILE_ID>3</PROFILE_ID>\r\n<POLLING_RATE>3</POLLING_RATE>\r\n");
  auto set = Load();
  EXPECT_EQ(set->profileId, 3);
  EXPECT_EQ(set->pollingRate, 3);
  EXPECT_EQ(set->gameMode, 0);  // before PROFILE_ID: not read, then validated
}

TEST_F(ProfileFiles, ProfileFieldsInAnyOrderAndButtonForms) {
  WriteConfig(
      u"<PROFILE_ID>0</PROFILE_ID>\r\n<PROFILE_1>\r\n"
      u"<BUTTON_3>7,416,</BUTTON_3><BUTTON_4>501</BUTTON_4><BUTTON_5>5,1201,</BUTTON_5>\r\n"
      u"<LED_COLOR>255</LED_COLOR><PROFILE_NAME>Tank</PROFILE_NAME><DPI_VALUE>2</DPI_VALUE>"
      u"<GAME_NAME_2>ORV.EXE</GAME_NAME_2><UNKNOWN>1</UNKNOWN>\r\n"
      u"</PROFILE_1>\r\n");
  auto set = Load();
  const Profile& p = set->profiles[0];
  EXPECT_EQ(p.buttons[2].code, 416);
  EXPECT_EQ(p.buttons[2].buttonNumber, 3);  // never taken from the file
  EXPECT_EQ(p.buttons[3].code, 501);
  EXPECT_EQ(p.buttons[4].code, 507);  // out of range: the default of button 5
  EXPECT_EQ(p.ledColor, 255);
  EXPECT_EQ(N(FieldText(p.profileName)), "Tank");
  EXPECT_EQ(p.dpiStep, 2);
  EXPECT_EQ(N(FieldText(p.gameNames[1])), "ORV.EXE");
  EXPECT_EQ(set->profiles[1].dpiStep, 6);
}

TEST_F(ProfileFiles, MacrosAreTakenInOrderAndEventListsFilled) {
  WriteConfig(
      u"<PROFILE_1>\r\n"
      u"<MACRO_2><MACRO_NAME>second</MACRO_NAME></MACRO_2>\r\n"
      u"<MACRO_1><MACRO_INFO>65,0,50,65,1,50,</MACRO_INFO><MACRO_NAME>first</MACRO_NAME>"
      u"<MACRO_LOOP_COUNT>5,1,</MACRO_LOOP_COUNT><MACRO_SEND_KEY_INFO>13,0,0,13,1,0,9,9,9,</MACRO_SEND_KEY_INFO></MACRO_1>\r\n"
      u"<MACRO_3><MACRO_NAME>third</MACRO_NAME><MACRO_INFO>321,0,</MACRO_INFO></MACRO_3>\r\n"
      u"<MACRO_4><MACRO_NAME>fourth</MACRO_NAME><MACRO_INFO>66,0,5,256,100,7,67,0,10,</MACRO_INFO></MACRO_4>\r\n"
      u"</PROFILE_1>\r\n");
  auto set = Load();
  const Profile& p = set->profiles[0];
  // MACRO_1 is found after MACRO_2; the search for MACRO_2 goes on after it and misses the
  // earlier one.
  EXPECT_EQ(N(FieldText(p.macros[0].name)), "first");
  EXPECT_EQ(p.macros[1].name[0], 0);
  EXPECT_EQ(N(FieldText(p.macros[2].name)), "third");
  const Macro& m = p.macros[0];
  EXPECT_EQ(m.events[0].virtualKey, 65);
  EXPECT_EQ(m.events[0].keyUp, 0);
  EXPECT_EQ(m.events[0].delay, 50);
  EXPECT_EQ(m.events[1].keyUp, 1);
  EXPECT_EQ(m.events[1].delay, 50);
  for (int e = 2; e < kMacroEventCount; ++e) EXPECT_EQ(m.events[e].virtualKey | m.events[e].delay, 0) << e;
  EXPECT_EQ(m.loopCount, 5);
  EXPECT_EQ(m.loopSwitch, 1);
  EXPECT_EQ(m.sendKeyEvents[1].virtualKey, 13);
  EXPECT_EQ(m.sendKeyEvents[1].keyUp, 1);
  EXPECT_EQ(p.macros[2].events[0].virtualKey, 321 & 0xFF);  // the low byte
  EXPECT_EQ(m.delayMode, kDelayAutomatic);                  // missing: the reset value
  // An event whose key is 0 (256's low byte) ends the list, as the writer ends it: nothing of
  // it or after it is kept, so the macro saves and loads as it is.
  const Macro& fourth = p.macros[3];
  EXPECT_EQ(fourth.events[0].virtualKey, 66);
  const MacroEvent none{};
  for (int e = 1; e < kMacroEventCount; ++e) EXPECT_EQ(std::memcmp(&fourth.events[e], &none, sizeof none), 0) << e;
}

TEST_F(ProfileFiles, LongTextsAreCutToTheirFields) {
  const std::u16string longName(1000, u'n');
  WriteConfig(u"<PROFILE_1><PROFILE_NAME>" + longName + u"</PROFILE_NAME><MACRO_1><MACRO_PASTE>" + longName +
              u"</MACRO_PASTE></MACRO_1></PROFILE_1>\r\n");
  auto set = Load();
  EXPECT_EQ(FieldText(set->profiles[0].profileName).size(), size_t{kProfileNameCapacity - 1});
  EXPECT_EQ(FieldText(set->profiles[0].macros[0].pasteText).size(), size_t{kPasteTextCapacity - 1});
}

TEST_F(ProfileFiles, BrokenFilesLoadAsDefaults) {
  for (const std::string& bytes : {std::string(), std::string("not xml at all"), std::string("\xFF\xFE<\0r\0", 6),
                                   Utf16LeFile(u"<root><PROFILE_ID>4</PROFILE_ID></root><second/>")}) {
    test::WriteFile(Config(), bytes);
    auto set = Load();
    EXPECT_EQ(std::memcmp(set.get(), Defaults().get(), sizeof(ProfileSet)), 0);
  }
}

TEST_F(ProfileFiles, UpdateKeepsUnknownElementsTheirOrderAndTheEncoding) {
  ASSERT_EQ(Save(*Defaults()), 0);
  // Hand-edit the file: a comment, a settings flag, an unknown element inside a profile and
  // the agent's element at the end of the root.
  XmlCursor x;
  ASSERT_TRUE(x.LoadFile(Config(), kMaxConfigFileSize));
  std::u16string doc = x.GetDocument();
  doc.replace(doc.find(u"<PROFILE_ID>"), 0, u"<!-- hand edited -->\r\n<TRAY_ICON_FLAG>1</TRAY_ICON_FLAG>\r\n");
  doc.replace(doc.find(u"<REGION>"), 0, u"<CUSTOM a=\"1\">keep &amp; me</CUSTOM>\r\n");
  doc.replace(doc.find(u"</root>"), 0, u"<PROFILE_CHAGED>2,1,</PROFILE_CHAGED>\r\n");
  test::WriteFile(Config(), Utf16LeFile(doc));

  auto set = Load();
  set->profiles[0].dpiStep = 1;
  ASSERT_EQ(Save(*set), 0);
  std::u16string expected = doc;
  size_t dpi = expected.find(u"<DPI_VALUE>6</DPI_VALUE>");
  expected.replace(dpi, 24, u"<DPI_VALUE>1</DPI_VALUE>");
  EXPECT_EQ(test::ReadFile(Config()), Utf16LeFile(expected));
  // Saving the same set again changes nothing.
  ASSERT_EQ(Save(*set), 0);
  EXPECT_EQ(test::ReadFile(Config()), Utf16LeFile(expected));
}

TEST_F(ProfileFiles, UpdateSkipsMissingElementsButBringsOldMacrosUpToDate) {
  WriteConfig(
      u"<PROFILE_ID>0</PROFILE_ID>\r\n<PROFILE_1>\r\n<PROFILE_NAME>Old</PROFILE_NAME>\r\n"
      u"<MACRO_1>\r\n<MACRO_NAME>m</MACRO_NAME>\r\n<MACRO_LOOP_COUNT>1,0,</MACRO_LOOP_COUNT>\r\n"
      u"<MACRO_INFO>65,0,10,</MACRO_INFO>\r\n</MACRO_1>\r\n</PROFILE_1>\r\n");
  auto set = Load();
  set->profiles[0].dpiStep = 2;  // no DPI_VALUE element: not stored
  set->profiles[0].macros[0].delayMode = kDelayNone;
  CopyText(set->profiles[0].macros[0].pasteText, u"hi");
  ASSERT_EQ(Save(*set), 0);
  XmlCursor x;
  ASSERT_TRUE(x.LoadFile(Config(), kMaxConfigFileSize));
  std::u16string doc = x.GetDocument();
  EXPECT_EQ(doc.find(u"DPI_VALUE"), std::u16string::npos);
  EXPECT_NE(doc.find(u"<MACRO_1>\r\n<MACRO_NAME>m</MACRO_NAME>\r\n<MACRO_LOOP_COUNT>1,0,</MACRO_LOOP_COUNT>\r\n"
                     u"<MACRO_DELAY_MODE>3</MACRO_DELAY_MODE>\r\n<MACRO_PASTE>hi</MACRO_PASTE>\r\n"
                     u"<MACRO_START_KEY>0</MACRO_START_KEY>\r\n<MACRO_SEND_KEY>0</MACRO_SEND_KEY>\r\n"
                     u"<MACRO_INFO>65,0,10,</MACRO_INFO>\r\n<MACRO_START_KEY_INFO/>\r\n<MACRO_SEND_KEY_INFO/>\r\n"
                     u"</MACRO_1>"),
            std::u16string::npos)
      << N(doc);
  EXPECT_EQ(Load()->profiles[0].macros[0].delayMode, kDelayNone);
}

TEST_F(ProfileFiles, UpdateKeepsAUtf8FileUtf8) {
  test::WriteFile(Config(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root>\n<PROFILE_ID>1</PROFILE_ID>\n<PROFILE_1>\n"
                            "<PROFILE_NAME>caf\xC3\xA9</PROFILE_NAME>\n</PROFILE_1>\n</root>\n");
  auto set = Load();
  EXPECT_EQ(N(FieldText(set->profiles[0].profileName)), "caf\xC3\xA9");
  CopyText(set->profiles[0].profileName, u"\u20AC");
  ASSERT_EQ(Save(*set), 0);
  EXPECT_EQ(test::ReadFile(Config()), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root>\n<PROFILE_ID>1</PROFILE_ID>\n"
                                      "<PROFILE_1>\n<PROFILE_NAME>\xE2\x82\xAC</PROFILE_NAME>\n</PROFILE_1>\n</root>\n");
}

TEST_F(ProfileFiles, TrayIconNamesAreRewrittenInPlace) {
  test::WriteFile(Tray(), Utf16LeFile(u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<root>\r\n<ICON>x</ICON>\r\n"
                                      u"<PROFILE_1>a</PROFILE_1>\r\n<PROFILE_3>c</PROFILE_3>\r\n</root>\r\n"));
  auto set = Defaults();
  CopyText(set->profiles[2].profileName, u"Healer & co");
  ASSERT_EQ(Save(*set), 0);
  EXPECT_EQ(test::ReadFile(Tray()),
            Utf16LeFile(u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<root>\r\n<ICON>x</ICON>\r\n"
                        u"<PROFILE_1>Profile 1</PROFILE_1>\r\n<PROFILE_3>Healer &amp; co</PROFILE_3>\r\n</root>\r\n"));
}

TEST_F(ProfileFiles, ExportThenImportCarriesTheActiveProfile) {
  auto set = Defaults();
  set->profileId = 7;
  CopyText(set->profiles[7].profileName, u"Exported");
  set->profiles[7].buttons[0].code = 1049;
  CopyText(set->profiles[7].macros[0].name, u"m");
  const std::string file = conf / "exported.xml";
  ASSERT_TRUE(ExportProfile(file, *set));

  XmlCursor x;
  ASSERT_TRUE(x.LoadFile(file, kMaxProfileFileSize));
  const std::u16string doc = x.GetDocument();
  EXPECT_EQ(doc.rfind(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<root>\r\n<PROFILE_ID>7</PROFILE_ID>\r\n<REGION>0</REGION>\r\n", 0), 0u);
  EXPECT_EQ(doc.find(u"<PROFILE_8>"), std::u16string::npos);  // flat under the root
  EXPECT_EQ(test::ReadFile(file).substr(0, 2), "\xFF\xFE");

  auto other = Defaults();
  other->profileId = 2;
  ImportProfile(file, *other);
  EXPECT_EQ(std::memcmp(&other->profiles[2], &set->profiles[7], sizeof(Profile)), 0);
  EXPECT_EQ(other->profileId, 2);

  // Exporting again over the same file updates it in place.
  set->profiles[7].dpiStep = 1;
  ASSERT_TRUE(ExportProfile(file, *set));
  ImportProfile(file, *other);
  EXPECT_EQ(other->profiles[2].dpiStep, 1);
}

TEST_F(ProfileFiles, ExportUpdateAddsMissingMacroElementsButNotTheDelayMode) {
  const std::string file = conf / "old_export.xml";
  test::WriteFile(file, Utf16LeFile(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<root>\r\n<PROFILE_ID>0</PROFILE_ID>\r\n"
                                    u"<PROFILE_NAME>Old</PROFILE_NAME>\r\n<MACRO_1>\r\n<MACRO_NAME>m</MACRO_NAME>\r\n"
                                    u"<MACRO_INFO/>\r\n</MACRO_1>\r\n</root>\r\n"));
  auto set = Defaults();
  set->profileId = 1;
  set->profiles[1].macros[0].delayMode = kDelayNone;
  ASSERT_TRUE(ExportProfile(file, *set));
  XmlCursor x;
  ASSERT_TRUE(x.LoadFile(file, kMaxProfileFileSize));
  EXPECT_EQ(x.GetDocument(),
            u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<root>\r\n<PROFILE_ID>1</PROFILE_ID>\r\n"
            u"<PROFILE_NAME>Profile 2</PROFILE_NAME>\r\n<MACRO_1>\r\n<MACRO_NAME/>\r\n<MACRO_PASTE/>\r\n"
            u"<MACRO_START_KEY>0</MACRO_START_KEY>\r\n<MACRO_SEND_KEY>0</MACRO_SEND_KEY>\r\n<MACRO_INFO/>\r\n"
            u"<MACRO_START_KEY_INFO/>\r\n<MACRO_SEND_KEY_INFO/>\r\n</MACRO_1>\r\n</root>\r\n");
}

TEST_F(ProfileFiles, BigEndianConfigLoadsAndStaysBigEndian) {
  std::string bytes = "\xFE\xFF";
  for (char16_t c : std::u16string_view(u"<root><PROFILE_ID>6</PROFILE_ID><PROFILE_7><DPI_VALUE>1</DPI_VALUE></PROFILE_7></root>")) {
    bytes.push_back(static_cast<char>(c >> 8));
    bytes.push_back(static_cast<char>(c & 0xFF));
  }
  test::WriteFile(Config(), bytes);
  auto set = Load();
  EXPECT_EQ(set->profileId, 6);
  EXPECT_EQ(set->profiles[6].dpiStep, 1);
  ASSERT_EQ(Save(*set), 0);
  EXPECT_EQ(test::ReadFile(Config()), bytes);  // nothing changed, nothing rewritten differently
}

TEST_F(ProfileFiles, ImportOfBadOrPartialFiles) {
  const std::string file = conf / "import.xml";
  auto set = Defaults();
  set->profileId = 5;
  CopyText(set->profiles[5].profileName, u"Before");
  set->profiles[5].dpiStep = 1;

  test::WriteFile(file, "\x89PNG\r\n\x1A\n not xml");
  ImportProfile(file, *set);
  // The defaults up to the macros, which are cleared (not validated, so delay mode 0).
  EXPECT_EQ(std::memcmp(&set->profiles[5], &Defaults()->profiles[5], offsetof(Profile, macros)), 0);
  EXPECT_EQ(set->profiles[5].macros[0].name[0], 0);
  EXPECT_EQ(N(FieldText(set->profiles[5].profileName)), "Profile 6");

  test::WriteFile(file, Utf16LeFile(u"<root><PROFILE_NAME>Partial</PROFILE_NAME><BUTTON_2>2,9,</BUTTON_2></root>"));
  ImportProfile(file, *set);
  EXPECT_EQ(set->profiles[5].dpiStep, 6);
  EXPECT_EQ(set->profiles[5].buttons[1].code, 9);
  EXPECT_EQ(set->profiles[5].buttons[1].buttonNumber, 2);
  EXPECT_EQ(N(FieldText(set->profiles[5].profileName)), "Partial");
  EXPECT_EQ(set->profiles[5].macros[0].delayMode, 0);  // cleared, not reset
}

TEST_F(ProfileFiles, AgentSingleValueWriters) {
  EXPECT_FALSE(WriteActiveProfileIndex(conf.path(), 3));  // no file: nothing happens
  EXPECT_FALSE(std::filesystem::exists(Config()));
  ASSERT_EQ(Save(*Defaults()), 0);
  EXPECT_TRUE(WriteActiveProfileIndex(conf.path(), 3));
  EXPECT_TRUE(WriteDpiStep(conf.path(), 9, 2));
  auto set = Load();
  EXPECT_EQ(set->profileId, 3);
  EXPECT_EQ(set->profiles[9].dpiStep, 2);
  EXPECT_EQ(set->profiles[3].dpiStep, 6);

  int saved = -7, switched = -7;
  ReadAutoSwitchState(conf.path(), saved, switched);
  EXPECT_EQ(saved, -7);  // no element: unchanged
  EXPECT_EQ(switched, -7);
  EXPECT_TRUE(WriteAutoSwitchState(conf.path(), 4, 1));
  ReadAutoSwitchState(conf.path(), saved, switched);
  EXPECT_EQ(saved, 4);
  EXPECT_EQ(switched, 1);
  EXPECT_TRUE(WriteAutoSwitchState(conf.path(), 0, 0));
  ReadAutoSwitchState(conf.path(), saved, switched);
  EXPECT_EQ(saved, 0);
  EXPECT_EQ(switched, 0);
  XmlCursor x;
  ASSERT_TRUE(x.LoadFile(Config(), kMaxConfigFileSize));
  const std::u16string doc = x.GetDocument();
  EXPECT_NE(doc.find(u"</PROFILE_10>\r\n<PROFILE_CHAGED>0,0,</PROFILE_CHAGED>\r\n</root>"), std::u16string::npos);
  // The full save leaves it alone.
  ASSERT_EQ(Save(*Load()), 0);
  ReadAutoSwitchState(conf.path(), saved, switched);
  EXPECT_EQ(saved, 0);
}

// Config.xml cannot be written: a folder in its place, or a file in place of the Conf folder.
// The save says so, and TrayIcon.xml is not touched after it.
TEST_F(ProfileFiles, ASaveThatCannotWriteConfigXmlSaysSoAndLeavesTrayIconXmlAlone) {
  const std::string tray = NewTrayIconDocument(*Defaults());
  auto renamed = Defaults();
  CopyText(renamed->profiles[0].profileName, u"Renamed");
  {
    // A folder where Config.xml should be.
    test::WriteFile(Tray(), tray);
    std::filesystem::create_directory(Config());
    EXPECT_EQ(Save(*renamed), kSaveConfigNotWritten);
    EXPECT_TRUE(std::filesystem::is_directory(Config()));
    EXPECT_EQ(test::ReadFile(Tray()), tray);
    EXPECT_FALSE(std::filesystem::exists(Config() + kBrokenConfigSuffix));
  }
  {
    // A file where the Conf folder should be.
    test::TempDir other;
    const std::string notAFolder = other / "Conf";
    test::WriteFile(notAFolder, "a file");
    EXPECT_EQ(SaveProfileSet(notAFolder, *renamed, registry), kSaveConfigNotWritten);
    EXPECT_EQ(test::ReadFile(notAFolder), "a file");
  }
  // The single-value writers report the same failure.
  EXPECT_FALSE(WriteActiveProfileIndex(conf.path(), 2));
  EXPECT_FALSE(WriteDpiStep(conf.path(), 0, 2));
  EXPECT_FALSE(WriteAutoSwitchState(conf.path(), 1, 1));
  EXPECT_TRUE(std::filesystem::is_directory(Config()));
}

// A Config.xml that does not load is kept beside the new document, never written over.
TEST_F(ProfileFiles, AnUnreadableConfigXmlIsKeptAsBrokenBesideTheNewOne) {
  const std::string corpus = std::string(ORV_FIXTURES_DIR) + "/broken_config";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().filename() == "README.md") continue;
    ++files;
    const std::string name = entry.path().filename().string();
    const std::string bytes = test::ReadFile(entry.path().string());
    test::WriteFile(Config(), bytes);
    auto set = NewSet();
    if (name.rfind("readable_", 0) == 0) {
      // Taken by the reader after all: the user's values are read and the file updated in place.
      std::filesystem::remove(Config() + kBrokenConfigSuffix);
      EXPECT_EQ(LoadProfileSet(Config(), *set), ProfileSetLoad::Loaded) << name;
      EXPECT_EQ(set->profileId, 3) << name;
      EXPECT_EQ(set->profiles[0].dpiStep, 2) << name;
      EXPECT_EQ(Save(*set), kSaveDone) << name;
      EXPECT_FALSE(std::filesystem::exists(Config() + kBrokenConfigSuffix)) << name;
      EXPECT_EQ(Load()->profiles[0].dpiStep, 2) << name;
      continue;
    }
    EXPECT_EQ(LoadProfileSet(Config(), *set), ProfileSetLoad::Unreadable) << name;
    EXPECT_EQ(std::memcmp(set.get(), Defaults().get(), sizeof(ProfileSet)), 0) << name;
    // The latest unreadable file replaces an older one.
    EXPECT_EQ(Save(*set), kSaveDone) << name;
    EXPECT_EQ(test::ReadFile(Config() + kBrokenConfigSuffix), bytes) << name;
    EXPECT_EQ(LoadProfileSet(Config(), *set), ProfileSetLoad::Loaded) << name;
  }
  EXPECT_GE(files, 7);
  // A readable file is updated in place; the kept one stays as it was.
  const std::string kept = test::ReadFile(Config() + kBrokenConfigSuffix);
  EXPECT_EQ(Save(*Defaults()), kSaveDone);
  EXPECT_EQ(test::ReadFile(Config() + kBrokenConfigSuffix), kept);
  // A missing file leaves nothing to keep.
  std::filesystem::remove(Config());
  std::filesystem::remove(Config() + kBrokenConfigSuffix);
  EXPECT_EQ(Save(*Defaults()), kSaveDone);
  EXPECT_FALSE(std::filesystem::exists(Config() + kBrokenConfigSuffix));
}

TEST_F(ProfileFiles, AnUnreadableConfigXmlThatCannotBeKeptIsNotWrittenOver) {
  test::WriteFile(Config(), "not xml at all");
  std::filesystem::create_directories(Config() + kBrokenConfigSuffix + "/full");
  EXPECT_EQ(Save(*Defaults()), kSaveConfigNotWritten);
  EXPECT_EQ(test::ReadFile(Config()), "not xml at all");
}

TEST_F(ProfileFiles, TemporaryFilesOfAKilledSaveAreRemovedAndNothingElse) {
  const char* stale[] = {"Config.xml.a1B2c3", "TrayIcon.xml.ZZZZZZ", "FWVersion.xml.000000"};
  const char* kept[] = {"Config.xml", "Config.xml.broken", "Config.xml.a1B2c", "Config.xml.a1B2c3d",
                        "Config.xml.a1-2c3", "Other.xml.a1B2c3", "config.xml.a1B2c3"};
  for (const char* name : stale) test::WriteFile(conf / name, "partial");
  for (const char* name : kept) test::WriteFile(conf / name, "keep");
  std::filesystem::create_directory(conf / "Config.xml.Folder");  // not a file: left alone
  EXPECT_EQ(RemoveStaleTemporaryFiles(conf.path()), 3);
  for (const char* name : stale) EXPECT_FALSE(std::filesystem::exists(conf / name)) << name;
  for (const char* name : kept) EXPECT_TRUE(std::filesystem::exists(conf / name)) << name;
  EXPECT_TRUE(std::filesystem::is_directory(conf / "Config.xml.Folder"));
  EXPECT_EQ(RemoveStaleTemporaryFiles(conf / "missing"), 0);
}

// What the loader and the save found is said in one line each (the profile category at info).
TEST_F(ProfileFiles, LoadAndSaveSayWhatTheyFoundAndDid) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_TRUE(SetLogConfiguration("profile=info"));
  SetLogDescriptor(fds[1]);
  test::WriteFile(Config(), "not xml at all");
  auto set = NewSet();
  LoadProfileSet(Config(), *set);
  Save(*set);
  WriteConfig(u"<PROFILE_ID>12</PROFILE_ID>\r\n");  // out of range: reset by validation
  LoadProfileSet(Config(), *set);
  SetLogDescriptor(2);
  SetLogConfiguration("");
  ::close(fds[1]);
  std::string log;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) log.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  EXPECT_NE(log.find("Config.xml does not load as XML: the defaults are used"), std::string::npos) << log;
  EXPECT_NE(log.find("Config.xml does not load: kept as " + Config() + ".broken"), std::string::npos) << log;
  EXPECT_NE(log.find("values outside their ranges were reset"), std::string::npos) << log;
}

// Whatever stands where one of these files should be (a FIFO, a folder, a link to a device, a
// file over the bound), every reader and writer of it is done within a second: a FIFO or a
// device is neither read nor replaced, and a file over its bound is not read.
TEST_F(ProfileFiles, SpecialFilesAreRefusedAtOnceByEveryReader) {
  struct Reader {
    const char* file;
    size_t bound;
    std::function<void(const std::string& folder, const std::string& path, test::SpecialFile kind)> check;
  };
  const auto replaceable = [](test::SpecialFile kind) { return kind == test::SpecialFile::kOverBound; };
  const Reader readers[] = {
      {kConfigFileName, kMaxConfigFileSize,
       [&](const std::string& folder, const std::string& path, test::SpecialFile kind) {
         auto set = NewSet();
         EXPECT_EQ(LoadProfileSet(path, *set), ProfileSetLoad::Unreadable);
         EXPECT_EQ(std::memcmp(set.get(), Defaults().get(), sizeof(ProfileSet)), 0);
         EXPECT_EQ(ReadConfigValue(folder, ConfigValue::TrayIconFlag), 0);
         EXPECT_FALSE(WriteConfigValue(folder, ConfigValue::TrayIconFlag, 1));
         EXPECT_FALSE(WriteActiveProfileIndex(folder, 3));
         int saved = -1, switched = -1;
         ReadAutoSwitchState(folder, saved, switched);
         EXPECT_EQ(saved, -1);
         // A save replaces only a regular file (the oversized one is kept as .broken).
         EXPECT_EQ(SaveProfileSet(folder, *set, registry), replaceable(kind) ? kSaveDone : kSaveConfigNotWritten);
         EXPECT_EQ(std::filesystem::exists(path + kBrokenConfigSuffix), replaceable(kind));
       }},
      {kTrayIconFileName, kMaxTrayIconFileSize,
       [&](const std::string& folder, const std::string& path, test::SpecialFile) {
         // Only a TrayIcon.xml that loads is brought up to date; Config.xml is written all the same.
         EXPECT_EQ(SaveProfileSet(folder, *Defaults(), registry), kSaveDone);
         EXPECT_FALSE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path)) &&
                      std::filesystem::file_size(path) < kMaxTrayIconFileSize);
       }},
      {kFirmwareVersionFileName, kMaxVersionFileSize,
       [&](const std::string& folder, const std::string&, test::SpecialFile kind) {
         EXPECT_EQ(ReadFirmwareVersion(folder), 0);
         EXPECT_EQ(ReadSoftwareVersion(folder), 0);
         EXPECT_EQ(WriteFirmwareVersionFile(folder, 204), replaceable(kind));
       }},
      {"exported.xml", kMaxProfileFileSize,
       [&](const std::string&, const std::string& path, test::SpecialFile kind) {
         EXPECT_FALSE(IsProfileFile(path));
         auto set = Defaults();
         set->profileId = 4;
         CopyText(set->profiles[4].profileName, u"Mine");
         ImportProfile(path, *set);
         EXPECT_EQ(N(FieldText(set->profiles[4].profileName)), "Profile 5");
         EXPECT_EQ(ExportProfile(path, *set), replaceable(kind));
       }},
  };
  for (const Reader& reader : readers) {
    for (test::SpecialFile kind : test::kSpecialFiles) {
      SCOPED_TRACE(std::string(reader.file) + " as " + test::SpecialFileName(kind));
      test::TempDir folder;
      const std::string path = folder / reader.file;
      ASSERT_TRUE(test::MakeSpecialFile(path, kind, reader.bound));
      EXPECT_TRUE(test::FinishesWithin(1000, [&] { reader.check(folder.path(), path, kind); }, path));
      if (kind == test::SpecialFile::kFifo) {
        struct stat st {};
        EXPECT_TRUE(::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));  // never replaced
      }
    }
  }
}

// The bounds leave room: a Config.xml with every macro of every profile full, and the export
// of such a profile, are read back whole.
TEST_F(ProfileFiles, TheFullestSetFitsItsFilesBounds) {
  auto set = Defaults();
  for (Profile& p : set->profiles) {
    for (Macro& m : p.macros) {
      CopyText(m.name, std::u16string(kMacroNameCapacity - 1, u'W'));
      CopyText(m.pasteText, std::u16string(std::size(m.pasteText) - 1, u'W'));
      for (MacroEvent& e : m.events) e = MacroEvent{0xA5, 1, {}, INT32_MIN};
      m.delayMode = kDelayRecorded;
    }
  }
  ASSERT_EQ(Save(*set), kSaveDone);
  const auto configSize = std::filesystem::file_size(Config());
  EXPECT_LT(configSize, kMaxConfigFileSize / 2) << configSize;
  auto back = Load();
  EXPECT_EQ(back->profiles[9].macros[49].events[kMacroEventCount - 1].delay, INT32_MIN);
  const std::string file = conf / "full.xml";
  ASSERT_TRUE(ExportProfile(file, *set));
  EXPECT_LT(std::filesystem::file_size(file), kMaxProfileFileSize / 2);
  EXPECT_TRUE(IsProfileFile(file));
}

// A whole Config.xml is no profile: importing it would take its first values as a profile.
// An export over it, or over any other document, replaces it.
TEST_F(ProfileFiles, AConfigXmlOrAnotherDocumentIsNoProfileAndAnExportReplacesIt) {
  ASSERT_EQ(Save(*Defaults()), kSaveDone);
  EXPECT_FALSE(IsProfileFile(Config()));
  const std::string other = conf / "other.xml";
  test::WriteFile(other, "<?xml version=\"1.0\"?><settings><volume>3</volume></settings>");
  EXPECT_FALSE(IsProfileFile(other));
  auto set = Defaults();
  set->profileId = 2;
  CopyText(set->profiles[2].profileName, u"Raid");
  for (const std::string& path : {Config(), other}) {
    ASSERT_TRUE(ExportProfile(path, *set));
    EXPECT_TRUE(IsProfileFile(path)) << path;
    auto imported = Defaults();
    ImportProfile(path, *imported);
    EXPECT_EQ(N(FieldText(imported->profiles[0].profileName)), "Raid") << path;
    EXPECT_EQ(test::ReadFile(path).find("volume"), std::string::npos) << path;
  }
}

}  // namespace
}  // namespace orv
