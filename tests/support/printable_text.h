// UTF-16 text in test failure messages.
#pragma once

#include <string>
#include <string_view>

// ASCII as is, anything else as \uXXXX.
inline std::string printable(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F) {
      out += char(unit);
    } else {
      static const char digits[] = "0123456789abcdef";
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += digits[(unit >> shift) & 0xF];
    }
  }
  return out;
}
