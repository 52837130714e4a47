#include "record_file/portable_conversion.h"

#include <climits>
#include <cstring>

#include "record_file/cp936.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// Number of continuation bytes a UTF-8 lead byte announces; 0 for a byte that
// cannot start a sequence (continuation bytes, C0, C1, F5-FF).
int followerCount(uint8_t lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return 0;
}

class UnitWriter {
 public:
  UnitWriter(char16_t* out, size_t room) : out_(out), room_(room) {}
  void put(char16_t unit) {
    if (count_ < room_) out_[count_] = unit;
    ++count_;
  }
  size_t count() const { return count_; }

 private:
  char16_t* out_;
  size_t room_;
  size_t count_ = 0;
};

// Decodes one sequence that starts with a lead byte at bytes[i - 1] (i is
// already past it) and returns the code point, or kReplacement for a bad
// sequence. i ends past the bytes taken. The platform's rules: a sequence cut
// short by the end of the input takes the rest of the input; otherwise a bad
// sequence takes the lead byte and those continuation bytes that were still
// acceptable, except that the byte which would carry a code point past
// U+10FFFF is left for the next sequence.
char32_t decodeUtf8Sequence(const uint8_t* bytes, size_t count, size_t& i) {
  uint8_t lead = bytes[i - 1];
  int followers = followerCount(lead);
  if (followers == 0) return kReplacement;
  if (count - i < static_cast<size_t>(followers)) {
    i = count;
    return kReplacement;
  }
  char32_t value = lead & (0x7F >> (followers + 1));
  for (int k = 1; k <= followers; ++k) {
    uint8_t byte = bytes[i];
    if (!isContinuation(byte)) return kReplacement;
    value = value << 6 | (byte & 0x3F);
    if (followers == 3 && k == 2 && value >= (0x110000 >> 6)) return kReplacement;
    ++i;
    if (k != 1) continue;
    bool overlong = (followers == 3 && value < 0x10) || (followers == 2 && value < 0x20);
    bool surrogate = followers == 2 && value >= (0xD800 >> 6) && value <= (0xDFFF >> 6);
    if (overlong || surrogate) return kReplacement;
  }
  return value;
}

}  // namespace

char32_t decodeUtf8Character(const uint8_t* bytes, size_t count, size_t& at) {
  uint8_t byte = bytes[at++];
  return byte < 0x80 ? byte : decodeUtf8Sequence(bytes, count, at);
}

namespace {

// endsWithPair tells whether the last sequence gave a surrogate pair.
size_t decodeUtf8(const uint8_t* bytes, size_t count, char16_t* out, size_t room, bool& endsWithPair) {
  UnitWriter writer(out, room);
  size_t i = 0;
  endsWithPair = false;
  while (i < count) {
    char32_t value = decodeUtf8Character(bytes, count, i);
    if (value > 0xFFFF) {
      value -= 0x10000;
      writer.put(static_cast<char16_t>(0xD800 | (value >> 10)));
      writer.put(static_cast<char16_t>(0xDC00 | (value & 0x3FF)));
      endsWithPair = i == count;
    } else {
      writer.put(static_cast<char16_t>(value));
    }
  }
  return writer.count();
}

// Encodes UTF-16 as UTF-8; a character is written whole or not at all, and a
// surrogate that is not part of a pair becomes U+FFFD.
size_t encodeUtf8(const char16_t* units, size_t count, uint8_t* out, size_t room) {
  size_t written = 0;
  for (size_t i = 0; i < count; ++i) {
    char32_t value = units[i];
    if (isHighSurrogate(units[i]) && i + 1 < count && isLowSurrogate(units[i + 1])) {
      value = 0x10000 + ((value & 0x3FF) << 10) + (units[++i] & 0x3FF);
    } else if (isHighSurrogate(units[i]) || isLowSurrogate(units[i])) {
      value = kReplacement;
    }
    uint8_t buffer[4];
    size_t length;
    if (value < 0x80) {
      buffer[0] = static_cast<uint8_t>(value);
      length = 1;
    } else if (value < 0x800) {
      buffer[0] = static_cast<uint8_t>(0xC0 | value >> 6);
      buffer[1] = static_cast<uint8_t>(0x80 | (value & 0x3F));
      length = 2;
    } else if (value < 0x10000) {
      buffer[0] = static_cast<uint8_t>(0xE0 | value >> 12);
      buffer[1] = static_cast<uint8_t>(0x80 | (value >> 6 & 0x3F));
      buffer[2] = static_cast<uint8_t>(0x80 | (value & 0x3F));
      length = 3;
    } else {
      buffer[0] = static_cast<uint8_t>(0xF0 | value >> 18);
      buffer[1] = static_cast<uint8_t>(0x80 | (value >> 12 & 0x3F));
      buffer[2] = static_cast<uint8_t>(0x80 | (value >> 6 & 0x3F));
      buffer[3] = static_cast<uint8_t>(0x80 | (value & 0x3F));
      length = 4;
    }
    if (written + length <= room) std::memcpy(out + written, buffer, length);
    written += length;
  }
  return written;
}

size_t lengthWithTerminator(const char* text) { return std::strlen(text) + 1; }

size_t lengthWithTerminator(const char16_t* text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length + 1;
}

bool knownCodePage(uint32_t codePage) { return codePage == kCodePage936 || codePage == kCodePageUtf8; }

// The platform's answer once the converter has counted `needed` units.
ConversionResult finish(size_t needed, int room) {
  if (needed > static_cast<size_t>(INT_MAX)) return {0, kErrorInvalidParameter};
  if (room != 0 && needed > static_cast<size_t>(room)) return {0, kErrorInsufficientBuffer};
  return {static_cast<int>(needed), 0};
}

}  // namespace

ConversionResult portableMultiByteToWide(uint32_t codePage, const char* bytes, int byteCount,
                                         char16_t* wide, int wideRoom) {
  if (!knownCodePage(codePage) || !bytes || byteCount == 0 || wideRoom < 0 || (wideRoom > 0 && !wide))
    return {0, kErrorInvalidParameter};
  size_t count = byteCount < 0 ? lengthWithTerminator(bytes) : static_cast<size_t>(byteCount);
  const auto* in = reinterpret_cast<const uint8_t*>(bytes);
  size_t room = static_cast<size_t>(wideRoom);
  if (codePage == kCodePage936) return finish(decodeCp936(in, count, wide, room), wideRoom);
  bool endsWithPair;
  size_t needed = decodeUtf8(in, count, wide, room, endsWithPair);
  // The platform stops when the room is full and fails only when input is
  // left over: a final pair whose high surrogate takes the last unit of room
  // is cut to that high surrogate, and the conversion succeeds.
  if (wideRoom > 0 && endsWithPair && needed == room + 1) return {wideRoom, 0};
  return finish(needed, wideRoom);
}

ConversionResult portableWideToMultiByte(uint32_t codePage, const char16_t* wide, int wideCount,
                                         char* bytes, int byteRoom) {
  if (!knownCodePage(codePage) || !wide || wideCount == 0 || byteRoom < 0 || (byteRoom > 0 && !bytes))
    return {0, kErrorInvalidParameter};
  size_t count = wideCount < 0 ? lengthWithTerminator(wide) : static_cast<size_t>(wideCount);
  auto* out = reinterpret_cast<uint8_t*>(bytes);
  size_t room = static_cast<size_t>(byteRoom);
  size_t needed = codePage == kCodePage936 ? encodeCp936(wide, count, out, room) : encodeUtf8(wide, count, out, room);
  return finish(needed, byteRoom);
}
