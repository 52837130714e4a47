// Code page 936 (Simplified Chinese GBK) exactly as the platform converts it,
// from tables generated on the platform (cp936_table.inc).
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes count bytes, writing at most room units to out; returns the number
// of units the whole input gives. A lead byte (0x81-0xFE) takes the next byte
// with it unless that byte is NUL or missing; unmapped pairs and lone lead
// bytes give '?'.
size_t decodeCp936(const uint8_t* bytes, size_t count, char16_t* out, size_t room);

// Decodes the one character at bytes[at] (at < count) as decodeCp936 does and
// moves `at` past the bytes it takes: one, or a lead byte with its trail.
char16_t decodeCp936Character(const uint8_t* bytes, size_t count, size_t& at);

// Encodes count UTF-16 units, writing at most room bytes to out (a two-byte
// character is written whole or not at all); returns the number of bytes the
// whole input gives. Each unit is converted on its own: best fit where the code
// page has one, '?' otherwise (so a surrogate pair gives "??").
size_t encodeCp936(const char16_t* units, size_t count, uint8_t* out, size_t room);
