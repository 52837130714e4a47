#include "tools/pe_image.h"

namespace {

constexpr size_t kDosHeaderSize = 0x40;
constexpr size_t kLfanewOffset = 0x3C;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kOptionalHeaderSizeOffset = 16;  // in the COFF header
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kCertificateDirectory = 4;
constexpr size_t kChecksumOffset = 64;  // in the optional header, PE32 and PE32+ alike

// Little-endian reads that report whether the bytes are inside the file.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool has(size_t at, size_t count) const { return at <= bytes_.size() && count <= bytes_.size() - at; }
  uint16_t word(size_t at) const { return uint16_t(bytes_[at] | bytes_[at + 1] << 8); }
  uint32_t dword(size_t at) const { return uint32_t(word(at)) | uint32_t(word(at + 2)) << 16; }

 private:
  std::span<const uint8_t> bytes_;
};

ExecutableInfo notExecutable(std::string problem) {
  ExecutableInfo info;
  info.problem = std::move(problem);
  return info;
}

}  // namespace

ExecutableInfo inspectExecutable(std::span<const uint8_t> bytes) {
  const Reader file(bytes);
  if (!file.has(0, kDosHeaderSize) || bytes[0] != 'M' || bytes[1] != 'Z')
    return notExecutable("it has no MS-DOS header (\"MZ\" and 64 bytes)");
  const uint32_t peAt = file.dword(kLfanewOffset);
  // A PE header inside the MS-DOS header would be overwritten by the stamp.
  if (peAt < kDosHeaderSize || !file.has(peAt, 4 + kCoffHeaderSize) || bytes[peAt] != 'P' ||
      bytes[peAt + 1] != 'E' || bytes[peAt + 2] != 0 || bytes[peAt + 3] != 0)
    return notExecutable("its MS-DOS header does not point at a PE header (\"PE\\0\\0\") inside the file");

  const size_t optionalAt = peAt + 4 + kCoffHeaderSize;
  const uint16_t optionalSize = file.word(peAt + 4 + kOptionalHeaderSizeOffset);
  if (optionalSize < 2 || !file.has(optionalAt, optionalSize))
    return notExecutable("its PE optional header is missing or cut short");
  const uint16_t magic = file.word(optionalAt);
  if (magic != kPe32Magic && magic != kPe32PlusMagic)
    return notExecutable("its PE optional header is neither PE32 nor PE32+");

  ExecutableInfo info;
  info.kind = magic == kPe32Magic ? ExecutableInfo::Kind::Pe32 : ExecutableInfo::Kind::Pe32Plus;
  info.peHeaderOffset = peAt;
  if (optionalSize >= kChecksumOffset + 4) info.checksumOffset = uint32_t(optionalAt + kChecksumOffset);
  // NumberOfRvaAndSizes, then the data directories of 8 bytes each.
  const size_t countAt = optionalAt + (magic == kPe32Magic ? 92 : 108);
  const size_t directoriesAt = countAt + 4;
  const size_t entryAt = directoriesAt + 8 * kCertificateDirectory;
  if (entryAt + 8 > optionalAt + optionalSize || file.dword(countAt) <= kCertificateDirectory) return info;
  info.certificateEntryOffset = uint32_t(entryAt);
  info.certificateTableOffset = file.dword(entryAt);
  info.certificateTableSize = file.dword(entryAt + 4);
  return info;
}

const char* kindName(ExecutableInfo::Kind kind) {
  switch (kind) {
    case ExecutableInfo::Kind::Pe32: return "PE32";
    case ExecutableInfo::Kind::Pe32Plus: return "PE32+";
    default: return "not an executable";
  }
}
