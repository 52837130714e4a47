#include "launch_settings/launch_settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <type_traits>

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

// A value other than `nothingSaid`, for each type the field list uses.
template <typename T>
T givenValue(const T& nothingSaid) {
  if constexpr (std::is_same_v<T, std::u16string>)
    return u"given";
  else if constexpr (std::is_same_v<T, bool>)
    return !nothingSaid;
  else
    return T(nothingSaid + 2);
}

// Walks the record's field list, so a setting added to it is checked here with
// no test edit: one setting given on the command line, the others not, comes
// through the merge of an unstamped copy, and that of a stamped copy too,
// except that the stamp decides a kStampFirst setting whatever the command line says.
TEST(LaunchSettings, EverySettingGivenOnTheCommandLineFollowsItsMergeRule) {
  HeaderSettings header;  // other values than the given ones, so a mix-up shows
  header.subChannelId = 4, header.appId = 3, header.miniType = 7, header.tag = 8, header.delayStartSeconds = 9;
  HeaderSettings stampedHeader = header;
  stampedHeader.channelId = 1101010001;
  forEachLaunchSettingsField([&](const auto& field) {
    SCOPED_TRACE(std::string(field.name));
    CommandLineSettings commandLine;
    commandLine.*field.member = givenValue(commandLine.*field.member);
    EXPECT_EQ(mergeLaunchSettings(header, commandLine).*field.member, commandLine.*field.member);
    const auto stampedValue = mergeLaunchSettings(stampedHeader, commandLine).*field.member;
    if (field.rule == MergeRule::kStampFirst)
      EXPECT_EQ(stampedValue, mergeLaunchSettings(stampedHeader, CommandLineSettings{}).*field.member);
    else
      EXPECT_EQ(stampedValue, commandLine.*field.member);
  });
}

}  // namespace
