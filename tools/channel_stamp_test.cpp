#include "tools/channel_stamp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "file_io/file_io.h"
#include "launch_settings/stamp_writer.h"
#include "tests/support/file_io/failing_file_operations.h"
#include "tests/support/tools/tool_test_support.h"
#include "tools/tool_command.h"

namespace {

class ChannelStamp : public ToolTest {
 protected:
  ChannelStamp()
      : ToolTest([](const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                    const FileOperations& files) { return runChannelStamp(arguments, out, err, files, widths_); }) {
    widths_ = LauncherWidths::Only32Bit;
  }
  static inline LauncherWidths widths_;  // what stamp and batch take: 32-bit only, as the shipped tool
};

TEST_F(ChannelStamp, StampsEveryFieldIntoTheOutputAndLeavesTheRestAlone) {
  const Bytes original = peImage();
  const std::string copy = folder_.write("setup_cid88.exe", original);
  const std::string output = folder_.path("out_cid9.exe");
  ASSERT_EQ(run({"stamp", copy, "--channel", "1101010001", "--sub-channel", "0", "--app-id", "2001", "--mini-type",
                 "65535", "--tag", "-1", "--delay-start-seconds", "30", "--silent", "--cover-channel",
                 "--auto-running-disabled", "--silent-running", "--install-hall", "--auto-check-agree-box",
                 "--auto-install", "--no-create-shortcut", "--show-only-first-install-page", "--output", output}),
            0)
      << err_.str();
  EXPECT_EQ(ScratchDirectory::read(copy), original) << "--output leaves the copy alone";
  const Bytes stamped = ScratchDirectory::read(output);
  ASSERT_EQ(stamped.size(), original.size());
  const HeaderSettings expected{1101010001, 0, 2001, true, true, 65535, true, true, true, true, true, 0xFFFF, 30,
                                true, true};
  EXPECT_EQ(decodeStamp(stamped), expected);
  for (size_t at = 0; at < stamped.size(); ++at) {
    if (at < kStampBegin || at >= kStampEnd) {
      ASSERT_EQ(stamped[at], original[at]) << at;
    }
  }
  EXPECT_TRUE(printed("the launcher reads 9 from \"cid\"")) << out_.str();
  EXPECT_EQ(folder_.fileCount(), 2u) << "no temporary file is left behind";

  ASSERT_EQ(run({"stamp", copy, "--channel", "3"}), 0) << err_.str();
  EXPECT_EQ(decodeStamp(ScratchDirectory::read(copy)), (HeaderSettings{.channelId = 3}));
  ASSERT_EQ(run({"show", output}), 0) << err_.str();
  EXPECT_TRUE(printed("channelId                     1101010001\n")) << out_.str();
  EXPECT_TRUE(printed("executable                    PE32, not signed\n")) << out_.str();
  EXPECT_TRUE(printed("TestDosHeaderAttribute MiniType=65535 /MainSource=1101010001 /SubSource=9 AppID=2001"));
}

TEST_F(ChannelStamp, WrongArgumentsNameTheOptionAtFault) {
  const struct {
    std::vector<std::string> arguments;
    const char* message;
  } cases[] = {
      {{}, "missing command"},
      {{"unstamp", "a.exe"}, "unknown command unstamp"},
      {{"stamp"}, "stamp needs COPY"},
      {{"stamp", "a.exe", "--app-id", "5"}, "stamp needs --channel"},
      {{"stamp", "a.exe", "--channel"}, "--channel needs a value"},
      {{"stamp", "a.exe", "--channel", "12x"}, "--channel takes a decimal number from -2147483648 to 2147483647"},
      {{"stamp", "a.exe", "--channel", "2147483648"}, "not \"2147483648\""},
      {{"stamp", "a.exe", "--channel", "1", "--mini-type", "-1"}, "--mini-type takes a decimal number from 0 to 65535"},
      {{"stamp", "a.exe", "--channel", "1", "--tag", "-32769"}, "--tag takes"},
      {{"stamp", "a.exe", "--channel", "1", "--silentt"}, "unknown option --silentt"},
      {{"stamp", "a.exe", "b.exe", "--channel", "1"}, "stamp takes one COPY"},
      {{"show", "a.exe", "b.exe"}, "show takes one COPY"},
      {{"verify", "a.exe", "MiniType=2"}, "put -- between COPY"},
      {{"batch", "m.csv", "--out", "d"}, "batch needs --template COPY"},
      {{"batch", "m.csv", "--template", "t.exe", "--out", "d", "--dry"}, "unknown option --dry"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.arguments), kExitUsage) << c.message;
    EXPECT_TRUE(complained(c.message)) << err_.str();
  }
  for (const char* command : {"stamp", "show", "verify", "batch", "audit", "publish"}) {
    EXPECT_EQ(run({command, "--help"}), 0);
    EXPECT_TRUE(printed(std::string("usage: channel_stamp ") + command)) << out_.str();
  }
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_TRUE(printed("Exit codes:"));
}

TEST_F(ChannelStamp, RefusesFilesThatAreNotPeExecutablesAndChangesNothing) {
  Bytes dosOnly = peImage();
  putDword(dosOnly, 0x3C, 0);
  const std::string cases[] = {folder_.write("dos.exe", dosOnly), folder_.write("text.exe", "MZ but a text file"),
                               folder_.write("empty.exe", Bytes{})};
  for (const std::string& path : cases) {
    const Bytes before = ScratchDirectory::read(path);
    EXPECT_EQ(run({"stamp", path, "--channel", "1"}), kExitBadInput) << path;
    EXPECT_TRUE(complained("is not a Windows executable")) << err_.str();
    EXPECT_EQ(ScratchDirectory::read(path), before) << path;
    EXPECT_EQ(run({"show", path}), kExitBadInput) << path;
    EXPECT_EQ(run({"verify", path}), kExitBadInput) << path;
  }
  EXPECT_EQ(run({"stamp", folder_.path("missing.exe"), "--channel", "1"}), kExitCannotRead);
  EXPECT_FALSE(ScratchDirectory::exists(folder_.path("missing.exe")));
}

TEST_F(ChannelStamp, RefusesSignedCopiesUnlessForced) {
  for (bool plus : {false, true}) {
    widths_ = plus ? LauncherWidths::Also64Bit : LauncherWidths::Only32Bit;  // the x86-64 test build's tool
    Bytes signedImage = peImage(plus);
    appendCertificate(signedImage, certificateEntry(plus));
    const std::string copy = folder_.write(plus ? "signed64.exe" : "signed32.exe", signedImage);
    const std::string output = folder_.path(plus ? "out64.exe" : "out32.exe");
    EXPECT_EQ(run({"stamp", copy, "--channel", "1", "--output", output}), kExitSigned);
    EXPECT_TRUE(complained("carries an Authenticode signature (certificate table of 48 bytes at 0x400)"))
        << err_.str();
    EXPECT_TRUE(complained("stamp an unsigned copy and sign it afterwards")) << err_.str();
    EXPECT_FALSE(ScratchDirectory::exists(output));
    EXPECT_EQ(ScratchDirectory::read(copy), signedImage);

    ASSERT_EQ(run({"stamp", copy, "--channel", "1", "--output", output, "--force"}), 0) << err_.str();
    EXPECT_TRUE(complained("no longer verifies")) << err_.str();
    EXPECT_EQ(decodeStamp(ScratchDirectory::read(output)).channelId, 1);
    EXPECT_EQ(run({"show", output}), 0);
    EXPECT_TRUE(printed(plus ? "PE32+, signed" : "PE32, signed")) << out_.str();
  }
}

TEST_F(ChannelStamp, RefusesWhatCannotBeTheLauncherAndSaysWhy) {
  Bytes dll = peImage(), arm = peImage();
  putWord(dll, 0x84 + 18, 0x2102);  // IMAGE_FILE_DLL
  putWord(arm, 0x84, 0x1C4);        // ARMNT
  std::filesystem::create_directory(folder_.path("folder.exe"));
  const std::string manifest = folder_.write("m.csv", "output,channel\na.exe,1\n");
  for (const auto& [copy, code, message] : {
           std::tuple{folder_.write("a.dll", dll), kExitBadInput, "a.dll is a DLL, not a program"},
           {folder_.write("x64.exe", peImage(true)), kExitBadInput, "is a 64-bit program (PE32+); the launcher is 32-bit"},
           {folder_.write("arm.exe", arm), kExitBadInput, "a program for another processor (machine 0x1C4)"},
           {folder_.path("folder.exe"), kExitCannotRead, "folder.exe: it is a folder, not a file"}}) {
    EXPECT_EQ(run({"stamp", copy, "--channel", "1"}), code) << message;
    EXPECT_TRUE(complained(message)) << err_.str();
    EXPECT_EQ(run({"batch", manifest, "--template", copy, "--out", folder_.path("out")}), code) << message;
  }
  EXPECT_EQ(folder_.fileCount(), 4u) << "nothing was written";
}

TEST_F(ChannelStamp, RefusesAStampTheCopyCanNeverPassUnlessForced) {
  const std::string launcher = folder_.write("launcher.exe", peImage());
  const std::string cidCopy = folder_.path("setup_cid88.exe");
  EXPECT_EQ(run({"stamp", launcher, "--channel", "77", "--mini-type", "1", "--output", cidCopy}), kExitUsage);
  EXPECT_TRUE(complained("setup_cid88.exe can never pass its self-test: mini-type 1 with sub-channel 88 from \"cid\""))
      << err_.str();
  EXPECT_TRUE(complained("setup_cid88.exe was not written (--force stamps it anyway)")) << err_.str();
  EXPECT_EQ(folder_.fileCount(), 1u) << "nothing was written";

  ASSERT_EQ(run({"stamp", launcher, "--channel", "77", "--mini-type", "1", "--output", cidCopy, "--force"}), 0);
  EXPECT_TRUE(complained("warning: " + cidCopy + " can never pass its self-test")) << err_.str();
  ASSERT_EQ(run({"show", cidCopy}), 0);
  EXPECT_TRUE(printed("self-test                     this copy can never pass its self-test: mini-type 1")) << out_.str();
  EXPECT_FALSE(printed("self-test arguments")) << out_.str();
}

TEST_F(ChannelStamp, VerifyGivesTheLaunchersSelfTestCode) {
  Bytes image = peImage();
  writeStamp(image, HeaderSettings{.channelId = 1101010001, .appId = 2001, .miniType = 2});
  const std::string copy = folder_.write("setup.exe", image);
  const std::string cidCopy = folder_.write("setup_cid7.exe", image);
  const struct {
    std::string copy;
    std::vector<std::string> arguments;
    int code;
    const char* line;
  } cases[] = {
      {copy, {"TestDosHeaderAttribute", "MiniType=2", "/MainSource=1101010001", "AppID=2001"}, 0, "agree"},
      {copy, {"TestDosHeaderAttribute", "/MainSource=1101010001", "AppID=2001"}, 1,
       "miniType differs: stamp 2, command line -1 (no MiniType given)"},
      {copy, {"TestDosHeaderAttribute", "MiniType=2", "-silent", "/MainSource=5"}, 3,
       "silent differs: stamp no, command line yes"},
      {copy, {"testdosheaderattribute", "miniType:2", "/S", "AppID=2001"}, 3, "silent differs"},
      {copy, {"TestDosHeaderAttribute", "MiniType=2", "/MainSource=1101010001"}, 4,
       "appId differs: stamp 2001, command line 0"},
      {copy, {"TestDosHeaderAttribute", "MiniType=2", "/MainSource=1101010001", "AppID=2001", "/SubSource=4",
              "/D=C:\\Games\\Ludora Hall"},
       6, "subChannelId differs: stamp 0, command line 4"},
      {cidCopy, {"TestDosHeaderAttribute", "MiniType=2", "/MainSource=1101010001", "AppID=2001"}, 6,
       "subChannelId differs: stamp 7, command line 0"},
      {cidCopy, {"TestDosHeaderAttribute", "MiniType=2", "/MainSource=1101010001", "AppID=2001", "/SubSource=7"}, 0,
       "agree"},
      {copy, {"TestDosHeaderAttribute", "MiniType=2", "/MainSource=1101010001", "AppID=2001", "Tag=-1"}, 9,
       "tag differs: stamp 0, command line 65535"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"verify", c.copy, "--"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(run(arguments), c.code) << c.line;
    EXPECT_TRUE(printed("self-test code " + std::to_string(c.code) + ": ")) << out_.str();
    EXPECT_TRUE(printed(c.line)) << out_.str();
    EXPECT_FALSE(complained("without TestDosHeaderAttribute")) << err_.str();
  }
  EXPECT_EQ(run({"verify", copy}), 1);
  EXPECT_TRUE(complained("without TestDosHeaderAttribute")) << err_.str();
}

class ChannelStampBatch : public ChannelStamp {
 protected:
  void SetUp() override {
    template_ = folder_.write("launcher.exe", peImage());
    out_dir_ = folder_.path("copies");
  }
  int batch(const std::string& manifest, std::vector<std::string> extra = {},
            const FileOperations& files = systemFileOperations()) {
    std::vector<std::string> arguments = {"batch", folder_.write("manifest.csv", manifest), "--template", template_,
                                          "--out", out_dir_};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return run(arguments, files);
  }
  std::string template_, out_dir_;
};

TEST_F(ChannelStampBatch, WritesOneStampedCopyPerRow) {
  ASSERT_EQ(batch("Output, channel,app-id,silent,mini-type,tag\r\n"
                  "a.exe,1101010001,2001,yes,2,\r\n"
                  "\"b, with comma.exe\",7,,0,,-1\r\n"
                  "\n"
                  "setup_cid3.exe,-5,9,TRUE,65535,65535\r\n"),
            0)
      << err_.str();
  const HeaderSettings a{.channelId = 1101010001, .appId = 2001, .silent = true, .miniType = 2};
  const HeaderSettings b{.channelId = 7, .tag = 0xFFFF};
  const HeaderSettings c{.channelId = -5, .appId = 9, .silent = true, .miniType = 65535, .tag = 0xFFFF};
  EXPECT_EQ(decodeStamp(ScratchDirectory::read(out_dir_ + "/a.exe")), a);
  EXPECT_EQ(decodeStamp(ScratchDirectory::read(out_dir_ + "/b, with comma.exe")), b);
  EXPECT_EQ(decodeStamp(ScratchDirectory::read(out_dir_ + "/setup_cid3.exe")), c);
  EXPECT_TRUE(printed("batch: 3 stamped copies of")) << out_.str();
  EXPECT_EQ(folder_.fileCount(), 5u);
  // Run again: the copies are replaced.
  ASSERT_EQ(batch("output,channel\na.exe,8\n"), 0) << err_.str();
  EXPECT_EQ(decodeStamp(ScratchDirectory::read(out_dir_ + "/a.exe")).channelId, 8);
}

TEST_F(ChannelStampBatch, RefusesRowsThatCanNeverPassTheirSelfTestUnlessForced) {
  const std::string manifest = "output,channel,mini-type,sub-channel\n"
                               "pid.exe,1,1,0\nsub.exe,1,1,5\nsetup_cid3.exe,1,1,\nplain_cid3.exe,1,2,\n";
  EXPECT_EQ(batch(manifest), kExitUsage);
  EXPECT_TRUE(complained("row 2 (sub.exe) can never pass its self-test: mini-type 1 with sub-channel 5")) << err_.str();
  EXPECT_TRUE(complained("row 3 (setup_cid3.exe) can never pass its self-test")) << err_.str();
  EXPECT_FALSE(complained("row 1") || complained("row 4")) << err_.str();
  EXPECT_FALSE(ScratchDirectory::exists(out_dir_)) << "nothing was written";

  ASSERT_EQ(batch(manifest, {"--force"}), 0) << err_.str();
  EXPECT_TRUE(complained("warning: row 2 (sub.exe)")) << err_.str();
  EXPECT_EQ(decodeStamp(ScratchDirectory::read(out_dir_ + "/sub.exe")).subChannelId, 5);
  EXPECT_TRUE(printed("plain_cid3.exe  channel 1, sub-channel 0 (the launcher reads 3 from \"cid\" in this path)"))
      << out_.str();
}

TEST_F(ChannelStampBatch, AnyInvalidRowWritesNothingAndEveryFaultIsNamed) {
  const struct {
    const char* manifest;
    std::vector<std::string> faults;
  } cases[] = {
      {"output,channel,app-id\na.exe,1,2\nb.exe,1,x\n",
       {"row 2 (line 3): column app-id takes a decimal number from -2147483648 to 2147483647, not \"x\""}},
      {"output,channel\na.exe,1\nb.exe,\n", {"row 2 (line 3): column channel takes"}},
      {"output,channel,silent\na.exe,1,maybe\n", {"row 1 (line 2): column silent: \"maybe\" is not a switch value"}},
      {"output,channel\na.exe,1\nA.EXE,2\n", {"row 2 (line 3): column output: \"A.EXE\" is already written by row 1"}},
      {"output,channel\n..\\up.exe,1\nnul.txt,2\n,3\n",
       {"row 1 (line 2): column output: \"..\\up.exe\" holds a character", "row 2 (line 3): column output: \"nul.txt\" names a Windows device",
        "row 3 (line 4): column output: the file name is empty"}},
      {"output,channel\na.exe,1,2\n", {"row 1 (line 2): 3 fields, the header has 2"}},
      {"output,channel,colour\na.exe,1,red\n", {"header: unknown column \"colour\""}},
      {"channel,app-id\n1,2\n", {"header: there is no \"output\" column"}},
      {"output,app-id,channel,app-id\n", {"header: column \"app-id\" appears twice"}},
      {"output,channel\n", {"the manifest has a header row but no rows"}},
      {"", {"the manifest is empty"}},
      {"output,channel\n\"a.exe,1\n", {"line 2: a quoted field is not closed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.manifest);
    EXPECT_EQ(batch(c.manifest), kExitBadManifest);
    for (const std::string& fault : c.faults) EXPECT_TRUE(complained(fault)) << err_.str();
    EXPECT_TRUE(complained("nothing was written")) << err_.str();
    EXPECT_FALSE(ScratchDirectory::exists(out_dir_));
  }
}

TEST_F(ChannelStampBatch, AFailedWriteLeavesTheFolderAsItWas) {
  ASSERT_EQ(batch("output,channel\na.exe,1\n"), 0) << err_.str();
  const Bytes before = ScratchDirectory::read(out_dir_ + "/a.exe");
  for (WriteFault fault : {WriteFault::Write, WriteFault::Flush, WriteFault::Replace}) {
    SCOPED_TRACE(int(fault));
    EXPECT_EQ(batch("output,channel\nb.exe,2\na.exe,3\n", {}, failingFileOperations(fault, 100)), kExitCannotWrite);
    EXPECT_TRUE(complained(fault == WriteFault::Write ? "no copy was written" : "0 of 2 were written")) << err_.str();
    EXPECT_TRUE(complained(fault == WriteFault::Write    ? "(write failed, error "
                           : fault == WriteFault::Flush ? "(flush failed, error "
                                                        : "(rename failed, error "))
        << err_.str();
    EXPECT_EQ(ScratchDirectory::read(out_dir_ + "/a.exe"), before);
    EXPECT_FALSE(ScratchDirectory::exists(out_dir_ + "/b.exe"));
    EXPECT_EQ(folder_.fileCount(), 3u) << "no new file is left behind";
  }
}

TEST_F(ChannelStampBatch, ColumnsTakeOptionRecordAndSnakeCaseNamesInAnyLetterCase) {
  ASSERT_EQ(batch("channel,sub_channel,app_id,output\n1101010001,3,2001,a.exe\n"), 0) << err_.str();
  EXPECT_EQ(decodeStamp(ScratchDirectory::read(out_dir_ + "/a.exe")),
            (HeaderSettings{.channelId = 1101010001, .subChannelId = 3, .appId = 2001}));
  ASSERT_EQ(batch("Output,channelId,subChannelId,appId\nb.exe,7,8,9\n"), 0) << err_.str();
  EXPECT_EQ(decodeStamp(ScratchDirectory::read(out_dir_ + "/b.exe")),
            (HeaderSettings{.channelId = 7, .subChannelId = 8, .appId = 9}));
  ASSERT_EQ(batch("OUTPUT, Channel_ID ,SUB-CHANNEL,delay_start_seconds,NoCreateShortcut,show_only_first_install_page\n"
                  "c.exe,1,2,30,yes,on\n"),
            0)
      << err_.str();
  EXPECT_EQ(decodeStamp(ScratchDirectory::read(out_dir_ + "/c.exe")),
            (HeaderSettings{.channelId = 1, .subChannelId = 2, .delayStartSeconds = 30, .noCreateShortcut = true,
                            .showOnlyFirstInstallPage = true}));

  // Faults name the column as the header spells it.
  ASSERT_EQ(batch("output,channelId,appId\nd.exe,1,x\n"), kExitBadManifest);
  EXPECT_TRUE(complained("row 1 (line 2): column appId takes a decimal number")) << err_.str();
}

TEST_F(ChannelStampBatch, TwoSpellingsOfOneFieldAreARepeatedColumn) {
  const struct {
    const char* header;
    const char* fault;
  } cases[] = {
      {"output,channel,sub-channel,subChannelId", "header: column \"subChannelId\" names the same field as column \"sub-channel\""},
      {"output,channel,SUB_CHANNEL_ID,sub_channel", "header: column \"sub_channel\" names the same field as column \"SUB_CHANNEL_ID\""},
      {"output,channel_id,channel", "header: column \"channel\" names the same field as column \"channel_id\""},
      {"Output,channel,output", "header: column \"output\" appears twice"},
      {"output,channel,App-Id,app-id", "header: column \"app-id\" appears twice"},
      {"output,channel,subchannel", "header: unknown column \"subchannel\""},
      {"output,channel,sub channel", "header: unknown column \"sub channel\""},
      {"output,channel,--silent", "header: unknown column \"--silent\""},
      {"output,app_id", "header: there is no \"channel\" column"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    EXPECT_EQ(batch(std::string(c.header) + "\na.exe,1,2,3\n"), kExitBadManifest);
    EXPECT_TRUE(complained(c.fault)) << err_.str();
    EXPECT_FALSE(ScratchDirectory::exists(out_dir_));
  }
}

TEST_F(ChannelStampBatch, ASignedTemplateIsRefusedBeforeAnyCopy) {
  Bytes signedImage = peImage();
  appendCertificate(signedImage, certificateEntry(false));
  template_ = folder_.write("launcher.exe", signedImage);
  EXPECT_EQ(batch("output,channel\na.exe,1\n"), kExitSigned);
  EXPECT_FALSE(ScratchDirectory::exists(out_dir_));
  EXPECT_EQ(batch("output,channel\na.exe,1\n", {"--force"}), 0) << err_.str();
  EXPECT_EQ(decodeStamp(ScratchDirectory::read(out_dir_ + "/a.exe")).channelId, 1);
}

class ChannelStampAudit : public ChannelStampBatch {
 protected:
  static constexpr const char* kManifest = "output,channel,app-id,silent\na.exe,1101010001,2001,yes\nb.exe,7,2001,no\n";
  void SetUp() override {
    ChannelStampBatch::SetUp();
    ASSERT_EQ(batch(kManifest), 0) << err_.str();
    manifest_ = folder_.path("manifest.csv");
  }
  int audit(std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments = {"audit", manifest_, "--dir", out_dir_};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return run(arguments);
  }
  std::string copy(const std::string& name) const { return out_dir_ + "/" + name; }
  std::string manifest_;
};

TEST_F(ChannelStampAudit, AFolderAsBatchWroteItAgrees) {
  ASSERT_EQ(audit({"--template", template_}), 0) << out_.str() << err_.str();
  EXPECT_TRUE(printed("a.exe (row 1): agrees, not signed\nb.exe (row 2): agrees, not signed\n")) << out_.str();
  EXPECT_TRUE(printed("audit: 2 copies in " + manifest_ + ", 2 agree, 0 differ\n")) << out_.str();

  // Signed afterwards: still the template's copy, now signed.
  Bytes signedA = ScratchDirectory::read(copy("a.exe"));
  appendCertificate(signedA, certificateEntry(false));
  putDword(signedA, 0x98 + 64, 0xABCD);
  folder_.write("copies/a.exe", signedA);
  ASSERT_EQ(audit({"--template", template_}), 0) << out_.str();
  EXPECT_TRUE(printed("a.exe (row 1): agrees, signed\n")) << out_.str();
}

TEST_F(ChannelStampAudit, NamesEachCopyAndFieldAtFaultAndWritesNothing) {
  ASSERT_EQ(run({"stamp", copy("b.exe"), "--channel", "8", "--app-id", "2001", "--silent"}), 0);
  Bytes body = ScratchDirectory::read(copy("a.exe"));
  body[0x200] ^= 0xFF;
  folder_.write("copies/a.exe", body);
  folder_.write("copies/notes.txt", "x");
  std::filesystem::create_directory(std::filesystem::path(out_dir_) / "old");
  const Bytes before = ScratchDirectory::read(copy("b.exe"));
  const size_t files = folder_.fileCount();

  EXPECT_EQ(audit({"--template", template_}), kExitAuditDiffers);
  EXPECT_TRUE(printed("a.exe (row 1): DIFFERS, not signed\n"
                      "  a.exe: differs from the template in 1 byte outside the stamp and the signature, the first "
                      "at 0x200\n"
                      "b.exe (row 2): DIFFERS, not signed\n"
                      "  b.exe: channelId: the copy carries 8, the manifest says 7\n"
                      "  b.exe: silent: the copy carries yes, the manifest says no\n"
                      "notes.txt: not in the manifest\n"
                      "old/: not in the manifest\n"
                      "audit: 2 copies in " + manifest_ + ", 0 agree, 2 differ; 2 more in " + out_dir_ +
                      " that no row names\n"))
      << out_.str();
  EXPECT_EQ(ScratchDirectory::read(copy("b.exe")), before);
  EXPECT_EQ(folder_.fileCount(), files) << "audit writes nothing";

  // Without a template only the stamps are compared.
  EXPECT_EQ(audit(), kExitAuditDiffers);
  EXPECT_TRUE(printed("a.exe (row 1): agrees")) << out_.str();
}

TEST_F(ChannelStampAudit, MissingUnreadableAndRenamedCopies) {
  std::filesystem::remove(std::filesystem::path(copy("a.exe")));
  folder_.write("copies/b.exe", "not an executable");
  EXPECT_EQ(audit(), kExitAuditDiffers);
  EXPECT_TRUE(printed("a.exe (row 1): MISSING\n  a.exe: there is no such file in " + out_dir_ + "\n")) << out_.str();
  EXPECT_TRUE(printed("b.exe (row 2): DIFFERS\n  b.exe: ")) << out_.str();
  EXPECT_TRUE(printed("b.exe is not a Windows executable: it has no MS-DOS header")) << out_.str();

  // A copy whose name differs in letter case only is the copy Windows would find.
  ASSERT_EQ(batch("output,channel\nA.EXE,1\n"), 0);
  folder_.write("manifest.csv", "output,channel\na.exe,1\n");
  EXPECT_EQ(audit(), 0) << out_.str();
  EXPECT_TRUE(printed("a.exe (row 1): agrees, not signed (found as A.EXE)\n")) << out_.str();
  EXPECT_TRUE(printed("b.exe: not in the manifest\n")) << out_.str();
}

TEST_F(ChannelStampAudit, ArgumentsManifestAndFolderFaults) {
  EXPECT_EQ(run({"audit", manifest_}), kExitUsage);
  EXPECT_TRUE(complained("audit needs --dir DIR")) << err_.str();
  EXPECT_EQ(audit({"--force"}), kExitUsage);
  EXPECT_TRUE(complained("unknown option --force")) << err_.str();
  EXPECT_EQ(run({"audit", manifest_, "--dir", folder_.path("nowhere")}), kExitCannotRead);
  EXPECT_TRUE(complained("cannot list the folder")) << err_.str();
  EXPECT_EQ(audit({"--template", folder_.path("missing.exe")}), kExitCannotRead);
  folder_.write("manifest.csv", "output,channel,colour\na.exe,1,red\n");
  EXPECT_EQ(audit(), kExitBadManifest);
  EXPECT_TRUE(complained("unknown column \"colour\"")) << err_.str();
  EXPECT_TRUE(complained("nothing was checked")) << err_.str();
}

TEST(OutputNameProblem, PlainFileNamesOnly) {
  for (const char* fine : {"setup.exe", "setup_cid88.exe", "渠道 1.exe", "a.b.c", "conx.exe", "com0.exe", ".hidden"})
    EXPECT_EQ(outputNameProblem(fine), "") << fine;
  for (const char* wrong : {"", ".", "..", "a/b.exe", "a\\b.exe", "c:x.exe", "a?.exe", "a*.exe", "a|b", "a<b", "a\"b",
                            "tab\t.exe", "trailing.", "trailing ", "CON", "con.exe", "Lpt1.txt", "COM9"})
    EXPECT_NE(outputNameProblem(wrong), "") << wrong;
}

}  // namespace
