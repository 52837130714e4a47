#include "tools/stamp_fields.h"

#include <gtest/gtest.h>

#include <set>

#include "launch_settings/command_line.h"
#include "launch_settings/header_self_check.h"
#include "launch_settings/stamp_writer.h"

namespace {

TEST(StampFields, EachFieldCarriesTheSelfTestCodeItsDifferenceGives) {
  std::set<int> codes;
  HeaderSettings header;
  header.miniType = 2;
  CommandLineSettings commandLine;
  commandLine.miniType = 2;
  for (const StampField& field : stampFields()) {
    SCOPED_TRACE(field.name);
    ASSERT_EQ(headerSelfTestCode(header, commandLine), 0);
    HeaderSettings changed = header;
    field.set(changed, field.get(header) == field.high ? field.low : field.high);
    EXPECT_EQ(headerSelfTestCode(changed, commandLine), field.selfTestCode);
    EXPECT_EQ(field.getCommandLine(commandLine), field.get(header));
    EXPECT_EQ(fieldOfSelfTestCode(field.selfTestCode), &field);
    EXPECT_EQ(findStampField(field.name), &field);
    codes.insert(field.selfTestCode);
  }
  EXPECT_EQ(codes.size(), 15u);
  EXPECT_EQ(*codes.begin(), 1);
  EXPECT_EQ(*codes.rbegin(), 15);
}

TEST(StampFields, EveryValueInRangeSurvivesTheStamp) {
  for (const StampField& field : stampFields()) {
    for (int64_t value : {field.low, field.high}) {
      HeaderSettings stamp;
      field.set(stamp, value);
      std::vector<uint8_t> bytes(0x40, 0xEE);
      writeStamp(bytes, stamp);
      // 16-bit fields read back unsigned: -1 is stamped as 65535.
      const int64_t expected = field.low == -32768 ? (value & 0xFFFF) : value;
      EXPECT_EQ(field.get(decodeStamp(bytes)), expected) << field.name << " " << value;
    }
  }
}

TEST(StampFields, NumbersAndSwitchesFromText) {
  const StampField& miniType = *findStampField("mini-type");
  EXPECT_EQ(parseFieldNumber(miniType, "65535"), 65535);
  for (const char* wrong : {"", "-1", "65536", "1x", " 1", "+1", "0x10"})
    EXPECT_FALSE(parseFieldNumber(miniType, wrong)) << wrong;
  EXPECT_EQ(parseFieldNumber(*findStampField("channel"), "-2147483648"), -2147483648LL);
  EXPECT_FALSE(parseFieldNumber(*findStampField("channel"), "2147483648"));
  EXPECT_EQ(parseFieldNumber(*findStampField("tag"), "-32768"), -32768);

  for (const char* on : {"1", "YES", "True", "on"}) EXPECT_EQ(parseFieldSwitch(on), true) << on;
  for (const char* off : {"", "0", "No", "FALSE", "off"}) EXPECT_EQ(parseFieldSwitch(off), false) << off;
  for (const char* wrong : {"2", "y", "enabled", " 1"}) EXPECT_FALSE(parseFieldSwitch(wrong)) << wrong;
  EXPECT_EQ(findStampField("Channel"), nullptr);
  EXPECT_EQ(fieldOfSelfTestCode(0), nullptr);
}

TEST(StampFields, SelfTestArgumentsPassTheSelfTest) {
  HeaderSettings plain;
  plain.channelId = 1101010001;
  plain.miniType = 2;
  HeaderSettings full{-5, 88, 2001, true, true, 0, true, true, true, true, true, 0x8000, 9, true, true};
  HeaderSettings miniTypeOne;
  miniTypeOne.channelId = 77;
  miniTypeOne.miniType = 1;
  for (const HeaderSettings& settings : {plain, full, miniTypeOne}) {
    std::vector<std::u16string> arguments = {u"launcher.exe"};
    for (const std::string& argument : selfTestArguments(settings))
      arguments.emplace_back(argument.begin(), argument.end());
    EXPECT_EQ(headerSelfTestCode(settings, readCommandLineSettings(CommandLineTokens(arguments))), 0)
        << settings.channelId;
  }
}

}  // namespace
