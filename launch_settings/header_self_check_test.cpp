#include "launch_settings/header_self_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/launch_settings/settings_test_support.h"

namespace {

// The shipped copy: channel 1101010001, mini type 2, nothing else.
HeaderSettings shippedStamp() {
  HeaderSettings header;
  header.channelId = 1101010001;
  header.miniType = 2;
  return header;
}

TEST(HeaderSelfCheck, ExamplesOfTheShippedCopy) {
  struct Case {
    std::vector<std::u16string> arguments;
    int code;
  };
  const Case cases[] = {
      {{u"TestDosHeaderAttribute", u"MiniType=2", u"/MainSource=1101010001"}, 0},
      {{u"TestDosHeaderAttribute"}, 1},
      {{u"TestDosHeaderAttribute", u"MiniType=2", u"-silent"}, 3},
      {{u"TestDosHeaderAttribute", u"MiniType=2", u"-silent", u"/MainSource=5"}, 3},
      {{u"TestDosHeaderAttribute", u"MiniType=2", u"/S"}, 3},
      {{u"TestDosHeaderAttribute", u"MiniType=2", u"/MainSource=1101010001", u"/SubSource=4"}, 6},
      {{u"TestDosHeaderAttribute", u"MiniType=2", u"/MainSource=5"}, 5},
  };
  for (const Case& c : cases) EXPECT_EQ(headerSelfTestCode(shippedStamp(), commandLineOf(c.arguments)), c.code);
}

TEST(HeaderSelfCheck, EachFieldHasItsCodeInTheFixedOrder) {
  // Setting one field on the header side only must give that field's code.
  const std::function<void(HeaderSettings&)> changes[] = {
      [](auto& h) { h.miniType = 3; },
      [](auto& h) { h.autoRunningDisabled = true; },
      [](auto& h) { h.silent = true; },
      [](auto& h) { h.appId = 1; },
      [](auto& h) { h.channelId = 1; },
      [](auto& h) { h.subChannelId = 1; },
      [](auto& h) { h.installHall = true; },
      [](auto& h) { h.autoInstall = true; },
      [](auto& h) { h.tag = 1; },
      [](auto& h) { h.delayStartSeconds = 1; },
      [](auto& h) { h.noCreateShortcut = true; },
      [](auto& h) { h.silentRunning = true; },
      [](auto& h) { h.showOnlyFirstInstallPage = true; },
      [](auto& h) { h.coverChannel = true; },
      [](auto& h) { h.autoCheckAgreeBox = true; },
  };
  CommandLineSettings commandLine;
  commandLine.miniType = 0;
  EXPECT_EQ(headerSelfTestCode(HeaderSettings{}, commandLine), 0);
  for (int code = 1; code <= 15; ++code) {
    HeaderSettings header;
    changes[code - 1](header);
    EXPECT_EQ(headerSelfTestCode(header, commandLine), code);
    // With every later field differing too, the first one still decides.
    for (int later = code + 1; later <= 15; ++later) changes[later - 1](header);
    EXPECT_EQ(headerSelfTestCode(header, commandLine), code);
  }
}

TEST(HeaderSelfCheck, AFullStampPassesWithItsEquivalentCommandLine) {
  HeaderSettings header;
  header.channelId = 42;
  header.subChannelId = 7;  // e.g. from "cid7" in the path
  header.appId = 2001;
  header.miniType = 0;
  header.silent = header.coverChannel = header.autoRunningDisabled = header.silentRunning = true;
  header.installHall = header.autoCheckAgreeBox = header.autoInstall = true;
  header.noCreateShortcut = header.showOnlyFirstInstallPage = true;
  header.tag = 0xFFFF;
  header.delayStartSeconds = 10;
  const CommandLineSettings commandLine = commandLineOf(
      {u"TestDosHeaderAttribute", u"MiniType=0", u"/MainSource=42", u"/SubSource=7", u"AppID=2001", u"/S",
       u"-CoverChannel", u"-autorunning=false", u"-silentrunning", u"-install_hall", u"-AutoCheckAgreeBox",
       u"-autoinstall", u"-NoCreateLudoraShortcut", u"-ShowOnlyFirstIntallPage", u"Tag=-1",
       u"DelayStartSeconds=10"});
  EXPECT_EQ(headerSelfTestCode(header, commandLine), 0);
  EXPECT_EQ(headerSelfTestCode(header, commandLineOf({u"MiniType=0", u"/MainSource=42"})), 2);
}

TEST(HeaderSelfCheck, MiniTypeOneWithASubChannelCanNeverPass) {
  HeaderSettings header;
  header.channelId = 5;
  header.subChannelId = 3;
  header.miniType = 1;
  EXPECT_EQ(headerSelfTestCode(header, commandLineOf({u"MiniType=1", u"-pid=5", u"/SubSource=3"})), 6);
}

}  // namespace
