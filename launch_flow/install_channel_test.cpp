// The install-channel step over a recording platform and real files (the
// native build writes through the same store as the Windows build).
#include "launch_flow/install_channel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "record_file/channel_record_file.h"
#include "file_io/file_io.h"
#include "tests/support/file_io/failing_file_operations.h"

namespace {

namespace fs = std::filesystem;

std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

struct RecordingPlatform {
  int usedRecently = 0;
  // combinePath gives an empty path (too long) from this call on (0: never).
  int pathTooLongFromCall = 0;
  int combineCalls = 0;
  std::vector<std::u16string> recentUseAsked;
  std::vector<std::u16string> createdDirectories;
  std::vector<std::u16string> traces;
  FileOperations files = systemFileOperations();

  InstallChannelPlatform platform() {
    InstallChannelPlatform p;
    p.hallUsedRecently = [this](const std::u16string& parent) {
      recentUseAsked.push_back(parent);
      return usedRecently;
    };
    // Native paths: join with "/" so that the store opens real files here.
    p.combinePath = [this](const std::u16string& directory, std::u16string_view relative) {
      if (pathTooLongFromCall != 0 && ++combineCalls >= pathTooLongFromCall) return std::u16string();
      std::u16string joined = directory + u"/" + std::u16string(relative);
      for (auto& c : joined)
        if (c == u'\\') c = u'/';
      return joined;
    };
    p.createDirectory = [this](const std::u16string& directory) {
      createdDirectories.push_back(directory);
      fs::create_directories(fs::path(std::string(directory.begin(), directory.end())));
    };
    p.trace = [this](std::u16string_view line) { traces.emplace_back(line); };
    p.files = files;
    return p;
  }
};

class InstallChannelStep : public ::testing::Test {
 protected:
  void SetUp() override {
    hall_ = fs::temp_directory_path() /
            ("install-channel-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()) / "Hall";
    fs::remove_all(hall_.parent_path());
    fs::create_directories(hall_);
  }
  void TearDown() override {
    fs::remove_all(hall_.parent_path());
  }
  fs::path recordPath() const { return hall_ / "config" / "original" / "InsChannel.as"; }
  std::u16string hall() const { return u16(hall_.string()); }
  std::vector<char> recordBytes() const {
    std::ifstream in(recordPath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  ChannelRecordFile::Entries reload() const {
    ChannelRecordFile store;
    EXPECT_EQ(store.load(u16(recordPath().string())), 0);
    return store.entries();
  }

  fs::path hall_;
  RecordingPlatform recorder_;
};

TEST_F(InstallChannelStep, RecentUseLeavesEverythingAlone) {
  recorder_.usedRecently = 1;
  EXPECT_EQ(recordInstallChannelIfDue(recorder_.platform(), hall(), 1101010001),
            InstallChannelOutcome::SkippedRecentUse);
  EXPECT_TRUE(recorder_.createdDirectories.empty());
  EXPECT_TRUE(recorder_.traces.empty());
  EXPECT_FALSE(fs::exists(recordPath()));
}

TEST_F(InstallChannelStep, AsksAboutRecentUseWithTheHallsParentDirectory) {
  recorder_.usedRecently = 7;  // any non-zero answer skips the write
  for (std::u16string_view hall : {u"D:\\Games\\Ludora\\Hall", u"D:\\Games\\Ludora\\Hall\\"})
    recordInstallChannelIfDue(recorder_.platform(), hall, 1);
  EXPECT_EQ(recorder_.recentUseAsked, (std::vector<std::u16string>{u"D:\\Games\\Ludora\\", u"D:\\Games\\Ludora\\"}));
}

TEST_F(InstallChannelStep, MissingFileIsCreatedHoldingOnlyTheChannel) {
  EXPECT_EQ(recordInstallChannelIfDue(recorder_.platform(), hall(), 1101010001), InstallChannelOutcome::Written);
  EXPECT_EQ(reload(), (ChannelRecordFile::Entries{{u"installchannel#maincid", u"1101010001"}}));
  EXPECT_EQ(recorder_.traces, std::vector<std::u16string>{std::u16string(kChannelRecordedTrace)});
  ASSERT_EQ(recorder_.createdDirectories.size(), 1u);
  EXPECT_TRUE(fs::is_directory(hall_ / "config" / "original"));
}

TEST_F(InstallChannelStep, ExistingEntriesAreKeptAndTheChannelReplaced) {
  fs::create_directories(recordPath().parent_path());
  std::ofstream(recordPath(), std::ios::binary) << "; note\r\n[Main]\r\nName = First\r\n[InstallChannel]\r\nMainCid=7\r\n";
  EXPECT_EQ(recordInstallChannelIfDue(recorder_.platform(), hall(), -5), InstallChannelOutcome::Written);
  EXPECT_EQ(reload(), (ChannelRecordFile::Entries{{u"installchannel#maincid", u"-5"}, {u"main#name", u"First"}}));
}

TEST_F(InstallChannelStep, UnreadableRecordIsNotReplaced) {
  fs::create_directories(recordPath());  // a folder where the file should be
  EXPECT_EQ(recordInstallChannelIfDue(recorder_.platform(), hall(), 1), InstallChannelOutcome::NotWritten);
  EXPECT_TRUE(fs::is_directory(recordPath()));
  ASSERT_EQ(recorder_.traces.size(), 1u);
  EXPECT_EQ(recorder_.traces[0].rfind(u"Install channel not recorded: the record file was left as it was: ", 0), 0u);
  EXPECT_NE(recorder_.traces[0].find(u" failed, error "), std::u16string::npos) << "the stage and its code";
}

TEST_F(InstallChannelStep, FailedWriteKeepsTheOldFileAndSaysSo) {
  fs::create_directories(recordPath().parent_path());
  std::ofstream(recordPath(), std::ios::binary) << "[Main]\r\nName=First\r\n";
  const auto before = recordBytes();
  recorder_.files = failingFileOperations(WriteFault::Write, 5);
  EXPECT_EQ(recordInstallChannelIfDue(recorder_.platform(), hall(), 1), InstallChannelOutcome::NotWritten);
  EXPECT_EQ(recordBytes(), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(recordPath().parent_path()), fs::directory_iterator()), 1);
  ASSERT_EQ(recorder_.traces.size(), 1u);
  EXPECT_NE(recorder_.traces[0], kChannelRecordedTrace);
  EXPECT_EQ(recorder_.traces[0], u"Install channel not recorded: the record file was left as it was: write failed, "
                                 u"error " + u16(std::to_string(kDiskFullError)) + u" (disk full)\r\n");
}

// Held by another program that lets others write it, the file is rewritten
// in place; when that fails part-way the trace must not claim it was left
// as it was.
TEST_F(InstallChannelStep, ARewriteInPlaceThatFailsSaysTheFileMayBeDamaged) {
  fs::create_directories(recordPath().parent_path());
  std::ofstream(recordPath(), std::ios::binary) << "[Main]\r\nName=First\r\n";
  HoldLog log;
  recorder_.files = withRewriteFlushFailing(heldFileOperations(HeldAt::Rename, 1000, log));
  EXPECT_EQ(recordInstallChannelIfDue(recorder_.platform(), hall(), 1), InstallChannelOutcome::NotWritten);
  ASSERT_EQ(recorder_.traces.size(), 1u);
  EXPECT_EQ(recorder_.traces[0], u"Install channel not recorded: the record file may be damaged: rewrite failed, "
                                 u"error " + u16(std::to_string(kDeviceError)) + u"\r\n");
}

// The record folder's path (first call) or the file's (second) too long:
// nothing is created or written, here or in the current folder.
TEST_F(InstallChannelStep, PathThatCannotBeBuiltWritesNothing) {
  const fs::path before = fs::current_path();
  fs::current_path(hall_);
  for (int tooLongFrom : {1, 2}) {
    SCOPED_TRACE(tooLongFrom);
    RecordingPlatform recorder;
    recorder.pathTooLongFromCall = tooLongFrom;
    EXPECT_EQ(recordInstallChannelIfDue(recorder.platform(), hall(), 1), InstallChannelOutcome::NotWritten);
    EXPECT_TRUE(recorder.createdDirectories.empty());
    EXPECT_EQ(recorder.traces, std::vector<std::u16string>{u"Install channel not recorded: the record path is too long\r\n"});
    EXPECT_TRUE(fs::is_empty(hall_)) << "nothing in the hall's folder, the current one";
  }
  fs::current_path(before);
}

}  // namespace
