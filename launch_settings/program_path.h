// The program path as the launcher opens it.
#pragma once

#include <string>
#include <string_view>

#include "common/path_limit.h"

// `path` in a form that opens this very file even when it is too long for a
// plain path: a full path of kPathLimit characters or more gains the
// extended-length prefix ("\\?\C:\..." or "\\?\UNC\server\..."); a shorter
// path, or one that already has a "\\?\" or "\\.\" prefix, is returned as is.
std::u16string openablePath(std::u16string_view path);
