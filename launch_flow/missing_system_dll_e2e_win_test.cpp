// channel_launcher.exe when a system DLL it needs cannot be loaded: ctest runs
// this program with Wine told to load no shell32 at all (WINEDLLOVERRIDES
// "shell32="), as a damaged or stripped-down system would. The launcher stops
// in the one place meant for it, before either mode runs: exit code 103 and
// one trace line naming the call, the error and the system's text for it.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "launch_flow/startup.h"
#include "tests/support/launch_flow/startup_e2e_support_win.h"
#include "tests/support/trace_capture_win.h"

namespace {

bool shell32Disabled() {
  wchar_t value[4096] = {};
  const DWORD length = GetEnvironmentVariableW(L"WINEDLLOVERRIDES", value, 4096);
  return length > 0 && length < 4096 && std::wstring(value).find(L";shell32=") != std::wstring::npos &&
         LoadLibraryW(L"shell32.dll") == nullptr;
}

TEST(MissingSystemDll, StopsWithExit103AndOneTraceLineInEitherMode) {
  ASSERT_TRUE(shell32Disabled()) << "run through ctest, which disables shell32 for this test";
  ScratchFolder scratch(L"missing-system-dll");
  const auto copy = scratch.path() / L"setup.exe";
  HeaderSettings stamp;
  stamp.channelId = 1101010001;
  writeStampedLauncher(copy, stamp);
  for (const wchar_t* arguments : {L"", L" TestDosHeaderAttribute"}) {
    SCOPED_TRACE(printableLine(arguments));
    TraceCapture capture;
    ASSERT_TRUE(capture.start(L"\"" + copy.wstring() + L"\"" + arguments));
    ASSERT_TRUE(capture.waitForExit(std::chrono::seconds(60)));
    EXPECT_EQ(capture.exitCode(), DWORD(kExitSystemFunctionMissing));
    const std::wstring prefix =
        L"launcher stopped: a system function is missing, LoadLibraryExW(shell32.dll) failed with error ";
    ASSERT_EQ(capture.lines().size(), 1u) << "no start-up line: no mode ran";
    const std::wstring line = capture.lines().front();
    EXPECT_TRUE(line.starts_with(prefix) && line.ends_with(L"\r\n")) << printableLine(line);
  }
}

}  // namespace
