// channel_stamp: stamps launch settings into copies of channel_launcher.exe,
// shows and verifies what a copy carries, and stamps copies in batches.
// "channel_stamp --help" and "channel_stamp COMMAND --help" describe the
// commands; the exit codes are those of tools/tool_command.h.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "launch_settings/header_settings.h"
#include "launch_settings/launch_settings.h"
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
  std::vector<std::string> warnings;  // what stamping it was warned of (a --force that let it through)
  std::string sha256;  // what a publish report says its SHA-256 is (hex); empty from a manifest
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

// Raises ToolError kExitUsage: `message`, pointing at 'channel_stamp COMMAND --help'.
[[noreturn]] void usageError(const std::string& command, const std::string& message);

// The value of the option at arguments[at] (the next argument; `at` moves to
// it); raises a usage error when there is none.
const std::string& optionValue(const std::string& command, const std::vector<std::string>& arguments, size_t& at);

// The arguments of batch, audit and publish: MANIFEST, --template COPY, the
// folder option, and --force where the command takes it.
struct ManifestArguments {
  std::string manifest, templateCopy, folder;
  bool force = false;
};

// Parses `arguments` of `command`; any other option is a usage error, as are
// a missing MANIFEST or folder option.
ManifestArguments parseManifestArguments(const std::string& command, const std::vector<std::string>& arguments,
                                         const std::string& folderOption, bool takesForce);

// A batch ready to be written: the manifest's copies and the template.
struct BatchPlan {
  std::vector<BatchCopy> copies;
  std::vector<uint8_t> templateBytes;
  ExecutableInfo templateInfo;
};

// Reads what batch takes: every row of `manifest` checked (ToolError
// kExitBadManifest, each fault told on `err`), a row whose copy can never
// pass its self-test at its place in `folder` refused (kExitUsage; see
// unpassableBatchCopies), and `templateCopy` (a copy of the launcher of
// `widths`, kExitBadInput otherwise; a signed one refused with kExitSigned).
// With `force` the refusals are warnings, told on `err` and added to the
// copies they concern.
BatchPlan readBatchPlan(const std::string& manifest, const std::string& templateCopy, const std::string& folder,
                        bool force, LauncherWidths widths, std::ostream& err);

// Writes the plan's copies into `folder` (created when missing), each beside
// its place first, all flushed together, then renamed into place. Returns
// their paths, in the plan's order. Raises ToolError kExitCannotWrite when a
// copy cannot be written (`folder` as it was) or put in place (the message
// says how many were).
std::vector<std::string> writeBatchCopies(const BatchPlan& plan, const std::string& folder, const FileOperations& files);

// The launcher's header self-test done offline, as "verify" runs it.
struct SelfTest {
  int code = 0;        // 0, or the code of the first field that differs (1..15)
  HeaderSettings header;  // the copy as the launcher reads it ("cid" rule applied)
  CommandLineSettings commandLine;
};

// Runs the self-test of the copy whose bytes are `bytes`, at `programPath`
// (the full path the "cid" rule searches), started with `arguments` (after
// the program's name, one per word).
SelfTest runSelfTest(std::span<const uint8_t> bytes, const std::u16string& programPath,
                     const std::vector<std::string>& arguments);

// "self-test code 0: ..." or "self-test code 5: channelId differs: stamp 7, command line 8".
std::string selfTestVerdict(const SelfTest& test);

// Runs channel_stamp with the arguments after the program name (UTF-8):
// reports on `out`, explains failures on `err`, returns the exit code. Files
// are written through `files`; stamp and batch take copies of the launcher of
// `widths` (the shipped launcher: 32-bit only).
int runChannelStamp(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                    const FileOperations& files = systemFileOperations(),
                    LauncherWidths widths = LauncherWidths::Only32Bit);
