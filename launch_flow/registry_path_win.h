// Reads paths stored in the registry, without the fixed-size buffers that
// would cut or overrun a long value.
#pragma once

#include <windows.h>

#include <string>

#include "common/path_limit.h"

// The string value `valueName` of `root`\`subKey`, with environment variables
// expanded when it is stored as REG_EXPAND_SZ (REG_SZ is taken as it is), up
// to its first null character. Empty when the key or value is missing, is not
// a string, cannot be read, or holds more than kLongestPlainPath characters: a
// path that long cannot be used whole, and a cut one would name another file.
std::wstring readRegistryPath(HKEY root, const wchar_t* subKey, const wchar_t* valueName);
