// "channel_stamp publish": a release in one command. Stamps every row of a
// manifest as "batch" does, signs and verifies each copy with osslsigncode
// when a key is given, runs each copy's header self-test against its row,
// audits the lot, writes SHA256SUMS and publish-report.json, and puts the
// folder in place only when every step passed.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "file_io/file_io.h"
#include "tools/pe_image.h"
#include "tools/program_run.h"

// The text of "channel_stamp publish --help".
const char* publishHelp();

// Runs publish with the arguments after its name: reports on `out`, explains
// failures on `err` (raising ToolError, as every command does), writes
// through `files`, takes copies of the launcher of `widths` and starts the
// signer through `runner`.
int runPublish(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
               const FileOperations& files, LauncherWidths widths, const ProgramRunner& runner);

// publish as channel_stamp's command table runs it: with runProgram, on
// copies of the launcher of `widths`.
int publishCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   const FileOperations& files, LauncherWidths widths);
