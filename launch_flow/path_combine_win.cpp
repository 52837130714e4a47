#include "launch_flow/path_combine_win.h"

#include "common/system_functions_win.h"
#include "common/wide_win.h"
#include "launch_flow/registry_path_win.h"

static_assert(kPathLimit == MAX_PATH, "the shared path limit is the platform's");

std::u16string combinePath(const std::u16string& directory, std::u16string_view relative) {
  if (directory.size() > kLongestPlainPath || relative.size() > kLongestPlainPath) return {};
  const std::u16string name(relative);
  wchar_t combined[MAX_PATH] = {};
  if (systemFunctions().PathCombineW(combined, as_wcstr(directory), as_wcstr(name)) == nullptr) return {};
  return std::u16string(as_u16cstr(combined));
}
