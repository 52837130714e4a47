// What the end-to-end tests of the launch sequence share: the registry values
// that place the hall and the software manager, the log that the stand-ins
// (tests/programs) keep of their starts, a hall window of the test's own, and
// a fixture that runs stamped copies of channel_launcher.exe to their end.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/launch_flow/startup_e2e_support_win.h"

using TraceLines = std::vector<std::wstring>;

inline constexpr wchar_t kHallKey[] = L"Software\\Korvani\\Ludora\\SYS";
inline constexpr wchar_t kHallValue[] = L"CorvelHallDirectory";
inline constexpr wchar_t kUninstallKey[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HalvexMgr";
inline constexpr wchar_t kUninstallValue[] = L"UninstallString";
inline constexpr wchar_t kRecordedLine[] = L"\u5df2\u7ecf\u66ff\u6362\u5927\u5385\u6e20\u9053\u53f7";
inline constexpr wchar_t kSeparatorLine[] = L"-------------------------\r\n";

// One line of the stand-ins' log: which stand-in started, how and where.
struct StandInStart {
  std::wstring program;  // "ludora" or "HalvexSoftMgr"
  DWORD processId = 0;
  std::wstring commandLine;
  std::wstring directory;  // its current directory at the start
  DWORD startupFlags = 0;  // dwFlags of the start-up record it was given
  WORD showWindow = 0;     // wShowWindow of that record
  std::wstring console;    // "none", "windowless" or "window"
  long long localTimeOffsetMinutes = 0;  // its local time minus UTC
};

// A program built into the test programs' folder (tests/programs).
std::wstring testProgram(const std::wstring& fileName);

std::wstring decimal(long long value);

// The launcher's start-up trace line for a copy of `channelId` asking for `appId`.
std::wstring startupLine(int32_t appId, int32_t channelId);

// The wait's poll lines 1 to `count`.
TraceLines pollLines(int count);

TraceLines joined(std::initializer_list<TraceLines> parts);

// The lines one per row, CR and LF made visible, for failure messages.
std::string shown(const TraceLines& lines);

// The whole file at `path`, read while others may write it; empty when it cannot be read.
std::string readFileBytes(const std::wstring& path);

bool pathExists(const std::wstring& path);

inline constexpr uint64_t kHour = 36'000'000'000ull;  // in FILETIME units of 100 ns
inline constexpr uint64_t kDay = 24 * kHour;

// The system's UTC time as a FILETIME count.
uint64_t currentFileTime();

// Creates the file `path` holding `bytes`, last written at `lastWrite`, then
// gives it `attributes`; a failure fails the test.
void writeFileAt(const std::wstring& path, const std::string& bytes, uint64_t lastWrite,
                 DWORD attributes = FILE_ATTRIBUTE_NORMAL);

// The same, last written now.
void writeFile(const std::wstring& path, const std::string& bytes);

// Sets a REG_SZ value, creating the key; a failure fails the test. `view` is
// 0 (the test program's own registry view), KEY_WOW64_32KEY or KEY_WOW64_64KEY.
void setRegistryString(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& value,
                       REGSAM view = 0);
void deleteRegistryValue(HKEY root, const wchar_t* key, const wchar_t* name, REGSAM view = 0);
// The REG_SZ value in `view`; empty when there is none.
std::wstring registryString(HKEY root, const wchar_t* key, const wchar_t* name, REGSAM view = 0);

// The whole lines of the stand-in log at `log` (a line still being written is left out).
std::vector<StandInStart> readStarts(const std::wstring& log);

// The starts one per row (program, process id, command line, directory), for
// failure messages.
std::string shown(const std::vector<StandInStart>& starts);

// Waits until `log` holds at least `count` starts, or `timeout` has passed,
// and returns them. Stand-ins may still be starting after the launcher ended.
std::vector<StandInStart> waitForStarts(const std::wstring& log, size_t count,
                                        std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Ends those of `starts` that still run, by process id, when they are stand-ins.
void endStandIns(const std::vector<StandInStart>& starts);

// The hall command line as the shell composes it: quoted path, then the parameter.
std::wstring hallCommand(const std::wstring& hallDirectory, const std::wstring& parameter);

// Expects `starts` to be hall starts with these command lines, in any order
// (two starts in quick succession may log in either order), all in `directory`.
void expectHallStarts(const std::vector<StandInStart>& starts, std::vector<std::wstring> commandLines,
                      const std::wstring& directory);

// A visible top-level window of the hall's class in the test's own process,
// shown until the object goes: a launcher finds it in its first poll.
class OwnHallWindow {
 public:
  OwnHallWindow();
  ~OwnHallWindow();
  OwnHallWindow(const OwnHallWindow&) = delete;
  OwnHallWindow& operator=(const OwnHallWindow&) = delete;

 private:
  HWND window_ = nullptr;
};

// A scratch folder with a working directory for the launcher, a stand-in log
// named by CHANNEL_TEST_LOG, and no hall or manager registry values (before
// and after each test); stand-ins that logged their start are ended at the end.
class LauncherE2E : public testing::Test {
 protected:
  explicit LauncherE2E(const wchar_t* scratchName) : scratch_(scratchName) {}

  void SetUp() override;
  void TearDown() override;

  static void clearRegistry();

  // The folder `name` below the scratch folder (created when missing), without a trailing backslash.
  std::wstring makeDirectory(const std::wstring& name);

  // A copy of channel_launcher.exe stamped with `channelId` and `appId`.
  std::wstring stampedLauncher(int32_t channelId, int32_t appId);

  // Copies a stand-in into `directory` (created when missing) as `fileName`;
  // returns its path. `build` names the test program to copy when it is not
  // `fileName` itself (e.g. "console\\HalvexSoftMgr.exe").
  std::wstring placeStandIn(const wchar_t* fileName, const std::wstring& directory, const wchar_t* build = nullptr);

  std::vector<StandInStart> starts() const { return readStarts(log_); }

  // Waits until the log holds `count` starts, then a moment more for any unexpected one.
  std::vector<StandInStart> startsAfterWaiting(size_t count) const;

  void endStandIns() const { ::endStandIns(starts()); }

  // Runs a launcher copy to its end in `workingDirectory` (empty: the test's
  // working directory); expects exit code 0 and returns its trace lines.
  TraceLines run(const std::wstring& launcher, std::chrono::seconds timeout = std::chrono::seconds(60),
                 const std::wstring& workingDirectory = L"");

  ScratchFolder scratch_;
  std::wstring root_;  // the scratch folder, with a trailing backslash
  std::wstring workingDirectory_;
  std::wstring log_;
  int copies_ = 0;
};
