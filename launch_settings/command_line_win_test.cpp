// Splitting real command lines by the platform's rules into the token set.
#include "launch_settings/command_line_win.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/wide_win.h"
#include "tests/support/launch_settings/settings_test_support.h"

namespace {

TEST(CommandLineOnWindows, SplitsByThePlatformsQuotingRules) {
  struct Case {
    const wchar_t* line;
    std::u16string program;
    std::set<std::u16string> arguments;
  };
  const Case cases[] = {
      {L"a.exe -silent AppID=5", u"a.exe", {u"-silent", u"AppID=5"}},
      {L"\"C:\\My Games\\setup cid 42.exe\" \"-url=a b\"", u"C:\\My Games\\setup cid 42.exe", {u"-url=a b"}},
      {L"a.exe -sig=\\\"x\\\"", u"a.exe", {u"-sig=\"x\""}},
      {L"a.exe \"/D=C:\\Program Files\\\\\" -silent", u"a.exe", {u"/D=C:\\Program Files\\", u"-silent"}},
      {L"a.exe C:\\dir\\ \t  -silent   -silent", u"a.exe", {u"C:\\dir\\", u"-silent"}},
      {L"a.exe \"\" x", u"a.exe", {u"", u"x"}},
      {L"a.exe -nickname=\u5c0f\u660e", u"a.exe", {u"-nickname=\u5c0f\u660e"}},
  };
  for (const Case& c : cases) {
    const CommandLineTokens tokens = splitCommandLine(c.line);
    EXPECT_EQ(tokens.programPath(), c.program) << printable(as_u16view(c.line));
    EXPECT_EQ(tokens.arguments(), c.arguments) << printable(as_u16view(c.line));
  }
}

TEST(CommandLineOnWindows, AnEmptyLineHasNoArguments) {
  // The platform names the running program when the line is empty.
  EXPECT_TRUE(splitCommandLine(L"").arguments().empty());
}

TEST(CommandLineOnWindows, ThisProcessHasNoOptions) {
  // The test runner passes --gtest_color=no and nothing the launcher knows.
  EXPECT_EQ(parseCommandLine(), CommandLineSettings{});
}

}  // namespace
