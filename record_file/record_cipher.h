// The record file's cipher: TEA in a 16-cycle form on big-endian words, inside
// a container with a random start, fill to a multiple of 8 bytes and seven
// trailing zero bytes that tell a successful decipher. Nothing here allocates.
#pragma once

#include <cstdint>

inline constexpr int kCipherBlockSize = 8;
inline constexpr int kCipherKeySize = 16;

// The longest message whose enciphered form still has a length that fits in
// int32_t (2,147,483,640 bytes); longer and negative lengths are refused.
inline constexpr int32_t kMaxCipherMessageLength = 2147483630;

// Enciphers one 8-byte block with the 16-byte key; output may alias input.
void encipherBlock(const uint8_t* input, const uint8_t* key, uint8_t* output);
// Deciphers one 8-byte block with the 16-byte key; output may alias input.
void decipherBlock(const uint8_t* input, const uint8_t* key, uint8_t* output);

// Size of the enciphered form of an n-byte message: n + 10 rounded up to a
// multiple of 8 (at least 16). Returns 0 for a refused length: n negative or
// above kMaxCipherMessageLength.
int32_t encipheredLength(int32_t n);

// Enciphers n message bytes into output, which must have room for
// encipheredLength(n) bytes; outputLength receives the count written. Draws
// its random bytes from rand(). A refused length writes nothing and sets
// outputLength to 0; message may be null when n is 0.
void encipherBuffer(const uint8_t* message, int32_t n, const uint8_t* key, uint8_t* output,
                    int32_t& outputLength);

// Deciphers length bytes of data. On entry outputLength is the capacity of
// output. Returns 1 with the message in output and its length in outputLength,
// or 0 when the data is not a message enciphered with this key. A failure
// found before the message is walked (length not a multiple of 8 or below 16,
// a message longer than the capacity or of negative length) leaves
// outputLength and output untouched; a failure of the trailing-zero check
// leaves outputLength at the message length and output holding that many
// bytes of no use. Never writes more than the capacity into output.
int decipherBuffer(const uint8_t* data, int32_t length, const uint8_t* key, uint8_t* output,
                   int32_t& outputLength);
