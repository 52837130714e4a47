#include "record_file/cp936.h"

#include <array>

namespace {

struct Cp936EncodeException {
  char16_t unit;
  uint16_t bytes;
};

#include "record_file/cp936_table.inc"

constexpr int kLeadFirst = 0x81;
constexpr int kLeadLast = 0xFE;
constexpr int kTrailFirst = 0x40;
constexpr int kTrailLast = 0xFE;
constexpr char16_t kDefaultChar = u'?';

bool isLead(uint8_t byte) { return byte >= kLeadFirst && byte <= kLeadLast; }

char16_t decodePair(uint8_t lead, uint8_t trail) {
  if (trail < kTrailFirst || trail > kTrailLast) return kDefaultChar;
  return kCp936Double[lead - kLeadFirst][trail - kTrailFirst];
}

// The bytes of every code unit (a value above 0xFF is a lead/trail pair): the
// inverse of the decode tables, where the first byte sequence of a character
// wins, corrected by the generated exceptions.
using EncodeTable = std::array<uint16_t, 0x10000>;

EncodeTable buildEncodeTable() {
  EncodeTable table;
  table.fill(static_cast<uint16_t>(kDefaultChar));
  std::array<bool, 0x10000> seen{};
  auto claim = [&](char16_t unit, uint16_t bytes) {
    if (seen[unit]) return;
    seen[unit] = true;
    table[unit] = bytes;
  };
  for (int b = 0; b < 256; ++b)
    if (!isLead(static_cast<uint8_t>(b))) claim(kCp936Single[b], static_cast<uint16_t>(b));
  for (int lead = kLeadFirst; lead <= kLeadLast; ++lead)
    for (int trail = kTrailFirst; trail <= kTrailLast; ++trail) {
      char16_t unit = kCp936Double[lead - kLeadFirst][trail - kTrailFirst];
      if (unit != kDefaultChar) claim(unit, static_cast<uint16_t>(lead << 8 | trail));
    }
  for (const Cp936EncodeException& e : kCp936Encode) table[e.unit] = e.bytes;
  return table;
}

const EncodeTable& encodeTable() {
  static const EncodeTable table = buildEncodeTable();
  return table;
}

}  // namespace

char16_t decodeCp936Character(const uint8_t* bytes, size_t count, size_t& at) {
  uint8_t byte = bytes[at++];
  if (!isLead(byte)) return kCp936Single[byte];
  if (at < count && bytes[at] != 0) return decodePair(byte, bytes[at++]);
  return kDefaultChar;
}

size_t decodeCp936(const uint8_t* bytes, size_t count, char16_t* out, size_t room) {
  size_t written = 0;
  for (size_t i = 0; i < count;) {
    char16_t unit = decodeCp936Character(bytes, count, i);
    if (written < room) out[written] = unit;
    ++written;
  }
  return written;
}

size_t encodeCp936(const char16_t* units, size_t count, uint8_t* out, size_t room) {
  const EncodeTable& table = encodeTable();
  size_t written = 0;
  for (size_t i = 0; i < count; ++i) {
    uint16_t value = table[units[i]];
    if (value > 0xFF) {
      if (written + 2 <= room) {
        out[written] = static_cast<uint8_t>(value >> 8);
        out[written + 1] = static_cast<uint8_t>(value);
      }
      written += 2;
    } else {
      if (written < room) out[written] = static_cast<uint8_t>(value);
      ++written;
    }
  }
  return written;
}
