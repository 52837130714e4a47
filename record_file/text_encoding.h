// The text conversions of the record file: code page 936 (GBK) into and out
// of caller buffers, and UTF-8 converter objects that keep short results in
// an inline buffer of 128 units and move to the heap for longer ones.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>

#include "record_file/text_platform.h"

inline constexpr int32_t kHresultInvalidArg = static_cast<int32_t>(0x80070057);
inline constexpr int32_t kHresultOutOfMemory = static_cast<int32_t>(0x8007000E);

// The exception the UTF-8 converters raise: one HRESULT code.
class CAtlException : public std::exception {
 public:
  explicit CAtlException(int32_t hresult) noexcept : m_hr(hresult) {}
  const char* what() const noexcept override { return "CAtlException"; }
  int32_t m_hr;
};

// Raises CAtlException with code.
[[noreturn]] void throwHresult(int32_t code);
// Raises CAtlException with the calling thread's last platform error as an
// HRESULT: 0x80070000 | (e & 0xFFFF) for e > 0, e itself otherwise.
[[noreturn]] void throwLastError();

// Converts byteCount bytes of code page 936 text into wideBuffer (capacity
// units, zero-filled first). Returns wideBuffer, or null when an argument is
// null or the text needs more than capacity units (the buffer is then all
// zero). Writes no terminator of its own: capacity above the converted length
// leaves one. Invalid bytes become the code page's replacement characters.
char16_t* gbkToWide(char16_t* wideBuffer, int capacity, const char* bytes, int byteCount);

// Converts the NUL-terminated wideText, terminator included, into byteBuffer
// (capacity bytes, zero-filled first). Returns byteBuffer, holding the text or
// an empty string when it does not fit; null when wideText or byteBuffer is
// null. Characters the code page lacks become their best fit or '?'.
char* wideToGbk(char* byteBuffer, int capacity, const char16_t* wideText);

inline constexpr int kConversionInlineUnits = 128;

// Releases a block that came from calloc.
struct FreeDeleter {
  void operator()(void* block) const;
};
// A converter's heap block: zero-filled units from calloc, freed with free.
template <class Unit>
using ConversionBlock = std::unique_ptr<Unit, FreeDeleter>;

// Makes *slot designate room for count zero-filled units: the inline buffer
// for up to 128 units, a heap block otherwise (a heap block that is no longer
// needed is freed; one that grows is replaced, without its contents). Raises
// CAtlException kHresultInvalidArg for a null argument or a negative count and
// kHresultOutOfMemory when the heap refuses the block or count exceeds INT_MAX.
void growConversionBuffer(char16_t** slot, int64_t count, char16_t* inlineBuffer);
void growConversionBuffer(char** slot, int64_t count, char* inlineBuffer);

// UTF-8 to UTF-16. byteCount < 0 means the input is NUL-terminated and its
// length plus the terminator is converted; byteCount 0 gives the empty text.
// get() is null for a null input and otherwise a NUL-terminated text owned by
// the object. Invalid UTF-8 becomes U+FFFD as the platform decides; only an
// exhausted heap or a platform failure raises CAtlException. `platform` does
// the conversion (the system's unless a caller gives another).
class Utf8ToWide {
 public:
  Utf8ToWide(const char* bytes, int byteCount, const TextPlatform& platform = {});
  Utf8ToWide(const Utf8ToWide&) = delete;
  Utf8ToWide& operator=(const Utf8ToWide&) = delete;

  const char16_t* get() const { return text_; }
  bool usesInlineBuffer() const { return text_ == inline_; }

 private:
  // Designates inline_, heap_'s block or nothing.
  char16_t* text_;
  char16_t inline_[kConversionInlineUnits];
  // The heap block text_ designates, if any; a constructor that raises
  // after the block was taken frees it here.
  ConversionBlock<char16_t> heap_;
};

// UTF-16 to UTF-8: the NUL-terminated wideText with its terminator. get() is
// null for a null input, otherwise NUL-terminated UTF-8 owned by the object.
// Lone surrogates become U+FFFD; failures raise as for Utf8ToWide, and `platform`
// converts as there.
class WideToUtf8 {
 public:
  explicit WideToUtf8(const char16_t* wideText, const TextPlatform& platform = {});
  WideToUtf8(const WideToUtf8&) = delete;
  WideToUtf8& operator=(const WideToUtf8&) = delete;

  const char* get() const { return text_; }
  bool usesInlineBuffer() const { return text_ == inline_; }

 private:
  // Designates inline_, heap_'s block or nothing.
  char* text_;
  char inline_[kConversionInlineUnits];
  // The heap block text_ designates, if any; a constructor that raises
  // after the block was taken frees it here.
  ConversionBlock<char> heap_;
};
