// channel_stamp: writes launch settings into the MS-DOS header of a copy of
// channel_launcher.exe, and shows what a copy carries.
//
//   channel_stamp stamp COPY --channel N [--sub-channel N] [--app-id N]
//                 [--mini-type N] [--tag N] [--delay-start-seconds N]
//                 [--silent] [--cover-channel] [--auto-running-disabled]
//                 [--silent-running] [--install-hall] [--auto-check-agree-box]
//                 [--auto-install] [--no-create-shortcut]
//                 [--show-only-first-install-page] [--output OUT]
//   channel_stamp show COPY
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <variant>
#include <vector>

#include "launch_settings/header_settings.h"

// One parsed invocation.
struct StampCommand {
  enum class Action { Stamp, Show };
  Action action = Action::Show;
  std::string copy;    // UTF-8 path of the copy to read
  std::string output;  // UTF-8 path to write the stamped copy to; empty: the copy itself
  HeaderSettings stamp;  // every field not named on the command line is 0 / false
};

// Parses the arguments after the program name (UTF-8). Returns the command,
// or a one-line message saying what is wrong with the arguments.
std::variant<StampCommand, std::string> parseStampArguments(const std::vector<std::string>& arguments);

// The arguments that make a copy carrying `settings` (as the launcher reads
// it, "cid" rule applied) pass its header self-test, TestDosHeaderAttribute first.
std::vector<std::string> selfTestArguments(const HeaderSettings& settings);

// Runs channel_stamp: parses `arguments`, acts, reports on `out` and explains
// failures on `err`. Returns 0 on success, 1 when a file cannot be read or
// written or is not an MS-DOS executable ("MZ" and at least 0x40 bytes),
// 2 for wrong arguments (with the usage).
int runChannelStamp(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
