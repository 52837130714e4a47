#include "launch_flow/hall_window.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

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
