// Case-insensitive comparison over the ASCII letters A-Z only: no other letter
// is folded, whatever the locale. For UTF-16 text and for narrow (UTF-8) text.
#pragma once

#include <concepts>
#include <cstddef>
#include <string_view>

template <class Unit>
  requires std::same_as<Unit, char> || std::same_as<Unit, char16_t>
constexpr Unit asciiLower(Unit unit) {
  return unit >= Unit('A') && unit <= Unit('Z') ? Unit(unit - Unit('A') + Unit('a')) : unit;
}

namespace ascii_case_detail {

template <class Unit>
constexpr bool equalsIgnoringCase(std::basic_string_view<Unit> a, std::basic_string_view<Unit> b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

}  // namespace ascii_case_detail

// True when `a` and `b` have the same length and differ at most in the case of A-Z.
constexpr bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return ascii_case_detail::equalsIgnoringCase(a, b);
}
constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return ascii_case_detail::equalsIgnoringCase(a, b);
}

// Position of the first occurrence of `needle` in `text` ignoring the case of
// A-Z, or std::u16string_view::npos when there is none.
constexpr size_t findIgnoringAsciiCase(std::u16string_view text, std::u16string_view needle) {
  if (needle.size() > text.size()) return std::u16string_view::npos;
  for (size_t at = 0; at + needle.size() <= text.size(); ++at)
    if (equalsIgnoringAsciiCase(text.substr(at, needle.size()), needle)) return at;
  return std::u16string_view::npos;
}
