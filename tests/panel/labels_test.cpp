#include "panel/labels.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using test::TempDir;
using test::U;

// A small Menu.xml in the layout the panel reads: root / section / key.
constexpr char kMenu[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<MENU>\n"
    " <FILE_MENU><EDIT>Edit Games</EDIT><EXPORT>Export</EXPORT></FILE_MENU>\n"
    " <BUTTON_MENU><LEFT_CLICK>Left Click</LEFT_CLICK><RIGHT_CLICK>Right Click</RIGHT_CLICK>"
    "<BUTTON_OFF>Off</BUTTON_OFF><STOP_ALL>Stop All</STOP_ALL></BUTTON_MENU>\n"
    " <CHANGE_DPI><DPI_800>800 dpi</DPI_800><DPI_UP>DPI Up</DPI_UP></CHANGE_DPI>\n"
    " <CHANGE_PROFILE><PROFILE_UP>Next Profile</PROFILE_UP></CHANGE_PROFILE>\n"
    "</MENU>\n";

class LabelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(dir / "Menu.xml", kMenu);
    // The product's own Functions.xml.
    test::WriteFile(dir / "Functions.xml", test::ReadFile(std::string(ORV_PROGRAM_DIR) + "/Functions.xml"));
    set = std::make_unique<ProfileSet>();
    ResetProfileSet(*set);
    ValidateProfileSet(*set);
    set->profileId = 2;
    CopyText(set->profiles[4].profileName, u"Raid night");
    CopyText(set->profiles[2].macros[3].name, u"Buff rotation");
  }
  TempDir dir;
  std::unique_ptr<ProfileSet> set;
};

TEST_F(LabelsTest, EveryKindOfCodeTakesItsTextFromItsSource) {
  LabelBook book(dir.path() + "/");
  ASSERT_TRUE(book.menuLoaded());
  ASSERT_TRUE(book.functionsLoaded());
  struct Case {
    int code;
    const char* label;
  } cases[] = {
      {1, "Left Click"},              // Menu.xml BUTTON_MENU
      {9, "Off"},                     // row 6 of the button menu
      {80, "Stop All"},               // chat commands are labelled from BUTTON_MENU too
      {16, "800 dpi"},                // CHANGE_DPI
      {22, "DPI Up"},
      {42, "Next Profile"},           // CHANGE_PROFILE
      {36, "Raid night"},             // switch to profile 5: its name
      {501, "Toggle Character Pane"}, // Functions.xml GAME_COMMANDS
      {1003, "Buff rotation"},        // the active profile's macro 3
  };
  for (const Case& c : cases) {
    std::optional<std::u16string> label = book.LabelOf(c.code, *set);
    ASSERT_TRUE(label.has_value()) << c.code;
    EXPECT_EQ(*label, U(c.label)) << c.code;
  }
}

TEST_F(LabelsTest, AMissingTextLeavesTheLabelAsItWas) {
  LabelBook book(dir.path() + "/");
  // Code 2's element exists, code 3's (DOUBLE_CLICK) does not, 7 is no function at all.
  Profile& p = set->profiles[2];
  p.buttons[0].code = 2;
  p.buttons[1].code = 3;
  p.buttons[2].code = 7;
  std::u16string labels[kButtonCount];
  for (auto& l : labels) l = u"before";
  LabelButtons(book, *set, labels);
  EXPECT_EQ(labels[0], u"Right Click");
  EXPECT_EQ(labels[1], u"before");
  EXPECT_EQ(labels[2], u"before");
  EXPECT_EQ(book.MenuText(u"FILE_MENU", u"EXPORT"), std::optional<std::u16string>(u"Export"));
}

TEST_F(LabelsTest, DataFilesThatAreNotUsableGiveNoTexts) {
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"a picture", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
      {"two roots", "<A><BUTTON_MENU><LEFT_CLICK>x</LEFT_CLICK></BUTTON_MENU></A><B/>"},
      {"cut short", "<A><BUTTON_MENU><LEFT_CLICK>x</LEFT_CL"},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    test::WriteFile(dir / "Menu.xml", c.bytes);
    LabelBook book(dir.path() + "/");
    EXPECT_FALSE(book.menuLoaded()) << c.what;
    EXPECT_FALSE(book.LabelOf(1, *set).has_value()) << c.what;
    // Functions.xml is read on its own.
    EXPECT_TRUE(book.LabelOf(501, *set).has_value()) << c.what;
  }
  std::remove((dir / "Menu.xml").c_str());
  std::remove((dir / "Functions.xml").c_str());
  LabelBook none(dir.path() + "/");
  EXPECT_FALSE(none.LabelOf(501, *set).has_value());
  // Names kept in the profile need no file.
  EXPECT_EQ(none.LabelOf(36, *set), std::optional<std::u16string>(u"Raid night"));
}

}  // namespace
}  // namespace orv
