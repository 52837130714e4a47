// Fuzzes decipherBuffer with arbitrary data, length and capacity, and checks
// the encipher/decipher round trip of the data. The data and the output each
// live in a heap block of exactly the size passed, so the sanitizer reports
// any read past the length or write past the capacity.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "record_file/record_cipher.h"
#include "record_file/record_cipher_fuzz_input.h"
#include "tests/support/fuzz_check.h"

namespace {

// Keeps capacities near the data's size: a larger one tells nothing new.
constexpr int32_t kCapacitySlack = 64;

// A heap block of exactly count bytes (none for a negative count).
std::unique_ptr<uint8_t[]> block(int32_t count) {
  return std::unique_ptr<uint8_t[]>(new uint8_t[static_cast<size_t>(std::max(count, 0))]);
}

std::unique_ptr<uint8_t[]> copyOf(const uint8_t* bytes, int32_t count) {
  auto copy = block(count);
  if (count > 0) std::memcpy(copy.get(), bytes, static_cast<size_t>(count));
  return copy;
}

// The message length that the first block of data announces.
int32_t announcedLength(const uint8_t* data, int32_t length) {
  uint8_t first[kCipherBlockSize];
  decipherBlock(data, kCipherFuzzKey, first);
  return length - (first[0] & 7) - 10;
}

// Deciphers with the given length and capacity and checks the documented
// outcome; on success the message must encipher and decipher back to itself.
void checkDecipher(const uint8_t* bytes, int32_t length, int32_t capacity) {
  const auto data = copyOf(bytes, length);
  const auto output = block(capacity);
  int32_t outputLength = capacity;
  const int result = decipherBuffer(data.get(), length, kCipherFuzzKey, output.get(), outputLength);
  require(result == 0 || result == 1);
  if (length < 16 || length % 8 != 0) {
    require(result == 0 && outputLength == capacity);
    return;
  }
  const int32_t n = announcedLength(data.get(), length);
  if (n < 0 || capacity < n) {
    require(result == 0 && outputLength == capacity);
    return;
  }
  require(outputLength == n);
  if (result == 0) return;
  const auto again = block(encipheredLength(n));
  int32_t againLength = 0;
  encipherBuffer(output.get(), n, kCipherFuzzKey, again.get(), againLength);
  require(againLength == length);
  const auto message = block(n);
  int32_t messageLength = n;
  require(decipherBuffer(again.get(), againLength, kCipherFuzzKey, message.get(), messageLength));
  require(messageLength == n && std::memcmp(message.get(), output.get(), size_t(n)) == 0);
}

// Enciphers the bytes and deciphers them again with exactly their own length as capacity.
void checkRoundTrip(const uint8_t* bytes, int32_t count) {
  const int32_t total = encipheredLength(count);
  const auto cipher = block(total);
  int32_t written = -1;
  encipherBuffer(bytes, count, kCipherFuzzKey, cipher.get(), written);
  require(written == total);
  const auto message = block(count);
  int32_t length = count;
  require(decipherBuffer(cipher.get(), total, kCipherFuzzKey, message.get(), length) == 1);
  require(length == count);
  require(count == 0 || std::memcmp(message.get(), bytes, size_t(count)) == 0);
  if (count > 0) {
    length = count - 1;  // one byte short: refused, nothing touched
    require(decipherBuffer(cipher.get(), total, kCipherFuzzKey, message.get(), length) == 0);
    require(length == count - 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < kCipherFuzzHeaderSize || size > (1u << 20)) return 0;
  const uint8_t* data = input + kCipherFuzzHeaderSize;
  const auto available = static_cast<int32_t>(size - kCipherFuzzHeaderSize);
  // Negative lengths and capacities are passed as they are; others are kept
  // within the data, and near it, so that the buffers can really be that size.
  int32_t length = readFuzzField(input + 4);
  if (length > available) length %= available + 1;
  int32_t capacity = readFuzzField(input);
  if (capacity > available + kCapacitySlack) capacity %= available + kCapacitySlack + 1;
  checkDecipher(data, length, capacity);
  checkRoundTrip(data, available);
  return 0;
}
