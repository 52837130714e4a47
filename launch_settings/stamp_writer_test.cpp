#include "launch_settings/stamp_writer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "tests/support/launch_settings/settings_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(StampWriter, WrittenStampReadsBackAndTouchesNothingElse) {
  HeaderSettings settings;
  settings.channelId = -2;
  settings.subChannelId = 0x7FFFFFFF;
  settings.appId = 2001;
  settings.silent = settings.coverChannel = settings.autoRunningDisabled = true;
  settings.silentRunning = settings.installHall = settings.autoCheckAgreeBox = true;
  settings.autoInstall = settings.noCreateShortcut = settings.showOnlyFirstInstallPage = true;
  settings.miniType = 65535;
  settings.tag = 0x8001;
  settings.delayStartSeconds = 30;

  Bytes bytes(0x80, 0xAB);
  writeStamp(bytes, settings);
  EXPECT_EQ(decodeStamp(bytes), settings);
  for (size_t at = 0; at < bytes.size(); ++at) {
    const bool outsideTheFields = at < kStampBegin || at >= kStampEnd || (at >= 0x24 && at < 0x28);
    if (outsideTheFields) {
      EXPECT_EQ(bytes[at], 0xAB) << at;
    }
  }
  EXPECT_EQ(bytes[0x35], 0) << "autoInstall is written as the word 1";

  writeStamp(bytes, HeaderSettings{});
  EXPECT_EQ(decodeStamp(bytes), HeaderSettings{});
}

TEST(StampWriter, WritingIntoTooShortABufferChangesNothing) {
  Bytes bytes(kStampEnd - 1, 0x11);
  HeaderSettings settings;
  settings.channelId = 1;
  EXPECT_THROW(writeStamp(bytes, settings), std::invalid_argument);
  EXPECT_EQ(bytes, Bytes(kStampEnd - 1, 0x11));
}

}  // namespace
