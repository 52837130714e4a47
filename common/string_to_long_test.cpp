#include "common/string_to_long.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  std::u16string text;
  int32_t long32;
  int64_t long64;
};

TEST(StringToLong, ReadsLikeTheStandardConversion) {
  const Case cases[] = {
      {u"", 0, 0},
      {u"0", 0, 0},
      {u"42", 42, 42},
      {u"-42", -42, -42},
      {u"+42", 42, 42},
      {u"  \t\r\n\v\f7", 7, 7},
      {u"12abc", 12, 12},
      {u"abc12", 0, 0},
      {u"-", 0, 0},
      {u"+", 0, 0},
      {u"+-5", 0, 0},
      {u"- 5", 0, 0},
      {u"0x1F", 0, 0},
      {u"1 2", 1, 1},
      {u"007", 7, 7},
      {u"2147483647", 2147483647, 2147483647},
      {u"2147483648", 2147483647, 2147483648LL},
      {u"-2147483648", INT32_MIN, -2147483648LL},
      {u"-2147483649", INT32_MIN, -2147483649LL},
      {u"99999999999", INT32_MAX, 99999999999LL},
      {u"9223372036854775807", INT32_MAX, INT64_MAX},
      {u"9223372036854775808", INT32_MAX, INT64_MAX},
      {u"-9223372036854775808", INT32_MIN, INT64_MIN},
      {u"-9223372036854775809", INT32_MIN, INT64_MIN},
      {u"000000000000000000000000000000012", 12, 12},
      {u"123456789012345678901234567890", INT32_MAX, INT64_MAX},
      {u"-123456789012345678901234567890", INT32_MIN, INT64_MIN},
      // The other white space and digits msvcrt's wcstol accepts.
      {u"\u00a0\u3000\u2028 5", 5, 5},
      {u"\u0085" u"5", 0, 0},
      {u"\uff11\uff12", 12, 12},
      {u"\u0661\u0669", 19, 19},
      {u"-\u0e55", -5, -5},
      {u"1\u0bef", 1, 1},
      {u"\u0967" u"2", 12, 12},  // Devanagari one is a digit
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stringToLong(c.text), c.long32) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(stringToInt64(c.text), c.long64) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(StringToLong, StopsAtTheEndOfTheViewAndAtNul) {
  const std::u16string text = u"123456";
  EXPECT_EQ(stringToLong(std::u16string_view(text).substr(0, 3)), 123);
  EXPECT_EQ(stringToLong(std::u16string_view(u"12\0" u"34", 5)), 12);
}

}  // namespace
