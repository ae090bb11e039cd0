#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/input/clipboard_text.h"
#include "platform/input/input_codes.h"
#include "platform/input/record_injector.h"
#include "tests/test_support.h"

namespace orv {
namespace {

using test::N;
using test::U;

RecordedInput Key(uint16_t vk, uint16_t scan, uint32_t flags, uint64_t extra, uint32_t t) {
  RecordedInput in;
  in.kind = RecordedInput::Kind::kKey;
  in.virtualKey = vk;
  in.scanCode = scan;
  in.flags = flags;
  in.extra = extra;
  in.time = t;
  return in;
}

RecordedInput Mouse(int32_t dx, int32_t dy, uint32_t flags, uint32_t data, uint32_t t) {
  RecordedInput in;
  in.kind = RecordedInput::Kind::kMouse;
  in.dx = dx;
  in.dy = dy;
  in.flags = flags;
  in.mouseData = data;
  in.time = t;
  return in;
}

RecordedInput Clipboard(bool ansi, std::u16string text, uint32_t t) {
  RecordedInput in;
  in.kind = RecordedInput::Kind::kClipboard;
  in.ansi = ansi;
  in.text = std::move(text);
  in.time = t;
  return in;
}

RecordedInput Layout(uint32_t layout, uint32_t t) {
  RecordedInput in;
  in.kind = RecordedInput::Kind::kLayout;
  in.layout = layout;
  in.time = t;
  return in;
}

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(InputRecordLines, FormatAndParseEveryKind) {
  const std::pair<RecordedInput, std::string> cases[] = {
      {Key(67, 46, 0, 0, 1234), "key vk=67 scan=46 flags=0 extra=0 t=1234\n"},
      {Key(VK_SPACE, 0x39, 3, 0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFu),
       "key vk=32 scan=57 flags=3 extra=18446744073709551615 t=4294967295\n"},
      {Mouse(0, 0, MOUSEEVENTF_LEFTDOWN, 0, 7), "mouse dx=0 dy=0 flags=0x2 data=0 extra=0 t=7\n"},
      {Mouse(0, 0, MOUSEEVENTF_XUP, XBUTTON2, 8), "mouse dx=0 dy=0 flags=0x100 data=2 extra=0 t=8\n"},
      {Mouse(-5, 9, MOUSEEVENTF_WHEEL | MOUSEEVENTF_MOVE, static_cast<uint32_t>(-WHEEL_DELTA), 9),
       "mouse dx=-5 dy=9 flags=0x801 data=-120 extra=0 t=9\n"},
      {Layout(kUsLayout, 10), "layout 04090409 t=10\n"},
      {Layout(0xF0000001, 11), "layout F0000001 t=11\n"},
      {Clipboard(true, U("/say Café"), 12), "clipboard format=ansi t=12 text=/say Café\n"},
      {Clipboard(false,
                 U("a\\b\nc\rd\te\x01"
                   "f\x7f g €"),
                 13),
       "clipboard format=unicode t=13 text=a\\\\b\\nc\\rd\\te\\x01f\\x7F g €\n"},
      {Clipboard(false, u"", 14), "clipboard format=unicode t=14 text=\n"},
  };
  for (const auto& [input, line] : cases) {
    EXPECT_EQ(FormatRecordLine(input), line);
    std::optional<RecordedInput> back = ParseRecordLine(line);
    ASSERT_TRUE(back.has_value()) << line;
    EXPECT_EQ(*back, input) << line;
    // Without its line feed too.
    EXPECT_TRUE(ParseRecordLine(std::string_view(line).substr(0, line.size() - 1)).has_value()) << line;
  }
}

TEST(InputRecordLines, MalformedLinesAreRefused) {
  const char* bad[] = {
      "",
      "key vk=67 scan=46 flags=0 extra=0",             // no time
      "key vk=67 scan=46 flags=0 extra=0 t=1 more",    // trailing field
      "key vk=70000 scan=46 flags=0 extra=0 t=1",      // out of range
      "key vk=-1 scan=46 flags=0 extra=0 t=1",         // negative key
      "key vk=+1 scan=46 flags=0 extra=0 t=1",         // sign
      "key scan=46 vk=67 flags=0 extra=0 t=1",         // order
      "key  vk=67 scan=46 flags=0 extra=0 t=1",        // two spaces
      "key vk=67 scan=46 flags=0 extra=0 t=1\nkey",    // two lines
      "mouse dx=0 dy=0 flags=2 data=0 extra=0 t=1",    // flags not hex
      "mouse dx=0 dy=0 flags=0x2 data=x extra=0 t=1",  // data not a number
      "layout 4090409 t=1",                            // seven digits
      "layout 0409040Z t=1",
      "clipboard format=ascii t=1 text=x",
      "clipboard format=ansi t=1 txt=x",
      "clipboard format=ansi t=1 text=bad\\q",
      "clipboard format=ansi t=1 text=cut\\x4",
      "clipboard format=ansi t=1 text=\\xC3",  // not UTF-8
      "press vk=67",
  };
  for (const char* line : bad) EXPECT_FALSE(ParseRecordLine(line).has_value()) << line;
}

TEST(InputRecordInjector, WritesOneLinePerInputAndKeepsThemInMemory) {
  test::TempDir dir;
  const std::string path = dir / "new/folder/input.log";
  VirtualClock clock;
  clock.Advance(100);
  RecordInjector recorder(path, true, &clock);
  ASSERT_TRUE(recorder.Open());
  EXPECT_STREQ(recorder.Name(), "record");

  EXPECT_TRUE(recorder.SendKey(VK_C, 0x2E, 0, 0));
  clock.Sleep(50);
  EXPECT_TRUE(recorder.SendKey(VK_C, 0x2E, KEYEVENTF_KEYUP, 42));
  EXPECT_TRUE(recorder.SendMouse(0, 0, MOUSEEVENTF_XDOWN, XBUTTON1, 0));
  EXPECT_TRUE(recorder.SendMouse(0, 0, MOUSEEVENTF_WHEEL, static_cast<uint32_t>(-WHEEL_DELTA), 0));
  EXPECT_TRUE(recorder.SetClipboardText(u"two\nlines", false));
  EXPECT_TRUE(recorder.RequestLayout(kUsLayout));

  const std::vector<RecordedInput> expected = {
      Key(VK_C, 0x2E, 0, 0, 100),
      Key(VK_C, 0x2E, KEYEVENTF_KEYUP, 42, 150),
      Mouse(0, 0, MOUSEEVENTF_XDOWN, XBUTTON1, 150),
      Mouse(0, 0, MOUSEEVENTF_WHEEL, static_cast<uint32_t>(-WHEEL_DELTA), 150),
      Clipboard(false, u"two\nlines", 150),
      Layout(kUsLayout, 150),
  };
  EXPECT_EQ(recorder.Inputs(), expected);
  EXPECT_EQ(test::ReadFile(path),
            "key vk=67 scan=46 flags=0 extra=0 t=100\n"
            "key vk=67 scan=46 flags=2 extra=42 t=150\n"
            "mouse dx=0 dy=0 flags=0x80 data=1 extra=0 t=150\n"
            "mouse dx=0 dy=0 flags=0x800 data=-120 extra=0 t=150\n"
            "clipboard format=unicode t=150 text=two\\nlines\n"
            "layout 04090409 t=150\n");

  // A reader of the file gets the same inputs; a line still being written is left out and a
  // foreign line is counted.
  std::string bytes = test::ReadFile(path) + "garbage\nkey vk=1";
  test::WriteFile(path, bytes);
  std::vector<RecordedInput> read;
  size_t malformed = 0;
  ASSERT_TRUE(ReadRecordFile(path, read, &malformed));
  EXPECT_EQ(read, expected);
  EXPECT_EQ(malformed, 1u);

  recorder.ClearInputs();
  EXPECT_TRUE(recorder.Inputs().empty());
  std::vector<RecordedInput> none;
  EXPECT_FALSE(ReadRecordFile(dir / "missing.log", none));
}

TEST(InputRecordInjector, LinesOfTwoInjectorsOnOneFileNeverMix) {
  test::TempDir dir;
  const std::string path = dir / "input.log";
  RecordInjector first(path), second(path);
  ASSERT_TRUE(first.Open());
  ASSERT_TRUE(second.Open());
  constexpr int kLines = 2000;
  const std::u16string longText(300, u'x');  // long lines make a torn write likely to show
  auto run = [&](RecordInjector& recorder, uint16_t vk) {
    for (int i = 0; i < kLines; ++i) {
      recorder.SendKey(vk, 0, 0, static_cast<uint64_t>(i));
      recorder.SetClipboardText(longText, false);
    }
  };
  std::thread a(run, std::ref(first), VK_A), b(run, std::ref(second), VK_B);
  a.join();
  b.join();
  std::vector<RecordedInput> read;
  size_t malformed = 0;
  ASSERT_TRUE(ReadRecordFile(path, read, &malformed));
  EXPECT_EQ(malformed, 0u);
  ASSERT_EQ(read.size(), 4u * kLines);
  uint64_t nextA = 0, nextB = 0;
  for (const RecordedInput& in : read) {
    if (in.kind == RecordedInput::Kind::kClipboard) {
      EXPECT_EQ(in.text, longText);
      continue;
    }
    ASSERT_EQ(in.kind, RecordedInput::Kind::kKey);
    EXPECT_EQ(in.extra, in.virtualKey == VK_A ? nextA++ : nextB++);  // each writer's lines in order
  }
  EXPECT_EQ(nextA, uint64_t{kLines});
  EXPECT_EQ(nextB, uint64_t{kLines});
}

TEST(InputRecordInjector, AFileThatCannotBeWrittenIsAFailureNotASuccess) {
  RecordInjector recorder("/proc/orv-no-such-folder/input.log", true);
  EXPECT_FALSE(recorder.Open());
  EXPECT_FALSE(recorder.SendKey(VK_A, 0x1E, 0, 0));
  EXPECT_FALSE(recorder.SendMouse(0, 0, MOUSEEVENTF_LEFTDOWN, 0, 0));
  EXPECT_FALSE(recorder.SetClipboardText(u"x", true));
  EXPECT_EQ(recorder.Inputs().size(), 3u);  // still kept for whoever looks in memory

  RecordInjector memoryOnly("", true);
  EXPECT_TRUE(memoryOnly.Open());
  EXPECT_TRUE(memoryOnly.SendKey(VK_A, 0x1E, 0, 0));
  EXPECT_EQ(memoryOnly.Inputs().size(), 1u);
}

TEST(InputRecordInjector, LayoutSwitchAndRestoreAreRecorded) {
  RecordInjector recorder("", true);
  EXPECT_EQ(recorder.ForegroundLayout(), kUsLayout);
  constexpr uint32_t kGerman = 0x04070407;
  recorder.SetForegroundLayout(kGerman);  // the user's own layout: no line
  const uint32_t remembered = recorder.ForegroundLayout();
  EXPECT_EQ(remembered, kGerman);
  EXPECT_TRUE(recorder.RequestLayout(kUsLayout));
  EXPECT_EQ(recorder.ForegroundLayout(), kUsLayout);
  EXPECT_TRUE(recorder.RequestLayout(remembered));
  EXPECT_EQ(recorder.ForegroundLayout(), kGerman);
  const std::vector<RecordedInput> inputs = recorder.Inputs();
  ASSERT_EQ(inputs.size(), 2u);
  EXPECT_EQ(inputs[0].layout, kUsLayout);
  EXPECT_EQ(inputs[1].layout, kGerman);
  EXPECT_EQ(FormatRecordLine(inputs[1]).substr(0, 16), "layout 04070407 ");
}

TEST(InputClipboardText, AnsiFormIsComposedWindows1252CutTo259Bytes) {
  const std::string a258(258, 'a');
  const struct {
    std::u16string text;
    std::string bytes;
  } cases[] = {
      {u"plain", "plain"},
      {U("Cafe\xCC\x81"), "Caf\xE9"},  // e + combining acute
      {U("A\xCC\x8A"
         "ngstr\xC3\xB6m"),
       "\xC5ngstr\xF6m"},  // A + ring, precomposed o-umlaut kept
      {U("S\xCC\x8C"
         "koda z\xCC\x8C"),
       "\x8Akoda \x9E"},                        // carons outside Latin-1
      {U("Y\xCC\x88 c\xCC\xA7"), "\x9F \xE7"},  // Y-diaeresis, c-cedilla
      {U("q\xCC\x81"), "q?"},                   // no precomposed q-acute in the code page
      {U("\xCC\x81"
         "e"),
       "?e"},                           // a mark before its letter composes nothing
      {U("\xE2\x82\xAC 5"), "\x80 5"},  // euro sign
      {U("\xE4\xB8\xAD\xF0\x9F\x98\x80!"),
       "?"
       "?!"},                                              // one '?' per character, a pair is one
      {std::u16string(u"ab\0cd", 5), "ab"},                // the clipboard text ends at a zero
      {std::u16string(300, u'x'), std::string(259, 'x')},  // cut to fit
      // Composition comes before the cut: the 259th byte is the composed letter.
      {U(a258 + "e\xCC\x81xyz"), a258 + "\xE9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AnsiClipboardBytes(c.text), c.bytes) << N(c.text);
    EXPECT_LE(AnsiClipboardBytes(c.text).size(), kAnsiClipboardBytes);
  }
  // The Unicode form keeps the text as it is, up to a zero.
  EXPECT_EQ(ClipboardText(U("Cafe\xCC\x81"), false), U("Cafe\xCC\x81"));
  EXPECT_EQ(ClipboardText(std::u16string(300, u'x'), false).size(), 300u);
  EXPECT_EQ(ClipboardText(std::u16string(u"ab\0cd", 5), false), u"ab");
  EXPECT_EQ(ClipboardText(U("S\xCC\x8C \xE2\x82\xAC"), true), U("\xC5\xA0 \xE2\x82\xAC"));
}

TEST(InputRecordInjector, RecordsTheClipboardAsItsFormHoldsIt) {
  RecordInjector recorder("", true);
  const std::u16string text = U(std::string(300, 'a') + "e\xCC\x81");
  EXPECT_TRUE(recorder.SetClipboardText(text, true));
  EXPECT_TRUE(recorder.SetClipboardText(text, false));
  const std::vector<RecordedInput> inputs = recorder.Inputs();
  ASSERT_EQ(inputs.size(), 2u);
  EXPECT_TRUE(inputs[0].ansi);
  EXPECT_EQ(inputs[0].text, std::u16string(259, u'a'));
  EXPECT_FALSE(inputs[1].ansi);
  EXPECT_EQ(inputs[1].text, text);
}

TEST(InputCreateInjector, ChoicesAndTheirFallbacks) {
  test::TempDir dir;
  ScopedEnv noDisplay("DISPLAY", nullptr);
  const std::string fallback = dir / "Conf/input.log";
  const std::string missingUinput = dir / "no-uinput";
  const struct {
    std::string choice;
    std::string path;  // where the injector records
    bool complains;    // one line on standard error
  } cases[] = {
      {"", fallback, true},  // auto: no uinput, no display
      {"auto", fallback, true},      {"record:" + dir / "mine.log", dir / "mine.log", false},
      {"record", fallback, false},   {"record:", fallback, false},
      {"uinput", fallback, true},    {"xtest", fallback, true},
      {"telepathy", fallback, true},
  };
  for (const auto& c : cases) {
    std::remove(c.path.c_str());
    testing::internal::CaptureStderr();
    std::unique_ptr<InputInjector> injector = CreateInjector(c.choice, fallback, missingUinput);
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_NE(injector, nullptr) << c.choice;
    EXPECT_STREQ(injector->Name(), "record") << c.choice;
    if (c.complains) {
      EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << c.choice << ": " << said;
      EXPECT_NE(said.find(fallback), std::string::npos) << said;
    } else {
      EXPECT_EQ(said, "") << c.choice;
    }
    EXPECT_TRUE(injector->SendKey(VK_A, 0x1E, 0, 0)) << c.choice;
    EXPECT_EQ(test::ReadFile(c.path).substr(0, 24), "key vk=65 scan=30 flags=") << c.choice;
  }
}

TEST(InputCreateInjector, ChoiceComesFromTheEnvironment) {
  {
    ScopedEnv unset("ORV_INPUT", nullptr);
    EXPECT_EQ(InjectorChoiceFromEnvironment(), "");
  }
  ScopedEnv set("ORV_INPUT", "record:/tmp/x.log");
  EXPECT_EQ(InjectorChoiceFromEnvironment(), "record:/tmp/x.log");
}

}  // namespace
}  // namespace orv
