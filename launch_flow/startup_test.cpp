#include "launch_flow/startup.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(StartupTrace, NamesTheApplicationAndTheChannel) {
  struct Case {
    int32_t appId;
    int32_t channelId;
    std::u16string line;
  };
  // 获取到的拉活包——appid：  (U+2014 twice, full-width colon U+FF1A)
  const std::u16string prefix = u"\u83b7\u53d6\u5230\u7684\u62c9\u6d3b\u5305\u2014\u2014appid\uff1a";
  const Case cases[] = {
      {0, 1101010001, prefix + u"0, channelID:1101010001.\r\n"},
      {2001, 0, prefix + u"2001, channelID:0.\r\n"},
      {INT32_MIN, -1, prefix + u"-2147483648, channelID:-1.\r\n"},
      {INT32_MAX, int32_t(0x80000001u), prefix + u"2147483647, channelID:-2147483647.\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(startupTraceLine(c.appId, c.channelId), c.line);
}

TEST(StartupTrace, FailureLinesNameTheCallTheCodeAndTheSystemText) {
  EXPECT_EQ(headerFailureTraceLine("CreateFileW", 32, u"\u6587\u4ef6\u6b63\u5728\u4f7f\u7528"),
            u"launcher stopped: its own header could not be read, CreateFileW failed with error 32 "
            u"(\u6587\u4ef6\u6b63\u5728\u4f7f\u7528)\r\n");
  EXPECT_EQ(headerFailureTraceLine("MapViewOfFile", 4294967295u, u""),
            u"launcher stopped: its own header could not be read, MapViewOfFile failed with error 4294967295\r\n");
  EXPECT_EQ(systemFunctionFailureTraceLine(u"GetProcAddress(shell32.dll, #165)", 127, u""),
            u"launcher stopped: a system function is missing, GetProcAddress(shell32.dll, #165) failed with error "
            u"127\r\n");
  EXPECT_EQ(failureTraceLine("out of memory"), u"launcher stopped: out of memory\r\n");
  EXPECT_EQ(kOutOfMemoryTraceLine, u"launcher stopped: out of memory\r\n");
  EXPECT_EQ(kOutOfMemoryTraceLine.data()[kOutOfMemoryTraceLine.size()], u'\0');
}

}  // namespace
