// The TEA block functions with the cycle count as a parameter. The record
// cipher uses 16 cycles; the published reference form of TEA uses 32, and the
// known-answer test checks this code against that form.
#pragma once

#include <cstdint>

inline constexpr int kRecordCipherCycles = 16;

// Enciphers one 8-byte block (two big-endian words) with the 16-byte key in
// the given number of cycles; output may alias input.
void teaEncipherBlock(const uint8_t* input, const uint8_t* key, uint8_t* output, int cycles);

// Deciphers one 8-byte block enciphered with the same key and number of
// cycles; output may alias input.
void teaDecipherBlock(const uint8_t* input, const uint8_t* key, uint8_t* output, int cycles);
