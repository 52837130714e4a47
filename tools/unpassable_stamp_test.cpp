#include "tools/unpassable_stamp.h"

#include <gtest/gtest.h>

#include <climits>

#include "tools/stamp_fields.h"

namespace {

TEST(UnpassableStamp, MiniTypeOneWithASubChannelStampedOrFromCidCanNeverPass) {
  const struct {
    HeaderSettings stamp;
    std::u16string path;
    const char* reason;  // empty: the copy can pass
  } cases[] = {
      {{.channelId = 77, .subChannelId = -1, .miniType = 1}, u"C:\\Downloads\\setup.exe",
       "mini-type 1 with sub-channel -1: with MiniType=1 the launcher's command line reads no sub-channel"},
      {{.channelId = 77, .miniType = 1}, u"C:\\Downloads\\setup_cid88.exe",
       "mini-type 1 with sub-channel 88 from \"cid\" in its path: "},
      {{.channelId = 77, .miniType = 1}, u"D:\\CID-4\\setup.exe", "sub-channel -4 from \"cid\" in its path"},
      {{.channelId = 77, .miniType = 1}, u"D:\\Cidade\\setup.exe", ""},  // "cid" and letters read 0
      {{.channelId = 0, .miniType = 1}, u"setup_cid88.exe", ""},         // no channel: no "cid" rule
      {{.channelId = 77, .subChannelId = 5, .miniType = 2}, u"setup_cid88.exe", ""},
      {{.channelId = 77, .miniType = 0}, u"setup_cid88.exe", ""},  // /SubSource=88 passes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()) + " " + c.reason);
    const std::vector<std::string> reasons = unpassableStampReasons(c.stamp, c.path);
    if (*c.reason == '\0') {
      EXPECT_TRUE(reasons.empty()) << reasons.front();
      continue;
    }
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_NE(reasons[0].find(c.reason), std::string::npos) << reasons[0];
  }
}

// Every field at both ends of its range, with and without mini-type 1: only a
// sub-channel under mini-type 1 is beyond the command line.
TEST(UnpassableStamp, NoOtherFieldValueIsBeyondTheCommandLine) {
  for (const StampField& field : stampFields()) {
    for (int64_t value : {field.low, field.high}) {
      for (int32_t miniType : {1, 2}) {
        HeaderSettings stamp{.channelId = INT_MIN, .appId = INT_MAX, .miniType = miniType, .tag = 0xFFFF};
        field.set(stamp, value);
        const bool subChannelUnderOne = stamp.miniType == 1 && stamp.subChannelId != 0;
        EXPECT_EQ(unpassableStampReasons(stamp, u"C:\\setup.exe").empty(), !subChannelUnderOne)
            << field.name << " " << value << ", mini-type " << miniType;
      }
    }
  }
}

}  // namespace
