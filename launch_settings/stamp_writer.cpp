#include "launch_settings/stamp_writer.h"

#include <stdexcept>

#include "launch_settings/stamp_layout.h"

namespace {

using namespace stamp_layout;

void putWord(std::span<uint8_t> bytes, size_t at, uint16_t value) {
  bytes[at] = uint8_t(value);
  bytes[at + 1] = uint8_t(value >> 8);
}

void putDword(std::span<uint8_t> bytes, size_t at, int32_t value) {
  putWord(bytes, at, uint16_t(uint32_t(value)));
  putWord(bytes, at + 2, uint16_t(uint32_t(value) >> 16));
}

}  // namespace

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
