// Why a file operation did not complete: the stage that failed and the
// platform's error code. The one way the file layer, the record store, the
// install-channel step and the tools tell each other about a failure.
#pragma once

#include <cstdint>
#include <string>

enum class FileStage : uint8_t {
  Done,     // nothing failed
  Open,     // the file could not be opened (for reading, or to be rewritten in place)
  Refused,  // the file to be replaced may not be written: read-only, no
            // access, a folder; nothing was tried
  Create,   // the new file beside it could not be created
  Read,     // the file could not be read whole
  Convert,  // its text could not be converted, or is too long for the record format
  Write,    // the new bytes could not be written
  Flush,    // they could not be flushed to the disk
  Rename,   // the new file could not be put in place of the old one
  Rewrite,  // the file itself, held by another program, was being rewritten
            // in place and that failed part-way: it may be damaged
};

// The store's own refusals carry the Windows codes for them on every build.
inline constexpr uint32_t kErrorPathTooLong = 206;   // ERROR_FILENAME_EXCED_RANGE
inline constexpr uint32_t kErrorFileTooLarge = 223;  // ERROR_FILE_TOO_LARGE
inline constexpr uint32_t kErrorOutOfMemory = 8;     // ERROR_NOT_ENOUGH_MEMORY

struct FileStatus {
  FileStage stage = FileStage::Done;
  // The platform's error code (GetLastError on Windows, errno natively), one
  // of the codes above, or 0 when the failure has none.
  uint32_t error = 0;

  bool ok() const { return stage == FileStage::Done; }
  bool operator==(const FileStatus&) const = default;
};

// The stage as a word for messages: "open" (for Open, Refused and Create
// alike: the file or the new file beside it could not be opened), "read",
// "convert", "write", "flush", "rename", "rewrite" ("done" for Done).
const char* fileStageName(FileStage stage);

// What an error code of a file operation means to a person, when it is one
// of the common ones: "held by another program" (a sharing or lock
// conflict), "no access", "disk full", "path too long", "file too large",
// "out of memory"; nullptr otherwise. The store's own codes above read the
// same on every build.
const char* fileErrorReason(uint32_t error);
// The same for the platform's own codes (GetLastError or errno), per platform.
const char* platformFileErrorReason(uint32_t error);
// The platform's own words for one of its codes, per platform: on Windows
// the system's message in the user's language (FormatMessageW), natively
// the C library's English description of an errno value; without line end
// or closing full stop, empty when the platform has none. The store's own
// codes above get none natively, where they are no errno values.
std::u16string platformErrorText(uint32_t error);

// The failure for a person: "write failed, error 112 (disk full)", "rename
// failed, error 32 (held by another program)", "write failed, error 1117"
// for a code without a common meaning, "read failed" when there is no code;
// "done" for a status that is ok. With a `systemText` for the code (from
// platformErrorText), it stands in the parentheses instead of the common
// meaning: "write failed, error 112 (There is not enough space on the disk)".
std::u16string describeFileStatus(const FileStatus& status, std::u16string_view systemText = {});
