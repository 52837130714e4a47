#include "record_file/text_encoding.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "record_file/portable_conversion.h"
#include "record_file/text_platform.h"

void throwHresult(int32_t code) { throw CAtlException(code); }

void throwLastError() {
  auto error = static_cast<int32_t>(platformLastError());
  throwHresult(error > 0 ? static_cast<int32_t>(0x80070000u | (static_cast<uint32_t>(error) & 0xFFFF)) : error);
}

char16_t* gbkToWide(char16_t* wideBuffer, int capacity, const char* bytes, int byteCount) {
  if (!bytes || !wideBuffer) return nullptr;
  if (capacity > 0) std::memset(wideBuffer, 0, static_cast<size_t>(capacity) * sizeof(char16_t));
  int needed = platformMultiByteToWide(kCodePage936, bytes, byteCount, nullptr, 0);
  if (capacity < needed) return nullptr;
  platformMultiByteToWide(kCodePage936, bytes, byteCount, wideBuffer, needed);
  return wideBuffer;
}

char* wideToGbk(char* byteBuffer, int capacity, const char16_t* wideText) {
  if (!wideText || !byteBuffer) return nullptr;
  if (capacity > 0) std::memset(byteBuffer, 0, static_cast<size_t>(capacity));
  int needed = platformWideToMultiByte(kCodePage936, wideText, -1, nullptr, 0);
  if (capacity >= needed) platformWideToMultiByte(kCodePage936, wideText, -1, byteBuffer, capacity);
  return byteBuffer;
}

namespace {

template <class Unit>
void growBuffer(Unit** slot, int64_t count, Unit* inlineBuffer) {
  if (!slot || !inlineBuffer || count < 0) throwHresult(kHresultInvalidArg);
  bool onHeap = *slot != inlineBuffer && *slot != nullptr;
  if (count <= kConversionInlineUnits) {
    if (onHeap) std::free(*slot);
    *slot = inlineBuffer;
    return;
  }
  if (onHeap) std::free(*slot);
  *slot = nullptr;
  // The platform conversions count in int: a larger block could never be filled.
  if (count <= INT_MAX && static_cast<uint64_t>(count) <= SIZE_MAX / sizeof(Unit))
    *slot = static_cast<Unit*>(std::calloc(static_cast<size_t>(count), sizeof(Unit)));
  if (!*slot) throwHresult(kHresultOutOfMemory);
}

template <class Unit>
void freeIfHeap(Unit* text, const Unit* inlineBuffer) {
  if (text != inlineBuffer) std::free(text);
}

// The room a conversion may be given: the platform takes an int.
int roomOf(int64_t units) {
  if (units > INT_MAX) throwHresult(kHresultOutOfMemory);
  return static_cast<int>(units);
}

// Converts into the slot with the given room; when the platform finds the room
// too small, asks for the exact size and converts once more. convert(out, room)
// is the platform conversion. Raises CAtlException when a conversion fails.
template <class Unit, class Convert>
void convertIntoSlot(Unit** slot, Unit* inlineBuffer, int room, Convert convert) {
  growConversionBuffer(slot, room, inlineBuffer);
  if (convert(*slot, room) != 0) return;
  if (platformLastError() != kErrorInsufficientBuffer) throwLastError();
  int needed = convert(nullptr, 0);
  // One unit more than needed keeps the text terminated.
  growConversionBuffer(slot, int64_t{needed} + 1, inlineBuffer);
  if (convert(*slot, needed) == 0) throwLastError();
}

}  // namespace

void growConversionBuffer(char16_t** slot, int64_t count, char16_t* inlineBuffer) {
  growBuffer(slot, count, inlineBuffer);
}

void growConversionBuffer(char** slot, int64_t count, char* inlineBuffer) { growBuffer(slot, count, inlineBuffer); }

Utf8ToWide::Utf8ToWide(const char* bytes, int byteCount) : text_(inline_) {
  if (!bytes) {
    text_ = nullptr;
    return;
  }
  if (byteCount < 0) byteCount = roomOf(static_cast<int64_t>(std::strlen(bytes)) + 1);
  std::memset(inline_, 0, sizeof(inline_));
  // The platform refuses an empty input; an empty input is the empty text.
  if (byteCount == 0) return;
  convertIntoSlot(&text_, inline_, roomOf(int64_t{byteCount} + 1), [&](char16_t* out, int room) {
    return platformMultiByteToWide(kCodePageUtf8, bytes, byteCount, out, room);
  });
}

Utf8ToWide::~Utf8ToWide() { freeIfHeap(text_, inline_); }

WideToUtf8::WideToUtf8(const char16_t* wideText) : text_(inline_) {
  if (!wideText) {
    text_ = nullptr;
    return;
  }
  int64_t count = 1;
  while (wideText[count - 1] != 0) ++count;
  std::memset(inline_, 0, sizeof(inline_));
  int wideCount = roomOf(count);
  convertIntoSlot(&text_, inline_, roomOf(4 * count), [&](char* out, int room) {
    return platformWideToMultiByte(kCodePageUtf8, wideText, wideCount, out, room);
  });
}

WideToUtf8::~WideToUtf8() { freeIfHeap(text_, inline_); }
