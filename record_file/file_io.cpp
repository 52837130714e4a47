#include "record_file/file_io.h"

#include <algorithm>

namespace {

WriteFault injectedFault = WriteFault::None;
size_t injectedBytesBeforeFailure = 0;

}  // namespace

void setWriteFaultForTesting(WriteFault fault, size_t bytesBeforeFailure) {
  injectedFault = fault;
  injectedBytesBeforeFailure = bytesBeforeFailure;
}

WriteFault writeFaultForTesting() { return injectedFault; }

size_t writableBytesForTesting(size_t count) {
  return injectedFault == WriteFault::Write ? std::min(count, injectedBytesBeforeFailure) : count;
}

bool replaceFileContents(std::u16string_view path, std::span<const uint8_t> bytes) {
  const std::u16string newFile = writeNewFile(path, bytes, true);
  return !newFile.empty() && putNewFileInPlace(newFile, path);
}

FileSetWriter::~FileSetWriter() {
  for (const Pending& pending : pending_) deleteNewFile(pending.newFile);
}

bool FileSetWriter::add(std::u16string_view path, std::span<const uint8_t> bytes) {
  std::u16string newFile = writeNewFile(path, bytes, false);
  if (newFile.empty()) return false;
  try {
    pending_.push_back({std::u16string(path), std::move(newFile)});
  } catch (...) {
    deleteNewFile(newFile);
    throw;
  }
  return true;
}

size_t FileSetWriter::commit() {
  std::vector<std::u16string> newFiles;
  for (const Pending& file : pending_) newFiles.push_back(file.newFile);
  size_t placed = 0;
  if (writeFaultForTesting() != WriteFault::Flush && flushNewFiles(newFiles)) {
    for (; placed < pending_.size(); ++placed)
      if (!putNewFileInPlace(pending_[placed].newFile, pending_[placed].target)) break;
  }
  // A failed rename has deleted its new file already; deleting it again does no harm.
  for (size_t i = placed; i < pending_.size(); ++i) deleteNewFile(pending_[i].newFile);
  pending_.clear();
  return placed;
}
