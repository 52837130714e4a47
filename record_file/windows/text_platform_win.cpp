#include <windows.h>

#include "common/wide_win.h"
#include "record_file/text_platform.h"

int platformMultiByteToWide(uint32_t codePage, const char* bytes, int byteCount, char16_t* wide,
                            int wideRoom) {
  return MultiByteToWideChar(codePage, 0, bytes, byteCount, as_wcstr(wide), wideRoom);
}

int platformWideToMultiByte(uint32_t codePage, const char16_t* wide, int wideCount, char* bytes,
                            int byteRoom) {
  return WideCharToMultiByte(codePage, 0, as_wcstr(wide), wideCount, bytes, byteRoom, nullptr, nullptr);
}

uint32_t platformLastError() { return GetLastError(); }
