#include "tools/tool_files.h"

#include <filesystem>

#include "tools/tool_text.h"

std::filesystem::path pathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string failureText(const FileStatus& status) {
  return toUtf8(describeFileStatus(status, platformErrorText(status.error)));
}

namespace {

// Why the file at `path` was not read: a folder, or the failure of the read.
std::string unreadable(const std::string& path, const FileReadResult& file) {
  std::error_code error;
  if (std::filesystem::is_directory(pathOf(path), error)) return "it is a folder, not a file";
  return failureText(file.failure);
}

}  // namespace

std::vector<uint8_t> readInputFile(const std::string& path) {
  FileReadResult file = readWholeFile(toUtf16(path));
  if (file.status == FileReadStatus::Missing) throw ToolError{kExitCannotRead, "there is no file " + path};
  if (file.status != FileReadStatus::Read) throw ToolError{kExitCannotRead, "cannot read " + path + ": " + unreadable(path, file)};
  return std::move(file.bytes);
}

ToolError writeFailure(const std::string& path, const FileStatus& written) {
  const char* state = written.stage == FileStage::Rewrite ? " (it may be damaged): " : " (left as it was): ";
  return ToolError{kExitCannotWrite, "cannot write " + path + state + failureText(written)};
}

void writeOutputFile(const std::string& path, std::span<const uint8_t> bytes, const FileOperations& files) {
  if (const FileStatus written = replaceFileContents(toUtf16(path), bytes, files); !written.ok())
    throw writeFailure(path, written);
}
