#include "tools/channel_record_tool.h"

#include <gtest/gtest.h>

#include "record_file/channel_record_file.h"
#include "record_file/record_cipher.h"
#include "tools/tool_test_support.h"
#include "tools/tool_support.h"

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

}  // namespace
