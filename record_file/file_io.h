// Whole-file access by UTF-16 path for the record-file store. The Windows
// build opens files with the platform's wide-path calls (windows/file_io_win.cpp); the
// native build converts the path to UTF-8 (native/file_io_posix.cpp). Every
// write goes through a set of file operations that the caller may hand in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "record_file/file_status.h"

// An open file of the platform as a number: a Windows HANDLE or a POSIX descriptor.
using PlatformFile = intptr_t;

// The platform calls through which new files are written, flushed and put in
// place. systemFileOperations() makes them; a test hands in others that fail
// at one stage, as a full disk or a failing device would. Each returns 0 or
// the platform's error code.
struct FileOperations {
  // Writes up to `count` bytes of `data` to `file`; `written` receives how many.
  std::function<uint32_t(PlatformFile file, const uint8_t* data, size_t count, size_t& written)> write;
  // Flushes what was written to `file` to the disk.
  std::function<uint32_t(PlatformFile file)> flush;
  // Flushes every file of the file system that holds `file` (POSIX syncfs);
  // where the platform has no such call it flushes `file` alone.
  std::function<uint32_t(PlatformFile file)> flushFileSystem;
  // Renames the file `from` to `to`, replacing a file there.
  std::function<uint32_t(const std::u16string& from, const std::u16string& to)> rename;
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

// Reads the whole file at path in byte mode.
FileReadResult readWholeFile(std::u16string_view path);

// Replaces the file at path with bytes, or creates it: writes a new file in
// the same folder, flushes it to the disk and renames it over path, all
// through `files`. Ok when path holds exactly bytes; otherwise the stage that
// failed, path is as it was and the new file is deleted.
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

// For the implementations, per platform: writes a new file beside `target`
// holding `bytes` (flushed to the disk when `flush`), closed, and sets
// `newFile` to its path. On failure, or when `target` is a file that may not
// be written, leaves nothing behind and returns the stage that failed.
FileStatus writeNewFile(std::u16string_view target, std::span<const uint8_t> bytes, bool flush,
                        const FileOperations& files, std::u16string& newFile);
// Flushes new files written without `flush` to the disk.
FileStatus flushNewFiles(const std::vector<std::u16string>& newFiles, const FileOperations& files);
// Renames `newFile` over `target`; deletes `newFile` when that fails.
FileStatus putNewFileInPlace(const std::u16string& newFile, std::u16string_view target, const FileOperations& files);
void deleteNewFile(const std::u16string& newFile);
