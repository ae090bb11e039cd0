// What the assignment drawer's folders offer, read from Functions.xml: the shipped file whole,
// and files with elements missing, reordered, unknown, repeated, or not usable at all.
#include "panel/editors/function_folders.h"

#include <gtest/gtest.h>

#include "base/files.h"
#include "base/text.h"
#include "profile/function_catalog.h"
#include "tests/test_support.h"

namespace orv {
namespace {

FunctionFolders FromText(const std::string& xml) {
  XmlCursor x;
  EXPECT_TRUE(x.SetDocument(ToUtf16(xml)));
  return ReadFunctionFolders(x);
}

std::vector<int> Codes(const std::vector<FunctionFolders::Row>& rows) {
  std::vector<int> codes;
  for (const auto& r : rows) codes.push_back(r.code);
  return codes;
}

std::vector<int> Categories(const FunctionFolders& f) {
  std::vector<int> numbers;
  for (const auto& c : f.gameCommands) numbers.push_back(c.category);
  return numbers;
}

std::vector<int> CommandCodes(const FunctionFolders::Category& c) {
  std::vector<int> codes;
  for (const auto& command : c.commands) codes.push_back(command.code);
  return codes;
}

// The shipped file: seven closed categories with 14, 10, 52, 21, 21, 4 and 9 commands, each
// command's item data its number and its code the catalogue's, eight speeds and both steps.
TEST(FunctionFolders, TheShippedFileOffersTheWholeCatalogue) {
  const FunctionFolders f = ReadFunctionFolders(std::string(ORV_PROGRAM_DIR) + "/");
  ASSERT_EQ(Categories(f), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  const size_t counts[] = {14, 10, 52, 21, 21, 4, 9};
  for (size_t c = 0; c < 7; ++c) {
    const FunctionFolders::Category& category = f.gameCommands[c];
    EXPECT_FALSE(category.text.empty()) << c;
    ASSERT_EQ(category.commands.size(), counts[c]) << c;
    for (size_t i = 0; i < counts[c]; ++i) {
      const FunctionFolders::Command& command = category.commands[i];
      EXPECT_EQ(command.command, static_cast<int>(i + 1));
      EXPECT_EQ(command.code, 100 * category.category + command.command);
      EXPECT_FALSE(command.text.empty()) << command.code;
    }
  }
  EXPECT_EQ(f.gameCommands[0].commands[13].code, 114);  // TOGGLE_RUN
  EXPECT_EQ(f.gameCommands[6].commands[8].code, 709);   // SCREEN_SHOT
  EXPECT_EQ(f.gameCommands[2].commands[33].code, 334);  // SPECIAL_ACTION_BUTTON_10
  EXPECT_EQ(Codes(f.pointerSpeeds), (std::vector<int>{16, 17, 18, 19, 20, 21, 22, 23}));
  EXPECT_EQ(Codes(f.profileSteps), (std::vector<int>{42, 43}));
  for (const std::u16string& caption : f.captions) EXPECT_FALSE(caption.empty());
}

// Each lookup searches the siblings after the previous match: what is listed out of order or
// missing is not offered, and everything else keeps its own number and code.
TEST(FunctionFolders, ElementsOutOfOrderMissingUnknownOrRepeated) {
  const std::string speeds =
      "<CHANGE_DPI Strings='Speeds'><DPI_800>800</DPI_800><DPI_1600>1600</DPI_1600><DPI_UP>Up</DPI_UP></CHANGE_DPI>";
  const std::string profiles =
      "<CHANGE_PROFILE Strings='Profiles'><PROFILE_1>one</PROFILE_1><PROFILE_DOWN>Down</PROFILE_DOWN></CHANGE_PROFILE>";
  struct Case {
    const char* what;
    std::string xml;
    std::vector<int> categories;
    std::vector<int> firstCategoryCodes;
    std::vector<int> speedCodes;
    std::vector<int> stepCodes;
    std::u16string macrosCaption;
  } cases[] = {
      {"TURN_LEFT listed before MOVE_FORWARD: the forward search finds MOVE_FORWARD after it and "
       "TURN_LEFT is then behind",
       "<F><GAME_COMMANDS Strings='G'><MOVEMENT_KEYS Strings='M'><MOVE_AND_STEER>s</MOVE_AND_STEER>"
       "<TURN_LEFT>l</TURN_LEFT><MOVE_FORWARD>f</MOVE_FORWARD><MOVE_BACKWARD>b</MOVE_BACKWARD></MOVEMENT_KEYS>"
       "</GAME_COMMANDS>" + speeds + profiles + "<CUSTOM_MACROS Strings='Macros'/></F>",
       {1}, {101, 102, 104}, {16, 18, 22}, {43}, u"Macros"},
      {"unknown elements are passed over, a repeated one counts once",
       "<F><FOO/><GAME_COMMANDS Strings='G'><BAR/><MOVEMENT_KEYS Strings='M'><MOVE_AND_STEER>s</MOVE_AND_STEER>"
       "<MOVE_AND_STEER>again</MOVE_AND_STEER><JUMP>j</JUMP><NOT_A_COMMAND>x</NOT_A_COMMAND></MOVEMENT_KEYS>"
       "<MOVEMENT_KEYS Strings='again'><JUMP>j</JUMP></MOVEMENT_KEYS><CAMERA_FUNCTIONS Strings='C'><ZOOM_IN>z</ZOOM_IN>"
       "</CAMERA_FUNCTIONS></GAME_COMMANDS></F>",
       {1, 6}, {101, 108}, {}, {}, u""},
      {"a category missing: the others keep their numbers",
       "<F><GAME_COMMANDS Strings='G'><CHAT_FUNCTIONS Strings='C'><CHAT_REPLY>r</CHAT_REPLY></CHAT_FUNCTIONS>"
       "<MISCELLANEOUS_FUNCTIONS Strings='M'><SCREEN_SHOT>s</SCREEN_SHOT></MISCELLANEOUS_FUNCTIONS></GAME_COMMANDS></F>",
       {2, 7}, {206}, {}, {}, u""},
      {"a category without commands is still a category",
       "<F><GAME_COMMANDS Strings='G'><MOVEMENT_KEYS Strings='M'/></GAME_COMMANDS></F>", {1}, {}, {}, {}, u""},
      {"sections out of order: the pointer speeds before the game commands are behind the search",
       "<F>" + speeds + "<GAME_COMMANDS Strings='G'/>" + profiles + "</F>", {}, {}, {}, {43}, u""},
      {"nothing but the root", "<F/>", {}, {}, {}, {}, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FunctionFolders f = FromText(c.xml);
    EXPECT_EQ(Categories(f), c.categories);
    if (!f.gameCommands.empty()) EXPECT_EQ(CommandCodes(f.gameCommands[0]), c.firstCategoryCodes);
    EXPECT_EQ(Codes(f.pointerSpeeds), c.speedCodes);
    EXPECT_EQ(Codes(f.profileSteps), c.stepCodes);
    EXPECT_EQ(f.captions[3], c.macrosCaption);
  }
}

// A file that is missing, empty, not XML, with two roots or too large offers nothing.
TEST(FunctionFolders, AFileThatCannotBeUsedOffersNothing) {
  test::TempDir dir;
  const std::string valid = "<F><GAME_COMMANDS Strings='G'><MOVEMENT_KEYS Strings='M'><JUMP>j</JUMP>"
                            "</MOVEMENT_KEYS></GAME_COMMANDS></F>";
  const std::pair<const char*, std::string> files[] = {
      {"empty", ""},
      {"not XML", "GAME_COMMANDS"},
      {"two roots", valid + "<G/>"},
      {"cut short", valid.substr(0, valid.size() - 10)},
  };
  const std::string folder = dir.path() + "/";
  EXPECT_TRUE(ReadFunctionFolders(folder).gameCommands.empty()) << "missing";
  for (const auto& [what, text] : files) {
    test::WriteFile(folder + "Functions.xml", text);
    const FunctionFolders f = ReadFunctionFolders(folder);
    EXPECT_TRUE(f.gameCommands.empty()) << what;
    EXPECT_TRUE(f.captions[0].empty()) << what;
  }
  test::WriteFile(folder + "Functions.xml", valid);
  EXPECT_EQ(ReadFunctionFolders(folder).gameCommands.size(), 1u) << "the valid file itself";
}

}  // namespace
}  // namespace orv
