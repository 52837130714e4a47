// channel_launcher.exe end to end under Wine: stamped copies under chosen
// names and folders, run with real command lines; the start-up trace line,
// the self-test exit codes and what happens when the program's own file
// cannot be read. The launcher's entry once more, built with an allocator
// that fails on request: how a run that fails inside ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "tests/support/launch_flow/launch_e2e_support_win.h"
#include "launch_flow/startup.h"
#include "tests/support/launch_flow/startup_e2e_support_win.h"
#include "tests/support/trace_capture_win.h"

namespace {

// The start-up line as the debugger receives it.
std::wstring startupLine(int32_t appId, int32_t channelId) {
  return std::wstring(as_wview(startupTraceLine(appId, channelId)));
}

using std::chrono::seconds;

constexpr int32_t kShippedChannel = 1101010001;

// The stamp of the shipped copy: channel 1101010001, mini type 2.
HeaderSettings shippedStamp() {
  HeaderSettings stamp;
  stamp.channelId = kShippedChannel;
  stamp.miniType = 2;
  return stamp;
}

struct Finished {
  std::vector<std::wstring> lines;
  DWORD exitCode = 0xFFFFFFFF;
};

// Runs `program` with `arguments` (as they stand on the command line) to its end.
Finished runToExit(const std::filesystem::path& program, const std::wstring& arguments) {
  TraceCapture capture;
  const std::wstring commandLine = L"\"" + program.wstring() + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  EXPECT_TRUE(capture.start(commandLine)) << "error " << capture.lastError();
  EXPECT_TRUE(capture.waitForExit(seconds(60)));
  return {capture.lines(), capture.exitCode().value_or(0xFFFFFFFF)};
}

std::string printable(const std::wstring& text) { return printableLine(text); }

class LauncherStartup : public ::testing::Test {
 protected:
  ScratchFolder scratch_{L"launcher-startup"};
};

TEST_F(LauncherStartup, NormalModeWritesTheStartupLineFirst) {
  const auto copy = scratch_.path() / L"setup.exe";
  writeStampedLauncher(copy, shippedStamp());
  TraceCapture capture;
  ASSERT_TRUE(capture.start(L"\"" + copy.wstring() + L"\" AppID=5 -silent"));
  // What follows depends on the hall; only the first line belongs to start-up.
  ASSERT_TRUE(capture.waitForLine([](const std::wstring&) { return true; }, seconds(60)));
  EXPECT_EQ(capture.lines().front(),
            L"\u83b7\u53d6\u5230\u7684\u62c9\u6d3b\u5305\u2014\u2014appid\uff1a0, channelID:1101010001.\r\n");
}

TEST_F(LauncherStartup, SelfTestExitsWithTheCodeOfTheFirstDifference) {
  struct Case {
    std::wstring folder;  // below the scratch folder; empty: the scratch folder itself
    std::wstring name;
    std::wstring arguments;
    DWORD code;
  };
  const Case cases[] = {
      {L"", L"setup.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001", 0},
      {L"", L"setup.exe", L"TestDosHeaderAttribute", 1},
      {L"", L"setup.exe", L"TestDosHeaderAttribute MiniType=2 -silent", 3},
      {L"", L"setup.exe", L"TestDosHeaderAttribute MiniType=2 -silent /MainSource=5", 3},
      {L"", L"setup.exe", L"TestDosHeaderAttribute MiniType=2 /S", 3},
      {L"", L"setup.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 /SubSource=4", 6},
      {L"", L"setup.exe", L"testdosheaderattribute minitype:2 /mainsource:1101010001", 0},
      // Quotes group and vanish; a backslash before a quote keeps the quote.
      {L"", L"setup.exe", L"\"TestDosHeaderAttribute\" \"MiniType=2\" \"/MainSource=1101010001\"", 0},
      {L"", L"setup.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 \"-silent\"", 3},
      {L"", L"setup.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 -silent\\\"", 0},
      {L"", L"setup.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 \"/D=C:\\Program Files\\\\\"", 0},
      {L"", L"setup.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 \"-silent /S\"", 0},
      // The "cid" number of the path is the sub-channel of a stamp without one.
      {L"", L"setup_cid88.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001", 6},
      {L"", L"setup_cid88.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 /SubSource=88", 0},
      {L"Cidade", L"setup_cid88.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001", 0},
      {L"", L"setup_CID-42.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 /SubSource=-42", 0},
      {L"", L"setup_cid 42.exe", L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 /SubSource=42", 0},
      {L"", L"setup_cid99999999999.exe",
       L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 /SubSource=2147483647", 0},
      {L"\u6e20\u9053 \u6d4b\u8bd5", L"\u5b89\u88c5_cid7.exe",
       L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 /SubSource=7", 0},
      {L"my games\\cid 5 folder", L"setup cid9.exe",
       L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 /SubSource=5", 0},
  };
  for (const Case& c : cases) {
    const auto folder = c.folder.empty() ? scratch_.path() : scratch_.path() / c.folder;
    std::filesystem::create_directories(folder);
    const auto copy = folder / c.name;
    writeStampedLauncher(copy, shippedStamp());
    const Finished run = runToExit(copy, c.arguments);
    EXPECT_EQ(run.exitCode, c.code) << printable(copy.wstring() + L" " + c.arguments);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.front(), startupLine(0, kShippedChannel));
    EXPECT_EQ(run.lines.size(), 1u) << "the self-test writes nothing more";
    std::filesystem::remove(copy);
  }
}

TEST_F(LauncherStartup, EveryStampedFieldReachesTheSelfTest) {
  HeaderSettings stamp;
  stamp.channelId = -5;
  stamp.subChannelId = 3;
  stamp.appId = INT32_MIN;
  stamp.miniType = 65535;
  stamp.silent = stamp.coverChannel = stamp.autoRunningDisabled = stamp.silentRunning = true;
  stamp.installHall = stamp.autoCheckAgreeBox = stamp.autoInstall = true;
  stamp.noCreateShortcut = stamp.showOnlyFirstInstallPage = true;
  stamp.tag = 0x8000;
  stamp.delayStartSeconds = 9;
  const auto copy = scratch_.path() / L"full_cid1.exe";
  writeStampedLauncher(copy, stamp);
  const std::wstring matching =
      L"TestDosHeaderAttribute MiniType=65535 /MainSource=-5 /SubSource=3 AppID=-2147483648 -silent -CoverChannel "
      L"-autorunning=false -silentrunning -install_hall -AutoCheckAgreeBox -autoinstall -NoCreateLudoraShortcut "
      L"-ShowOnlyFirstIntallPage Tag=32768 DelayStartSeconds=9";
  const Finished pass = runToExit(copy, matching);
  EXPECT_EQ(pass.exitCode, 0u);
  ASSERT_FALSE(pass.lines.empty());
  // Numbers with the top bit set print as negative decimals.
  EXPECT_EQ(pass.lines.front(), startupLine(INT32_MIN, -5));
  EXPECT_EQ(runToExit(copy, matching + L" Tag=1").exitCode, 9u) << "Tag=1 sorts before Tag=32768 and counts";
  EXPECT_EQ(runToExit(copy, L"TestDosHeaderAttribute MiniType=65535 -autorunning=no").exitCode, 2u);
}

TEST_F(LauncherStartup, AnUnstampedCopyTakesItsSettingsFromTheCommandLine) {
  const auto copy = scratch_.path() / L"plain_cid4.exe";
  writeStampedLauncher(copy, HeaderSettings{});
  const Finished run = runToExit(copy, L"TestDosHeaderAttribute MiniType=0 AppID=12 /MainSource=0");
  EXPECT_EQ(run.exitCode, 4u) << "the stamp says app 0";
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines.front(), startupLine(12, 0));
  EXPECT_EQ(runToExit(copy, L"TestDosHeaderAttribute MiniType=0").exitCode, 0u) << "no cid rule without a channel";
}

// Copies whose full path comes near or passes the 260 characters of a plain
// path, with the "cid" number at the very end of the name: when the platform
// starts such a copy, the launcher reads its own file and the whole path.
// (Process creation itself refuses image paths of 260 characters or more, on
// Windows and under Wine; the header reader's tests cover longer module paths.)
TEST_F(LauncherStartup, ProgramPathsUpToThePlatformLimitAreReadWhole) {
  const std::wstring arguments = L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001 /SubSource=31";
  for (size_t length : {250u, 258u, 259u, 260u, 261u, 400u}) {
    const std::wstring copy = scratch_.deepPath(length, L"setup_cid31.exe");
    writeStampedLauncher(std::filesystem::path(L"\\\\?\\" + copy), shippedStamp());
    TraceCapture capture;
    if (!capture.start(L"\"" + copy + L"\" " + arguments)) {
      EXPECT_GE(length, 260u) << "only the platform may refuse to start a copy, error " << capture.lastError();
      continue;
    }
    ASSERT_TRUE(capture.waitForExit(seconds(60)));
    EXPECT_EQ(capture.exitCode(), 0u) << "path length " << length;
  }
}

// While another program holds the launcher's file open for deletion, the
// launcher's own read-only, share-read open fails: no mode runs, one trace
// line names the error, and the exit code says why.
TEST_F(LauncherStartup, AnUnreadableOwnFileEndsTheRunWithoutAnyMode) {
  const auto copy = scratch_.path() / L"setup.exe";
  writeStampedLauncher(copy, shippedStamp());
  UniqueHandle holder = uniqueFile(CreateFileW(copy.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(holder, nullptr);
  const Finished run = runToExit(copy, L"TestDosHeaderAttribute MiniType=2 /MainSource=1101010001");
  holder.reset();
  EXPECT_EQ(run.exitCode, DWORD(kExitHeaderUnreadable));
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_EQ(run.lines.front().rfind(L"launcher stopped: its own header could not be read, CreateFileW failed with "
                                    L"error 32",
                                    0),
            0u)
      << printable(run.lines.front());
}

// ---- Runs that fail inside ----

// The launcher's entry and libraries with one allocation made to fail
// (tests/programs/failing_allocation_win.cpp), run in self-test mode.
struct FailingRun {
  std::vector<std::wstring> lines;  // without the allocator's own line
  DWORD exitCode = 0xFFFFFFFF;
  bool failed = false;     // the run came as far as the failing allocation
  bool afterStartupLine = false;  // and had written its start-up line by then
};

FailingRun runFailingAt(unsigned long allocation, const wchar_t* failure) {
  SetEnvironmentVariableW(L"CHANNEL_TEST_FAILING_ALLOCATION", decimal(allocation).c_str());
  SetEnvironmentVariableW(L"CHANNEL_TEST_ALLOCATION_FAILURE", failure);
  const Finished run = runToExit(testProgram(L"launcher_failing_allocation.exe"), L"TestDosHeaderAttribute MiniType=0");
  SetEnvironmentVariableW(L"CHANNEL_TEST_FAILING_ALLOCATION", nullptr);
  SetEnvironmentVariableW(L"CHANNEL_TEST_ALLOCATION_FAILURE", nullptr);
  FailingRun result;
  result.exitCode = run.exitCode;
  const std::wstring marker = L"failing allocation " + decimal(allocation) + L"\r\n";
  for (const std::wstring& line : run.lines) {
    if (line == marker) {
      result.failed = true;
      result.afterStartupLine = !result.lines.empty();
    } else {
      result.lines.push_back(line);
    }
  }
  return result;
}

// Wherever memory runs out, in start-up or in the self-test, the run ends with
// 101 and one line saying so, after the start-up line when that was written.
TEST(LauncherRunFailure, MemoryRunningOutAnywhereEndsTheRunWith101) {
  const std::wstring outOfMemory = L"launcher stopped: out of memory\r\n";
  int inStartup = 0;
  int afterStartup = 0;
  unsigned long allocation = 1;
  for (; allocation <= 500; ++allocation) {
    const FailingRun run = runFailingAt(allocation, L"memory");
    if (!run.failed) break;  // the run made fewer allocations
    SCOPED_TRACE("allocation " + std::to_string(allocation));
    EXPECT_EQ(run.exitCode, DWORD(kExitOutOfMemory));
    if (run.afterStartupLine) {
      ++afterStartup;
      EXPECT_EQ(run.lines, (std::vector<std::wstring>{startupLine(0, 0), outOfMemory}));
    } else {
      ++inStartup;
      EXPECT_EQ(run.lines, std::vector<std::wstring>{outOfMemory});
    }
  }
  EXPECT_LE(allocation, 500u) << "the run never ended without a failure";
  EXPECT_GT(inStartup, 0) << "no allocation failed in start-up";
  EXPECT_GT(afterStartup, 0) << "no allocation failed after it";
}

// Memory that stays short, so that reporting the failure cannot allocate
// either: still 101 and the same line, never the runtime's abort (exit 3).
TEST(LauncherRunFailure, MemoryThatStaysShortStillEndsTheRunWith101) {
  const std::wstring outOfMemory = L"launcher stopped: out of memory\r\n";
  unsigned long allocation = 1;
  for (; allocation <= 500; ++allocation) {
    const FailingRun run = runFailingAt(allocation, L"memory-onwards");
    if (!run.failed) break;
    SCOPED_TRACE("allocations from " + std::to_string(allocation));
    EXPECT_EQ(run.exitCode, DWORD(kExitOutOfMemory));
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), outOfMemory);
  }
  EXPECT_GT(allocation, 1u) << "no allocation failed";
  EXPECT_LE(allocation, 500u) << "the run never ended without a failure";
}

// Any other error ends the run with 102 and its description.
TEST(LauncherRunFailure, AnyOtherErrorEndsTheRunWith102AndItsDescription) {
  const struct {
    const wchar_t* failure;
    const wchar_t* line;
  } cases[] = {
      {L"error", L"launcher stopped: the test's own failure\r\n"},
      {L"unknown", L"launcher stopped: unknown error\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(printable(c.failure));
    const FailingRun run = runFailingAt(1, c.failure);
    EXPECT_TRUE(run.failed);
    EXPECT_EQ(run.exitCode, DWORD(kExitUnexpectedError));
    EXPECT_EQ(run.lines, std::vector<std::wstring>{c.line});
  }
}

}  // namespace
