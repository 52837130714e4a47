// Helpers shared by the launch-settings tests: readings from argument lists
// and readable failure messages for the records.
#pragma once

#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "launch_settings/command_line.h"
#include "launch_settings/header_settings.h"
#include "launch_settings/launch_settings.h"
#include "tests/support/printable_text.h"

// The command-line reading of `arguments` (the program path is added in front).
inline CommandLineSettings commandLineOf(std::vector<std::u16string> arguments) {
  arguments.insert(arguments.begin(), u"C:\\launcher.exe");
  return readCommandLineSettings(CommandLineTokens(arguments));
}

inline void PrintTo(const HeaderSettings& s, std::ostream* out) {
  *out << "{channel " << s.channelId << ", sub " << s.subChannelId << ", app " << s.appId << ", silent "
       << s.silent << ", cover " << s.coverChannel << ", miniType " << s.miniType << ", autoRunningDisabled "
       << s.autoRunningDisabled << ", silentRunning " << s.silentRunning << ", installHall " << s.installHall
       << ", agreeBox " << s.autoCheckAgreeBox << ", autoInstall " << s.autoInstall << ", tag " << s.tag
       << ", delay " << s.delayStartSeconds << ", noShortcut " << s.noCreateShortcut << ", firstPageOnly "
       << s.showOnlyFirstInstallPage << "}";
}

// Every field of the list, by name: {channelId 5, ..., url "a=b", ...}.
inline void PrintTo(const LaunchSettings& s, std::ostream* out) {
  const char* separator = "{";
  forEachLaunchSettingsField([&](const auto& field) {
    *out << separator << field.name << " ";
    if constexpr (std::is_same_v<decltype(field.member), std::u16string LaunchSettings::*>)
      *out << '"' << printable(s.*field.member) << '"';
    else
      *out << s.*field.member;
    separator = ", ";
  });
  *out << "}";
}
