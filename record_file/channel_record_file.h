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

enum RecordEncoding : int32_t {
  CodePage936 = 0,
  Utf8 = 1,
  Utf16Le = 2,
};

// Room of the path field: the platform's path limit, terminator included.
inline constexpr size_t kRecordPathCapacity = 260;

// The entry key: section, "#", name, with ASCII A-Z lowercased (nothing else).
std::u16string entryKey(std::u16string_view section, std::u16string_view name);

class ChannelRecordFile {
 public:
  // Entry key to value. std::u16string orders by unsigned 16-bit code units,
  // a prefix first: the order in which entries are written.
  using Entries = std::map<std::u16string, std::u16string>;

  // An empty store: no entries or path, CodePage936 without a mark, no key.
  ChannelRecordFile();
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

  // Sets section "InstallChannel", entry "MainCid" to channelText (taken up to
  // its first NUL, CR or LF, without leading and trailing spaces, as a load
  // would read it back) and rewrites the file at the loaded path. Returns true
  // only when the file now holds the whole table; on false the file is as it
  // was, and the entry stays set in memory.
  bool saveInstallChannel(std::u16string_view channelText);

  // Empties the entries and the cipher key; path, encoding and mark stay.
  void clear();

  // The byte half of load: clears the store, sets the key and takes in the
  // bytes of a file (deciphered when they decipher, then as detected).
  // Returns 0, or -1 when a conversion failed (the table is then empty).
  int32_t loadBytes(std::span<const uint8_t> fileBytes);

  // The bytes that saving writes: the table as text, in the file's encoding
  // and mark, enciphered when the key is set. Code page 936 text whose bytes
  // would begin like a mark gets an empty line in front, so that it loads as
  // code page 936 again. Raises CAtlException or std::bad_alloc when memory
  // runs out.
  std::vector<uint8_t> fileImage() const;

  // Sets encoding and mark from the first bytes: EF BB BF is UTF-8, FF FE is
  // UTF-16LE, anything else code page 936 without a mark.
  void detectEncoding(const uint8_t* bytes, size_t length);

  // Adds the entries of length units of text (or up to a NUL) to the table.
  void parseText(const char16_t* text, size_t length);

  const Entries& entries() const { return entries_; }
  std::u16string_view path() const { return path_; }
  RecordEncoding encoding() const { return encoding_; }
  int32_t hasBom() const { return hasBom_; }
  const std::string& cipherKey() const { return cipherKey_; }
  // Whether saveInstallChannel may write: after a load that returned 0.
  bool canSave() const { return canSave_; }

 private:
  Entries entries_;
  char16_t path_[kRecordPathCapacity] = {};
  RecordEncoding encoding_ = CodePage936;
  int32_t hasBom_ = 0;
  std::string cipherKey_;
  bool canSave_ = false;
};

// The text the store writes for entries, in its exact form: for each entry
// in key order a "[section]" header (after an empty line) when the section
// changes, then "name=value", each line ended by CR LF, and one more CR LF at
// the end. Names come from the key, split at its first "#". Where that split
// would not read back as the same key, the key is split at a later "#" that
// does; entries without a section are written first, before any header.
std::u16string recordText(const ChannelRecordFile::Entries& entries);

// The 16 key bytes the store enciphers with: "plumTrowel" padded with spaces.
std::string recordCipherKey();

// The message inside `bytes` when they decipher with the 16-byte `key`, else
// std::nullopt (not enciphered, another key, damaged, or too long for the cipher).
std::optional<std::vector<uint8_t>> decipherRecordBytes(std::span<const uint8_t> bytes, const std::string& key);

// `plain` enciphered with the 16-byte `key` as one message. Raises
// std::bad_alloc when it is too long for the cipher.
std::vector<uint8_t> encipherRecordBytes(std::span<const uint8_t> plain, const std::string& key);
