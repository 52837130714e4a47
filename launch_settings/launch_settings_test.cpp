#include "launch_settings/launch_settings.h"

#include <gtest/gtest.h>

#include "tests/support/launch_settings/settings_test_support.h"

namespace {

HeaderSettings stamped(int32_t channel) {
  HeaderSettings header;
  header.channelId = channel;
  return header;
}

TEST(LaunchSettings, AStampedCopyTakesTheStampOverTheCommandLine) {
  HeaderSettings header = stamped(1101010001);
  const LaunchSettings merged =
      mergeLaunchSettings(header, commandLineOf({u"/MainSource=5", u"/SubSource=7", u"-silent", u"AppID=12"}));
  EXPECT_EQ(merged.channelId, 1101010001);
  EXPECT_EQ(merged.subChannelId, 7);
  EXPECT_FALSE(merged.silent);
  EXPECT_EQ(merged.appId, 0);
  EXPECT_FALSE(merged.autoInstall);
}

TEST(LaunchSettings, AStampedCopyTakesEveryHeaderValueEvenZero) {
  HeaderSettings header = stamped(9);
  header.subChannelId = 4;
  header.appId = 3;
  header.miniType = 1;
  header.tag = 8;
  header.autoRunningDisabled = header.installHall = header.showOnlyFirstInstallPage = true;
  const LaunchSettings merged = mergeLaunchSettings(
      header, commandLineOf({u"MiniType=2", u"Tag=0", u"DelayStartSeconds=5", u"-CoverChannel", u"-silentrunning",
                             u"-AutoCheckAgreeBox", u"-autoinstall", u"-NoCreateLudoraShortcut", u"-sig=s"}));
  LaunchSettings expected;
  expected.channelId = 9;
  expected.subChannelId = 4;  // the command line gave none
  expected.appId = 3;
  expected.miniType = 1;
  expected.tag = 8;
  expected.autoRunningDisabled = expected.installHall = expected.showOnlyFirstInstallPage = true;
  expected.sig = u"s";
  EXPECT_EQ(merged, expected);
}

TEST(LaunchSettings, AStampedMiniTypeOneStillTakesTheCommandLineSubChannel) {
  HeaderSettings header = stamped(1101010001);
  header.miniType = 1;
  const LaunchSettings merged = mergeLaunchSettings(header, commandLineOf({u"/SubSource=7"}));
  EXPECT_EQ(merged.subChannelId, 7);
  EXPECT_EQ(merged.miniType, 1);
}

TEST(LaunchSettings, AnUnstampedCopyCombinesBothReadings) {
  struct Case {
    const char* name;
    std::function<void(HeaderSettings&)> header;
    std::vector<std::u16string> arguments;
    std::function<void(LaunchSettings&)> expect;
  };
  const Case cases[] = {
      {"silent implies autoInstall", [](auto&) {}, {u"-silent"},
       [](auto& s) { s.silent = s.autoInstall = true; }},
      {"header silent implies autoInstall", [](auto& h) { h.silent = true; }, {},
       [](auto& s) { s.silent = s.autoInstall = true; }},
      {"header fills the mini type", [](auto& h) { h.miniType = 7; }, {}, [](auto& s) { s.miniType = 7; }},
      {"header mini type 0", [](auto&) {}, {}, [](auto& s) { s.miniType = 0; }},
      {"given mini type 0 wins", [](auto& h) { h.miniType = 7; }, {u"MiniType=0"},
       [](auto& s) { s.miniType = 0; }},
      {"zero app id counts as not given", [](auto& h) { h.appId = 9; }, {u"AppID=0"}, [](auto& s) { s.appId = 9; }},
      {"given app id wins", [](auto& h) { h.appId = 9; }, {u"AppID=-1"}, [](auto& s) { s.appId = -1; }},
      {"numbers fill gaps", [](auto& h) { h.subChannelId = 2, h.tag = 3, h.delayStartSeconds = 4; }, {u"Tag=6"},
       [](auto& s) { s.subChannelId = 2, s.tag = 6, s.delayStartSeconds = 4; }},
      {"channel stays the command line's", [](auto& h) { h.subChannelId = 1; }, {u"/MainSource=5"},
       [](auto& s) { s.channelId = 5, s.subChannelId = 1; }},
      {"switches add up",
       [](auto& h) {
         h.coverChannel = h.autoRunningDisabled = h.silentRunning = h.installHall = true;
         h.autoCheckAgreeBox = h.noCreateShortcut = h.showOnlyFirstInstallPage = h.autoInstall = true;
       },
       {},
       [](auto& s) {
         s.coverChannel = s.autoRunningDisabled = s.silentRunning = s.installHall = true;
         s.autoCheckAgreeBox = s.noCreateShortcut = s.showOnlyFirstInstallPage = s.autoInstall = true;
       }},
      {"command-line switches stay", [](auto&) {}, {u"-autorunning=false", u"-install_hall", u"-autoinstall"},
       [](auto& s) { s.autoRunningDisabled = s.installHall = s.autoInstall = true; }},
  };
  for (const Case& c : cases) {
    HeaderSettings header;
    c.header(header);
    LaunchSettings expected = commandLineOf(c.arguments);
    // An absent MiniType takes the header's, which is 0 unless the case sets it.
    if (expected.miniType == -1) expected.miniType = 0;
    c.expect(expected);
    EXPECT_EQ(mergeLaunchSettings(header, commandLineOf(c.arguments)), expected) << c.name;
  }
}

TEST(LaunchSettings, FieldsWithoutAStampComeFromTheCommandLineOnly) {
  const std::vector<std::u16string> arguments = {
      u"-sig=abc", u"-uin=5", u"SelfUpdated", u"RunElevated", u"TimeAndCertUpdated", u"TestDosHeaderAttribute",
      u"ProgressInfoWnd=3", u"-startup_from_plugin", u"-nostartup", u"-startupbyvrn", u"ParamPassThrough=p",
      u"/D=d", u"-DownloadDir=dl", u"-adparam=a", u"-nickname=n", u"-url=u", u"-temppid=t", u"-vrn_hwnd=v",
      u"-pipename=pn", u"-svrid=sv", u"-extra_params=e"};
  const CommandLineSettings commandLine = commandLineOf(arguments);
  for (int32_t channel : {0, 1101010001}) {
    HeaderSettings header = stamped(channel);
    header.appId = 1;
    LaunchSettings merged = mergeLaunchSettings(header, commandLine);
    EXPECT_EQ(merged.sig, u"abc");
    // Put the header-backed fields back: what remains must equal the command line.
    const LaunchSettings original = commandLine;
    merged.channelId = original.channelId, merged.appId = original.appId, merged.miniType = original.miniType;
    merged.autoInstall = original.autoInstall;
    EXPECT_EQ(merged, commandLine) << channel;
  }
}

}  // namespace
