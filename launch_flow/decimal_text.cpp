#include "launch_flow/decimal_text.h"

std::u16string decimalText(int32_t value) {
  // Work on the magnitude in 64 bits so that INT32_MIN has a positive counterpart.
  int64_t magnitude = value < 0 ? -int64_t(value) : int64_t(value);
  char16_t digits[12];
  size_t start = sizeof digits / sizeof digits[0];
  do {
    digits[--start] = char16_t(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--start] = u'-';
  return std::u16string(digits + start, digits + sizeof digits / sizeof digits[0]);
}
