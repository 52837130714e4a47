#include "launch_flow/hall_recent_use.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr uint64_t kNow = 133'000'000'000'000'000ull;  // a date in 2022

TEST(RecentWrite, ThirtyDayWindowIsStrictAtItsOldEnd) {
  EXPECT_FALSE(isRecentWrite(kNow - kRecentUseWindow, kNow));     // exactly 30 days
  EXPECT_TRUE(isRecentWrite(kNow - kRecentUseWindow + 1, kNow));  // 100 ns younger
  EXPECT_FALSE(isRecentWrite(kNow - kRecentUseWindow - 1, kNow));
  EXPECT_TRUE(isRecentWrite(kNow - 36'000'000'000ull, kNow));  // an hour ago
  EXPECT_TRUE(isRecentWrite(kNow, kNow));
  EXPECT_FALSE(isRecentWrite(0, kNow));
}

TEST(RecentWrite, FutureTimesCountEvenAtTheTopOfTheRange) {
  EXPECT_TRUE(isRecentWrite(kNow + 1, kNow));
  EXPECT_TRUE(isRecentWrite(std::numeric_limits<uint64_t>::max(), kNow));
  EXPECT_TRUE(isRecentWrite(std::numeric_limits<uint64_t>::max() - kRecentUseWindow + 1, kNow));
}

TEST(RecentCacheFile, OnlyFilesCountNotDotEntriesOrDirectories) {
  const uint64_t fresh = kNow - 1;
  EXPECT_FALSE(isRecentCacheFile({u".", false, fresh}, kNow));
  EXPECT_FALSE(isRecentCacheFile({u"..", false, fresh}, kNow));
  EXPECT_FALSE(isRecentCacheFile({u"data_0", true, fresh}, kNow));
  EXPECT_TRUE(isRecentCacheFile({u"...", false, fresh}, kNow));
  EXPECT_TRUE(isRecentCacheFile({u".index", false, fresh}, kNow));
  EXPECT_FALSE(isRecentCacheFile({u"data_1", false, kNow - kRecentUseWindow}, kNow));
}

}  // namespace
