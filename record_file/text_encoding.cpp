#include "record_file/text_encoding.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "record_file/portable_conversion.h"
#include "record_file/text_platform.h"

void throwHresult(int32_t code) { throw CAtlException(code); }

namespace {

// A platform error code as an HRESULT: 0x80070000 | (e & 0xFFFF) for e > 0, e itself otherwise.
int32_t hresultFromError(uint32_t error) {
  auto code = static_cast<int32_t>(error);
  return code > 0 ? static_cast<int32_t>(0x80070000u | (error & 0xFFFF)) : code;
}

}  // namespace

void throwLastError() { throwHresult(hresultFromError(platformLastError())); }

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

// Makes *slot designate room for count units, the heap block (if any) held by
// `heap`: the block it held before is freed first, so `heap` never owns more
// than the one block *slot designates. The growth documented for
// growConversionBuffer.
template <class Unit>
void growBuffer(ConversionBlock<Unit>& heap, Unit** slot, int64_t count, Unit* inlineBuffer) {
  if (!slot || !inlineBuffer || count < 0) throwHresult(kHresultInvalidArg);
  heap.reset();
  *slot = inlineBuffer;
  if (count <= kConversionInlineUnits) return;
  *slot = nullptr;
  // The platform conversions count in int: a larger block could never be filled.
  if (count <= INT_MAX && static_cast<uint64_t>(count) <= SIZE_MAX / sizeof(Unit))
    heap.reset(static_cast<Unit*>(std::calloc(static_cast<size_t>(count), sizeof(Unit))));
  *slot = heap.get();
  if (!*slot) throwHresult(kHresultOutOfMemory);
}

// growBuffer for a caller whose slot holds its heap block as a plain pointer:
// the block is owned for the growth and handed back in *slot.
template <class Unit>
void growUnownedBuffer(Unit** slot, int64_t count, Unit* inlineBuffer) {
  ConversionBlock<Unit> heap;
  if (slot && inlineBuffer && count >= 0 && *slot != inlineBuffer) heap.reset(*slot);
  growBuffer(heap, slot, count, inlineBuffer);
  static_cast<void>(heap.release());
}

// The room a conversion may be given: the platform takes an int.
int roomOf(int64_t units) {
  if (units > INT_MAX) throwHresult(kHresultOutOfMemory);
  return static_cast<int>(units);
}

// Converts into the slot with the given room, the heap block held by `heap`;
// when the platform finds the room too small, asks for the exact size and
// converts once more. convert(out, room) is the platform conversion. Raises
// CAtlException with `lastError`'s code when a conversion fails; `heap` then
// still owns the block.
template <class Unit, class Convert>
void convertIntoSlot(ConversionBlock<Unit>& heap, Unit** slot, Unit* inlineBuffer, int room, Convert convert,
                     uint32_t (*lastError)()) {
  growBuffer(heap, slot, room, inlineBuffer);
  if (convert(*slot, room) != 0) return;
  const uint32_t error = lastError();
  if (error != kErrorInsufficientBuffer) throwHresult(hresultFromError(error));
  int needed = convert(nullptr, 0);
  // One unit more than needed keeps the text terminated.
  growBuffer(heap, slot, int64_t{needed} + 1, inlineBuffer);
  if (convert(*slot, needed) == 0) throwHresult(hresultFromError(lastError()));
}

}  // namespace

void FreeDeleter::operator()(void* block) const { std::free(block); }

void growConversionBuffer(char16_t** slot, int64_t count, char16_t* inlineBuffer) {
  growUnownedBuffer(slot, count, inlineBuffer);
}

void growConversionBuffer(char** slot, int64_t count, char* inlineBuffer) {
  growUnownedBuffer(slot, count, inlineBuffer);
}

Utf8ToWide::Utf8ToWide(const char* bytes, int byteCount, const TextPlatform& platform) : text_(inline_) {
  if (!bytes) {
    text_ = nullptr;
    return;
  }
  if (byteCount < 0) byteCount = roomOf(static_cast<int64_t>(std::strlen(bytes)) + 1);
  std::memset(inline_, 0, sizeof(inline_));
  // The platform refuses an empty input; an empty input is the empty text.
  if (byteCount == 0) return;
  convertIntoSlot(
      heap_, &text_, inline_, roomOf(int64_t{byteCount} + 1),
      [&](char16_t* out, int room) { return platform.multiByteToWide(kCodePageUtf8, bytes, byteCount, out, room); },
      platform.lastError);
}

WideToUtf8::WideToUtf8(const char16_t* wideText, const TextPlatform& platform) : text_(inline_) {
  if (!wideText) {
    text_ = nullptr;
    return;
  }
  int64_t count = 1;
  while (wideText[count - 1] != 0) ++count;
  std::memset(inline_, 0, sizeof(inline_));
  int wideCount = roomOf(count);
  convertIntoSlot(
      heap_, &text_, inline_, roomOf(4 * count),
      [&](char* out, int room) { return platform.wideToMultiByte(kCodePageUtf8, wideText, wideCount, out, room); },
      platform.lastError);
}

