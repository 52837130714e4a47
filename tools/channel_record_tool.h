// channel_record: reads and edits the hall's install-channel file
// ("InsChannel.as") with the launcher's own store, for support work.
// "channel_record --help" describes the commands; the exit codes are those of
// tools/tool_command.h.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "file_io/file_io.h"

// Runs channel_record with the arguments after the program name (UTF-8):
// reports on `out`, explains failures on `err`, returns the exit code. Files
// are written through `files`.
int runChannelRecord(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                     const FileOperations& files = systemFileOperations());
