// Both builds convert the same inputs and must arrive at the same digests:
// the native build through the portable conversions, the Windows build (under
// Wine) through MultiByteToWideChar and WideCharToMultiByte. The digests were
// taken from the platform; portable_conversion_win_test.cpp compares the two
// implementations input by input, to name the first input that differs.
#include <gtest/gtest.h>

#include <cinttypes>

#include "tests/support/record_file/conversion_samples.h"
#include "record_file/portable_conversion.h"
#include "record_file/text_platform.h"

namespace {

using conversion_samples::Digest;

constexpr int kRoom = 64;

void addToWide(Digest& digest, uint32_t codePage, const std::string& bytes) {
  char16_t out[kRoom];
  int size = static_cast<int>(bytes.size());
  int needed = platformMultiByteToWide(codePage, bytes.data(), size, nullptr, 0);
  int written = platformMultiByteToWide(codePage, bytes.data(), size, out, kRoom);
  digest.add(static_cast<uint64_t>(needed) << 32 | static_cast<uint32_t>(written));
  for (int i = 0; i < written; ++i) digest.add(out[i]);
}

void addToMultiByte(Digest& digest, uint32_t codePage, const std::u16string& units) {
  char out[kRoom];
  int size = static_cast<int>(units.size());
  int needed = platformWideToMultiByte(codePage, units.data(), size, nullptr, 0);
  int written = platformWideToMultiByte(codePage, units.data(), size, out, kRoom);
  digest.add(static_cast<uint64_t>(needed) << 32 | static_cast<uint32_t>(written));
  for (int i = 0; i < written; ++i) digest.add(static_cast<uint8_t>(out[i]));
}

std::string hex(uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%016" PRIX64, value);
  return text;
}

TEST(ConversionAgreement, CodePage936ToWide) {
  Digest digest;
  conversion_samples::forEachCp936Input([&](const std::string& bytes) { addToWide(digest, kCodePage936, bytes); });
  EXPECT_EQ(hex(digest.value()), "0x82BC3B2A6BBEF3BB");
}

TEST(ConversionAgreement, WideToCodePage936) {
  Digest digest;
  conversion_samples::forEachWideInput([&](const std::u16string& units) { addToMultiByte(digest, kCodePage936, units); });
  EXPECT_EQ(hex(digest.value()), "0xA32A938E92FBF5FB");
}

TEST(ConversionAgreement, Utf8ToWide) {
  Digest digest;
  conversion_samples::forEachUtf8Input([&](const std::string& bytes) { addToWide(digest, kCodePageUtf8, bytes); },
                                       true);
  EXPECT_EQ(hex(digest.value()), "0x71BCC9EAD9435973");
}

TEST(ConversionAgreement, WideToUtf8) {
  Digest digest;
  conversion_samples::forEachWideInput([&](const std::u16string& units) { addToMultiByte(digest, kCodePageUtf8, units); });
  EXPECT_EQ(hex(digest.value()), "0xB33847B0478D642C");
}

// The failures the encodings rely on: an empty input and a room too small are
// refused with the platform's error codes; a negative count means "up to and
// including the NUL".
TEST(ConversionAgreement, FailuresAndErrorCodes) {
  char16_t wide[4];
  char bytes[4];
  for (uint32_t codePage : {kCodePage936, kCodePageUtf8}) {
    SCOPED_TRACE(codePage);
    EXPECT_EQ(platformMultiByteToWide(codePage, "abc", 0, wide, 4), 0);
    EXPECT_EQ(platformLastError(), kErrorInvalidParameter);
    EXPECT_EQ(platformMultiByteToWide(codePage, "abc", 3, wide, 2), 0);
    EXPECT_EQ(platformLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(platformMultiByteToWide(codePage, "abc", -1, wide, 4), 4);
    EXPECT_EQ(wide[3], 0);
    EXPECT_EQ(platformWideToMultiByte(codePage, u"abc", 0, bytes, 4), 0);
    EXPECT_EQ(platformLastError(), kErrorInvalidParameter);
    EXPECT_EQ(platformWideToMultiByte(codePage, u"\u4F60\u4F60", 2, bytes, 3), 0);
    EXPECT_EQ(platformLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(platformWideToMultiByte(codePage, u"ab", -1, bytes, 4), 3);
  }
}

}  // namespace
