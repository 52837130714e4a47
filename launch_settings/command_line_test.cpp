#include "launch_settings/command_line.h"

#include "tests/support/launch_settings/settings_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

CommandLineTokens tokensOf(std::vector<std::u16string> arguments) {
  arguments.insert(arguments.begin(), u"C:\\launcher.exe");
  return CommandLineTokens(arguments);
}

TEST(CommandLineTokens, KeepsTheProgramApartAndTheRestAsAnOrderedSet) {
  const CommandLineTokens tokens(std::vector<std::u16string>{u"-silent", u"b", u"B", u"a", u"b", u"\u4e2d", u"~"});
  EXPECT_EQ(tokens.programPath(), u"-silent");
  const std::set<std::u16string> expected{u"B", u"a", u"b", u"~", u"\u4e2d"};
  EXPECT_EQ(tokens.arguments(), expected);
  EXPECT_EQ(*tokens.arguments().begin(), u"B");
  EXPECT_FALSE(tokens.hasFlag(u"-silent")) << "the program path is never looked up";
  EXPECT_TRUE(CommandLineTokens(std::vector<std::u16string>{}).arguments().empty());
}

TEST(CommandLineTokens, FlagsMatchWholeArgumentsIgnoringAsciiCaseOnly) {
  struct Case {
    std::u16string argument;
    std::u16string key;
    bool matches;
  };
  const Case cases[] = {
      {u"-silent", u"-silent", true},
      {u"-SILENT", u"-silent", true},
      {u"/s", u"/S", true},
      {u"-silentrunning", u"-silent", false},
      {u"-silent=1", u"-silent", false},
      {u"-silen", u"-silent", false},
      {u" -silent", u"-silent", false},
      {u"\u0130d", u"id", false},    // dotted capital I is not folded
      {u"\u212Aey", u"key", false},  // nor is the Kelvin sign
      {u"-\u00c9t\u00e9", u"-\u00e9t\u00e9", false},
      {u"TESTDOSHEADERATTRIBUTE", u"TestDosHeaderAttribute", true},
  };
  for (const Case& c : cases) EXPECT_EQ(tokensOf({c.argument}).hasFlag(c.key), c.matches) << printable(c.argument);
}

TEST(CommandLineTokens, ValuesFollowTheKeyAndOneSeparator) {
  struct Case {
    std::vector<std::u16string> arguments;
    std::u16string key;
    std::u16string separators;
    std::u16string value;
  };
  const Case cases[] = {
      {{u"-url=a=b"}, u"-url", u"=:", u"a=b"},
      {{u"-url:x"}, u"-url", u"=:", u"x"},
      {{u"-URL::"}, u"-url", u"=:", u":"},
      {{u"-url="}, u"-url", u"=:", u""},
      {{u"-url"}, u"-url", u"=:", u""},
      {{u"-urlx=1"}, u"-url", u"=:", u""},
      {{u"-ur"}, u"-url", u"=:", u""},
      {{u"-appid5"}, u"-appid", u"=:", u""},
      {{u"/D=C:\\Games"}, u"/D", u"=", u"C:\\Games"},
      {{u"/D:C:\\Games"}, u"/D", u"=", u""},
      {{u"/d=x"}, u"/D", u"=", u"x"},
      // The first match in set order wins, even when its value is empty.
      {{u"-appid=20", u"-appid=3"}, u"-appid", u"=:", u"20"},
      {{u"-appid=7", u"-APPID=5"}, u"-appid", u"=:", u"5"},
      {{u"-appid=", u"-appid=3"}, u"-appid", u"=:", u""},
      {{u"-appid=3", u"-appid:9"}, u"-appid", u"=:", u"9"},  // ':' sorts before '=''
  };
  for (const Case& c : cases)
    EXPECT_EQ(tokensOf(c.arguments).findValue(c.key, c.separators), c.value) << printable(c.arguments.front());
}

struct OptionCase {
  std::vector<std::u16string> arguments;
  std::function<void(CommandLineSettings&)> expect;  // the changes from the defaults
};

void expectSettings(const std::vector<OptionCase>& cases) {
  for (const OptionCase& c : cases) {
    CommandLineSettings expected;
    c.expect(expected);
    std::string label;
    for (const auto& argument : c.arguments) label += printable(argument) + " ";
    EXPECT_EQ(readCommandLineSettings(tokensOf(c.arguments)), expected) << label;
  }
}

TEST(CommandLineSettings, NoArgumentsGiveTheDefaults) {
  expectSettings({{{}, [](auto&) {}}, {{u"unknown", u"-x=1", u"/Q"}, [](auto&) {}}});
  EXPECT_EQ(readCommandLineSettings(CommandLineTokens()), CommandLineSettings{});
}

TEST(CommandLineSettings, EverySwitchSetsItsField) {
  expectSettings({
      {{u"-SILENT"}, [](auto& s) { s.silent = true; }},
      {{u"/s"}, [](auto& s) { s.silent = true; }},
      {{u"-CoverChannel"}, [](auto& s) { s.coverChannel = true; }},
      {{u"-AutoCheckAgreeBox"}, [](auto& s) { s.autoCheckAgreeBox = true; }},
      {{u"-nostartup"}, [](auto& s) { s.noStartup = true; }},
      {{u"-startup_from_plugin"}, [](auto& s) { s.startupFromPlugin = true; }},
      {{u"-silentrunning"}, [](auto& s) { s.silentRunning = true; }},
      {{u"-autoinstall"}, [](auto& s) { s.autoInstall = true; }},
      {{u"-NoCreateLudoraShortcut"}, [](auto& s) { s.noCreateShortcut = true; }},
      {{u"-ShowOnlyFirstIntallPage"}, [](auto& s) { s.showOnlyFirstInstallPage = true; }},
      {{u"-install_hall"}, [](auto& s) { s.installHall = true; }},
      {{u"-startupbyvrn"}, [](auto& s) { s.startupByVrn = true; }},
      {{u"TestDosHeaderAttribute"}, [](auto& s) { s.testDosHeaderAttribute = true; }},
      {{u"SelfUpdated"}, [](auto& s) { s.selfUpdated = true; }},
      {{u"RunElevated"}, [](auto& s) { s.runElevated = true; }},
      {{u"TimeAndCertUpdated"}, [](auto& s) { s.timeAndCertUpdated = true; }},
      {{u"-silent", u"-silent", u"-silent=1"}, [](auto& s) { s.silent = true; }},
      {{u"-ShowOnlyFirstInstallPage"}, [](auto&) {}},  // the key is spelt "Intall"
  });
}

TEST(CommandLineSettings, EveryTextOptionTakesItsValueAsItStands) {
  expectSettings({
      {{u"ParamPassThrough=a b"}, [](auto& s) { s.paramPassThrough = u"a b"; }},
      {{u"/D=C:\\Games"}, [](auto& s) { s.dParam = u"C:\\Games"; }},
      {{u"/D:C:\\Games"}, [](auto&) {}},
      {{u"-DownloadDir:D:\\dl"}, [](auto& s) { s.downloadDir = u"D:\\dl"; }},
      {{u"-sig=abc"}, [](auto& s) { s.sig = u"abc"; }},
      {{u"-adparam=1"}, [](auto& s) { s.adParam = u"1"; }},
      {{u"-nickname=\u5c0f\u660e"}, [](auto& s) { s.nickname = u"\u5c0f\u660e"; }},
      {{u"-url=a=b"}, [](auto& s) { s.url = u"a=b"; }},
      {{u"-url:x"}, [](auto& s) { s.url = u"x"; }},
      {{u"-temppid=12"}, [](auto& s) { s.tempPid = u"12"; }},
      {{u"-vrn_hwnd=0x10"}, [](auto& s) { s.vrnHwnd = u"0x10"; }},
      {{u"-pipename=\\\\.\\pipe\\p"}, [](auto& s) { s.pipeName = u"\\\\.\\pipe\\p"; }},
      {{u"-svrid=3"}, [](auto& s) { s.svrId = u"3"; }},
      {{u"-extra_params=-a -b"}, [](auto& s) { s.extraParams = u"-a -b"; }},
  });
}

TEST(CommandLineSettings, NumbersParseLikeWcstol) {
  expectSettings({
      {{u"AppID=42"}, [](auto& s) { s.appId = 42; }},
      {{u"AppID=abc"}, [](auto&) {}},
      {{u"AppID=99999999999"}, [](auto& s) { s.appId = INT32_MAX; }},
      {{u"-/appid=-5"}, [](auto& s) { s.appId = -5; }},
      {{u"AppID=4", u"-appid=9"}, [](auto& s) { s.appId = 4; }},
      {{u"AppID=", u"-appid=9"}, [](auto& s) { s.appId = 9; }},
      {{u"-appid=20", u"-appid=3"}, [](auto& s) { s.appId = 20; }},
      {{u"-APPID=5", u"-appid=7"}, [](auto& s) { s.appId = 5; }},
      {{u"Tag=65537"}, [](auto& s) { s.tag = 1; }},
      {{u"Tag=-1"}, [](auto& s) { s.tag = 0xFFFF; }},
      {{u"DelayStartSeconds=70000"}, [](auto& s) { s.delayStartSeconds = 70000 & 0xFFFF; }},
      {{u"ProgressInfoWnd=-7"}, [](auto& s) { s.progressInfoWnd = -7; }},
      {{u"-loginuin=", u"-uin=123456789012"}, [](auto& s) { s.uin = 123456789012LL; }},
      {{u"-loginuin=1", u"ZevUIN=2", u"-uin=3"}, [](auto& s) { s.uin = 1; }},
      {{u"ZevUIN=2", u"-uin=3"}, [](auto& s) { s.uin = 2; }},
      {{u"-uin=99999999999999999999"}, [](auto& s) { s.uin = INT64_MAX; }},
      {{u"-autorunning=FALSE"}, [](auto& s) { s.autoRunningDisabled = true; }},
      {{u"-autorunning:false"}, [](auto& s) { s.autoRunningDisabled = true; }},
      {{u"-autorunning=0"}, [](auto&) {}},
      {{u"-autorunning=no"}, [](auto&) {}},
      {{u"-autorunning"}, [](auto&) {}},
      {{u"-autorunning=false "}, [](auto&) {}},
  });
}

TEST(CommandLineSettings, MiniTypeChoosesWhereTheChannelComesFrom) {
  expectSettings({
      {{u"MiniType=1", u"-pid=77", u"/MainSource=5", u"/SubSource=6"},
       [](auto& s) { s.miniType = 1, s.channelId = 77; }},
      {{u"-pid=77", u"/MainSource=5", u"/SubSource=6"}, [](auto& s) { s.channelId = 5, s.subChannelId = 6; }},
      {{u"MiniType=2", u"-pid=77", u"/mainsource:5"}, [](auto& s) { s.miniType = 2, s.channelId = 5; }},
      {{u"MiniType= 1", u"-pid=77"}, [](auto& s) { s.miniType = 1, s.channelId = 77; }},
      {{u"MiniType="}, [](auto&) {}},
      {{u"MiniType=abc"}, [](auto& s) { s.miniType = 0; }},
      {{u"MiniType=0"}, [](auto& s) { s.miniType = 0; }},
      {{u"MINITYPE:-1", u"/MainSource=5"}, [](auto& s) { s.channelId = 5; }},
  });
}

}  // namespace
