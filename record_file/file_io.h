// Whole-file access by UTF-16 path for the record-file store. The Windows
// build opens files with the platform's wide-path calls (file_io_win.cpp); the
// native build converts the path to UTF-8 (native/file_io_posix.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class FileReadStatus {
  Read,     // bytes holds the whole file
  Missing,  // no file (or no folder) at the path
  Failed,   // the file is there but could not be read whole: no access, a
            // folder, a failed size query or a short read
};

struct FileReadResult {
  FileReadStatus status = FileReadStatus::Failed;
  std::vector<uint8_t> bytes;
};

// Reads the whole file at path in byte mode.
FileReadResult readWholeFile(std::u16string_view path);

// Replaces the file at path with bytes, or creates it: writes a new file in
// the same folder, flushes it to the disk and renames it over path. Returns
// true when path holds exactly bytes. On failure path is as it was and the
// new file is deleted.
bool replaceFileContents(std::u16string_view path, std::span<const uint8_t> bytes);

// Replaces (or creates) many files, each as replaceFileContents does (a new
// file beside it, on the disk before it is renamed over the old one), with one
// flush for all of them: add() writes each new file, commit() flushes them
// together and then renames each over its path, in the order added. New files
// not put in place are deleted, by commit or at the latest by the destructor.
class FileSetWriter {
 public:
  FileSetWriter() = default;
  ~FileSetWriter();
  FileSetWriter(const FileSetWriter&) = delete;
  FileSetWriter& operator=(const FileSetWriter&) = delete;

  // Writes `bytes` into a new file beside `path`. Returns false when that
  // fails; no new file is then left for it, and `path` is as it was.
  bool add(std::u16string_view path, std::span<const uint8_t> bytes);

  // Flushes every new file to the disk, then renames each over its path.
  // Returns how many paths now hold their new bytes: all of them; none when
  // the flush fails (every path is as it was); or, when a rename fails, those
  // before it (the rest are as they were).
  size_t commit();

 private:
  struct Pending {
    std::u16string target;
    std::u16string newFile;
  };
  std::vector<Pending> pending_;
};

// Test seam: makes every following replaceFileContents fail at one stage, as
// a full disk or a failing device would, until set back to None.
enum class WriteFault {
  None,
  Write,    // the write fails after bytesBeforeFailure bytes
  Flush,    // everything is written, the flush to the disk fails
  Replace,  // the new file is complete, the rename over the old one fails
};
void setWriteFaultForTesting(WriteFault fault, size_t bytesBeforeFailure = 0);

// For the implementations: reads a file of size bytes with readChunk(data,
// count), which returns the bytes it read (0 at the end or on failure). Read
// with the bytes when all size bytes arrived, Failed with none otherwise.
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
    return result;
  }
  result.status = FileReadStatus::Read;
  return result;
}

// For the implementations, per platform: writes a new file beside `target`
// holding `bytes` (flushed to the disk when `flush`), closed, and returns its
// path; returns an empty path, leaving nothing behind, on failure or when
// `target` is a file that may not be written.
std::u16string writeNewFile(std::u16string_view target, std::span<const uint8_t> bytes, bool flush);
// Flushes new files written without `flush` to the disk; false on failure.
bool flushNewFiles(const std::vector<std::u16string>& newFiles);
// Renames `newFile` over `target`; deletes `newFile` when that fails.
bool putNewFileInPlace(const std::u16string& newFile, std::u16string_view target);
void deleteNewFile(const std::u16string& newFile);

// For the implementations: the fault in force and how many bytes the write
// may put down before it fails (all of count when no write fault is set).
WriteFault writeFaultForTesting();
size_t writableBytesForTesting(size_t count);
