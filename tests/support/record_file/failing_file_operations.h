// File operations that fail at one stage, as a full disk or a failing device
// would: the system's own, with the write, the flush or the rename replaced.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "record_file/file_io.h"

#ifdef _WIN32
inline constexpr uint32_t kDiskFullError = 112;  // ERROR_DISK_FULL
inline constexpr uint32_t kDeviceError = 1117;   // ERROR_IO_DEVICE
inline constexpr uint32_t kHeldError = 32;       // ERROR_SHARING_VIOLATION
#else
inline constexpr uint32_t kDiskFullError = 28;  // ENOSPC
inline constexpr uint32_t kDeviceError = 5;     // EIO
inline constexpr uint32_t kHeldError = 16;      // EBUSY
#endif

enum class WriteFault {
  Write,    // the write fails with kDiskFullError after bytesBeforeFailure bytes
  Flush,    // everything is written, the flush to the disk fails with kDeviceError
  Replace,  // the new file is complete, the rename over the old one fails with kHeldError
};

// The system's file operations with `fault` in force. Every write counts
// towards bytesBeforeFailure, across files.
inline FileOperations failingFileOperations(WriteFault fault, size_t bytesBeforeFailure = 0) {
  FileOperations files = systemFileOperations();
  switch (fault) {
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
      files.rename = [](const std::u16string&, const std::u16string&) { return kHeldError; };
      break;
  }
  return files;
}
