#include "file_io/file_io.h"
#include "file_io/file_io_platform.h"  // the naming of new files

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <iterator>
#include <numeric>

#include "common/decimal_text.h"
#include "file_io/file_status.h"
#include "tests/support/file_io/failing_file_operations.h"
#include "tests/support/file_io/scratch_files.h"

namespace {

// The pauses HoldRetry makes before its first `tries` retries (all of them: the
// half second a read or a write waits in all).
uint32_t pausesBefore(size_t tries = std::size(HoldRetry::kPauses)) {
  return std::accumulate(std::begin(HoldRetry::kPauses), std::begin(HoldRetry::kPauses) + tries, 0u);
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

// Each step of a replacement that fails says which it was, leaves the file as
// it was and no new file beside it, for a single file and for a batch alike.
// A file the operations refuse is never written by any way round: not even a
// hold on the rename that outlasts its tries (which gets other files
// rewritten in place) reaches it, though root could write it.
TEST(ReplaceFile, EachFailingStepIsNamedAndLeavesTheFileAsItWas) {
  TempFolder folder;
  const struct {
    WriteFault fault;
    size_t bytes;
    bool renameHeldToo;
    FileStatus failure;
  } cases[] = {
      {WriteFault::Refused, 0, false, {FileStage::Refused, kAccessDeniedError}},
      {WriteFault::Refused, 0, true, {FileStage::Refused, kAccessDeniedError}},
      {WriteFault::Write, 0, false, {FileStage::Write, kDiskFullError}},
      {WriteFault::Write, 2, false, {FileStage::Write, kDiskFullError}},
      {WriteFault::Flush, 0, false, {FileStage::Flush, kDeviceError}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.fault) << " after " << c.bytes << (c.renameHeldToo ? ", held" : ""));
    writeFile(folder.file(), bytesOf("old"));
    FileOperations files = failingFileOperations(c.fault, c.bytes);
    int writesOpened = 0;
    files.open = [system = files.open, &writesOpened](const std::u16string& path, OpenMode mode, PlatformFile& file) {
      writesOpened += mode != OpenMode::Read;
      return system(path, mode, file);
    };
    if (c.renameHeldToo) {
      files.isHeld = [](uint32_t error) { return error == kHeldError; };
      files.pause = [](uint32_t) {};
      files.rename = [](const std::u16string&, const std::u16string&) { return kHeldError; };
    }
    EXPECT_EQ(replaceFileContents(folder.file().u16string(), bytesOf("new"), files), c.failure);
    {
      FileSetWriter batch(files);
      FileStatus status = batch.add(folder.file().u16string(), bytesOf("new"));
      if (status.ok()) status = batch.commit().status;  // a batch flushes at its commit
      EXPECT_EQ(status, c.failure);
      EXPECT_EQ(folder.contents(), std::vector<fs::path>{fs::path("InsChannel.as")}) << "the failure left nothing";
    }
    if (c.fault == WriteFault::Refused) EXPECT_EQ(writesOpened, 0) << "nothing was opened for writing";
    EXPECT_EQ(readFile(folder.file()), bytesOf("old"));
    EXPECT_EQ(folder.contents(), std::vector<fs::path>{fs::path("InsChannel.as")});
  }
}

// A folder that lets this user write the file but not create files beside
// it (a hall installed for all users): the file is rewritten in place at
// once, without waiting as for a hold. A file that is not there, or may not
// be written, stays as it was; a batch, which never rewrites in place, fails.
TEST(ReplaceFile, AFolderThatRefusesNewFilesGetsTheFileRewrittenInPlace) {
  TempFolder folder;
  const struct {
    bool exists;
    bool readOnly;
    FileStatus result;
  } cases[] = {
      {true, false, {}},
      {false, false, {FileStage::Create, kAccessDeniedError}},
      {true, true, {FileStage::Refused, kAccessDeniedError}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.exists ? "there" : "missing") << (c.readOnly ? ", read-only" : ""));
    fs::remove(folder.file());
    if (c.exists) writeFile(folder.file(), bytesOf("the old, longer contents"));
    FileOperations files = failingFileOperations(WriteFault::Create);
    uint32_t paused = 0;
    files.pause = [&paused](uint32_t milliseconds) { paused += milliseconds; };
    if (c.readOnly) files.writeRefusal = [](const std::u16string&) { return kAccessDeniedError; };
    EXPECT_EQ(replaceFileContents(folder.file().u16string(), bytesOf("new"), files), c.result);
    EXPECT_EQ(paused, 0u) << "no hold to wait out";
    if (c.exists) EXPECT_EQ(readFile(folder.file()), bytesOf(c.result.ok() ? "new" : "the old, longer contents"));
    EXPECT_EQ(folder.contents().size(), c.exists ? 1u : 0u) << "nothing beside it";
    FileSetWriter batch(files);
    EXPECT_EQ(batch.add(folder.file().u16string(), bytesOf("new")).stage,
              c.readOnly ? FileStage::Refused : FileStage::Create);
  }
}

// A read that fails part-way, or a file that ends before its size, is no
// whole file: the failed read's code, or 0 for the early end, and no bytes.
TEST(ReadFile, AReadThatFailsOrEndsEarlyGivesNoBytes) {
  TempFolder folder;
  writeFile(folder.file(), bytesOf("0123456789"));
  const struct {
    size_t bytesBeforeFailure;
    uint32_t error;  // 0: the read finds the end of the file there
  } cases[] = {{0, kDeviceError}, {4, kDeviceError}, {4, 0}, {9, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bytesBeforeFailure << " bytes, error " << c.error);
    FileOperations files = systemFileOperations();
    files.read = [system = files.read, left = c.bytesBeforeFailure, c](PlatformFile file, uint8_t* data, size_t count,
                                                                        size_t& read) mutable {
      read = 0;
      if (left == 0) return c.error;
      const uint32_t error = system(file, data, std::min<size_t>(count, 1), read);
      left -= read;
      return error;
    };
    const FileReadResult result = readWholeFile(folder.file().u16string(), files);
    EXPECT_EQ(result.status, FileReadStatus::Failed);
    EXPECT_EQ(result.failure, (FileStatus{FileStage::Read, c.error}));
    EXPECT_TRUE(result.bytes.empty());
  }
  EXPECT_EQ(readWholeFile(folder.file().u16string()).bytes, bytesOf("0123456789")) << "the system's read reads it";
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
    EXPECT_EQ(log.pausedMilliseconds, pausesBefore(3));
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
    EXPECT_EQ(log.pausedMilliseconds, pausesBefore());
  }
  {
    HoldLog log;
    EXPECT_EQ(replaceFileContents(folder.file().u16string(), bytesOf("new"), heldFileOperations(HeldAt::Create, 1000, log)),
              (FileStatus{FileStage::Create, kHeldError}));
    EXPECT_EQ(log.pausedMilliseconds, pausesBefore());
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
    EXPECT_EQ(log.pausedMilliseconds, pausesBefore()) << "creation and rename share the half second";
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

TEST(FileStatusText, TheSystemsWordsStandInTheParentheses) {
  const struct {
    FileStatus status;
    std::u16string_view systemText;
    std::u16string expected;
  } cases[] = {
      {{FileStage::Write, 112}, u"There is not enough space on the disk",
       u"write failed, error 112 (There is not enough space on the disk)"},
      {{FileStage::Open, kErrorPathTooLong}, u"", u"open failed, error 206 (path too long)"},
      {{FileStage::Write, kDeviceError}, u"", u"write failed, error " + decimalText(kDeviceError)},
      {{FileStage::Read, 0}, u"The operation completed successfully", u"read failed"},
  };
  for (const auto& c : cases) EXPECT_EQ(describeFileStatus(c.status, c.systemText), c.expected);
}

TEST(FileStatusText, ThePlatformHasWordsForItsOwnCodesOnly) {
  const std::u16string diskFull = platformErrorText(kDiskFullError);
  ASSERT_FALSE(diskFull.empty());
  EXPECT_EQ(std::u16string_view(u"\r\n .").find(diskFull.back()), std::u16string_view::npos)
      << "no line end or full stop at the end";
  EXPECT_EQ(platformErrorText(0xFFFFFFF0u), u"");
#ifndef _WIN32
  EXPECT_EQ(platformErrorText(kErrorOutOfMemory), u"") << "the store's code, not ENOEXEC, on this build";
#endif
}

}  // namespace
