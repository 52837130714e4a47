#include "common/string_to_long.h"

#include <array>
#include <limits>

namespace {

// The white space msvcrt's wcstol skips before the number (measured under
// Wine): the C0 controls TAB..CR, SPACE, NO-BREAK SPACE, OGHAM SPACE MARK, the
// spaces U+2000..U+200A, the line and paragraph separators, the narrow and
// medium mathematical spaces, and the ideographic space. U+0085 is not one.
bool isSpace(char16_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

// msvcrt's wcstol takes the decimal digits of these scripts as well as ASCII:
// each entry is the code unit of that script's digit zero; its nine successors
// are the digits one to nine.
constexpr std::array<char16_t, 18> kDigitZeros = {
    0x0030, 0x0660, 0x06F0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0C66,
    0x0CE6, 0x0D66, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x17E0, 0x1810, 0xFF10,
};

// The digit's value 0..9, or -1 when `c` is not a digit.
int digitValue(char16_t c) {
  for (char16_t zero : kDigitZeros)
    if (c >= zero && c <= zero + 9) return c - zero;
  return -1;
}

// Shared reader: accumulates the magnitude as unsigned and stops growing it
// once it passes the limit of the sign, so any number of digits is safe.
template <typename Int>
Int readDecimal(std::u16string_view text) {
  using Unsigned = std::make_unsigned_t<Int>;
  size_t at = 0;
  while (at < text.size() && isSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) negative = text[at++] == u'-';

  const Unsigned limit = negative ? Unsigned(std::numeric_limits<Int>::max()) + 1
                                  : Unsigned(std::numeric_limits<Int>::max());
  Unsigned magnitude = 0;
  bool overflow = false;
  for (; at < text.size(); ++at) {
    const int digit = digitValue(text[at]);
    if (digit < 0) break;
    if (overflow) continue;
    if (magnitude > (limit - Unsigned(digit)) / 10) {
      overflow = true;
      continue;
    }
    magnitude = magnitude * 10 + Unsigned(digit);
  }
  if (overflow) return negative ? std::numeric_limits<Int>::min() : std::numeric_limits<Int>::max();
  // Negating in the unsigned type and converting back is exact for the whole range.
  return negative ? Int(Unsigned(0) - magnitude) : Int(magnitude);
}

}  // namespace

int32_t stringToLong(std::u16string_view text) { return readDecimal<int32_t>(text); }

int64_t stringToInt64(std::u16string_view text) { return readDecimal<int64_t>(text); }
