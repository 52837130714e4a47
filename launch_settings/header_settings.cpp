#include "launch_settings/header_settings.h"

#include <stdexcept>

#include "common/string_to_long.h"
#include "common/ascii_case.h"

namespace {

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

// Little-endian reader over the stamp that reads missing bytes as zero.
class StampReader {
 public:
  explicit StampReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint8_t byte(size_t at) const { return at < bytes_.size() ? bytes_[at] : 0; }
  uint16_t word(size_t at) const { return uint16_t(byte(at) | byte(at + 1) << 8); }
  int32_t dword(size_t at) const { return int32_t(uint32_t(word(at)) | uint32_t(word(at + 2)) << 16); }
  bool flag(size_t at) const { return byte(at) != 0; }

 private:
  std::span<const uint8_t> bytes_;
};

void putWord(std::span<uint8_t> bytes, size_t at, uint16_t value) {
  bytes[at] = uint8_t(value);
  bytes[at + 1] = uint8_t(value >> 8);
}

void putDword(std::span<uint8_t> bytes, size_t at, int32_t value) {
  putWord(bytes, at, uint16_t(uint32_t(value)));
  putWord(bytes, at + 2, uint16_t(uint32_t(value) >> 16));
}

}  // namespace

HeaderSettings decodeStamp(std::span<const uint8_t> fileBytes) {
  const StampReader stamp(fileBytes);
  HeaderSettings settings;
  settings.channelId = stamp.dword(kChannelId);
  settings.subChannelId = stamp.dword(kSubChannelId);
  settings.appId = stamp.dword(kAppId);
  settings.silent = stamp.flag(kSilent);
  settings.coverChannel = stamp.flag(kCoverChannel);
  settings.miniType = stamp.word(kMiniType);
  settings.autoRunningDisabled = stamp.flag(kAutoRunningDisabled);
  settings.silentRunning = stamp.flag(kSilentRunning);
  settings.installHall = stamp.flag(kInstallHall);
  settings.autoCheckAgreeBox = stamp.flag(kAutoCheckAgreeBox);
  settings.autoInstall = stamp.word(kAutoInstall) != 0;
  settings.tag = stamp.word(kTag);
  settings.delayStartSeconds = stamp.word(kDelayStartSeconds);
  settings.noCreateShortcut = stamp.flag(kNoCreateShortcut);
  settings.showOnlyFirstInstallPage = stamp.flag(kShowOnlyFirstInstallPage);
  return settings;
}

std::optional<int32_t> cidNumber(std::u16string_view path) {
  const size_t at = findIgnoringAsciiCase(path, u"cid");
  if (at == std::u16string_view::npos) return std::nullopt;
  return stringToLong(path.substr(at + 3));
}

HeaderSettings decodeHeaderSettings(std::span<const uint8_t> fileBytes, std::u16string_view programPath) {
  HeaderSettings settings = decodeStamp(fileBytes);
  if (settings.channelId != 0 && settings.subChannelId == 0)
    settings.subChannelId = cidNumber(programPath).value_or(0);
  return settings;
}

void writeStamp(std::span<uint8_t> fileBytes, const HeaderSettings& settings) {
  if (fileBytes.size() < kStampEnd) throw std::invalid_argument("writeStamp: the file is shorter than the stamp");
  putDword(fileBytes, kChannelId, settings.channelId);
  putDword(fileBytes, kSubChannelId, settings.subChannelId);
  putDword(fileBytes, kAppId, settings.appId);
  fileBytes[kSilent] = settings.silent;
  fileBytes[kCoverChannel] = settings.coverChannel;
  putWord(fileBytes, kMiniType, uint16_t(settings.miniType));
  fileBytes[kAutoRunningDisabled] = settings.autoRunningDisabled;
  fileBytes[kSilentRunning] = settings.silentRunning;
  fileBytes[kInstallHall] = settings.installHall;
  fileBytes[kAutoCheckAgreeBox] = settings.autoCheckAgreeBox;
  putWord(fileBytes, kAutoInstall, settings.autoInstall);
  putWord(fileBytes, kTag, settings.tag);
  putWord(fileBytes, kDelayStartSeconds, settings.delayStartSeconds);
  fileBytes[kNoCreateShortcut] = settings.noCreateShortcut;
  fileBytes[kShowOnlyFirstInstallPage] = settings.showOnlyFirstInstallPage;
}
