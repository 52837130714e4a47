// Windows-only: views between the platform's wchar_t text and the core's char16_t text.
//
// On Windows both are 16-bit UTF-16 code units, so the conversion is a cast at
// the boundary, never a copy (the same idea as Chromium's as_wcstr/as_u16cstr).
#pragma once

#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide_win.h is for Windows builds only");

inline const wchar_t* as_wcstr(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* as_wcstr(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const wchar_t* as_wcstr(const std::u16string& text) { return as_wcstr(text.c_str()); }

inline const char16_t* as_u16cstr(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* as_u16cstr(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }

inline std::u16string_view as_u16view(std::wstring_view text) {
  return {as_u16cstr(text.data()), text.size()};
}
inline std::wstring_view as_wview(std::u16string_view text) {
  return {as_wcstr(text.data()), text.size()};
}
