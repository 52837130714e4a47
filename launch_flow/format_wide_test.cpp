#include "launch_flow/format_wide.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>

namespace {

TEST(FormatWide, FormatsShortText) {
  EXPECT_EQ(formatWide(L"%d, %d.", -1, INT_MIN), L"-1, -2147483648.");
  EXPECT_EQ(formatWide(L""), L"");
  EXPECT_EQ(formatWide(L"100%%"), L"100%");
}

TEST(FormatWide, KeepsLongTextWhole) {
  // Around the 1024-character buffer and far beyond it.
  for (size_t length : {1022u, 1023u, 1024u, 1025u, 5000u, 100000u}) {
    const std::wstring filler(length - 1, L'\u4e2d');
    const std::wstring text = formatWide(L"%ls%d", filler.c_str(), 7);
    ASSERT_EQ(text.size(), length);
    EXPECT_EQ(text, filler + L"7");
  }
}

TEST(FormatWide, RejectsANullFormat) {
  EXPECT_THROW(formatWide(nullptr, 1), std::invalid_argument);
}

}  // namespace
