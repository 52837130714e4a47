#include "record_file/channel_record_file.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "common/ascii_case.h"
#include "file_io/file_io.h"
#include "record_file/record_cipher.h"
#include "record_file/text_encoding.h"

namespace {

// "plumTrowel" padded with spaces to the cipher's key size.
constexpr std::string_view kCipherKey = "plumTrowel      ";
static_assert(kCipherKey.size() == kCipherKeySize);
constexpr char16_t kInstallSection[] = u"InstallChannel";
constexpr char16_t kInstallEntry[] = u"MainCid";
constexpr uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
constexpr uint8_t kUtf16Mark[] = {0xFF, 0xFE};
// Files beyond this cannot be handed to the cipher (32-bit lengths).
constexpr size_t kLargestFile = INT32_MAX - 64;


bool isLineBreak(char16_t unit) { return unit == u'\r' || unit == u'\n'; }

std::u16string_view trimSpaces(std::u16string_view text) {
  size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

// Whether "[section]" reads back as section: the header ends at the first "]"
// from the name's second unit on.
bool sectionReadsBack(std::u16string_view section) {
  return !section.empty() && section.find(u']', 1) == std::u16string_view::npos;
}

// Whether "name=value" reads back as an entry with this name.
bool nameReadsBack(std::u16string_view name) {
  if (name.empty() || name.back() == u' ' || name.find(u'=') != std::u16string_view::npos) return false;
  return std::u16string_view(u" #;=[").find(name.front()) == std::u16string_view::npos;
}

struct WrittenName {
  std::u16string_view section;
  std::u16string_view name;
};

// How an entry key is written: split at its first "#" when that reads back
// as the same key (an empty section only in the leading group), otherwise at
// the first later "#" that does. A key that no split serves keeps the first.
WrittenName writtenName(std::u16string_view key) {
  size_t hash = key.find(u'#');
  if (hash == std::u16string_view::npos) return {{}, key};
  WrittenName first{key.substr(0, hash), key.substr(hash + 1)};
  for (size_t at = hash; at != std::u16string_view::npos; at = key.find(u'#', at + 1)) {
    std::u16string_view section = key.substr(0, at);
    std::u16string_view name = key.substr(at + 1);
    if ((section.empty() || sectionReadsBack(section)) && nameReadsBack(name)) return {section, name};
  }
  return first;
}

void appendLine(std::u16string& text, std::u16string_view a, std::u16string_view b, std::u16string_view c) {
  text.append(a).append(b).append(c).append(u"\r\n");
}

template <size_t N>
bool startsWith(std::span<const uint8_t> bytes, const uint8_t (&prefix)[N]) {
  return bytes.size() >= N && std::equal(prefix, prefix + N, bytes.begin());
}

// The failure for a text too long for the platform's int-counted conversions.
constexpr FileStatus kTooLongToConvert{FileStage::Convert, kErrorFileTooLarge};

// The failure a converter's CAtlException stands for.
FileStatus conversionFailure(const CAtlException& e) {
  return {FileStage::Convert, static_cast<uint32_t>(e.m_hr)};
}

// Whether a text of `units` UTF-16 units can be converted: its UTF-8 form
// (at most 4 bytes a unit, and a terminator) fits the int that the platform
// conversions count in. Written so that it cannot wrap on a 32-bit size_t.
bool convertibleLength(size_t units) { return units <= (size_t{INT_MAX} - 4) / 4; }

// `text` in the file's encoding and mark, in `image`. Fails (stage Convert)
// when the text is too long to convert or a conversion fails.
FileStatus encodeText(const std::u16string& text, RecordEncoding encoding, bool mark, std::vector<uint8_t>& image) {
  image.clear();
  if (!convertibleLength(text.size())) return kTooLongToConvert;
  if (encoding == CodePage936) {
    std::vector<char> bytes(2 * text.size() + 2);
    wideToGbk(bytes.data(), static_cast<int>(bytes.size()), text.c_str());
    image.assign(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(std::strlen(bytes.data())));
    // Text that would begin with the bytes of a mark would load as UTF-8 or
    // UTF-16: an empty line in front keeps it code page 936.
    if (startsWith(image, kUtf8Mark) || startsWith(image, kUtf16Mark)) image.insert(image.begin(), {'\r', '\n'});
  } else if (encoding == Utf8) {
    if (mark) image.assign(std::begin(kUtf8Mark), std::end(kUtf8Mark));
    WideToUtf8 bytes(text.c_str());
    image.insert(image.end(), bytes.get(), bytes.get() + std::strlen(bytes.get()));
  } else {
    image.reserve(2 * text.size() + 2);
    if (mark) image.assign(std::begin(kUtf16Mark), std::end(kUtf16Mark));
    for (char16_t unit : text) {
      image.push_back(static_cast<uint8_t>(unit));
      image.push_back(static_cast<uint8_t>(unit >> 8));
    }
  }
  return {};
}

// The text of the file's bytes after its mark, up to a NUL, in `text`. The
// caller keeps the bytes within kLargestFile, so their counts fit an int.
void decodeText(std::span<const uint8_t> bytes, RecordEncoding encoding, std::u16string& text) {
  if (encoding == CodePage936) {
    // One byte never becomes more than one unit; the extra unit terminates.
    text.assign(bytes.size() + 1, u'\0');
    gbkToWide(text.data(), static_cast<int>(text.size()), reinterpret_cast<const char*>(bytes.data()),
              static_cast<int>(bytes.size()));
  } else if (encoding == Utf8) {
    bytes = bytes.subspan(std::size(kUtf8Mark));
    Utf8ToWide converted(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
    text = converted.get();
  } else {
    bytes = bytes.subspan(std::size(kUtf16Mark));
    text.resize(bytes.size() / 2);
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  size_t end = text.find(u'\0');
  if (end != std::u16string::npos) text.resize(end);
}

}  // namespace

std::u16string entryKey(std::u16string_view section, std::u16string_view name) {
  std::u16string key;
  key.reserve(section.size() + 1 + name.size());
  key.append(section).append(u"#").append(name);
  for (char16_t& unit : key) unit = asciiLower(unit);
  return key;
}

std::u16string recordText(const ChannelRecordFile::Entries& entries) {
  std::u16string text;
  // Entries without a section first: under a header they would not read back.
  for (const auto& [key, value] : entries) {
    WrittenName written = writtenName(key);
    if (written.section.empty()) appendLine(text, written.name, u"=", value);
  }
  std::u16string_view previous;
  for (const auto& [key, value] : entries) {
    WrittenName written = writtenName(key);
    if (written.section.empty()) continue;
    if (written.section != previous) appendLine(text, u"\r\n[", written.section, u"]");
    previous = written.section;
    appendLine(text, written.name, u"=", value);
  }
  text.append(u"\r\n");
  return text;
}

ChannelRecordFile::ChannelRecordFile(const FileOperations& files) : files_(&files) {}

ChannelRecordFile::~ChannelRecordFile() { clear(); }

void ChannelRecordFile::clear() {
  entries_.clear();
  cipherKey_ = {};
}

int32_t ChannelRecordFile::load(std::u16string_view path) { return read(path).ok() ? 0 : -1; }

FileStatus ChannelRecordFile::read(std::u16string_view path) {
  clear();
  loadStatus_ = {FileStage::Open, 0};
  path = path.substr(0, path.find(u'\0'));
  cipherKey_ = recordCipherKey();
  // A cut path names some other file: refuse it rather than read or write that one.
  if (path.size() >= kPathLimit) {
    path_[0] = 0;
    return loadStatus_ = {FileStage::Open, kErrorPathTooLong};
  }
  std::memset(path_, 0, sizeof(path_));
  std::copy(path.begin(), path.end(), path_);
  loadStatus_ = readFile(path);
  return loadStatus_;
}

FileStatus ChannelRecordFile::readFile(std::u16string_view path) {
  FileReadResult file;
  try {
    file = readWholeFile(path, *files_);
  } catch (const std::bad_alloc&) {
    return {FileStage::Read, kErrorOutOfMemory};
  }
  if (file.status == FileReadStatus::Missing) {
    encoding_ = Utf8;
    hasBom_ = 1;
    return {};
  }
  if (file.status != FileReadStatus::Read) return file.failure;
  if (file.bytes.size() > kLargestFile) return {FileStage::Read, kErrorFileTooLarge};
  if (file.bytes.empty()) return {};
  return loadBytes(file.bytes);
}

FileStatus ChannelRecordFile::loadBytes(std::span<const uint8_t> fileBytes) {
  clear();
  cipherKey_ = recordCipherKey();
  if (fileBytes.size() > kLargestFile) return {FileStage::Read, kErrorFileTooLarge};
  FileStatus status;
  try {
    std::optional<std::vector<uint8_t>> plain = decipherRecordBytes(fileBytes, cipherKey_);
    std::vector<uint8_t> bytes = plain ? std::move(*plain) : std::vector<uint8_t>(fileBytes.begin(), fileBytes.end());
    detectEncoding(bytes.data(), bytes.size());
    if (bytes.size() <= 3) return {};
    std::u16string text;
    decodeText(bytes, encoding_, text);
    parseText(text.data(), text.size());
    return {};
  } catch (const CAtlException& e) {
    status = conversionFailure(e);
  } catch (const std::bad_alloc&) {
    status = {FileStage::Convert, kErrorOutOfMemory};
  }
  entries_.clear();
  return status;
}

void ChannelRecordFile::detectEncoding(const uint8_t* bytes, size_t length) {
  std::span<const uint8_t> start(bytes, length);
  if (startsWith(start, kUtf8Mark)) {
    encoding_ = Utf8;
    hasBom_ = 1;
  } else if (startsWith(start, kUtf16Mark)) {
    encoding_ = Utf16Le;
    hasBom_ = 1;
  } else {
    encoding_ = CodePage936;
    hasBom_ = 0;
  }
}

void ChannelRecordFile::parseText(const char16_t* text, size_t length) {
  std::u16string_view all(text, length);
  all = all.substr(0, all.find(u'\0'));
  std::u16string section;
  size_t at = 0;
  while (at < all.size()) {
    size_t end = at;
    while (end < all.size() && !isLineBreak(all[end])) ++end;
    std::u16string_view line = all.substr(at, end - at);
    at = end;
    while (at < all.size() && isLineBreak(all[at])) ++at;

    size_t start = line.find_first_not_of(u' ');
    if (start == std::u16string_view::npos) continue;
    line.remove_prefix(start);
    char16_t first = line.front();
    if (first == u'#' || first == u';' || first == u'=') continue;
    if (first == u'[') {
      size_t close = line.find(u']', 2);
      if (close != std::u16string_view::npos) section.assign(line.substr(1, close - 1));
      continue;
    }
    size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos) continue;
    std::u16string_view name = line.substr(0, equals);
    name = name.substr(0, name.find_last_not_of(u' ') + 1);
    entries_[entryKey(section, name)] = std::u16string(trimSpaces(line.substr(equals + 1)));
  }
}

FileStatus ChannelRecordFile::fileImage(std::vector<uint8_t>& image) const {
  image.clear();
  try {
    std::vector<uint8_t> text;
    if (FileStatus encoded = encodeText(recordText(entries_), encoding_, hasBom_ == 1, text); !encoded.ok())
      return encoded;
    if (cipherKey_.empty()) {
      image = std::move(text);
      return {};
    }
    std::optional<std::vector<uint8_t>> enciphered = encipherRecordBytes(text, cipherKey_);
    if (!enciphered) return kTooLongToConvert;
    image = std::move(*enciphered);
    return {};
  } catch (const CAtlException& e) {
    return conversionFailure(e);
  }
}

bool ChannelRecordFile::saveInstallChannel(std::u16string_view channelText) {
  return writeInstallChannel(channelText).ok();
}

FileStatus ChannelRecordFile::writeInstallChannel(std::u16string_view channelText) {
  channelText = channelText.substr(0, channelText.find_first_of(std::u16string_view(u"\0\r\n", 3)));
  entries_[entryKey(kInstallSection, kInstallEntry)] = std::u16string(trimSpaces(channelText));
  if (!loadStatus_.ok()) return loadStatus_;
  if (path_[0] == 0) return {FileStage::Open, 0};
  std::vector<uint8_t> image;
  try {
    if (FileStatus built = fileImage(image); !built.ok()) return built;
  } catch (const std::bad_alloc&) {
    return {FileStage::Convert, kErrorOutOfMemory};
  }
  // Memory that runs out while writing is a failed write, like any other:
  // saveInstallChannel answers false rather than throwing.
  try {
    return replaceFileContents(path(), image, *files_);
  } catch (const std::bad_alloc&) {
    return {FileStage::Write, kErrorOutOfMemory};
  }
}

std::string_view recordCipherKey() { return kCipherKey; }

std::optional<std::vector<uint8_t>> decipherRecordBytes(std::span<const uint8_t> bytes, std::string_view key) {
  if (key.size() != kCipherKeySize || bytes.size() > size_t(INT32_MAX)) return std::nullopt;
  std::vector<uint8_t> plain(bytes.size());
  auto length = static_cast<int32_t>(plain.size());
  if (decipherBuffer(bytes.data(), length, reinterpret_cast<const uint8_t*>(key.data()), plain.data(), length) != 1)
    return std::nullopt;
  plain.resize(static_cast<size_t>(length));
  return plain;
}

std::optional<std::vector<uint8_t>> encipherRecordBytes(std::span<const uint8_t> plain, std::string_view key) {
  if (key.size() != kCipherKeySize) return std::nullopt;
  if (plain.size() > size_t(kMaxCipherMessageLength) || plain.size() > kLargestFile) return std::nullopt;
  const auto length = static_cast<int32_t>(plain.size());
  std::vector<uint8_t> enciphered(static_cast<size_t>(encipheredLength(length)), 0);
  int32_t written = 0;
  encipherBuffer(plain.data(), length, reinterpret_cast<const uint8_t*>(key.data()), enciphered.data(), written);
  enciphered.resize(static_cast<size_t>(written));
  return enciphered;
}
