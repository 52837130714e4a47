#include "tools/channel_stamp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "launch_settings/command_line.h"
#include "launch_settings/header_self_check.h"

namespace {

namespace fs = std::filesystem;

TEST(ChannelStampArguments, ParsesEveryField) {
  const auto parsed = parseStampArguments(
      {"stamp", "a.exe", "--channel", "1101010001", "--sub-channel", "-7", "--app-id", "2001", "--mini-type", "65535",
       "--tag", "-1", "--delay-start-seconds", "30", "--silent", "--cover-channel", "--auto-running-disabled",
       "--silent-running", "--install-hall", "--auto-check-agree-box", "--auto-install", "--no-create-shortcut",
       "--show-only-first-install-page", "--output", "b.exe"});
  ASSERT_TRUE(std::holds_alternative<StampCommand>(parsed)) << std::get<std::string>(parsed);
  const StampCommand& command = std::get<StampCommand>(parsed);
  EXPECT_EQ(command.action, StampCommand::Action::Stamp);
  EXPECT_EQ(command.copy, "a.exe");
  EXPECT_EQ(command.output, "b.exe");
  HeaderSettings expected{1101010001, -7, 2001, true, true, 65535, true, true, true, true, true, 0xFFFF, 30, true, true};
  EXPECT_EQ(command.stamp, expected);
}

TEST(ChannelStampArguments, RejectsWhatItCannotStampHonestly) {
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"stamp"},
      {"stamp", "a.exe"},
      {"stamp", "a.exe", "--app-id", "5"},
      {"stamp", "a.exe", "--channel"},
      {"stamp", "a.exe", "--channel", "12x"},
      {"stamp", "a.exe", "--channel", ""},
      {"stamp", "a.exe", "--channel", "2147483648"},
      {"stamp", "a.exe", "--channel", "1", "--mini-type", "-1"},
      {"stamp", "a.exe", "--channel", "1", "--mini-type", "65536"},
      {"stamp", "a.exe", "--channel", "1", "--tag", "-32769"},
      {"stamp", "a.exe", "--channel", "1", "--silentt"},
      {"stamp", "a.exe", "--channel", "1", "--output"},
      {"show", "a.exe", "--channel", "1"},
      {"unstamp", "a.exe"},
  };
  for (const auto& arguments : wrong) {
    std::string line;
    for (const auto& argument : arguments) line += argument + " ";
    EXPECT_TRUE(std::holds_alternative<std::string>(parseStampArguments(arguments))) << line;
  }
}

TEST(ChannelStampArguments, SelfTestArgumentsPassTheSelfTest) {
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

class ChannelStampFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("channel-stamp-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string file(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
  }
  static std::vector<uint8_t> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static std::vector<uint8_t> dosImage(size_t size) {
    std::vector<uint8_t> bytes(size, 0x5A);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    return bytes;
  }
  int run(const std::vector<std::string>& arguments) {
    out_.str("");
    err_.str("");
    return runChannelStamp(arguments, out_, err_);
  }

  fs::path folder_;
  std::ostringstream out_, err_;
};

TEST_F(ChannelStampFiles, StampsInPlaceOrIntoTheOutputAndShows) {
  const std::vector<uint8_t> original = dosImage(0x200);
  const std::string copy = file("setup_cid88.exe", original);
  const std::string output = (folder_ / "out_cid9.exe").string();
  ASSERT_EQ(run({"stamp", copy, "--channel", "1101010001", "--app-id", "2001", "--silent", "--output", output}), 0)
      << err_.str();
  EXPECT_EQ(bytesOf(copy), original) << "--output leaves the copy alone";
  const std::vector<uint8_t> stamped = bytesOf(output);
  ASSERT_EQ(stamped.size(), original.size());
  HeaderSettings expected;
  expected.channelId = 1101010001;
  expected.appId = 2001;
  expected.silent = true;
  EXPECT_EQ(decodeStamp(stamped), expected);
  for (size_t at = kStampEnd; at < stamped.size(); ++at) ASSERT_EQ(stamped[at], original[at]) << at;
  EXPECT_NE(out_.str().find("the launcher reads 9 from \"cid\""), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("TestDosHeaderAttribute MiniType=0 /MainSource=1101010001 /SubSource=9 AppID=2001 -silent"),
            std::string::npos)
      << out_.str();

  ASSERT_EQ(run({"stamp", copy, "--channel", "3", "--tag", "7"}), 0) << err_.str();
  EXPECT_EQ(decodeStamp(bytesOf(copy)).tag, 7);
  EXPECT_EQ(decodeStamp(bytesOf(copy)).channelId, 3);
  EXPECT_FALSE(fs::exists(copy + ".stamping"));

  ASSERT_EQ(run({"show", output}), 0) << err_.str();
  EXPECT_NE(out_.str().find("channelId                 1101010001\n"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("silent                    yes\n"), std::string::npos) << out_.str();
}

TEST_F(ChannelStampFiles, RefusesFilesThatAreNotMsDosExecutables) {
  std::vector<uint8_t> noSignature = dosImage(0x200);
  noSignature[1] = 'X';
  const std::string cases[] = {
      file("short.exe", dosImage(0x3F)),
      file("empty.exe", {}),
      file("other.exe", noSignature),
      (folder_ / "missing.exe").string(),
  };
  for (const std::string& path : cases) {
    const std::vector<uint8_t> before = bytesOf(path);
    EXPECT_EQ(run({"stamp", path, "--channel", "1"}), 1) << path;
    EXPECT_NE(err_.str().find("channel_stamp: "), std::string::npos);
    EXPECT_EQ(bytesOf(path), before) << path;
    EXPECT_EQ(run({"show", path}), 1) << path;
  }
  EXPECT_EQ(run({"stamp", file("ok.exe", dosImage(0x40)), "--channel", "1"}), 0) << err_.str();
  EXPECT_EQ(run({"stamp", "x.exe"}), 2);
  EXPECT_NE(err_.str().find("usage:"), std::string::npos);
}

}  // namespace
