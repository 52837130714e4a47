// The portable conversions against the platform's, input by input: every 1-,
// 2- and 3-byte input, structured and pseudo-random texts, counting and
// converting, and the failures. A difference is reported with its input.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "common/wide_win.h"
#include "tests/support/record_file/conversion_samples.h"
#include "record_file/portable_conversion.h"

namespace {

constexpr int kRoom = 64;

struct Outcome {
  int count;
  uint32_t error;
  std::u16string units;
  bool operator==(const Outcome&) const = default;
};

std::string describe(const Outcome& outcome) {
  std::string text = "count " + std::to_string(outcome.count) + " error " + std::to_string(outcome.error) + " :";
  char unit[8];
  for (char16_t u : outcome.units) {
    std::snprintf(unit, sizeof unit, " %04X", static_cast<unsigned>(u));
    text += unit;
  }
  return text;
}

template <class Unit>
std::string hexOf(const std::basic_string<Unit>& input) {
  std::string text;
  char unit[8];
  for (Unit u : input) {
    std::snprintf(unit, sizeof unit, " %0*X", static_cast<int>(2 * sizeof(Unit)),
                  static_cast<unsigned>(static_cast<std::make_unsigned_t<Unit>>(u)));
    text += unit;
  }
  return text;
}

Outcome platformToWide(UINT codePage, const std::string& bytes, int room) {
  wchar_t out[kRoom] = {};
  SetLastError(0);
  int count = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), room ? out : nullptr, room);
  uint32_t error = count ? 0 : GetLastError();
  return {count, error, room && count ? std::u16string(as_u16cstr(out), count) : u""};
}

Outcome portableToWide(UINT codePage, const std::string& bytes, int room) {
  char16_t out[kRoom] = {};
  ConversionResult r = portableMultiByteToWide(codePage, bytes.data(), static_cast<int>(bytes.size()),
                                               room ? out : nullptr, room);
  return {r.count, r.error, room && r.count ? std::u16string(out, r.count) : u""};
}

Outcome platformToBytes(UINT codePage, const std::u16string& units, int room) {
  char out[kRoom] = {};
  SetLastError(0);
  int count = WideCharToMultiByte(codePage, 0, as_wcstr(units.data()), static_cast<int>(units.size()),
                                  room ? out : nullptr, room, nullptr, nullptr);
  uint32_t error = count ? 0 : GetLastError();
  std::u16string bytes;
  if (room)
    for (int i = 0; i < count; ++i) bytes += static_cast<char16_t>(static_cast<uint8_t>(out[i]));
  return {count, error, bytes};
}

Outcome portableToBytes(UINT codePage, const std::u16string& units, int room) {
  char out[kRoom] = {};
  ConversionResult r = portableWideToMultiByte(codePage, units.data(), static_cast<int>(units.size()),
                                               room ? out : nullptr, room);
  std::u16string bytes;
  if (room)
    for (int i = 0; i < r.count; ++i) bytes += static_cast<char16_t>(static_cast<uint8_t>(out[i]));
  return {r.count, r.error, bytes};
}

// Compares one input at full room, as a count query and, for every 7th input,
// with one unit too little room (both must refuse alike).
class Comparison {
 public:
  template <class Input, class Platform, class Portable>
  void check(const Input& input, Platform platform, Portable portable) {
    ++inputs_;
    for (int room : {kRoom, 0, -1}) {
      if (room == -1) {
        if (inputs_ % 7) continue;
        room = platform(input, 0).count - 1;
        if (room <= 0) continue;
      }
      Outcome expected = platform(input, room);
      Outcome actual = portable(input, room);
      // On a refusal the platform may leave a partial result: only the outcome counts.
      if (expected.count == 0) expected.units.clear(), actual.units.clear();
      if (expected == actual) continue;
      if (++differences_ <= 10)
        ADD_FAILURE() << "input" << hexOf(input) << " room " << room << ": platform " << describe(expected)
                      << ", portable " << describe(actual);
    }
  }
  void expectChecked(int atLeast) {
    EXPECT_GE(inputs_, atLeast);
    EXPECT_EQ(differences_, 0);
  }

 private:
  int inputs_ = 0;
  int differences_ = 0;
};

TEST(PortableConversion, CodePage936ToWideMatchesPlatform) {
  Comparison comparison;
  conversion_samples::forEachCp936Input([&](const std::string& bytes) {
    comparison.check(bytes, [](const std::string& b, int room) { return platformToWide(936, b, room); },
                     [](const std::string& b, int room) { return portableToWide(936, b, room); });
  });
  comparison.expectChecked(0x10000);
}

TEST(PortableConversion, Utf8ToWideMatchesPlatform) {
  Comparison comparison;
  conversion_samples::forEachUtf8Input(
      [&](const std::string& bytes) {
        comparison.check(bytes, [](const std::string& b, int room) { return platformToWide(CP_UTF8, b, room); },
                         [](const std::string& b, int room) { return portableToWide(CP_UTF8, b, room); });
      },
      true);
  comparison.expectChecked(0x1000000);
}

TEST(PortableConversion, WideToCodePage936MatchesPlatform) {
  Comparison comparison;
  conversion_samples::forEachWideInput([&](const std::u16string& units) {
    comparison.check(units, [](const std::u16string& u, int room) { return platformToBytes(936, u, room); },
                     [](const std::u16string& u, int room) { return portableToBytes(936, u, room); });
  });
  comparison.expectChecked(0xFFFF);
}

TEST(PortableConversion, WideToUtf8MatchesPlatform) {
  Comparison comparison;
  conversion_samples::forEachWideInput([&](const std::u16string& units) {
    comparison.check(units, [](const std::u16string& u, int room) { return platformToBytes(CP_UTF8, u, room); },
                     [](const std::u16string& u, int room) { return portableToBytes(CP_UTF8, u, room); });
  });
  comparison.expectChecked(0xFFFF);
}

TEST(PortableConversion, RefusesLikePlatform) {
  struct Case {
    const char* bytes;
    int count;
    int room;
  } cases[] = {{"abc", 0, 8}, {"abc", -2, 8}, {"abc", 3, 2}, {nullptr, 3, 8}, {"abc", 3, -1}};
  for (UINT codePage : {936u, static_cast<UINT>(CP_UTF8)}) {
    for (int count : {0, -1, -2, 2}) {
      char out[8];
      SetLastError(0);
      int expected = WideCharToMultiByte(codePage, 0, L"ab", count, out, 8, nullptr, nullptr);
      uint32_t error = expected ? 0 : GetLastError();
      ConversionResult r = portableWideToMultiByte(codePage, u"ab", count, out, 8);
      EXPECT_EQ(r.count, expected) << codePage << " count " << count;
      EXPECT_EQ(r.error, error) << codePage << " count " << count;
    }
    for (const Case& c : cases) {
      wchar_t out[8];
      SetLastError(0);
      int count = MultiByteToWideChar(codePage, 0, c.bytes, c.count, out, c.room);
      uint32_t error = GetLastError();
      ConversionResult r = portableMultiByteToWide(codePage, c.bytes, c.count, as_u16cstr(out), c.room);
      EXPECT_EQ(r.count, count) << codePage << " count " << c.count << " room " << c.room;
      EXPECT_EQ(r.error, error) << codePage << " count " << c.count << " room " << c.room;
    }
  }
}

}  // namespace
