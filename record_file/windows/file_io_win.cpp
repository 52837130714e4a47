// The Windows build's file access: wide-path calls, a new file beside the old
// one, FlushFileBuffers and MoveFileExW to put it in place.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "record_file/file_io.h"

namespace {

HANDLE handleOf(PlatformFile file) { return reinterpret_cast<HANDLE>(file); }
PlatformFile platformFile(HANDLE handle) { return reinterpret_cast<PlatformFile>(handle); }

// 0 when the call succeeded, else the thread's last error.
uint32_t errorUnless(BOOL succeeded) { return succeeded ? 0 : GetLastError(); }

}  // namespace

FileOperations makeSystemFileOperations() {
  FileOperations files;
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
  files.rename = [](const std::u16string& from, const std::u16string& to) {
    return errorUnless(MoveFileExW(as_wcstr(from), as_wcstr(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  };
  return files;
}

namespace {

// "~ic", the low 24 bits of `value` as six lowercase hex digits, and ".tmp".
std::wstring temporaryName(unsigned value) {
  static constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
  std::wstring name = L"~ic";
  for (int shift = 20; shift >= 0; shift -= 4) name += kHexDigits[(value >> shift) & 0xF];
  return name + L".tmp";
}

// Creates a new file in the folder of target, named "~ic", six hex digits and
// ".tmp": no longer than "InsChannel.as", so that its path stays within the
// platform's path limit whenever the target's does. name receives its path;
// on failure `error` receives the creation's error code.
UniqueHandle createSibling(const std::wstring& target, std::wstring& name, uint32_t& error) {
  size_t slash = target.find_last_of(L"\\/");
  std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned value = GetTickCount() ^ (GetCurrentProcessId() << 12) ^ (++counter * 0x9E3779B9u);
    name = folder + temporaryName(value);
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return uniqueFile(handle);
    error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return nullptr;
}

}  // namespace

FileReadResult readWholeFile(std::u16string_view path) {
  FileReadResult result;
  std::wstring name(as_wview(path));
  UniqueHandle file = uniqueFile(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    DWORD error = GetLastError();
    bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    result.status = missing ? FileReadStatus::Missing : FileReadStatus::Failed;
    result.failure = {FileStage::Open, error};
    return result;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) {
    result.failure = {FileStage::Read, GetLastError()};
    return result;
  }
  if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
    result.failure = {FileStage::Read, kErrorFileTooLarge};
    return result;
  }
  return readExactly(static_cast<size_t>(size.QuadPart), [&](uint8_t* data, size_t count) -> size_t {
    DWORD read = 0;
    if (!ReadFile(file.get(), data, static_cast<DWORD>(std::min<size_t>(count, 1u << 30)), &read, nullptr)) return 0;
    return read;
  });
}

FileStatus writeNewFile(std::u16string_view path, std::span<const uint8_t> bytes, bool flush,
                        const FileOperations& files, std::u16string& newFile) {
  std::wstring target(as_wview(path));
  if (target.empty()) return {FileStage::Open, ERROR_PATH_NOT_FOUND};
  // A read-only file is not written, as opening it for writing would fail.
  DWORD oldAttributes = GetFileAttributesW(target.c_str());
  bool exists = oldAttributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (oldAttributes & FILE_ATTRIBUTE_DIRECTORY)) return {FileStage::Open, ERROR_DIRECTORY};
  if (exists && (oldAttributes & FILE_ATTRIBUTE_READONLY)) return {FileStage::Open, ERROR_ACCESS_DENIED};
  std::wstring temporary;
  uint32_t createError = 0;
  UniqueHandle file = createSibling(target, temporary, createError);
  if (!file) return {FileStage::Open, createError};
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
  file.reset();  // closes: the rename needs the file closed
  if (!status.ok()) {
    DeleteFileW(temporary.c_str());
    return status;
  }
  newFile = std::u16string(as_u16view(temporary));
  return {};
}

// Each new file is flushed on its own, once all are written, so the system
// has been writing them back in the meantime.
FileStatus flushNewFiles(const std::vector<std::u16string>& newFiles, const FileOperations& files) {
  for (const std::u16string& newFile : newFiles) {
    UniqueHandle file = uniqueFile(CreateFileW(as_wcstr(newFile), GENERIC_WRITE, 0, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {FileStage::Flush, GetLastError()};
    if (const uint32_t error = files.flushFileSystem(platformFile(file.get()))) return {FileStage::Flush, error};
  }
  return {};
}

FileStatus putNewFileInPlace(const std::u16string& newFile, std::u16string_view target, const FileOperations& files) {
  const uint32_t error = files.rename(newFile, std::u16string(target));
  if (error == 0) return {};
  DeleteFileW(as_wcstr(newFile));
  return {FileStage::Rename, error};
}

void deleteNewFile(const std::u16string& newFile) { DeleteFileW(as_wcstr(newFile)); }
