// The native build's file access: the UTF-16 path as UTF-8, POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <set>
#include <string>

#include "record_file/file_io.h"
#include "record_file/text_encoding.h"

namespace {

// The path as UTF-8 (lone surrogates become U+FFFD); empty when it cannot be
// converted.
std::string nativePath(std::u16string_view path) {
  std::u16string terminated(path);
  try {
    WideToUtf8 converted(terminated.c_str());
    return converted.get();
  } catch (const CAtlException&) {
    return {};
  }
}

// The UTF-8 path as UTF-16; empty when it cannot be converted.
std::u16string widePath(const std::string& path) {
  try {
    Utf8ToWide converted(path.c_str(), -1);
    return converted.get();
  } catch (const CAtlException&) {
    return {};
  }
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

bool writeAll(int fd, const uint8_t* data, size_t count) {
  size_t allowed = writableBytesForTesting(count);
  size_t done = 0;
  while (done < allowed) {
    ssize_t n = ::write(fd, data + done, allowed - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return allowed == count;
}

// Creates a new file beside target, named after it with a unique suffix.
int createSibling(const std::string& target, std::string& name) {
  static unsigned counter = 0;
  auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%d.%llx.%u.tmp", static_cast<int>(getpid()), stamp, ++counter);
    name = target + suffix;
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

FileReadResult readWholeFile(std::u16string_view path) {
  FileReadResult result;
  std::string name = nativePath(path);
  FileDescriptor file(name.empty() ? -1 : ::open(name.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) {
    result.status = name.empty() || errno == ENOENT || errno == ENOTDIR ? FileReadStatus::Missing
                                                                         : FileReadStatus::Failed;
    return result;
  }
  struct stat info;
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return result;
  return readExactly(static_cast<size_t>(info.st_size), [&](uint8_t* data, size_t count) -> size_t {
    ssize_t n;
    do n = ::read(file.get(), data, count);
    while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<size_t>(n) : 0;
  });
}

std::u16string writeNewFile(std::u16string_view path, std::span<const uint8_t> bytes, bool flush) {
  std::string target = nativePath(path);
  if (target.empty()) return {};
  // A file this process may not write is not replaced, as opening it for
  // writing would fail.
  if (::access(target.c_str(), W_OK) != 0 && errno != ENOENT) return {};
  std::string temporary;
  FileDescriptor file(createSibling(target, temporary));
  if (!file.valid()) return {};
  // The new file keeps the permissions of the one it replaces.
  struct stat old;
  bool written = (::stat(target.c_str(), &old) != 0 || ::fchmod(file.get(), old.st_mode & 07777) == 0) &&
                 writeAll(file.get(), bytes.data(), bytes.size()) &&
                 (!flush || (writeFaultForTesting() != WriteFault::Flush && ::fsync(file.get()) == 0)) &&
                 file.close();
  std::u16string name = written ? widePath(temporary) : std::u16string();
  if (name.empty()) {
    file.close();
    ::unlink(temporary.c_str());
  }
  return name;
}

// One syncfs per file system that holds new files: the whole file system is
// flushed at once, instead of a journal commit per file.
bool flushNewFiles(const std::vector<std::u16string>& newFiles) {
  std::set<dev_t> flushed;
  for (const std::u16string& newFile : newFiles) {
    FileDescriptor file(::open(nativePath(newFile).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info;
    if (!file.valid() || ::fstat(file.get(), &info) != 0) return false;
    if (flushed.contains(info.st_dev)) continue;
    if (::syncfs(file.get()) != 0) return false;
    flushed.insert(info.st_dev);
  }
  return true;
}

bool putNewFileInPlace(const std::u16string& newFile, std::u16string_view target) {
  const std::string name = nativePath(newFile);
  if (writeFaultForTesting() != WriteFault::Replace && ::rename(name.c_str(), nativePath(target).c_str()) == 0)
    return true;
  ::unlink(name.c_str());
  return false;
}

void deleteNewFile(const std::u16string& newFile) { ::unlink(nativePath(newFile).c_str()); }
