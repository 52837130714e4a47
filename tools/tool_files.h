// The tools' whole-file reading and crash-safe writing by UTF-8 path, with
// failures told as ToolError.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "file_io/file_io.h"
#include "tools/tool_command.h"

// A UTF-8 path as a path of the platform, and back.
std::filesystem::path pathOf(const std::string& utf8);
std::string utf8Of(const std::filesystem::path& path);

// Why a file operation failed, for messages, in the system's words where it
// has them: "write failed, error 112 (There is not enough space on the disk)".
std::string failureText(const FileStatus& status);

// The whole file at the UTF-8 `path`. Raises ToolError kExitCannotRead,
// naming the path and why, when it is missing or cannot be read whole: "it is
// a folder, not a file", or the failed step with the system's error code and
// its meaning ("open failed, error 13 (no access)").
std::vector<uint8_t> readInputFile(const std::string& path);

// The failure to write `path`, as every tool path tells it: the file was
// left as it was, or, after a rewrite in place that failed part-way
// (FileStage::Rewrite), may be damaged.
ToolError writeFailure(const std::string& path, const FileStatus& written);

// Replaces (or creates) the file at the UTF-8 `path` with `bytes` through a
// temporary file beside it and a rename, so the path never holds a partial
// file, all through `files`. Raises ToolError kExitCannotWrite, naming the
// path and the stage that failed, on failure; the file at `path` is then as
// it was.
void writeOutputFile(const std::string& path, std::span<const uint8_t> bytes, const FileOperations& files);
