#include <gtest/gtest.h>

#include "profile/numbers.h"
#include "profile/text.h"

namespace orv {
namespace {

TEST(NumberParsing, ReadsLikeA32BitWideStringToLong) {
  const struct {
    std::u16string_view text;
    int32_t value;
  } cases[] = {
      {u"0", 0},          {u"15615", 15615},          {u"  42", 42},         {u"\t\r\n-7", -7},
      {u"+9", 9},         {u"12abc", 12},            {u"abc", 0},           {u"", 0},
      {u"-", 0},          {u"+-3", 0},               {u"3,5", 3},           {u" 1 2", 1},
      {u"2147483647", 2147483647},                    {u"2147483648", INT32_MAX},
      {u"-2147483648", INT32_MIN},                    {u"-2147483649", INT32_MIN},
      {u"99999999999999999999999", INT32_MAX},        {u"-99999999999999999999", INT32_MIN},
      {u"0000000000000000000000012", 12},             {u"\x0661", 0},  // only ASCII digits
  };
  for (const auto& c : cases) EXPECT_EQ(ParseInt(c.text), c.value) << ToUtf8(c.text);
}

TEST(NumberParsing, ListsReadOnlyNumbersFollowedByAComma) {
  NumberList list(u"65,0,50,65,1,50");
  const int32_t expected[] = {65, 0, 50, 65, 1, 0, 0, 0};
  for (int32_t e : expected) EXPECT_EQ(list.Next(), e);

  NumberList loose(u" 5 ,x,,-3,");
  EXPECT_EQ(loose.Next(), 5);
  EXPECT_EQ(loose.Next(), 0);
  EXPECT_EQ(loose.Next(), 0);
  EXPECT_EQ(loose.Next(), -3);
  EXPECT_EQ(loose.Next(), 0);
}

TEST(NumberFormatting, WritesDecimalAndListForm) {
  EXPECT_EQ(FormatInt(0), u"0");
  EXPECT_EQ(FormatInt(15615), u"15615");
  EXPECT_EQ(FormatInt(INT32_MIN), u"-2147483648");
  std::u16string list;
  AppendListNumber(list, 5);
  AppendListNumber(list, 1);
  EXPECT_EQ(list, u"5,1,");
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

}  // namespace
}  // namespace orv
