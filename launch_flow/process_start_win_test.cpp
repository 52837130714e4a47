// Process start on the real platform: the working directory derived with the
// real Path* functions, the started program's directory, the last-error value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch_flow/process_start_win.h"

namespace {

std::wstring derived(const wchar_t* commandLine) {
  const auto directory = workingDirectoryFromCommandLine(commandLine);
  return directory ? std::wstring(directory.get()) : L"<none>";
}

TEST(WorkingDirectoryFromCommandLine, DirectoryOfTheFirstTokenOrNone) {
  const struct {
    const wchar_t* commandLine;
    const wchar_t* directory;
  } cases[] = {
      {L"\"C:\\Program Files\\Tools\\HalvexSoftMgr.exe\" /action=showdetail_download /parent=user1204",
       L"C:\\Program Files\\Tools"},
      {L"C:\\Tools\\HalvexSoftMgr.exe /a", L"C:\\Tools"},
      {L"C:\\Tools\\HalvexSoftMgr.exe", L"C:\\Tools"},
      {L"C:\\HalvexSoftMgr.exe /a", L"C:\\"},
      {L"\"D:\\\u5927\u5385 \u76ee\u5f55\\HalvexSoftMgr.exe\" /a", L"D:\\\u5927\u5385 \u76ee\u5f55"},
      {L"\\\\server\\share\\HalvexSoftMgr.exe /a", L"\\\\server\\share"},
      {L"HalvexSoftMgr.exe /a", L"<none>"},
      {L"Tools\\HalvexSoftMgr.exe /a", L"<none>"},
      {L":\\Halvex\\HalvexSoftMgr.exe /a", L"<none>"},
      {L"", L"<none>"},
  };
  for (const auto& c : cases) EXPECT_EQ(derived(c.commandLine), c.directory);
  EXPECT_EQ(derived(nullptr), L"<none>");
}

TEST(WorkingDirectoryFromCommandLine, CommandLinesBeyondThePathLimitStayWhole) {
  const std::wstring directory = L"C:\\" + std::wstring(300, L'd') + L"\\" + std::wstring(200, L'e');
  const std::wstring commandLine = L"\"" + directory + L"\\HalvexSoftMgr.exe\" " + std::wstring(500, L'a');
  EXPECT_EQ(derived(commandLine.c_str()), directory);
}

std::wstring systemDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetSystemDirectoryW(path, MAX_PATH);
  return path;
}

std::wstring temporaryFile(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, path);
  return std::wstring(path) + name;
}

DWORD exitCodeOf(const UniqueHandle& process) {
  EXPECT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

TEST(StartProcess, StartsInTheExecutablesDirectoryAndClearsTheLastError) {
  const std::wstring output = temporaryFile(L"process_start_cwd.txt");
  DeleteFileW(output.c_str());
  std::wstring commandLine = systemDirectory() + L"\\cmd.exe /c cd > \"" + output + L"\" & exit 3";
  std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
  writable.push_back(L'\0');
  SetLastError(ERROR_ACCESS_DENIED);
  const UniqueHandle process = startProcess(writable.data());
  EXPECT_EQ(GetLastError(), 0u);
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(exitCodeOf(process), 3u);

  UniqueHandle file =
      uniqueFile(CreateFileW(output.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(file, nullptr);
  char text[MAX_PATH] = {};
  DWORD read = 0;
  ReadFile(file.get(), text, sizeof text - 1, &read, nullptr);
  file.reset();
  DeleteFileW(output.c_str());
  std::string shown(text, read);
  while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
  const std::wstring expected = systemDirectory();
  EXPECT_TRUE(CompareStringOrdinal(std::wstring(shown.begin(), shown.end()).c_str(), -1, expected.c_str(), -1,
                                   TRUE) == CSTR_EQUAL)
      << shown;
}

TEST(StartProcess, ReportsTheCreationErrorWithANullHandle) {
  wchar_t commandLine[] = L"C:\\no\\such\\HalvexSoftMgr.exe /a";
  SetLastError(0);
  EXPECT_EQ(startProcess(commandLine), nullptr);
  const DWORD error = GetLastError();
  EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
}

}  // namespace
