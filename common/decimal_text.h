// Base-10 text of 32-bit numbers, as the launcher writes them into trace
// lines, start parameters and the install-channel file.
#pragma once

#include <cstdint>
#include <string>

// The decimal text of `value`: a leading "-" for negative values, no leading
// zeros, fill characters or grouping (INT32_MIN gives "-2147483648").
std::u16string decimalText(int32_t value);

// The decimal text of an unsigned `value`, such as a system error code
// (4294967295 for 0xFFFFFFFF).
std::u16string decimalText(uint32_t value);
