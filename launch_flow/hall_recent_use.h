// Decides whether the hall counts as in recent use, from the last-write times
// of the files in its GPU cache directory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Times are Windows FILETIME counts: 100-ns intervals since 1601-01-01 UTC.
inline constexpr uint64_t kRecentUseWindow = 25'920'000'000'000ull;  // 30 days

// The hall's GPU cache, relative to the directory that holds the hall's
// installation directory. The parent's trailing backslash is the separator.
inline constexpr std::u16string_view kHallCacheSubpath = u"xwv_cache\\GPUCache";

// True when a file last written at `lastWrite` lies within the 30-day window
// before `now` (strictly: exactly 30 days old does not count; any time after
// `now` counts). The sum saturates instead of wrapping, so a time near the top
// of the range counts as the future time it is.
bool isRecentWrite(uint64_t lastWrite, uint64_t now);

// One entry of a directory listing, as the decision needs it.
struct CacheEntry {
  std::u16string_view name;
  bool isDirectory = false;
  uint64_t lastWrite = 0;
};

// True when the entry is a file (not ".", "..", nor a directory) written recently.
bool isRecentCacheFile(const CacheEntry& entry, uint64_t now);
