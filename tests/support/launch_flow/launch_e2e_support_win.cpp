#include "tests/support/launch_flow/launch_e2e_support_win.h"

#include <algorithm>
#include <sstream>

#include "common/unique_handle_win.h"
#include "tests/support/trace_capture_win.h"
#include "tests/support/utf8_win.h"

std::wstring testProgram(const std::wstring& fileName) {
  wchar_t full[MAX_PATH] = {};
  GetFullPathNameW((testProgramFolder() + L"..\\tests\\programs\\" + fileName).c_str(), MAX_PATH, full, nullptr);
  return full;
}

std::wstring decimal(long long value) { return std::to_wstring(value); }

std::wstring startupLine(int32_t appId, int32_t channelId) {
  return L"\u83b7\u53d6\u5230\u7684\u62c9\u6d3b\u5305\u2014\u2014appid\uff1a" + decimal(appId) +
         L", channelID:" + decimal(channelId) + L".\r\n";
}

TraceLines pollLines(int count) {
  TraceLines lines;
  for (int n = 1; n <= count; ++n) lines.push_back(L"1234567" + decimal(n) + L"\r\n");
  return lines;
}

TraceLines joined(std::initializer_list<TraceLines> parts) {
  TraceLines all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string shown(const TraceLines& lines) {
  std::string text;
  for (const auto& line : lines) text += "  " + printableLine(line) + "\n";
  return text;
}

std::string readFileBytes(const std::wstring& path) {
  const UniqueHandle file = uniqueFile(CreateFileW(path.c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string bytes(GetFileSize(file.get(), nullptr), '\0');
  DWORD read = 0;
  ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

bool pathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

uint64_t currentFileTime() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

void writeFileAt(const std::wstring& path, const std::string& bytes, uint64_t lastWrite, DWORD attributes) {
  UniqueHandle file =
      uniqueFile(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(file, nullptr) << "cannot create a test file";
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr));
  const FILETIME time{DWORD(lastWrite), DWORD(lastWrite >> 32)};
  EXPECT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &time));
  file.reset();
  EXPECT_TRUE(SetFileAttributesW(path.c_str(), attributes));
}

void writeFile(const std::wstring& path, const std::string& bytes) { writeFileAt(path, bytes, currentFileTime()); }

void setRegistryString(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value,
                       REGSAM view) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  UniqueKey owned(opened);
  const LSTATUS status = RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        DWORD((value.size() + 1) * sizeof(wchar_t)));
  owned.reset();
  ASSERT_EQ(status, ERROR_SUCCESS);
}

void deleteRegistryValue(HKEY root, const wchar_t* key, const wchar_t* name, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_SET_VALUE | view, &opened) != ERROR_SUCCESS) return;
  const UniqueKey owned(opened);
  RegDeleteValueW(opened, name);
}

std::wstring registryString(HKEY root, const wchar_t* key, const wchar_t* name, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return {};
  const UniqueKey owned(opened);
  wchar_t value[MAX_PATH] = {};
  DWORD type = 0;
  DWORD bytes = sizeof value - sizeof(wchar_t);  // room for a terminator the value may lack
  const LSTATUS status = RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
  return status == ERROR_SUCCESS && type == REG_SZ ? value : L"";
}

std::vector<StandInStart> readStarts(const std::wstring& log) {
  std::vector<StandInStart> result;
  std::istringstream file(readFileBytes(log));
  std::string line;
  while (std::getline(file, line)) {
    std::vector<std::wstring> fields;
    std::wstringstream stream(wideFromUtf8(line));
    std::wstring field;
    while (std::getline(stream, field, L'\t')) fields.push_back(field);
    if (fields.size() != 9) continue;  // a line still being written
    result.push_back({fields[0], DWORD(std::stoul(fields[1])), fields[3], fields[4], DWORD(std::stoul(fields[5])),
                      WORD(std::stoul(fields[6])), fields[7], std::stoll(fields[8])});
  }
  return result;
}

std::vector<StandInStart> waitForStarts(const std::wstring& log, size_t count, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::vector<StandInStart> found = readStarts(log);
  while (found.size() < count && std::chrono::steady_clock::now() < deadline) {
    Sleep(20);
    found = readStarts(log);
  }
  return found;
}

std::string shown(const std::vector<StandInStart>& starts) {
  std::string text;
  for (const StandInStart& start : starts)
    text += "  " + printableLine(start.program + L" " + decimal(start.processId) + L" [" + start.commandLine + L"] in [" +
                                 start.directory + L"]") + "\n";
  return text;
}

void endStandIns(const std::vector<StandInStart>& starts) {
  for (const StandInStart& start : starts) {
    const UniqueHandle owned(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         start.processId));
    if (!owned) continue;
    const HANDLE process = owned.get();
    // The id may since have gone to another program: end only a stand-in.
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(process, 0, image, &size);
    const std::wstring name(image);
    if (name.find(L"\\ludora.exe") != name.npos || name.find(L"\\HalvexSoftMgr.exe") != name.npos) {
      TerminateProcess(process, 0);
      WaitForSingleObject(process, 5000);
    }
  }
}

std::wstring hallCommand(const std::wstring& hallDirectory, const std::wstring& parameter) {
  return L"\"" + hallDirectory + L"\\ludora.exe\" " + parameter;
}

void expectHallStarts(const std::vector<StandInStart>& starts, std::vector<std::wstring> commandLines,
                      const std::wstring& directory) {
  std::vector<std::wstring> logged;
  for (const StandInStart& start : starts) {
    EXPECT_EQ(start.program, L"ludora");
    EXPECT_EQ(start.directory, directory);
    logged.push_back(start.commandLine);
  }
  std::sort(logged.begin(), logged.end());
  std::sort(commandLines.begin(), commandLines.end());
  EXPECT_EQ(logged, commandLines);
}

OwnHallWindow::OwnHallWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"GRootViewClass";
  RegisterClassW(&windowClass);
  window_ = CreateWindowExW(0, L"GRootViewClass", L"own hall", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, nullptr,
                            nullptr, windowClass.hInstance, nullptr);
}

OwnHallWindow::~OwnHallWindow() {
  DestroyWindow(window_);
  UnregisterClassW(L"GRootViewClass", GetModuleHandleW(nullptr));
}

void LauncherE2E::SetUp() {
  root_ = scratch_.path().wstring() + L"\\";
  workingDirectory_ = makeDirectory(L"cwd \u5f53\u524d");
  log_ = root_ + L"starts.log";
  SetEnvironmentVariableW(L"CHANNEL_TEST_LOG", log_.c_str());
  for (const wchar_t* name :
       {L"LUDORA_TEST_WINDOW_MS", L"LUDORA_TEST_WINDOW_DELAY_MS", L"HALVEX_TEST_REGISTER_HALL", L"HALVEX_TEST_WINDOW_MS"})
    SetEnvironmentVariableW(name, nullptr);
  clearRegistry();
}

void LauncherE2E::TearDown() {
  endStandIns();
  clearRegistry();
}

void LauncherE2E::clearRegistry() {
  deleteRegistryValue(HKEY_CURRENT_USER, kHallKey, kHallValue);
  deleteRegistryValue(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue);
}

std::wstring LauncherE2E::makeDirectory(const std::wstring& name) {
  const std::wstring directory = root_ + name;
  CreateDirectoryW(directory.c_str(), nullptr);
  return directory;
}

std::wstring LauncherE2E::stampedLauncher(int32_t channelId, int32_t appId) {
  const std::wstring copy = makeDirectory(L"launchers") + L"\\launcher_" + decimal(++copies_) + L".exe";
  HeaderSettings stamp;
  stamp.channelId = channelId;
  stamp.appId = appId;
  writeStampedLauncher(copy, stamp);
  return copy;
}

std::wstring LauncherE2E::placeStandIn(const wchar_t* fileName, const std::wstring& directory, const wchar_t* build) {
  CreateDirectoryW(directory.c_str(), nullptr);
  const std::wstring target = directory + L"\\" + fileName;
  EXPECT_TRUE(CopyFileW(testProgram(build != nullptr ? build : fileName).c_str(), target.c_str(), FALSE));
  return target;
}

std::vector<StandInStart> LauncherE2E::startsAfterWaiting(size_t count) const {
  waitForStarts(log_, count);
  Sleep(300);
  return starts();
}

TraceLines LauncherE2E::run(const std::wstring& launcher, std::chrono::seconds timeout,
                            const std::wstring& workingDirectory) {
  TraceCapture capture;
  EXPECT_TRUE(capture.start(L"\"" + launcher + L"\"", workingDirectory.empty() ? workingDirectory_ : workingDirectory));
  EXPECT_TRUE(capture.waitForExit(timeout));
  EXPECT_EQ(capture.exitCode(), 0u);
  return capture.lines();
}
