#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <vector>
#include <sys/stat.h>

#include "base/byte_order.h"
#include "base/files.h"
#include "base/registry_store.h"
#include "base/text.h"
#include "tests/test_support.h"

namespace orv {
namespace {

TEST(AtomicFile, ReplacesWholeAndKeepsPermissions) {
  test::TempDir dir;
  const std::string path = dir / "file.xml";
  ASSERT_TRUE(ReplaceFileContents(path, {"abc", "", "def"}));
  EXPECT_EQ(test::ReadFile(path), "abcdef");
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(ReplaceFileContents(path, {"x"}));
  EXPECT_EQ(test::ReadFile(path), "x");
  struct stat st {};
  ::stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // Through a symbolic link the target is replaced and the link stays.
  const std::string link = dir / "link.xml";
  std::filesystem::create_symlink(path, link);
  ASSERT_TRUE(ReplaceFileContents(link, {"via link"}));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test::ReadFile(path), "via link");
  // Failures leave nothing behind.
  EXPECT_FALSE(ReplaceFileContents(dir / "missing/file", {"x"}));
  EXPECT_FALSE(ReplaceFileContents(dir.path(), {"x"}));
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2);
}

// Whatever stands where a file is read, the read ends at once with a reason, and nothing but a
// regular file within the caller's bound is read or replaced.
TEST(Files, OnlyARegularFileWithinItsBoundIsReadAndNothingWaits) {
  test::TempDir dir;
  constexpr size_t kBound = 64;
  test::WriteFile(dir / "plain", std::string(kBound, 'x'));
  std::filesystem::create_symlink(dir / "plain", dir / "link to plain");
  struct Case {
    std::string name;
    FileRead expected;
    std::string what;
  };
  std::vector<Case> cases = {{"plain", FileRead::kRead, "a regular file"},
                             {"link to plain", FileRead::kRead, "a link to it"},
                             {"missing", FileRead::kMissing, "nothing"},
                             {"plain/below a file", FileRead::kMissing, "a path through a file"}};
  const FileRead refusals[] = {FileRead::kNotAFile, FileRead::kNotAFile, FileRead::kNotAFile, FileRead::kTooLarge};
  for (size_t i = 0; i < std::size(test::kSpecialFiles); ++i) {
    const std::string name = "special " + std::to_string(i);
    ASSERT_TRUE(test::MakeSpecialFile(dir / name, test::kSpecialFiles[i], kBound)) << name;
    cases.push_back({name, refusals[i], test::SpecialFileName(test::kSpecialFiles[i])});
  }
  cases.push_back({"/dev/null", FileRead::kNotAFile, "a device"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = c.name.front() == '/' ? c.name : dir / c.name;
    std::string bytes = "old", copied;
    FileRead outcome = FileRead::kFailed;
    bool read = false, replaced = false;
    EXPECT_TRUE(test::FinishesWithin(1000, [&] {
      outcome = ReadFileBounded(path, bytes, kBound);
      read = ReadWholeFile(path, copied, kBound);
      // A write never replaces what is not a regular file either.
      if (c.expected == FileRead::kNotAFile && c.name.front() != '/') replaced = ReplaceFileContents(path, {"new"});
    }, path)) << c.name;
    EXPECT_EQ(outcome, c.expected) << c.name << ": " << FileReadText(outcome);
    EXPECT_EQ(bytes.size(), c.expected == FileRead::kRead ? kBound : 0u) << c.name;
    EXPECT_EQ(read, c.expected == FileRead::kRead) << c.name;
    if (c.expected == FileRead::kNotAFile && c.name.front() != '/') {
      EXPECT_FALSE(replaced) << c.name;
      EXPECT_FALSE(std::filesystem::is_regular_file(path)) << c.name;
    }
  }
  EXPECT_EQ(test::ReadFile("/dev/null"), "");  // untouched, also when the tests run as root
  // One byte under the bound is still read; a file that grows past it while it is read (as
  // /proc files, whose size says 0, can) is not.
  std::string bytes;
  EXPECT_EQ(ReadFileBounded(dir / "plain", bytes, kBound - 1), FileRead::kTooLarge);
  EXPECT_EQ(ReadFileBounded("/proc/self/status", bytes, 16), FileRead::kTooLarge);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(ReadFileBounded("/proc/self/status", bytes, kMaxProcFileSize), FileRead::kRead);
  EXPECT_NE(bytes.find("Uid:"), std::string::npos);
  // A copy is made only from a file the bound allows.
  EXPECT_FALSE(CopyFileIfMissing(dir / "plain", dir / "copy", kBound - 1));
  EXPECT_FALSE(std::filesystem::exists(dir / "copy"));
  EXPECT_FALSE(CopyFileIfMissing(dir / "special 0", dir / "copy", kBound));  // the FIFO
}

TEST(Files, DefaultFilesAreCopiedOnlyWhereNoneExists) {
  test::TempDir dir;
  test::WriteFile(dir / "default.xml", "default");
  EXPECT_TRUE(CopyFileIfMissing(dir / "default.xml", dir / "copy.xml", 1024));
  EXPECT_EQ(test::ReadFile(dir / "copy.xml"), "default");
  test::WriteFile(dir / "user.xml", "the user's own");
  EXPECT_FALSE(CopyFileIfMissing(dir / "default.xml", dir / "user.xml", 1024));
  EXPECT_EQ(test::ReadFile(dir / "user.xml"), "the user's own");
  EXPECT_FALSE(CopyFileIfMissing(dir / "missing.xml", dir / "other.xml", 1024));
  EXPECT_FALSE(std::filesystem::exists(dir / "other.xml"));
}

TEST(RegistryStore, KeepsOtherLinesAndUpdatesInPlace) {
  test::TempDir dir;
  const std::string path = dir / "sub/Registry.ini";
  RegistryStore r(path);
  ASSERT_TRUE(r.Open());  // the folder is created, a missing file is empty
  r.SetValue("Control Panel\\Mouse", "DoubleClickSpeed", "500");
  r.SetValue("Control Panel\\Desktop", "WheelScrollLines", "3");
  r.SetValue("Control Panel\\Mouse", "MouseSensitivity", "10");
  ASSERT_TRUE(r.Commit());
  EXPECT_EQ(test::ReadFile(path),
            "[Control Panel\\Mouse]\nDoubleClickSpeed=500\nMouseSensitivity=10\n\n[Control Panel\\Desktop]\nWheelScrollLines=3\n");

  test::WriteFile(path, "; note\r\n[Other]\r\nX=1\r\n[control panel\\mouse]\r\ndoubleclickspeed = 200\r\n");
  RegistryStore again(path);
  ASSERT_TRUE(again.Open());
  EXPECT_EQ(again.GetValue("Control Panel\\Mouse", "DoubleClickSpeed"), "200");
  EXPECT_EQ(again.GetValue("Other", "Missing"), std::nullopt);
  again.SetValue("Control Panel\\Mouse", "DoubleClickSpeed", "650");
  ASSERT_TRUE(again.Commit());
  EXPECT_EQ(test::ReadFile(path), "; note\n[Other]\nX=1\n[control panel\\mouse]\nDoubleClickSpeed=650\n");
}

TEST(RegistryStore, CannotOpenWhereItsFolderCannotBe) {
  test::TempDir dir;
  test::WriteFile(dir / "file", "x");
  EXPECT_FALSE(RegistryStore(dir / "file/Registry.ini").Open());
  // An unreadable store (a folder in its place) cannot be opened either, nor anything else
  // that is no regular file of a store's size.
  std::filesystem::create_directory(dir / "Registry.ini");
  EXPECT_FALSE(RegistryStore(dir / "Registry.ini").Open());
  for (test::SpecialFile kind : test::kSpecialFiles) {
    const std::string path = dir / ("special " + std::to_string(static_cast<int>(kind)));
    ASSERT_TRUE(test::MakeSpecialFile(path, kind, kMaxRegistryFileSize));
    bool opened = true;
    EXPECT_TRUE(test::FinishesWithin(1000, [&] { opened = RegistryStore(path).Open(); }, path)) << path;
    EXPECT_FALSE(opened) << path;
  }
}

TEST(FixedTextFields, CutToFitAndZeroFill) {
  char16_t field[5];
  EXPECT_TRUE(CopyText(field, u"abcd"));
  EXPECT_EQ(FieldText(field), u"abcd");
  EXPECT_FALSE(CopyText(field, u"abcdefgh"));
  EXPECT_EQ(FieldText(field), u"abcd");
  EXPECT_EQ(field[4], 0);
  // A cut never leaves half of a surrogate pair.
  EXPECT_FALSE(CopyText(field, u"abc\U0001F600"));
  EXPECT_EQ(FieldText(field), u"abc");
  EXPECT_TRUE(CopyText(field, u"x"));
  for (int i = 1; i < 5; ++i) EXPECT_EQ(field[i], 0);
  // A NUL inside the text ends it.
  CopyText(field, std::u16string_view(u"a\0b", 3));
  EXPECT_EQ(FieldText(field), u"a");
}

TEST(TextConversion, Utf8RoundTripAndReplacement) {
  const std::u16string text = u"Ørvandel \u2122 \U0001F600 ascii";
  EXPECT_EQ(ToUtf16(ToUtf8(text)), text);
  EXPECT_TRUE(IsValidUtf8(ToUtf8(text)));
  // Ill-formed sequences: a lone continuation byte, an overlong form, an encoded surrogate, a cut-off sequence.
  for (std::string_view bad : {"a\x80" "b", "\xC0\xAF", "\xED\xA0\x80", "\xE2\x82"}) {
    EXPECT_FALSE(IsValidUtf8(bad));
    EXPECT_NE(ToUtf16(bad).find(u'\uFFFD'), std::u16string::npos);
  }
  // A lone surrogate is written as U+FFFD.
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(TextConversion, Windows1252BothWays) {
  EXPECT_EQ(DecodeWindows1252("\x80\x99\xE9\x81"), u"\u20AC\u2122\u00E9\u0081");
  size_t lost = 0;
  EXPECT_EQ(EncodeWindows1252(u"\u20AC\u2122\u00E9", &lost), "\x80\x99\xE9");
  EXPECT_EQ(lost, 0u);
  EXPECT_EQ(EncodeWindows1252(u"a\u0416\U0001F600b", &lost), "a??b");
  EXPECT_EQ(lost, 2u);
}

TEST(ByteOrder, PackingRoundTripsAtEveryWidth) {
  uint8_t b[8] = {};
  PutLe64(b, 0x0807060504030201ull);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(b[i], i + 1);
  EXPECT_EQ(GetLe16(b), 0x0201);
  EXPECT_EQ(GetLe24(b), 0x030201u);
  EXPECT_EQ(GetLe32(b), 0x04030201u);
  EXPECT_EQ(GetLe64(b), 0x0807060504030201ull);
  EXPECT_EQ(GetBe16(b), 0x0102);
  PutBe16(b, 0xA1B2);
  EXPECT_EQ(b[0], 0xA1);
  EXPECT_EQ(b[1], 0xB2);
  PutLe32(b, 0xFFFFFFFEu);  // the high bit survives both ways
  EXPECT_EQ(GetLe32(b), 0xFFFFFFFEu);
  std::vector<uint8_t> out;
  AppendLe16(out, 0x1234);
  AppendLe24(out, 0x56789A);
  AppendLe32(out, 0xBCDEF012u);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x34, 0x12, 0x9A, 0x78, 0x56, 0x12, 0xF0, 0xDE, 0xBC}));
  EXPECT_EQ(Le32Bytes(0x11223344u), (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11}));
}

}  // namespace
}  // namespace orv
