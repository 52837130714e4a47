// The Windows build's file access: wide-path calls, a new file beside the old
// one, FlushFileBuffers and MoveFileExW to put it in place.
#include <windows.h>

#include <memory>
#include <string>

#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "record_file/file_io.h"

namespace {

bool writeAll(HANDLE file, const uint8_t* data, size_t count) {
  size_t allowed = writableBytesForTesting(count);
  size_t done = 0;
  while (done < allowed) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(allowed - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, data + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return allowed == count;
}

// "~ic", the low 24 bits of `value` as six lowercase hex digits, and ".tmp".
std::wstring temporaryName(unsigned value) {
  static constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
  std::wstring name = L"~ic";
  for (int shift = 20; shift >= 0; shift -= 4) name += kHexDigits[(value >> shift) & 0xF];
  return name + L".tmp";
}

// Creates a new file in the folder of target, named "~ic", six hex digits and
// ".tmp": no longer than "InsChannel.as", so that its path stays within the
// platform's path limit whenever the target's does. name receives its path.
UniqueHandle createSibling(const std::wstring& target, std::wstring& name) {
  size_t slash = target.find_last_of(L"\\/");
  std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned value = GetTickCount() ^ (GetCurrentProcessId() << 12) ^ (++counter * 0x9E3779B9u);
    name = folder + temporaryName(value);
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return uniqueFile(handle);
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
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
    return result;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
      static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX)
    return result;
  return readExactly(static_cast<size_t>(size.QuadPart), [&](uint8_t* data, size_t count) -> size_t {
    DWORD read = 0;
    if (!ReadFile(file.get(), data, static_cast<DWORD>(std::min<size_t>(count, 1u << 30)), &read, nullptr)) return 0;
    return read;
  });
}

std::u16string writeNewFile(std::u16string_view path, std::span<const uint8_t> bytes, bool flush) {
  std::wstring target(as_wview(path));
  if (target.empty()) return {};
  // A read-only file is not written, as opening it for writing would fail.
  DWORD oldAttributes = GetFileAttributesW(target.c_str());
  bool exists = oldAttributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (oldAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return {};
  std::wstring temporary;
  UniqueHandle file = createSibling(target, temporary);
  if (!file) return {};
  bool written = writeAll(file.get(), bytes.data(), bytes.size()) &&
                 (!flush || (writeFaultForTesting() != WriteFault::Flush && FlushFileBuffers(file.get())));
  // The new file keeps the hidden and system marks of the one it replaces.
  DWORD kept = exists ? oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0;
  if (written && kept) {
    FILE_BASIC_INFO info{};
    info.FileAttributes = kept;
    written = SetFileInformationByHandle(file.get(), FileBasicInfo, &info, sizeof info);
  }
  file.reset();  // closes: the rename needs the file closed
  if (!written) {
    DeleteFileW(temporary.c_str());
    return {};
  }
  return std::u16string(as_u16view(temporary));
}

// Windows has no flush of a whole volume for an unprivileged program: each new
// file is flushed on its own, once all are written, so the system has been
// writing them back in the meantime.
bool flushNewFiles(const std::vector<std::u16string>& newFiles) {
  for (const std::u16string& newFile : newFiles) {
    UniqueHandle file = uniqueFile(CreateFileW(as_wcstr(newFile), GENERIC_WRITE, 0, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !FlushFileBuffers(file.get())) return false;
  }
  return true;
}

bool putNewFileInPlace(const std::u16string& newFile, std::u16string_view target) {
  const wchar_t* name = as_wcstr(newFile);
  if (writeFaultForTesting() != WriteFault::Replace &&
      MoveFileExW(name, std::wstring(as_wview(target)).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileW(name);
  return false;
}

void deleteNewFile(const std::u16string& newFile) { DeleteFileW(as_wcstr(newFile)); }
