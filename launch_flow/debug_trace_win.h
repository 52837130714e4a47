// Windows-only: the launcher's debug-trace output.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "common/wide_win.h"

// Writes `line` exactly as given (it carries its own CR LF) to the debugger.
inline void writeTraceLine(std::u16string_view line) { OutputDebugStringW(as_wcstr(std::u16string(line))); }
