// End-to-end runs of the real channel_launcher.exe under the debuggee runner,
// with stand-ins for the hall ("ludora.exe") and the software manager
// ("HalvexSoftMgr.exe"): the exact trace lines, the started programs' command
// lines and working directories, the message box, and the exit code, on all
// five ends of the launch sequence.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/unique_handle_win.h"
#include "launch_flow/hall_launch.h"
#include "launch_flow/hall_window_win.h"
#include "tests/support/launch_flow/launch_e2e_support_win.h"
#include "tests/support/trace_capture_win.h"

namespace {

using namespace std::chrono_literals;

constexpr wchar_t kManagerArguments[] = L" /action=showdetail_download /parent=user1204 /softdetailid=8033";
constexpr wchar_t kBoxText[] = L"\u542f\u52a8\u5931\u8d25\uff0c\u8bf7\u4e0b\u8f7dLudora\u5927\u5385";
constexpr wchar_t kBoxCaption[] = L"Ludora\u5927\u5385";
constexpr wchar_t kOkInChinese[] = L"\u786e\u5b9a";  // 确定
// The manager's uninstall key as either registry view names it.
constexpr wchar_t kNativeUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HalvexMgr";

class HallLaunchE2E : public LauncherE2E {
 protected:
  HallLaunchE2E() : LauncherE2E(L"hall-launch-e2e") {}

  void SetUp() override {
    LauncherE2E::SetUp();
    ASSERT_FALSE(hallWindowShown()) << "a hall window from elsewhere is open";
  }

  // A hall directory holding ludora.exe; its name has spaces and Chinese characters.
  std::wstring makeHall() {
    const std::wstring hall = root_ + L"\u6e38\u620f \u5927\u5385 Hall";
    placeStandIn(L"ludora.exe", hall);
    return hall;
  }
};

// No hall cache: the install-channel step writes the file and traces its line,
// then the sequence traces its own; the hall starts in its own folder, not in
// the one the copy was run from.
TEST_F(HallLaunchE2E, InstalledHallWithItsWindowOpenIsStartedTwiceAfterOnePoll) {
  const std::wstring hall = makeHall();
  setRegistryString(HKEY_CURRENT_USER, kHallKey, kHallValue, hall);
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
    const TraceLines lines = run(stampedLauncher(1234, c.appId));
    EXPECT_EQ(lines, joined({{startupLine(c.appId, 1234), kRecordedLine, kRecordedLine}, pollLines(1)}))
        << shown(lines);
    expectedStarts += 2;
    const std::vector<StandInStart> log = startsAfterWaiting(expectedStarts);
    ASSERT_EQ(log.size(), expectedStarts);
    expectHallStarts({log.end() - 2, log.end()},
                     {hallCommand(hall, L"ludora://ENTERAPP"), hallCommand(hall, c.secondParameter)}, hall);
  }
  EXPECT_TRUE(pathExists(hall + L"\\config\\original\\InsChannel.as"));
}

// A hall used recently: only the sequence's own line, no file, and the hall
// starts in its cache directory, which the recent-use check left current.
TEST_F(HallLaunchE2E, InstalledHallIsStartedAgainOnceItsWindowShows) {
  const std::wstring hall = makeHall();
  const std::wstring cache = root_ + L"xwv_cache\\GPUCache";
  makeDirectory(L"xwv_cache");
  makeDirectory(L"xwv_cache\\GPUCache");
  uniqueFile(CreateFileW((cache + L"\\data_1").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  setRegistryString(HKEY_CURRENT_USER, kHallKey, kHallValue, hall + L"\\");  // a trailing backslash is fine too
  SetEnvironmentVariableW(L"LUDORA_TEST_WINDOW_DELAY_MS", L"1500");
  SetEnvironmentVariableW(L"LUDORA_TEST_WINDOW_MS", L"30000");
  const TraceLines lines = run(stampedLauncher(77, 2001));
  ASSERT_GE(lines.size(), 4u) << shown(lines);
  const int polls = int(lines.size()) - 2;
  EXPECT_GE(polls, 2);  // the window shows 1.5 s after the start, so poll 1 cannot see it
  EXPECT_LT(polls, kWaitPolls);
  EXPECT_EQ(lines, joined({{startupLine(2001, 77), kRecordedLine}, pollLines(polls)})) << shown(lines);
  expectHallStarts(startsAfterWaiting(2),
                   {hallCommand(hall, L"ludora://ENTERAPP"), hallCommand(hall, L"ludora://ENTERAPP APPID:2001")},
                   cache);
  EXPECT_FALSE(pathExists(hall + L"\\config\\original\\InsChannel.as"));
}

// The screen's scale for the programs started while it lives: Wine reads
// LogPixels when a program starts (96 is 100 %, 144 is 150 %).
class ScopedLogPixels {
 public:
  explicit ScopedLogPixels(DWORD dpi) {
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key_, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi),
              ERROR_SUCCESS);
  }
  ~ScopedLogPixels() {
    RegDeleteValueW(key_, L"LogPixels");
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
};

// At 150 % a hall that draws in the screen's own pixels shows a window of 600
// x 560 of them, and the launcher still finds it. Windows would tell a
// launcher without DPI awareness 400 x 373, not a main window; Wine scales
// nothing for such programs, so the awareness itself is checked in the
// manifest (image_test.py), and this run shows the detection holds at 150 %.
TEST_F(HallLaunchE2E, AtHighDpiTheHallWindowIsMeasuredInScreenPixels) {
  const ScopedLogPixels scale(144);
  const std::wstring hall = makeHall();
  setRegistryString(HKEY_CURRENT_USER, kHallKey, kHallValue, hall);
  SetEnvironmentVariableW(L"LUDORA_TEST_WINDOW_MS", L"30000");
  SetEnvironmentVariableW(L"LUDORA_TEST_WINDOW_PIXELS", L"600x560");
  const TraceLines lines = run(stampedLauncher(77, 2001));
  SetEnvironmentVariableW(L"LUDORA_TEST_WINDOW_PIXELS", nullptr);
  ASSERT_GE(lines.size(), 4u) << shown(lines);
  const int polls = int(lines.size()) - 3;
  EXPECT_LT(polls, kWaitPolls);
  EXPECT_EQ(lines, joined({{startupLine(2001, 77), kRecordedLine, kRecordedLine}, pollLines(polls)})) << shown(lines);
  EXPECT_EQ(startsAfterWaiting(2).size(), 2u);
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

// The controls of a message box that the user sees: its buttons, and the icon
// controls that hold an icon (Wine keeps an empty icon control in every box).
struct BoxControls {
  std::vector<HWND> buttons;
  int icons = 0;
};

BOOL CALLBACK collectBoxControl(HWND child, LPARAM context) {
  auto* controls = reinterpret_cast<BoxControls*>(context);
  if (!IsWindowVisible(child)) return TRUE;
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  if (lstrcmpiW(className, L"Button") == 0) controls->buttons.push_back(child);
  const bool iconControl = (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
  if (lstrcmpiW(className, L"Static") == 0 && iconControl && SendMessageW(child, STM_GETICON, 0, 0) != 0)
    ++controls->icons;
  return TRUE;
}

BoxControls boxControls(HWND box) {
  BoxControls controls;
  EnumChildWindows(box, collectBoxControl, reinterpret_cast<LPARAM>(&controls));
  return controls;
}

// A button's label without its accelerator mark.
std::wstring buttonLabel(HWND button) {
  std::wstring label = windowText(button);
  std::erase(label, L'&');
  return label;
}

// Runs `launcher` in `workingDirectory` to its download message box, checks the
// box (its caption, its text, one OK button and no icon), presses the button
// and returns the trace lines once the launcher has ended.
TraceLines runToTheDownloadBox(const std::wstring& launcher, const std::wstring& workingDirectory) {
  TraceCapture capture;
  EXPECT_TRUE(capture.start(L"\"" + launcher + L"\"", workingDirectory));
  const HWND box = findMessageBox(capture.processId());
  EXPECT_NE(box, nullptr);
  if (box == nullptr) return capture.lines();
  EXPECT_EQ(windowText(box), kBoxCaption);
  EXPECT_EQ(staticTexts(box), std::vector<std::wstring>{kBoxText});
  const BoxControls controls = boxControls(box);
  EXPECT_EQ(controls.icons, 0) << "the box shows an icon";
  EXPECT_EQ(controls.buttons.size(), 1u) << "the box has other buttons than OK";
  EXPECT_FALSE(capture.exitCode().has_value());  // the box holds the launcher
  if (controls.buttons.size() != 1) return capture.lines();  // the capture ends the launcher
  const HWND ok = controls.buttons.front();
  EXPECT_EQ(GetDlgCtrlID(ok), IDOK);
  // "OK", or its text in the Chinese locale the tests run in.
  EXPECT_TRUE(buttonLabel(ok) == L"OK" || buttonLabel(ok) == kOkInChinese) << printableLine(windowText(ok));
  PostMessageW(ok, BM_CLICK, 0, 0);
  EXPECT_TRUE(capture.waitForExit(30s));
  EXPECT_EQ(capture.exitCode(), 0u);
  return capture.lines();
}

TraceLines downloadBoxLines(int32_t channel) {
  return {startupLine(2001, channel), kSeparatorLine, decimal(channel), L"1101010001"};
}

TEST_F(HallLaunchE2E, WithoutTheHallOtherChannelsAskForTheDownloadAndStartNothing) {
  for (int32_t channel : {1234, -7}) {
    SCOPED_TRACE(channel);
    const TraceLines lines = runToTheDownloadBox(stampedLauncher(channel, 2001), workingDirectory_);
    EXPECT_EQ(lines, downloadBoxLines(channel)) << shown(lines);
  }
  Sleep(500);
  EXPECT_TRUE(starts().empty());
}

// No hall directory in the registry (no value, an empty one, or one that is
// not a full path and would be found from the current folder) is no hall,
// even when the launcher's working directory holds a ludora.exe that a bare
// name or that relative path would find: nothing is recorded there and
// nothing is started; a relative value is named in the trace.
TEST_F(HallLaunchE2E, WithoutAHallDirectoryALudoraInTheWorkingDirectoryIsNotTheHall) {
  placeStandIn(L"ludora.exe", workingDirectory_);
  placeStandIn(L"ludora.exe", workingDirectory_ + L"\\Hall");
  for (const wchar_t* value : {static_cast<const wchar_t*>(nullptr), L"", L"Hall\\"}) {
    SCOPED_TRACE(value ? printableLine(value) : "no value");
    if (value) setRegistryString(HKEY_CURRENT_USER, kHallKey, kHallValue, value);
    TraceLines expected = downloadBoxLines(1234);
    if (value && *value) expected.insert(expected.begin() + 1, L"Hall directory ignored: not a full path\r\n");
    const TraceLines lines = runToTheDownloadBox(stampedLauncher(1234, 2001), workingDirectory_);
    EXPECT_EQ(lines, expected) << shown(lines);
  }
  EXPECT_FALSE(pathExists(workingDirectory_ + L"\\config"));
  EXPECT_FALSE(pathExists(workingDirectory_ + L"\\Hall\\config"));
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
  StandInStart runAndExpectManagerThenHall(int32_t appId, const wchar_t* parameter) {
    const TraceLines lines = run(stampedLauncher(kSoftwareManagerChannel, appId));
    const int polls = int(lines.size()) - 4;
    EXPECT_GE(polls, 1);
    EXPECT_EQ(lines, joined({{startupLine(appId, kSoftwareManagerChannel), kSeparatorLine, L"1101010001",
                              L"1101010001"},
                             pollLines(polls)}))
        << shown(lines);
    const std::vector<StandInStart> log = startsAfterWaiting(2);
    EXPECT_EQ(log.size(), 2u);
    if (log.size() != 2) return {};
    EXPECT_EQ(log[1].program, L"ludora");
    EXPECT_EQ(log[1].commandLine, hallCommand(hall_, parameter));
    EXPECT_EQ(log[1].directory, hall_);  // its own folder, not the one the copy was run from
    EXPECT_EQ(log[0].program, L"HalvexSoftMgr");
    return log[0];
  }

  std::wstring hall_;
};

// A quoted uninstaller, alone or with arguments that hold quotes and
// backslashes of their own: the manager's folder is the uninstaller's, up to
// the closing quote.
TEST_F(ThroughSoftwareManager, QuotedUninstallValueStartsTheManagerInItsDirectory) {
  const std::wstring manager = root_ + L"Halvex \u7ba1\u5bb6";
  placeStandIn(L"HalvexSoftMgr.exe", manager);
  for (const std::wstring& arguments : {std::wstring(), L" /S /log=\"" + root_ + L"Temp\\u.log\""}) {
    SCOPED_TRACE(printableLine(arguments));
    deleteRegistryValue(HKEY_CURRENT_USER, kHallKey, kHallValue);
    setRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue,
                      L"\"" + manager + L"\\Uninst.exe\"" + arguments);
    const StandInStart started = runAndExpectManagerThenHall(2001, L"ludora://ENTERAPP APPID:2001");
    EXPECT_EQ(started.commandLine, L"\"" + manager + L"\\HalvexSoftMgr.exe\"" + kManagerArguments);
    EXPECT_EQ(started.directory, manager);
    endStandIns();
    DeleteFileW(log_.c_str());
  }
}

TEST_F(ThroughSoftwareManager, UnquotedUninstallValueKeepsItsDriveLetter) {
  const std::wstring manager = root_ + L"HalvexPlain";
  placeStandIn(L"HalvexSoftMgr.exe", manager);
  setRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue, manager + L"\\Uninst.exe /S");
  const StandInStart started = runAndExpectManagerThenHall(0, L"ludora://ENTERAPP");
  const bool spaced = manager.find(L' ') != manager.npos;
  const std::wstring path = manager + L"\\HalvexSoftMgr.exe";
  EXPECT_EQ(started.commandLine, (spaced ? L"\"" + path + L"\"" : path) + kManagerArguments);
  EXPECT_EQ(started.directory, manager);
}

// The manager starts like a program the user started: the system's default
// window placement and show state (an empty start-up record), and, being a
// background helper, no console window: a console program is given a console
// without a window. Checked with the manager built both ways.
TEST_F(ThroughSoftwareManager, ManagerStartsWithTheDefaultStartupRecordAndNoConsoleWindow) {
  const struct {
    const wchar_t* build;
    const wchar_t* console;
  } cases[] = {
      {L"HalvexSoftMgr.exe", L"none"},
      {L"console\\HalvexSoftMgr.exe", L"windowless"},
  };
  const std::wstring manager = root_ + L"Halvex \u7ba1\u5bb6";
  setRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue, L"\"" + manager + L"\\Uninst.exe\"");
  for (const auto& c : cases) {
    SCOPED_TRACE(printableLine(c.build));
    placeStandIn(L"HalvexSoftMgr.exe", manager, c.build);
    deleteRegistryValue(HKEY_CURRENT_USER, kHallKey, kHallValue);
    const StandInStart started = runAndExpectManagerThenHall(2001, L"ludora://ENTERAPP APPID:2001");
    EXPECT_EQ(started.startupFlags, 0u) << "the start-up record asks for something";
    EXPECT_EQ(started.showWindow, 0u);
    EXPECT_EQ(started.console, c.console);
    EXPECT_EQ(started.directory, manager);
    endStandIns();
    DeleteFileW(log_.c_str());
  }
}

// The 32-bit launcher reads the manager's uninstall value from the 32-bit
// registry view (WOW6432Node) alone: a manager named only in the 64-bit view,
// or in the per-user registry, is not started.
TEST_F(ThroughSoftwareManager, UninstallValueComesFromThe32BitViewOnly) {
  const std::wstring manager32 = root_ + L"Halvex 32-bit";
  const std::wstring manager64 = root_ + L"Halvex 64-bit";
  const std::wstring managerPerUser = root_ + L"Halvex per-user";
  for (const std::wstring& folder : {manager32, manager64, managerPerUser}) placeStandIn(L"HalvexSoftMgr.exe", folder);
  placeStandIn(L"HalvexSoftMgr.exe", workingDirectory_);  // what a start by bare name finds
  const auto uninstaller = [](const std::wstring& folder) { return L"\"" + folder + L"\\Uninst.exe\""; };
  // Every value this test sets goes again at its end, however it ends.
  struct ClearedValues {
    ClearedValues() { clear(); }
    ~ClearedValues() { clear(); }
    static void clear() {
      deleteRegistryValue(HKEY_LOCAL_MACHINE, kNativeUninstallKey, kUninstallValue, KEY_WOW64_64KEY);
      deleteRegistryValue(HKEY_LOCAL_MACHINE, kNativeUninstallKey, kUninstallValue, KEY_WOW64_32KEY);
      deleteRegistryValue(HKEY_CURRENT_USER, kNativeUninstallKey, kUninstallValue);
      deleteRegistryValue(HKEY_CURRENT_USER, kUninstallKey, kUninstallValue);
    }
  } cleared;
  setRegistryString(HKEY_LOCAL_MACHINE, kNativeUninstallKey, kUninstallValue, uninstaller(manager64), KEY_WOW64_64KEY);
  setRegistryString(HKEY_CURRENT_USER, kNativeUninstallKey, kUninstallValue, uninstaller(managerPerUser));
  setRegistryString(HKEY_CURRENT_USER, kUninstallKey, kUninstallValue, uninstaller(managerPerUser));
  for (bool in32BitView : {true, false}) {
    SCOPED_TRACE(in32BitView ? "a value in both views" : "a value in the 64-bit view only");
    if (in32BitView)
      setRegistryString(HKEY_LOCAL_MACHINE, kNativeUninstallKey, kUninstallValue, uninstaller(manager32),
                        KEY_WOW64_32KEY);
    else
      deleteRegistryValue(HKEY_LOCAL_MACHINE, kNativeUninstallKey, kUninstallValue, KEY_WOW64_32KEY);
    // The two views really hold different values (a 64-bit prefix).
    ASSERT_EQ(registryString(HKEY_LOCAL_MACHINE, kNativeUninstallKey, kUninstallValue, KEY_WOW64_64KEY),
              uninstaller(manager64));
    ASSERT_EQ(registryString(HKEY_LOCAL_MACHINE, kNativeUninstallKey, kUninstallValue, KEY_WOW64_32KEY),
              in32BitView ? uninstaller(manager32) : L"");
    deleteRegistryValue(HKEY_CURRENT_USER, kHallKey, kHallValue);
    if (in32BitView) {
      const StandInStart started = runAndExpectManagerThenHall(2001, L"ludora://ENTERAPP APPID:2001");
      EXPECT_EQ(started.commandLine, L"\"" + manager32 + L"\\HalvexSoftMgr.exe\"" + kManagerArguments);
      EXPECT_EQ(started.directory, manager32);
    } else {
      // No value in its view: no manager at all, not the 64-bit one, the
      // per-user one or one found by its bare name. The wait still runs and
      // ends at the test's own hall window.
      OwnHallWindow window;
      const TraceLines lines = run(stampedLauncher(kSoftwareManagerChannel, 2001));
      EXPECT_EQ(lines, joined({{startupLine(2001, kSoftwareManagerChannel), kSeparatorLine, L"1101010001",
                                L"1101010001"},
                               pollLines(1)}))
          << shown(lines);
      EXPECT_TRUE(startsAfterWaiting(0).empty()) << shown(starts());
    }
    endStandIns();
    DeleteFileW(log_.c_str());
  }
}

// A HalvexSoftMgr.exe beside the launcher or in its current directory is
// never started by its bare name; the wait still runs and ends in poll 1 at
// the test's own hall window, and with no hall registered nothing follows.
TEST_F(ThroughSoftwareManager, MissingOrEmptyUninstallValueStartsNoManager) {
  placeStandIn(L"HalvexSoftMgr.exe", workingDirectory_);
  const std::wstring launcher = stampedLauncher(kSoftwareManagerChannel, -5);
  placeStandIn(L"HalvexSoftMgr.exe", launcher.substr(0, launcher.find_last_of(L'\\')));
  OwnHallWindow window;
  for (bool empty : {false, true}) {
    SCOPED_TRACE(empty ? "empty value" : "missing value");
    if (empty) setRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue, L"");
    const TraceLines lines = run(launcher);
    EXPECT_EQ(lines, joined({{startupLine(-5, kSoftwareManagerChannel), kSeparatorLine, L"1101010001",
                              L"1101010001"},
                             pollLines(1)}))
        << shown(lines);
    EXPECT_TRUE(startsAfterWaiting(0).empty()) << shown(starts());
  }
}

// Both waits that run out, at once: an installed hall that never shows its
// window, and the software manager's channel whose manager shows none.
TEST_F(HallLaunchE2E, WaitsRunOutAtTheLastPollInBothBranches) {
  const std::wstring hall = makeHall();
  const std::wstring manager = root_ + L"Halvex \u7ba1\u5bb6";
  placeStandIn(L"HalvexSoftMgr.exe", manager);
  setRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey, kUninstallValue, L"\"" + manager + L"\\Uninst.exe\"");
  setRegistryString(HKEY_CURRENT_USER, kHallKey, kHallValue, hall);

  TraceCapture installed;
  ASSERT_TRUE(installed.start(L"\"" + stampedLauncher(55, 9) + L"\"", workingDirectory_));
  ASSERT_TRUE(installed.waitForLine([](const std::wstring& line) { return line == kRecordedLine; }, 60s));
  // The installed run has made its choice; the next run finds no hall.
  deleteRegistryValue(HKEY_CURRENT_USER, kHallKey, kHallValue);
  TraceCapture withoutHall;
  ASSERT_TRUE(withoutHall.start(L"\"" + stampedLauncher(kSoftwareManagerChannel, 9) + L"\"", workingDirectory_));

  const auto wholeWait = std::chrono::milliseconds(int64_t(kWaitPolls) * kPollPauseMilliseconds);
  ASSERT_TRUE(installed.waitForExit(wholeWait + 80s));
  ASSERT_TRUE(withoutHall.waitForExit(60s));
  EXPECT_EQ(installed.exitCode(), 0u);
  EXPECT_EQ(withoutHall.exitCode(), 0u);
  EXPECT_EQ(installed.lines(), joined({{startupLine(9, 55), kRecordedLine, kRecordedLine}, pollLines(kWaitPolls)}))
      << shown(installed.lines());
  EXPECT_EQ(withoutHall.lines(), joined({{startupLine(9, kSoftwareManagerChannel), kSeparatorLine, L"1101010001",
                                          L"1101010001"},
                                         pollLines(kWaitPolls)}))
      << shown(withoutHall.lines());
  // One hall start (the installed run's first) and one manager start; no second starts.
  const std::vector<StandInStart> log = startsAfterWaiting(2);
  ASSERT_EQ(log.size(), 2u);
  size_t halls = 0;
  for (const StandInStart& start : log) halls += start.program == L"ludora";
  EXPECT_EQ(halls, 1u);
}

}  // namespace
