#include "launch_flow/hall_recent_use_win.h"

#include <windows.h>

#include "common/system_functions_win.h"
#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "launch_flow/hall_recent_use.h"

namespace {

uint64_t fileTimeValue(const FILETIME& time) {
  return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

uint64_t currentUtcTime() {
  SYSTEMTIME system{};
  GetSystemTime(&system);
  FILETIME file{};
  SystemTimeToFileTime(&system, &file);
  return fileTimeValue(file);
}

bool isRecent(const WIN32_FIND_DATAW& found, uint64_t now) {
  const CacheEntry entry{as_u16cstr(found.cFileName),
                         (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         fileTimeValue(found.ftLastWriteTime)};
  return isRecentCacheFile(entry, now);
}

}  // namespace

int hallUsedRecently(std::wstring parentDirectory) {
  return hallUsedRecentlyAt(parentDirectory, currentUtcTime());
}

int hallUsedRecentlyAt(const std::wstring& parentDirectory, uint64_t now) {
  const std::wstring cache = parentDirectory + std::wstring(as_wview(kHallCacheSubpath));
  if (!systemFunctions().PathFileExistsW(cache.c_str())) return 0;
  if (!SetCurrentDirectoryW(cache.c_str())) return 0;

  WIN32_FIND_DATAW found{};
  const UniqueFind listing = uniqueFind(FindFirstFileW(L"*.*", &found));
  if (!listing) return 0;
  do {
    if (isRecent(found, now)) return 1;
  } while (FindNextFileW(listing.get(), &found));
  return 0;
}
