#include "launch_settings/program_path.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramPath, OnlyPathsTooLongForPlainOpeningGainThePrefix) {
  const std::u16string shortPath = u"C:\\Games\\setup_cid88.exe";
  const std::u16string longTail = std::u16string(300, u'a') + u".exe";
  struct Case {
    std::u16string path;
    std::u16string expected;
  };
  const Case cases[] = {
      {shortPath, shortPath},
      {u"C:\\" + std::u16string(kPathLimit - 4, u'a'), u"C:\\" + std::u16string(kPathLimit - 4, u'a')},
      {u"C:\\" + std::u16string(kPathLimit - 3, u'a'),
       u"\\\\?\\C:\\" + std::u16string(kPathLimit - 3, u'a')},
      {u"C:\\" + longTail, u"\\\\?\\C:\\" + longTail},
      {u"\\\\server\\share\\" + longTail, u"\\\\?\\UNC\\server\\share\\" + longTail},
      {u"\\\\?\\C:\\" + longTail, u"\\\\?\\C:\\" + longTail},
      {u"\\\\.\\C:\\" + longTail, u"\\\\.\\C:\\" + longTail},
  };
  for (const Case& c : cases) EXPECT_EQ(openablePath(c.path), c.expected) << c.path.size();
}

}  // namespace
