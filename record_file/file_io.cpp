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

FileStatus putNewFileInPlace(const std::u16string& newFile, std::u16string_view target, const FileOperations& files,
                             HoldRetry& retry) {
  const std::u16string to(target);
  const uint32_t error = retry.run([&] { return files.rename(newFile, to); });
  if (error == 0) return {};
  deleteNewFile(newFile);
  return {FileStage::Rename, error};
}

FileStatus replaceFileContents(std::u16string_view path, std::span<const uint8_t> bytes,
                               const FileOperations& files) {
  removeOldNewFiles(path);
  HoldRetry retry(files);
  std::u16string newFile;
  const FileStatus written = writeNewFile(path, bytes, true, files, retry, newFile);
  if (!written.ok()) return written;
  const FileStatus placed = putNewFileInPlace(newFile, path, files, retry);
  const bool stillHeld = placed.stage == FileStage::Rename && files.isHeld != nullptr && files.isHeld(placed.error);
  if (!stillHeld) return placed;
  // A program that holds the file but lets others write it (a C runtime's
  // "rb", an editor) keeps the old name in use; writing the new bytes into
  // the file itself is how such a file is changed. One that lets nobody
  // write fails this open too, and the file stays as it was.
  const FileStatus rewritten = rewriteInPlace(path, bytes, files);
  if (rewritten.ok()) return rewritten;
  if (rewritten.stage != FileStage::Open) return rewritten;  // failed part-way: it says so
  // Refused that open too, so nothing was written: the hold (a sharing
  // violation) says more than the rename's code (on Windows "access denied"
  // for any open file).
  return files.isHeld(rewritten.error) ? FileStatus{FileStage::Rename, rewritten.error} : placed;
}

namespace {

bool isHexDigit(char16_t c, bool lowercaseOnly) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (!lowercaseOnly && c >= u'A' && c <= u'F');
}

// Whether `text` is one or more characters, each a digit (hex: a hex digit).
bool isNumber(std::u16string_view text, bool hex) {
  if (text.empty()) return false;
  for (const char16_t c : text)
    if (hex ? !isHexDigit(c, true) : !(c >= u'0' && c <= u'9')) return false;
  return true;
}

}  // namespace

bool isNewFileName(std::u16string_view name, [[maybe_unused]] std::u16string_view targetName) {
#ifdef _WIN32
  constexpr std::u16string_view kPrefix = u"~ic", kSuffix = u".tmp";
  if (name.size() != kPrefix.size() + 6 + kSuffix.size()) return false;
  if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return false;
  return isNumber(name.substr(kPrefix.size(), 6), true);
#else
  constexpr std::u16string_view kSuffix = u".tmp";
  if (name.size() <= targetName.size() + 1 || !name.starts_with(targetName) || !name.ends_with(kSuffix)) return false;
  std::u16string_view middle = name.substr(targetName.size(), name.size() - targetName.size() - kSuffix.size());
  // ".<pid>.<hex>.<counter>"
  std::u16string_view parts[3];
  for (std::u16string_view& part : parts) {
    if (middle.empty() || middle[0] != u'.') return false;
    middle.remove_prefix(1);
    const size_t dot = middle.find(u'.');
    part = middle.substr(0, dot);
    middle.remove_prefix(part.size());
  }
  return middle.empty() && isNumber(parts[0], false) && isNumber(parts[1], true) && isNumber(parts[2], false);
#endif
}

FileSetWriter::~FileSetWriter() {
  for (const Pending& pending : pending_) deleteNewFile(pending.newFile);
}

FileStatus FileSetWriter::add(std::u16string_view path, std::span<const uint8_t> bytes) {
  HoldRetry retry(files_);
  std::u16string newFile;
  const FileStatus written = writeNewFile(path, bytes, false, files_, retry, newFile);
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
  HoldRetry retry(files_);
  for (; result.status.ok() && result.placed < pending_.size(); ++result.placed) {
    result.status = putNewFileInPlace(pending_[result.placed].newFile, pending_[result.placed].target, files_, retry);
    if (!result.status.ok()) break;
  }
  // A failed rename has deleted its new file already; deleting it again does no harm.
  for (size_t i = result.placed; i < pending_.size(); ++i) deleteNewFile(pending_[i].newFile);
  pending_.clear();
  return result;
}
