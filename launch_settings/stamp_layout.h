// Where each setting sits in the stamp: the reserved words of the MS-DOS
// header, read by decodeStamp and written by writeStamp.
#pragma once

#include <cstddef>

namespace stamp_layout {

// Offsets of the stamped fields in the file (little-endian words).
enum Offset : size_t {
  kChannelId = 0x1C,
  kSubChannelId = 0x20,
  kAppId = 0x28,  // 0x24..0x27 belong to no setting
  kSilent = 0x2C,
  kCoverChannel = 0x2D,
  kMiniType = 0x2E,
  kAutoRunningDisabled = 0x30,
  kSilentRunning = 0x31,
  kInstallHall = 0x32,
  kAutoCheckAgreeBox = 0x33,
  kAutoInstall = 0x34,  // the only flag read as a word: bytes 0x34 and 0x35
  kTag = 0x36,
  kDelayStartSeconds = 0x38,
  kNoCreateShortcut = 0x3A,
  kShowOnlyFirstInstallPage = 0x3B,
};

}  // namespace stamp_layout
