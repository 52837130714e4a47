// The platform's code-page conversions (MultiByteToWideChar and
// WideCharToMultiByte with no flags) for code page 936 and UTF-8, written out
// in portable code. The native build converts with these; the Windows build
// calls the platform and its tests prove that both give the same results.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kCodePage936 = 936;
inline constexpr uint32_t kCodePageUtf8 = 65001;

// The platform error codes these conversions report.
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;

// Outcome of one conversion: count is the number of units written (or needed,
// for a size query), 0 on failure, and then error names the cause.
struct ConversionResult {
  int count = 0;
  uint32_t error = 0;
};

// Converts byteCount bytes (negative: up to and including the NUL) of
// codePage text to UTF-16, as MultiByteToWideChar(codePage, 0, ...) does. With
// wideRoom 0 it only counts. Fails with kErrorInvalidParameter for an unknown
// code page, a null input or a zero count, and kErrorInsufficientBuffer when
// the result needs more than wideRoom units (wide may then hold a partial
// result). Like the platform, a UTF-8 result whose final surrogate pair gets
// only its high half into the room is cut there and counts as success.
ConversionResult portableMultiByteToWide(uint32_t codePage, const char* bytes, int byteCount,
                                         char16_t* wide, int wideRoom);

// Converts wideCount UTF-16 units (negative: up to and including the NUL) to
// codePage bytes, as WideCharToMultiByte(codePage, 0, ..., nullptr, nullptr)
// does: characters code page 936 lacks become their best fit or '?', lone
// surrogates become U+FFFD in UTF-8. Counting and failures as above.
ConversionResult portableWideToMultiByte(uint32_t codePage, const char16_t* wide, int wideCount,
                                         char* bytes, int byteRoom);

// Decodes the one UTF-8 character at bytes[at] (at < count) as
// portableMultiByteToWide does: its code point, or U+FFFD for a bad sequence,
// and moves `at` past the bytes the platform takes for it.
char32_t decodeUtf8Character(const uint8_t* bytes, size_t count, size_t& at);

// The two halves of a UTF-16 surrogate pair.
constexpr bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
