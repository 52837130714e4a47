// Proves that stringToLong / stringToInt64 read exactly what msvcrt's wcstol
// and _wcstoi64 read, over every UTF-16 code unit in the places where white
// space, signs and digits matter, and over a table of whole numbers.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "common/string_to_long.h"
#include "common/wide_win.h"

namespace {

void expectSameAsPlatform(const std::wstring& text) {
  const std::u16string_view view = as_u16view(text);
  EXPECT_EQ(stringToLong(view), wcstol(text.c_str(), nullptr, 10)) << "text code units: " << text.size();
  EXPECT_EQ(stringToInt64(view), _wcstoi64(text.c_str(), nullptr, 10)) << "text code units: " << text.size();
}

TEST(StringToLongOnWindows, EveryCodeUnitAsSpaceSignOrDigitReadsAsWcstol) {
  // Each code unit c stands before a number (white space?), between digits
  // (a digit?), after the sign and in front of an overflowing run.
  for (unsigned unit = 1; unit <= 0xFFFF; ++unit) {
    const wchar_t c = wchar_t(unit);
    for (const std::wstring& text : {std::wstring{c, L'7'}, std::wstring{L'1', c, L'2'},
                                     std::wstring{L'-', c, L'3'}, std::wstring{c, c, L'-', L'9'},
                                     std::wstring(L"9999999999") + c + L"9999999999"}) {
      expectSameAsPlatform(text);
      if (HasFailure()) FAIL() << "first difference at code unit " << unit;
    }
  }
}

TEST(StringToLongOnWindows, NumbersAtAndAroundTheLimitsReadAsWcstol) {
  const wchar_t* texts[] = {
      L"", L"0", L"-0", L"+0", L"2147483646", L"2147483647", L"2147483648", L"-2147483647",
      L"-2147483648", L"-2147483649", L"4294967295", L"4294967296", L"-4294967296",
      L"9223372036854775806", L"9223372036854775807", L"9223372036854775808",
      L"-9223372036854775807", L"-9223372036854775808", L"-9223372036854775809",
      L"18446744073709551615", L"18446744073709551616", L"99999999999999999999999",
      L"  +12x", L"\t-12 ", L"--1", L"++1", L"+ 1", L"1e5", L"0x10", L"\uff18\uff18",
  };
  for (const wchar_t* text : texts) expectSameAsPlatform(text);
}

}  // namespace
