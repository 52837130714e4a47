#include "record_file/file_io.h"

const FileOperations& systemFileOperations() {
  static const FileOperations files = makeSystemFileOperations();
  return files;
}

FileStatus writeAll(const FileOperations& files, PlatformFile file, const uint8_t* data, size_t count,
                    uint32_t noProgress) {
  size_t done = 0;
  while (done < count) {
    size_t written = 0;
    const uint32_t error = files.write(file, data + done, count - done, written);
    if (error != 0) return {FileStage::Write, error};
    if (written == 0) return {FileStage::Write, noProgress};
    done += written;
  }
  return {};
}

FileStatus replaceFileContents(std::u16string_view path, std::span<const uint8_t> bytes,
                               const FileOperations& files) {
  std::u16string newFile;
  const FileStatus written = writeNewFile(path, bytes, true, files, newFile);
  return written.ok() ? putNewFileInPlace(newFile, path, files) : written;
}

FileSetWriter::~FileSetWriter() {
  for (const Pending& pending : pending_) deleteNewFile(pending.newFile);
}

FileStatus FileSetWriter::add(std::u16string_view path, std::span<const uint8_t> bytes) {
  std::u16string newFile;
  const FileStatus written = writeNewFile(path, bytes, false, files_, newFile);
  if (!written.ok()) return written;
  try {
    pending_.push_back({std::u16string(path), std::move(newFile)});
  } catch (...) {
    deleteNewFile(newFile);
    throw;
  }
  return {};
}

FileSetWriter::Committed FileSetWriter::commit() {
  std::vector<std::u16string> newFiles;
  for (const Pending& file : pending_) newFiles.push_back(file.newFile);
  Committed result;
  result.status = flushNewFiles(newFiles, files_);
  for (; result.status.ok() && result.placed < pending_.size(); ++result.placed) {
    result.status = putNewFileInPlace(pending_[result.placed].newFile, pending_[result.placed].target, files_);
    if (!result.status.ok()) break;
  }
  // A failed rename has deleted its new file already; deleting it again does no harm.
  for (size_t i = result.placed; i < pending_.size(); ++i) deleteNewFile(pending_[i].newFile);
  pending_.clear();
  return result;
}
