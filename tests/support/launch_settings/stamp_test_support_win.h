// For Windows tests that stamp copies of programs and modules: file bytes,
// stamped copies and a scratch folder removed at the end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/unique_handle_win.h"
#include "launch_settings/header_settings.h"
#include "launch_settings/stamp_writer.h"

inline std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Writes a copy of the file at `original` stamped with `stamp` to `copy`.
inline void writeStampedCopy(const std::filesystem::path& original, const std::filesystem::path& copy,
                             const HeaderSettings& stamp) {
  std::vector<uint8_t> bytes = readBytes(original);
  writeStamp(bytes, stamp);
  writeBytes(copy, bytes);
}

// The folder of the running test program, with a trailing backslash.
inline std::wstring testProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

// Deletes the folder `path` (a full path) and everything in it, however deep
// and long its paths are; what cannot be deleted stays, without an error.
inline void removeTree(const std::wstring& path) {
  const std::wstring extended = path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
  WIN32_FIND_DATAW entry;
  // The listing is closed before the folder is removed.
  if (const UniqueFind find = uniqueFind(FindFirstFileW((extended + L"\\*").c_str(), &entry))) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = extended + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        removeTree(child);
      else
        DeleteFileW(child.c_str());
    } while (FindNextFileW(find.get(), &entry));
  }
  RemoveDirectoryW(extended.c_str());
}

// The names in `directory`, without "." and "..", in the listing's order.
inline std::vector<std::wstring> folderNames(const std::wstring& directory) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const UniqueFind listing = uniqueFind(FindFirstFileW((directory + L"\\*").c_str(), &found));
  if (!listing) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(listing.get(), &found));
  return names;
}

// A scratch folder under the temp folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::filesystem::path(temp) / (name + L"-" + std::to_wstring(GetCurrentProcessId()));
    removeTree(path_.wstring());
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { removeTree(path_.wstring()); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // The path of `name` in the folder.
  std::wstring file(const std::wstring& name) const { return (path_ / name).wstring(); }
  std::vector<std::wstring> names() const { return folderNames(path_.wstring()); }

  // A folder below this one whose full path, with "\" and `name` appended, is
  // exactly `length` characters long; created (with its parents) through the
  // extended-length form, so it may pass the 260-character limit. Returns the
  // full path to `name` without the "\\?\" prefix.
  std::wstring deepPath(size_t length, const std::wstring& name) const {
    std::wstring folder = path_.wstring();
    const auto finalLength = [&] { return folder.size() + 1 + name.size(); };
    if (finalLength() > length) throw std::invalid_argument("the scratch folder is already longer");
    while (finalLength() < length) {
      const size_t missing = length - finalLength();
      size_t part = std::min<size_t>(missing - 1, 100);
      if (missing - 1 - part == 1) --part;  // a remainder of one character cannot be a folder of its own
      folder += L"\\" + std::wstring(std::max<size_t>(part, 1), L'd');
      CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    }
    return folder + L"\\" + name;
  }

 private:
  std::filesystem::path path_;
};
