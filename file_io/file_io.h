// Whole-file access by UTF-16 path, for the record-file store and the tools:
// a whole file read, a file replaced crash-safely (a new file beside it,
// flushed, renamed over it), many files replaced with one flush. The Windows
// build opens files with the platform's wide-path calls (windows/file_io_win.cpp);
// the native build converts the path to UTF-8 (native/file_io_native.cpp).
// Every read and write goes through a set of file operations that the caller
// may hand in. What each platform half provides is in file_io_platform.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "file_io/file_status.h"

// An open file of the platform as a number: a Windows HANDLE or a POSIX descriptor.
using PlatformFile = intptr_t;

enum class OpenMode {
  Read,       // an existing file, for reading; others may go on reading and writing it
  CreateNew,  // a new file, for writing; fails when something has that name
  Rewrite,    // an existing file, for writing over from its start (not
              // emptied); others may go on reading and writing it
};

// The platform calls through which files are opened, written, flushed and
// put in place. systemFileOperations() makes them; a test hands in others
// that fail at one stage, as a full disk, a failing device or another
// program holding the file would. Each returns 0 or the platform's error code.
struct FileOperations {
  // Opens `path` as `mode` says; `file` receives the open file, which the
  // caller closes with the platform's own call.
  std::function<uint32_t(const std::u16string& path, OpenMode mode, PlatformFile& file)> open;
  // Reads up to `count` bytes of `file` into `data`; `read` receives how
  // many (0 at the end of the file).
  std::function<uint32_t(PlatformFile file, uint8_t* data, size_t count, size_t& read)> read;
  // Why the file at `path` may not be replaced (a read-only file, a folder,
  // no access), or 0 when it may or is not there. Asked before anything is
  // written, so that such a file is never written over by any way round.
  std::function<uint32_t(const std::u16string& path)> writeRefusal;
  // Writes up to `count` bytes of `data` to `file`; `written` receives how many.
  std::function<uint32_t(PlatformFile file, const uint8_t* data, size_t count, size_t& written)> write;
  // Flushes what was written to `file` to the disk.
  std::function<uint32_t(PlatformFile file)> flush;
  // Flushes every file of the file system that holds `file` (POSIX syncfs);
  // where the platform has no such call it flushes `file` alone.
  std::function<uint32_t(PlatformFile file)> flushFileSystem;
  // Renames the file `from` to `to`, replacing a file there.
  std::function<uint32_t(const std::u16string& from, const std::u16string& to)> rename;
  // Waits between tries while another program holds a file.
  std::function<void(uint32_t milliseconds)> pause;
  // Whether `error` says that another program holds the file for now (a
  // sharing or lock conflict), so that trying again a little later may work.
  // Without it, or without pause, nothing is tried again.
  bool (*isHeld)(uint32_t error) = nullptr;
  // Whether `error` says that this user may not do it (no access, not
  // permitted): creating a new file where that is refused gets it for good.
  bool (*isNoAccess)(uint32_t error) = nullptr;
};

// The tries of one read or one write while another program holds its file:
// a virus scanner or an indexer opens a file right after it was written, for
// a moment. run() tries again after growing pauses, about half a second in
// all for everything the retry is used for; a free file costs nothing extra.
class HoldRetry {
 public:
  explicit HoldRetry(const FileOperations& files) : files_(files) {}

  // attempt() (0 or an error code) until it succeeds, fails otherwise than
  // by a hold (or with an error `isFinal` names), or the pauses are spent;
  // the last result.
  template <class Attempt>
  uint32_t run(Attempt attempt, bool (*isFinal)(uint32_t error) = nullptr) {
    uint32_t error = attempt();
    while (error != 0 && files_.isHeld != nullptr && files_.pause && files_.isHeld(error) &&
           (isFinal == nullptr || !isFinal(error)) && next_ < std::size(kPauses)) {
      files_.pause(kPauses[next_++]);
      error = attempt();
    }
    return error;
  }

  // The pauses in milliseconds, 500 in all.
  static constexpr uint32_t kPauses[] = {10, 20, 30, 40, 50, 60, 90, 100, 100};

 private:
  const FileOperations& files_;
  size_t next_ = 0;
};

// The platform's own file operations (one set for the process).
const FileOperations& systemFileOperations();

enum class FileReadStatus {
  Read,     // bytes holds the whole file
  Missing,  // no file (or no folder) at the path
  Failed,   // the file is there but could not be read whole: no access, a
            // folder, a failed size query or a short read
};

struct FileReadResult {
  FileReadStatus status = FileReadStatus::Failed;
  // Why the file was not read, when status is Failed: Open (with the
  // platform's code), or Read (a folder, a failed size query, a short read).
  FileStatus failure;
  std::vector<uint8_t> bytes;
};

// Reads the whole file at path in byte mode, through `files`: an open that
// another program's hold refuses is tried again for about half a second.
// A failed read names its stage (Open, or Read with the code of the failed
// read or 0 for a file that ended early) in `failure`.
FileReadResult readWholeFile(std::u16string_view path, const FileOperations& files = systemFileOperations());

// Replaces the file at path with bytes, or creates it: writes a new file in
// the same folder, flushes it to the disk and puts it in place of path, all
// through `files`. A file that may not be written (files.writeRefusal) is
// refused (FileStage::Refused) before anything else. Creating the new file
// and putting it in place are tried again for about half a second in all
// while another program holds a file; what is done once a step has failed for
// good is fallBackAfter's to say. Ok when path holds exactly bytes; otherwise
// the stage that failed and path is as it was, except for FileStage::Rewrite:
// a rewrite in place that failed part-way may have damaged it. Either way the
// new file is gone, and so are the new files of this naming that writes ended
// before their time left in the folder more than a minute ago.
FileStatus replaceFileContents(std::u16string_view path, std::span<const uint8_t> bytes,
                               const FileOperations& files = systemFileOperations());

// What a replacement does once a step has failed for good (after the tries
// that a hold gets): give up with that failure, or write the new bytes over
// the file itself (written over, cut to length and flushed, locked against
// readers on Windows). It falls back in place when putting the new file in
// place was refused by a hold that outlasted the tries (the holder, a C
// runtime's "rb" or an editor, keeps the old name in use, and writing into
// the file itself is how such a file is changed), and when creating the new
// file was refused for lack of access (a hall installed for all users whose
// installer lets users write the file but not create files beside it). A
// refused target (read-only, a folder, no access) never gets here.
enum class AfterFailure { GiveUp, RewriteInPlace };
AfterFailure fallBackAfter(const FileStatus& failed, const FileOperations& files);

// Replaces (or creates) many files, each as replaceFileContents does (a new
// file beside it, on the disk before it is renamed over the old one), with one
// flush for all of them: add() writes each new file, commit() flushes them
// together and then renames each over its path, in the order added. New files
// not put in place are deleted, by commit or at the latest by the destructor.
// `files` must outlive the writer.
class FileSetWriter {
 public:
  explicit FileSetWriter(const FileOperations& files = systemFileOperations()) : files_(files) {}
  ~FileSetWriter();
  FileSetWriter(const FileSetWriter&) = delete;
  FileSetWriter& operator=(const FileSetWriter&) = delete;

  // Writes `bytes` into a new file beside `path` (refused, as by
  // replaceFileContents, when `path` may not be written). On failure no new
  // file is left for it, `path` is as it was, and the stage that failed is
  // returned.
  FileStatus add(std::u16string_view path, std::span<const uint8_t> bytes);

  struct Committed {
    // How many paths now hold their new bytes: all of them; none when the
    // flush fails (every path is as it was); or, when a rename fails, those
    // before it (the rest are as they were).
    size_t placed = 0;
    // Why not all were placed (ok when they were).
    FileStatus status;
  };
  // Flushes every new file to the disk, then renames each over its path.
  Committed commit();

 private:
  struct Pending {
    std::u16string target;
    std::u16string newFile;
  };
  const FileOperations& files_;
  std::vector<Pending> pending_;
};
