// End-to-end runs of the real channel_launcher.exe under the debuggee runner,
// with stand-ins for the hall ("ludora.exe") and the software manager
// ("HalvexSoftMgr.exe"): the exact trace lines, the started programs' command
// lines and working directories, the message box, and the exit code, on all
// five ends of the launch sequence.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "launch_flow/hall_window_win.h"
#include "launch_flow/startup_e2e_support_win.h"
#include "tests/support/trace_capture_win.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::wstring>;

constexpr wchar_t kHallKey[] = L"Software\\Korvani\\Ludora\\SYS";
constexpr wchar_t kHallValue[] = L"CorvelHallDirectory";
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HalvexMgr";
constexpr wchar_t kUninstallValue[] = L"UninstallString";
constexpr wchar_t kRecordedLine[] = L"\u5df2\u7ecf\u66ff\u6362\u5927\u5385\u6e20\u9053\u53f7";
constexpr wchar_t kSeparatorLine[] = L"-------------------------\r\n";
constexpr wchar_t kManagerArguments[] = L" /action=showdetail_download /parent=user1204 /softdetailid=8033";
constexpr wchar_t kBoxText[] = L"\u542f\u52a8\u5931\u8d25\uff0c\u8bf7\u4e0b\u8f7dLudora\u5927\u5385";
constexpr wchar_t kBoxCaption[] = L"Ludora\u5927\u5385";
constexpr int32_t kSoftwareManagerChannel = 1101010001;

// One line of the stand-ins' log.
struct Start {
  std::wstring program;
  DWORD processId = 0;
  std::wstring commandLine;
  std::wstring directory;
};

// A program built into the test programs' folder (tests/programs).
std::wstring testProgram(const std::wstring& fileName) {
  wchar_t full[MAX_PATH] = {};
  GetFullPathNameW((testProgramFolder() + L"..\\tests\\programs\\" + fileName).c_str(), MAX_PATH, full, nullptr);
  return full;
}

std::wstring wide(const std::string& utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring text(size_t(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), text.data(), size);
  return text;
}

std::wstring decimal(long long value) { return std::to_wstring(value); }

std::wstring startupLine(int32_t appId, int32_t channelId) {
  return L"\u83b7\u53d6\u5230\u7684\u62c9\u6d3b\u5305\u2014\u2014appid\uff1a" + decimal(appId) +
         L", channelID:" + decimal(channelId) + L".\r\n";
}

Lines pollLines(int count) {
  Lines lines;
  for (int n = 1; n <= count; ++n) lines.push_back(L"1234567" + decimal(n) + L"\r\n");
  return lines;
}

Lines joined(std::initializer_list<Lines> parts) {
  Lines all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string shown(const Lines& lines) {
  std::string text;
  for (const auto& line : lines) text += "  " + printableLine(line) + "\n";
  return text;
}

std::string readFile(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

void setString(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value) {
  ASSERT_EQ(RegSetKeyValueW(root, key, name, REG_SZ, value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void deleteValue(HKEY root, const wchar_t* key, const wchar_t* name) { RegDeleteKeyValueW(root, key, name); }

// A top-level hall window of this test's own, shown until the object goes.
class OwnHallWindow {
 public:
  OwnHallWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"GRootViewClass";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"GRootViewClass", L"own hall", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
  }
  ~OwnHallWindow() {
    DestroyWindow(window_);
    UnregisterClassW(L"GRootViewClass", GetModuleHandleW(nullptr));
  }

 private:
  HWND window_ = nullptr;
};

class HallLaunchE2E : public testing::Test {
 protected:
  void SetUp() override {
    root_ = scratch_.path().wstring() + L"\\";
    workingDirectory_ = makeDirectory(L"cwd \u5f53\u524d");
    log_ = root_ + L"starts.log";
    SetEnvironmentVariableW(L"CHANNEL_TEST_LOG", log_.c_str());
    for (const wchar_t* name : {L"LUDORA_TEST_WINDOW_MS", L"LUDORA_TEST_WINDOW_DELAY_MS",
                                L"HALVEX_TEST_REGISTER_HALL", L"HALVEX_TEST_WINDOW_MS"})
      SetEnvironmentVariableW(name, nullptr);
    clearRegistry();
    ASSERT_FALSE(hallWindowShown()) << "a hall window from elsewhere is open";
  }

  void TearDown() override {
    endStandIns();
    clearRegistry();
  }

  static void clearRegistry() {
    deleteValue(HKEY_CURRENT_USER, kHallKey, kHallValue);
    deleteValue(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue);
  }

  std::wstring makeDirectory(const std::wstring& name) {
    const std::wstring directory = root_ + name;
    CreateDirectoryW(directory.c_str(), nullptr);
    return directory;
  }

  // A copy of channel_launcher.exe stamped with `channelId` and `appId`.
  std::wstring stampedLauncher(int32_t channelId, int32_t appId) {
    const std::wstring copy = makeDirectory(L"launchers") + L"\\launcher_" + decimal(++copies_) + L".exe";
    HeaderSettings stamp;
    stamp.channelId = channelId;
    stamp.appId = appId;
    writeStampedLauncher(copy, stamp);
    return copy;
  }

  // Copies a stand-in into `directory` (created when missing); returns its path.
  std::wstring placeStandIn(const wchar_t* fileName, const std::wstring& directory) {
    CreateDirectoryW(directory.c_str(), nullptr);
    const std::wstring target = directory + L"\\" + fileName;
    EXPECT_TRUE(CopyFileW(testProgram(fileName).c_str(), target.c_str(), FALSE));
    return target;
  }

  // A hall directory holding ludora.exe; its name has spaces and Chinese characters.
  std::wstring makeHall() {
    const std::wstring hall = root_ + L"\u6e38\u620f \u5927\u5385 Hall";
    placeStandIn(L"ludora.exe", hall);
    return hall;
  }

  std::vector<Start> starts() const {
    std::vector<Start> result;
    std::istringstream file(readFile(log_));
    std::string line;
    while (std::getline(file, line)) {
      std::vector<std::wstring> fields;
      std::wstringstream stream(wide(line));
      std::wstring field;
      while (std::getline(stream, field, L'\t')) fields.push_back(field);
      if (fields.size() != 5) continue;  // a line still being written
      result.push_back({fields[0], DWORD(std::stoul(fields[1])), fields[3], fields[4]});
    }
    return result;
  }

  // Waits until the log holds `count` starts (stand-ins may still be starting
  // after the launcher has ended), then a moment more for any unexpected one.
  std::vector<Start> startsAfterWaiting(size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (starts().size() < count && std::chrono::steady_clock::now() < deadline) Sleep(50);
    Sleep(300);
    return starts();
  }

  // Ends the stand-ins that this test's runs started, by process id.
  void endStandIns() const {
    for (const Start& start : starts()) {
      const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         start.processId);
      if (process == nullptr) continue;
      wchar_t image[MAX_PATH] = {};
      DWORD size = MAX_PATH;
      QueryFullProcessImageNameW(process, 0, image, &size);
      const std::wstring name(image);
      if (name.find(L"\\ludora.exe") != name.npos || name.find(L"\\HalvexSoftMgr.exe") != name.npos) {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
      }
      CloseHandle(process);
    }
  }

  // Runs a launcher copy to its end in the test's working directory.
  Lines run(const std::wstring& launcher, std::chrono::seconds timeout = 60s) {
    TraceCapture capture;
    EXPECT_TRUE(capture.start(L"\"" + launcher + L"\"", workingDirectory_));
    EXPECT_TRUE(capture.waitForExit(timeout));
    EXPECT_EQ(capture.exitCode(), 0u);
    return capture.lines();
  }

  ScratchFolder scratch_{L"hall-launch-e2e"};
  std::wstring root_;  // the scratch folder, with a trailing backslash
  std::wstring workingDirectory_;
  std::wstring log_;
  int copies_ = 0;
};

// The hall command line as the shell composes it: quoted path, then the parameter.
std::wstring hallCommand(const std::wstring& hallDirectory, const std::wstring& parameter) {
  return L"\"" + hallDirectory + L"\\ludora.exe\" " + parameter;
}

// Expects `starts` to be hall starts with these command lines, in any order
// (two starts in quick succession may log in either order), all in `directory`.
void expectHallStarts(const std::vector<Start>& starts, std::vector<std::wstring> commandLines,
                      const std::wstring& directory) {
  std::vector<std::wstring> logged;
  for (const Start& start : starts) {
    EXPECT_EQ(start.program, L"ludora");
    EXPECT_EQ(start.directory, directory);
    logged.push_back(start.commandLine);
  }
  std::sort(logged.begin(), logged.end());
  std::sort(commandLines.begin(), commandLines.end());
  EXPECT_EQ(logged, commandLines);
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// No hall cache: the install-channel step writes the file and traces its line,
// then the sequence traces its own; the hall starts in the launcher's directory.
TEST_F(HallLaunchE2E, InstalledHallWithItsWindowOpenIsStartedTwiceAfterOnePoll) {
  const std::wstring hall = makeHall();
  setString(HKEY_CURRENT_USER, kHallKey, kHallValue, hall);
  OwnHallWindow window;
  const struct {
    int32_t appId;
    const wchar_t* secondParameter;
  } cases[] = {
      {2001, L"ludora://ENTERAPP APPID:2001"},
      {0, L"ludora://ENTERAPP"},
      {-5, L"ludora://ENTERAPP APPID:-5"},
  };
  size_t expectedStarts = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.appId);
    const Lines lines = run(stampedLauncher(1234, c.appId));
    EXPECT_EQ(lines, joined({{startupLine(c.appId, 1234), kRecordedLine, kRecordedLine}, pollLines(1)}))
        << shown(lines);
    expectedStarts += 2;
    const std::vector<Start> log = startsAfterWaiting(expectedStarts);
    ASSERT_EQ(log.size(), expectedStarts);
    expectHallStarts({log.end() - 2, log.end()},
                     {hallCommand(hall, L"ludora://ENTERAPP"), hallCommand(hall, c.secondParameter)},
                     workingDirectory_);
  }
  EXPECT_TRUE(fileExists(hall + L"\\config\\original\\InsChannel.as"));
}

// A hall used recently: only the sequence's own line, no file, and the hall
// starts in its cache directory, which the recent-use check left current.
TEST_F(HallLaunchE2E, InstalledHallIsStartedAgainOnceItsWindowShows) {
  const std::wstring hall = makeHall();
  const std::wstring cache = root_ + L"xwv_cache\\GPUCache";
  makeDirectory(L"xwv_cache");
  makeDirectory(L"xwv_cache\\GPUCache");
  CloseHandle(CreateFileW((cache + L"\\data_1").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  setString(HKEY_CURRENT_USER, kHallKey, kHallValue, hall + L"\\");  // a trailing backslash is fine too
  SetEnvironmentVariableW(L"LUDORA_TEST_WINDOW_DELAY_MS", L"1500");
  SetEnvironmentVariableW(L"LUDORA_TEST_WINDOW_MS", L"30000");
  const Lines lines = run(stampedLauncher(77, 2001));
  ASSERT_GE(lines.size(), 4u) << shown(lines);
  const int polls = int(lines.size()) - 2;
  EXPECT_GE(polls, 2);  // the window shows 1.5 s after the start, so poll 1 cannot see it
  EXPECT_LT(polls, 120);
  EXPECT_EQ(lines, joined({{startupLine(2001, 77), kRecordedLine}, pollLines(polls)})) << shown(lines);
  expectHallStarts(startsAfterWaiting(2),
                   {hallCommand(hall, L"ludora://ENTERAPP"), hallCommand(hall, L"ludora://ENTERAPP APPID:2001")},
                   cache);
  EXPECT_FALSE(fileExists(hall + L"\\config\\original\\InsChannel.as"));
}

// Finds the launcher's message box: a visible dialog (class "#32770") of that process.
struct BoxSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK matchMessageBox(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<BoxSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  // The box shows only once its text and caption are in place.
  if (owner != search->processId || std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND findMessageBox(DWORD processId) {
  BoxSearch search{processId, nullptr};
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (search.found == nullptr && std::chrono::steady_clock::now() < deadline) {
    EnumWindows(matchMessageBox, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(50);
  }
  return search.found;
}

std::wstring windowText(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

BOOL CALLBACK collectStaticText(HWND child, LPARAM context) {
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  const std::wstring text = windowText(child);
  if (lstrcmpiW(className, L"Static") == 0 && !text.empty())
    reinterpret_cast<std::vector<std::wstring>*>(context)->push_back(text);
  return TRUE;
}

// The texts of the box's static controls that carry any (the icon's has none).
std::vector<std::wstring> staticTexts(HWND box) {
  std::vector<std::wstring> texts;
  EnumChildWindows(box, collectStaticText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

TEST_F(HallLaunchE2E, WithoutTheHallOtherChannelsAskForTheDownloadAndStartNothing) {
  for (int32_t channel : {1234, -7}) {
    SCOPED_TRACE(channel);
    TraceCapture capture;
    ASSERT_TRUE(capture.start(L"\"" + stampedLauncher(channel, 2001) + L"\"", workingDirectory_));
    const HWND box = findMessageBox(capture.processId());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windowText(box), kBoxCaption);
    EXPECT_EQ(staticTexts(box), std::vector<std::wstring>{kBoxText});
    EXPECT_FALSE(capture.exitCode().has_value());  // the box holds the launcher
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(box, IDOK)));
    ASSERT_TRUE(capture.waitForExit(30s));
    EXPECT_EQ(capture.exitCode(), 0u);
    EXPECT_EQ(capture.lines(), (Lines{startupLine(2001, channel), kSeparatorLine, decimal(channel), L"1101010001"}))
        << shown(capture.lines());
  }
  Sleep(500);
  EXPECT_TRUE(starts().empty());
}

// Not installed, channel 1101010001: the software manager is started from the
// directory derived from its uninstall value; it registers the hall and shows
// its window, and the launcher then starts the hall from the registry afresh.
class ThroughSoftwareManager : public HallLaunchE2E {
 protected:
  void SetUp() override {
    HallLaunchE2E::SetUp();
    hall_ = makeHall();
    SetEnvironmentVariableW(L"HALVEX_TEST_REGISTER_HALL", hall_.c_str());
    SetEnvironmentVariableW(L"HALVEX_TEST_WINDOW_MS", L"30000");
  }

  // Runs channel 1101010001 and checks its lines and the hall start after the manager's.
  Start runAndExpectManagerThenHall(int32_t appId, const wchar_t* parameter) {
    const Lines lines = run(stampedLauncher(kSoftwareManagerChannel, appId));
    const int polls = int(lines.size()) - 4;
    EXPECT_GE(polls, 1);
    EXPECT_EQ(lines, joined({{startupLine(appId, kSoftwareManagerChannel), kSeparatorLine, L"1101010001",
                              L"1101010001"},
                             pollLines(polls)}))
        << shown(lines);
    const std::vector<Start> log = startsAfterWaiting(2);
    EXPECT_EQ(log.size(), 2u);
    if (log.size() != 2) return {};
    EXPECT_EQ(log[1].program, L"ludora");
    EXPECT_EQ(log[1].commandLine, hallCommand(hall_, parameter));
    EXPECT_EQ(log[1].directory, workingDirectory_);
    EXPECT_EQ(log[0].program, L"HalvexSoftMgr");
    return log[0];
  }

  std::wstring hall_;
};

TEST_F(ThroughSoftwareManager, QuotedUninstallValueStartsTheManagerInItsDirectory) {
  const std::wstring manager = root_ + L"Halvex \u7ba1\u5bb6";
  placeStandIn(L"HalvexSoftMgr.exe", manager);
  setString(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue, L"\"" + manager + L"\\Uninst.exe\"");
  const Start started = runAndExpectManagerThenHall(2001, L"ludora://ENTERAPP APPID:2001");
  EXPECT_EQ(started.commandLine, L"\"" + manager + L"\\HalvexSoftMgr.exe\"" + kManagerArguments);
  EXPECT_EQ(started.directory, manager);
}

TEST_F(ThroughSoftwareManager, UnquotedUninstallValueKeepsItsDriveLetter) {
  const std::wstring manager = root_ + L"HalvexPlain";
  placeStandIn(L"HalvexSoftMgr.exe", manager);
  setString(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue, manager + L"\\Uninst.exe /S");
  const Start started = runAndExpectManagerThenHall(0, L"ludora://ENTERAPP");
  const bool spaced = manager.find(L' ') != manager.npos;
  const std::wstring path = manager + L"\\HalvexSoftMgr.exe";
  EXPECT_EQ(started.commandLine, (spaced ? L"\"" + path + L"\"" : path) + kManagerArguments);
  EXPECT_EQ(started.directory, manager);
}

TEST_F(ThroughSoftwareManager, MissingOrEmptyUninstallValueStartsTheManagerByName) {
  // Found by the system's search in the launcher's current directory, and started there.
  placeStandIn(L"HalvexSoftMgr.exe", workingDirectory_);
  for (bool empty : {false, true}) {
    SCOPED_TRACE(empty ? "empty value" : "missing value");
    if (empty) setString(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue, L"");
    deleteValue(HKEY_CURRENT_USER, kHallKey, kHallValue);
    const Start started = runAndExpectManagerThenHall(-5, L"ludora://ENTERAPP APPID:-5");
    EXPECT_EQ(started.commandLine, std::wstring(L"HalvexSoftMgr.exe") + kManagerArguments);
    EXPECT_EQ(started.directory, workingDirectory_);
    endStandIns();
    DeleteFileW(log_.c_str());
  }
}

// Both waits that run out, at once: an installed hall that never shows its
// window, and the software manager's channel whose manager shows none.
TEST_F(HallLaunchE2E, WaitsRunOutAfter120PollsInBothBranches) {
  const std::wstring hall = makeHall();
  const std::wstring manager = root_ + L"Halvex \u7ba1\u5bb6";
  placeStandIn(L"HalvexSoftMgr.exe", manager);
  setString(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue, L"\"" + manager + L"\\Uninst.exe\"");
  setString(HKEY_CURRENT_USER, kHallKey, kHallValue, hall);

  TraceCapture installed;
  ASSERT_TRUE(installed.start(L"\"" + stampedLauncher(55, 9) + L"\"", workingDirectory_));
  ASSERT_TRUE(installed.waitForLine([](const std::wstring& line) { return line == kRecordedLine; }, 60s));
  // The installed run has made its choice; the next run finds no hall.
  deleteValue(HKEY_CURRENT_USER, kHallKey, kHallValue);
  TraceCapture withoutHall;
  ASSERT_TRUE(withoutHall.start(L"\"" + stampedLauncher(kSoftwareManagerChannel, 9) + L"\"", workingDirectory_));

  ASSERT_TRUE(installed.waitForExit(200s));
  ASSERT_TRUE(withoutHall.waitForExit(60s));
  EXPECT_EQ(installed.exitCode(), 0u);
  EXPECT_EQ(withoutHall.exitCode(), 0u);
  EXPECT_EQ(installed.lines(), joined({{startupLine(9, 55), kRecordedLine, kRecordedLine}, pollLines(120)}))
      << shown(installed.lines());
  EXPECT_EQ(withoutHall.lines(), joined({{startupLine(9, kSoftwareManagerChannel), kSeparatorLine, L"1101010001",
                                          L"1101010001"},
                                         pollLines(120)}))
      << shown(withoutHall.lines());
  // One hall start (the installed run's first) and one manager start; no second starts.
  const std::vector<Start> log = startsAfterWaiting(2);
  ASSERT_EQ(log.size(), 2u);
  size_t halls = 0;
  for (const Start& start : log) halls += start.program == L"ludora";
  EXPECT_EQ(halls, 1u);
}

}  // namespace
