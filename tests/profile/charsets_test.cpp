#include "profile/charsets.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace orv {
namespace {

using namespace std::string_view_literals;

// Converts `input` with iconv; nullopt when the converter does not open or the input does not
// convert completely. The final flush writes the shift back to the initial state that stateful
// encodings (ISO-2022-*, UTF-7) need at the end of the text.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view input) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  char buffer[256];
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  bool ok = true;
  while (ok) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const bool flushing = inLeft == 0;
    const size_t rc = flushing ? iconv(cd, nullptr, nullptr, &dst, &dstLeft) : iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (rc == static_cast<size_t>(-1) && errno != E2BIG)
      ok = false;
    else if (rc != static_cast<size_t>(-1) && flushing)
      break;
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  return out;
}

bool OpensBothWays(const char* name) {
  for (auto [to, from] : {std::pair{name, "UTF-16LE"}, std::pair{"UTF-16LE", name}}) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
  }
  return true;
}

TEST(Charsets, NamesAndAliasesResolveToTheirCodePage) {
  struct Case {
    std::string_view name;
    int codePage;
  };
  const Case cases[] = {
      {"iso_8859-8", 28598},
      {"cswindows31j", 932},
      {"iso-ir-58", 936},
      {"UTF-8", 65001},
      {"csUTF8", 65001},
      {"UTF-16", 1200},
      {"UTF-16LE", 1200},
      {"UTF-16BE", 1201},
      {"UTF-7", 65000},
      {"US-ASCII", 20127},
      {"iso-ir-6", 20127},
      {"ANSI_X3.4-1968", 20127},
      {"us", 20127},
      {"IBM367", 20127},
      {"cp367", 20127},
      {"csASCII", 20127},
      {"ISO-8859-1", 28591},
      {"latin1", 28591},
      {"l1", 28591},
      {"iso-ir-100", 28591},
      {"IBM819", 28591},
      {"CP819", 28591},
      {"ISO_8859-1:1987", 28591},
      {"ISO-8859-2", 28592},
      {"ISO-8859-5", 28595},
      {"cyrillic", 28595},
      {"ISO-8859-6", 28596},
      {"ISO-8859-7", 28597},
      {"iso-ir-138", 28598},
      {"hebrew", 28598},
      {"csISOLatinHebrew", 28598},
      {"ISO-8859-8-I", 38598},
      {"ISO-8859-9", 28599},
      {"ISO-8859-13", 28603},
      {"ISO-8859-15", 28605},
      {"Latin-9", 28605},
      {"windows-1250", 1250},
      {"windows-1252", 1252},
      {"cp1252", 1252},
      {"windows-1258", 1258},
      {"cp1258", 1258},
      {"Windows-31J", 932},
      {"Shift_JIS", 932},
      {"MS_Kanji", 932},
      {"csShiftJIS", 932},
      {"GB2312", 936},
      {"chinese", 936},
      {"csISO58GB231280", 936},
      {"GB_2312-80", 936},
      {"csGB2312", 936},
      {"GBK", 936},
      {"GB18030", 54936},
      {"Big5", 950},
      {"csBig5", 950},
      {"EUC-KR", 949},
      {"KS_C_5601-1987", 949},
      {"iso-ir-149", 949},
      {"korean", 949},
      {"csKSC56011987", 949},
      {"KS_C_5601-1989", 949},
      {"KSC_5601", 949},
      {"EUC-JP", 51932},
      {"ISO-2022-JP", 50220},
      {"csISO2022JP", 50221},
      {"ISO-2022-KR", 50225},
      {"KOI8-R", 20866},
      {"KOI8-U", 21866},
      {"IBM037", 37},
      {"ebcdic-cp-us", 37},
      {"IBM437", 437},
      {"437", 437},
      {"IBM500", 500},
      {"IBM775", 775},
      {"IBM850", 850},
      {"IBM852", 852},
      {"IBM855", 855},
      {"IBM857", 857},
      {"IBM00858", 858},
      {"IBM860", 860},
      {"IBM866", 866},
      {"IBM869", 869},
      {"IBM870", 870},
      {"IBM1026", 1026},
      {"IBM01047", 1047},
      {"IBM01140", 1140},
      {"IBM01149", 1149},
      {"ebcdic-is-871+euro", 1149},
      {"IBM273", 20273},
      {"IBM277", 20277},
      {"IBM424", 20424},
      {"csIBM424", 20424},
      {"IBM871", 20871},
      {"IBM905", 20905},
      {"cp1025", 21025},
      {"DOS-720", 720},
      {"DOS-862", 862},
      {"ASMO-708", 708},
      {"TIS-620", 874},
      {"windows-874", 874},
      {"macintosh", 10000},
      {"x-mac-roman", 10000},
      {"x-mac-ce", 10029},
      {"x-mac-cyrillic", 10007},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodePageFromCharsetName(c.name), c.codePage) << c.name;
  }
}

TEST(Charsets, CaseAndSurroundingBlanksAreIgnored) {
  struct Case {
    std::string_view name;
    int codePage;
  };
  const Case cases[] = {
      {"utf-8", 65001},
      {"UTF-8", 65001},
      {"Utf-8", 65001},
      {"  UTF-8", 65001},
      {"UTF-8  ", 65001},
      {"\tutf-8\r\n", 65001},
      {"\n ISO_8859-8 \t", 28598},
      {"CSWINDOWS31J", 932},
      {"Iso-Ir-58", 936},
      {"SHIFT_JIS", 932},
      {"Ks_C_5601-1987", 949},
      {" X-Mac-Roman ", 10000},
      {"ISO-8859-8 Visual", 28598},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodePageFromCharsetName(c.name), c.codePage) << '"' << c.name << '"';
  }
}

TEST(Charsets, UnknownNamesGiveZero) {
  const std::string_view names[] = {
      ""sv,
      "   "sv,
      "x-nonsense"sv,
      "utf-9"sv,
      "utf-"sv,
      "utf-8x"sv,
      "xutf-8"sv,
      "utf 8"sv,
      "u tf-8"sv,
      "utf-8\0"sv,
      "\0utf-8"sv,
      "iso-8859-8 visual!"sv,
      // Only ASCII letters fold: a dotted capital I in UTF-8 is not an "i".
      "\xC4\xB0so-8859-1"sv,
      // Names sorting after the last and before the first entry of the table.
      "zzzz"sv,
      "0"sv,
  };
  for (std::string_view name : names) {
    EXPECT_EQ(CodePageFromCharsetName(name), 0) << '"' << name << '"';
  }
}

TEST(Charsets, EveryTableNameIsFoundAgainInAnyCase) {
  for (const auto& entry : detail::CharsetNameTable()) {
    EXPECT_EQ(CodePageFromCharsetName(entry.name), entry.codePage) << entry.name;
    std::string upper(entry.name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    EXPECT_EQ(CodePageFromCharsetName(" " + upper + "\t"), entry.codePage) << upper;
  }
}

TEST(Charsets, NameTableIsSortedLowerCaseAndFreeOfDuplicates) {
  const auto table = detail::CharsetNameTable();
  ASSERT_FALSE(table.empty());
  for (size_t i = 0; i < table.size(); ++i) {
    const std::string_view name = table[i].name;
    EXPECT_FALSE(name.empty());
    EXPECT_GT(table[i].codePage, 0) << name;
    EXPECT_EQ(name.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string_view::npos) << name;
    EXPECT_NE(name.front(), ' ') << name;
    EXPECT_NE(name.back(), ' ') << name;
    if (i > 0) {
      EXPECT_LT(table[i - 1].name, name) << "out of order or duplicated: " << name;
    }
  }
}

TEST(Charsets, ConverterTableIsSortedAndEveryNameOpens) {
  const auto table = detail::CodePageConverterTable();
  ASSERT_FALSE(table.empty());
  for (size_t i = 0; i < table.size(); ++i) {
    ASSERT_NE(table[i].iconvName, nullptr) << table[i].codePage;
    EXPECT_TRUE(OpensBothWays(table[i].iconvName)) << table[i].iconvName;
    EXPECT_EQ(IconvNameForCodePage(table[i].codePage), table[i].iconvName);
    if (i > 0) {
      EXPECT_LT(table[i - 1].codePage, table[i].codePage);
    }
  }
  for (int codePage : {0, -1, 1, 1199, 65002, 99999}) {
    EXPECT_EQ(IconvNameForCodePage(codePage), nullptr) << codePage;
  }
}

// Code pages that documents may name but that iconv on this machine cannot convert.
const std::map<int, std::string_view>& CodePagesWithoutConverter() {
  static const std::map<int, std::string_view> list = {
      {708, "no table of its own (iconv's ASMO-708 is only an alias of ISO-8859-6)"},
      {720, "no DOS Arabic table"},
      {10001, "no Japanese Mac table"},
      {10002, "no Traditional Chinese Mac table"},
      {10003, "no Korean Mac table"},
      {10004, "no Arabic Mac table"},
      {10005, "no Hebrew Mac table"},
      {10006, "no Greek Mac table"},
      {10008, "no Simplified Chinese Mac table"},
      {10010, "no Romanian Mac table"},
      {10021, "no Thai Mac table"},
      {10079, "MAC-IS is another Icelandic table (0xA0 is a dagger, not Y acute)"},
      {10081, "no Turkish Mac table"},
      {10082, "no Croatian Mac table"},
      {20838, "no EBCDIC Thai table"},
      {20924, "no EBCDIC Latin-9 table (IBM924)"},
      {52936, "no HZ converter"},
  };
  return list;
}

TEST(Charsets, EveryNamedCodePageConvertsOrIsListedAsUnsupported) {
  std::set<int> named;
  for (const auto& entry : detail::CharsetNameTable()) named.insert(entry.codePage);
  const auto& unsupported = CodePagesWithoutConverter();
  for (int codePage : named) {
    const char* iconvName = IconvNameForCodePage(codePage);
    if (unsupported.count(codePage)) {
      EXPECT_EQ(iconvName, nullptr) << codePage << " is listed as unsupported";
      continue;
    }
    ASSERT_NE(iconvName, nullptr) << "no converter for named code page " << codePage;
    EXPECT_TRUE(OpensBothWays(iconvName)) << codePage << " -> " << iconvName;
  }
  // The list must not go stale: everything in it is a code page some name resolves to.
  for (const auto& [codePage, reason] : unsupported) {
    EXPECT_TRUE(named.count(codePage)) << codePage << " (" << reason << ") is named nowhere";
  }
}

// One characteristic byte sequence per code page with its text in UTF-8, picked where the code
// page differs from its neighbours, so that a converter for the wrong code page fails the check.
struct Probe {
  int codePage;
  std::string_view bytes;
  std::string_view utf8;
};

const Probe kProbes[] = {
    {37, "\xC1\x4A\x9F"sv, "A\u00A2\u00A4"sv},
    {437, "\x80\xB0"sv, "\u00C7\u2591"sv},
    {500, "\x4A\x5A\x9F"sv, "[]\u00A4"sv},
    {737, "\x80"sv, "\u0391"sv},
    {775, "\x80"sv, "\u0106"sv},
    {850, "\x9B"sv, "\u00F8"sv},
    {852, "\x85"sv, "\u016F"sv},
    {855, "\x80"sv, "\u0452"sv},
    {857, "\x98"sv, "\u0130"sv},
    {858, "\xD5"sv, "\u20AC"sv},
    {860, "\x84"sv, "\u00E3"sv},
    {861, "\x8B\x8D"sv, "\u00D0\u00DE"sv},
    {862, "\x80"sv, "\u05D0"sv},
    {863, "\x84"sv, "\u00C2"sv},
    {864, "\x25"sv, "\u066A"sv},
    {865, "\x9B\xAF"sv, "\u00F8\u00A4"sv},
    {866, "\x80"sv, "\u0410"sv},
    {869, "\xA4"sv, "\u0391"sv},
    {870, "\x4A\x5A"sv, "[]"sv},
    {874, "\xA1\x80"sv, "\u0E01\u20AC"sv},
    {875, "\x41\x42"sv, "\u0391\u0392"sv},
    {932, "\x82\xA0\x5C\x87\x40"sv, "\u3042\\\u2460"sv},
    {936, "\xB0\xA1\x80"sv, "\u554A\u20AC"sv},
    {949, "\xB0\xA1\x81\x41"sv, "\uAC00\uAC02"sv},
    {950, "\xA4\x40"sv, "\u4E00"sv},
    {1026, "\x4A\x5A\x7B"sv, "\u00C7\u011E\u00D6"sv},
    {1047, "\xAD\xBD\x9F"sv, "[]\u00A4"sv},
    {1140, "\x9F\x4A"sv, "\u20AC\u00A2"sv},
    {1141, "\x9F\x4A"sv, "\u20AC\u00C4"sv},
    {1142, "\x5A\x7B"sv, "\u20AC\u00C6"sv},
    {1143, "\x5A\x7B"sv, "\u20AC\u00C4"sv},
    {1144, "\x9F\x7B"sv, "\u20AC\u00A3"sv},
    {1145, "\x9F\x7B"sv, "\u20AC\u00D1"sv},
    {1146, "\x9F\x5B"sv, "\u20AC\u00A3"sv},
    {1147, "\x9F\x7C"sv, "\u20AC\u00E0"sv},
    {1148, "\x9F\x4A"sv, "\u20AC["sv},
    {1149, "\x9F\x5A\x7C"sv, "\u20AC\u00C6\u00D0"sv},
    {1200, "\xE9\x00"sv, "\u00E9"sv},
    {1201, "\x00\xE9"sv, "\u00E9"sv},
    {1250, "\x8A"sv, "\u0160"sv},
    {1251, "\xC0"sv, "\u0410"sv},
    {1252, "\x80\xE9"sv, "\u20AC\u00E9"sv},
    {1253, "\xC1"sv, "\u0391"sv},
    {1254, "\xD0"sv, "\u011E"sv},
    {1255, "\xE0"sv, "\u05D0"sv},
    {1256, "\xC7"sv, "\u0627"sv},
    {1257, "\xC0"sv, "\u0104"sv},
    {1258, "\xC3"sv, "\u0102"sv},
    {1361, "\x88\x61"sv, "\uAC00"sv},
    {10000, "\x80"sv, "\u00C4"sv},
    {10007, "\x80\xA2"sv, "\u0410\u00A2"sv},
    {10017, "\x80\xA2"sv, "\u0410\u0490"sv},
    {10029, "\x80\x81"sv, "\u00C4\u0100"sv},
    {12000, "\xE9\x00\x00\x00"sv, "\u00E9"sv},
    {12001, "\x00\x00\x00\xE9"sv, "\u00E9"sv},
    {20106, "\x5B\x7E"sv, "\u00C4\u00DF"sv},
    {20107, "\x5B\x5D"sv, "\u00C4\u00C5"sv},
    {20108, "\x5B\x5D"sv, "\u00C6\u00C5"sv},
    {20127, "A~"sv, "A~"sv},
    {20273, "\x4A\x9F"sv, "\u00C4\u00A4"sv},
    {20277, "\x7B\x5A"sv, "\u00C6\u00A4"sv},
    {20278, "\x7B\x5A"sv, "\u00C4\u00A4"sv},
    {20280, "\x7B\x9F"sv, "\u00A3\u00A4"sv},
    {20284, "\x7B\x9F"sv, "\u00D1\u00A4"sv},
    {20285, "\x5B\x9F"sv, "\u00A3\u00A4"sv},
    {20290, "\x81\x82"sv, "\u30A2\u30A4"sv},  // full-width, see the converter table
    {20297, "\x7C\x9F"sv, "\u00E0\u00A4"sv},
    {20420, "\x56\x58"sv, "\u0627\u0628"sv},
    {20423, "\x41"sv, "\u0391"sv},
    {20424, "\x41"sv, "\u05D0"sv},
    {20866, "\xE1"sv, "\u0410"sv},
    {20871, "\x5A\x7C\x9F"sv, "\u00C6\u00D0\u00A4"sv},
    {20880, "\x42\xB9"sv, "\u0452\u0410"sv},
    {20905, "\x4A\x7B"sv, "\u00C7\u00D6"sv},
    {20936, "\xB0\xA1"sv, "\u554A"sv},
    {21025, "\xB9\xBA"sv, "\u0410\u0411"sv},
    {21866, "\xA4"sv, "\u0454"sv},
    {28591, "\xE9"sv, "\u00E9"sv},
    {28592, "\xA1"sv, "\u0104"sv},
    {28593, "\xA1"sv, "\u0126"sv},
    {28594, "\xA2"sv, "\u0138"sv},
    {28595, "\xB0"sv, "\u0410"sv},
    {28596, "\xC7"sv, "\u0627"sv},
    {28597, "\xC1"sv, "\u0391"sv},
    {28598, "\xE0"sv, "\u05D0"sv},
    {28599, "\xD0"sv, "\u011E"sv},
    {28603, "\xA1"sv, "\u201D"sv},
    {28605, "\xA4"sv, "\u20AC"sv},
    {38598, "\xE0"sv, "\u05D0"sv},
    {50220, "\x1B$B$\"\x1B(B"sv, "\u3042"sv},
    {50221, "\x1B(I1\x1B(B"sv, "\uFF71"sv},
    {50222, "\x1B$B$\"\x1B(B"sv, "\u3042"sv},
    {50225, "\x1B$)C\x0E\x30\x21\x0F"sv, "\uAC00"sv},
    {51932, "\xA4\xA2\xA1\xC1\xAD\xA1"sv, "\u3042\uFF5E\u2460"sv},
    {51936, "\xB0\xA1"sv, "\u554A"sv},
    {54936, "\xA2\xE3\x81\x30\x81\x30"sv, "\u20AC\xC2\x80"sv},
    {65000, "+AOk-"sv, "\u00E9"sv},
    {65001, "\xC3\xA9"sv, "\u00E9"sv},
};

TEST(Charsets, EveryConverterDecodesAndEncodesItsCodePage) {
  std::set<int> probed;
  for (const Probe& probe : kProbes) {
    probed.insert(probe.codePage);
    const char* name = IconvNameForCodePage(probe.codePage);
    ASSERT_NE(name, nullptr) << probe.codePage;
    const auto expected = Convert("UTF-16LE", "UTF-8", probe.utf8);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(Convert("UTF-16LE", name, probe.bytes), expected)
        << "decoding code page " << probe.codePage << " with " << name;
    EXPECT_EQ(Convert(name, "UTF-16LE", *expected), std::string(probe.bytes))
        << "encoding code page " << probe.codePage << " with " << name;
  }
  for (const auto& entry : detail::CodePageConverterTable()) {
    EXPECT_TRUE(probed.count(entry.codePage)) << "no probe for code page " << entry.codePage;
  }
}

}  // namespace
}  // namespace orv
