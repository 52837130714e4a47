// Layout of a record-cipher fuzz input, shared by the fuzz target and the
// program that writes its seeds: the capacity to pass (4 bytes, little-endian
// int32), the length to pass (4 bytes, little-endian int32), then the data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "record_file/record_cipher.h"

inline constexpr size_t kCipherFuzzHeaderSize = 8;

// The key every fuzz input is deciphered with (and the seeds enciphered with).
inline constexpr uint8_t kCipherFuzzKey[kCipherKeySize] = {'p', 'l', 'u', 'm', 'T', 'r', 'o', 'w',
                                                           'e', 'l', ' ', ' ', ' ', ' ', ' ', ' '};

inline int32_t readFuzzField(const uint8_t* bytes) {
  return static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                              uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24);
}

inline void writeFuzzField(int32_t value, uint8_t* bytes) {
  const auto word = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(word >> (8 * i));
}
