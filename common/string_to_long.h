// Base-10 text to number, the way the platform's wcstol / _wcstoi64 read it.
#pragma once

#include <cstdint>
#include <string_view>

// Reads a signed base-10 number from the start of `text`: white space is
// skipped, one optional '+' or '-' is taken, then digits up to the first
// non-digit (the end of the view and U+0000 count as non-digits). No digits
// give 0; a value beyond the 32-bit range gives the nearest limit. "White
// space" and "digit" are the code units msvcrt's wcstol accepts (see
// string_to_long.cpp), so every build reads numbers exactly as Windows does.
int32_t stringToLong(std::u16string_view text);

// The same rules over the signed 64-bit range (msvcrt's _wcstoi64).
int64_t stringToInt64(std::u16string_view text);
