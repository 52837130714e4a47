// The Windows file layer where the platform decides: files held open by
// another program, read-only files and wide paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/unique_handle_win.h"
#include "common/wide_win.h"
#include "file_io/file_io.h"
#include "file_io/file_io_platform.h"  // systemPath
#include "tests/support/record_file/file_holder_win.h"

namespace {

// Files in it are made writable before it goes (some tests make them read-only).
class Folder : public ScratchFolder {
 public:
  Folder() : ScratchFolder(L"file io \u6D4B\u8BD5") {}
  ~Folder() {
    for (const std::wstring& name : names()) SetFileAttributesW(file(name).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
};

std::u16string u16(const std::wstring& text) { return std::u16string(as_u16view(text)); }

void put(const std::wstring& path, const std::string& bytes) {
  ASSERT_TRUE(replaceFileContents(u16(path), {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}).ok());
}

std::string contents(const std::wstring& path) {
  FileReadResult read = readWholeFile(u16(path));
  EXPECT_EQ(read.status, FileReadStatus::Read);
  return std::string(read.bytes.begin(), read.bytes.end());
}

const std::vector<uint8_t> kNew = {'n', 'e', 'w'};

TEST(FileIoWin, ReadsAndReplacesByWidePath) {
  Folder folder;
  std::wstring path = folder.file(L"\u5927\u5385 InsChannel.as");
  EXPECT_EQ(readWholeFile(u16(path)).status, FileReadStatus::Missing);
  EXPECT_EQ(readWholeFile(u16(folder.file(L"no such folder\\x"))).status, FileReadStatus::Missing);
  put(path, "old");
  EXPECT_EQ(contents(path), "old");
  put(path, "");
  EXPECT_EQ(contents(path), "");
  EXPECT_EQ(folder.names(), std::vector<std::wstring>{L"\u5927\u5385 InsChannel.as"});
}

TEST(FileIoWin, FileLockedByAnotherHandleIsNeitherReadNorReplaced) {
  Folder folder;
  std::wstring path = folder.file(L"InsChannel.as");
  put(path, "old");
  UniqueHandle lock =
      uniqueFile(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(lock, nullptr);
  const FileReadResult read = readWholeFile(u16(path));
  EXPECT_EQ(read.status, FileReadStatus::Failed) << "a locked file is not a missing one";
  EXPECT_EQ(read.failure, (FileStatus{FileStage::Open, ERROR_SHARING_VIOLATION}));
  const FileStatus replaced = replaceFileContents(u16(path), kNew);
  EXPECT_EQ(replaced.stage, FileStage::Rename) << "the new file was written, the held one not replaced";
  EXPECT_NE(replaced.error, 0u);
  lock.reset();
  EXPECT_EQ(contents(path), "old");
  EXPECT_EQ(folder.names().size(), 1u) << "the new file was left behind";
}

TEST(FileIoWin, ReadOnlyFileStaysAndNoTemporaryIsLeft) {
  Folder folder;
  std::wstring path = folder.file(L"InsChannel.as");
  put(path, "old");
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(replaceFileContents(u16(path), kNew), (FileStatus{FileStage::Refused, ERROR_ACCESS_DENIED}));
  EXPECT_EQ(contents(path), "old");
  EXPECT_EQ(folder.names().size(), 1u);
}

TEST(FileIoWin, HiddenAndSystemMarksAreKept) {
  Folder folder;
  std::wstring path = folder.file(L"InsChannel.as");
  put(path, "old");
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  put(path, "new");
  EXPECT_EQ(contents(path), "new");
  const DWORD attributes = GetFileAttributesW(path.c_str());
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(folder.names().size(), 1u);
}

// Another program holds the file the way scanners, indexers and readers do
// (file_holder.exe): for a quarter of a second, the read and the write wait
// it out, whatever the holder lets others do.
TEST(FileIoWin, AShortHoldByAnotherProgramIsWaitedOut) {
  for (const wchar_t* share : {L"-", L"r", L"rw"}) {
    SCOPED_TRACE(share);
    Folder folder;
    const std::wstring path = folder.file(L"InsChannel.as");
    put(path, "old");
    {
      FileHolder holder(path, share, 250);
      ASSERT_TRUE(holder.holding());
      EXPECT_EQ(contents(path), "old");
    }
    FileHolder holder(path, share, 250);
    ASSERT_TRUE(holder.holding());
    EXPECT_TRUE(replaceFileContents(u16(path), kNew).ok());
    holder.wait();
    EXPECT_EQ(contents(path), "new");
    EXPECT_EQ(folder.names().size(), 1u);
  }
}

// A hold that lasts: a holder that lets others write the file gets the new
// bytes written into the file itself; one that does not keeps the old bytes.
// Nothing else is left in the folder.
TEST(FileIoWin, ALongHoldIsRewrittenInPlaceOrLeftAlone) {
  struct Case {
    const wchar_t* share;
    bool written;
  } cases[] = {{L"-", false}, {L"r", false}, {L"rd", false}, {L"rw", true}, {L"rwd", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.share);
    Folder folder;
    const std::wstring path = folder.file(L"InsChannel.as");
    put(path, "the old, longer bytes");
    FileHolder holder(path, c.share, 20000);
    ASSERT_TRUE(holder.holding());
    const DWORD started = GetTickCount();
    const FileStatus status = replaceFileContents(u16(path), kNew);
    const DWORD took = GetTickCount() - started;
    holder.stop();
    std::printf("hold %ls: %s in %lu ms\n", c.share, status.ok() ? "written" : "refused", took);
    if (c.written) {
      EXPECT_TRUE(status.ok()) << fileStageName(status.stage) << " " << status.error;
      EXPECT_EQ(contents(path), "new");
    } else {
      EXPECT_EQ(status, (FileStatus{FileStage::Rename, ERROR_SHARING_VIOLATION}));
      EXPECT_EQ(contents(path), "the old, longer bytes");
    }
    EXPECT_EQ(folder.names(), std::vector<std::wstring>{L"InsChannel.as"});
  }
}

TEST(FileIoWin, FolderIsNotAFile) {
  Folder folder;
  std::wstring path = folder.file(L"sub");
  CreateDirectoryW(path.c_str(), nullptr);
  EXPECT_EQ(readWholeFile(u16(path)).status, FileReadStatus::Failed);
  EXPECT_EQ(replaceFileContents(u16(path), kNew), (FileStatus{FileStage::Refused, ERROR_DIRECTORY}));
  EXPECT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  RemoveDirectoryW(path.c_str());
  EXPECT_TRUE(folder.names().empty());
}

// Wine opens plain paths of any length, so the extended form that Windows
// needs beyond 260 characters is proven on the paths themselves.
TEST(FileIoWin, PathsBeyondTheLimitReachTheSystemInTheExtendedForm) {
  const std::wstring a(150, L'a'), b(150, L'b');
  const std::wstring deep = L"C:\\" + a + L"\\" + b;
  const struct {
    std::wstring given, system;
  } cases[] = {
      {L"C:\\Hall\\InsChannel.as", L"C:\\Hall\\InsChannel.as"},
      {L"InsChannel.as", L"InsChannel.as"},
      {deep, L"\\\\?\\" + deep},
      {L"C:/" + a + L"/x/../" + b, L"\\\\?\\" + deep},
      {L"\\\\server\\share\\" + a + L"\\" + b, L"\\\\?\\UNC\\server\\share\\" + a + L"\\" + b},
      {L"\\\\?\\" + deep, L"\\\\?\\" + deep},
  };
  for (const auto& c : cases) EXPECT_EQ(systemPath(c.given), c.system) << c.given;
}

}  // namespace
