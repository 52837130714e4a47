#include "launch_flow/hall_launch.h"

#include "common/decimal_text.h"
#include "launch_flow/install_channel.h"
#include "launch_flow/path_text.h"

namespace {

// The hall directory from the registry, when it names one place. A relative
// one ("Hall\", "..\x", "C:Hall", "\Hall") would be resolved against the
// current folder, the one the copy was run from: it counts as no hall.
std::u16string readHallDirectory(const HallLaunchPlatform& platform) {
  std::u16string directory = platform.readHallDirectory();
  if (directory.empty() || isFullyQualifiedPath(directory)) return directory;
  platform.trace(kHallDirectoryIgnoredTrace);
  return {};
}

// "ludora.exe" in `hallDirectory`; empty when there is no directory (a bare
// name would find whatever ludora.exe lies in the current directory) or the
// path cannot be formed (too long). An empty path names nothing to start.
std::u16string hallExecutablePath(const HallLaunchPlatform& platform, const std::u16string& hallDirectory) {
  if (hallDirectory.empty()) return {};
  return platform.combinePath(hallDirectory, kHallExecutableName);
}

// The hall starts where the install-channel step left the launcher: in the
// hall's cache folder when the step made it current. Otherwise the current
// folder is still the one the copy was run from, and the hall gets its own.
void launchInstalledHall(const HallLaunchPlatform& platform, const std::u16string& hallDirectory,
                         const std::u16string& hallExecutable, int32_t channelId, int32_t appId) {
  const std::u16string runFrom = platform.currentDirectory();
  platform.recordInstallChannel(hallDirectory, channelId);
  platform.trace(kChannelRecordedTrace);  // whether or not the step wrote the file
  const std::u16string current = platform.currentDirectory();
  const std::u16string& workingDirectory = current != runFrom ? current : hallDirectory;
  platform.shellStart(hallExecutable, std::u16string(kHallStartParameter), workingDirectory);
  if (!waitForHallWindow(platform)) return;
  platform.shellStart(hallExecutable, hallStartParameter(appId), workingDirectory);
}

// Starts the software manager from the directory its uninstall value names.
// Without a fully qualified directory there is nothing safe to start: a bare
// or relative name would be looked for in the launcher's own folder and the
// current directory, where anyone may have put a program of that name.
void startSoftwareManager(const HallLaunchPlatform& platform) {
  const std::u16string managerDirectory = managerDirectoryFromUninstallValue(platform.readUninstallValue());
  if (managerDirectory.empty()) return;
  const std::u16string manager = platform.combinePath(managerDirectory, kSoftwareManagerName);
  if (!isFullyQualifiedPath(manager)) return;
  platform.startProcess(buildCommandLine(manager, kSoftwareManagerArguments));
}

// The software manager may install the hall meanwhile, so the hall directory
// is read afresh once its window has shown up. The wait runs even when no
// manager was started: the user may be installing the hall another way.
// Nothing here changes the current folder, so the hall starts in its own.
void launchThroughSoftwareManager(const HallLaunchPlatform& platform, int32_t appId) {
  startSoftwareManager(platform);
  if (!waitForHallWindow(platform)) return;
  const std::u16string hallDirectory = readHallDirectory(platform);
  const std::u16string hallExecutable = hallExecutablePath(platform, hallDirectory);
  if (hallExecutable.empty()) return;
  platform.shellStart(hallExecutable, hallStartParameter(appId), hallDirectory);
}

void launchWithoutHall(const HallLaunchPlatform& platform, int32_t channelId, int32_t appId) {
  platform.trace(kNoHallSeparatorLine);
  platform.trace(decimalText(channelId));
  platform.trace(decimalText(kSoftwareManagerChannel));
  if (channelId != kSoftwareManagerChannel) {
    platform.messageBox(kDownloadMessageText, kDownloadMessageCaption);
    return;
  }
  launchThroughSoftwareManager(platform, appId);
}

}  // namespace

void runHallLaunch(const HallLaunchPlatform& platform, int32_t channelId, int32_t appId) {
  const std::u16string hallDirectory = readHallDirectory(platform);
  const std::u16string hallExecutable = hallExecutablePath(platform, hallDirectory);
  if (!hallExecutable.empty() && platform.fileExists(hallExecutable)) {
    launchInstalledHall(platform, hallDirectory, hallExecutable, channelId, appId);
  } else {
    launchWithoutHall(platform, channelId, appId);
  }
}

bool waitForHallWindow(const HallLaunchPlatform& platform) {
  for (int32_t poll = 1;; ++poll) {
    platform.trace(std::u16string(kPollLinePrefix) + decimalText(poll) + u"\r\n");
    if (poll >= kWaitPolls) return false;
    if (platform.hallWindowShown()) return true;
    platform.sleep(kPollPauseMilliseconds);
  }
}

std::u16string hallStartParameter(int32_t appId) {
  std::u16string parameter(kHallStartParameter);
  if (appId != 0) parameter += std::u16string(kAppIdParameterPrefix) + decimalText(appId);
  return parameter;
}

std::u16string buildCommandLine(std::u16string_view executablePath, std::u16string_view arguments) {
  std::u16string commandLine;
  if (executablePath.find(u' ') != executablePath.npos) {
    commandLine = u"\"" + std::u16string(executablePath) + u"\"";
  } else {
    commandLine = executablePath;
  }
  commandLine += u' ';
  commandLine += arguments;
  return commandLine;
}

std::u16string managerDirectoryFromUninstallValue(std::u16string_view uninstallValue) {
  std::u16string_view uninstaller = uninstallValue;
  if (uninstaller.starts_with(u'"')) {
    uninstaller.remove_prefix(1);
    uninstaller = uninstaller.substr(0, uninstaller.find(u'"'));  // no closing quote: to the end
  }
  std::u16string directory = containingDirectory(uninstaller);
  // A quote left in the directory would end the path early in the command line.
  if (directory.find(u'"') != directory.npos || !isFullyQualifiedPath(directory)) return {};
  return directory;
}
