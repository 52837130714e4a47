#include "record_file/record_cipher.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "record_file/record_cipher_tea.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Block = std::array<uint8_t, kCipherBlockSize>;

constexpr uint8_t kSentinel = 0xCD;
constexpr int32_t kUntouched = 0x5A5A5A5A;
constexpr size_t kGuard = 16;

Bytes hex(const std::string& text) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

const Bytes kKey = hex("0123456712345678234567893456789a");
const Bytes kOtherKey = hex("00112233445566778899aabbccddeeff");

// An output buffer of `capacity` bytes followed by a guard of sentinel bytes.
struct GuardedOutput {
  explicit GuardedOutput(size_t capacity)
      : capacity(capacity), bytes(capacity + kGuard, kSentinel) {}
  uint8_t* data() { return bytes.data(); }
  Bytes content(size_t length) const { return Bytes(bytes.begin(), bytes.begin() + length); }
  bool untouchedFrom(size_t offset) const {
    for (size_t i = offset; i < bytes.size(); ++i) {
      if (bytes[i] != kSentinel) return false;
    }
    return true;
  }
  size_t capacity;
  Bytes bytes;
};

int32_t size32(const Bytes& bytes) { return static_cast<int32_t>(bytes.size()); }

Bytes encipher(const Bytes& message) {
  GuardedOutput output(static_cast<size_t>(encipheredLength(size32(message))));
  int32_t written = kUntouched;
  encipherBuffer(message.data(), size32(message), kKey.data(), output.data(), written);
  EXPECT_EQ(written, static_cast<int32_t>(output.capacity));
  EXPECT_TRUE(output.untouchedFrom(output.capacity)) << "wrote past the enciphered length";
  return output.content(output.capacity);
}

// Deciphers all of data into output; length holds the capacity on entry.
int decipher(const Bytes& data, GuardedOutput& output, int32_t& length, const Bytes& key = kKey) {
  return decipherBuffer(data.data(), size32(data), key.data(), output.data(), length);
}

// The message length that decipherBuffer reads from the header byte of data.
int32_t announcedLength(const Bytes& data, const Bytes& key) {
  Block first;
  decipherBlock(data.data(), key.data(), first.data());
  return static_cast<int32_t>(data.size()) - (first[0] & 7) - 10;
}

// Undoes the chaining (Xk = D(Ck ^ X(k-1)), Sk = Xk ^ C(k-1)) to expose the container stream.
Bytes containerStream(const Bytes& cipher) {
  Bytes stream;
  Block previousCipher{}, previousMix{};
  for (size_t offset = 0; offset < cipher.size(); offset += kCipherBlockSize) {
    Block mix;
    for (int j = 0; j < kCipherBlockSize; ++j) mix[j] = cipher[offset + j] ^ previousMix[j];
    decipherBlock(mix.data(), kKey.data(), mix.data());
    for (int j = 0; j < kCipherBlockSize; ++j) {
      stream.push_back(mix[j] ^ previousCipher[j]);
      previousCipher[j] = cipher[offset + j];
    }
    previousMix = mix;
  }
  return stream;
}

struct BlockVector {
  const char* key;
  const char* plain;
  const char* cipher;
};

void expectBlockVectors(const std::vector<BlockVector>& vectors, int cycles) {
  for (const BlockVector& v : vectors) {
    SCOPED_TRACE(std::string(v.key) + " / " + v.plain);
    const Bytes key = hex(v.key), plain = hex(v.plain), cipher = hex(v.cipher);
    Block out;
    teaEncipherBlock(plain.data(), key.data(), out.data(), cycles);
    EXPECT_EQ(Bytes(out.begin(), out.end()), cipher);
    teaDecipherBlock(cipher.data(), key.data(), out.data(), cycles);
    EXPECT_EQ(Bytes(out.begin(), out.end()), plain);
  }
}

TEST(TeaBlock, MatchesThePublishedThirtyTwoCycleVectors) {
  // The reference vectors of TEA (Wheeler and Needham's C code, as published
  // with the Bouncy Castle TEA tests), big-endian words.
  expectBlockVectors({{"00000000000000000000000000000000", "0000000000000000", "41ea3a0a94baa940"},
                      {"00000000000000000000000000000000", "0102030405060708", "6a2f9cf3fccf3c55"},
                      {"0123456712345678234567893456789a", "0000000000000000", "34e943b0900f5dcb"},
                      {"0123456712345678234567893456789a", "0102030405060708", "773dc179878a81c0"}},
                     32);
}

TEST(TeaBlock, SixteenCycleFormMatchesIndependentlyComputedVectors) {
  const std::vector<BlockVector> vectors = {
      {"00000000000000000000000000000000", "0000000000000000", "a889f798182d8083"},
      {"00000000000000000000000000000000", "0102030405060708", "907fb30ce9a84eed"},
      {"0123456712345678234567893456789a", "0000000000000000", "abca8aebdb4400d8"},
      {"0123456712345678234567893456789a", "0102030405060708", "6f6aad1625a78fff"},
      {"706c756d54726f77656c202020202020", "ffffffffffffffff", "d57a4e872da24ce1"}};
  expectBlockVectors(vectors, kRecordCipherCycles);
  for (const BlockVector& v : vectors) {
    const Bytes key = hex(v.key);
    Bytes block = hex(v.plain);
    encipherBlock(block.data(), key.data(), block.data());  // in place
    EXPECT_EQ(block, hex(v.cipher));
    decipherBlock(block.data(), key.data(), block.data());
    EXPECT_EQ(block, hex(v.plain));
  }
}

TEST(RecordCipher, EncipheredLengthRoundsUpTheContainer) {
  const std::vector<std::pair<int32_t, int32_t>> table = {
      {0, 16}, {6, 16}, {7, 24}, {14, 24}, {15, 32}, {22, 32}, {23, 40},
      {kMaxCipherMessageLength, 2147483640},
      // Refused: no enciphered form of these lengths fits in int32_t.
      {-1, 0}, {INT32_MIN, 0}, {kMaxCipherMessageLength + 1, 0}, {INT32_MAX, 0}};
  for (const auto& [n, expected] : table) EXPECT_EQ(encipheredLength(n), expected) << "n = " << n;
}

TEST(RecordCipher, DeciphersContainersBuiltIndependently) {
  // Built outside this code with chosen random bytes: header A5 with fill 11 22 33 44
  // and random 55 66; and for the empty message header 3C, fill 01..06, random 07 08.
  const struct {
    const char* cipher;
    Bytes message;
  } cases[] = {
      {"12a6bea1b8ff5e13a5cdb5dbbb2e766e193b397afdc4f0d50b797fd3ef1c2f31",
       text("hello, record file")},
      {"a3bb50954cf63124505715d806cfdceb", {}}};
  for (const auto& c : cases) {
    const Bytes data = hex(c.cipher);
    GuardedOutput output(c.message.size());
    int32_t length = size32(c.message);
    ASSERT_EQ(decipher(data, output, length), 1);
    EXPECT_EQ(length, size32(c.message));
    EXPECT_EQ(output.content(c.message.size()), c.message);
    EXPECT_TRUE(output.untouchedFrom(c.message.size()));
  }
}

TEST(RecordCipher, EnciphersTheContainerWithRandomBytesInStreamOrder) {
  // Lengths 0 to 7 give every fill count from 6 down to 0 and then 7; several
  // seeds give header bytes with each of the upper five bits set and clear.
  for (unsigned seed = 1; seed <= 8; ++seed) {
    for (int32_t n = 0; n < 8; ++n) {
      SCOPED_TRACE("n = " + std::to_string(n) + ", seed " + std::to_string(seed));
      const int fill = (8 - (n + 10) % 8) % 8;
      const auto letter = static_cast<uint8_t>('a' + n);
      std::srand(seed);
      Bytes expected;  // header byte, fill, two random bytes, message, seven zero bytes
      for (int i = 0; i < fill + 3; ++i) {
        expected.push_back(static_cast<uint8_t>(std::rand() & 0xFF));
      }
      expected[0] = static_cast<uint8_t>((expected[0] & 0xF8) | fill);
      expected.resize(expected.size() + static_cast<size_t>(n), letter);
      expected.resize(expected.size() + 7, 0);

      std::srand(seed);
      EXPECT_EQ(containerStream(encipher(Bytes(static_cast<size_t>(n), letter))), expected);
    }
  }
}

TEST(RecordCipher, EveryMessageLengthSurvivesARoundTrip) {
  for (int32_t n = 0; n <= 80; ++n) {
    SCOPED_TRACE("n = " + std::to_string(n));
    Bytes message(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) message[i] = static_cast<uint8_t>(i * 37 + n);
    const Bytes cipher = encipher(message);
    // Capacity as the store passes it (the enciphered length), and exactly n.
    for (const size_t capacity : {cipher.size(), message.size()}) {
      GuardedOutput output(capacity);
      int32_t length = static_cast<int32_t>(capacity);
      ASSERT_EQ(decipher(cipher, output, length), 1);
      EXPECT_EQ(length, n);
      EXPECT_EQ(output.content(message.size()), message);
      EXPECT_TRUE(output.untouchedFrom(message.size()));
    }
  }
}

TEST(RecordCipher, EmptyMessageDeciphersIntoNoRoom) {
  const Bytes cipher = encipher({});
  ASSERT_EQ(cipher.size(), 16u);
  int32_t length = 0;
  EXPECT_EQ(decipherBuffer(cipher.data(), 16, kKey.data(), nullptr, length), 1);
  EXPECT_EQ(length, 0);
}

TEST(RecordCipher, SameMessageEnciphersDifferentlyEachTime) {
  const Bytes message = text("maincid=1101010001");
  const Bytes first = encipher(message), second = encipher(message);
  EXPECT_NE(first, second);
  for (const Bytes& cipher : {first, second}) {
    GuardedOutput output(cipher.size());
    int32_t length = size32(cipher);
    ASSERT_EQ(decipher(cipher, output, length), 1);
    EXPECT_EQ(output.content(static_cast<size_t>(length)), message);
  }
}

TEST(RecordCipher, RefusedMessageLengthsWriteNothing) {
  const uint8_t message[4] = {1, 2, 3, 4};
  for (const int32_t n : {-1, -16, INT32_MIN, kMaxCipherMessageLength + 1, INT32_MAX}) {
    GuardedOutput output(0);
    int32_t written = kUntouched;
    encipherBuffer(message, n, kKey.data(), output.data(), written);
    EXPECT_EQ(written, 0) << "n = " << n;
    EXPECT_TRUE(output.untouchedFrom(0)) << "n = " << n;
  }
}

// A 16-byte input whose first block deciphers to header byte 0x07: fill 7, message length -1.
Bytes sixteenBytesWithFillSeven() {
  Bytes data = {0x07, 0, 0, 0, 0, 0, 0, 0};
  encipherBlock(data.data(), kKey.data(), data.data());
  data.insert(data.end(), 8, 0);
  return data;
}

Bytes flipped(Bytes data, size_t index) {
  data[index] ^= 0x01;
  return data;
}

TEST(RecordCipher, DecipherFailuresLeaveTheDocumentedOutput) {
  const Bytes sample = encipher(text("[installchannel]\r\nmaincid=1101010001\r\n"));
  const Bytes plainText = text("\r\n[InstallChannel]\r\nMainCid=1101010001\r\n");  // 40 bytes
  const int32_t sampleLength = announcedLength(sample, kKey);
  const struct {
    const char* name;
    Bytes data;
    int32_t length;  // as passed; may differ from data.size()
    int32_t capacity;
    Bytes key;
    bool walked;  // the failure comes after outputLength was set to the message length
  } cases[] = {
      {"empty", {}, 0, 64, kKey, false},
      {"one block", Bytes(8), 8, 64, kKey, false},
      {"15 bytes", Bytes(15), 15, 64, kKey, false},
      {"17 bytes", Bytes(17), 17, 64, kKey, false},
      {"23 bytes", Bytes(23), 23, 64, kKey, false},
      {"negative length", sample, -8, 64, kKey, false},
      {"negative length below -16", sample, -24, 64, kKey, false},
      {"capacity one short", sample, size32(sample), sampleLength - 1, kKey, false},
      {"negative capacity", sample, size32(sample), -1, kKey, false},
      {"fill 7 in 16 bytes", sixteenBytesWithFillSeven(), 16, 64, kKey, false},
      {"wrong key", sample, size32(sample), 64, kOtherKey, true},
      {"plain text", plainText, size32(plainText), 64, kKey, true},
      {"cut short by a block", sample, size32(sample) - 8, 64, kKey, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GuardedOutput output(c.capacity > 0 ? static_cast<size_t>(c.capacity) : 0);
    int32_t length = c.capacity;
    EXPECT_EQ(decipherBuffer(c.data.data(), c.length, c.key.data(), output.data(), length), 0);
    if (c.walked) {
      const Bytes passed(c.data.begin(), c.data.begin() + c.length);
      EXPECT_EQ(length, announcedLength(passed, c.key));
      EXPECT_TRUE(output.untouchedFrom(static_cast<size_t>(length)));
    } else {
      EXPECT_EQ(length, c.capacity);
      EXPECT_TRUE(output.untouchedFrom(0));
    }
  }
}

TEST(RecordCipher, AnyChangedByteFailsTheDecipher) {
  const Bytes cipher = encipher(text("[installchannel]\r\nmaincid=1101010001\r\n"));
  for (size_t i = 0; i < cipher.size(); ++i) {
    const Bytes damaged = flipped(cipher, i);
    GuardedOutput output(cipher.size());
    int32_t length = size32(cipher);
    EXPECT_EQ(decipher(damaged, output, length), 0) << "byte " << i;
    EXPECT_EQ(length, announcedLength(damaged, kKey)) << "byte " << i;
    EXPECT_TRUE(output.untouchedFrom(static_cast<size_t>(length)));
  }
}

}  // namespace
