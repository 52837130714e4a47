// channel_record.exe under Wine writing the hall's record file while other
// programs have it open (file_holder.exe, as a scanner or reader would), and
// while other copies of itself write it at the same time; files at paths
// beyond the plain path limit.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/system_error_text_win.h"
#include "tests/support/child_process_win.h"
#include "tests/support/launch_settings/stamp_test_support_win.h"
#include "tests/support/record_file/file_holder_win.h"
#include "tools/tool_text.h"

namespace {

constexpr DWORD kWriteFailed = 21, kReadFailed = 17;

std::wstring tool() { return testProgramFolder() + L"channel_record.exe"; }

// Starts channel_record.exe with `arguments` (each quoted).
bool startTool(ChildProcess& child, const std::vector<std::wstring>& arguments) {
  std::wstring commandLine = L"\"" + tool() + L"\"";
  for (const std::wstring& argument : arguments) commandLine += L" \"" + argument + L"\"";
  return child.start(tool(), commandLine);
}

struct Outcome {
  DWORD exitCode;
  std::string output;
  DWORD milliseconds;
};

// The tool's output with its line ends as LF (it writes in text mode).
std::string withoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

Outcome runTool(const std::vector<std::wstring>& arguments) {
  const DWORD started = GetTickCount();
  ChildProcess child;
  if (!startTool(child, arguments)) return {DWORD(-1), "not started", 0};
  std::string output = withoutCarriageReturns(child.readAll());
  const DWORD code = child.wait();
  return {code, output, GetTickCount() - started};
}

std::string fileBytes(const std::wstring& path) {
  const std::vector<uint8_t> bytes = readBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Whether `show` reads the file whole with this install channel.
bool holdsChannel(const std::wstring& record, int channel) {
  const Outcome shown = runTool({L"show", record});
  return shown.exitCode == 0 &&
         shown.output.find("[installchannel] maincid = " + std::to_string(channel) + "\n") != std::string::npos;
}

class ChannelRecordE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(runTool({L"set", record(), L"Main", L"Name", L"kept"}).exitCode, 0u);
    ASSERT_EQ(runTool({L"set-channel", record(), L"1"}).exitCode, 0u);
  }
  std::wstring record() const { return folder_.file(L"InsChannel.as"); }
  void expectOnlyTheRecord() const { EXPECT_EQ(folder_.names(), std::vector<std::wstring>{L"InsChannel.as"}); }
  ScratchFolder folder_{L"channel record e2e"};
};

// A hold of about half a second, whatever the holder lets others do, is
// waited out. It is a little shorter than the retries' pauses, so that a
// holder that wakes late on a busy machine still lets go in time.
TEST_F(ChannelRecordE2E, AHoldOfHalfASecondIsWaitedOut) {
  constexpr DWORD kHoldMilliseconds = 400;
  int channel = 100;
  for (const wchar_t* share : {L"-", L"r", L"rw"}) {
    SCOPED_TRACE(share);
    FileHolder holder(record(), share, kHoldMilliseconds);
    ASSERT_TRUE(holder.holding());
    const Outcome outcome = runTool({L"set-channel", record(), std::to_wstring(++channel)});
    holder.wait();
    std::printf("hold %ls for %lu ms: exit %lu after %lu ms\n", share, kHoldMilliseconds, outcome.exitCode,
                outcome.milliseconds);
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.output;
    EXPECT_TRUE(holdsChannel(record(), channel));
    expectOnlyTheRecord();
  }
}

// A hold that does not end: the tool gives up within a few seconds, says
// why, and the file stays byte for byte (its bytes could not even be read
// while nobody else may open it).
TEST_F(ChannelRecordE2E, AHoldThatDoesNotEndIsRefusedAndNothingIsLost) {
  const std::string before = fileBytes(record());
  const struct {
    const wchar_t* share;
    DWORD exitCode;
  } cases[] = {{L"-", kReadFailed}, {L"r", kWriteFailed}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.share);
    FileHolder holder(record(), c.share, 60000);
    ASSERT_TRUE(holder.holding());
    const Outcome outcome = runTool({L"set-channel", record(), L"555"});
    holder.stop();
    std::printf("hold %ls that does not end: exit %lu after %lu ms: %s", c.share, outcome.exitCode,
                outcome.milliseconds, outcome.output.c_str());
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_NE(outcome.output.find("error 32 (" + toUtf8(systemErrorText(ERROR_SHARING_VIOLATION)) + ")"),
              std::string::npos)
        << outcome.output;
    EXPECT_EQ(fileBytes(record()), before);
    expectOnlyTheRecord();
  }
}

// Two copies write at once, again and again: every write succeeds, and the
// file is always one of the two, whole, with the other entry kept.
TEST_F(ChannelRecordE2E, ConcurrentWritersAllSucceedAndLeaveOneWholeFile) {
  constexpr int kPairs = 40;
  int failed = 0;
  for (int pair = 0; pair < kPairs; ++pair) {
    const int first = 1000 + 2 * pair, second = first + 1;
    ChildProcess a, b;
    ASSERT_TRUE(startTool(a, {L"set-channel", record(), std::to_wstring(first)}));
    ASSERT_TRUE(startTool(b, {L"set-channel", record(), std::to_wstring(second)}));
    const std::string aSaid = a.readAll(), bSaid = b.readAll();
    const DWORD aCode = a.wait(), bCode = b.wait();
    failed += (aCode != 0) + (bCode != 0);
    EXPECT_EQ(aCode, 0u) << aSaid;
    EXPECT_EQ(bCode, 0u) << bSaid;
    EXPECT_TRUE(holdsChannel(record(), first) || holdsChannel(record(), second));
    const Outcome shown = runTool({L"show", record()});
    EXPECT_NE(shown.output.find("[main] name = kept\n"), std::string::npos) << shown.output;
  }
  std::printf("concurrent writes failed: %d of %d\n", failed, 2 * kPairs);
  expectOnlyTheRecord();
}

// A file 300 characters deep, under a Chinese name: written, listed and
// read back through a pipe, whose bytes stay the UTF-8 of the path. set-channel
// refuses it with the reason: the launcher's store holds no such path.
TEST(ChannelRecordLongPath, ReadsAndWritesAFileBeyondThePathLimit) {
  ScratchFolder folder{L"channel record long path"};
  const std::wstring deep = folder.deepPath(300, L"\u5927\u5385.as");
  const std::wstring plain = folder.file(L"plain.txt"), back = folder.file(L"back.txt");
  const std::vector<uint8_t> text = {'m', '=', '1', '\r', '\n'};
  writeBytes(plain, text);
  const std::string deepUtf8 = toUtf8(as_u16view(deep));

  const Outcome enciphered = runTool({L"encipher", plain, deep});
  EXPECT_EQ(enciphered.exitCode, 0u) << enciphered.output;
  EXPECT_NE(enciphered.output.find(" into " + deepUtf8 + " ("), std::string::npos) << enciphered.output;
  const Outcome shown = runTool({L"show", deep});
  EXPECT_EQ(shown.exitCode, 0u) << shown.output;
  EXPECT_NE(shown.output.find(" " + deepUtf8 + "\n"), std::string::npos) << shown.output;
  EXPECT_EQ(runTool({L"decipher", deep, back}).exitCode, 0u);
  EXPECT_EQ(readBytes(back), text);

  const Outcome refused = runTool({L"set-channel", deep, L"7"});
  EXPECT_EQ(refused.exitCode, kReadFailed);
  EXPECT_NE(refused.output.find("the launcher's own store"), std::string::npos) << refused.output;
}

}  // namespace
