// Inputs on which the native and the Windows conversions are compared (test
// support, header only): every 1- and 2-byte input of code page 936 and
// UTF-8, every 3-byte UTF-8 input, every UTF-16 code unit, every surrogate
// pair around the edges, and deterministic pseudo-random texts built from
// units and bytes chosen to hit the interesting ranges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace conversion_samples {

// A small deterministic generator (xorshift64*), the same on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint32_t next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1DULL) >> 32);
  }
  uint32_t below(uint32_t limit) { return next() % limit; }

 private:
  uint64_t state_;
};

template <class Visit>
void forEachOneOrTwoBytes(Visit visit) {
  for (int b = 0; b < 256; ++b) visit(std::string(1, static_cast<char>(b)));
  for (int pair = 0; pair < 0x10000; ++pair) visit(std::string{static_cast<char>(pair >> 8), static_cast<char>(pair)});
}

// count pseudo-random strings of 1 to maxLength bytes, each byte taken from
// `interesting` with probability (picks - 1) / picks and from all bytes otherwise.
template <size_t N, class Visit>
void forEachRandomBytes(uint64_t seed, int count, uint32_t maxLength, const uint8_t (&interesting)[N],
                        uint32_t picks, Visit visit) {
  Random random(seed);
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    bytes.assign(1 + random.below(maxLength), '\0');
    for (char& c : bytes)
      c = static_cast<char>(random.below(picks) ? interesting[random.below(N)] : random.below(256));
    visit(bytes);
  }
}

// Calls visit(bytes) for every 1- and 2-byte input, then for pseudo-random
// byte strings mixing lead, trail, ASCII and NUL bytes.
template <class Visit>
void forEachCp936Input(Visit visit) {
  forEachOneOrTwoBytes(visit);
  static const uint8_t kInteresting[] = {0x00, 0x0D, 0x0A, 0x20, 0x30, 0x3F, 0x40, 0x41, 0x7E, 0x7F, 0x80,
                                         0x81, 0xA0, 0xA1, 0xA2, 0xAA, 0xB0, 0xC4, 0xE3, 0xF7, 0xFE, 0xFF};
  forEachRandomBytes(936, 200000, 12, kInteresting, 2, visit);
}

// Calls visit(bytes) for every input of 1 to 3 bytes when everyThreeByteInput is set (about
// 16.8 million; only the 1- and 2-byte ones otherwise), then for structured
// 4-byte forms and pseudo-random byte strings.
template <class Visit>
void forEachUtf8Input(Visit visit, bool everyThreeByteInput) {
  forEachOneOrTwoBytes(visit);
  if (everyThreeByteInput)
    for (uint32_t triple = 0; triple < 0x1000000; ++triple)
      visit(std::string{static_cast<char>(triple >> 16), static_cast<char>(triple >> 8), static_cast<char>(triple)});
  static const uint8_t kTails[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xE0, 0xF0, 0xFF};
  for (int lead = 0xF0; lead <= 0xFF; ++lead)
    for (int second = 0x70; second <= 0xC0; ++second)
      for (uint8_t third : kTails)
        for (uint8_t fourth : kTails)
          visit(std::string{static_cast<char>(lead), static_cast<char>(second), static_cast<char>(third),
                            static_cast<char>(fourth)});
  static const uint8_t kInteresting[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                         0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xF8, 0xFC, 0xFF};
  forEachRandomBytes(65001, 300000, 10, kInteresting, 3, visit);
}

// Calls visit(units) for every single code unit but NUL, every pair of a
// surrogate with a unit from the edges, and pseudo-random texts. No input
// holds a NUL, so each can also be given NUL-terminated.
template <class Visit>
void forEachWideInput(Visit visit) {
  for (uint32_t unit = 1; unit < 0x10000; ++unit) visit(std::u16string(1, static_cast<char16_t>(unit)));
  static const char16_t kEdges[] = {0x0041, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF, 0xD800, 0xD801, 0xDBFF,
                                    0xDC00, 0xDC01, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF, 0x4F60, 0x20AC, 0x00B7};
  for (char16_t first : kEdges)
    for (char16_t second : kEdges) visit(std::u16string{first, second});
  for (uint32_t high = 0xD800; high <= 0xDBFF; ++high)
    for (char16_t low : {char16_t{0xDC00}, char16_t{0xDE00}, char16_t{0xDFFF}})
      visit(std::u16string{static_cast<char16_t>(high), low});
  Random random(1200);
  std::u16string units;
  for (int i = 0; i < 200000; ++i) {
    units.assign(1 + random.below(12), u'\0');
    for (char16_t& unit : units) {
      uint32_t pick = random.below(4);
      if (pick == 0) unit = kEdges[random.below(sizeof kEdges / sizeof kEdges[0])];
      else if (pick == 1) unit = static_cast<char16_t>(0xD800 + random.below(0x800));
      else if (pick == 2) unit = static_cast<char16_t>(0x20 + random.below(0x60));
      else unit = static_cast<char16_t>(1 + random.below(0xFFFF));
    }
    visit(units);
  }
}

// FNV-1a over everything fed to it; equal digests mean equal result streams.
class Digest {
 public:
  void add(uint64_t value) {
    for (int i = 0; i < 8; ++i) {
      hash_ ^= (value >> (8 * i)) & 0xFF;
      hash_ *= 0x100000001B3ULL;
    }
  }
  uint64_t value() const { return hash_; }

 private:
  uint64_t hash_ = 0xCBF29CE484222325ULL;
};

}  // namespace conversion_samples
