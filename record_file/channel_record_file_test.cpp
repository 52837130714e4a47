#include "record_file/channel_record_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/decimal_text.h"
#include "file_io/file_io.h"
#include "file_io/file_status.h"
#include "record_file/record_cipher.h"
#include "tests/support/file_io/failing_file_operations.h"
#include "tests/support/file_io/scratch_files.h"

namespace {

using Entries = ChannelRecordFile::Entries;

const uint8_t* key() { return reinterpret_cast<const uint8_t*>("plumTrowel      "); }

Bytes utf16le(std::u16string_view text, bool mark) {
  Bytes bytes;
  if (mark) bytes = {0xFF, 0xFE};
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

Bytes encipher(const Bytes& plain) {
  auto n = static_cast<int32_t>(plain.size());
  Bytes out(static_cast<size_t>(encipheredLength(n)));
  int32_t written = 0;
  encipherBuffer(plain.data(), n, key(), out.data(), written);
  return out;
}

// The plaintext of an enciphered file; fails the test when it does not decipher.
Bytes decipher(const Bytes& data) {
  Bytes out(data.size());
  int32_t length = static_cast<int32_t>(out.size());
  EXPECT_EQ(decipherBuffer(data.data(), static_cast<int32_t>(data.size()), key(), out.data(), length), 1);
  out.resize(static_cast<size_t>(std::max(length, 0)));
  return out;
}

Entries parsed(std::u16string_view text) {
  ChannelRecordFile store;
  store.parseText(text.data(), text.size());
  return store.entries();
}

// Loads bytes, saves them and loads what was saved: the entries must survive.
Entries afterRoundTrip(const Bytes& bytes, Bytes* written = nullptr) {
  ChannelRecordFile store;
  EXPECT_TRUE(store.loadBytes(bytes).ok());
  Bytes image;
  EXPECT_TRUE(store.fileImage(image).ok());
  if (written) *written = decipher(image);
  ChannelRecordFile again;
  EXPECT_TRUE(again.loadBytes(image).ok());
  EXPECT_EQ(again.encoding(), store.encoding());
  EXPECT_EQ(again.entries(), store.entries());
  return again.entries();
}

const std::string kWorkedExample =
    "; channel data\r\n[Main]\r\nName = First Value\r\n[InstallChannel]\r\nMainCid=7\r\n";

TEST(ChannelRecordFile, WorkedExampleIsWrittenByteForByte) {
  TempFolder folder;
  writeFile(folder.file(), bytesOf(kWorkedExample));
  ChannelRecordFile store;
  ASSERT_EQ(store.load(folder.file().u16string()), 0);
  EXPECT_EQ(store.entries(), (Entries{{u"main#name", u"First Value"}, {u"installchannel#maincid", u"7"}}));
  EXPECT_EQ(store.encoding(), CodePage936);
  ASSERT_TRUE(store.saveInstallChannel(u"42"));
  EXPECT_EQ(decipher(readFile(folder.file())),
            bytesOf("\r\n[installchannel]\r\nmaincid=42\r\n\r\n[main]\r\nname=First Value\r\n\r\n"));
  EXPECT_EQ(folder.contents().size(), 1u);
}

TEST(ChannelRecordFile, MissingFileIsCreatedAsUtf8WithMark) {
  TempFolder folder;
  ChannelRecordFile store;
  ASSERT_EQ(store.load(folder.file().u16string()), 0);
  EXPECT_EQ(store.encoding(), Utf8);
  EXPECT_EQ(store.hasBom(), 1);
  EXPECT_EQ(store.cipherKey(), "plumTrowel      ");
  ASSERT_TRUE(store.saveInstallChannel(u"1101010001"));
  EXPECT_EQ(decipher(readFile(folder.file())), bytesOf("\xEF\xBB\xBF\r\n[installchannel]\r\nmaincid=1101010001\r\n\r\n"));
}

TEST(ChannelRecordFile, EncodingAndMarkAreKeptOnSave) {
  struct Case {
    const char* name;
    Bytes file;
    RecordEncoding encoding;
    Bytes written;
  } cases[] = {
      {"empty file", {}, CodePage936, bytesOf("\r\n[installchannel]\r\nmaincid=5\r\n\r\n")},
      {"plain GBK", bytesOf("[A]\r\nx=\xC4\xE3\r\n"), CodePage936,
       bytesOf("\r\n[a]\r\nx=\xC4\xE3\r\n\r\n[installchannel]\r\nmaincid=5\r\n\r\n")},
      {"UTF-8 without mark reads as GBK", bytesOf("[A]\r\nx=\xE4\xBD\xA0\xE5\xA5\xBD\r\n"), CodePage936,
       bytesOf("\r\n[a]\r\nx=\xE4\xBD\xA0\xE5\xA5\xBD\r\n\r\n[installchannel]\r\nmaincid=5\r\n\r\n")},
      {"enciphered UTF-8", encipher(bytesOf("\xEF\xBB\xBFx=\xE4\xBD\xA0\r\n")), Utf8,
       bytesOf("\xEF\xBB\xBFx=\xE4\xBD\xA0\r\n\r\n[installchannel]\r\nmaincid=5\r\n\r\n")},
      {"enciphered UTF-16", encipher(utf16le(u"[\u4F60]\r\nk=v", true)), Utf16Le,
       utf16le(u"\r\n[installchannel]\r\nmaincid=5\r\n\r\n[\u4F60]\r\nk=v\r\n\r\n", true)},
      {"UTF-8 mark only", bytesOf("\xEF\xBB\xBF"), Utf8, bytesOf("\xEF\xBB\xBF\r\n[installchannel]\r\nmaincid=5\r\n\r\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    writeFile(folder.file(), c.file);
    ChannelRecordFile store;
    ASSERT_EQ(store.load(folder.file().u16string()), 0);
    EXPECT_EQ(store.encoding(), c.encoding);
    ASSERT_TRUE(store.saveInstallChannel(u"5"));
    Bytes written = readFile(folder.file());
    EXPECT_EQ(decipher(written), c.written);
    ChannelRecordFile again;
    ASSERT_EQ(again.load(folder.file().u16string()), 0);
    EXPECT_EQ(again.entries(), store.entries());
    EXPECT_EQ(again.encoding(), c.encoding);
  }
}

TEST(ChannelRecordFile, PlainTextOfCipherLengthIsReadAsPlain) {
  Bytes plain = bytesOf("[s]\r\nkey=value\r\nx=1234\r\n");
  ASSERT_EQ(plain.size() % 8, 0u);
  ChannelRecordFile store;
  ASSERT_TRUE(store.loadBytes(plain).ok());
  EXPECT_EQ(store.entries(), (Entries{{u"s#key", u"value"}, {u"s#x", u"1234"}}));
}

// The cipher reads 16 key bytes: a key of any other length is refused rather
// than read past its end, and the right key still works.
TEST(RecordCipherKey, OnlyTheSixteenByteKeyIsUsed) {
  const Bytes plain = bytesOf("[InstallChannel]\r\nMainCid=7\r\n");
  const std::string_view key = recordCipherKey();
  ASSERT_EQ(key.size(), 16u);
  for (std::string_view wrong : {key.substr(0, 15), std::string_view(), std::string_view("plumTrowel      x")}) {
    EXPECT_FALSE(encipherRecordBytes(plain, wrong)) << wrong.size();
    EXPECT_FALSE(decipherRecordBytes(plain, wrong)) << wrong.size();
  }
  const std::optional<Bytes> enciphered = encipherRecordBytes(plain, key);
  ASSERT_TRUE(enciphered);
  EXPECT_EQ(decipherRecordBytes(*enciphered, key), plain);
}

// Entries without a section come first in the text; when their bytes begin
// like a mark, the code page 936 file would load as UTF-8 or UTF-16.
TEST(ChannelRecordFile, CodePage936TextThatBeginsLikeAMarkStaysCodePage936) {
  for (std::string_view start : {"\xEF\xBB\xBF\xBF", "\xFF\xFE\xA1"}) {
    Bytes file = bytesOf(std::string("; comment\r\n") + std::string(start) + "=1\r\n[s]\r\nk=v\r\n");
    Bytes written;
    afterRoundTrip(file, &written);
    EXPECT_EQ(written[0], '\r');
  }
}

TEST(DetectEncoding, MarksDecide) {
  struct Case {
    Bytes bytes;
    RecordEncoding encoding;
    int32_t mark;
  } cases[] = {{{0xEF, 0xBB, 0xBF}, Utf8, 1},   {{0xEF, 0xBB}, CodePage936, 0}, {{0xFF, 0xFE}, Utf16Le, 1},
               {{0xFE, 0xFF, 0x00}, CodePage936, 0}, {{}, CodePage936, 0},         {{0xFF, 0xFE, 0xEF}, Utf16Le, 1}};
  for (const Case& c : cases) {
    ChannelRecordFile store;
    store.detectEncoding(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(store.encoding(), c.encoding);
    EXPECT_EQ(store.hasBom(), c.mark);
  }
}

TEST(EntryKey, LowercasesAsciiCapitalsOnly) {
  EXPECT_EQ(entryKey(u"InstallChannel", u"MainCid"), u"installchannel#maincid");
  EXPECT_EQ(entryKey(u"\u00C4@[Z]", u"\u0130X"), u"\u00C4@[z]#\u0130x");
  EXPECT_EQ(entryKey(u"", u"Name"), u"#name");
}

TEST(ParseText, LineForms) {
  struct Case {
    const char* name;
    std::u16string text;
    Entries entries;
  } cases[] = {
      {"comments and blank lines", u"#a=1\n;b=2\n=c\n\n  \r\n   # d=4\nplain line", {}},
      {"case and repeated sections merge, last wins", u"[Sec]\nKey=1\n[other]\nx=0\n[SEC]\nkEY = 2 ",
       {{u"sec#key", u"2"}, {u"other#x", u"0"}}},
      {"spaces inside brackets stay", u"[ a ]\nk=1\n[a]\nk=2", {{u" a #k", u"1"}, {u"a#k", u"2"}}},
      {"tab is not a space", u"\t#x=1\n\tk\t= v\t", {{u"#\t#x", u"1"}, {u"#\tk\t", u"v\t"}}},
      {"empty or unclosed header leaves the section", u"[s]\n[]\na=1\n[t\nb=2", {{u"s#a", u"1"}, {u"s#b", u"2"}}},
      {"']' right after '[' is part of the name", u"[]]\na=1\n[]x] rest\nb=2", {{u"]#a", u"1"}, {u"]x#b", u"2"}}},
      {"values", u"a=b=c\nb=\nc=   \nd= x ; y # z ", {{u"#a", u"b=c"}, {u"#b", u""}, {u"#c", u""}, {u"#d", u"x ; y # z"}}},
      {"runs of CR and LF", u"\r\r\n\na=1\r\r\rb=2", {{u"#a", u"1"}, {u"#b", u"2"}}},
      {"NUL ends the text", std::u16string(u"a=1\n\0b=2", 9), {{u"#a", u"1"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(parsed(c.text), c.entries);
  }
}

TEST(ParseText, StopsAtTheGivenLength) {
  ChannelRecordFile store;
  store.parseText(u"a=12345\nb=2", 5);
  EXPECT_EQ(store.entries(), (Entries{{u"#a", u"123"}}));
}

TEST(RecordText, OrderIsByWholeKeyAndEmptySectionComesFirst) {
  Entries entries{{u"#top", u"1"}, {u"a b#x", u"2"}, {u"a#y", u"3"}, {u"b#z", u"4"}};
  EXPECT_EQ(recordText(entries), u"top=1\r\n\r\n[a b]\r\nx=2\r\n\r\n[a]\r\ny=3\r\n\r\n[b]\r\nz=4\r\n\r\n");
  EXPECT_EQ(recordText({}), u"\r\n");
}

TEST(RecordText, SectionWithHashIsSplitAtItsFirstHash) {
  Entries entries = parsed(u"[a#b]\nName=v");
  EXPECT_EQ(entries, (Entries{{u"a#b#name", u"v"}}));
  EXPECT_EQ(recordText(entries), u"\r\n[a]\r\nb#name=v\r\n\r\n");
}

// Section names whose plain form would not read back: the store writes them
// so that a load gives the same entry keys.
TEST(RecordText, OddSectionNamesRoundTrip) {
  std::u16string text =
      u"top=0\n[ lead]\na=1\n[!bang]\nb=2\n[a#]\nc=3\n[a##b]\nd=4\n[#]\ne=5\n[#x]\nf=6\n"
      u"[a#=b]\ng=7\n[a#[b]\nh]=8\n[a# b]\ni=9\n[a#;b]\nj=10\n[a]\nk=11\n[]x]\nl=12\n";
  ChannelRecordFile store;
  store.parseText(text.data(), text.size());
  ASSERT_EQ(store.entries().size(), 13u);
  std::u16string written = recordText(store.entries());
  EXPECT_EQ(written.rfind(u"top=0\r\nx#f=6\r\n", 0), 0u) << "entries without a section lead";
  ChannelRecordFile again;
  again.parseText(written.data(), written.size());
  EXPECT_EQ(again.entries(), store.entries());
}

TEST(ChannelRecordFile, SaveTakesChannelTextAsALoadWouldReadIt) {
  ChannelRecordFile store;
  EXPECT_FALSE(store.saveInstallChannel(u" 42 \r\n[x]\r\ny=1"));
  EXPECT_EQ(store.entries(), (Entries{{u"installchannel#maincid", u"42"}}));
  EXPECT_FALSE(store.canSave()) << "a store that was never loaded has nowhere to write";
}

TEST(ChannelRecordFile, ClearKeepsPathAndEncodingAndDropsTheCipher) {
  TempFolder folder;
  writeFile(folder.file(), encipher(utf16le(u"[s]\r\nk=v", true)));
  ChannelRecordFile store;
  ASSERT_EQ(store.load(folder.file().u16string()), 0);
  store.clear();
  EXPECT_TRUE(store.entries().empty());
  EXPECT_TRUE(store.cipherKey().empty());
  EXPECT_EQ(store.path(), folder.file().u16string());
  ASSERT_TRUE(store.saveInstallChannel(u"3"));
  EXPECT_EQ(readFile(folder.file()), utf16le(u"\r\n[installchannel]\r\nmaincid=3\r\n\r\n", true));
}

TEST(ChannelRecordFile, LongTextIsWrittenWhole) {
  // Far beyond 65,536 units of written text, in both a byte and a wide encoding.
  std::string text;
  for (int i = 0; i < 12000; ++i) text += "[s" + std::to_string(i % 50) + "]\nkey" + std::to_string(i) + "=value\n";
  std::u16string wide(text.begin(), text.end());
  for (const Bytes& file : {bytesOf(text), utf16le(wide, true)}) {
    Bytes written;
    Entries entries = afterRoundTrip(file, &written);
    EXPECT_GT(written.size(), 131072u);
    EXPECT_EQ(entries.size(), 12000u);
  }
}

TEST(ChannelRecordFile, OverlongPathIsRefusedNotCut) {
  TempFolder folder;
  std::u16string base = folder.file(u"x").u16string();
  std::u16string longest = base + std::u16string(259 - base.size(), u'a');
  ChannelRecordFile store;
  EXPECT_EQ(store.load(longest + u"b"), -1);
  EXPECT_TRUE(store.path().empty());
  EXPECT_FALSE(store.saveInstallChannel(u"1"));
  EXPECT_EQ(store.writeInstallChannel(u"1"), (FileStatus{FileStage::Open, kErrorPathTooLong}))
      << "a refused save names the refused load";
  EXPECT_TRUE(folder.contents().empty());
  // 259 units is still a path: it is used as given.
  EXPECT_EQ(store.load(longest), 0);
  EXPECT_EQ(store.path(), longest);
}

TEST(ChannelRecordFile, UnreadableFileIsNotReplaced) {
  TempFolder folder;
  fs::create_directory(folder.file());  // a folder where the file should be
  ChannelRecordFile store;
  EXPECT_EQ(store.load(folder.file().u16string()), -1);
  EXPECT_TRUE(store.entries().empty());
  EXPECT_FALSE(store.saveInstallChannel(u"9"));
  // Windows refuses to open a folder as a file; POSIX opens it and refuses to read it.
  const FileStatus refused = store.writeInstallChannel(u"9");
  EXPECT_TRUE(refused.stage == FileStage::Open || refused.stage == FileStage::Read) << fileStageName(refused.stage);
  EXPECT_NE(refused.error, 0u);
  EXPECT_TRUE(fs::is_directory(folder.file()));
  EXPECT_EQ(folder.contents().size(), 1u);
}

TEST(ChannelRecordFile, ANeverLoadedStoreWritesNothingAndSaysItHasNoFile) {
  ChannelRecordFile store;
  EXPECT_EQ(store.writeInstallChannel(u"9"), (FileStatus{FileStage::Open, 0}));
  std::vector<uint8_t> image;
  EXPECT_TRUE(store.fileImage(image).ok()) << "an image without a key is plain text";
  EXPECT_EQ(std::string(image.begin(), image.end()), "\r\n[installchannel]\r\nmaincid=9\r\n\r\n");
}

TEST(ChannelRecordFile, FailedWriteLeavesOldFileAndNoTemporary) {
  TempFolder folder;
  Bytes original = bytesOf(kWorkedExample);
  struct Case {
    WriteFault fault;
    size_t bytes;
    FileStatus failure;
  } cases[] = {{WriteFault::Write, 0, {FileStage::Write, kDiskFullError}},
               {WriteFault::Write, 17, {FileStage::Write, kDiskFullError}},
               {WriteFault::Flush, 0, {FileStage::Flush, kDeviceError}},
               {WriteFault::Replace, 0, {FileStage::Rename, kWriteProtectError}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault) * 1000 + static_cast<int>(c.bytes));
    writeFile(folder.file(), original);
    const FileOperations failing = failingFileOperations(c.fault, c.bytes);
    {
      ChannelRecordFile store(failing);
      ASSERT_EQ(store.load(folder.file().u16string()), 0);
      EXPECT_FALSE(store.saveInstallChannel(u"42"));
      EXPECT_EQ(store.writeInstallChannel(u"42"), c.failure) << "the failure names its stage and code";
    }
    EXPECT_EQ(readFile(folder.file()), original);
    EXPECT_EQ(folder.contents(), std::vector<fs::path>{fs::path("InsChannel.as")});
    ChannelRecordFile store;
    ASSERT_EQ(store.load(folder.file().u16string()), 0);
    EXPECT_TRUE(store.saveInstallChannel(u"42")) << "the system's operations write the same file";
  }
}

TEST(ChannelRecordFile, ChineseAndSpacedPathsWork) {
  TempFolder folder(u"\u5927\u5385 \u914D\u7F6E dir");
  fs::path file = folder.file(u"Ins Channel \u6587\u4EF6.as");
  writeFile(file, bytesOf("[A]\r\nb=c\r\n"));
  ChannelRecordFile store;
  ASSERT_EQ(store.load(file.u16string()), 0);
  EXPECT_EQ(store.entries().size(), 1u);
  ASSERT_TRUE(store.saveInstallChannel(u"8"));
  EXPECT_EQ(decipher(readFile(file)), bytesOf("\r\n[a]\r\nb=c\r\n\r\n[installchannel]\r\nmaincid=8\r\n\r\n"));
  EXPECT_EQ(folder.contents().size(), 1u);
}

}  // namespace
