// Windows side of the recent-use check: lists the hall's GPU cache directory.
#pragma once

#include <cstdint>
#include <string>

// Returns 1 when some file directly in `parentDirectory` + "xwv_cache\GPUCache"
// was last written within 30 days before the current UTC time, else 0 (also on
// every failure: no cache, no listing, nothing recent).
//
// When the cache directory exists it is left as the process's current
// directory: the hall is later started without a working directory of its own
// and so starts there. Something at the cache path that cannot be made the
// current directory (a file, no access) answers 0, rather than letting the
// files of whatever directory happens to be current decide.
int hallUsedRecently(std::wstring parentDirectory);

// The same check against a given `now` (FILETIME count), for tests.
int hallUsedRecentlyAt(const std::wstring& parentDirectory, uint64_t now);
