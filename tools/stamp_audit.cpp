#include "tools/stamp_audit.h"

#include <algorithm>

#include "tools/stamp_fields.h"
#include "tools/tool_command.h"

namespace {

constexpr size_t kChecksumSize = 4;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kCertificateAlignment = 8;

// The part of a file that its certificate table takes: [begin, end); empty at
// the file's end when it is not signed (or the table lies outside the file).
struct Signature {
  size_t begin;
  size_t end;
};

Signature signatureOf(std::span<const uint8_t> bytes, const ExecutableInfo& info) {
  const size_t at = info.certificateTableOffset;
  if (!info.isSigned() || at > bytes.size() || info.certificateTableSize > bytes.size() - at)
    return {bytes.size(), bytes.size()};
  return {at, at + info.certificateTableSize};
}

bool within(size_t at, uint32_t field, size_t size) { return field != 0 && at >= field && at < field + size; }

// Whether the byte at `at` is one that stamping or signing rewrites.
bool rewritten(size_t at, const ExecutableInfo& info) {
  return (at >= kStampBegin && at < kStampEnd) || within(at, info.checksumOffset, kChecksumSize) ||
         within(at, info.certificateEntryOffset, kDirectoryEntrySize);
}

std::string bytesText(size_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

}  // namespace

std::vector<std::string> stampDifferences(const HeaderSettings& carried, const HeaderSettings& wanted) {
  std::vector<std::string> lines;
  for (const StampField& field : stampFields())
    if (field.get(carried) != field.get(wanted))
      lines.push_back(std::string(field.label) + ": the copy carries " + fieldValueText(field, carried) +
                      ", the manifest says " + fieldValueText(field, wanted));
  return lines;
}

std::string templateDifference(std::span<const uint8_t> copy, const ExecutableInfo& copyInfo,
                               std::span<const uint8_t> original, const ExecutableInfo& originalInfo) {
  const Signature copySignature = signatureOf(copy, copyInfo);
  const Signature originalSignature = signatureOf(original, originalInfo);
  std::vector<std::string> faults;

  // Before the certificate tables.
  const size_t common = std::min(copySignature.begin, originalSignature.begin);
  size_t differing = 0, first = 0;
  for (size_t at = 0; at < common; ++at) {
    if (copy[at] == original[at] || rewritten(at, copyInfo) || rewritten(at, originalInfo)) continue;
    if (differing++ == 0) first = at;
  }
  if (differing != 0)
    faults.push_back("differs from the template in " + bytesText(differing) +
                     " outside the stamp and the signature, the first at " + hexText(uint32_t(first)));
  // Signing aligns the certificate table with zero bytes; anything else is a
  // difference in length.
  const bool copyLonger = copySignature.begin > originalSignature.begin;
  const std::span<const uint8_t> longer = copyLonger ? copy : original;
  const Signature& longerSignature = copyLonger ? copySignature : originalSignature;
  const size_t extra = std::max(copySignature.begin, originalSignature.begin) - common;
  const bool padding = extra < kCertificateAlignment && longerSignature.begin != longerSignature.end &&
                       longerSignature.begin % kCertificateAlignment == 0 &&
                       std::all_of(longer.begin() + common, longer.begin() + common + extra, [](uint8_t b) { return b == 0; });
  if (extra != 0 && !padding)
    faults.push_back("is " + bytesText(extra) + (copyLonger ? " longer" : " shorter") +
                     " than the template, signatures left out");

  // After them (normally nothing).
  const std::span<const uint8_t> copyTail = copy.subspan(copySignature.end);
  const std::span<const uint8_t> originalTail = original.subspan(originalSignature.end);
  if (!std::ranges::equal(copyTail, originalTail))
    faults.push_back("its " + bytesText(copyTail.size()) + " after the certificate table differ from the template's " +
                     bytesText(originalTail.size()));

  std::string text;
  for (const std::string& fault : faults) text += (text.empty() ? "" : "; ") + fault;
  return text;
}
