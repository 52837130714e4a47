// channel_stamp: stamps launch settings into copies of channel_launcher.exe,
// shows and verifies what a copy carries, and stamps copies in batches.
// "channel_stamp --help" and "channel_stamp COMMAND --help" describe the
// commands; the exit codes are those of tools/tool_command.h.
#pragma once

#include <iosfwd>
#include <string>
#include <variant>
#include <vector>

#include "launch_settings/header_settings.h"
#include "file_io/file_io.h"
#include "tools/csv.h"
#include "tools/pe_image.h"

// "stamp COPY ...", parsed.
struct StampRequest {
  std::string copy;    // UTF-8 path of the copy to read
  std::string output;  // UTF-8 path to write the stamped copy to; empty: the copy itself
  bool force = false;  // stamp even a signed copy, or a stamp the copy can never pass its self-test with
  HeaderSettings stamp;  // every field not named is 0 / off
};

// Parses the arguments after "stamp". Raises ToolError kExitUsage naming the
// option at fault.
StampRequest parseStampRequest(const std::vector<std::string>& arguments);

// One copy that a batch writes.
struct BatchCopy {
  size_t row = 0;      // data row of the manifest, from 1
  std::string output;  // file name inside the output folder
  HeaderSettings stamp;
};

// Reads a batch manifest: a header record naming the columns ("output",
// "channel" and any other field name of stampFields()), then one record per
// copy. Cells are trimmed of spaces; empty number cells are 0 (but "channel"
// must be given), switch cells take parseFieldSwitch's words. Every output is
// a plain file name (no folder, no characters Windows refuses, no device
// name), unique ignoring A-Z case. Returns every copy, or every fault found,
// each naming its row or column.
std::variant<std::vector<BatchCopy>, std::vector<std::string>> readBatchManifest(const std::vector<CsvRecord>& records);

// Why `name` cannot be the name of a file inside the output folder, or empty
// when it can.
std::string outputNameProblem(const std::string& name);

// One line for each reason why a copy of `copies`, written into `folder`,
// could never pass its header self-test ("row 3 (a.exe) can never pass its
// self-test: ..."; see unpassableStampReasons), in row order; empty when every
// copy can pass. The one check of a batch's rows before anything is written.
std::vector<std::string> unpassableBatchCopies(const std::vector<BatchCopy>& copies, const std::string& folder);

// Runs channel_stamp with the arguments after the program name (UTF-8):
// reports on `out`, explains failures on `err`, returns the exit code. Files
// are written through `files`; stamp and batch take copies of the launcher of
// `widths` (the shipped launcher: 32-bit only).
int runChannelStamp(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                    const FileOperations& files = systemFileOperations(),
                    LauncherWidths widths = LauncherWidths::Only32Bit);
