// Case-insensitive comparison of UTF-16 text over the ASCII letters A-Z only:
// no other letter is folded, whatever the locale.
#pragma once

#include <cstddef>
#include <string_view>

constexpr char16_t asciiLower(char16_t unit) { return unit >= u'A' && unit <= u'Z' ? unit - u'A' + u'a' : unit; }

// True when `a` and `b` have the same length and differ at most in the case of A-Z.
constexpr bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

// Position of the first occurrence of `needle` in `text` ignoring the case of
// A-Z, or std::u16string_view::npos when there is none.
constexpr size_t findIgnoringAsciiCase(std::u16string_view text, std::u16string_view needle) {
  if (needle.size() > text.size()) return std::u16string_view::npos;
  for (size_t at = 0; at + needle.size() <= text.size(); ++at)
    if (equalsIgnoringAsciiCase(text.substr(at, needle.size()), needle)) return at;
  return std::u16string_view::npos;
}
