// The settings stamped into the reserved words of the program's own MS-DOS
// header (file offsets 0x1C..0x3B), and the "cid" rule over the program path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The fifteen header-backed settings, named as in LaunchSettings (the merge
// pairs them by name; the layouts differ). Plain value record, owns nothing.
struct HeaderSettings {
  int32_t channelId = 0;  // 0: the copy is not stamped
  int32_t subChannelId = 0;
  int32_t appId = 0;
  bool silent = false;
  bool coverChannel = false;
  int32_t miniType = 0;  // an unsigned 16-bit field: always 0..65535
  bool autoRunningDisabled = false;
  bool silentRunning = false;
  bool installHall = false;
  bool autoCheckAgreeBox = false;
  bool autoInstall = false;
  uint16_t tag = 0;
  uint16_t delayStartSeconds = 0;
  bool noCreateShortcut = false;
  bool showOnlyFirstInstallPage = false;

  bool operator==(const HeaderSettings&) const = default;
};

// The stamp: the first byte and the end of the stamped range of the file.
inline constexpr size_t kStampBegin = 0x1C;
inline constexpr size_t kStampEnd = 0x3C;
// Size of the MS-DOS header, which holds the stamp, and its signature "MZ".
inline constexpr size_t kDosHeaderSize = 0x40;

// Reads the stamp from the start of a file's bytes, exactly as stamped (no
// "cid" rule). Bytes missing from a file shorter than the stamp read as zero.
HeaderSettings decodeStamp(std::span<const uint8_t> fileBytes);

// The number right after the first "cid" in `path` (directories included,
// A-Z case ignored), read by stringToLong: "setup_cid88.exe" gives 88,
// "D:\Cidade\x.exe" gives 0. std::nullopt when the path holds no "cid".
std::optional<int32_t> cidNumber(std::u16string_view path);

// `stamp` as the launcher reads it from a program file at `programPath`: when
// it names a channel but no sub-channel, the sub-channel is the path's "cid"
// number (0 without one).
HeaderSettings withCidRule(HeaderSettings stamp, std::u16string_view programPath);

// What the launcher reads from the program file at `programPath` whose bytes
// are `fileBytes`: the stamp, and, when it names a channel but no
// sub-channel, the sub-channel from the path's "cid" number (0 without one).
HeaderSettings decodeHeaderSettings(std::span<const uint8_t> fileBytes, std::u16string_view programPath);
