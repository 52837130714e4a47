#include "launch_settings/header_reader_win.h"

#include <algorithm>
#include <memory>
#include <span>
#include <string>

#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "launch_settings/program_path.h"

namespace {

// The longest path Windows knows, in wide characters, terminator included.
constexpr DWORD kLongestPath = 32768;

[[noreturn]] void raiseLastError(const char* step) { throw HeaderReadError(step, GetLastError()); }

}  // namespace

std::wstring modulePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
    if (length == 0) raiseLastError("GetModuleFileNameW");
    // A name that fills the whole buffer may have been cut short: grow and ask again.
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= kLongestPath) throw HeaderReadError("GetModuleFileNameW", ERROR_INSUFFICIENT_BUFFER);
    path.resize(std::min<size_t>(path.size() * 2, kLongestPath));
  }
}

HeaderSettings readModuleHeaderSettings(HMODULE module) {
  const std::wstring path = modulePath(module);
  const std::u16string openable = openablePath(as_u16view(path));

  const HANDLE file = CreateFileW(as_wcstr(openable), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) raiseLastError("CreateFileW");
  const UniqueHandle fileHandle(file);

  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) raiseLastError("GetFileSizeEx");

  const UniqueHandle mapping(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) raiseLastError("CreateFileMappingW");

  const UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view) raiseLastError("MapViewOfFile");

  const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(view.get()), size_t(size.QuadPart));
  return decodeHeaderSettings(bytes, as_u16view(path));
}

HeaderSettings readHeaderSettings() { return readModuleHeaderSettings(nullptr); }
