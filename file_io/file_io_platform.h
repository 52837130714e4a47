// What the two platform halves of the file layer (windows/file_io_win.cpp,
// native/file_io_native.cpp) provide to its portable part (file_io.cpp), and
// the portable helpers they share. Nothing outside file_io/ includes this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "file_io/file_io.h"

// Portable (file_io.cpp): reads `size` bytes of the open `file` with
// files.read. Read with the bytes when all arrived; otherwise Failed, stage
// Read, with the failed read's code (0 when the file ended early) and no bytes.
FileReadResult readAll(const FileOperations& files, PlatformFile file, size_t size);

// Per platform: the platform's own operations, which
// systemFileOperations() makes once.
FileOperations makeSystemFileOperations();

// Portable (file_io.cpp): writes all `count` bytes of `data` with
// files.write; ok, or the Write failure (a write that puts nothing down fails
// with the code it gave, or `noProgress` when it gave none).
FileStatus writeAll(const FileOperations& files, PlatformFile file, const uint8_t* data, size_t count,
                    uint32_t noProgress);

// Portable (file_io.cpp): renames `newFile` over `target` with
// files.rename, tried again through `retry`; deletes `newFile` when that fails.
FileStatus putNewFileInPlace(const std::u16string& newFile, std::u16string_view target, const FileOperations& files,
                             HoldRetry& retry);

// Per platform: writes a new file beside `target`
// holding `bytes` (flushed to the disk when `flush`), closed, and sets
// `newFile` to its path; its creation is tried again through `retry`. On
// failure leaves nothing behind and returns the stage that failed (Create,
// Write, Flush). Whether `target` may be written is asked before, by the
// portable part.
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

#ifdef _WIN32
// Windows half: `path` as the system's file calls take it at any length: as
// given while its full form stays within the plain path limit; beyond it,
// the full, normalized path (GetFullPathNameW resolves the current folder,
// "." and "..", and drops what Windows drops from a plain path) in the
// extended-length form, "\\?\C:\..." or "\\?\UNC\server\share\...", which
// the system takes as it stands, up to 32,767 characters, on every Windows
// whatever the machine's long-path policy. A path already in the "\\?\" or
// "\\.\" form, or one without a full form, stays as given.
std::wstring systemPath(std::wstring_view path);
#endif
