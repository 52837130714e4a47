#include "record_file/record_cipher.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "record_file/record_cipher_tea.h"

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;

// Bytes a message carries besides its own and its fill: the header byte, two
// random bytes and the seven trailing zero bytes.
constexpr int32_t kContainerOverhead = 10;
constexpr int kTrailingZeroCount = 7;
constexpr uint8_t kFillMask = 0x07;

constexpr uint8_t kZeroBlock[kCipherBlockSize] = {};

// Words are read and written byte by byte, so the host's byte order never matters.
uint32_t readBigEndian(const uint8_t* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 |
         uint32_t{bytes[3]};
}

void writeBigEndian(uint32_t word, uint8_t* bytes) {
  bytes[0] = static_cast<uint8_t>(word >> 24);
  bytes[1] = static_cast<uint8_t>(word >> 16);
  bytes[2] = static_cast<uint8_t>(word >> 8);
  bytes[3] = static_cast<uint8_t>(word);
}

struct KeyWords {
  uint32_t k0, k1, k2, k3;
};

KeyWords readKey(const uint8_t* key) {
  return {readBigEndian(key), readBigEndian(key + 4), readBigEndian(key + 8),
          readBigEndian(key + 12)};
}

void xorBlock(uint8_t* target, const uint8_t* other) {
  for (int j = 0; j < kCipherBlockSize; ++j) target[j] ^= other[j];
}

// The low 8 bits of one rand() call. The generator is never seeded here.
uint8_t randomByte() { return static_cast<uint8_t>(std::rand() & 0xFF); }

// Collects the container stream and chains each full 8-byte block out to the
// output: Xk = Sk ^ C(k-1), Ck = E(Xk) ^ X(k-1), with C0 and X0 all zero.
// C(k-1) is read back from the output, so only Sk/Xk and X(k-1) are held here.
class ChainWriter {
 public:
  // Writes to output from its start; written counts the bytes written so far.
  ChainWriter(const uint8_t* key, uint8_t* output, int32_t& written)
      : key_(key), output_(output), written_(written) {}

  void put(uint8_t byte) { put(&byte, 1); }

  void put(const uint8_t* bytes, int32_t count) {
    while (count > 0) {
      const int take = static_cast<int>(std::min<int32_t>(kCipherBlockSize - filled_, count));
      std::memcpy(block_ + filled_, bytes, static_cast<size_t>(take));
      filled_ += take;
      bytes += take;
      count -= take;
      if (filled_ == kCipherBlockSize) chainOut();
    }
  }

 private:
  void chainOut() {
    uint8_t* cipher = output_ + written_;
    if (written_ > 0) xorBlock(block_, cipher - kCipherBlockSize);
    encipherBlock(block_, key_, cipher);
    xorBlock(cipher, previousMix_);
    std::memcpy(previousMix_, block_, kCipherBlockSize);
    written_ += kCipherBlockSize;
    filled_ = 0;
  }

  const uint8_t* key_;
  uint8_t* output_;
  int32_t& written_;
  uint8_t block_[kCipherBlockSize] = {};        // Sk while it fills, then Xk
  uint8_t previousMix_[kCipherBlockSize] = {};  // X(k-1)
  int filled_ = 0;
};

// Walks the deciphered container stream from front to back: Xk = D(Ck ^ X(k-1)) and
// stream byte j of block k is Xk[j] ^ C(k-1)[j]. A block is deciphered only
// when the walk reaches it, and only when it lies wholly within the data.
class ChainReader {
 public:
  // Deciphers the first block of data, which must hold at least 8 bytes; the
  // walk starts after the header byte.
  ChainReader(const uint8_t* data, int32_t length, const uint8_t* key)
      : data_(data), length_(length), key_(key) {
    decipherBlock(data_, key_, mix_);
  }

  // The first stream byte (X1[0], as C0 is zero).
  uint8_t headerByte() const { return mix_[0]; }

  // Passes over count stream bytes; false when the data ends first.
  bool skip(int32_t count) { return walk(nullptr, count); }

  // Copies the next count stream bytes to out; false when the data ends first.
  bool read(uint8_t* out, int32_t count) { return walk(out, count); }

 private:
  bool walk(uint8_t* out, int32_t count) {
    while (count > 0) {
      if (position_ == kCipherBlockSize && !nextBlock()) return false;
      const uint8_t* previousCipher = offset_ > 0 ? data_ + offset_ - kCipherBlockSize : kZeroBlock;
      const int take = static_cast<int>(std::min<int32_t>(kCipherBlockSize - position_, count));
      if (out != nullptr) {
        for (int j = 0; j < take; ++j) out[j] = mix_[position_ + j] ^ previousCipher[position_ + j];
        out += take;
      }
      position_ += take;
      count -= take;
    }
    return true;
  }

  bool nextBlock() {
    if (length_ - offset_ < 2 * kCipherBlockSize) return false;
    const uint8_t* cipher = data_ + offset_ + kCipherBlockSize;
    uint8_t mixed[kCipherBlockSize];
    for (int j = 0; j < kCipherBlockSize; ++j) mixed[j] = cipher[j] ^ mix_[j];
    decipherBlock(mixed, key_, mix_);
    offset_ += kCipherBlockSize;
    position_ = 0;
    return true;
  }

  const uint8_t* data_;
  int32_t length_;
  const uint8_t* key_;
  int32_t offset_ = 0;  // where Ck, the block being walked, starts in data
  int position_ = 1;    // next stream byte within the block; the header byte is taken
  uint8_t mix_[kCipherBlockSize];  // Xk
};

}  // namespace

void teaEncipherBlock(const uint8_t* input, const uint8_t* key, uint8_t* output, int cycles) {
  uint32_t y = readBigEndian(input);
  uint32_t z = readBigEndian(input + 4);
  const KeyWords k = readKey(key);
  uint32_t sum = 0;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    sum += kDelta;
    y += ((z << 4) + k.k0) ^ (z + sum) ^ ((z >> 5) + k.k1);
    z += ((y << 4) + k.k2) ^ (y + sum) ^ ((y >> 5) + k.k3);
  }
  writeBigEndian(y, output);
  writeBigEndian(z, output + 4);
}

void teaDecipherBlock(const uint8_t* input, const uint8_t* key, uint8_t* output, int cycles) {
  uint32_t y = readBigEndian(input);
  uint32_t z = readBigEndian(input + 4);
  const KeyWords k = readKey(key);
  uint32_t sum = kDelta * static_cast<uint32_t>(cycles);  // modulo 2^32
  for (int cycle = 0; cycle < cycles; ++cycle) {
    z -= ((y << 4) + k.k2) ^ (y + sum) ^ ((y >> 5) + k.k3);
    y -= ((z << 4) + k.k0) ^ (z + sum) ^ ((z >> 5) + k.k1);
    sum -= kDelta;
  }
  writeBigEndian(y, output);
  writeBigEndian(z, output + 4);
}

void encipherBlock(const uint8_t* input, const uint8_t* key, uint8_t* output) {
  teaEncipherBlock(input, key, output, kRecordCipherCycles);
}

void decipherBlock(const uint8_t* input, const uint8_t* key, uint8_t* output) {
  teaDecipherBlock(input, key, output, kRecordCipherCycles);
}

int32_t encipheredLength(int32_t n) {
  // The bound keeps n + 17 within int32_t.
  if (n < 0 || n > kMaxCipherMessageLength) return 0;
  return (n + kContainerOverhead + kCipherBlockSize - 1) / kCipherBlockSize * kCipherBlockSize;
}

void encipherBuffer(const uint8_t* message, int32_t n, const uint8_t* key, uint8_t* output,
                    int32_t& outputLength) {
  outputLength = 0;
  const int32_t total = encipheredLength(n);
  if (total == 0) return;
  const int fill = static_cast<int>(total - n - kContainerOverhead);
  ChainWriter writer(key, output, outputLength);
  // Random bytes are drawn in stream order: the header byte (whose low bits
  // are then replaced by the fill count), the fill, the two random bytes.
  writer.put(static_cast<uint8_t>((randomByte() & ~kFillMask) | fill));
  for (int i = 0; i < fill + 2; ++i) writer.put(randomByte());
  writer.put(message, n);
  writer.put(kZeroBlock, kTrailingZeroCount);
}

int decipherBuffer(const uint8_t* data, int32_t length, const uint8_t* key, uint8_t* output,
                   int32_t& outputLength) {
  if (length % kCipherBlockSize != 0 || length < 2 * kCipherBlockSize) return 0;
  ChainReader reader(data, length, key);
  const int fill = reader.headerByte() & kFillMask;
  const int32_t n = length - fill - kContainerOverhead;
  const int32_t capacity = outputLength;
  if (capacity < n || n < 0) return 0;
  outputLength = n;
  uint8_t trailer[kTrailingZeroCount];
  if (!reader.skip(fill + 2) || !reader.read(output, n) ||
      !reader.read(trailer, kTrailingZeroCount)) {
    return 0;
  }
  for (const uint8_t byte : trailer) {
    if (byte != 0) return 0;
  }
  return 1;
}
