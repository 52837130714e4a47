#include "launch_flow/registry_path_win.h"

#include <cwchar>
#include <optional>
#include <vector>

#include "common/system_functions_win.h"

namespace {

struct StoredString {
  std::wstring text;
  bool expandable = false;
};

// The stored string up to its first null, unexpanded. Expansion is left to
// expandEnvironment: RegGetValueW's own expansion writes past the caller's
// buffer on some platforms (it counts the room in bytes as characters).
std::optional<StoredString> readStoredString(HKEY root, const wchar_t* subKey, const wchar_t* valueName) {
  std::vector<wchar_t> buffer(MAX_PATH);
  // The value can grow between the size query and the read; a few rounds settle it.
  for (int round = 0; round < 4; ++round) {
    DWORD type = 0;
    DWORD bytes = DWORD(buffer.size() * sizeof(wchar_t));
    const LSTATUS status = systemFunctions().RegGetValueW(root, subKey, valueName, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                                        &type, buffer.data(), &bytes);
    if (status == ERROR_MORE_DATA) {
      buffer.resize(bytes / sizeof(wchar_t) + 1);
      continue;
    }
    if (status != ERROR_SUCCESS) return std::nullopt;
    return StoredString{std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size())), type == REG_EXPAND_SZ};
  }
  return std::nullopt;
}

std::optional<std::wstring> expandEnvironment(const std::wstring& text) {
  const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::vector<wchar_t> expanded(needed + 1);
  const DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), DWORD(expanded.size()));
  if (written == 0 || written > expanded.size()) return std::nullopt;
  return std::wstring(expanded.data(), wcsnlen(expanded.data(), expanded.size()));
}

}  // namespace

std::wstring readRegistryPath(HKEY root, const wchar_t* subKey, const wchar_t* valueName) {
  const std::optional<StoredString> stored = readStoredString(root, subKey, valueName);
  if (!stored) return {};
  const std::optional<std::wstring> path = stored->expandable ? expandEnvironment(stored->text) : stored->text;
  if (!path || path->size() > kLongestPlainPath) return {};
  return *path;
}
