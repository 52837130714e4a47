#include "launch_settings/header_self_check.h"

#include <iterator>

int headerSelfTestCode(const HeaderSettings& header, const CommandLineSettings& commandLine) {
  // In code order; the code of a pair is its position in this list plus one.
  const bool differs[] = {
      header.miniType != commandLine.miniType,
      header.autoRunningDisabled != commandLine.autoRunningDisabled,
      header.silent != commandLine.silent,
      header.appId != commandLine.appId,
      header.channelId != commandLine.channelId,
      header.subChannelId != commandLine.subChannelId,
      header.installHall != commandLine.installHall,
      header.autoInstall != commandLine.autoInstall,
      header.tag != commandLine.tag,
      header.delayStartSeconds != commandLine.delayStartSeconds,
      header.noCreateShortcut != commandLine.noCreateShortcut,
      header.silentRunning != commandLine.silentRunning,
      header.showOnlyFirstInstallPage != commandLine.showOnlyFirstInstallPage,
      header.coverChannel != commandLine.coverChannel,
      header.autoCheckAgreeBox != commandLine.autoCheckAgreeBox,
  };
  for (int code = 1; code <= int(std::size(differs)); ++code)
    if (differs[code - 1]) return code;
  return 0;
}
