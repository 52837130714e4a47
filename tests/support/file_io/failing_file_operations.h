// File operations that fail at one stage, as a full disk, a failing device or
// another program holding the file would: the system's own, with one
// operation replaced.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "file_io/file_io.h"

#ifdef _WIN32
inline constexpr uint32_t kAccessDeniedError = 5;    // ERROR_ACCESS_DENIED
inline constexpr uint32_t kDiskFullError = 112;      // ERROR_DISK_FULL
inline constexpr uint32_t kDeviceError = 1117;       // ERROR_IO_DEVICE
inline constexpr uint32_t kWriteProtectError = 19;   // ERROR_WRITE_PROTECT
#else
inline constexpr uint32_t kAccessDeniedError = 13;  // EACCES
inline constexpr uint32_t kDiskFullError = 28;      // ENOSPC
inline constexpr uint32_t kDeviceError = 5;         // EIO
inline constexpr uint32_t kWriteProtectError = 30;  // EROFS
#endif
// A code that heldFileOperations' isHeld takes for a hold (on every build;
// the Windows one is ERROR_SHARING_VIOLATION).
inline constexpr uint32_t kHeldError = 32;

enum class WriteFault {
  Refused,  // the file to be replaced may not be written: kAccessDeniedError
            // (what a read-only file gets, even for root, who may write it)
  Create,   // the new file beside it cannot be created: kAccessDeniedError,
            // as in a folder that lets nobody create files
  Write,    // the write fails with kDiskFullError after bytesBeforeFailure bytes
  Flush,    // everything is written, the flush to the disk fails with kDeviceError
  Replace,  // the new file is complete, putting it in place fails with kWriteProtectError
};

// The system's file operations with `fault` in force. Every write counts
// towards bytesBeforeFailure, across files.
inline FileOperations failingFileOperations(WriteFault fault, size_t bytesBeforeFailure = 0) {
  FileOperations files = systemFileOperations();
  switch (fault) {
    case WriteFault::Refused:
      files.writeRefusal = [](const std::u16string&) { return kAccessDeniedError; };
      break;
    case WriteFault::Create:
      files.open = [system = files.open](const std::u16string& path, OpenMode mode, PlatformFile& file) {
        return mode == OpenMode::CreateNew ? kAccessDeniedError : system(path, mode, file);
      };
      break;
    case WriteFault::Write: {
      const auto system = files.write;
      files.write = [system, left = bytesBeforeFailure](PlatformFile file, const uint8_t* data, size_t count,
                                                         size_t& written) mutable -> uint32_t {
        written = 0;
        if (left == 0) return kDiskFullError;
        const uint32_t error = system(file, data, std::min(count, left), written);
        left -= written;
        return error;
      };
      break;
    }
    case WriteFault::Flush:
      files.flush = [](PlatformFile) { return kDeviceError; };
      files.flushFileSystem = files.flush;
      break;
    case WriteFault::Replace:
      files.rename = [](const std::u16string&, const std::u16string&) { return kWriteProtectError; };
      break;
  }
  return files;
}

// Where heldFileOperations makes another program hold a file.
enum class HeldAt { Read, Create, Rename };

// What heldFileOperations saw: the pauses it was asked for and the tries.
struct HoldLog {
  uint32_t pausedMilliseconds = 0;
  int tries = 0;
};

// The system's file operations, with the open for reading (Read), the new
// file's creation (Create) or putting it in place (Rename) refused with
// kHeldError for the first `heldTries` tries, as while another program holds
// the file. Pauses are counted in `log`, not slept.
inline FileOperations heldFileOperations(HeldAt at, int heldTries, HoldLog& log) {
  FileOperations files = systemFileOperations();
  files.isHeld = [](uint32_t error) { return error == kHeldError; };
  files.pause = [&log](uint32_t milliseconds) { log.pausedMilliseconds += milliseconds; };
  if (at == HeldAt::Rename) {
    files.rename = [system = files.rename, heldTries, &log](const std::u16string& from, const std::u16string& to) {
      return ++log.tries <= heldTries ? kHeldError : system(from, to);
    };
  } else {
    const OpenMode held = at == HeldAt::Read ? OpenMode::Read : OpenMode::CreateNew;
    files.open = [system = files.open, held, heldTries, &log](const std::u16string& path, OpenMode mode,
                                                               PlatformFile& file) {
      if (mode == held && ++log.tries <= heldTries) return kHeldError;
      return system(path, mode, file);
    };
  }
  return files;
}

// `files` with every flush after the first failing with kDeviceError: in a
// write that falls back to a rewrite in place, the new file's flush works and
// the rewrite's fails, after its bytes were written.
inline FileOperations withRewriteFlushFailing(FileOperations files) {
  files.flush = [system = files.flush, calls = 0](PlatformFile file) mutable {
    return ++calls == 1 ? system(file) : kDeviceError;
  };
  return files;
}
