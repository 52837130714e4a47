// The portable directory derivation agrees with the platform's own sequence
// PathRemoveBackslashW, PathRemoveFileSpecW, PathAddBackslashW.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include "common/wide_win.h"
#include "launch_flow/path_text.h"

namespace {

std::wstring platformDirectory(const wchar_t* path) {
  wchar_t buffer[MAX_PATH + 8];
  wmemset(buffer, L'#', MAX_PATH + 8);  // sentinels past the path buffer
  lstrcpynW(buffer, path, MAX_PATH);
  PathRemoveBackslashW(buffer);
  PathRemoveFileSpecW(buffer);
  PathAddBackslashW(buffer);
  for (int i = MAX_PATH; i < MAX_PATH + 8; ++i) EXPECT_EQ(buffer[i], L'#');
  return buffer;
}

TEST(ContainingDirectory, AgreesWithThePlatformPathFunctions) {
  const wchar_t* paths[] = {
      L"D:\\Games\\Ludora\\Hall\\",
      L"D:\\Games\\Ludora\\Hall",
      L"C:\\Program Files\\Halvex\\Uninst.exe\"",
      L"C:\\Program Files\\Halvex\\Uninst.exe\" /S",
      L":\\Halvex\\Uninst.exe",
      L"C:\\Halvex\\Uninst.exe",
      L"C:\\tool.exe",
      L"C:\\",
      L"C:",
      L"C:tool.exe",
      L"tool.exe",
      L"",
      L"\\",
      L"\\tool.exe",
      L"\\\\server\\share\\dir\\tool.exe",
      L"\\\\server\\share",
      L"\\\\server",
      L"D:\\\u5927\u5385 \u76ee\u5f55\\ludora.exe",
      L"a\\\\b",
      L"C:\\a\\\\",
  };
  for (const wchar_t* path : paths) {
    EXPECT_EQ(std::wstring(as_wview(containingDirectory(as_u16cstr(path)))), platformDirectory(path))
        << "for " << testing::PrintToString(std::wstring(path));
  }
}

}  // namespace
