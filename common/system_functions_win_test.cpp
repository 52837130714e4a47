#include "common/system_functions_win.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

namespace {

std::wstring lowered(std::wstring text) {
  for (wchar_t& c : text) c = wchar_t(std::towlower(c));
  return text;
}

std::wstring modulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

// Before and after the search is limited (this test program never limits it
// at start), a system library comes from the system directory, never from
// a folder that only has the same name.
TEST(SystemLibraries, AreLoadedFromTheSystemDirectoryWithOrWithoutTheLimitedSearch) {
  for (bool limited : {false, true}) {
    SCOPED_TRACE(limited ? "search limited to System32" : "full System32 paths");
    if (limited) restrictLibrarySearchToSystem32();
    for (const wchar_t* name : {L"user32.dll", L"shlwapi.dll"}) {
      // Kept loaded, as the product keeps every system library it loads:
      // unloading user32 from a running process is not something Wine's
      // user32 survives (the program was killed at exit on a fresh prefix).
      HMODULE module = loadSystemLibrary(name).release();
      EXPECT_EQ(lowered(modulePath(module)), lowered(systemLibraryPath(name)));
    }
  }
}

TEST(SystemLibraries, AMissingLibraryNamesTheCallAndItsError) {
  try {
    loadSystemLibrary(L"no_such_library_here.dll");
    FAIL() << "no exception";
  } catch (const SystemFunctionMissing& missing) {
    EXPECT_EQ(missing.call(), u"LoadLibraryExW(no_such_library_here.dll)");
    EXPECT_EQ(missing.code(), DWORD(ERROR_MOD_NOT_FOUND));
  }
}

TEST(SystemFunctions, EveryFunctionIsBoundAndWorks) {
  const SystemFunctions& system = systemFunctions();
  EXPECT_EQ(&system, &systemFunctions()) << "bound once";
  const void* members[] = {
      reinterpret_cast<void*>(system.RegGetValueW),        reinterpret_cast<void*>(system.CommandLineToArgvW),
      reinterpret_cast<void*>(system.ShellExecuteW),       reinterpret_cast<void*>(system.SHCreateDirectory),
      reinterpret_cast<void*>(system.PathCombineW),        reinterpret_cast<void*>(system.PathFileExistsW),
      reinterpret_cast<void*>(system.PathIsRelativeW),     reinterpret_cast<void*>(system.PathRemoveArgsW),
      reinterpret_cast<void*>(system.PathRemoveFileSpecW), reinterpret_cast<void*>(system.PathUnquoteSpacesW),
      reinterpret_cast<void*>(system.EnumWindows),         reinterpret_cast<void*>(system.GetClassNameW),
      reinterpret_cast<void*>(system.GetWindowLongW),      reinterpret_cast<void*>(system.GetWindowRect),
      reinterpret_cast<void*>(system.MessageBoxW),         reinterpret_cast<void*>(system.MonitorFromWindow),
  };
  for (const void* member : members) EXPECT_NE(member, nullptr);
  // Ordinal 165 is the directory creation that makes the missing parents too.
  wchar_t temporary[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temporary);
  const std::wstring root = std::wstring(temporary) + L"system-functions-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring deep = root + L"\\a\\b";
  EXPECT_EQ(system.SHCreateDirectory(nullptr, deep.c_str()), ERROR_SUCCESS);
  EXPECT_TRUE(system.PathFileExistsW(deep.c_str()));
  RemoveDirectoryW(deep.c_str());
  RemoveDirectoryW((root + L"\\a").c_str());
  RemoveDirectoryW(root.c_str());
}

}  // namespace
