#include <gtest/gtest.h>

#include "base/text.h"
#include "profile/numbers.h"

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

}  // namespace
}  // namespace orv
