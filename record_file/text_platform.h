// The code-page conversions the text encodings are built on. The Windows
// build implements them with MultiByteToWideChar, WideCharToMultiByte and
// GetLastError (text_platform_win.cpp); the native build with the portable
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
