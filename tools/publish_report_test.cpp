#include "tools/publish_report.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tools/stamp_fields.h"

namespace {

// A report's copies are read back as written, and every bad member is named.
TEST(PublishReport, ReadsBackTheCopiesItWasWrittenWith) {
  PublishReport report;
  PublishedCopy published;
  published.copy.row = 2;
  published.copy.output = "a_cid9.exe";
  published.copy.stamp = {.channelId = -5, .autoInstall = true, .tag = 65535};
  published.copy.sha256 = std::string(64, 'f');
  report.copies = {published};
  const auto read = readPublishReport(publishReportText(report));
  ASSERT_TRUE(std::holds_alternative<std::vector<BatchCopy>>(read)) << std::get<std::vector<std::string>>(read)[0];
  const BatchCopy& copy = std::get<std::vector<BatchCopy>>(read).at(0);
  EXPECT_EQ(copy.row, 2u);
  EXPECT_EQ(copy.output, "a_cid9.exe");
  EXPECT_EQ(copy.stamp, published.copy.stamp);
  EXPECT_EQ(copy.sha256, published.copy.sha256);
}

TEST(PublishReport, NamesEachFault) {
  const std::string sha = "\"sha256\": \"" + std::string(64, 'a') + "\"";
  const std::string fields = R"("fields": {"channelId": 7, "subChannelId": 0, "appId": 0, "silent": false,
      "coverChannel": false, "miniType": 0, "autoRunningDisabled": false, "silentRunning": false,
      "installHall": false, "autoCheckAgreeBox": false, "autoInstall": false, "tag": 0, "delayStartSeconds": 0,
      "noCreateShortcut": false, "showOnlyFirstInstallPage": false})";
  const auto report = [](const std::string& copy) {
    return R"({"tool": "channel_stamp publish", "copies": [)" + copy + "]}";
  };
  const struct {
    std::string text;
    const char* fault;
  } cases[] = {
      {"{\"tool\": 1", "not JSON: expected , or }"},
      {R"({"tool": "channel_stamp batch"})", "not a publish report"},
      {R"({"tool": "channel_stamp publish"})", "no \"copies\" list"},
      {report(R"({"file": "../a.exe", )" + sha + ", " + fields + "}"), "copies[0] (../a.exe): file: \"../a.exe\" holds a character"},
      {report(R"({"file": "a.exe", "sha256": "ABC", )" + fields + "}"), "sha256 must be 64 lowercase hexadecimal digits"},
      {report(R"({"file": "a.exe", )" + sha + "}"), "copies[0] (a.exe): fields is missing"},
      {report(R"({"file": "a.exe", )" + sha + R"(, "fields": {"miniType": 65536}})"), "fields.miniType must be a decimal number from 0 to 65535"},
      {report(R"({"file": "a.exe", )" + sha + R"(, "fields": {"silent": 1}})"), "fields.silent must be true or false"},
  };
  for (const auto& c : cases) {
    const auto read = readPublishReport(c.text);
    ASSERT_TRUE(std::holds_alternative<std::vector<std::string>>(read)) << c.text;
    const auto& faults = std::get<std::vector<std::string>>(read);
    EXPECT_TRUE(std::ranges::any_of(faults, [&](const std::string& f) { return f.find(c.fault) != std::string::npos; }))
        << c.fault << "\n" << faults[0];
  }
}

}  // namespace
