// For the tools' Windows entry points: the wide arguments of wmain as UTF-8.
#pragma once

#include <string>
#include <vector>

#include "tools/tool_text.h"

// argv[1..argc-1] as UTF-8 (lone surrogates become U+FFFD).
inline std::vector<std::string> utf8Arguments(int argc, wchar_t** argv) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "for Windows builds only");
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(toUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  return arguments;
}
