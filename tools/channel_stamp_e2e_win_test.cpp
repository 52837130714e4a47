// channel_stamp.exe and channel_launcher.exe together under Wine: what the
// tool stamps, the launcher reads back with the same fields, and the tool's
// offline "verify" gives the launcher's own self-test code. The launcher runs
// in self-test mode only, so it starts nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/launch_settings/stamp_test_support_win.h"
#include "tests/support/trace_capture_win.h"
#include "tools/channel_stamp.h"
#include "tools/pe_image.h"
#include "tools/stamp_fields.h"
#include "tools/tool_command.h"
#include "tools/tool_text.h"
#include "tests/support/tools/tool_test_support.h"

namespace {

using std::chrono::seconds;

// A program built in the build tree, found from this test's folder (tools/).
std::wstring builtProgram(const std::wstring& relative) {
  wchar_t full[MAX_PATH] = {};
  GetFullPathNameW((testProgramFolder() + relative).c_str(), MAX_PATH, full, nullptr);
  return full;
}

std::wstring wide(const std::string& utf8) {
  const std::u16string text = toUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string narrow(const std::wstring& text) { return toUtf8(std::u16string(text.begin(), text.end())); }

// `argument` quoted for CommandLineToArgvW: backslashes double only before a quote.
std::wstring quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

struct Finished {
  std::vector<std::wstring> lines;
  DWORD exitCode = 0xFFFFFFFF;
};

// Runs `program` with `arguments`, each quoted, to its end.
Finished runProgram(const std::wstring& program, const std::vector<std::string>& arguments) {
  std::wstring commandLine = quoted(program);
  for (const std::string& argument : arguments) commandLine += L" " + quoted(wide(argument));
  TraceCapture capture;
  EXPECT_TRUE(capture.start(commandLine)) << "error " << capture.lastError();
  EXPECT_TRUE(capture.waitForExit(seconds(60)));
  return {capture.lines(), capture.exitCode().value_or(0xFFFFFFFF)};
}

// The start-up line of a copy with this application and channel number.
std::wstring startupLine(int32_t appId, int32_t channelId) {
  return L"\u83b7\u53d6\u5230\u7684\u62c9\u6d3b\u5305\u2014\u2014appid\uff1a" + std::to_wstring(appId) +
         L", channelID:" + std::to_wstring(channelId) + L".\r\n";
}

class StampedByTheTool : public ::testing::Test {
 protected:
  std::string path(const std::wstring& name) const { return narrow((scratch_.path() / name).wstring()); }

  // Stamps a copy of channel_launcher.exe named `name` with channel_stamp.exe.
  std::string stampWithTool(const std::wstring& name, const std::vector<std::string>& options) {
    std::vector<std::string> arguments = {"stamp", narrow(launcher_), "--output", path(name)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const Finished run = runProgram(builtProgram(L"channel_stamp.exe"), arguments);
    EXPECT_EQ(run.exitCode, 0u);
    return path(name);
  }

  // The code of "channel_stamp verify COPY -- ARGUMENTS", run in this process.
  static int verify(const std::string& copy, const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {"verify", copy, "--"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::ostringstream out, err;
    return runChannelStamp(command, out, err);
  }

  ScratchFolder scratch_{L"channel-stamp-e2e"};
  const std::wstring launcher_ = builtProgram(L"..\\launch_flow\\channel_launcher.exe");
};

TEST_F(StampedByTheTool, TheLauncherReadsEveryFieldBack) {
  const struct {
    const wchar_t* name;
    std::vector<std::string> options;
    HeaderSettings asRead;  // what the launcher should read, "cid" rule applied
  } cases[] = {
      {L"setup.exe", {"--channel", "1101010001", "--app-id", "2001", "--mini-type", "2"},
       {.channelId = 1101010001, .appId = 2001, .miniType = 2}},
      {L"full.exe",
       {"--channel", "-5", "--sub-channel", "88", "--app-id", "-2147483648", "--tag", "-1", "--delay-start-seconds",
        "30", "--silent", "--cover-channel", "--auto-running-disabled", "--silent-running", "--install-hall",
        "--auto-check-agree-box", "--auto-install", "--no-create-shortcut", "--show-only-first-install-page"},
       {-5, 88, INT32_MIN, true, true, 0, true, true, true, true, true, 0xFFFF, 30, true, true}},
      {L"setup_cid42.exe", {"--channel", "77", "--app-id", "9", "--mini-type", "65535"},
       {.channelId = 77, .subChannelId = 42, .appId = 9, .miniType = 65535}},
      {L"pid.exe", {"--channel", "31", "--mini-type", "1"}, {.channelId = 31, .miniType = 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(narrow(c.name));
    const std::string copy = stampWithTool(c.name, c.options);
    const std::vector<std::string> arguments = selfTestArguments(c.asRead);
    const Finished run = runProgram(wide(copy), arguments);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.front(), startupLine(c.asRead.appId, c.asRead.channelId)) << printableLine(run.lines.front());
    EXPECT_EQ(verify(copy, arguments), 0);
    // Each field on its own: the command line says otherwise, and the launcher
    // names that very field.
    for (const StampField& field : stampFields()) {
      if (field.name == std::string("sub-channel") && c.asRead.miniType == 1) continue;  // -pid has no sub-channel
      HeaderSettings other = c.asRead;
      field.set(other, field.get(c.asRead) == field.high ? field.low : field.high);
      const std::vector<std::string> differing = selfTestArguments(other);
      if (differing == arguments) continue;
      SCOPED_TRACE(field.name);
      EXPECT_EQ(runProgram(wide(copy), differing).exitCode, DWORD(field.selfTestCode));
      EXPECT_EQ(verify(copy, differing), field.selfTestCode);
    }
  }
}

TEST_F(StampedByTheTool, VerifyGivesTheLaunchersCodeOnQuotedAndOddArguments) {
  const std::string copy =
      stampWithTool(L"\u6e20\u9053 cid7.exe", {"--channel", "1101010001", "--app-id", "2001", "--mini-type", "2",
                                                 "--tag", "9", "--silent"});
  const std::vector<std::string> base = {"TestDosHeaderAttribute", "MiniType=2", "/MainSource=1101010001",
                                         "/SubSource=7", "AppID=2001", "Tag=9", "-silent"};
  const auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> arguments = base;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  };
  const struct {
    std::vector<std::string> arguments;
    int code;
  } cases[] = {
      {base, 0},
      {with({"/D=C:\\Games\\Ludora Hall\\", "say \"hi\""}), 0},
      {{"testdosheaderattribute", "minitype:2", "/mainsource:1101010001", "/subsource:7", "appid:2001", "TAG=9", "/S"}, 0},
      {{"TestDosHeaderAttribute", "MiniType=2"}, 3},
      {with({"-autorunning=FALSE"}), 2},
      {with({"-install_hall"}), 7},
      {with({"DelayStartSeconds=65536"}), 0},  // 16 bits: 65536 reads as 0
      {with({"DelayStartSeconds= 7x"}), 10},
      {{"TestDosHeaderAttribute", "MiniType=2", "-silent", "AppID=2001", "/MainSource=1101010001", "Tag=9"}, 6},
      {{"TestDosHeaderAttribute", "MiniType=02", "-silent", "AppID=+2001", "/MainSource=1101010001", "/SubSource=7",
        "Tag=65545"},
       0},
      {{"TestDosHeaderAttribute", "MiniType=", "-silent"}, 1},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& argument : c.arguments) line += " [" + argument + "]";
    SCOPED_TRACE(line);
    EXPECT_EQ(runProgram(wide(copy), c.arguments).exitCode, DWORD(c.code));
    EXPECT_EQ(verify(copy, c.arguments), c.code);
  }
}

// Each stamp the tool refuses as one its copy can never pass, stamped with
// --force, really ends the launcher's self-test with 6, even with the
// sub-channel given: with MiniType=1 the launcher reads none.
TEST_F(StampedByTheTool, EachStampRefusedAsUnpassableFailsTheLaunchersSelfTest) {
  CreateDirectoryW((scratch_.path() / L"cid7").c_str(), nullptr);
  const struct {
    const wchar_t* name;
    std::vector<std::string> options;
    int32_t subChannel;  // as the launcher reads it from the stamp or "cid"
  } cases[] = {
      {L"setup.exe", {"--sub-channel", "5"}, 5},
      {L"setup_cid88.exe", {}, 88},
      {L"cid7\\setup.exe", {}, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(narrow(c.name));
    std::vector<std::string> arguments = {"stamp", narrow(launcher_), "--output", path(c.name), "--channel", "77",
                                          "--mini-type", "1"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    EXPECT_EQ(runProgram(builtProgram(L"channel_stamp.exe"), arguments).exitCode, DWORD(kExitUsage));
    EXPECT_FALSE(std::filesystem::exists(scratch_.path() / c.name));
    arguments.push_back("--force");
    ASSERT_EQ(runProgram(builtProgram(L"channel_stamp.exe"), arguments).exitCode, 0u);
    std::vector<std::string> best = selfTestArguments({.channelId = 77, .subChannelId = c.subChannel, .miniType = 1});
    best.push_back("/SubSource=" + std::to_string(c.subChannel));
    EXPECT_EQ(runProgram(wide(path(c.name)), best).exitCode, 6u);
    EXPECT_EQ(verify(path(c.name), best), 6);
  }
}

TEST_F(StampedByTheTool, ARealExecutableIsTakenAndItsSignedCopyRefused) {
  Bytes signedImage = readBytes(launcher_);
  const size_t peAt = signedImage[0x3C] | signedImage[0x3D] << 8 | signedImage[0x3E] << 16 | size_t(signedImage[0x3F]) << 24;
  const bool plus = (signedImage[peAt + 24] | signedImage[peAt + 25] << 8) == 0x20B;  // the x86_64 build's PE32+
  appendCertificate(signedImage, certificateEntry(plus, peAt));
  const std::string signedCopy = path(L"signed.exe");
  writeBytes(scratch_.path() / L"signed.exe", signedImage);

  const std::wstring tool = builtProgram(L"channel_stamp.exe");
  EXPECT_EQ(runProgram(tool, {"show", narrow(launcher_)}).exitCode, 0u);
  EXPECT_EQ(runProgram(tool, {"stamp", signedCopy, "--channel", "5"}).exitCode, DWORD(kExitSigned));
  EXPECT_EQ(readBytes(scratch_.path() / L"signed.exe"), signedImage);
  const std::string forced = path(L"forced.exe");
  EXPECT_EQ(runProgram(tool, {"stamp", signedCopy, "--channel", "5", "--output", forced, "--force"}).exitCode, 0u);
  EXPECT_EQ(runProgram(wide(forced), {"TestDosHeaderAttribute", "MiniType=0", "/MainSource=5"}).exitCode, 0u);

  // The tool computes the CheckSum as the linker did, and keeps it up to date.
  for (const Bytes& image : {readBytes(launcher_), readBytes(forced)}) {
    const ExecutableInfo info = inspectExecutable(image);
    const uint8_t* field = &image[info.checksumOffset];
    EXPECT_EQ(uint32_t(field[0] | field[1] << 8 | field[2] << 16 | field[3] << 24), peChecksum(image, info));
  }
}

}  // namespace
