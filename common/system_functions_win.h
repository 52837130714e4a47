// Windows-only: the system functions the product needs beyond KERNEL32,
// bound at run time from DLLs loaded out of System32 and nowhere else.
//
// Copies of the launcher run from a Downloads folder, where anyone may have
// dropped a DLL under a system name. The program therefore imports only
// KERNEL32 and msvcrt (mapped by the loader before any code runs), restricts
// the DLL search of the whole process to System32 as its first act, and loads
// user32, shell32, shlwapi and advapi32 itself, by their System32 paths.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <exception>
#include <string>

#include "common/unique_handle_win.h"

// Restricts where the process looks for DLLs, from now on and for every DLL
// that any code loads: SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
// where the system has it; otherwise SetDllDirectoryW(L""), which takes the
// current directory out of the search, and systemFunctions() then loads each
// library by its full System32 path. Call it before anything that may load a
// library; calling it again does no harm.
void restrictLibrarySearchToSystem32();

// One member per function, named and typed as the platform declares it.
struct SystemFunctions {
  // advapi32.dll
  decltype(&::RegGetValueW) RegGetValueW = nullptr;
  // shell32.dll
  decltype(&::CommandLineToArgvW) CommandLineToArgvW = nullptr;
  decltype(&::ShellExecuteW) ShellExecuteW = nullptr;
  decltype(&::SHCreateDirectory) SHCreateDirectory = nullptr;  // bound by its ordinal, 165
  // shlwapi.dll
  decltype(&::PathCombineW) PathCombineW = nullptr;
  decltype(&::PathFileExistsW) PathFileExistsW = nullptr;
  decltype(&::PathIsRelativeW) PathIsRelativeW = nullptr;
  decltype(&::PathRemoveArgsW) PathRemoveArgsW = nullptr;
  decltype(&::PathRemoveFileSpecW) PathRemoveFileSpecW = nullptr;
  decltype(&::PathUnquoteSpacesW) PathUnquoteSpacesW = nullptr;
  // user32.dll
  decltype(&::EnumWindows) EnumWindows = nullptr;
  decltype(&::GetClassNameW) GetClassNameW = nullptr;
  decltype(&::GetWindowLongW) GetWindowLongW = nullptr;
  decltype(&::GetWindowRect) GetWindowRect = nullptr;
  decltype(&::MessageBoxW) MessageBoxW = nullptr;
  decltype(&::MonitorFromWindow) MonitorFromWindow = nullptr;
};

// A system library that could not be loaded, or a function it does not export.
class SystemFunctionMissing : public std::exception {
 public:
  // `function` is empty when the library itself did not load.
  SystemFunctionMissing(std::u16string_view library, std::u16string_view function, DWORD code);

  // A fixed text: call() and code() say which function and why.
  const char* what() const noexcept override { return "a system function is missing"; }
  // "LoadLibraryExW(user32.dll)" or "GetProcAddress(shell32.dll, #165)": the call that failed.
  const std::u16string& call() const { return call_; }
  DWORD code() const { return code_; }

 private:
  std::u16string call_;
  DWORD code_;
};

// The bound functions. The first call loads the four libraries and binds
// every member, or raises SystemFunctionMissing for the first library or
// function it cannot have (later calls try again). The libraries stay loaded
// for the life of the process.
const SystemFunctions& systemFunctions();

// `name` ("user32.dll") loaded from System32 only: by name with the search
// limited to System32 once restrictLibrarySearchToSystem32 has set that for
// the process, else by its full System32 path (its own dependencies then
// searched from System32 first). Returns its owner; raises
// SystemFunctionMissing when it fails.
UniqueModule loadSystemLibrary(const wchar_t* name);

// The full path of `name` in the system directory ("C:\windows\system32\user32.dll").
// Raises SystemFunctionMissing when the system directory cannot be had.
std::wstring systemLibraryPath(const wchar_t* name);
