#include "launch_flow/path_text.h"

#include <gtest/gtest.h>

#include "tests/support/printable_text.h"

namespace {

// One input text and the text it should give.
struct TextCase {
  std::u16string_view input;
  std::u16string_view expected;
};

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

}  // namespace
