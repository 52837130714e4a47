// The launch flow's text rules: the software manager's command line, the
// directory derivations, and the hall window's class and size rules.
#include <gtest/gtest.h>

#include <climits>

#include "launch_flow/hall_launch.h"
#include "launch_flow/hall_window.h"
#include "launch_flow/path_text.h"

namespace {

// One input text and the text it should give.
struct TextCase {
  std::u16string_view input;
  std::u16string_view expected;
};

std::string printable(std::u16string_view text) {
  std::string shown;
  for (char16_t c : text) shown += c < 0x80 ? char(c) : '?';
  return shown;
}

TEST(BuildCommandLine, QuotesAPathWithASpaceOnly) {
  const std::u16string_view args = u"/action=showdetail_download /parent=user1204 /softdetailid=8033";
  const TextCase cases[] = {
      {u"C:\\Program Files\\Halvex\\HalvexSoftMgr.exe",
       u"\"C:\\Program Files\\Halvex\\HalvexSoftMgr.exe\" "
       u"/action=showdetail_download /parent=user1204 /softdetailid=8033"},
      {u"D:\\Halvex\\HalvexSoftMgr.exe",
       u"D:\\Halvex\\HalvexSoftMgr.exe /action=showdetail_download /parent=user1204 /softdetailid=8033"},
      // A tab is not a space; quotes inside the path are not escaped.
      {u"D:\\a\tb\\x.exe", u"D:\\a\tb\\x.exe /action=showdetail_download /parent=user1204 /softdetailid=8033"},
      {u"D:\\\u5927\u5385 x\\\"y.exe",
       u"\"D:\\\u5927\u5385 x\\\"y.exe\" /action=showdetail_download /parent=user1204 /softdetailid=8033"},
      {u"", u" /action=showdetail_download /parent=user1204 /softdetailid=8033"},
  };
  for (const auto& c : cases) EXPECT_EQ(buildCommandLine(c.input, args), c.expected) << printable(c.input);
  EXPECT_EQ(buildCommandLine(u"a b", u""), u"\"a b\" ");
}

TEST(ContainingDirectory, DirectoryOfTheLastComponentWithOneBackslash) {
  const TextCase cases[] = {
      {u"D:\\Games\\Ludora\\Hall\\", u"D:\\Games\\Ludora\\"},
      {u"D:\\Games\\Ludora\\Hall", u"D:\\Games\\Ludora\\"},
      {u"C:\\tool.exe", u"C:\\"},
      {u"C:\\", u"C:\\"},
      {u"C:", u"C:\\"},
      {u"C:tool.exe", u"C:\\"},
      {u"tool.exe", u""},
      {u"", u""},
      {u"\\tool.exe", u"\\"},
      {u"\\\\server\\share\\dir\\tool.exe", u"\\\\server\\share\\dir\\"},
      {u"\\\\server\\share", u"\\\\server\\"},
      {u":\\Halvex\\Uninst.exe", u":\\Halvex\\"},
      {u"C:\\Program Files\\Halvex\\Uninst.exe\"", u"C:\\Program Files\\Halvex\\"},
      {u"C:\\Halvex\\Uninst.exe\" /S /log=x", u"C:\\Halvex\\"},
      {u"D:\\\u5927\u5385\\ludora.exe", u"D:\\\u5927\u5385\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(containingDirectory(c.input), c.expected) << printable(c.input);
}

TEST(FullyQualifiedPath, OnlyDriveRootedAndUncPathsNameOnePlace) {
  for (const char16_t* path : {u"C:\\", u"c:\\Halvex\\", u"Z:/Halvex/", u"\\\\server\\share\\Halvex\\",
                               u"\\\\?\\C:\\Halvex\\", u"C:\\Program Files\\Halvex\\HalvexSoftMgr.exe"})
    EXPECT_TRUE(isFullyQualifiedPath(path)) << printable(path);
  // Each of these is resolved against the current drive or directory, or the search path.
  for (const char16_t* path : {u"", u"HalvexSoftMgr.exe", u"Halvex\\", u".\\Halvex\\", u"..\\Halvex\\", u"\\",
                               u"\\Halvex\\", u"/Halvex/", u"C:", u"C:Halvex\\", u":\\Halvex\\", u"1:\\Halvex\\",
                               u"\\\\", u"\\\\\\server"})
    EXPECT_FALSE(isFullyQualifiedPath(path)) << printable(path);
}

TEST(ManagerDirectory, FromQuotedUnquotedEmptyAndOddUninstallValues) {
  const TextCase cases[] = {
      {u"\"C:\\Program Files\\Halvex\\Uninst.exe\"", u"C:\\Program Files\\Halvex\\"},
      {u"\"C:\\Program Files\\Halvex\\Uninst.exe\" /S", u"C:\\Program Files\\Halvex\\"},
      {u"C:\\Halvex\\Uninst.exe", u"C:\\Halvex\\"},  // the drive letter stays
      {u"\"C:\\Uninst.exe\"", u"C:\\"},
      {u"", u""},
      {u"\"", u""},
      {u"\"\"", u""},
      {u"x", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(managerDirectoryFromUninstallValue(c.input), c.expected) << printable(c.input);
  }
}

TEST(HallWindowRules, ClassPrefixIsOrdinalAndCaseSensitive) {
  EXPECT_TRUE(isHallWindowClass(u"GRootViewClass"));
  EXPECT_TRUE(isHallWindowClass(u"GRootViewClassHost"));
  EXPECT_FALSE(isHallWindowClass(u"GRootViewClas"));
  EXPECT_FALSE(isHallWindowClass(u"grootviewclass"));
  EXPECT_FALSE(isHallWindowClass(u"GROOTVIEWCLASS"));
  EXPECT_FALSE(isHallWindowClass(u" GRootViewClass"));
  EXPECT_FALSE(isHallWindowClass(u""));
}

TEST(HallWindowRules, SizeMustExceedBothThresholds) {
  EXPECT_TRUE(isHallMainWindowSize(0, 0, 1024, 768));
  EXPECT_TRUE(isHallMainWindowSize(-300, -200, 101, 301));  // 401 x 501
  EXPECT_FALSE(isHallMainWindowSize(0, 0, 401, 500));       // exactly 500 high
  EXPECT_FALSE(isHallMainWindowSize(0, 0, 400, 501));       // exactly 400 wide
  EXPECT_FALSE(isHallMainWindowSize(100, 100, 0, 0));       // inverted rectangle
  // Extreme coordinates do not wrap into a large size.
  EXPECT_FALSE(isHallMainWindowSize(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN));
  EXPECT_TRUE(isHallMainWindowSize(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
}

}  // namespace
