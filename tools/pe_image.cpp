#include "tools/pe_image.h"

#include "tools/tool_command.h"  // hexText

namespace {

constexpr size_t kDosHeaderSize = 0x40;
constexpr size_t kLfanewOffset = 0x3C;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kOptionalHeaderSizeOffset = 16;  // in the COFF header
constexpr size_t kCharacteristicsOffset = 18;     // in the COFF header
constexpr uint16_t kImageFileDll = 0x2000;
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
  info.machine = file.word(peAt + 4);
  info.isDll = (file.word(peAt + 4 + kCharacteristicsOffset) & kImageFileDll) != 0;
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

uint32_t peChecksum(std::span<const uint8_t> bytes, const ExecutableInfo& info) {
  const size_t field = info.checksumOffset;
  const auto byteAt = [&](size_t at) -> uint32_t {
    return at >= bytes.size() || (at >= field && at < field + 4) ? 0 : bytes[at];
  };
  uint32_t sum = 0;
  for (size_t at = 0; at < bytes.size(); at += 2) {
    sum += byteAt(at) | byteAt(at + 1) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum + uint32_t(bytes.size());
}

void refreshChecksum(std::span<uint8_t> bytes, const ExecutableInfo& info) {
  const size_t field = info.checksumOffset;
  if (field == 0 || (bytes[field] | bytes[field + 1] | bytes[field + 2] | bytes[field + 3]) == 0) return;
  const uint32_t sum = peChecksum(bytes, info);
  for (size_t i = 0; i < 4; ++i) bytes[field + i] = uint8_t(sum >> (8 * i));
}

std::string launcherImageProblem(const ExecutableInfo& info, LauncherWidths widths) {
  const bool plus = info.kind == ExecutableInfo::Kind::Pe32Plus;
  if (info.isDll) return plus ? "a 64-bit DLL, not a program" : "a DLL, not a program";
  if (plus && widths == LauncherWidths::Only32Bit) return "a 64-bit program (PE32+); the launcher is 32-bit (PE32)";
  if (info.machine != (plus ? kMachineX8664 : kMachineI386))
    return "a program for another processor (machine " + hexText(info.machine) + "); the launcher is for x86 " +
           (plus ? "(x86-64)" : "(i386)");
  return {};
}
