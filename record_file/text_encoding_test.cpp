#include "record_file/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "record_file/text_platform.h"

namespace {

constexpr char16_t kSentinel = 0xBEEF;

// The code of the CAtlException that call() raises; 0 when it raises none.
template <class Call>
int32_t codeOf(Call call) {
  try {
    call();
  } catch (const CAtlException& e) {
    return e.m_hr;
  }
  return int32_t{0};
}

TEST(GbkToWide, ConvertsOneCharacterAndTerminatesByTheZeroFill) {
  char16_t buffer[2] = {kSentinel, kSentinel};
  ASSERT_EQ(gbkToWide(buffer, 2, "\xC4\xE3", 2), buffer);
  EXPECT_EQ(buffer[0], u'\u4F60');
  EXPECT_EQ(buffer[1], 0);
}

TEST(GbkToWide, RefusesTooSmallRoomLeavingZeros) {
  char16_t buffer[3] = {kSentinel, kSentinel, kSentinel};
  EXPECT_EQ(gbkToWide(buffer, 2, "ab\xC4\xE3", 4), nullptr);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], 0);
  EXPECT_EQ(buffer[2], kSentinel) << "wrote past the capacity";
}

TEST(GbkToWide, NullArgumentsLeaveTheBufferUntouched) {
  char16_t buffer[2] = {kSentinel, kSentinel};
  EXPECT_EQ(gbkToWide(buffer, 2, nullptr, 2), nullptr);
  EXPECT_EQ(buffer[0], kSentinel);
  EXPECT_EQ(gbkToWide(nullptr, 2, "a", 1), nullptr);
}

TEST(GbkToWide, InvalidBytesBecomeReplacementsWithoutFailing) {
  // 0x80 is the euro sign in this code page; a lone lead byte and a lead byte
  // before a byte that cannot trail become '?'.
  char16_t buffer[8];
  ASSERT_NE(gbkToWide(buffer, 8, "\x80\x81\x30" "A\xFE", 5), nullptr);
  EXPECT_EQ(std::u16string(buffer), u"\u20AC?A?");
}

TEST(WideToGbk, ConvertsWithTerminatorAndBestFit) {
  struct Case {
    std::u16string wide;
    std::string bytes;
  } cases[] = {
      {u"\u4F60\u597D", "\xC4\xE3\xBA\xC3"},
      {u"a\u20AC", "a\x80"},
      {u"\U0001F600", "??"},   // outside the code page: one default character per unit
      {u"\u0E01", "?"},        // Thai: no mapping, no best fit
      {u"\u00E0", "\xA8\xA4"},
  };
  for (const Case& c : cases) {
    char buffer[16];
    ASSERT_EQ(wideToGbk(buffer, sizeof buffer, c.wide.c_str()), buffer);
    EXPECT_EQ(std::string(buffer), c.bytes);
  }
}

TEST(WideToGbk, TooSmallBufferGivesEmptyStringAndNullInputNull) {
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(wideToGbk(buffer, 3, u"\u4F60\u4F60"), buffer);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[3], 'x');
  EXPECT_EQ(wideToGbk(buffer, 4, nullptr), nullptr);
}

TEST(Utf8ToWide, StaysInlineUpTo127BytesAndMovesToHeapAt128) {
  for (int length : {1, 127, 128, 4000}) {
    std::string bytes(length, 'x');
    Utf8ToWide converted(bytes.data(), length);
    EXPECT_EQ(converted.usesInlineBuffer(), length <= 127) << length;
    EXPECT_EQ(std::u16string(converted.get()), std::u16string(length, u'x'));
  }
}

TEST(Utf8ToWide, ConvertsCountedAndTerminatedInput) {
  Utf8ToWide counted("\xE4\xBD\xA0" "abc", 4);
  EXPECT_EQ(std::u16string(counted.get()), u"\u4F60a");
  Utf8ToWide terminated("\xE4\xBD\xA0" "abc", -1);
  EXPECT_EQ(std::u16string(terminated.get()), u"\u4F60abc");
  Utf8ToWide empty("abc", 0);
  ASSERT_NE(empty.get(), nullptr);
  EXPECT_EQ(empty.get()[0], 0);
  Utf8ToWide null(nullptr, 5);
  EXPECT_EQ(null.get(), nullptr);
}

TEST(Utf8ToWide, InvalidSequencesBecomeReplacementCharacters) {
  Utf8ToWide converted("a\xC0\x80\xED\xA0\x80\xF0\x9F\x98\x80z\xE4\xBD", -1);
  EXPECT_EQ(std::u16string(converted.get()), u"a\uFFFD\uFFFD\uFFFD\uFFFD\U0001F600z\uFFFD");
}

TEST(WideToUtf8, StaysInlineUpTo31UnitsAndMovesToHeapAt32) {
  for (int length : {0, 31, 32, 5000}) {
    std::u16string wide(length, u'\u4F60');
    WideToUtf8 converted(wide.c_str());
    EXPECT_EQ(converted.usesInlineBuffer(), length <= 31) << length;
    std::string expected;
    for (int i = 0; i < length; ++i) expected += "\xE4\xBD\xA0";
    EXPECT_EQ(std::string(converted.get()), expected);
  }
}

TEST(WideToUtf8, LoneSurrogatesBecomeReplacementAndNullStaysNull) {
  const char16_t text[] = {u'a', 0xD800, u'b', 0xDC00, 0};
  WideToUtf8 converted(text);
  EXPECT_EQ(std::string(converted.get()), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  WideToUtf8 null(nullptr);
  EXPECT_EQ(null.get(), nullptr);
}

TEST(GrowConversionBuffer, MovesBetweenInlineAndHeapAndRefusesBadArguments) {
  char16_t inlineBuffer[kConversionInlineUnits];
  char16_t* slot = inlineBuffer;
  growConversionBuffer(&slot, 128, inlineBuffer);
  EXPECT_EQ(slot, inlineBuffer);
  growConversionBuffer(&slot, 129, inlineBuffer);
  ASSERT_NE(slot, inlineBuffer);
  EXPECT_EQ(slot[128], 0);
  growConversionBuffer(&slot, 1000, inlineBuffer);
  EXPECT_EQ(slot[999], 0);
  growConversionBuffer(&slot, 10, inlineBuffer);  // frees the heap block
  EXPECT_EQ(slot, inlineBuffer);

  EXPECT_EQ(codeOf([&] { growConversionBuffer(&slot, -1, inlineBuffer); }), kHresultInvalidArg);
  EXPECT_EQ(codeOf([&] { growConversionBuffer(&slot, 1, nullptr); }), kHresultInvalidArg);
  EXPECT_EQ(codeOf([&] { growConversionBuffer(static_cast<char16_t**>(nullptr), 1, inlineBuffer); }),
            kHresultInvalidArg);
  char bytes[kConversionInlineUnits];
  char* byteSlot = bytes;
  EXPECT_EQ(codeOf([&] { growConversionBuffer(&byteSlot, INT64_MAX, bytes); }), kHresultOutOfMemory);
  EXPECT_EQ(byteSlot, nullptr);
}

TEST(ThrowLastError, CarriesThePlatformErrorAsHresult) {
  ASSERT_EQ(platformMultiByteToWide(65001, "a", 0, nullptr, 0), 0);  // invalid parameter, 87
  try {
    throwLastError();
    FAIL() << "no exception";
  } catch (const CAtlException& e) {
    EXPECT_EQ(static_cast<uint32_t>(e.m_hr), 0x80070057u);
  }
}

// A platform conversion that fails once the converter has taken its heap
// block (at the first attempt, or after the exact size was asked and the block
// replaced) raises the error; the block must go with the half-built converter,
// which the leak checker of the sanitizer build reports otherwise.
// The error every conversion into a buffer of failingPlatform() fails with.
uint32_t gConversionFailure = 0;

// A platform that answers size queries but fails every conversion into a
// buffer with gConversionFailure, as a platform that runs short would.
TextPlatform failingPlatform() {
  TextPlatform platform;
  platform.multiByteToWide = [](uint32_t codePage, const char* bytes, int count, char16_t* wide, int room) {
    return room == 0 ? platformMultiByteToWide(codePage, bytes, count, wide, 0) : 0;
  };
  platform.wideToMultiByte = [](uint32_t codePage, const char16_t* wide, int count, char* bytes, int room) {
    return room == 0 ? platformWideToMultiByte(codePage, wide, count, bytes, 0) : 0;
  };
  platform.lastError = [] { return gConversionFailure; };
  return platform;
}

TEST(Utf8Converters, AConversionFailingAfterTheBufferGrewRaisesAndLeavesNoBlock) {
  const std::string bytes(300, 'x');
  const std::u16string wide(300, u'x');
  const TextPlatform failing = failingPlatform();
  for (uint32_t error : {8u /* not enough memory */, 122u /* room too small */}) {
    SCOPED_TRACE(error);
    gConversionFailure = error;
    const auto expected = static_cast<int32_t>(0x80070000u | error);
    EXPECT_EQ(codeOf([&] { Utf8ToWide converted(bytes.data(), int(bytes.size()), failing); }), expected);
    EXPECT_EQ(codeOf([&] { WideToUtf8 converted(wide.c_str(), failing); }), expected);
    EXPECT_EQ(codeOf([&] { Utf8ToWide converted("abc", 3, failing); }), expected) << "inline buffer";
  }
  EXPECT_EQ(std::u16string(Utf8ToWide(bytes.data(), int(bytes.size())).get()), wide);
}

}  // namespace
