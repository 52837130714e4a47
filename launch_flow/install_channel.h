// The install-channel step: before the first start of an installed hall that
// shows no recent use, write the launcher's channel into the hall's
// install-channel file, "config\original\InsChannel.as" in the hall directory.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "file_io/file_io.h"

inline constexpr std::u16string_view kRecordDirectory = u"config\\original\\";
inline constexpr std::u16string_view kRecordFileName = u"InsChannel.as";
inline constexpr std::u16string_view kChannelRecordedTrace =
    u"\u5df2\u7ecf\u66ff\u6362\u5927\u5385\u6e20\u9053\u53f7";  // 已经替换大厅渠道号

// What the step needs from the platform. Every member must be set.
struct InstallChannelPlatform {
  // Non-zero when the hall counts as recently used, judged from `parentDirectory`
  // (the directory holding the hall directory, ending in a backslash).
  std::function<int(const std::u16string& parentDirectory)> hallUsedRecently;
  // `directory` joined with `relative`; empty when the result would not be a usable path.
  std::function<std::u16string(const std::u16string& directory, std::u16string_view relative)> combinePath;
  // Creates `directory` with every missing parent; an existing one is no failure.
  std::function<void(const std::u16string& directory)> createDirectory;
  // One debug-trace line, exactly as given.
  std::function<void(std::u16string_view line)> trace;
  // What the record file is written through.
  FileOperations files;
};

enum class InstallChannelOutcome {
  SkippedRecentUse,  // the hall was used recently: nothing touched
  Written,           // the file now holds the channel and every entry it held before
  NotWritten,        // the file could not be read whole, converted or written: left as it was
};

// Records `channelId` as the hall's install channel unless the hall was used
// recently. Writes the trace line 已经替换大厅渠道号 only when the file was
// written, and one line naming the reason when it was due but not written
// (for a failed read or write, its stage and error code).
// Never throws for a failure of the file, its text or memory: the hall is
// started whatever happens here.
InstallChannelOutcome recordInstallChannelIfDue(const InstallChannelPlatform& platform,
                                                std::u16string_view hallDirectory, int32_t channelId);
