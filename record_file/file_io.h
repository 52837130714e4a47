// Whole-file access by UTF-16 path for the record-file store. The Windows
// build opens files with the platform's wide-path calls (windows/file_io_win.cpp); the
// native build converts the path to UTF-8 (native/file_io_posix.cpp). Every
// write goes through a set of file operations that the caller may hand in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "record_file/file_status.h"

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
};

// The tries of one read or one write while another program holds its file:
// a virus scanner or an indexer opens a file right after it was written, for
// a moment. run() tries again after growing pauses, about half a second in
// all for everything the retry is used for; a free file costs nothing extra.
class HoldRetry {
 public:
  explicit HoldRetry(const FileOperations& files) : files_(files) {}

  // attempt() (0 or an error code) until it succeeds, fails otherwise than
  // by a hold, or the pauses are spent; the last result.
  template <class Attempt>
  uint32_t run(Attempt attempt) {
    uint32_t error = attempt();
    while (error != 0 && files_.isHeld != nullptr && files_.pause && files_.isHeld(error) &&
           next_ < std::size(kPauses)) {
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
FileReadResult readWholeFile(std::u16string_view path, const FileOperations& files = systemFileOperations());

// Replaces the file at path with bytes, or creates it: writes a new file in
// the same folder, flushes it to the disk and puts it in place of path, all
// through `files`. Creating the new file and putting it in place are tried
// again for about half a second in all while another program holds a file.
// When the old file is still held then, by a program that lets others write
// it, it is rewritten in place with bytes instead (written over, cut to
// length and flushed, locked against readers on Windows). Ok when path holds
// exactly bytes; otherwise the stage that failed and path is as it was,
// except for FileStage::Rewrite: a rewrite in place that failed part-way may
// have damaged it. Either way the new file is gone, and so are the new files
// of this naming that writes ended before their time left in the folder more
// than a minute ago.
FileStatus replaceFileContents(std::u16string_view path, std::span<const uint8_t> bytes,
                               const FileOperations& files = systemFileOperations());

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

  // Writes `bytes` into a new file beside `path`. On failure no new file is
  // left for it, `path` is as it was, and the stage that failed is returned.
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

// For the implementations: reads a file of size bytes with readChunk(data,
// count), which returns the bytes it read (0 at the end or on failure). Read
// with the bytes when all size bytes arrived, Failed (stage Read) with none
// otherwise.
template <class ReadChunk>
FileReadResult readExactly(size_t size, ReadChunk readChunk) {
  FileReadResult result;
  result.bytes.resize(size);
  size_t done = 0;
  while (done < size) {
    size_t n = readChunk(result.bytes.data() + done, size - done);
    if (n == 0) break;
    done += n;
  }
  if (done != size) {
    result.bytes.clear();
    result.failure = {FileStage::Read, 0};
    return result;
  }
  result.status = FileReadStatus::Read;
  return result;
}

// For the implementations, per platform: the platform's own operations, which
// systemFileOperations() makes once.
FileOperations makeSystemFileOperations();

// For the implementations: writes all `count` bytes of `data` with
// files.write; ok, or the Write failure (a write that puts nothing down fails
// with the code it gave, or `noProgress` when it gave none).
FileStatus writeAll(const FileOperations& files, PlatformFile file, const uint8_t* data, size_t count,
                    uint32_t noProgress);

// For the implementations: renames `newFile` over `target` with
// files.rename, tried again through `retry`; deletes `newFile` when that fails.
FileStatus putNewFileInPlace(const std::u16string& newFile, std::u16string_view target, const FileOperations& files,
                             HoldRetry& retry);

// For the implementations, per platform: writes a new file beside `target`
// holding `bytes` (flushed to the disk when `flush`), closed, and sets
// `newFile` to its path; its creation is tried again through `retry`. On
// failure, or when `target` is a file that may not be written, leaves
// nothing behind and returns the stage that failed.
FileStatus writeNewFile(std::u16string_view target, std::span<const uint8_t> bytes, bool flush,
                        const FileOperations& files, HoldRetry& retry, std::u16string& newFile);
// Flushes new files written without `flush` to the disk.
FileStatus flushNewFiles(const std::vector<std::u16string>& newFiles, const FileOperations& files);
// Writes `bytes` over the contents of the existing file `target` (opened as
// OpenMode::Rewrite), cuts it to their length and flushes it: for a file
// that another program holds and lets others write. On Windows the whole
// file is locked meanwhile, so that a reader (a second writer among them)
// is refused and tries again rather than reading half a file (Wine does not
// enforce the lock). Open when nothing was written; Rewrite when it failed
// after.
FileStatus rewriteInPlace(std::u16string_view target, std::span<const uint8_t> bytes, const FileOperations& files);
void deleteNewFile(const std::u16string& newFile);
// Deletes the new files of this naming beside the absolute path `target`
// that were last written more than a minute ago: writes killed before their
// end left them. Files of other names, folders and younger files stay.
void removeOldNewFiles(std::u16string_view target);

// Whether `name` (a file name without folder) is one this platform's
// writeNewFile gives new files beside `targetName`: on Windows "~ic", six
// lowercase hex digits and ".tmp"; elsewhere targetName, ".", the process
// number, ".", hex digits, ".", a counter and ".tmp".
bool isNewFileName(std::u16string_view name, std::u16string_view targetName);
