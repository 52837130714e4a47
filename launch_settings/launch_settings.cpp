#include "launch_settings/launch_settings.h"

namespace {

template <typename Int>
Int nonZeroOr(Int preferred, Int fallback) {
  return preferred != 0 ? preferred : fallback;
}

// The stamp decides: header values win even where they are zero or false.
void takeStamp(LaunchSettings& merged, const HeaderSettings& header) {
  merged.channelId = header.channelId;
  merged.appId = header.appId;
  merged.silent = header.silent;
  merged.coverChannel = header.coverChannel;
  merged.miniType = header.miniType;
  merged.autoRunningDisabled = header.autoRunningDisabled;
  merged.silentRunning = header.silentRunning;
  merged.installHall = header.installHall;
  merged.autoCheckAgreeBox = header.autoCheckAgreeBox;
  merged.autoInstall = header.autoInstall;
  merged.tag = header.tag;
  merged.delayStartSeconds = header.delayStartSeconds;
  merged.noCreateShortcut = header.noCreateShortcut;
  merged.showOnlyFirstInstallPage = header.showOnlyFirstInstallPage;
}

// No stamp: what the command line gave counts, the header fills the gaps and
// its switches add to the command line's. The channel stays the command line's.
void combineWithHeader(LaunchSettings& merged, const HeaderSettings& header) {
  merged.appId = nonZeroOr(merged.appId, header.appId);
  merged.tag = nonZeroOr(merged.tag, header.tag);
  merged.delayStartSeconds = nonZeroOr(merged.delayStartSeconds, header.delayStartSeconds);
  if (merged.miniType == -1) merged.miniType = header.miniType;
  merged.silent = merged.silent || header.silent;
  merged.coverChannel = merged.coverChannel || header.coverChannel;
  merged.autoRunningDisabled = merged.autoRunningDisabled || header.autoRunningDisabled;
  merged.silentRunning = merged.silentRunning || header.silentRunning;
  merged.installHall = merged.installHall || header.installHall;
  merged.autoCheckAgreeBox = merged.autoCheckAgreeBox || header.autoCheckAgreeBox;
  merged.noCreateShortcut = merged.noCreateShortcut || header.noCreateShortcut;
  merged.showOnlyFirstInstallPage = merged.showOnlyFirstInstallPage || header.showOnlyFirstInstallPage;
  merged.autoInstall = merged.autoInstall || header.autoInstall || merged.silent;
}

}  // namespace

LaunchSettings mergeLaunchSettings(const HeaderSettings& header, const CommandLineSettings& commandLine) {
  LaunchSettings merged = commandLine;
  if (header.channelId != 0)
    takeStamp(merged, header);
  else
    combineWithHeader(merged, header);
  // In both cases a sub-channel given on the command line overrides the stamp's.
  merged.subChannelId = nonZeroOr(commandLine.subChannelId, header.subChannelId);
  return merged;
}
