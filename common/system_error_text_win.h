// Windows-only: the system's own words for an error code, in the user's
// language, for messages that print the code beside them.
#pragma once

#include <windows.h>

#include <string>

#include "common/unique_handle_win.h"
#include "common/wide_win.h"

// The system's description of `code` (FormatMessageW, no inserts), without
// its line end, trailing spaces or closing full stop ("." or the ideographic
// "。"); empty when the system has none.
inline std::u16string systemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const UniqueLocal<wchar_t> owned(text);
  std::u16string result(as_u16cstr(owned ? owned.get() : L""), owned ? length : 0);
  while (!result.empty() && std::u16string_view(u"\r\n .\u3002").find(result.back()) != std::u16string_view::npos)
    result.pop_back();
  return result;
}
