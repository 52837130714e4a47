// End-to-end runs of channel_launcher.exe for the install-channel step, with
// the stand-in hall and real files: the hall's GPU cache folder, with file
// times set by the test, decides whether the channel is recorded; the record
// file is created, or rewritten in its own encoding, enciphered, and checked
// both through the store and byte for byte; a file the step cannot replace
// stays as it was. Every run finds the test's own hall window in its first
// poll, so the runs follow each other without waits.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "tests/support/launch_flow/launch_e2e_support_win.h"
#include "record_file/channel_record_file.h"
#include "tests/support/local_time_win.h"
#include "tests/support/record_file/file_holder_win.h"
#include "tests/support/trace_capture_win.h"

namespace {

using namespace std::chrono_literals;
using Entries = ChannelRecordFile::Entries;

constexpr int32_t kAppId = 2001;
constexpr wchar_t kNotRecordedPrefix[] = L"Install channel not recorded: ";
constexpr wchar_t kHallName[] = L"\u6e38\u620f \u5927\u5385 Hall";  // 游戏 大厅 Hall

// ---- File times and files ----

// ---- The record file's bytes, made independently of the store ----

std::string codePageBytes(UINT codePage, const std::wstring& text) {
  const int size = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(size_t(size), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

// `text` as the record file holds it in `encoding`, with the encoding's mark.
std::string encodedText(RecordEncoding encoding, const std::wstring& text) {
  if (encoding == CodePage936) return codePageBytes(936, text);
  if (encoding == Utf8) return "\xEF\xBB\xBF" + codePageBytes(CP_UTF8, text);
  std::string bytes = "\xFF\xFE";
  for (wchar_t unit : text) {
    bytes += char(unit & 0xFF);
    bytes += char(unit >> 8);
  }
  return bytes;
}

std::span<const uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string encipher(const std::string& plain) {
  const std::vector<uint8_t> enciphered = encipherRecordBytes(bytesOf(plain), recordCipherKey()).value();
  return std::string(enciphered.begin(), enciphered.end());
}

// The plain bytes of an enciphered file; nothing when the bytes do not decipher.
std::optional<std::string> decipher(const std::string& file) {
  const std::optional<std::vector<uint8_t>> plain = decipherRecordBytes(bytesOf(file), recordCipherKey());
  if (!plain) return std::nullopt;
  return std::string(plain->begin(), plain->end());
}

std::u16string u16(const std::wstring& text) { return std::u16string(as_u16view(text)); }

// The text the launcher writes for a new file: the install channel alone.
std::wstring channelOnlyText(int32_t channelId) {
  return L"\r\n[installchannel]\r\nmaincid=" + decimal(channelId) + L"\r\n\r\n";
}

// A record file as the hall might keep it: a comment, an entry before any
// section, sections in mixed case with spaces around "=", Chinese names and
// values, and (when `withChannel`) an install channel of its own.
std::wstring hallRecordText(bool withChannel) {
  std::wstring text =
      L"; \u6e20\u9053 data\r\n"
      L"Top = 1\r\n"
      L"[Main]\r\n"
      L"Name = \u7b2c\u4e00 Value\r\n"
      L"# note\r\n";
  if (withChannel) text += L"[InstallChannel]\r\nMainCid=7\r\n";
  return text + L"[\u5176\u4ed6]\r\nKey=\u503c\r\n";
}

// What the launcher writes back for hallRecordText: names lowercased, the
// comments gone, the entries in key order, the channel set.
std::wstring rewrittenHallRecordText(int32_t channelId) {
  return L"top=1\r\n"
         L"\r\n[installchannel]\r\nmaincid=" +
         decimal(channelId) +
         L"\r\n"
         L"\r\n[main]\r\nname=\u7b2c\u4e00 Value\r\n"
         L"\r\n[\u5176\u4ed6]\r\nkey=\u503c\r\n"
         L"\r\n";
}

Entries rewrittenHallRecordEntries(int32_t channelId) {
  return {{u"#top", u"1"},
          {u"installchannel#maincid", u16(decimal(channelId))},
          {u"main#name", u"\u7b2c\u4e00 Value"},
          {u"\u5176\u4ed6#key", u"\u503c"}};
}

// ---- Runs ----

enum class Recording {
  Written,      // the step wrote the file and traced its line
  Skipped,      // the hall was used recently: the step did nothing
  NotRecorded,  // due, but the file could not be replaced: one reason line
};

// A hall of its own for one run: "<parent>\游戏 大厅 Hall\ludora.exe", its
// cache at "<parent>\xwv_cache\GPUCache", a working directory for the
// launcher and a stand-in log, all below <parent>.
struct Hall {
  std::wstring parent;  // with a trailing backslash
  std::wstring directory;
  std::wstring registryValue;
  std::wstring cache;
  std::wstring recordFolder;
  std::wstring record;
  std::wstring workingDirectory;
  std::wstring log;
};

class InstallChannelE2E : public LauncherE2E {
 protected:
  InstallChannelE2E() : LauncherE2E(L"install-channel-e2e") {}

  void SetUp() override {
    LauncherE2E::SetUp();
    window_.emplace();
  }

  void TearDown() override {
    // Every run started the hall exactly twice; none more since.
    for (const std::wstring& log : logs_) {
      const std::vector<StandInStart> logged = readStarts(log);
      EXPECT_EQ(logged.size(), 2u) << printableLine(log) << "\n" << shown(logged);
      ::endStandIns(logged);
    }
    window_.reset();
    LauncherE2E::TearDown();
  }

  // A hall in the folder `name` below the scratch folder, named in the
  // registry with or without a trailing backslash.
  Hall makeHall(const std::wstring& name, bool trailingBackslash) {
    return makeHallIn(makeDirectory(name) + L"\\" + kHallName, trailingBackslash);
  }

  // A hall in `directory`, whose parent folder exists.
  Hall makeHallIn(const std::wstring& directory, bool trailingBackslash) {
    Hall hall;
    hall.directory = directory;
    hall.parent = directory.substr(0, directory.find_last_of(L'\\') + 1);
    hall.registryValue = directory + (trailingBackslash ? L"\\" : L"");
    hall.cache = hall.parent + L"xwv_cache\\GPUCache";
    hall.recordFolder = directory + L"\\config\\original";
    hall.record = hall.recordFolder + L"\\InsChannel.as";
    hall.workingDirectory = hall.parent + L"cwd";
    hall.log = hall.parent + L"starts.log";
    placeStandIn(L"ludora.exe", directory);
    CreateDirectoryW(hall.workingDirectory.c_str(), nullptr);
    return hall;
  }

  void makeRecordFolder(const Hall& hall) {
    CreateDirectoryW((hall.directory + L"\\config").c_str(), nullptr);
    CreateDirectoryW(hall.recordFolder.c_str(), nullptr);
  }

  // Runs a copy of `channelId` on `hall`; returns its trace lines once the
  // launcher has ended and the hall's two starts are logged.
  TraceLines launch(const Hall& hall, int32_t channelId) {
    setRegistryString(HKEY_CURRENT_USER, kHallKey, kHallValue, hall.registryValue);
    SetEnvironmentVariableW(L"CHANNEL_TEST_LOG", hall.log.c_str());
    logs_.push_back(hall.log);
    const TraceLines lines = run(launcher(channelId), 60s, hall.workingDirectory);
    starts_ = waitForStarts(hall.log, 2);
    lastTrace_ = lines;
    return lines;
  }

  // Expects the run's trace: the start-up line, what the step wrote, the
  // sequence's own line and poll 1.
  static void expectTrace(const TraceLines& lines, int32_t channelId, Recording recording) {
    TraceLines expected{startupLine(kAppId, channelId)};
    if (recording == Recording::Written) expected.push_back(kRecordedLine);
    if (recording == Recording::NotRecorded && lines.size() == 4 && lines[1].starts_with(kNotRecordedPrefix) &&
        lines[1].ends_with(L"\r\n"))
      expected.push_back(lines[1]);  // the reason is free text
    expected.push_back(kRecordedLine);
    expected.push_back(pollLines(1).front());
    EXPECT_EQ(lines, expected) << shown(lines);
  }

  // Expects the last run's two hall starts, in `directory`.
  void expectHallStarted(const Hall& hall, const std::wstring& directory) const {
    ASSERT_EQ(starts_.size(), 2u) << "logged starts:\n" << shown(starts_) << "trace:\n" << shown(lastTrace_);
    expectHallStarts(starts_,
                     {hallCommand(hall.directory, L"ludora://ENTERAPP"),
                      hallCommand(hall.directory, L"ludora://ENTERAPP APPID:" + decimal(kAppId))},
                     directory);
  }

  // Expects the record file to hold `text` in `encoding` (with its mark),
  // enciphered, alone in its folder, and the store to read back `entries`.
  static void expectRecord(const Hall& hall, RecordEncoding encoding, const std::wstring& text,
                           const Entries& entries) {
    const std::optional<std::string> plain = decipher(readFileBytes(hall.record));
    ASSERT_TRUE(plain.has_value()) << "the record file is not enciphered";
    EXPECT_EQ(*plain, encodedText(encoding, text));
    ChannelRecordFile store;
    EXPECT_EQ(store.load(u16(hall.record)), 0);
    EXPECT_EQ(store.entries(), entries);
    EXPECT_EQ(store.encoding(), encoding);
    EXPECT_EQ(store.hasBom(), encoding == CodePage936 ? 0 : 1);
    EXPECT_EQ(folderNames(hall.recordFolder), std::vector<std::wstring>{L"InsChannel.as"});
  }

 private:
  // One stamped copy per channel, made on first use.
  std::wstring launcher(int32_t channelId) {
    auto found = launchers_.find(channelId);
    if (found == launchers_.end()) found = launchers_.emplace(channelId, stampedLauncher(channelId, kAppId)).first;
    return found->second;
  }

  std::optional<OwnHallWindow> window_;
  std::map<int32_t, std::wstring> launchers_;
  std::vector<std::wstring> logs_;
  std::vector<StandInStart> starts_;
  TraceLines lastTrace_;  // of the last run, for failure messages
};

// ---- The cache folder decides ----

enum class Cache {
  Missing,
  Empty,
  FreshFilesInSubfolder,
  OldFilesOnly,
  RecentHiddenAmongOld,
  FutureFileAmongOld,
  RecentSystemFileAmongOld,
  RecentFileListedAfterManyOld,  // 300 old files, then the recent one
  FileInItsPlace,  // "GPUCache" is a file; the launcher's own folder holds a fresh file
};

void prepareCache(const Hall& hall, Cache cache) {
  if (cache == Cache::Missing) return;
  const uint64_t now = currentFileTime();
  CreateDirectoryW((hall.parent + L"xwv_cache").c_str(), nullptr);
  if (cache == Cache::FileInItsPlace) {
    writeFileAt(hall.cache, "not a folder", now - 40 * kDay);
    writeFileAt(hall.workingDirectory + L"\\fresh", "fresh", now);
    return;
  }
  CreateDirectoryW(hall.cache.c_str(), nullptr);
  if (cache == Cache::FreshFilesInSubfolder) {
    CreateDirectoryW((hall.cache + L"\\index-dir").c_str(), nullptr);
    writeFileAt(hall.cache + L"\\index-dir\\the-real-index", "fresh", now);
  }
  if (cache == Cache::OldFilesOnly || cache == Cache::RecentHiddenAmongOld || cache == Cache::FutureFileAmongOld ||
      cache == Cache::RecentSystemFileAmongOld) {
    // Thirty days and an hour old, older, and a hidden one: none counts.
    writeFileAt(hall.cache + L"\\data_0", "old", now - 30 * kDay - kHour);
    writeFileAt(hall.cache + L"\\data_1", "old", now - 400 * kDay);
    writeFileAt(hall.cache + L"\\index", "old", now - 31 * kDay, FILE_ATTRIBUTE_HIDDEN);
  }
  if (cache == Cache::RecentHiddenAmongOld)
    writeFileAt(hall.cache + L"\\f_000001", "recent", now - 29 * kDay - 23 * kHour, FILE_ATTRIBUTE_HIDDEN);
  if (cache == Cache::FutureFileAmongOld) writeFileAt(hall.cache + L"\\f_000002", "future", now + kDay);
  if (cache == Cache::RecentSystemFileAmongOld) {
    const std::wstring recent = hall.cache + L"\\f_000003";
    writeFileAt(recent, "recent", now - kHour, FILE_ATTRIBUTE_SYSTEM);
    ASSERT_EQ(GetFileAttributesW(recent.c_str()) & FILE_ATTRIBUTE_SYSTEM, DWORD(FILE_ATTRIBUTE_SYSTEM))
        << "the system attribute did not hold";
  }
  if (cache == Cache::RecentFileListedAfterManyOld) {
    for (int i = 0; i < 300; ++i)
      writeFileAt(hall.cache + L"\\data_" + decimal(1000 + i).substr(1), "old", now - 31 * kDay - i * kHour);
    writeFileAt(hall.cache + L"\\zz_recent", "recent", now - kHour);
    const std::vector<std::wstring> listed = folderNames(hall.cache);
    ASSERT_EQ(listed.size(), 301u);
    ASSERT_EQ(listed.back(), L"zz_recent") << "the recent file is not listed last";
  }
}

TEST_F(InstallChannelE2E, CacheFolderDecidesWhetherTheChannelIsRecorded) {
  const struct {
    const char* name;
    Cache cache;
    int32_t channelId;
    bool trailingBackslash;
    Recording recording;
  } cases[] = {
      {"no cache folder", Cache::Missing, 1101010001, false, Recording::Written},
      {"empty cache folder", Cache::Empty, -42, true, Recording::Written},
      {"fresh files only in a subfolder", Cache::FreshFilesInSubfolder, 5, false, Recording::Written},
      {"old files only", Cache::OldFilesOnly, INT32_MIN, true, Recording::Written},
      {"a recent hidden file among old ones", Cache::RecentHiddenAmongOld, 1234, false, Recording::Skipped},
      {"a file from the future among old ones", Cache::FutureFileAmongOld, 1234, true, Recording::Skipped},
      {"a recent system file among old ones", Cache::RecentSystemFileAmongOld, 1234, false, Recording::Skipped},
      {"a recent file listed after 300 old ones", Cache::RecentFileListedAfterManyOld, 1234, true,
       Recording::Skipped},
      {"a file where the cache folder belongs", Cache::FileInItsPlace, INT32_MAX, false, Recording::Written},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Hall hall = makeHall(L"cache " + decimal(++index), c.trailingBackslash);
    prepareCache(hall, c.cache);
    const TraceLines lines = launch(hall, c.channelId);
    expectTrace(lines, c.channelId, c.recording);
    // The check leaves the cache folder current, and the hall starts there;
    // without one, in its own folder, not in the one the copy was run from.
    const bool cacheIsFolder = c.cache != Cache::Missing && c.cache != Cache::FileInItsPlace;
    expectHallStarted(hall, cacheIsFolder ? hall.cache : hall.directory);
    if (c.recording == Recording::Written) {
      // A new file: UTF-8 with its mark, the install channel alone.
      expectRecord(hall, Utf8, channelOnlyText(c.channelId),
                   {{u"installchannel#maincid", u16(decimal(c.channelId))}});
    } else {
      EXPECT_FALSE(pathExists(hall.directory + L"\\config")) << "the record folder was made";
    }
  }
}

// ---- Far from UTC ----

// File times are UTC, and so must be the "now" they are compared with: in a
// time zone 14 hours ahead of UTC a local "now" would make a file of 29 days
// and 23 hours look older than 30 days, and 12 hours behind UTC a file of 30
// days and an hour would look recent. ctest runs this once under
// TZ=Etc/GMT-14 (UTC+14) and once under TZ=Etc/GMT+12 (UTC-12); the launcher
// and the hall it starts inherit the zone.
class InstallChannelFarFromUtc : public InstallChannelE2E {};

TEST_F(InstallChannelFarFromUtc, RecentUseIsJudgedInUtc) {
  const long long offset = localTimeOffsetMinutes();
  if (offset > -120 && offset < 120)
    GTEST_SKIP() << "needs a time zone two hours or more from UTC (TZ=Etc/GMT-14 or TZ=Etc/GMT+12)";
  const struct {
    const char* name;
    uint64_t age;
    Recording recording;
  } cases[] = {
      {"29 days and 23 hours old", 30 * kDay - kHour, Recording::Skipped},
      {"30 days and an hour old", 30 * kDay + kHour, Recording::Written},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Hall hall = makeHall(L"zone " + decimal(++index), false);
    CreateDirectoryW((hall.parent + L"xwv_cache").c_str(), nullptr);
    CreateDirectoryW(hall.cache.c_str(), nullptr);
    writeFileAt(hall.cache + L"\\data_0", "cache", currentFileTime() - c.age);
    expectTrace(launch(hall, 1234), 1234, c.recording);
    expectHallStarted(hall, hall.cache);
    EXPECT_EQ(pathExists(hall.record), c.recording == Recording::Written);
    for (const StandInStart& start : readStarts(hall.log))
      EXPECT_EQ(start.localTimeOffsetMinutes, offset) << "the hall ran in another time zone than the test";
  }
}

// ---- An existing record file keeps its encoding ----

TEST_F(InstallChannelE2E, ExistingRecordFileIsRewrittenInItsEncodingAndEnciphered) {
  constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const struct {
    const char* name;
    RecordEncoding encoding;
    bool enciphered;
    int32_t channelId;
    bool trailingBackslash;
    DWORD attributes;
  } cases[] = {
      {"code page 936, enciphered", CodePage936, true, 1101010001, false, FILE_ATTRIBUTE_NORMAL},
      {"code page 936, plain", CodePage936, false, -7, true, FILE_ATTRIBUTE_NORMAL},
      {"UTF-8 with mark, enciphered", Utf8, true, 1234, true, FILE_ATTRIBUTE_NORMAL},
      {"UTF-8 with mark, plain, hidden", Utf8, false, 1101010001, false, FILE_ATTRIBUTE_HIDDEN},
      {"UTF-16LE with mark, enciphered, hidden system", Utf16Le, true, -7, false, kHiddenSystem},
      {"UTF-16LE with mark, plain", Utf16Le, false, 1234, true, FILE_ATTRIBUTE_NORMAL},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Hall hall = makeHall(L"encoding " + decimal(++index), c.trailingBackslash);
    makeRecordFolder(hall);
    // The plain files have no install channel yet; the enciphered ones have 7.
    const std::string text = encodedText(c.encoding, hallRecordText(c.enciphered));
    writeFileAt(hall.record, c.enciphered ? encipher(text) : text, currentFileTime(), c.attributes);
    expectTrace(launch(hall, c.channelId), c.channelId, Recording::Written);
    expectHallStarted(hall, hall.directory);
    expectRecord(hall, c.encoding, rewrittenHallRecordText(c.channelId), rewrittenHallRecordEntries(c.channelId));
    EXPECT_EQ(GetFileAttributesW(hall.record.c_str()) & kHiddenSystem, c.attributes & kHiddenSystem);
  }
}

// A file with no entries is written in what its bytes show: code page 936
// when empty, else the encoding of its mark.
TEST_F(InstallChannelE2E, RecordFileWithoutEntriesIsWrittenInTheEncodingOfItsBytes) {
  const struct {
    const char* name;
    std::string bytes;
    RecordEncoding encoding;
  } cases[] = {
      {"empty", "", CodePage936},
      {"a UTF-8 mark alone", "\xEF\xBB\xBF", Utf8},
      {"a UTF-16LE mark alone, enciphered", encipher("\xFF\xFE"), Utf16Le},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Hall hall = makeHall(L"no entries " + decimal(++index), true);
    makeRecordFolder(hall);
    writeFile(hall.record, c.bytes);
    expectTrace(launch(hall, 77), 77, Recording::Written);
    expectRecord(hall, c.encoding, channelOnlyText(77), {{u"installchannel#maincid", u"77"}});
  }
}

// ---- Files the step must leave alone ----

TEST_F(InstallChannelE2E, RecordFileThatCannotBeReplacedIsLeftAsItWas) {
  const std::string original = encipher(encodedText(Utf8, hallRecordText(true)));
  const struct {
    const char* name;
    void (*prepare)(const Hall& hall, const std::string& original);
  } cases[] = {
      {"read-only file",
       [](const Hall& hall, const std::string& bytes) {
         writeFileAt(hall.record, bytes, currentFileTime(), FILE_ATTRIBUTE_READONLY);
       }},
      {"a folder in its place",
       [](const Hall& hall, const std::string&) {
         CreateDirectoryW(hall.record.c_str(), nullptr);
         writeFile(hall.record + L"\\inside", "kept");
       }},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ++index;
    const Hall hall = makeHall(L"unwritable " + decimal(index), index % 2 == 0);
    makeRecordFolder(hall);
    c.prepare(hall, original);
    expectTrace(launch(hall, 1234), 1234, Recording::NotRecorded);
    expectHallStarted(hall, hall.directory);
    EXPECT_EQ(folderNames(hall.recordFolder), std::vector<std::wstring>{L"InsChannel.as"}) << "a temporary file stayed";
    const DWORD attributes = GetFileAttributesW(hall.record.c_str());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      EXPECT_EQ(folderNames(hall.record), std::vector<std::wstring>{L"inside"});
      EXPECT_EQ(readFileBytes(hall.record + L"\\inside"), "kept");
    } else {
      EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
      EXPECT_EQ(readFileBytes(hall.record), original);
      SetFileAttributesW(hall.record.c_str(), FILE_ATTRIBUTE_NORMAL);  // so that the scratch folder can go
    }
  }
}

// Another program (file_holder.exe) holds the file all through the run. One
// that lets others write it, as a C runtime's "rb" does, sees the channel
// written into the file itself, every entry kept. One that lets nobody in
// keeps the launcher from reading it whole, so it must not be replaced with
// the channel alone: it stays byte for byte, and the trace says why. The
// hall starts twice either way, and nothing else is left in the folder.
TEST_F(InstallChannelE2E, RecordFileHeldOpenByAnotherProgram) {
  const struct {
    const wchar_t* share;
    bool recorded;
  } cases[] = {{L"rw", true}, {L"-", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.share);
    const Hall hall = makeHall(std::wstring(L"held ") + (c.recorded ? L"sharing" : L"alone"), false);
    makeRecordFolder(hall);
    const std::string original = encipher(encodedText(Utf16Le, hallRecordText(true)));
    writeFile(hall.record, original);
    FileHolder holder(hall.record, c.share, 30000);
    ASSERT_TRUE(holder.holding());
    const TraceLines lines = launch(hall, 1234);
    holder.stop();
    expectTrace(lines, 1234, c.recorded ? Recording::Written : Recording::NotRecorded);
    expectHallStarted(hall, hall.directory);
    if (c.recorded) {
      expectRecord(hall, Utf16Le, rewrittenHallRecordText(1234), rewrittenHallRecordEntries(1234));
    } else {
      EXPECT_EQ(readFileBytes(hall.record), original);
      ASSERT_EQ(lines.size(), 4u);
      EXPECT_EQ(lines[1], std::wstring(kNotRecordedPrefix) +
                              L"the record file was left as it was: open failed, error 32 (held by another program)\r\n");
    }
    EXPECT_EQ(folderNames(hall.recordFolder), std::vector<std::wstring>{L"InsChannel.as"});
  }
}

// A hall directory short enough for "ludora.exe" but too long for
// "config\original\InsChannel.as": the hall starts, nothing is made.
TEST_F(InstallChannelE2E, RecordPathBeyondThePathLimitIsNotRecorded) {
  const Hall hall = makeHallIn(scratch_.deepPath(236, kHallName), true);
  ASSERT_LE((hall.directory + L"\\ludora.exe").size(), size_t(MAX_PATH - 1));
  ASSERT_GT(hall.record.size(), size_t(MAX_PATH - 1));
  expectTrace(launch(hall, 1234), 1234, Recording::NotRecorded);
  expectHallStarted(hall, hall.directory);
  EXPECT_FALSE(pathExists(hall.directory + L"\\config"));
}

// Recent use: the file is not touched, whatever it holds.
TEST_F(InstallChannelE2E, RecentUseLeavesAnExistingRecordFileAlone) {
  const Hall hall = makeHall(L"recent", true);
  prepareCache(hall, Cache::RecentHiddenAmongOld);
  makeRecordFolder(hall);
  const std::string original = encipher(encodedText(CodePage936, hallRecordText(true)));
  writeFileAt(hall.record, original, currentFileTime() - 100 * kDay);
  expectTrace(launch(hall, 1234), 1234, Recording::Skipped);
  expectHallStarted(hall, hall.cache);
  EXPECT_EQ(readFileBytes(hall.record), original);
  EXPECT_EQ(folderNames(hall.recordFolder), std::vector<std::wstring>{L"InsChannel.as"});
}

}  // namespace
