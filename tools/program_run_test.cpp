#include "tools/program_run.h"

#include <gtest/gtest.h>

namespace {

// Each word list, and the command line that CommandLineToArgvW splits back into it.
TEST(WindowsCommandLine, QuotesWhatTheSplitterWouldOtherwiseChange) {
  const struct {
    std::vector<std::u16string> words;
    std::u16string line;
  } cases[] = {
      {{u"C:\\Tools\\osslsigncode.exe", u"sign", u"-in", u"a.exe"}, u"C:\\Tools\\osslsigncode.exe sign -in a.exe"},
      {{u"C:\\Program Files\\s.exe", u""}, u"\"C:\\Program Files\\s.exe\" \"\""},
      {{u"-n", u"Ludora channel launcher"}, u"-n \"Ludora channel launcher\""},
      {{u"a\"b"}, u"\"a\\\"b\""},
      {{u"a\\\"b"}, u"\"a\\\\\\\"b\""},
      {{u"C:\\My Dir\\"}, u"\"C:\\My Dir\\\\\""},
      {{u"tab\there", u"back\\slash"}, u"\"tab\there\" back\\slash"},
  };
  for (const auto& c : cases) EXPECT_EQ(windowsCommandLine(c.words), c.line);
}

TEST(RunProgram, StartsNothingByARelativeName) {
  for (const char* name : {"osslsigncode", "tools/osslsigncode", ""}) {
    EXPECT_FALSE(isFullProgramPath(name)) << name;
    EXPECT_NE(runProgram(name, {"--version"}).startError, 0u) << name;
  }
}

// The platform's shell, run for real: its output on both streams is kept, in
// order, with its exit code, and it reads nothing.
TEST(RunProgram, KeepsTheOutputAndTheExitCode) {
#ifdef _WIN32
  const ProgramRun run = runProgram("C:\\windows\\system32\\cmd.exe", {"/c", "echo out& echo err 1>&2& exit 3"});
#else
  const ProgramRun run = runProgram("/bin/sh", {"-c", "echo out; echo err >&2; cat; exit 3"});
#endif
  EXPECT_EQ(run.startError, 0u);
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_NE(run.output.find("err"), std::string::npos) << run.output;
  EXPECT_LT(run.output.find("out"), run.output.find("err")) << run.output;
}

}  // namespace
