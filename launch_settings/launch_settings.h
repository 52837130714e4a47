// The launch-settings record: what one run of the launcher was asked to do,
// merged from the stamped header and the command line.
#pragma once

#include <cstdint>
#include <string>

#include "launch_settings/header_settings.h"

// Plain value record of the 36 launch settings, in their declared order. It
// owns its strings; copies are deep. Default construction gives "nothing was
// said": every number 0 except miniType -1, every flag false, every string empty.
struct LaunchSettings {
  int32_t channelId = 0;
  int32_t subChannelId = 0;
  int32_t appId = 0;
  bool silent = false;
  int32_t miniType = -1;  // -1: not given on the command line
  bool autoRunningDisabled = false;
  bool silentRunning = false;
  bool coverChannel = false;
  bool installHall = false;
  bool autoCheckAgreeBox = false;
  bool autoInstall = false;
  uint16_t tag = 0;
  uint16_t delayStartSeconds = 0;
  bool noCreateShortcut = false;
  bool showOnlyFirstInstallPage = false;
  int64_t uin = 0;
  bool selfUpdated = false;
  bool runElevated = false;
  bool timeAndCertUpdated = false;
  bool testDosHeaderAttribute = false;
  int32_t progressInfoWnd = 0;
  std::u16string paramPassThrough;
  std::u16string dParam;
  std::u16string downloadDir;
  bool startupFromPlugin = false;
  bool noStartup = false;
  std::u16string sig;
  bool startupByVrn = false;
  std::u16string adParam;
  std::u16string nickname;
  std::u16string url;
  std::u16string tempPid;
  std::u16string vrnHwnd;
  std::u16string pipeName;
  std::u16string svrId;
  std::u16string extraParams;

  bool operator==(const LaunchSettings&) const = default;
};

// The settings read from the command line alone.
using CommandLineSettings = LaunchSettings;

// Merges the two readings into the launch settings. A stamped copy (header
// channel non-zero) takes every header-backed field from the header, except a
// non-zero command-line sub-channel; an unstamped copy prefers the command
// line's non-zero numbers and given miniType, and ORs the switches (autoInstall
// also follows the merged silent). Fields without a header twin come from the
// command line. Pure: no failure.
LaunchSettings mergeLaunchSettings(const HeaderSettings& header, const CommandLineSettings& commandLine);
