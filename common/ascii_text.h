// ASCII text widened to UTF-16, for building trace lines and messages from
// narrow literals and names.
#pragma once

#include <string>
#include <string_view>

// `ascii` with each byte as one UTF-16 unit. Meant for ASCII only: a byte of
// 0x80 or more becomes the unit of the same value (Latin-1), not a decoded
// UTF-8 character.
inline std::u16string widenAscii(std::string_view ascii) {
  std::u16string wide;
  wide.reserve(ascii.size());
  for (const char byte : ascii) wide.push_back(static_cast<unsigned char>(byte));
  return wide;
}
