#include "launch_settings/header_settings.h"

#include "common/string_to_long.h"
#include "common/ascii_case.h"
#include "launch_settings/stamp_layout.h"

namespace {

using namespace stamp_layout;

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

HeaderSettings withCidRule(HeaderSettings stamp, std::u16string_view programPath) {
  if (stamp.channelId != 0 && stamp.subChannelId == 0) stamp.subChannelId = cidNumber(programPath).value_or(0);
  return stamp;
}

HeaderSettings decodeHeaderSettings(std::span<const uint8_t> fileBytes, std::u16string_view programPath) {
  return withCidRule(decodeStamp(fileBytes), programPath);
}
