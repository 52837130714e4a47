// The code-page conversions the text encodings are built on. The Windows
// build implements them with MultiByteToWideChar, WideCharToMultiByte and
// GetLastError (windows/text_platform_win.cpp); the native build with the portable
// conversions and an error code of its own (native/text_platform_native.cpp).
#pragma once

#include <cstdint>

// MultiByteToWideChar(codePage, 0, bytes, byteCount, wide, wideRoom): units
// written (or needed when wideRoom is 0), 0 on failure with the cause left for
// platformLastError().
int platformMultiByteToWide(uint32_t codePage, const char* bytes, int byteCount, char16_t* wide,
                            int wideRoom);

// WideCharToMultiByte(codePage, 0, wide, wideCount, bytes, byteRoom, nullptr,
// nullptr): bytes written (or needed when byteRoom is 0), 0 on failure.
int platformWideToMultiByte(uint32_t codePage, const char16_t* wide, int wideCount, char* bytes,
                            int byteRoom);

// The calling thread's last platform error code (GetLastError on Windows).
uint32_t platformLastError();

// The conversions and error code above as a set, so that a caller can be
// handed others (a test, a platform that fails on purpose).
struct TextPlatform {
  int (*multiByteToWide)(uint32_t, const char*, int, char16_t*, int) = platformMultiByteToWide;
  int (*wideToMultiByte)(uint32_t, const char16_t*, int, char*, int) = platformWideToMultiByte;
  uint32_t (*lastError)() = platformLastError;
};
