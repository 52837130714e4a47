// Windows-only: UTF-8 <-> UTF-16 for test programs, logs and messages, through
// the platform's own conversions (invalid input becomes U+FFFD).
#pragma once

#include <windows.h>

#include <string>

inline std::string utf8FromWide(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

inline std::wstring wideFromUtf8(const std::string& bytes) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), nullptr, 0);
  std::wstring text(size_t(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), text.data(), size);
  return text;
}
