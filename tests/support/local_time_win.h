// Windows-only: how far a process's local time lies from UTC, as its time zone
// (under Wine: the TZ it was started with) makes it.
#pragma once

#include <windows.h>

// Local time minus UTC in whole minutes, now.
inline long long localTimeOffsetMinutes() {
  const auto value = [](const SYSTEMTIME& time) {
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    return (static_cast<long long>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
  };
  SYSTEMTIME local{};
  SYSTEMTIME utc{};
  GetLocalTime(&local);
  GetSystemTime(&utc);
  const long long difference = value(local) - value(utc);
  constexpr long long kMinute = 600'000'000;  // in 100 ns
  return (difference + (difference < 0 ? -kMinute / 2 : kMinute / 2)) / kMinute;
}
