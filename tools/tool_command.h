// How the command-line tools run a command: their exit codes, the failure a
// command raises, the dispatch of COMMAND ARGS... with --help, and small
// pieces of their listings.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "file_io/file_io.h"

// Exit codes of channel_stamp and channel_record. 1..15 are left to
// "channel_stamp verify", which ends with the launcher's self-test code.
enum ToolExit : int {
  kExitDone = 0,
  kExitUsage = 16,        // wrong arguments or options
  kExitCannotRead = 17,   // an input file is missing or could not be read whole
  kExitBadInput = 18,     // an input is not what the command works on (not a PE executable, not enciphered, ...)
  kExitSigned = 19,       // the copy carries an Authenticode signature and --force was not given
  kExitBadManifest = 20,  // a batch manifest row is invalid; nothing was written
  kExitCannotWrite = 21,  // an output file could not be written; the old one (if any) is unchanged
  kExitAuditDiffers = 22, // audit: a published copy is missing or differs from its manifest row or template
  kExitPublishFailed = 23,  // publish: a copy failed a step (signing, its signature, its self-test, the audit);
                            // nothing was published
};

// A failure of a tool command: what to tell the user and the exit code.
struct ToolError {
  int exitCode;
  std::string message;
};

// `value` in hexadecimal for messages: "0x1C".
std::string hexText(uint32_t value);

// One command of a tool: its name, its --help text and what runs it (with the
// arguments after the command's name, and what files are written through).
// `run` reports failures by raising ToolError.
struct ToolCommand {
  const char* name;
  const char* help;
  std::function<int(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   const FileOperations& files)>
      run;
};

// Runs a tool: "--version" prints the tool's name and toolVersionText();
// "--help", "-h" or "help [COMMAND]" print `overview` or the command's help; "COMMAND ARGS..." runs the command, or prints its help when
// `asksForHelp(ARGS)`. A ToolError is told on `err` as "TOOL: message" and its
// exit code returned; running out of memory, or a text conversion that
// fails, likewise ends with kExitCannotRead.
int runTool(const char* tool, const char* overview, std::span<const ToolCommand> commands,
            bool (*asksForHelp)(const std::vector<std::string>& arguments),
            const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
            const FileOperations& files);

// Whether `argument` is "--help" or "-h".
bool isHelpOption(const std::string& argument);

// One line of a listing: the label, padded to `valueColumn` (at least one
// space), then the value.
void listLine(std::ostream& out, const std::string& label, const std::string& value, size_t valueColumn);
