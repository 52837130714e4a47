#include "launch_settings/header_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/launch_settings/settings_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A 64-byte MS-DOS header with `channel` stamped at 0x1C, the rest zero.
Bytes headerWithChannel(int32_t channel) {
  Bytes bytes(kDosHeaderSize, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  for (int i = 0; i < 4; ++i) bytes[0x1C + i] = uint8_t(uint32_t(channel) >> (8 * i));
  return bytes;
}

TEST(HeaderSettings, ReadsTheStampOfTheShippedCopy) {
  Bytes bytes = headerWithChannel(0);
  const uint8_t stamp[] = {0x51, 0x14, 0xA0, 0x41};  // 1101010001
  std::copy(std::begin(stamp), std::end(stamp), bytes.begin() + 0x1C);
  bytes[0x2E] = 2;
  HeaderSettings expected;
  expected.channelId = 1101010001;
  expected.miniType = 2;
  EXPECT_EQ(decodeStamp(bytes), expected);
}

TEST(HeaderSettings, ReadsEachFieldFromItsOwnBytes) {
  struct Case {
    const char* name;
    size_t offset;
    Bytes value;
    HeaderSettings expected;
  };
  const auto with = [](auto change) {
    HeaderSettings settings;
    change(settings);
    return settings;
  };
  const Case cases[] = {
      {"channel negative", 0x1C, {0xFF, 0xFF, 0xFF, 0xFF}, with([](auto& s) { s.channelId = -1; })},
      {"sub-channel", 0x20, {0x07, 0x01, 0, 0}, with([](auto& s) { s.subChannelId = 0x107; })},
      {"0x24 is no setting", 0x24, {1, 2, 3, 4}, HeaderSettings{}},
      {"app id top bit", 0x28, {0, 0, 0, 0x80}, with([](auto& s) { s.appId = INT32_MIN; })},
      {"silent from 2", 0x2C, {2}, with([](auto& s) { s.silent = true; })},
      {"cover channel, not silent", 0x2D, {1}, with([](auto& s) { s.coverChannel = true; })},
      {"mini type FFFF is 65535", 0x2E, {0xFF, 0xFF}, with([](auto& s) { s.miniType = 65535; })},
      {"auto-running disabled", 0x30, {0x80}, with([](auto& s) { s.autoRunningDisabled = true; })},
      {"silent running", 0x31, {1}, with([](auto& s) { s.silentRunning = true; })},
      {"install hall", 0x32, {1}, with([](auto& s) { s.installHall = true; })},
      {"auto check agree box", 0x33, {1}, with([](auto& s) { s.autoCheckAgreeBox = true; })},
      {"auto install, low byte", 0x34, {1, 0}, with([](auto& s) { s.autoInstall = true; })},
      {"auto install, high byte only", 0x34, {0, 1}, with([](auto& s) { s.autoInstall = true; })},
      {"tag", 0x36, {0x34, 0x12}, with([](auto& s) { s.tag = 0x1234; })},
      {"delay", 0x38, {0xFF, 0xFF}, with([](auto& s) { s.delayStartSeconds = 0xFFFF; })},
      {"no shortcut", 0x3A, {1}, with([](auto& s) { s.noCreateShortcut = true; })},
      {"first install page only", 0x3B, {1}, with([](auto& s) { s.showOnlyFirstInstallPage = true; })},
      {"0x3C is past the stamp", 0x3C, {0xFF, 0xFF, 0xFF, 0xFF}, HeaderSettings{}},
  };
  for (const Case& c : cases) {
    Bytes bytes = headerWithChannel(0);
    std::copy(c.value.begin(), c.value.end(), bytes.begin() + ptrdiff_t(c.offset));
    EXPECT_EQ(decodeStamp(bytes), c.expected) << c.name;
  }
}

TEST(HeaderSettings, BytesMissingFromAShortFileReadAsZero) {
  EXPECT_EQ(decodeStamp({}), HeaderSettings{});
  Bytes bytes = headerWithChannel(0x01020304);
  bytes.resize(0x1E);  // half the channel
  HeaderSettings expected;
  expected.channelId = 0x0304;
  EXPECT_EQ(decodeStamp(bytes), expected);
}

TEST(HeaderSettings, CidNumberIsReadAfterTheFirstCidInThePath) {
  struct Case {
    std::u16string path;
    std::optional<int32_t> number;
  };
  const Case cases[] = {
      {u"C:\\Downloads\\setup_cid88.exe", 88},
      {u"D:\\Cidade\\setup_cid88.exe", 0},  // the folder's "Cid" comes first
      {u"C:\\setup_CID-42.exe", -42},
      {u"C:\\setup_cid 42.exe", 42},
      {u"C:\\setup_cid\t+7.exe", 7},
      {u"C:\\setup_cid99999999999.exe", INT32_MAX},
      {u"C:\\setup_cid-99999999999.exe", INT32_MIN},
      {u"C:\\cId5\\x_cid6.exe", 5},
      {u"C:\\setup.exe", std::nullopt},
      {u"C:\\ci d5.exe", std::nullopt},
      {u"cid", 0},
      {u"", std::nullopt},
      {u"C:\\\u4e0b\u8f7d\\setup_cid\uff13.exe", 3},  // a full-width digit is a digit to wcstol
      {u"C:\\\uff43\uff49\uff44" u"5.exe", std::nullopt},  // full-width letters are not "cid"
  };
  for (const Case& c : cases) EXPECT_EQ(cidNumber(c.path), c.number) << printable(c.path);
}

TEST(HeaderSettings, CidRuleAppliesOnlyToAStampedCopyWithoutSubChannel) {
  struct Case {
    int32_t channel;
    int32_t subChannel;
    std::u16string path;
    int32_t expectedSubChannel;
  };
  const Case cases[] = {
      {1101010001, 0, u"C:\\x\\setup_cid88.exe", 88},
      {1101010001, 0, u"D:\\Cidade\\setup_cid88.exe", 0},
      {1101010001, 0, u"C:\\x\\setup.exe", 0},
      {1101010001, 5, u"C:\\x\\setup_cid88.exe", 5},
      {0, 0, u"C:\\x\\setup_cid88.exe", 0},
      {-1, 0, u"C:\\x\\setup_cid9.exe", 9},
  };
  for (const Case& c : cases) {
    Bytes bytes = headerWithChannel(c.channel);
    bytes[0x20] = uint8_t(c.subChannel);
    const HeaderSettings settings = decodeHeaderSettings(bytes, c.path);
    EXPECT_EQ(settings.subChannelId, c.expectedSubChannel) << c.channel << " " << c.subChannel;
    EXPECT_EQ(settings.channelId, c.channel);
  }
}

}  // namespace
