// The store for the hall's install-channel file ("InsChannel.as"): an INI-like
// text in code page 936, UTF-8 or UTF-16LE, enciphered whole with the record
// cipher. It reads the file into a table of entries ordered by entry key, sets
// the install channel and writes the whole table back in the file's encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/path_limit.h"
#include "file_io/file_io.h"
#include "file_io/file_status.h"

enum RecordEncoding : int32_t {
  CodePage936 = 0,
  Utf8 = 1,
  Utf16Le = 2,
};

// The entry key: section, "#", name, with ASCII A-Z lowercased (nothing else).
std::u16string entryKey(std::u16string_view section, std::u16string_view name);

class ChannelRecordFile {
 public:
  // Entry key to value. std::u16string orders by unsigned 16-bit code units,
  // a prefix first: the order in which entries are written.
  using Entries = std::map<std::u16string, std::u16string>;

  // An empty store: no entries or path, CodePage936 without a mark, no key.
  // It writes through `files`, which must outlive it.
  explicit ChannelRecordFile(const FileOperations& files = systemFileOperations());
  ~ChannelRecordFile();
  ChannelRecordFile(const ChannelRecordFile&) = delete;
  ChannelRecordFile& operator=(const ChannelRecordFile&) = delete;

  // Reads the file at path (up to a NUL in it) into the table. Returns 0 when
  // the table reflects the file: read whole, empty, or missing (a new file,
  // to be written as UTF-8 with a mark). Returns -1 when the file is there
  // but was not read whole (no access, a folder, a short read, a failed
  // conversion), and for a path longer than 259 units; the table is then empty
  // and saveInstallChannel refuses to write, so the file is not replaced by
  // the few entries set since.
  int32_t load(std::u16string_view path);
  // load with the reason: ok for 0, else the stage that failed (Open with
  // kErrorPathTooLong for a path of 260 units or more).
  FileStatus read(std::u16string_view path);

  // Sets section "InstallChannel", entry "MainCid" to channelText (taken up to
  // its first NUL, CR or LF, without leading and trailing spaces, as a load
  // would read it back) and rewrites the file at the loaded path. Returns true
  // only when the file now holds the whole table; on false the file is as it
  // was, and the entry stays set in memory.
  bool saveInstallChannel(std::u16string_view channelText);
  // saveInstallChannel with the reason: ok for true; otherwise the failed
  // load's status when the last load failed (Open with no code when the store
  // was never loaded), or the stage of the image or the write that failed.
  FileStatus writeInstallChannel(std::u16string_view channelText);

  // Empties the entries and the cipher key; path, encoding and mark stay.
  void clear();

  // The byte half of load: clears the store, sets the key and takes in the
  // bytes of a file (deciphered when they decipher, then as detected).
  // Ok, or stage Convert when a conversion failed (the table is then empty),
  // or Read with kErrorFileTooLarge for more bytes than the store handles.
  FileStatus loadBytes(std::span<const uint8_t> fileBytes);

  // Sets `image` to the bytes that saving writes: the table as text, in the
  // file's encoding and mark, enciphered when the key is set. Code page 936
  // text whose bytes would begin like a mark gets an empty line in front, so
  // that it loads as code page 936 again. Fails with stage Convert (the
  // converter's HRESULT, or kErrorFileTooLarge for a table too long for the
  // conversions or the cipher), `image` then empty. Raises std::bad_alloc
  // only when memory runs out.
  FileStatus fileImage(std::vector<uint8_t>& image) const;

  // Sets encoding and mark from the first bytes: EF BB BF is UTF-8, FF FE is
  // UTF-16LE, anything else code page 936 without a mark.
  void detectEncoding(const uint8_t* bytes, size_t length);

  // Adds the entries of length units of text (or up to a NUL) to the table.
  void parseText(const char16_t* text, size_t length);

  const Entries& entries() const { return entries_; }
  std::u16string_view path() const { return path_; }
  RecordEncoding encoding() const { return encoding_; }
  int32_t hasBom() const { return hasBom_; }
  // The key the file was enciphered with, or empty when it was not (or is not loaded).
  std::string_view cipherKey() const { return cipherKey_; }
  // Whether saveInstallChannel may write: after a load that returned 0.
  bool canSave() const { return loadStatus_.ok(); }

 private:
  // The file part of read: the bytes at `path` into the table.
  FileStatus readFile(std::u16string_view path);

  const FileOperations* files_;
  Entries entries_;
  char16_t path_[kPathLimit] = {};
  RecordEncoding encoding_ = CodePage936;
  int32_t hasBom_ = 0;
  std::string_view cipherKey_;  // empty, or recordCipherKey()
  // How the last load ended; saving writes only after one that succeeded.
  FileStatus loadStatus_{FileStage::Open, 0};
};

// The text the store writes for entries, in its exact form: for each entry
// in key order a "[section]" header (after an empty line) when the section
// changes, then "name=value", each line ended by CR LF, and one more CR LF at
// the end. Names come from the key, split at its first "#". Where that split
// would not read back as the same key, the key is split at a later "#" that
// does; entries without a section are written first, before any header.
std::u16string recordText(const ChannelRecordFile::Entries& entries);

// The 16 key bytes the store enciphers with: "plumTrowel" padded with
// spaces, in static storage.
std::string_view recordCipherKey();

// The message inside `bytes` when they decipher with the 16-byte `key`, else
// std::nullopt (not enciphered, another key, damaged, too long for the
// cipher, or a key of another length).
std::optional<std::vector<uint8_t>> decipherRecordBytes(std::span<const uint8_t> bytes, std::string_view key);

// `plain` enciphered with the 16-byte `key` as one message; std::nullopt when
// it is too long for the cipher or the key has another length.
std::optional<std::vector<uint8_t>> encipherRecordBytes(std::span<const uint8_t> plain, std::string_view key);
