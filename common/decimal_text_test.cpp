#include "common/decimal_text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(DecimalText, SignedBaseTenWithoutFill) {
  const struct {
    int32_t value;
    std::u16string_view text;
  } cases[] = {
      {0, u"0"},          {7, u"7"},
      {-5, u"-5"},        {10, u"10"},
      {-1, u"-1"},        {1101010001, u"1101010001"},
      {INT32_MAX, u"2147483647"},
      {INT32_MIN, u"-2147483648"},
      {int32_t(0x80000001u), u"-2147483647"},
  };
  for (const auto& c : cases) EXPECT_EQ(decimalText(c.value), c.text) << c.value;
}

TEST(DecimalText, UnsignedUsesTheWholeRange) {
  EXPECT_EQ(decimalText(0u), u"0");
  EXPECT_EQ(decimalText(32u), u"32");
  EXPECT_EQ(decimalText(uint32_t(INT32_MAX) + 1), u"2147483648");
  EXPECT_EQ(decimalText(UINT32_MAX), u"4294967295");
}

}  // namespace
