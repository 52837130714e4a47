// The native build's code-page conversions: the portable conversions, with a
// per-thread last-error code that behaves like the platform's (set on
// failure, left alone on success).
#include "record_file/portable_conversion.h"
#include "record_file/text_platform.h"

namespace {

thread_local uint32_t lastError = 0;

int report(ConversionResult result) {
  if (result.count == 0) lastError = result.error;
  return result.count;
}

}  // namespace

int platformMultiByteToWide(uint32_t codePage, const char* bytes, int byteCount, char16_t* wide,
                            int wideRoom) {
  return report(portableMultiByteToWide(codePage, bytes, byteCount, wide, wideRoom));
}

int platformWideToMultiByte(uint32_t codePage, const char16_t* wide, int wideCount, char* bytes,
                            int byteRoom) {
  return report(portableWideToMultiByte(codePage, wide, wideCount, bytes, byteRoom));
}

uint32_t platformLastError() { return lastError; }
