// The native build's file access: the UTF-16 path as UTF-8, POSIX calls.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "common/ascii_text.h"
#include "file_io/file_io_platform.h"

namespace {

// The path as UTF-8; a lone surrogate becomes U+FFFD.
std::string nativePath(std::u16string_view path) {
  std::string bytes;
  bytes.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    char32_t c = path[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (path[++i] - 0xDC00);
    else if (c >= 0xD800 && c <= 0xDFFF)
      c = 0xFFFD;
    if (c < 0x80) {
      bytes += char(c);
    } else if (c < 0x800) {
      bytes += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      bytes += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
    } else {
      bytes += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)), char(0x80 | (c >> 6 & 0x3F)),
                char(0x80 | (c & 0x3F))};
    }
  }
  return bytes;
}

// The UTF-8 path as UTF-16; each byte that does not begin a well-formed
// sequence becomes U+FFFD.
std::u16string widePath(std::string_view path) {
  std::u16string text;
  text.reserve(path.size());
  for (size_t i = 0; i < path.size();) {
    const auto lead = static_cast<uint8_t>(path[i]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                                                          : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool wellFormed = length != 0 && i + length <= path.size();
    for (size_t k = 1; wellFormed && k < length; ++k) {
      const auto next = static_cast<uint8_t>(path[i + k]);
      wellFormed = (next & 0xC0) == 0x80;
      c = c << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!wellFormed || c < least[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      text += u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      text += char16_t(0xD800 + ((c - 0x10000) >> 10));
      text += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      text += char16_t(c);
    }
    i += length;
  }
  return text;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  bool close() {
    if (fd_ < 0) return true;
    int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_;
};

// 0 when the call returned 0, else errno.
uint32_t errorUnless(int result) { return result == 0 ? 0 : static_cast<uint32_t>(errno); }

// One read or write (`call`, a ::read or ::write), begun again when a signal
// interrupts it: 0 with the bytes it moved in `done`, or errno.
template <class Call>
uint32_t transfer(Call call, size_t& done) {
  done = 0;
  ssize_t n;
  do n = call();
  while (n < 0 && errno == EINTR);
  if (n < 0) return static_cast<uint32_t>(errno);
  done = static_cast<size_t>(n);
  return 0;
}

}  // namespace

FileOperations makeSystemFileOperations() {
  FileOperations files;
  files.open = [](const std::u16string& path, OpenMode mode, PlatformFile& file) -> uint32_t {
    const std::string name = nativePath(path);
    if (name.empty()) return ENOENT;
    int flags = O_RDONLY;
    if (mode == OpenMode::CreateNew) flags = O_WRONLY | O_CREAT | O_EXCL;
    if (mode == OpenMode::Rewrite) flags = O_WRONLY;
    const int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return static_cast<uint32_t>(errno);
    file = fd;
    return 0;
  };
  files.read = [](PlatformFile file, uint8_t* data, size_t count, size_t& read) {
    return transfer([&] { return ::read(static_cast<int>(file), data, count); }, read);
  };
  // A file this process may not write is not replaced, as opening it for
  // writing would fail.
  files.writeRefusal = [](const std::u16string& path) -> uint32_t {
    const std::string name = nativePath(path);
    if (name.empty()) return 0;  // nothing to refuse: a new file beside it cannot be created
    return ::access(name.c_str(), W_OK) != 0 && errno != ENOENT ? static_cast<uint32_t>(errno) : 0;
  };
  files.write = [](PlatformFile file, const uint8_t* data, size_t count, size_t& written) {
    return transfer([&] { return ::write(static_cast<int>(file), data, count); }, written);
  };
  files.flush = [](PlatformFile file) { return errorUnless(::fsync(static_cast<int>(file))); };
  files.flushFileSystem = [](PlatformFile file) { return errorUnless(::syncfs(static_cast<int>(file))); };
  files.rename = [](const std::u16string& from, const std::u16string& to) {
    return errorUnless(::rename(nativePath(from).c_str(), nativePath(to).c_str()));
  };
  files.pause = [](uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); };
  // POSIX files have no sharing modes: another program's open never stands in the way.
  files.isHeld = [](uint32_t) { return false; };
  // EPERM too: a folder made immutable refuses new files so, even to root.
  files.isNoAccess = [](uint32_t error) { return error == EACCES || error == EPERM; };
  return files;
}

namespace {

// Creates a new file beside target, named after it with a unique suffix;
// -1 with errno set on failure.
int createSibling(const std::string& target, const FileOperations& files, HoldRetry& retry, std::string& name) {
  static unsigned counter = 0;
  auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%d.%llx.%u.tmp", static_cast<int>(getpid()), stamp, ++counter);
    name = target + suffix;
    const std::u16string path = widePath(name);
    PlatformFile fd = -1;
    const uint32_t error = retry.run([&] { return files.open(path, OpenMode::CreateNew, fd); }, files.isNoAccess);
    if (error == 0) return static_cast<int>(fd);
    errno = static_cast<int>(error);
    if (error != EEXIST) return -1;
  }
  return -1;
}

// Deletes the new files that writes which ended before their time (the
// program killed, the machine off) left beside `target`: only names of this
// naming, only files last changed more than a minute ago (a write still going
// on touches its file all the time).
void removeOldNewFilesBeside(const std::string& target) {
  const size_t slash = target.rfind('/');
  if (slash == std::string::npos) return;  // a bare name: not the current folder
  const std::string folder = target.substr(0, slash + 1);
  const std::u16string targetName = widePath(target.substr(slash + 1));
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr || targetName.empty()) {
    if (listing != nullptr) ::closedir(listing);
    return;
  }
  const time_t aMinuteAgo = std::time(nullptr) - 60;
  while (const dirent* entry = ::readdir(listing)) {
    if (!isNewFileName(widePath(entry->d_name), targetName)) continue;
    const std::string path = folder + entry->d_name;
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_mtime < aMinuteAgo)
      ::unlink(path.c_str());
  }
  ::closedir(listing);
}

}  // namespace

FileReadResult readWholeFile(std::u16string_view path, const FileOperations& files) {
  FileReadResult result;
  PlatformFile opened = -1;
  HoldRetry retry(files);
  const uint32_t error = retry.run([&] { return files.open(std::u16string(path), OpenMode::Read, opened); });
  FileDescriptor file(error == 0 ? static_cast<int>(opened) : -1);
  if (!file.valid()) {
    result.status = error == ENOENT || error == ENOTDIR ? FileReadStatus::Missing : FileReadStatus::Failed;
    result.failure = {FileStage::Open, error};
    return result;
  }
  struct stat info;
  if (::fstat(file.get(), &info) != 0) {
    result.failure = {FileStage::Read, static_cast<uint32_t>(errno)};
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.failure = {FileStage::Read, EISDIR};
    return result;
  }
  return readAll(files, file.get(), static_cast<size_t>(info.st_size));
}

FileStatus writeNewFile(std::u16string_view path, std::span<const uint8_t> bytes, bool flush,
                        const FileOperations& files, HoldRetry& retry, std::u16string& newFile) {
  std::string target = nativePath(path);
  if (target.empty()) return {FileStage::Create, ENOENT};
  std::string temporary;
  FileDescriptor file(createSibling(target, files, retry, temporary));
  if (!file.valid()) return {FileStage::Create, static_cast<uint32_t>(errno)};
  // The new file keeps the permissions of the one it replaces.
  FileStatus status;
  struct stat old;
  if (::stat(target.c_str(), &old) == 0 && ::fchmod(file.get(), old.st_mode & 07777) != 0)
    status = {FileStage::Write, static_cast<uint32_t>(errno)};
  if (status.ok()) status = writeAll(files, file.get(), bytes.data(), bytes.size(), EIO);
  if (status.ok() && flush) {
    if (const uint32_t error = files.flush(file.get())) status = {FileStage::Flush, error};
  }
  // close reports a write that the system put off and could not do.
  if (status.ok() && !file.close()) status = {FileStage::Write, static_cast<uint32_t>(errno)};
  if (!status.ok()) {
    file.close();
    ::unlink(temporary.c_str());
    return status;
  }
  newFile = widePath(temporary);  // the target's own UTF-8 and an ASCII suffix: converts back exactly
  return {};
}

// One syncfs per file system that holds new files: the whole file system is
// flushed at once, instead of a journal commit per file.
FileStatus flushNewFiles(const std::vector<std::u16string>& newFiles, const FileOperations& files) {
  std::set<dev_t> flushed;
  for (const std::u16string& newFile : newFiles) {
    FileDescriptor file(::open(nativePath(newFile).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info;
    if (!file.valid() || ::fstat(file.get(), &info) != 0) return {FileStage::Flush, static_cast<uint32_t>(errno)};
    if (flushed.contains(info.st_dev)) continue;
    if (const uint32_t error = files.flushFileSystem(file.get())) return {FileStage::Flush, error};
    flushed.insert(info.st_dev);
  }
  return {};
}

FileStatus rewriteInPlace(std::u16string_view target, std::span<const uint8_t> bytes, const FileOperations& files) {
  PlatformFile opened = -1;
  if (const uint32_t error = files.open(std::u16string(target), OpenMode::Rewrite, opened))
    return {FileStage::Open, error};
  FileDescriptor file(static_cast<int>(opened));
  // POSIX locks are advisory, so readers are not kept out as on Windows.
  const FileStatus written = writeAll(files, opened, bytes.data(), bytes.size(), EIO);
  if (!written.ok()) return {FileStage::Rewrite, written.error};
  if (::ftruncate(file.get(), static_cast<off_t>(bytes.size())) != 0)
    return {FileStage::Rewrite, static_cast<uint32_t>(errno)};
  if (const uint32_t error = files.flush(opened)) return {FileStage::Rewrite, error};
  if (!file.close()) return {FileStage::Rewrite, static_cast<uint32_t>(errno)};
  return {};
}

void removeOldNewFiles(std::u16string_view target) {
  const std::string name = nativePath(target);
  if (!name.empty()) removeOldNewFilesBeside(name);
}

void deleteNewFile(const std::u16string& newFile) { ::unlink(nativePath(newFile).c_str()); }

const char* platformFileErrorReason(uint32_t error) {
  switch (error) {
    case EBUSY:
    case ETXTBSY: return "held by another program";
    case EACCES:
    case EPERM:
    case EROFS: return "no access";
    case ENOSPC:
    case EDQUOT: return "disk full";
    case ENAMETOOLONG: return "path too long";
  }
  return nullptr;
}

std::u16string platformErrorText(uint32_t error) {
  if (error == kErrorPathTooLong || error == kErrorFileTooLarge || error == kErrorOutOfMemory) return {};
  const char* text = error <= uint32_t(INT32_MAX) ? strerrordesc_np(int(error)) : nullptr;
  return text ? widenAscii(text) : std::u16string();
}
