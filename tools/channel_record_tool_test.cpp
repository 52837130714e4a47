#include "tools/channel_record_tool.h"

#include <gtest/gtest.h>

#include <regex>

#include "record_file/channel_record_file.h"
#include "record_file/record_cipher.h"
#include "tools/record_display.h"
#include "tests/support/file_io/failing_file_operations.h"
#include "tests/support/tools/tool_test_support.h"
#include "tools/tool_command.h"
#include "tools/tool_text.h"

namespace {

const uint8_t* key() { return reinterpret_cast<const uint8_t*>("plumTrowel      "); }

Bytes encipher(const Bytes& plain) {
  Bytes out(size_t(encipheredLength(int32_t(plain.size()))));
  int32_t written = 0;
  encipherBuffer(plain.data(), int32_t(plain.size()), key(), out.data(), written);
  return out;
}

// The plain bytes of an enciphered file; empty when it does not decipher.
Bytes decipher(const Bytes& data) {
  Bytes out(data.size());
  int32_t length = int32_t(out.size());
  if (decipherBuffer(data.data(), int32_t(data.size()), key(), out.data(), length) != 1) return {};
  out.resize(size_t(length));
  return out;
}

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes utf16le(std::u16string_view text) {
  Bytes bytes = {0xFF, 0xFE};
  for (char16_t unit : text) {
    bytes.push_back(uint8_t(unit));
    bytes.push_back(uint8_t(unit >> 8));
  }
  return bytes;
}

class ChannelRecord : public ToolTest {
 protected:
  ChannelRecord() : ToolTest(runChannelRecord) {}

  // The entries of the file as the launcher's store loads it.
  static ChannelRecordFile::Entries entriesOf(const std::string& path, RecordEncoding* encoding = nullptr) {
    ChannelRecordFile store;
    EXPECT_EQ(store.load(toUtf16(path)), 0);
    if (encoding) *encoding = store.encoding();
    return store.entries();
  }
};

TEST_F(ChannelRecord, ShowsContainerEncodingAndEntriesInOrder) {
  const std::string enciphered =
      folder_.write("InsChannel.as", encipher(utf16le(u"[Main]\r\nName = \u5927\u5385\tHall\r\n[InstallChannel]\r\nMainCid=7\r\ntop=1")));
  ASSERT_EQ(run({"show", enciphered}), 0) << err_.str();
  EXPECT_TRUE(printed("container   enciphered, ")) << out_.str();
  EXPECT_TRUE(printed("encoding    UTF-16LE with byte-order mark FF FE\n")) << out_.str();
  EXPECT_TRUE(printed("entries     3, in the order they are written\n"
                      "  [installchannel] maincid = 7\n"
                      "  [installchannel] top = 1\n"
                      "  [main] name = \u5927\u5385\\tHall\n"))
      << out_.str();

  const std::string plain = folder_.write("plain.as", "top=1\r\n; comment\r\n[s]\r\nk=v\r\n");
  ASSERT_EQ(run({"show", plain}), 0) << err_.str();
  EXPECT_TRUE(printed("container   plain, 28 bytes (not enciphered with the record key)\n")) << out_.str();
  EXPECT_TRUE(printed("encoding    code page 936 (GBK), no byte-order mark\n")) << out_.str();
  EXPECT_TRUE(printed("  (no section) top = 1\n  [s] k = v\n")) << out_.str();

  EXPECT_EQ(run({"show", folder_.path("missing.as")}), kExitCannotRead);
  EXPECT_TRUE(complained("there is no file")) << err_.str();
}

// U+1F600 in each encoding the file may have: UTF-8 and UTF-16LE hold it,
// code page 936 does not (its GB18030 bytes are pairs the code page lacks).
TEST_F(ChannelRecord, ShowsWholeCharactersAndSpellsOutWhatTheTerminalWouldHide) {
  const std::string utf8 = folder_.write(
      "utf8.as", encipher(bytesOf("\xEF\xBB\xBF" "a=\xF0\x9F\x98\x80\r\nb=x\xFFy\r\nc=\xEF\xBF\xBD\\t\r\n")));
  ASSERT_EQ(run({"show", utf8}), 0) << err_.str();
  EXPECT_TRUE(printed("unconverted 1 byte that is not UTF-8, shown as \\xNN; the launcher reads U+FFFD")) << out_.str();
  EXPECT_TRUE(printed("  (no section) a = \U0001F600\n"
                      "  (no section) b = x\\xFFy\n"
                      "  (no section) c = \\uFFFD\\\\t\n"))
      << out_.str();

  const std::string utf16 = folder_.write(
      "utf16.as", encipher(utf16le(u"a=\U0001F600\r\nb=\xD83D!\r\nc=\xDE00\xDC41\r\nd=\x200B\xE000\r\n")));
  ASSERT_EQ(run({"show", utf16}), 0) << err_.str();
  EXPECT_TRUE(printed("  (no section) a = \U0001F600\n"
                      "  (no section) b = \\uD83D!\n"
                      "  (no section) c = \\uDE00\\uDC41\n"
                      "  (no section) d = \\u200B\\uE000\n"))
      << out_.str();
  EXPECT_FALSE(printed("unconverted")) << out_.str();

  const std::string gbk = folder_.write("gbk.as", bytesOf("[m]\r\na=\x94\x39\xFC\x36\r\nb=\xB4\xF3\r\n"));
  ASSERT_EQ(run({"show", gbk}), 0) << err_.str();
  EXPECT_TRUE(printed("encoding    code page 936 (GBK), no byte-order mark\n"
                      "unconverted 4 bytes that code page 936 does not map, shown as \\xNN; the launcher reads \"?\"")) << out_.str();
  EXPECT_TRUE(printed("  [m] a = \\x94\\x39\\xFC\\x36\n  [m] b = \u5927\n")) << out_.str();
  EXPECT_EQ(entriesOf(gbk), (ChannelRecordFile::Entries{{u"m#a", u"??"}, {u"m#b", u"\u5927"}}))
      << "the launcher's own reading, which the listing does not hide behind";
}

TEST_F(ChannelRecord, ShowNamesWhatTheLauncherReadsOtherwise) {
  // Two names that differ only in pairs code page 936 lacks are one entry to the launcher.
  const std::string merged = folder_.write("merged.as", bytesOf("\x81\x30=1\r\n\x82\x30=2\r\n"));
  ASSERT_EQ(run({"show", merged}), 0) << err_.str();
  EXPECT_TRUE(printed("entries     2, in the order they are written (the launcher reads 1: ")) << out_.str();
  EXPECT_TRUE(printed("  (no section) \\x81\\x30 = 1\n  (no section) \\x82\\x30 = 2\n")) << out_.str();

  // The launcher reads up to the first NUL; UTF-16LE takes bytes in pairs.
  const std::string nul = folder_.write("cut.as", bytesOf(std::string("a=1\r\n\0b=2\r\n", 11)));
  ASSERT_EQ(run({"show", nul}), 0) << err_.str();
  EXPECT_TRUE(printed("unread      6 bytes, from offset 5 of the text: the launcher reads up to the first NUL\n"))
      << out_.str();
  EXPECT_FALSE(printed("b = 2")) << out_.str();
  Bytes odd = utf16le(u"a=1");
  odd.push_back('x');
  ASSERT_EQ(run({"show", folder_.write("odd.as", odd)}), 0) << err_.str();
  EXPECT_TRUE(printed("unread      1 byte, from offset 8 of the text: UTF-16LE is read two bytes at a time\n"))
      << out_.str();
}

TEST(DisplayText, SpellsOutWhatATerminalWouldNotShowAsItself) {
  const struct {
    std::u16string text;
    bool bytesKept;
    const char* shown;
  } cases[] = {
      {u"plain \u5927\u5385 \U0001F600 \u00E9", false, "plain \u5927\u5385 \U0001F600 \u00E9"},
      {u"back\\slash \\x41", false, "back\\\\slash \\\\x41"},
      {u"\t\r\n\x01\x1F\x7F", false, "\\t\\r\\n\\x01\\x1F\\x7F"},
      {u"\x85\xAD\x200B\x200F\x202E\x2066\xFEFF", false, "\\u0085\\u00AD\\u200B\\u200F\\u202E\\u2066\\uFEFF"},
      {u"\xE000\xFDD0\xFFFE\xFFFD", false, "\\uE000\\uFDD0\\uFFFE\\uFFFD"},
      {u"\U0010FFFF\U000E0001\U0001FFFE", false, "\\U0010FFFF\\U000E0001\\U0001FFFE"},
      {u"\xD800x\xDFFF\xDC41", false, "\\uD800x\\uDFFF\\uDC41"},
      {u"\xDC94\xDC39\xD83D", true, "\\x94\\x39\\uD83D"},
      {u"\xDBFF", false, "\\uDBFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(displayText(c.text, c.bytesKept), c.shown) << c.shown;
}

TEST_F(ChannelRecord, SetKeepsTheEncodingAndEnciphers) {
  const struct {
    const char* name;
    Bytes bytes;
    RecordEncoding encoding;
  } files[] = {
      {"plain936.as", bytesOf("[Main]\r\nname=First\r\n"), CodePage936},
      {"utf8.as", encipher(bytesOf("\xEF\xBB\xBF[Main]\r\nname=First\r\n")), Utf8},
      {"utf16.as", encipher(utf16le(u"[Main]\r\nname=First\r\n")), Utf16Le},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const std::string path = folder_.write(file.name, file.bytes);
    ASSERT_EQ(run({"set", path, "Main", "Colour", "\u7ea2 red"}), 0) << err_.str();
    ASSERT_EQ(run({"set-channel", path, "1101010001"}), 0) << err_.str();
    EXPECT_FALSE(decipher(ScratchDirectory::read(path)).empty()) << "written enciphered";
    RecordEncoding encoding{};
    const ChannelRecordFile::Entries expected = {{u"installchannel#maincid", u"1101010001"},
                                                 {u"main#colour", u"\u7ea2 red"},
                                                 {u"main#name", u"First"}};
    EXPECT_EQ(entriesOf(path, &encoding), expected);
    EXPECT_EQ(encoding, file.encoding);
  }
  EXPECT_EQ(folder_.fileCount(), 3u) << "no temporary file is left behind";
}

TEST_F(ChannelRecord, SetCreatesAMissingFileAsTheLauncherWould) {
  const std::string path = folder_.path("InsChannel.as");
  ASSERT_EQ(run({"set", path, "", "Top", "1"}), 0) << err_.str();
  EXPECT_TRUE(printed("set (no section) Top = 1 in ")) << out_.str();
  const Bytes plain = decipher(ScratchDirectory::read(path));
  EXPECT_EQ(plain, bytesOf("\xEF\xBB\xBFtop=1\r\n\r\n"));
}

// Every command that writes the file says what became of it when the write
// failed: left as it was, or (a rewrite in place of a held file that failed
// part-way) that it may be damaged.
TEST_F(ChannelRecord, AFailedWriteSaysWhatBecameOfTheFile) {
  const std::string path = folder_.write("InsChannel.as", encipher(bytesOf("[Main]\r\nname=First\r\n")));
  HoldLog log;
  const struct {
    bool rewriteFails;  // else the disk is full
    const char* said;
  } cases[] = {{true, " (it may be damaged): rewrite failed"}, {false, " (left as it was): write failed"}};
  for (const auto& c : cases) {
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"set-channel", path, "7"}, {"set", path, "Main", "Name", "v"}}) {
      SCOPED_TRACE(command[0] + c.said);
      const FileOperations files = c.rewriteFails ? withRewriteFlushFailing(heldFileOperations(HeldAt::Rename, 1000, log))
                                                  : failingFileOperations(WriteFault::Write);
      EXPECT_EQ(run(command, files), kExitCannotWrite);
      EXPECT_TRUE(complained("cannot write " + path + c.said)) << err_.str();
    }
  }
}

TEST_F(ChannelRecord, RefusesWhatWouldNotReadBackAndLeavesTheFile) {
  const Bytes original = encipher(bytesOf("[Main]\r\nname=First\r\n"));
  const std::string path = folder_.write("InsChannel.as", original);
  const std::vector<std::string> wrong[] = {
      {"Main", "Name", " padded "},  {"Main", "Name", "two\nlines"}, {"Ma]in", "Name", "v"},
      {"Main", "Na=me", "v"},        {"Main", "#Name", "v"},         {"Main", " Name", "v"},
      {"Main", "Name ", "v"},        {"Main", "", "v"},              {"Main\r\nX", "Name", "v"},
      {"Main", "Name", "\xF0\x9F\x98\x80"},  // code page 936 has no emoji
  };
  for (const auto& entry : wrong) {
    SCOPED_TRACE(entry[0] + "|" + entry[1] + "|" + entry[2]);
    EXPECT_EQ(run({"set", path, entry[0], entry[1], entry[2]}), kExitBadInput);
    EXPECT_TRUE(complained("was left as it was")) << err_.str();
    EXPECT_EQ(ScratchDirectory::read(path), original);
  }
  for (const char* number : {"", "12x", "2147483648", "0x10"}) {
    EXPECT_EQ(run({"set-channel", path, number}), kExitUsage) << number;
    EXPECT_EQ(ScratchDirectory::read(path), original);
  }
  EXPECT_EQ(run({"set", folder_.path(""), "Main", "Name", "v"}), kExitCannotRead);
}

TEST_F(ChannelRecord, DecipherAndEncipherForSupportWork) {
  const Bytes text = bytesOf("\xEF\xBB\xBF[installchannel]\r\nmaincid=5\r\n");
  const std::string enciphered = folder_.write("in.as", encipher(text));
  const std::string plain = folder_.path("plain.txt");
  ASSERT_EQ(run({"decipher", enciphered, plain}), 0) << err_.str();
  EXPECT_EQ(ScratchDirectory::read(plain), text);

  const std::string again = folder_.path("again.as");
  ASSERT_EQ(run({"encipher", plain, again}), 0) << err_.str();
  EXPECT_FALSE(complained("enciphered already"));
  EXPECT_EQ(decipher(ScratchDirectory::read(again)), text);
  EXPECT_EQ(entriesOf(again), (ChannelRecordFile::Entries{{u"installchannel#maincid", u"5"}}));

  EXPECT_EQ(run({"encipher", again, folder_.path("twice.as")}), 0);
  EXPECT_TRUE(complained("is enciphered already")) << err_.str();

  EXPECT_EQ(run({"decipher", plain, folder_.path("never.txt")}), kExitBadInput);
  EXPECT_TRUE(complained("is not enciphered with the record key")) << err_.str();
  EXPECT_FALSE(ScratchDirectory::exists(folder_.path("never.txt")));
}

TEST_F(ChannelRecord, ArgumentsAndHelp) {
  for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
           {}, {"dump", "x"}, {"show"}, {"show", "a", "b"}, {"set", "a", "s", "e"}, {"decipher", "a"}}) {
    EXPECT_EQ(run(wrong), kExitUsage);
    EXPECT_FALSE(err_.str().empty());
  }
  for (const char* command : {"show", "set", "set-channel", "decipher", "encipher"}) {
    EXPECT_EQ(run({command, "--help"}), 0);
    EXPECT_TRUE(printed(std::string("usage: channel_record ") + command)) << out_.str();
  }
  EXPECT_EQ(run({"help"}), 0);
  EXPECT_TRUE(printed("Exit codes:"));
}

TEST_F(ChannelRecord, VersionNamesTheReleaseAndTheCommit) {
  EXPECT_EQ(run({"--version"}), 0);
  EXPECT_TRUE(std::regex_match(
      out_.str(), std::regex("channel_record [0-9]+\\.[0-9]+\\.[0-9]+ \\(commit ([0-9a-f]{12}(\\+modified)?|unknown)\\)\n")))
      << out_.str();
}

}  // namespace
