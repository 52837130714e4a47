#include "common/system_functions_win.h"

#include <string_view>
#include <utility>
#include <vector>

#include "common/ascii_text.h"
#include "common/decimal_text.h"
#include "common/wide_win.h"

namespace {

// Set once SetDefaultDllDirectories has limited every search to System32.
bool gSearchLimitedToSystem32 = false;

[[noreturn]] void raiseMissing(const wchar_t* library, std::u16string_view function, DWORD code) {
  throw SystemFunctionMissing(as_u16view(library), function, code);
}

// `shownName` names the function in the failure: its name, or "#165" for an ordinal.
FARPROC procedure(HMODULE module, const wchar_t* library, const char* name, std::u16string_view shownName) {
  const FARPROC address = GetProcAddress(module, name);
  if (address == nullptr) raiseMissing(library, shownName, GetLastError());
  return address;
}

// GetProcAddress hands out every function as FARPROC; the void* step keeps
// the compiler from warning about the cast to the function's real type.
template <typename Function>
void bind(HMODULE module, const wchar_t* library, const char* name, Function& slot) {
  slot = reinterpret_cast<Function>(reinterpret_cast<void*>(procedure(module, library, name, widenAscii(name))));
}

template <typename Function>
void bindOrdinal(HMODULE module, const wchar_t* library, WORD ordinal, Function& slot) {
  const FARPROC address = procedure(module, library, MAKEINTRESOURCEA(ordinal), u"#" + decimalText(uint32_t{ordinal}));
  slot = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

SystemFunctions bindAll() {
  SystemFunctions f;
  // Owned until every function is bound: a library or function that is
  // missing releases the libraries loaded before it.
  std::vector<UniqueModule> loaded;
  const auto load = [&loaded](const wchar_t* name) {
    UniqueModule module = loadSystemLibrary(name);
    loaded.push_back(std::move(module));
    return loaded.back().get();
  };
  constexpr const wchar_t* advapi32 = L"advapi32.dll";
  HMODULE module = load(advapi32);
  bind(module, advapi32, "RegGetValueW", f.RegGetValueW);

  constexpr const wchar_t* shell32 = L"shell32.dll";
  module = load(shell32);
  bind(module, shell32, "CommandLineToArgvW", f.CommandLineToArgvW);
  bind(module, shell32, "ShellExecuteW", f.ShellExecuteW);
  // The directory creation that makes every missing parent too is exported
  // by ordinal on every Windows version, by name only on later ones.
  bindOrdinal(module, shell32, 165, f.SHCreateDirectory);

  constexpr const wchar_t* shlwapi = L"shlwapi.dll";
  module = load(shlwapi);
  bind(module, shlwapi, "PathCombineW", f.PathCombineW);
  bind(module, shlwapi, "PathFileExistsW", f.PathFileExistsW);
  bind(module, shlwapi, "PathIsRelativeW", f.PathIsRelativeW);
  bind(module, shlwapi, "PathRemoveArgsW", f.PathRemoveArgsW);
  bind(module, shlwapi, "PathRemoveFileSpecW", f.PathRemoveFileSpecW);
  bind(module, shlwapi, "PathUnquoteSpacesW", f.PathUnquoteSpacesW);

  constexpr const wchar_t* user32 = L"user32.dll";
  module = load(user32);
  bind(module, user32, "EnumWindows", f.EnumWindows);
  bind(module, user32, "GetClassNameW", f.GetClassNameW);
  bind(module, user32, "GetWindowLongW", f.GetWindowLongW);
  bind(module, user32, "GetWindowRect", f.GetWindowRect);
  bind(module, user32, "MessageBoxW", f.MessageBoxW);
  bind(module, user32, "MonitorFromWindow", f.MonitorFromWindow);
  // Every function is bound: the libraries stay loaded for the life of the process.
  for (UniqueModule& library : loaded) static_cast<void>(library.release());
  return f;
}

}  // namespace

SystemFunctionMissing::SystemFunctionMissing(std::u16string_view library, std::u16string_view function,
                                             DWORD code)
    : code_(code) {
  call_ = function.empty() ? u"LoadLibraryExW(" : u"GetProcAddress(";
  call_ += library;
  if (!function.empty()) {
    call_ += u", ";
    call_ += function;
  }
  call_ += u")";
}

void restrictLibrarySearchToSystem32() {
  // Looked up rather than imported: Windows 7 has it only with KB2533623.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  const auto setDefault = kernel32 == nullptr
                              ? nullptr
                              : reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
                                    GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    gSearchLimitedToSystem32 = true;
    return;
  }
  SetDllDirectoryW(L"");
}

std::wstring systemLibraryPath(const wchar_t* name) {
  wchar_t directory[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) raiseMissing(name, {}, length == 0 ? GetLastError() : ERROR_BUFFER_OVERFLOW);
  std::wstring path(directory, length);
  if (path.back() != L'\\') path += L'\\';
  return path + name;
}

UniqueModule loadSystemLibrary(const wchar_t* name) {
  UniqueModule module(gSearchLimitedToSystem32
                          ? LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)
                          : LoadLibraryExW(systemLibraryPath(name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module) raiseMissing(name, {}, GetLastError());
  return module;
}

const SystemFunctions& systemFunctions() {
  // A failed binding raises out of the initialisation, so the next call tries again.
  static const SystemFunctions functions = bindAll();
  return functions;
}
