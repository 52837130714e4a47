// Whether a stamped copy of the launcher can pass its header self-test at
// all, worked out with the launcher's own rules: the "cid" rule, the
// command-line parser and the self-test comparison.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "launch_settings/header_settings.h"
#include "launch_settings/launch_settings.h"

// The launcher's reading of a command line split into `programPath` and
// `arguments` (UTF-8, one per argument, as CommandLineToArgvW splits them).
CommandLineSettings launcherCommandLine(std::u16string_view programPath, const std::vector<std::string>& arguments);

// Every reason why a copy of the launcher that carries `stamp` (as stamped,
// before the "cid" rule) and runs as `copyPath` (its full path: the "cid"
// rule searches the folders too) can never end its header self-test with 0,
// whatever its command line; one line per field, in the self-test's order,
// in words for a release engineer. Empty when the copy can pass: then the
// arguments of selfTestArguments(withCidRule(stamp, copyPath)) pass.
//
// Worked out, not listed: those arguments, the best the command line can say,
// are read back by the launcher's parser and compared by its self-test; each
// field that still differs is a reason. The command line has an argument for
// every value of every field but one: with MiniType=1 it reads no sub-channel
// (-pid carries the channel, /SubSource is not read), so a sub-channel other
// than 0, stamped or taken from "cid" in the path, always ends the self-test
// with 6.
std::vector<std::string> unpassableStampReasons(const HeaderSettings& stamp, std::u16string_view copyPath);
