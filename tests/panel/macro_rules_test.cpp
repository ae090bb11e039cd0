// Key capture and the macro editor's rules: which keys are recorded and how, their names, the
// pauses of each delay mode, the areas, and the record the editor saves.
#include "panel/editors/macro_rules.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/text.h"
#include "platform/input/input_codes.h"
#include "tests/platform/input/us_keyboard.h"

namespace orv {
namespace {

using Outcome = KeyCapture::Outcome;

struct Step {
  bool up;
  uint16_t vk;
  uint32_t flags = 0;
  uint32_t time = 0;
};

std::vector<std::pair<int, int>> Events(const KeyCapture& c) {  // (key, up) of each event
  std::vector<std::pair<int, int>> out;
  for (int i = 0; i < c.count(); ++i) out.emplace_back(c.events()[i].virtualKey, c.events()[i].keyUp);
  return out;
}

std::vector<int> Pauses(const KeyCapture& c) {
  std::vector<int> out;
  for (int i = 0; i < c.count(); ++i) out.push_back(c.events()[i].delay);
  return out;
}

// The keys of a US 104-key keyboard are recorded; media keys and keys it lacks are not.
TEST(KeyCapture, TheKeysOfAUs104KeyboardAndNoOthers) {
  const std::vector<uint16_t> keys = test::UsKeyboardKeys();
  EXPECT_EQ(keys.size(), 104u);
  for (uint16_t k : keys) EXPECT_TRUE(IsRecordableKey(k)) << std::hex << k;
  EXPECT_TRUE(IsRecordableKey(VK_CLEAR)) << "the keypad's 5 without Num Lock";
  for (uint16_t k : {VK_VOLUME_MUTE, VK_MEDIA_PLAY_PAUSE, VK_BROWSER_BACK, VK_LAUNCH_MAIL, uint16_t(0x7C), VK_F24,
                     VK_OEM_102, VK_SLEEP, VK_LBUTTON, uint16_t(0), uint16_t(0xFF), VK_CANCEL, VK_CONTROL, VK_MENU})
    EXPECT_FALSE(IsRecordableKey(k)) << std::hex << k;
}

TEST(KeyCapture, GenericKeysAreStoredBySide) {
  struct Case {
    uint16_t vk;
    uint32_t flags;
    uint16_t stored;
  } cases[] = {
      {VK_SHIFT, 0x2A, VK_LSHIFT},          {VK_SHIFT, 0x36, VK_RSHIFT},      {VK_SHIFT, 0, VK_SHIFT},
      {VK_CONTROL, 0x1D, VK_LCONTROL},      {VK_CONTROL, 0x11D, VK_RCONTROL}, {VK_MENU, 0x38, VK_LMENU},
      {VK_MENU, 0x138, VK_RMENU},           {VK_RETURN, 0x1C, VK_RETURN},     {VK_RETURN, 0x11C, VK_SEPARATOR},
      {VK_LSHIFT, 0, VK_LSHIFT},            {VK_A, 0x11E, VK_A},
  };
  for (const Case& c : cases) {
    KeyCapture capture;
    EXPECT_EQ(capture.Record(false, c.vk, c.flags), Outcome::kAccepted) << std::hex << c.vk;
    EXPECT_EQ(capture.Record(true, c.vk, c.flags), Outcome::kAccepted) << std::hex << c.vk;
    EXPECT_EQ(Events(capture), (std::vector<std::pair<int, int>>{{c.stored, 0}, {c.stored, 1}})) << std::hex << c.vk;
  }
  EXPECT_EQ(KeyName(VK_SEPARATOR), u"NumRet");
}

TEST(KeyCapture, RepeatsUnmatchedKeyUpsAndTheEndOfTheBufferAreRefused) {
  KeyCapture c;
  EXPECT_EQ(c.Record(true, VK_A, 0), Outcome::kUnmatchedUp) << "its key-down came before the recording";
  EXPECT_EQ(c.Record(false, VK_A, 0), Outcome::kAccepted);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(c.Record(false, VK_A, kKeyFlagRepeat), Outcome::kRepeat);
  EXPECT_EQ(c.Record(true, VK_A, 0), Outcome::kAccepted);
  EXPECT_EQ(c.Record(true, VK_A, 0), Outcome::kUnmatchedUp) << "a second key-up";
  EXPECT_EQ(c.Record(false, VK_VOLUME_UP, 0), Outcome::kNotRecordable);
  EXPECT_EQ(Events(c), (std::vector<std::pair<int, int>>{{VK_A, 0}, {VK_A, 1}}));
  // Interleaved keys: B's key-up matches B's key-down even with others between.
  EXPECT_EQ(c.Record(false, VK_B, 0), Outcome::kAccepted);
  EXPECT_EQ(c.Record(false, VK_LSHIFT, 0), Outcome::kAccepted);
  EXPECT_EQ(c.Record(true, VK_B, 0), Outcome::kAccepted);
  EXPECT_EQ(c.Record(true, VK_LSHIFT, 0), Outcome::kAccepted);
  while (c.count() < KeyCapture::kCapacity) ASSERT_EQ(c.Record(false, VK_C, 0), Outcome::kAccepted);
  EXPECT_EQ(c.Record(true, VK_C, 0), Outcome::kFull) << "the 321st event";
  EXPECT_EQ(c.count(), KeyCapture::kCapacity);
}

TEST(KeyCapture, LoadedEventsGoAtTheFirstKeyOrAreRecordedOn) {
  const MacroEvent loaded[] = {{VK_A, 0, {}, 10}, {VK_A, 1, {}, 50}, {0, 0, {}, 0}, {VK_B, 0, {}, 5}};
  KeyCapture fresh;
  fresh.Load(loaded, true);
  EXPECT_EQ(fresh.count(), 2) << "up to the first empty event";
  EXPECT_EQ(fresh.Record(true, VK_Z, 0), Outcome::kUnmatchedUp);
  EXPECT_EQ(fresh.count(), 0) << "the first key event empties them even when refused";
  EXPECT_EQ(fresh.Record(false, VK_B, 0), Outcome::kAccepted);
  EXPECT_EQ(Events(fresh), (std::vector<std::pair<int, int>>{{VK_B, 0}}));
  KeyCapture resumed;
  resumed.Load(loaded, false);
  EXPECT_EQ(resumed.Record(false, VK_B, 0), Outcome::kAccepted);
  EXPECT_EQ(Events(resumed), (std::vector<std::pair<int, int>>{{VK_A, 0}, {VK_A, 1}, {VK_B, 0}}));
}

TEST(KeyName, WordsCharactersOfTheUsLayoutAndCodes) {
  const std::pair<uint16_t, const char16_t*> cases[] = {
      {VK_BACK, u"Bck"},   {VK_RETURN, u"Enter"}, {VK_LSHIFT, u"LShft"}, {VK_RCONTROL, u"RCtrl"}, {VK_RMENU, u"RAlt"},
      {VK_LWIN, u"LWin"},  {VK_RWIN, u"RWin"},    {VK_APPS, u"Menu"},    {VK_SNAPSHOT, u"Snapshot"},
      {VK_F1, u"F1"},      {VK_F10, u"F10"},      {VK_F12, u"F12"},      {VK_NUMPAD0, u"Num0"},    {VK_NUMPAD9, u"Num9"},
      {VK_DECIMAL, u"Num."}, {VK_A, u"A"},        {VK_Z, u"Z"},          {VK_0, u"0"},             {VK_OEM_2, u"/"},
      {VK_OEM_3, u"`"},    {VK_OEM_7, u"'"},      {VK_OEM_5, u"\\"},     {VK_VOLUME_MUTE, u"#AD"}, {0xFF, u"#FF"},
  };
  for (auto [vk, name] : cases) EXPECT_EQ(KeyName(vk), name) << std::hex << vk;
}

// What each delay mode makes of the same keys: the pauses stored and the tokens shown.
TEST(MacroEditRules, EachDelayModeSetsItsPausesAndShowsItsTokens) {
  struct Case {
    const char* what;
    int mode;
    std::vector<Step> steps;
    std::vector<int> pauses;
    std::u16string tokens;
  } cases[] = {
      {"auto: 10 after the first event, 50 after the others, key-ups not shown", kDelayAutomatic,
       {{false, VK_A}, {true, VK_A}, {false, VK_B}, {true, VK_B}}, {10, 50, 50, 50}, u"A B "},
      {"auto: 20 after the first when the second key is the slash", kDelayAutomatic,
       {{false, VK_A}, {false, VK_OEM_2}, {true, VK_OEM_2}}, {20, 50, 50}, u"A / "},
      {"recorded: the gaps between the key events' own times", kDelayRecorded,
       {{false, VK_A, 0, 1000}, {true, VK_A, 0, 1300}, {false, VK_B, 0, 1345}}, {300, 45, 0},
       u"A|<300ms> A^<45ms> B| "},
      {"recorded: across the time stamps' wrap", kDelayRecorded,
       {{false, VK_A, 0, 0xFFFFFF00u}, {true, VK_A, 0, 0x40}}, {0x140, 0}, u"A|<320ms> A^ "},
      {"recorded: a refused key-up still times the gap", kDelayRecorded,
       {{false, VK_A, 0, 0}, {true, VK_B, 0, 200}, {true, VK_A, 0, 260}}, {260, 0}, u"A|<260ms> A^ "},
      {"none: every pause 0", kDelayNone, {{false, VK_A}, {true, VK_A}, {false, VK_RMENU}}, {0, 0, 0},
       u"A| A^ RAlt| "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MacroEditRules rules;
    rules.SetDelayMode(c.mode);
    for (const Step& s : c.steps) rules.Key(s.up, s.vk, s.flags, s.time);
    EXPECT_EQ(Pauses(rules.recording()), c.pauses);
    EXPECT_EQ(rules.Tokens(MacroArea::kEvents), c.tokens);
  }
}

TEST(MacroEditRules, SwitchingToRecordedDelayGivesTheLastEventFiftyNotTheTimeSpentDeciding) {
  MacroEditRules rules;
  rules.Key(false, VK_A, 0, 0);
  rules.Key(true, VK_A, 0, 10);
  rules.SetDelayMode(kDelayRecorded);
  rules.Key(false, VK_B, 0, 9000);
  rules.Key(true, VK_B, 0, 9120);
  EXPECT_EQ(Pauses(rules.recording()), (std::vector<int>{10, 50, 120, 0}));
  // Only the tokens change with the mode; the pauses stay.
  rules.SetDelayMode(kDelayNone);
  EXPECT_EQ(Pauses(rules.recording()), (std::vector<int>{10, 50, 120, 0}));
  EXPECT_EQ(rules.Tokens(MacroArea::kEvents), u"A| A^ B| B^ ");
}

TEST(MacroEditRules, AreasHoldTheirOwnKeysAndAClickStartsAfresh) {
  MacroEditRules rules;
  rules.Key(false, VK_A, 0, 0);
  rules.Key(true, VK_A, 0, 0);
  rules.SelectArea(MacroArea::kEvents);  // the event area clicked: what it shows is gone
  EXPECT_EQ(rules.Tokens(MacroArea::kEvents), u"");
  rules.Key(false, VK_C, 0, 0);
  Macro saved = rules.Build({});
  EXPECT_EQ(saved.events[0].virtualKey, VK_C);
  EXPECT_EQ(saved.events[1].keyUp, 1) << "C, still down, released at the end";
  EXPECT_EQ(saved.events[2].virtualKey, 0) << "only what came after the click";
  // The start and send keys hold two events each, and only in the paste layout.
  rules.SelectArea(MacroArea::kStartKey);
  EXPECT_EQ(rules.area(), MacroArea::kEvents);
  rules.SetDelayMode(kDelayCopyPaste);
  EXPECT_EQ(rules.area(), MacroArea::kSendKey);
  EXPECT_EQ(rules.Tokens(MacroArea::kStartKey), u"Enter| Enter^ ");
  rules.SelectArea(MacroArea::kStartKey);
  EXPECT_EQ(rules.Key(false, VK_LCONTROL, 0, 0), Outcome::kAccepted);
  EXPECT_EQ(rules.Key(false, VK_V, 0, 0), Outcome::kAccepted);
  EXPECT_EQ(rules.Key(true, VK_V, 0, 0), Outcome::kFull);
  EXPECT_EQ(rules.Tokens(MacroArea::kStartKey), u"LCtrl| V| ");
  EXPECT_EQ(rules.Tokens(MacroArea::kSendKey), u"Enter| Enter^ ");
  saved = rules.Build({});
  EXPECT_EQ(saved.startKeyEvents[0].virtualKey, VK_LCONTROL);
  EXPECT_EQ(saved.startKeyEvents[1].virtualKey, VK_V);
  EXPECT_EQ(saved.sendKeyEvents[0].virtualKey, VK_RETURN);
  EXPECT_EQ(saved.events[0].virtualKey, VK_C) << "the events kept what was recorded before";
  // Back to auto delay: the events come back and recording goes on after them.
  rules.SetDelayMode(kDelayAutomatic);
  EXPECT_EQ(rules.area(), MacroArea::kEvents);
  rules.Key(false, VK_D, 0, 0);
  EXPECT_EQ(rules.Tokens(MacroArea::kEvents), u"C D ");
}

TEST(MacroEditRules, ANewCopyAndPasteMacroWithoutChanges) {
  MacroEditRules rules;
  rules.SetDelayMode(kDelayCopyPaste);
  const Macro m = rules.Build({u"", u"1", false, true, true, u"/dance"});
  EXPECT_EQ(m.delayMode, kDelayCopyPaste);
  EXPECT_EQ(m.startKey, 1);
  EXPECT_EQ(m.sendKey, 1);
  for (const MacroEvent* keys : {m.startKeyEvents, m.sendKeyEvents}) {
    EXPECT_EQ(keys[0].virtualKey, VK_RETURN);
    EXPECT_EQ(keys[0].keyUp, 0);
    EXPECT_EQ(keys[1].virtualKey, VK_RETURN);
    EXPECT_EQ(keys[1].keyUp, 1);
  }
  EXPECT_EQ(m.events[0].virtualKey, 0);
  EXPECT_EQ(FieldText(m.name), kDefaultMacroName);
  EXPECT_EQ(FieldText(m.pasteText), u"/dance");
}

TEST(MacroEditRules, TheSavedFieldsKeepWithinTheRecord) {
  struct Case {
    std::u16string loopText;
    int loops;
  } loops[] = {{u"", 0}, {u"0", 0}, {u"12", 12}, {u"999", 999}, {u"1000", 0}, {u"abc", 0}, {u"-3", 0}, {u"1 2", 0}};
  for (const Case& c : loops) {
    MacroEditRules rules;
    EXPECT_EQ(rules.Build({u"x", c.loopText, true}).loopCount, c.loops) << ToUtf8(c.loopText);
  }
  MacroEditRules rules;
  const std::u16string longName(150, u'n'), longText(300, u't');
  const Macro m = rules.Build({longName, u"2", true, false, false, longText});
  EXPECT_EQ(FieldText(m.name).size(), static_cast<size_t>(kMacroNameLength));
  EXPECT_EQ(m.name[kMacroNameCapacity - 1], 0);
  EXPECT_EQ(FieldText(m.pasteText).size(), static_cast<size_t>(kPasteTextLength));
  EXPECT_EQ(m.pasteText[kPasteTextCapacity - 1], 0);
  EXPECT_EQ(m.loopSwitch, 1);
  EXPECT_EQ(m.startKey, 0);
  EXPECT_EQ(m.sendKey, 0);
  EXPECT_EQ(m.delayMode, kDelayAutomatic);
}

TEST(MacroEditRules, AnOpenedMacroShowsItsEventsUntilTheFirstKey) {
  Macro m{};
  m.delayMode = kDelayRecorded;
  m.events[0] = {VK_A, 0, {}, 120};
  m.events[1] = {VK_A, 1, {}, 0};
  MacroEditRules rules(m);
  EXPECT_EQ(rules.delayMode(), kDelayRecorded);
  EXPECT_EQ(rules.Tokens(MacroArea::kEvents), u"A|<120ms> A^ ");
  rules.Key(false, VK_B, 0, 500);
  rules.Key(true, VK_B, 0, 530);
  EXPECT_EQ(rules.Tokens(MacroArea::kEvents), u"B|<30ms> B^ ");
  // Cancelled: the macro itself is as it was (the rules work on their own copy).
  EXPECT_EQ(m.events[0].virtualKey, VK_A);
  // A copy-and-paste macro opens on its keys, the send key current.
  Macro paste{};
  paste.delayMode = kDelayCopyPaste;
  paste.startKeyEvents[0] = {VK_LCONTROL, 0, {}, 0};
  paste.sendKeyEvents[0] = {VK_TAB, 0, {}, 0};
  MacroEditRules pasting(paste);
  EXPECT_TRUE(pasting.pasteLayout());
  EXPECT_EQ(pasting.area(), MacroArea::kSendKey);
  EXPECT_EQ(pasting.Tokens(MacroArea::kStartKey), u"LCtrl| ");
  EXPECT_EQ(pasting.Tokens(MacroArea::kSendKey), u"Tab| ");
}

TEST(MacroEditRules, TheEventsAreaHoldsThreeHundredTwentyEvents) {
  MacroEditRules rules;
  int accepted = 0;
  for (int i = 0; i < 200; ++i) {
    accepted += rules.Key(false, VK_A, 0, 0) == Outcome::kAccepted;
    accepted += rules.Key(true, VK_A, 0, 0) == Outcome::kAccepted;
  }
  EXPECT_EQ(accepted, kMacroEventCount);
  EXPECT_EQ(rules.Build({}).events[kMacroEventCount - 1].keyUp, 1);
}

// A key whose release went elsewhere (the focus left, the editor closed while it was held) is
// released at the end of the saved macro, so that playing it leaves no key held.
TEST(MacroEditRules, KeysStillDownAreReleasedAtTheEnd) {
  MacroEditRules rules;
  rules.SetDelayMode(kDelayNone);
  rules.Key(false, VK_LSHIFT, 0, 0);
  rules.Key(false, VK_A, 0, 0);
  rules.Key(true, VK_A, 0, 0);
  rules.Key(false, VK_B, 0, 0);
  const Macro m = rules.Build({});
  const std::vector<std::pair<int, int>> expected = {{VK_LSHIFT, 0}, {VK_A, 0}, {VK_A, 1}, {VK_B, 0},
                                                     {VK_LSHIFT, 1}, {VK_B, 1}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(m.events[i].virtualKey, expected[i].first) << i;
    EXPECT_EQ(m.events[i].keyUp, expected[i].second) << i;
  }
  EXPECT_EQ(m.events[expected.size()].virtualKey, 0);
}

TEST(PasteText, CharactersOutsideWindows1252AreFound) {
  EXPECT_EQ(FirstCharacterOutsideWindows1252(u"/yell Hello, caf\u00e9 \u20ac5"), 0);
  EXPECT_EQ(FirstCharacterOutsideWindows1252(u"ok \u65e5\u672c"), u'\u65e5');
  EXPECT_EQ(FirstCharacterOutsideWindows1252(u"\u0394"), u'\u0394');
  EXPECT_EQ(FirstCharacterOutsideWindows1252(u""), 0);
}

}  // namespace
}  // namespace orv
