#include "file_io/file_io_platform.h"

const FileOperations& systemFileOperations() {
  static const FileOperations files = makeSystemFileOperations();
  return files;
}

FileReadResult readAll(const FileOperations& files, PlatformFile file, size_t size) {
  FileReadResult result;
  result.bytes.resize(size);
  for (size_t done = 0; done < size;) {
    size_t read = 0;
    const uint32_t error = files.read(file, result.bytes.data() + done, size - done, read);
    if (error != 0 || read == 0) {
      result.bytes.clear();
      result.failure = {FileStage::Read, error};
      return result;
    }
    done += read;
  }
  result.status = FileReadStatus::Read;
  return result;
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

AfterFailure fallBackAfter(const FileStatus& failed, const FileOperations& files) {
  const bool held = files.isHeld != nullptr && files.isHeld(failed.error);
  const bool noAccess = files.isNoAccess != nullptr && files.isNoAccess(failed.error);
  const bool rewrite = (failed.stage == FileStage::Rename && held) || (failed.stage == FileStage::Create && noAccess);
  return rewrite ? AfterFailure::RewriteInPlace : AfterFailure::GiveUp;
}

namespace {

// Refused when the file at `path` may not be written: nothing is to be
// written for it, by any way round.
FileStatus refusal(std::u16string_view path, const FileOperations& files) {
  const uint32_t error = files.writeRefusal(std::u16string(path));
  return error == 0 ? FileStatus{} : FileStatus{FileStage::Refused, error};
}

// The new bytes written over the file itself, after `failed`: how that ended.
FileStatus rewriteAfter(const FileStatus& failed, std::u16string_view path, std::span<const uint8_t> bytes,
                        const FileOperations& files) {
  const FileStatus rewritten = rewriteInPlace(path, bytes, files);
  // Done, or failed part-way (it says so).
  if (rewritten.stage != FileStage::Open) return rewritten;
  // Refused that open too, so nothing was written: a hold (a sharing
  // violation) says more than the rename's code (on Windows "access denied"
  // for any open file).
  const bool held = files.isHeld != nullptr && files.isHeld(rewritten.error);
  return held ? FileStatus{failed.stage, rewritten.error} : failed;
}

}  // namespace

FileStatus replaceFileContents(std::u16string_view path, std::span<const uint8_t> bytes,
                               const FileOperations& files) {
  if (const FileStatus refused = refusal(path, files); !refused.ok()) return refused;
  removeOldNewFiles(path);
  HoldRetry retry(files);
  std::u16string newFile;
  FileStatus status = writeNewFile(path, bytes, true, files, retry, newFile);
  if (status.ok()) status = putNewFileInPlace(newFile, path, files, retry);
  if (status.ok() || fallBackAfter(status, files) == AfterFailure::GiveUp) return status;
  return rewriteAfter(status, path, bytes, files);
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
  if (const FileStatus refused = refusal(path, files_); !refused.ok()) return refused;
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
