// SHA-256 (FIPS 180-4), for the checksums of published copies.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

// The SHA-256 digest of `bytes`.
std::array<uint8_t, 32> sha256(std::span<const uint8_t> bytes);

// The digest of `bytes` as 64 lowercase hexadecimal digits, as sha256sum prints it.
std::string sha256Hex(std::span<const uint8_t> bytes);
