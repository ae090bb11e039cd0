#include "device/onboard_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/input/key_usage.h"
#include "profile/function_catalog.h"

namespace orv {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kBuffer = 9216;  // the agent's transfer buffer before the device tells its own

// A zeroed profile with the default button codes.
std::unique_ptr<Profile> DefaultProfile() {
  auto p = std::make_unique<Profile>();
  CopyText(p->profileName, u"Raid");
  for (int b = 0; b < kButtonCount; ++b) {
    p->buttons[b].buttonNumber = static_cast<uint8_t>(b + 1);
    p->buttons[b].code = kDefaultButtonCodes[b];
  }
  return p;
}

struct Ev {
  uint8_t key;
  bool up;
  int delay;
};

void SetMacro(Profile& p, int m, std::u16string_view name, std::initializer_list<Ev> events, int loopSwitch = 0,
              int loopCount = 0, int delayMode = kDelayRecorded) {
  Macro& macro = p.macros[m];
  std::memset(&macro, 0, sizeof macro);
  CopyText(macro.name, name);
  int i = 0;
  for (const Ev& e : events) macro.events[i++] = {e.key, e.up ? uint8_t{1} : uint8_t{0}, {0, 0}, e.delay};
  macro.loopSwitch = loopSwitch;
  macro.loopCount = loopCount;
  macro.delayMode = delayMode;
}

struct Entry {
  int type, offset, length;
};

Entry EntryOf(const OnboardImage& image, int k) {
  const uint8_t* e = &image.header[7 + 5 * k];
  return {e[0], e[1] << 8 | e[2], e[3] << 8 | e[4]};
}

Bytes EntryData(const OnboardImage& image, int k) {
  const Entry e = EntryOf(image, k);
  return Bytes(image.data.begin() + e.offset, image.data.begin() + e.offset + e.length);
}

// The header as the mouse reads it back: the written header from byte 2 on.
Bytes AsRead(const OnboardImage& image) { return Bytes(image.header.begin() + 2, image.header.end()); }

std::unique_ptr<Profile> Decode(const Bytes& header, const Bytes& data, const Profile& active) {
  return std::make_unique<Profile>(
      DecodeOnboardProfile(header.data(), header.size(), data.data(), data.size(), active));
}

std::unique_ptr<Profile> RoundTrip(const Profile& p, const Profile& active) {
  const OnboardImage image = EncodeOnboardProfile(p, kBuffer);
  EXPECT_TRUE(image.complete);
  return Decode(AsRead(image), image.data, active);
}

// A header as read back with the given entries (type, offset, length) and data length.
Bytes ReadHeader(std::initializer_list<Entry> entries, size_t dataLength) {
  Bytes h(kOnboardStoredHeaderSize, 0);
  h[0] = 14;
  h[2] = 75;
  h[3] = static_cast<uint8_t>(dataLength >> 8);
  h[4] = static_cast<uint8_t>(dataLength);
  int k = 0;
  for (const Entry& e : entries) {
    uint8_t* at = &h[5 + 5 * k++];
    at[0] = static_cast<uint8_t>(e.type);
    at[1] = static_cast<uint8_t>(e.offset >> 8);
    at[2] = static_cast<uint8_t>(e.offset);
    at[3] = static_cast<uint8_t>(e.length >> 8);
    at[4] = static_cast<uint8_t>(e.length);
  }
  return h;
}

// --- Encoding ---------------------------------------------------------------------------------

TEST(OnboardEncode, DefaultProfileHeaderAndData) {
  auto p = DefaultProfile();
  const OnboardImage image = EncodeOnboardProfile(*p, kBuffer);
  EXPECT_TRUE(image.complete);
  // Written out by hand: mouse buttons 1-5 first, then Tab, G, Ctrl+Tab, T, F1, Shift+M, F, B, M.
  const Bytes header = {
      0,  0, 14, 0, 75, 0, 23,  //
      1,  0, 0,  0, 0,          // entry 0: left
      2,  0, 0,  0, 0,          // entry 1: right
      3,  0, 0,  0, 0,          // entry 2: universal scroll, middle
      4,  0, 0,  0, 0,          // entry 3 (button 8): fourth
      5,  0, 0,  0, 0,          // entry 4 (button 7): fifth
      16, 0, 0,  0, 1,          // entry 5 (button 6): Tab
      16, 0, 1,  0, 1,          // entry 6 (button 10): G
      32, 0, 2,  0, 8,          // entry 7 (button 9): Ctrl+Tab
      16, 0, 10, 0, 1,          // entry 8 (button 11): T
      16, 0, 11, 0, 1,          // entry 9 (button 13): F1
      32, 0, 12, 0, 8,          // entry 10 (button 12): Shift+M
      16, 0, 20, 0, 1,          // entry 11 (button 3): F
      16, 0, 21, 0, 1,          // entry 12 (button 4): B
      16, 0, 22, 0, 1,          // entry 13 (button 5): M
  };
  EXPECT_EQ(Bytes(image.header.begin(), image.header.end()), header);
  const Bytes data = {43, 10, 97, 224, 97, 43, 98, 43, 98, 224, 23, 58, 97, 225, 97, 16, 98, 16, 98, 225, 9, 5, 16};
  EXPECT_EQ(image.data, data);
}

TEST(OnboardEncode, SensitivityStepStoresItsStep) {
  auto p = DefaultProfile();
  p->buttons[0].code = 18;
  const OnboardImage image = EncodeOnboardProfile(*p, kBuffer);
  const Entry e = EntryOf(image, 0);
  EXPECT_EQ(e.type, 53);
  EXPECT_EQ(e.offset, 0);
  EXPECT_EQ(e.length, 1);
  EXPECT_EQ(EntryData(image, 0), Bytes{4});
}

TEST(OnboardEncode, TypesWithoutData) {
  struct Case {
    int code, type;
  };
  const Case cases[] = {{1, 1}, {2, 2},   {4, 4},   {5, 5},    {6, 3},   {101, 3},
                        {9, 0}, {22, 52}, {23, 51}, {603, 49}, {604, 50}};
  for (const Case& c : cases) {
    auto p = DefaultProfile();
    p->buttons[6].code = c.code;  // entry 5
    const OnboardImage image = EncodeOnboardProfile(*p, kBuffer);
    EXPECT_EQ(EntryOf(image, 5).type, c.type) << c.code;
    EXPECT_EQ(EntryOf(image, 5).length, 0) << c.code;
    EXPECT_EQ(EntryOf(image, 5).offset, 0) << c.code;
  }
}

TEST(OnboardEncode, CodesTheMouseCannotHoldGetTheEntryIndexPlusOne) {
  for (int code : {11, 12, 13, 32, 41, 42, 43, 80, 81, 82, 7, 0, -1, 1050, 1200}) {
    auto p = DefaultProfile();
    for (int b = 0; b < kButtonCount; ++b) p->buttons[b].code = code;
    const OnboardImage image = EncodeOnboardProfile(*p, kBuffer);
    for (int k = 0; k < 14; ++k) {
      EXPECT_EQ(EntryOf(image, k).type, k + 1) << code;
      EXPECT_EQ(EntryOf(image, k).length, 0) << code;
    }
    EXPECT_TRUE(image.data.empty());
  }
}

TEST(OnboardEncode, ChordScriptsAndDoubleClick) {
  struct Case {
    int code;
    Bytes script;
  };
  const Case cases[] = {
      {3, {100, 0, 101, 0, 100, 0, 101, 0}},
      {209, {97, 224, 97, 225, 97, 78, 98, 78, 98, 225, 98, 224}},  // Ctrl, Shift, Page Down
      {404, {97, 224, 97, 225, 97, 43, 98, 43, 98, 225, 98, 224}},
      {351, {97, 225, 97, 82, 98, 82, 98, 225}},
      {352, {97, 225, 97, 81, 98, 81, 98, 225}},
      {707, {97, 226, 97, 29, 98, 29, 98, 226}},  // Alt+Z
  };
  for (const Case& c : cases) {
    auto p = DefaultProfile();
    p->buttons[0].code = c.code;
    const OnboardImage image = EncodeOnboardProfile(*p, kBuffer);
    EXPECT_EQ(EntryOf(image, 0).type, 32) << c.code;
    EXPECT_EQ(EntryData(image, 0), c.script) << c.code;
  }
}

TEST(OnboardEncode, MacroScripts) {
  struct Case {
    const char* what;
    std::initializer_list<Ev> events;
    int loopSwitch, loopCount;
    Bytes script;
  };
  const Case cases[] = {
      {"delays", {{'A', false, 30}, {'A', true, 120}}, 0, 0, {97, 4, 98, 4, 104, 2}},
      {"loop", {{'A', false, 0}, {'A', true, 0}}, 1, 3, {97, 4, 98, 4, 99, 3}},
      {"no loop while switched off", {{'B', false, 0}}, 0, 5, {97, 5}},
      {"key outside the table", {{0x07, false, 0}, {0x07, true, 0}}, 0, 0, {97, 255, 98, 255}},
      {"delay edges",
       {{'1', false, 49}, {'1', true, 50}, {'2', false, -100}, {'2', true, 20000}},
       0,
       0,
       {97, 30, 98, 30, 104, 1, 97, 31, 98, 31, 104, 255}},
      {"loop count above a byte", {{'C', false, 0}}, 1, 300, {97, 6, 99, 255}},
      {"negative loop count", {{'C', false, 0}}, 1, -2, {97, 6}},
      {"no events", {}, 0, 0, {}},
  };
  for (const Case& c : cases) {
    auto p = DefaultProfile();
    SetMacro(*p, 4, u"m", c.events, c.loopSwitch, c.loopCount);
    p->buttons[5].code = 1004;  // entry 13
    const OnboardImage image = EncodeOnboardProfile(*p, kBuffer);
    EXPECT_EQ(EntryOf(image, 13).type, 32) << c.what;
    EXPECT_EQ(EntryData(image, 13), c.script) << c.what;
    // The panel's estimate counts exactly what is written.
    EXPECT_EQ(static_cast<int>(c.script.size()), MacroOnboardUnits(p->macros[4])) << c.what;
  }
}

TEST(OnboardEncode, MacroLoopingZeroTimesStoresNothing) {
  auto p = DefaultProfile();
  SetMacro(*p, 0, u"m", {{'A', false, 100}}, 1, 0);
  p->buttons[0].code = 1000;
  const OnboardImage image = EncodeOnboardProfile(*p, kBuffer);
  EXPECT_EQ(EntryOf(image, 0).type, 0);
  EXPECT_EQ(EntryOf(image, 0).length, 0);
  EXPECT_EQ(EntryOf(image, 5).offset, 0);  // the next entry's data starts at the beginning
}

TEST(OnboardEncode, CopyAndPasteMacro) {
  auto p = DefaultProfile();
  SetMacro(*p, 1, u"paste", {{'Z', false, 500}}, 0, 0, kDelayCopyPaste);
  Macro& m = p->macros[1];
  m.startKey = 1;
  m.startKeyEvents[0] = {13, 0, {0, 0}, 0};
  m.startKeyEvents[1] = {13, 1, {0, 0}, 0};
  m.sendKey = 1;
  m.sendKeyEvents[0] = {27, 0, {0, 0}, 0};
  m.sendKeyEvents[1] = {27, 1, {0, 0}, 0};
  CopyText(m.pasteText, u"A1\u00e9");  // the last one has no usage
  p->buttons[0].code = 1001;
  OnboardImage image = EncodeOnboardProfile(*p, kBuffer);
  EXPECT_EQ(EntryOf(image, 0).type, 32);
  EXPECT_EQ(EntryData(image, 0),
            (Bytes{97, 40, 98, 40, 97, 4, 98, 4, 97, 30, 98, 30, 97, 255, 98, 255, 97, 41, 98, 41}));

  m.startKey = 0;
  m.sendKey = 0;
  CopyText(m.pasteText, u"B");
  image = EncodeOnboardProfile(*p, kBuffer);
  EXPECT_EQ(EntryData(image, 0), (Bytes{97, 5, 98, 5}));
}

// Every button holds the same macro of 320 events of 4 bytes: 14 x 1280 bytes do not fit.
TEST(OnboardEncode, DataBeyondTheBufferIsCutBetweenEventsAndReported) {
  auto p = DefaultProfile();
  SetMacro(*p, 0, u"long", {});
  for (int i = 0; i < kMacroEventCount; ++i) p->macros[0].events[i] = {'A', uint8_t(i % 2), {0, 0}, 100};
  for (int b = 0; b < kButtonCount; ++b) p->buttons[b].code = 1000;
  const OnboardImage full = EncodeOnboardProfile(*p, 100000);
  ASSERT_TRUE(full.complete);
  ASSERT_EQ(full.data.size(), 14u * 1280u);
  const Bytes whole = EntryData(full, 0);

  const OnboardImage image = EncodeOnboardProfile(*p, kBuffer);
  EXPECT_FALSE(image.complete);
  EXPECT_LE(image.data.size(), kBuffer - 5);
  EXPECT_EQ(image.header[5] << 8 | image.header[6], static_cast<int>(image.data.size()));
  size_t total = 0;
  bool cut = false;
  for (int k = 0; k < 14; ++k) {
    const Entry e = EntryOf(image, k);
    EXPECT_EQ(e.type, 32);
    EXPECT_EQ(e.offset, static_cast<int>(total));
    EXPECT_EQ(e.length % 4, 0) << "half an event in entry " << k;
    const Bytes got = EntryData(image, k);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), whole.begin())) << k;
    if (cut) {
      EXPECT_EQ(e.length, 0) << "written after the cut: entry " << k;
    }
    if (e.length < 1280) cut = true;
    total += e.length;
  }
  EXPECT_TRUE(cut);
  EXPECT_EQ(total, image.data.size());
}

TEST(OnboardEncode, BufferLimitIsExact) {
  auto p = DefaultProfile();
  SetMacro(*p, 0, u"m", {{'A', false, 100}, {'A', true, 0}, {'B', false, 60}});  // 4 + 2 + 4 bytes
  for (int b = 0; b < kButtonCount; ++b) p->buttons[b].code = 9;
  p->buttons[0].code = 1000;

  OnboardImage image = EncodeOnboardProfile(*p, 10 + 5);
  EXPECT_TRUE(image.complete);
  EXPECT_EQ(image.data, (Bytes{97, 4, 104, 2, 98, 4, 97, 5, 104, 1}));

  image = EncodeOnboardProfile(*p, 10 + 4);  // the last event with its delay does not fit
  EXPECT_FALSE(image.complete);
  EXPECT_EQ(image.data, (Bytes{97, 4, 104, 2, 98, 4}));
  EXPECT_EQ(EntryOf(image, 0).length, 6);

  image = EncodeOnboardProfile(*p, 3);  // no room at all
  EXPECT_FALSE(image.complete);
  EXPECT_TRUE(image.data.empty());
}

TEST(OnboardEncode, NeutralImage) {
  const OnboardImage image = NeutralOnboardImage(3);
  Bytes expected = {3, 0, 14, 0, 75, 0, 0};
  for (int k = 0; k < 14; ++k) expected.insert(expected.end(), {uint8_t(k + 1), 0, 0, 0, 0});
  EXPECT_EQ(Bytes(image.header.begin(), image.header.end()), expected);
  EXPECT_TRUE(image.data.empty());
  EXPECT_TRUE(image.complete);
}

// --- Offer check ------------------------------------------------------------------------------

TEST(OnboardHeader, NeutralIsNeverUsable) {
  const Bytes neutral = AsRead(NeutralOnboardImage(0));
  EXPECT_TRUE(IsNeutralHeader(neutral.data(), neutral.size()));
  EXPECT_FALSE(UsableOnboardHeader(neutral.data(), neutral.size()));

  auto p = DefaultProfile();
  const Bytes stored = AsRead(EncodeOnboardProfile(*p, kBuffer));
  EXPECT_FALSE(IsNeutralHeader(stored.data(), stored.size()));
  EXPECT_TRUE(UsableOnboardHeader(stored.data(), stored.size()));

  Bytes withData = neutral;
  withData[4] = 1;
  EXPECT_FALSE(IsNeutralHeader(withData.data(), withData.size()));
  Bytes swapped = neutral;
  std::swap(swapped[5 + 5 * 6], swapped[5 + 5 * 7]);
  EXPECT_FALSE(IsNeutralHeader(swapped.data(), swapped.size()));
  EXPECT_TRUE(UsableOnboardHeader(swapped.data(), swapped.size()));
  Bytes lastOther = neutral;
  lastOther[5 + 5 * 13] = 49;  // only the first thirteen entries are looked at
  EXPECT_TRUE(IsNeutralHeader(lastOther.data(), lastOther.size()));

  Bytes wrongCount = stored;
  wrongCount[0] = 13;
  EXPECT_FALSE(UsableOnboardHeader(wrongCount.data(), wrongCount.size()));
  EXPECT_FALSE(UsableOnboardHeader(stored.data(), stored.size() - 1));
  EXPECT_FALSE(IsNeutralHeader(neutral.data(), neutral.size() - 1));
  EXPECT_FALSE(UsableOnboardHeader(nullptr, 75));
  EXPECT_FALSE(IsNeutralHeader(nullptr, 75));
}

// --- Decoding ---------------------------------------------------------------------------------

// Every code on every button: what comes back. Codes that cannot be stored come back as the
// button's own mouse function on the first five entries (their entry type is that function's)
// and as BUTTON_OFF elsewhere; 101 is stored as the middle button and comes back as that.
TEST(OnboardDecode, EveryCatalogueCodeComesBack) {
  const int ownFunction[5] = {1, 2, 6, 4, 5};
  int checked = 0;
  for (const CatalogEntry& entry : FunctionCatalog()) {
    if (entry.onboard.kind == OnboardKind::kMacroScript) continue;
    auto p = DefaultProfile();
    for (int b = 0; b < kButtonCount; ++b) p->buttons[b].code = entry.code;
    auto decoded = RoundTrip(*p, *p);
    for (int k = 0; k < 14; ++k) {
      int expected = entry.code;
      if (entry.onboard.kind == OnboardKind::kNotStored) expected = k < 5 ? ownFunction[k] : 9;
      if (entry.code == 101) expected = 6;
      EXPECT_EQ(decoded->buttons[kOnboardEntryButtons[k]].code, expected) << entry.name << " entry " << k;
    }
    EXPECT_EQ(std::memcmp(decoded->macros, p->macros, sizeof p->macros), 0) << entry.name;
    ++checked;
  }
  EXPECT_GT(checked, 150);
}

TEST(OnboardDecode, EveryMacroComesBack) {
  auto p = DefaultProfile();
  for (int m = 0; m < kMacroCount; ++m) {
    // Distinct scripts: key, delay and loop differ from one macro to the next.
    const uint8_t key = static_cast<uint8_t>('A' + m % 26);
    SetMacro(*p, m, u"macro", {{key, false, 50 * (m / 26)}, {key, true, 0}, {'1', false, 0}}, m % 3, 1 + m);
  }
  for (int first = 0; first < kMacroCount; first += kButtonCount) {
    for (int b = 0; b < kButtonCount; ++b) p->buttons[b].code = kFirstMacroCode + std::min(first + b, 49);
    auto decoded = RoundTrip(*p, *p);
    for (int b = 0; b < kButtonCount; ++b) EXPECT_EQ(decoded->buttons[b].code, p->buttons[b].code);
    EXPECT_EQ(std::memcmp(decoded->macros, p->macros, sizeof p->macros), 0);
  }
}

TEST(OnboardDecode, ScriptOfACommandIsThatCommandNotAMacro) {
  auto active = DefaultProfile();
  // A macro with the very same events: the command's lower code wins.
  SetMacro(*active, 0, u"same", {{0xA0, false, 0}, {0x09, false, 0}, {0x09, true, 0}, {0xA0, true, 0}});
  const Bytes data = {97, 225, 97, 43, 98, 43, 98, 225};
  const Bytes header = ReadHeader({{32, 0, 8}}, data.size());
  auto decoded = Decode(header, data, *active);
  EXPECT_EQ(decoded->buttons[0].code, 402);
  EXPECT_EQ(std::memcmp(decoded->macros, active->macros, sizeof active->macros), 0);
}

TEST(OnboardDecode, SimpleTypes) {
  struct Case {
    int type;
    Bytes data;
    int code;
  };
  const Case cases[] = {
      {1, {}, 1},      {2, {}, 2},      {3, {}, 6},     {4, {}, 4},     {5, {}, 5},     {49, {}, 603},
      {50, {}, 604},   {51, {}, 23},    {52, {}, 22},   {53, {1}, 21},  {53, {2}, 20},  {53, {3}, 19},
      {53, {4}, 18},   {53, {5}, 17},   {53, {6}, 16},  {53, {0}, 20},  {53, {9}, 20},  {16, {26}, 102},
      {16, {44}, 108}, {16, {70}, 709}, {16, {6}, 501}, {16, {255}, 9}, {16, {100}, 9}, {16, {4, 4}, 9},
      {0, {}, 9},      {6, {}, 9},      {14, {}, 9},    {33, {}, 9},    {54, {}, 9},    {255, {}, 9},
  };
  auto active = DefaultProfile();
  for (const Case& c : cases) {
    const Bytes header = ReadHeader({{c.type, 0, static_cast<int>(c.data.size())}}, c.data.size());
    auto decoded = Decode(header, c.data, *active);
    EXPECT_EQ(decoded->buttons[0].code, c.code) << "type " << c.type;
  }
}

TEST(OnboardDecode, UnknownScriptBecomesALoadedMacro) {
  auto active = DefaultProfile();
  SetMacro(*active, 0, u"one", {{'Q', false, 0}});
  SetMacro(*active, 1, u"two", {{'W', false, 0}});
  // A down 150 ms, A up, the left button (left out), an unknown usage (left out, with its
  // delay), B down, B up 50 ms, loop 7.
  const Bytes data = {97, 4, 104, 3, 98, 4, 100, 0, 104, 2, 101, 0, 97, 200, 104, 9, 97, 5, 98, 5, 104, 1, 99, 7};
  const Bytes header = ReadHeader({{32, 0, int(data.size())}, {2, 0, 0}, {32, 0, int(data.size())}}, data.size());
  auto decoded = Decode(header, data, *active);
  EXPECT_EQ(decoded->buttons[0].code, 1002);
  EXPECT_EQ(decoded->buttons[1].code, 2);
  EXPECT_EQ(decoded->buttons[2].code, 1002);  // the same script again: the macro just loaded
  const Macro& m = decoded->macros[2];
  EXPECT_EQ(FieldText(m.name), u"LoadFromMouse");
  EXPECT_EQ(m.delayMode, kDelayRecorded);
  EXPECT_EQ(m.loopSwitch, 1);
  EXPECT_EQ(m.loopCount, 7);
  const Ev expected[] = {{'A', false, 150}, {'A', true, 0}, {'B', false, 0}, {'B', true, 50}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(m.events[i].virtualKey, expected[i].key) << i;
    EXPECT_EQ(m.events[i].keyUp != 0, expected[i].up) << i;
    EXPECT_EQ(m.events[i].delay, expected[i].delay) << i;
  }
  EXPECT_EQ(m.events[4].virtualKey, 0);
  EXPECT_EQ(decoded->macros[3].name[0], 0);  // only one slot taken
  EXPECT_EQ(FieldText(decoded->profileName), u"Raid");

  // Re-encoded, the loaded macro is the script without what a macro cannot hold.
  OnboardImage again = EncodeOnboardProfile(*decoded, kBuffer);
  EXPECT_EQ(EntryData(again, 0), (Bytes{97, 4, 104, 3, 98, 4, 97, 5, 98, 5, 104, 1, 99, 7}));
}

TEST(OnboardDecode, LoadedMacroWithoutLoopPlaysOnce) {
  auto active = DefaultProfile();
  const Bytes data = {97, 20, 98, 20};
  auto decoded = Decode(ReadHeader({{32, 0, 4}}, 4), data, *active);
  EXPECT_EQ(decoded->buttons[0].code, 1000);
  EXPECT_EQ(decoded->macros[0].loopSwitch, 0);
  EXPECT_EQ(decoded->macros[0].events[0].virtualKey, 'Q');
  EXPECT_EQ(decoded->macros[0].events[1].keyUp, 1);
  EXPECT_EQ(decoded->macros[0].events[2].virtualKey, 0);
}

TEST(OnboardDecode, ScriptWithNothingAMacroCanHoldIsOff) {
  auto active = DefaultProfile();
  for (const Bytes& data : {Bytes{100, 1, 101, 1, 100, 1}, Bytes{97, 255}, Bytes{}}) {
    auto decoded = Decode(ReadHeader({{32, 0, int(data.size())}}, data.size()), data, *active);
    EXPECT_EQ(decoded->buttons[0].code, 9) << data.size();
    EXPECT_EQ(decoded->macros[0].name[0], 0);
  }
}

TEST(OnboardDecode, LoadedMacroKeepsAtMost320Events) {
  auto active = DefaultProfile();
  Bytes data;
  for (int i = 0; i < 400; ++i) data.insert(data.end(), {uint8_t(i % 2 ? 98 : 97), 4});
  data.insert(data.end(), {99, 2});
  auto decoded = Decode(ReadHeader({{32, 0, int(data.size())}}, data.size()), data, *active);
  ASSERT_EQ(decoded->buttons[0].code, 1000);
  const Macro& m = decoded->macros[0];
  EXPECT_EQ(m.events[kMacroEventCount - 1].virtualKey, 'A');
  EXPECT_EQ(m.loopCount, 2);  // the loop after the last kept event still counts
}

TEST(OnboardDecode, NoFreeMacroSlotIsOff) {
  auto active = DefaultProfile();
  for (int m = 0; m < kMacroCount; ++m) SetMacro(*active, m, u"taken", {{'Z', false, 0}});
  const Bytes data = {97, 4, 98, 4};
  auto decoded = Decode(ReadHeader({{32, 0, 4}}, 4), data, *active);
  EXPECT_EQ(decoded->buttons[0].code, 9);
  EXPECT_EQ(std::memcmp(decoded->macros, active->macros, sizeof active->macros), 0);
}

TEST(OnboardDecode, HeaderThatCannotBeReadLeavesTheProfile) {
  auto active = DefaultProfile();
  active->buttons[0].code = 18;
  Bytes good = ReadHeader({{2, 0, 0}}, 0);
  Bytes wrongCount = good;
  wrongCount[0] = 13;
  const Bytes data;
  for (const Bytes& h : {wrongCount, Bytes(good.begin(), good.end() - 1), Bytes{}}) {
    auto decoded = Decode(h, data, *active);
    EXPECT_EQ(std::memcmp(decoded.get(), active.get(), sizeof(Profile)), 0) << h.size();
  }
  auto fromNull = std::make_unique<Profile>(DecodeOnboardProfile(nullptr, 75, nullptr, 10, *active));
  EXPECT_EQ(std::memcmp(fromNull.get(), active.get(), sizeof(Profile)), 0);
  EXPECT_EQ(Decode(good, data, *active)->buttons[0].code, 2);
}

TEST(OnboardDecode, EntriesLeavingTheDataAreOff) {
  struct Case {
    const char* what;
    Entry entry;
    size_t declared;
    Bytes data;
    int code;
  };
  const Case cases[] = {
      {"key past the end", {16, 4, 1}, 4, {26, 26, 26, 26}, 9},
      {"key at the last byte", {16, 3, 1}, 4, {0, 0, 0, 26}, 102},
      {"step past the end", {53, 2, 1}, 2, {4, 4}, 9},
      {"step without a byte", {53, 0, 0}, 1, {4}, 9},
      {"script longer than the data", {32, 0, 6}, 6, {97, 225, 97, 43}, 9},
      {"script beyond what the header declares", {32, 0, 4}, 2, {97, 4, 98, 4}, 9},
      {"largest offset and length", {32, 0xFFFF, 0xFFFF}, 0xFFFF, {97, 4}, 9},
      {"offset past the end, length 0", {32, 3, 0}, 2, {97, 4}, 9},
      {"type without data but a stray offset", {1, 9, 0}, 2, {0, 0}, 9},
  };
  for (const Case& c : cases) {
    auto active = DefaultProfile();
    const Bytes header = ReadHeader({c.entry}, c.declared);
    // Heap copies of the exact sizes, so that a read past either end is a read past the block.
    auto data = std::make_unique<uint8_t[]>(c.data.size() + 1);
    std::copy(c.data.begin(), c.data.end(), data.get());
    auto decoded = std::make_unique<Profile>(
        DecodeOnboardProfile(header.data(), header.size(), data.get(), c.data.size(), *active));
    EXPECT_EQ(decoded->buttons[0].code, c.code) << c.what;
    EXPECT_EQ(decoded->macros[0].name[0], 0) << c.what;
  }
}

TEST(OnboardDecode, TruncatedScriptsStopAtTheirEnd) {
  auto active = DefaultProfile();
  // The bytes of the data area after a script's end must not be read as part of it.
  const Bytes data = {97, 4, 98, 4, 104, 1, 104, 3};
  struct Case {
    int length;
    int events;
    int lastDelay;
  };
  const Case cases[] = {{3, 1, 0},     // an odd trailing byte
                        {5, 2, 0},     // a delay without its value
                        {6, 2, 50},    // a delay of 1 x 50 ms
                        {7, 2, 50},    // then a delay without its value
                        {8, 2, 200}};  // the whole script: a second delay adds to the first
  for (const Case& c : cases) {
    auto decoded = Decode(ReadHeader({{32, 0, c.length}}, data.size()), data, *active);
    ASSERT_EQ(decoded->buttons[0].code, 1000) << c.length;
    const Macro& m = decoded->macros[0];
    int n = 0;
    while (n < kMacroEventCount && m.events[n].virtualKey) ++n;
    EXPECT_EQ(n, c.events) << c.length;
    EXPECT_EQ(m.events[n - 1].delay, c.lastDelay) << c.length;
  }
}

// Random headers and data areas, biased towards the types and event bytes the format knows.
TEST(OnboardDecode, RandomInputDecodesToValidCodes) {
  std::mt19937 rng(20240611);
  const uint8_t kTypes[] = {0, 1, 2, 3, 4, 5, 6, 16, 16, 32, 32, 32, 49, 50, 51, 52, 53, 53, 99, 255};
  const uint8_t kBytes[] = {97, 98, 99, 100, 101, 104, 4, 5, 43, 225, 224, 255, 0, 1, 3};
  auto pick = [&](auto& table) { return table[rng() % std::size(table)]; };
  auto active = DefaultProfile();
  for (int m = 0; m < 45; ++m) SetMacro(*active, m, u"kept", {{uint8_t('A' + m % 26), false, m * 10}});
  for (int round = 0; round < 3000; ++round) {
    const size_t dataSize = rng() % 48;
    std::vector<uint8_t> data(dataSize);
    for (uint8_t& b : data) b = rng() % 4 ? pick(kBytes) : static_cast<uint8_t>(rng());
    std::vector<uint8_t> header(kOnboardStoredHeaderSize + rng() % 3);
    for (uint8_t& b : header) b = static_cast<uint8_t>(rng());
    if (rng() % 8) header[0] = 14;
    const size_t declared = rng() % 4 ? dataSize + rng() % 3 - 1 : rng() % 0x10000;
    header[3] = static_cast<uint8_t>(declared >> 8);
    header[4] = static_cast<uint8_t>(declared);
    for (size_t k = 0; k < 14; ++k) {
      uint8_t* e = &header[5 + 5 * k];
      if (rng() % 4) e[0] = pick(kTypes);
      if (rng() % 4) {  // mostly small ranges near the data
        const int offset = rng() % (dataSize + 2), length = rng() % (dataSize + 2);
        e[1] = static_cast<uint8_t>(offset >> 8);
        e[2] = static_cast<uint8_t>(offset);
        e[3] = static_cast<uint8_t>(length >> 8);
        e[4] = static_cast<uint8_t>(length);
      }
    }
    auto exact = std::make_unique<uint8_t[]>(dataSize + 1);
    std::copy(data.begin(), data.end(), exact.get());
    auto decoded =
        std::make_unique<Profile>(DecodeOnboardProfile(header.data(), header.size(), exact.get(), dataSize, *active));
    for (int b = 0; b < kButtonCount; ++b) {
      const int code = decoded->buttons[b].code;
      ASSERT_TRUE(code == 9 || (code >= 1 && code <= 1200 && FindFunction(code))) << "round " << round;
      if (const int m = MacroIndexOfCode(code); m >= 0) {
        ASSERT_NE(decoded->macros[m].name[0], 0) << round;
      }
    }
    if (header[0] != 14) {
      ASSERT_EQ(std::memcmp(decoded.get(), active.get(), sizeof(Profile)), 0) << round;
    }
  }
}

}  // namespace
}  // namespace orv
