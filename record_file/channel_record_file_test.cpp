#include "record_file/channel_record_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/decimal_text.h"
#include "record_file/file_io.h"
#include "record_file/file_status.h"
#include "record_file/record_cipher.h"
#include "tests/support/record_file/failing_file_operations.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Entries = ChannelRecordFile::Entries;

const uint8_t* key() { return reinterpret_cast<const uint8_t*>("plumTrowel      "); }

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

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

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  explicit TempFolder(std::u16string_view leaf = u"store") {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() / ("record-" + std::to_string(stamp) + "-" + std::to_string(++counter));
    path_ /= fs::path(std::u16string(leaf));
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_.parent_path(), ignored);
  }
  fs::path file(std::u16string_view name = u"InsChannel.as") const { return path_ / fs::path(std::u16string(name)); }
  std::vector<fs::path> contents() const {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename());
    return names;
  }

 private:
  fs::path path_;
};

void writeFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

TEST(FileSetWriter, PutsEveryFileInPlaceOnlyOnCommit) {
  TempFolder folder;
  writeFile(folder.file(u"old.exe"), bytesOf("old"));
  FileSetWriter writer;
  for (const char16_t* name : {u"old.exe", u"a.exe", u"\u6e20\u9053.exe"})
    ASSERT_TRUE(writer.add(folder.file(name).u16string(), bytesOf("new")).ok());
  EXPECT_EQ(readFile(folder.file(u"old.exe")), bytesOf("old")) << "nothing is replaced before the commit";
  EXPECT_FALSE(fs::exists(folder.file(u"a.exe")));
  EXPECT_EQ(writer.commit().placed, 3u);
  for (const char16_t* name : {u"old.exe", u"a.exe", u"\u6e20\u9053.exe"})
    EXPECT_EQ(readFile(folder.file(name)), bytesOf("new"));
  EXPECT_EQ(folder.contents().size(), 3u) << "no new file is left behind";
  EXPECT_EQ(writer.commit().placed, 0u) << "a commit puts in place what was added since the last";
}

TEST(FileSetWriter, AFailureLeavesEveryFileAsItWasAndNoNewFile) {
  TempFolder folder;
  const struct {
    WriteFault fault;
    size_t placed;
    FileStage stage;
  } cases[] = {{WriteFault::Flush, 0, FileStage::Flush}, {WriteFault::Replace, 0, FileStage::Rename}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    writeFile(folder.file(u"old.exe"), bytesOf("old"));
    const FileOperations failing = failingFileOperations(c.fault);
    FileSetWriter writer(failing);
    ASSERT_TRUE(writer.add(folder.file(u"old.exe").u16string(), bytesOf("new")).ok());
    ASSERT_TRUE(writer.add(folder.file(u"a.exe").u16string(), bytesOf("new")).ok());
    const FileSetWriter::Committed committed = writer.commit();
    EXPECT_EQ(committed.placed, c.placed);
    EXPECT_EQ(committed.status.stage, c.stage);
    EXPECT_EQ(readFile(folder.file(u"old.exe")), bytesOf("old"));
    EXPECT_EQ(folder.contents(), std::vector<fs::path>{fs::path("old.exe")});
  }

  {
    const FileOperations failing = failingFileOperations(WriteFault::Write, 1);
    FileSetWriter failingWriter(failing);
    EXPECT_EQ(failingWriter.add(folder.file(u"a.exe").u16string(), bytesOf("new")),
              (FileStatus{FileStage::Write, kDiskFullError}));
    FileSetWriter writer;
    ASSERT_TRUE(writer.add(folder.file(u"b.exe").u16string(), bytesOf("new")).ok());
    // Never committed: the destructor deletes the new file.
  }
  EXPECT_EQ(folder.contents(), std::vector<fs::path>{fs::path("old.exe")});
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

// Another program holding the file for a moment (a scanner, an indexer):
// the open for reading, the new file's creation and putting it in place are
// tried again, with pauses of about half a second in all.
TEST(HeldFile, AShortHoldIsWaitedOutAtEachStage) {
  TempFolder folder;
  for (HeldAt at : {HeldAt::Read, HeldAt::Create, HeldAt::Rename}) {
    SCOPED_TRACE(static_cast<int>(at));
    writeFile(folder.file(), bytesOf("old"));
    HoldLog log;
    const FileOperations held = heldFileOperations(at, 3, log);
    if (at == HeldAt::Read) {
      const FileReadResult read = readWholeFile(folder.file().u16string(), held);
      ASSERT_EQ(read.status, FileReadStatus::Read);
      EXPECT_EQ(read.bytes, bytesOf("old"));
    } else {
      EXPECT_TRUE(replaceFileContents(folder.file().u16string(), bytesOf("new"), held).ok());
      EXPECT_EQ(readFile(folder.file()), bytesOf("new"));
    }
    EXPECT_EQ(log.tries, 4) << "three refused, the fourth through";
    EXPECT_EQ(log.pausedMilliseconds, 10u + 20u + 30u);
    EXPECT_EQ(folder.contents(), std::vector<fs::path>{fs::path("InsChannel.as")});
  }
}

TEST(HeldFile, AHoldThatDoesNotEndIsGivenUpAfterHalfASecond) {
  TempFolder folder;
  writeFile(folder.file(), bytesOf("old"));
  {
    HoldLog log;
    const FileReadResult read = readWholeFile(folder.file().u16string(), heldFileOperations(HeldAt::Read, 1000, log));
    EXPECT_EQ(read.status, FileReadStatus::Failed);
    EXPECT_EQ(read.failure, (FileStatus{FileStage::Open, kHeldError}));
    EXPECT_EQ(log.pausedMilliseconds, 500u);
  }
  {
    HoldLog log;
    EXPECT_EQ(replaceFileContents(folder.file().u16string(), bytesOf("new"), heldFileOperations(HeldAt::Create, 1000, log)),
              (FileStatus{FileStage::Open, kHeldError}));
    EXPECT_EQ(log.pausedMilliseconds, 500u);
  }
  EXPECT_EQ(readFile(folder.file()), bytesOf("old"));
  EXPECT_EQ(folder.contents(), std::vector<fs::path>{fs::path("InsChannel.as")});
}

TEST(HeldFile, OnlyAHoldIsTriedAgain) {
  TempFolder folder;
  writeFile(folder.file(), bytesOf("old"));
  HoldLog log;
  FileOperations files = heldFileOperations(HeldAt::Rename, 1000, log);
  files.isHeld = [](uint32_t) { return false; };
  EXPECT_EQ(replaceFileContents(folder.file().u16string(), bytesOf("new"), files),
            (FileStatus{FileStage::Rename, kHeldError}));
  EXPECT_EQ(log.tries, 1);
  EXPECT_EQ(log.pausedMilliseconds, 0u);
  EXPECT_EQ(readFile(folder.file()), bytesOf("old")) << "no rewrite in place for an error that is not a hold";
  EXPECT_EQ(folder.contents(), std::vector<fs::path>{fs::path("InsChannel.as")});
}

// The file stays held by a program that lets others write it: the new bytes
// are written into the file itself. One that lets nobody write it keeps the
// old bytes. Either way the pauses of the whole write stay within half a
// second and no new file is left.
TEST(HeldFile, AFileStillHeldIsRewrittenInPlaceWhenTheHolderLetsOthersWrite) {
  TempFolder folder;
  for (bool holderLetsOthersWrite : {true, false}) {
    SCOPED_TRACE(holderLetsOthersWrite);
    writeFile(folder.file(), bytesOf("the old, longer contents"));
    HoldLog createLog, log;
    FileOperations files = heldFileOperations(HeldAt::Rename, 1000, log);
    const FileOperations heldCreate = heldFileOperations(HeldAt::Create, 2, createLog);
    files.open = [heldCreate, holderLetsOthersWrite](const std::u16string& path, OpenMode mode, PlatformFile& file) {
      if (mode == OpenMode::Rewrite && !holderLetsOthersWrite) return kHeldError;
      return heldCreate.open(path, mode, file);
    };
    const FileStatus status = replaceFileContents(folder.file().u16string(), bytesOf("new"), files);
    if (holderLetsOthersWrite) {
      EXPECT_TRUE(status.ok()) << fileStageName(status.stage);
      EXPECT_EQ(readFile(folder.file()), bytesOf("new")) << "written whole, the old end cut off";
    } else {
      EXPECT_EQ(status, (FileStatus{FileStage::Rename, kHeldError}));
      EXPECT_EQ(readFile(folder.file()), bytesOf("the old, longer contents"));
    }
    EXPECT_EQ(createLog.tries, 3) << "the creation was refused twice";
    EXPECT_EQ(log.pausedMilliseconds, 500u) << "creation and rename share the half second";
    EXPECT_EQ(folder.contents(), std::vector<fs::path>{fs::path("InsChannel.as")});
  }
}

// A rewrite in place that fails after it has begun (here its flush) says so:
// the file may be damaged, which no other failure may claim.
TEST(HeldFile, ARewriteThatFailsPartWaySaysSo) {
  TempFolder folder;
  writeFile(folder.file(), bytesOf("old"));
  HoldLog log;
  const FileOperations files = withRewriteFlushFailing(heldFileOperations(HeldAt::Rename, 1000, log));
  EXPECT_EQ(replaceFileContents(folder.file().u16string(), bytesOf("new"), files),
            (FileStatus{FileStage::Rewrite, kDeviceError}));
  EXPECT_EQ(folder.contents(), std::vector<fs::path>{fs::path("InsChannel.as")}) << "no new file stays";
}

// The name of a new file that a write would make beside `target`.
std::u16string newFileNameBeside([[maybe_unused]] std::u16string_view target, std::u16string_view hex) {
#ifdef _WIN32
  return u"~ic" + std::u16string(hex) + u".tmp";
#else
  return std::u16string(target) + u".4242." + std::u16string(hex) + u".7.tmp";
#endif
}

TEST(NewFiles, OnlyThisNamingIsTakenForAWritesNewFile) {
  const std::u16string target = u"InsChannel.as";
  EXPECT_TRUE(isNewFileName(newFileNameBeside(target, u"0a9f3c"), target));
  for (std::u16string_view other : {u"InsChannel.as", u"~ic0a9f3c.tm", u"~ic0a9f3.tmp", u"~icxyz123.tmp",
                                    u"~ic0A9F3C.tmp", u"other.tmp", u"InsChannel.as.tmp", u"InsChannel.as.1..2.tmp",
                                    u"InsChannel.as.1.g.2.tmp", u"InsChannel.as.1.2.tmp", u"Other.as.1.2.3.tmp"})
    EXPECT_FALSE(isNewFileName(other, target)) << std::string(other.begin(), other.end());
}

// Writes killed before their end leave their new files behind; the next
// write clears away those more than a minute old, and nothing else.
TEST(NewFiles, TheNextWriteRemovesNewFilesThatKilledWritesLeft) {
  TempFolder folder;
  writeFile(folder.file(), bytesOf("old"));
  const std::u16string target = u"InsChannel.as";
  const fs::path stale = folder.file(newFileNameBeside(target, u"00aa11"));
  const fs::path fresh = folder.file(newFileNameBeside(target, u"00bb22"));
  const fs::path foreign = folder.file(u"~icnothex.tmp");
  const fs::path staleFolder = folder.file(newFileNameBeside(target, u"00cc33"));
  for (const fs::path& path : {stale, fresh, foreign}) writeFile(path, bytesOf("left"));
  fs::create_directory(staleFolder);
  const auto longAgo = fs::file_time_type::clock::now() - std::chrono::minutes(2);
  for (const fs::path& path : {stale, foreign}) fs::last_write_time(path, longAgo);
  std::error_code ignored;  // Windows sets no times on a folder this way; it is skipped as a folder anyway
  fs::last_write_time(staleFolder, longAgo, ignored);

  ASSERT_TRUE(replaceFileContents(folder.file().u16string(), bytesOf("new")).ok());
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(fresh)) << "a write may still be going on";
  EXPECT_TRUE(fs::exists(foreign)) << "not this naming";
  EXPECT_TRUE(fs::is_directory(staleFolder)) << "not a file";
  EXPECT_EQ(readFile(folder.file()), bytesOf("new"));
}

TEST(FileStatusText, CommonErrorsSayWhatHappened) {
  EXPECT_EQ(describeFileStatus({FileStage::Write, kDiskFullError}),
            u"write failed, error " + decimalText(kDiskFullError) + u" (disk full)");
  EXPECT_EQ(describeFileStatus({FileStage::Open, kErrorPathTooLong}), u"open failed, error 206 (path too long)");
  EXPECT_EQ(describeFileStatus({FileStage::Write, kDeviceError}), u"write failed, error " + decimalText(kDeviceError));
  EXPECT_EQ(describeFileStatus({FileStage::Read, 0}), u"read failed");
#ifdef _WIN32
  EXPECT_EQ(describeFileStatus({FileStage::Rename, 32}), u"rename failed, error 32 (held by another program)");
  EXPECT_EQ(describeFileStatus({FileStage::Open, 5}), u"open failed, error 5 (no access)");
#else
  EXPECT_EQ(describeFileStatus({FileStage::Open, EACCES}), u"open failed, error " + decimalText(uint32_t(EACCES)) +
                                                               u" (no access)");
#endif
}

}  // namespace
