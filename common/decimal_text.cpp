#include "common/decimal_text.h"

namespace {

// "-" when `negative`, then the digits of `magnitude`.
std::u16string decimalOf(uint64_t magnitude, bool negative) {
  char16_t digits[21];
  size_t start = sizeof digits / sizeof digits[0];
  do {
    digits[--start] = char16_t(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) digits[--start] = u'-';
  return std::u16string(digits + start, digits + sizeof digits / sizeof digits[0]);
}

}  // namespace

std::u16string decimalText(int32_t value) {
  // The magnitude in 64 bits, so that INT32_MIN has a positive counterpart.
  return decimalOf(value < 0 ? uint64_t(-int64_t(value)) : uint64_t(value), value < 0);
}

std::u16string decimalText(uint32_t value) { return decimalOf(value, false); }
