#include "launch_flow/format_wide.h"

#include <cstdarg>
#include <cwchar>
#include <stdexcept>

namespace {

constexpr size_t kStackCapacity = 1024;  // most lines fit: no allocation for them
constexpr size_t kLongestText = size_t(1) << 24;

// vswprintf into `buffer` of `capacity` characters (terminator included).
int formatInto(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args) {
  va_list attempt;
  va_copy(attempt, args);
  const int count = std::vswprintf(buffer, capacity, format, attempt);
  va_end(attempt);
  return count;
}

// The room the next attempt needs: the exact length when the library told it
// (C99-style counts), otherwise twice the room that was too small (ISO
// vswprintf only says "negative").
size_t nextCapacity(int count, size_t capacity) {
  if (count >= 0 && size_t(count) >= capacity) return size_t(count) + 1;
  return capacity * 2;
}

std::wstring formatList(const wchar_t* format, va_list args) {
  wchar_t buffer[kStackCapacity];
  int count = formatInto(buffer, kStackCapacity, format, args);
  if (count >= 0 && size_t(count) < kStackCapacity) return std::wstring(buffer, size_t(count));

  for (size_t capacity = nextCapacity(count, kStackCapacity); capacity <= kLongestText + 1;) {
    std::wstring text(capacity - 1, L'\0');  // the string keeps room for the terminator
    count = formatInto(text.data(), capacity, format, args);
    if (count >= 0 && size_t(count) < capacity) {
      text.resize(size_t(count));
      return text;
    }
    capacity = nextCapacity(count, capacity);
  }
  throw std::length_error("formatWide: the text cannot be formatted");
}

}  // namespace

std::wstring formatWide(const wchar_t* format, ...) {
  if (format == nullptr) throw std::invalid_argument("formatWide: the format is null");
  va_list args;
  va_start(args, format);
  try {
    std::wstring text = formatList(format, args);
    va_end(args);
    return text;
  } catch (...) {
    va_end(args);
    throw;
  }
}
