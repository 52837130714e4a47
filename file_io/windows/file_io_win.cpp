// The Windows build's file access: wide-path calls, a new file beside the old
// one, FlushFileBuffers and MoveFileExW to put it in place. Paths of any
// length: one whose full form passes the plain path limit reaches the
// system in the extended-length form (systemPath).
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "common/path_limit.h"
#include "common/system_error_text_win.h"
#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "file_io/file_io_platform.h"

// Extended only beyond the limit, so that shorter paths reach the system
// exactly as before.
std::wstring systemPath(std::wstring_view path) {
  std::wstring given(path);
  if (given.starts_with(L"\\\\?\\") || given.starts_with(L"\\\\.\\")) return given;
  const DWORD room = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  if (room == 0) return given;
  std::wstring full(room, L'\0');
  const DWORD length = GetFullPathNameW(given.c_str(), room, full.data(), nullptr);
  if (length == 0 || length >= room || length < kPathLimit) return given;
  full.resize(length);
  // "//?/C:/..." and "//./..." come back from normalising in their own form.
  if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

namespace {

HANDLE handleOf(PlatformFile file) { return reinterpret_cast<HANDLE>(file); }
PlatformFile platformFile(HANDLE handle) { return reinterpret_cast<PlatformFile>(handle); }

// 0 when the call succeeded, else the thread's last error.
uint32_t errorUnless(BOOL succeeded) { return succeeded ? 0 : GetLastError(); }

// "~ic", the low 24 bits of `value` as six lowercase hex digits, and ".tmp".
std::wstring temporaryName(unsigned value) {
  static constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
  std::wstring name = L"~ic";
  for (int shift = 20; shift >= 0; shift -= 4) name += kHexDigits[(value >> shift) & 0xF];
  return name + L".tmp";
}

std::wstring folderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
}

uint32_t openFile(const std::u16string& path, OpenMode mode, PlatformFile& file) {
  constexpr DWORD kOthersReadAndWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
  DWORD access = GENERIC_READ, share = kOthersReadAndWrite, disposition = OPEN_EXISTING;
  if (mode == OpenMode::CreateNew) {
    access = GENERIC_WRITE;
    share = 0;
    disposition = CREATE_NEW;
  } else if (mode == OpenMode::Rewrite) {
    access = GENERIC_WRITE;
    share = kOthersReadAndWrite | FILE_SHARE_DELETE;
  }
  const HANDLE handle =
      CreateFileW(systemPath(as_wview(path)).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                  nullptr);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError();
  file = platformFile(handle);
  return 0;
}

// Puts `from` in place of `to` with one rename, MoveFileExW. ReplaceFileW
// would keep more of the old file (its security descriptor and creation
// time; its hidden and system marks are copied to the new file anyway), and
// it gets past a holder that lets others delete the file. But it first moves
// the old file out of the way, and a reader in between finds no file: a
// second launcher or writer then takes the file for missing and writes the
// channel alone, losing every other entry (seen under Wine with two writers
// at once). A rename replaces the file in one step, so every reader finds
// the old file or the new one.
uint32_t putInPlace(const std::u16string& from, const std::u16string& to) {
  return errorUnless(MoveFileExW(systemPath(as_wview(from)).c_str(), systemPath(as_wview(to)).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

// A folder, or a read-only file: writing it would fail.
uint32_t writeRefusal(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(systemPath(as_wview(path)).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_DIRECTORY;
  if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
  return 0;
}

// Sharing and lock conflicts, and ERROR_ACCESS_DENIED, which is what a rename
// over a file that another program has open gets. (A read-only file, which
// would get it for good, is refused before any attempt to write it.)
bool isHeld(uint32_t error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

}  // namespace

FileOperations makeSystemFileOperations() {
  FileOperations files;
  files.open = openFile;
  files.read = [](PlatformFile file, uint8_t* data, size_t count, size_t& read) {
    DWORD done = 0;
    const BOOL succeeded =
        ReadFile(handleOf(file), data, static_cast<DWORD>(std::min<size_t>(count, 1u << 30)), &done, nullptr);
    read = done;
    return errorUnless(succeeded);
  };
  files.writeRefusal = writeRefusal;
  files.write = [](PlatformFile file, const uint8_t* data, size_t count, size_t& written) {
    DWORD done = 0;
    const BOOL succeeded =
        WriteFile(handleOf(file), data, static_cast<DWORD>(std::min<size_t>(count, 1u << 30)), &done, nullptr);
    written = done;
    return errorUnless(succeeded);
  };
  files.flush = [](PlatformFile file) { return errorUnless(FlushFileBuffers(handleOf(file))); };
  // Windows has no flush of a whole volume for an unprivileged program.
  files.flushFileSystem = files.flush;
  files.rename = putInPlace;
  files.pause = [](uint32_t milliseconds) { Sleep(milliseconds); };
  files.isHeld = isHeld;
  files.isNoAccess = [](uint32_t error) { return error == ERROR_ACCESS_DENIED; };
  return files;
}

namespace {

// Deletes the new files that writes which ended before their time (the
// program killed, the machine off) left in `folder`: only names of this
// naming, only files last written more than a minute ago (a write still
// going on touches its file all the time; a batch of copies waiting to be
// put in place is not cleaned up this way), and never one that is open (the
// delete is refused).
void removeOldNewFilesIn(const std::wstring& folder) {
  constexpr ULONGLONG kMinute = 60ULL * 10'000'000;  // in 100 ns units
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG nowTime = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  WIN32_FIND_DATAW entry;
  const UniqueFind find = uniqueFind(FindFirstFileW(systemPath(folder + L"~ic*.tmp").c_str(), &entry));
  if (!find) return;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!isNewFileName(as_u16view(entry.cFileName), u"")) continue;
    const ULONGLONG written = (ULONGLONG(entry.ftLastWriteTime.dwHighDateTime) << 32) | entry.ftLastWriteTime.dwLowDateTime;
    if (written + kMinute < nowTime) DeleteFileW(systemPath(folder + entry.cFileName).c_str());
  } while (FindNextFileW(find.get(), &entry));
}

// Creates a new file in the folder of target, named "~ic", six hex digits and
// ".tmp": no longer than "InsChannel.as", so that its path stays within the
// platform's path limit whenever the target's does. name receives its path;
// on failure `error` receives the creation's error code.
UniqueHandle createSibling(const std::wstring& target, const FileOperations& files, HoldRetry& retry,
                           std::wstring& name, uint32_t& error) {
  const std::wstring folder = folderOf(target);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned value = GetTickCount() ^ (GetCurrentProcessId() << 12) ^ (++counter * 0x9E3779B9u);
    name = folder + temporaryName(value);
    PlatformFile file = 0;
    const std::u16string path(as_u16view(name));
    // A new name is held by no other program: access denied here is the
    // folder refusing new files, for good.
    error = retry.run([&] { return files.open(path, OpenMode::CreateNew, file); }, files.isNoAccess);
    if (error == 0) return uniqueFile(handleOf(file));
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return nullptr;
}

}  // namespace

namespace {

// One try at reading the whole file at `name`.
FileReadResult readWholeFileOnce(const std::u16string& name, const FileOperations& files) {
  FileReadResult result;
  PlatformFile opened = 0;
  if (const uint32_t error = files.open(name, OpenMode::Read, opened)) {
    bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    result.status = missing ? FileReadStatus::Missing : FileReadStatus::Failed;
    result.failure = {FileStage::Open, error};
    return result;
  }
  const UniqueHandle file = uniqueFile(handleOf(opened));
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) {
    result.failure = {FileStage::Read, GetLastError()};
    return result;
  }
  if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
    result.failure = {FileStage::Read, kErrorFileTooLarge};
    return result;
  }
  return readAll(files, opened, static_cast<size_t>(size.QuadPart));
}

}  // namespace

// A file that another program holds is tried again, whether the hold refuses
// the open or, as a lock over the file during a rewrite in place does, the
// reading.
FileReadResult readWholeFile(std::u16string_view path, const FileOperations& files) {
  const std::u16string name(path);
  FileReadResult result;
  HoldRetry retry(files);
  retry.run([&] {
    result = readWholeFileOnce(name, files);
    return result.status == FileReadStatus::Failed ? result.failure.error : 0u;
  });
  return result;
}

FileStatus writeNewFile(std::u16string_view path, std::span<const uint8_t> bytes, bool flush,
                        const FileOperations& files, HoldRetry& retry, std::u16string& newFile) {
  if (path.empty()) return {FileStage::Create, ERROR_PATH_NOT_FOUND};
  const std::wstring target = systemPath(as_wview(path));
  const DWORD oldAttributes = GetFileAttributesW(target.c_str());
  const bool exists = oldAttributes != INVALID_FILE_ATTRIBUTES;
  std::wstring temporary;
  uint32_t createError = 0;
  UniqueHandle file = createSibling(target, files, retry, temporary, createError);
  if (!file) return {FileStage::Create, createError};
  FileStatus status = writeAll(files, platformFile(file.get()), bytes.data(), bytes.size(), ERROR_WRITE_FAULT);
  if (status.ok() && flush) {
    if (const uint32_t error = files.flush(platformFile(file.get()))) status = {FileStage::Flush, error};
  }
  // The new file keeps the hidden and system marks of the one it replaces.
  DWORD kept = exists ? oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0;
  if (status.ok() && kept) {
    FILE_BASIC_INFO info{};
    info.FileAttributes = kept;
    if (!SetFileInformationByHandle(file.get(), FileBasicInfo, &info, sizeof info))
      status = {FileStage::Write, GetLastError()};
  }
  file.reset();  // closes: putting it in place needs the file closed
  if (!status.ok()) {
    DeleteFileW(systemPath(temporary).c_str());
    return status;
  }
  newFile = std::u16string(as_u16view(temporary));
  return {};
}

// Each new file is flushed on its own, once all are written, so the system
// has been writing them back in the meantime. A scanner may be looking at a
// new file just then: it may go on reading, and its hold is waited out.
FileStatus flushNewFiles(const std::vector<std::u16string>& newFiles, const FileOperations& files) {
  HoldRetry retry(files);
  for (const std::u16string& newFile : newFiles) {
    HANDLE handle = INVALID_HANDLE_VALUE;
    const uint32_t error = retry.run([&] {
      handle = CreateFileW(systemPath(as_wview(newFile)).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      return handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    });
    if (error != 0) return {FileStage::Flush, error};
    const UniqueHandle file = uniqueFile(handle);
    if (const uint32_t flushError = files.flushFileSystem(platformFile(file.get())))
      return {FileStage::Flush, flushError};
  }
  return {};
}

FileStatus rewriteInPlace(std::u16string_view target, std::span<const uint8_t> bytes, const FileOperations& files) {
  PlatformFile opened = 0;
  if (const uint32_t error = files.open(std::u16string(target), OpenMode::Rewrite, opened))
    return {FileStage::Open, error};
  const UniqueHandle file = uniqueFile(handleOf(opened));
  // Every byte there is and may be, locked: on Windows a reader gets a lock
  // violation until the new bytes are all in place (closing the file lifts
  // the lock), and this file layer's reader tries again. Wine 8 does not
  // keep readers out this way.
  OVERLAPPED whole{};
  if (!LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole))
    return {FileStage::Open, GetLastError()};
  const FileStatus written = writeAll(files, opened, bytes.data(), bytes.size(), ERROR_WRITE_FAULT);
  if (!written.ok()) return {FileStage::Rewrite, written.error};
  if (!SetEndOfFile(file.get())) return {FileStage::Rewrite, GetLastError()};
  if (const uint32_t error = files.flush(opened)) return {FileStage::Rewrite, error};
  UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &whole);
  return {};
}

void deleteNewFile(const std::u16string& newFile) { DeleteFileW(systemPath(as_wview(newFile)).c_str()); }

void removeOldNewFiles(std::u16string_view target) {
  if (folderOf(std::wstring(as_wview(target))).empty()) return;  // a bare name: not the current folder
  removeOldNewFilesIn(folderOf(systemPath(as_wview(target))));
}

const char* platformFileErrorReason(uint32_t error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return "held by another program";
    case ERROR_ACCESS_DENIED: return "no access";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "disk full";
    case ERROR_FILENAME_EXCED_RANGE: return "path too long";
  }
  return nullptr;
}

std::u16string platformErrorText(uint32_t error) { return systemErrorText(error); }
