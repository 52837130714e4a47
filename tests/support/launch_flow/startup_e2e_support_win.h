// What the end-to-end tests of channel_launcher.exe share: where the program
// is, and stamped copies of it.
#pragma once

#include <filesystem>
#include <string>

#include "launch_settings/header_settings.h"
#include "tests/support/launch_settings/stamp_test_support_win.h"

// channel_launcher.exe, built beside the test program.
inline std::wstring launcherPath() { return testProgramFolder() + L"channel_launcher.exe"; }

// Writes a copy of channel_launcher.exe stamped with `stamp` to `path`.
inline void writeStampedLauncher(const std::filesystem::path& path, const HeaderSettings& stamp) {
  writeStampedCopy(launcherPath(), path, stamp);
}
