// Checks the debuggee runner itself on a small program of ours: exact lines in
// order (Chinese text, CR LF and lines without an end) and the exit code.
#include <gtest/gtest.h>

#include "tests/support/trace_capture_win.h"

namespace {

std::wstring helperPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text(path);
  return text.substr(0, text.find_last_of(L'\\') + 1) + L"trace_emitter.exe";
}

TEST(TraceCapture, RecordsEveryLineExactlyAndTheExitCode) {
  TraceCapture capture;
  ASSERT_TRUE(capture.start(L"\"" + helperPath() + L"\" 7"));
  ASSERT_TRUE(capture.waitForExit(std::chrono::seconds(60)));
  const std::vector<std::wstring> expected = {
      L"\u83b7\u53d6\u5230\u7684\u62c9\u6d3b\u5305\u2014\u2014appid\uff1a1, channelID:2.\r\n",
      L"\u5df2\u7ecf\u66ff\u6362\u5927\u5385\u6e20\u9053\u53f7",
      L"plain",
  };
  EXPECT_EQ(capture.lines(), expected);
  EXPECT_EQ(capture.exitCode(), 7u);
}

TEST(TraceCapture, ReportsAProgramThatCannotStart) {
  TraceCapture capture;
  EXPECT_FALSE(capture.start(L"Z:\\no\\such\\program.exe"));
  EXPECT_NE(capture.lastError(), 0u);
}

}  // namespace
