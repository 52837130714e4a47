// The header self-test: does the stamp say what the command line says?
#pragma once

#include "launch_settings/header_settings.h"
#include "launch_settings/launch_settings.h"

// Compares the fifteen header-backed fields of the two raw readings (no merge)
// in the self-test's fixed order and returns the code of the first field that
// differs, 1..15 (1 miniType, 2 autoRunningDisabled, 3 silent, 4 appId,
// 5 channelId, 6 subChannelId, 7 installHall, 8 autoInstall, 9 tag,
// 10 delayStartSeconds, 11 noCreateShortcut, 12 silentRunning,
// 13 showOnlyFirstInstallPage, 14 coverChannel, 15 autoCheckAgreeBox),
// or 0 when all agree.
int headerSelfTestCode(const HeaderSettings& header, const CommandLineSettings& commandLine);
