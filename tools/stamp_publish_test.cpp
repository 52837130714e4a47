#include "tools/stamp_publish.h"

#include <gtest/gtest.h>

#include "tests/support/tools/tool_test_support.h"
#include "tools/channel_stamp.h"
#include "tools/publish_report.h"
#include "tools/tool_command.h"
#include "tools/tool_version.h"

namespace {

// Publish with an osslsigncode stand-in in process: "sign" appends a
// certificate table to -in and writes -out, failing on the `failSign`th
// copy; "verify" passes. Every call is kept.
class Publish : public ToolTest {
 protected:
  Publish()
      : ToolTest([](const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                    const FileOperations& files) { return runChannelStamp(arguments, out, err, files); }) {
    template_ = folder_.write("launcher.exe", peImage());
    signer_ = folder_.write("osslsigncode", "a stand-in");
    key_ = folder_.write("key.p12", "key");
    password_ = folder_.write("password.txt", "secret");
    out_dir_ = folder_.path("release");
  }

  int publish(std::vector<std::string> arguments) {
    out_.str("");
    err_.str("");
    arguments.insert(arguments.begin(), {manifest_, "--template", template_, "--out", out_dir_});
    try {
      return runPublish(arguments, out_, err_, systemFileOperations(), LauncherWidths::Only32Bit, signer_run_);
    } catch (const ToolError& failure) {  // as channel_stamp's dispatch tells it
      err_ << failure.message;
      return failure.exitCode;
    }
  }
  std::vector<std::string> signingOptions() const {
    return {"--osslsigncode", signer_, "--pkcs12", key_, "--password-file", password_};
  }
  // The entries beside the manifest that publishing left: the release folder and any staging folder.
  size_t leftBeside() const {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(out_dir_).parent_path()))
      count += entry.path().filename().string().starts_with("release");
    return count;
  }

  std::string manifest_ = folder_.write("manifest.csv", "output,channel,app-id\na.exe,7,1\nb.exe,8,2\nc_cid9.exe,9,3\n");
  std::string template_, signer_, key_, password_, out_dir_;
  std::vector<std::string> calls_;
  int signs_ = 0, failSign_ = 0;
  ProgramRunner signer_run_ = [this](const std::string& program, const std::vector<std::string>& words) {
    calls_.push_back(program + " " + words[0]);
    if (words[0] == "verify") return ProgramRun{};
    if (++signs_ == failSign_) return ProgramRun{.exitCode = 255, .output = "Failed to read key\n"};
    Bytes bytes = ScratchDirectory::read(words[words.size() - 3]);
    appendCertificate(bytes, certificateEntry(false));
    std::ofstream(std::filesystem::path(words.back()), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return ProgramRun{};
  };
};

TEST_F(Publish, ASignerThatFailsOnTheSecondCopyPublishesNothing) {
  failSign_ = 2;
  EXPECT_EQ(publish(signingOptions()), kExitPublishFailed);
  EXPECT_TRUE(complained("row 2 (b.exe): signing failed: " + signer_ + " ended with exit code 255")) << err_.str();
  EXPECT_TRUE(complained("signer: Failed to read key")) << err_.str();
  EXPECT_TRUE(complained("nothing was published")) << err_.str();
  EXPECT_EQ(leftBeside(), 0u) << "neither the release nor its staging folder is left";
}

TEST_F(Publish, SignedAndUnsignedReleasesAreAuditedAgainstTheirReport) {
  ASSERT_EQ(publish(signingOptions()), 0) << err_.str();
  EXPECT_EQ(calls_.size(), 6u);
  EXPECT_EQ(calls_[0], signer_ + " sign");
  EXPECT_EQ(calls_[1], signer_ + " verify");
  ASSERT_EQ(run({"audit", folder_.path("release/publish-report.json"), "--dir", out_dir_, "--template", template_}), 0)
      << out_.str() << err_.str();
  EXPECT_TRUE(printed("c_cid9.exe (row 3): agrees, signed")) << out_.str();
  EXPECT_FALSE(printed("not in the manifest")) << out_.str();

  // No key: published unsigned, replacing the previous release, and said so.
  ASSERT_EQ(publish({}), 0) << err_.str();
  EXPECT_TRUE(printed("NOT SIGNED (no key was given)")) << out_.str();
  EXPECT_EQ(leftBeside(), 1u);
  const std::string report = folder_.path("release/publish-report.json");
  ASSERT_EQ(run({"audit", report, "--dir", out_dir_}), 0) << out_.str() << err_.str();
  EXPECT_TRUE(printed("a.exe (row 1): agrees, not signed")) << out_.str();

  // A copy changed after publishing differs from the report by its SHA-256 alone.
  Bytes changed = ScratchDirectory::read(folder_.path("release/b.exe"));
  changed.back() ^= 1;
  folder_.write("release/b.exe", changed);
  EXPECT_EQ(run({"audit", report, "--dir", out_dir_}), kExitAuditDiffers);
  EXPECT_TRUE(printed("b.exe: its SHA-256 is ")) << out_.str();
}

TEST_F(Publish, ForcedCopiesCarryTheirWarningsIntoTheReport) {
  // MiniType 1 gives the command line no sub-channel: this copy never passes its self-test.
  manifest_ = folder_.write("manifest.csv", "output,channel,mini-type,sub-channel\nz.exe,7,1,3\n");
  EXPECT_EQ(publish({}), kExitUsage);
  EXPECT_EQ(leftBeside(), 0u);
  ASSERT_EQ(publish({"--force"}), 0) << err_.str();
  EXPECT_TRUE(printed("warning: row 1 (z.exe) can never pass its self-test")) << out_.str();
  EXPECT_TRUE(printed("warning: the copy fails its header self-test: self-test code 6: subChannelId differs"))
      << out_.str();
  const Bytes report = ScratchDirectory::read(folder_.path("release/publish-report.json"));
  const std::string text(report.begin(), report.end());
  EXPECT_NE(text.find("\"warnings\": [\n        \"row 1 (z.exe) can never pass its self-test"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\"code\": 6"), std::string::npos) << text;
  EXPECT_NE(text.find("\"version\": \"" + toolVersionText() + "\""), std::string::npos) << text;
}

TEST_F(Publish, ASignerThatEndsWellButWritesNothingFailsItsRow) {
  signer_run_ = [](const std::string&, const std::vector<std::string>&) { return ProgramRun{}; };
  EXPECT_EQ(publish(signingOptions()), kExitPublishFailed);
  EXPECT_TRUE(complained("row 1 (a.exe): reading the signed copy failed: there is no file")) << err_.str();
  EXPECT_EQ(leftBeside(), 0u);
}

TEST_F(Publish, AFolderThatIsNotAPreviousReleaseIsNeverReplaced) {
  folder_.write("release", Bytes{});
  EXPECT_EQ(publish({}), kExitCannotWrite);
  EXPECT_TRUE(complained("release is not a folder, so it is not replaced")) << err_.str();
  std::filesystem::remove(out_dir_);
  ASSERT_EQ(publish({}), 0) << err_.str();
  folder_.write("release/notes.txt", "mine");
  EXPECT_EQ(publish({}), kExitCannotWrite);
  EXPECT_TRUE(complained("holds notes.txt, which its publish report does not name")) << err_.str();
  EXPECT_EQ(ScratchDirectory::read(folder_.path("release/notes.txt")), Bytes({'m', 'i', 'n', 'e'}));
  EXPECT_EQ(leftBeside(), 1u);
}

TEST_F(Publish, KeyOptionsThatDoNotGoTogetherAreRefused) {
  const struct {
    std::vector<std::string> arguments;
    const char* message;
  } cases[] = {
      {{"--pkcs12", key_, "--pkcs11-module", key_}, "not both"},
      {{"--pkcs11-module", key_, "--key-id", "01"}, "--pkcs11-module needs --key-id ID and --certs FILE"},
      {{"--key-id", "01"}, "--key-id and --certs go with --pkcs11-module"},
      {{"--timestamp", "http://ts.example"}, "need a key"},
      {{"--pkcs12", key_, "--osslsigncode", "osslsigncode"}, "takes a full path, not \"osslsigncode\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(publish(c.arguments), kExitUsage) << c.message;
    EXPECT_TRUE(complained(c.message)) << err_.str();
  }
  EXPECT_EQ(publish({"--pkcs12", folder_.path("missing.p12"), "--osslsigncode", signer_}), kExitCannotRead);
  manifest_ = folder_.write("manifest.csv", "output,channel\nsha256sums,7\n");
  EXPECT_EQ(publish({}), kExitBadManifest);
  EXPECT_TRUE(complained("row 1: column output: \"sha256sums\" is the name of a file publish writes")) << err_.str();
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(leftBeside(), 0u);
}

}  // namespace
