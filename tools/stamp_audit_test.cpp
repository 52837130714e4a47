#include "tools/stamp_audit.h"

#include <gtest/gtest.h>

#include "launch_settings/stamp_writer.h"
#include "tests/support/tools/tool_test_support.h"

namespace {

// What signing does to an image: aligns its end to 8 bytes with zeros, appends
// a certificate table and rewrites the CheckSum.
Bytes signedCopy(Bytes image, bool plus = false) {
  image.resize((image.size() + 7) / 8 * 8, 0);
  appendCertificate(image, certificateEntry(plus));
  putDword(image, 0x98 + 64, 0x12345678);
  return image;
}

std::string difference(const Bytes& copy, const Bytes& original) {
  return templateDifference(copy, inspectExecutable(copy), original, inspectExecutable(original));
}

TEST(TemplateDifference, LeavesOutWhatStampingAndSigningChange) {
  for (bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    Bytes original = peImage(plus);
    original.resize(0x3FD, 0xCC);  // signing pads 3 zero bytes
    Bytes stamped = original;
    writeStamp(stamped, HeaderSettings{.channelId = 7, .appId = 9, .tag = 0xFFFF});
    EXPECT_EQ(difference(stamped, original), "");
    EXPECT_EQ(difference(signedCopy(stamped, plus), original), "");
    EXPECT_EQ(difference(signedCopy(stamped, plus), signedCopy(original, plus)), "") << "a signed template";
  }
}

TEST(TemplateDifference, NamesWhatElseDiffers) {
  const Bytes original = peImage();
  const auto changed = [&](auto change) {
    Bytes copy = original;
    change(copy);
    return copy;
  };
  const struct {
    const char* what;
    Bytes copy;
    const char* fault;
  } cases[] = {
      {"two bytes of the body", changed([](Bytes& b) { b[0x300] ^= 1, b[0x3FF] ^= 1; }),
       "differs from the template in 2 bytes outside the stamp and the signature, the first at 0x300"},
      {"e_lfanew, next to the stamp", changed([](Bytes& b) { b[0x3C] = 0x81; }), "the first at 0x3C"},
      {"the byte before the stamp", changed([](Bytes& b) { b[0x1B] = 1; }), "the first at 0x1B"},
      {"a byte after the CheckSum", changed([](Bytes& b) { b[0x98 + 68] = 1; }), "the first at 0xDC"},
      {"a longer copy", changed([](Bytes& b) { b.push_back(0); }), "is 1 byte longer than the template"},
      {"a shorter copy", changed([](Bytes& b) { b.resize(0x3F0); }), "is 16 bytes shorter than the template"},
      {"bytes after the certificate table", changed([](Bytes& b) {
         b = signedCopy(b);
         b.push_back(0);
       }),
       "its 1 byte after the certificate table differ from the template's 0 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_NE(difference(c.copy, original).find(c.fault), std::string::npos) << difference(c.copy, original);
  }
  // Alignment before a certificate table is zero bytes, fewer than 8.
  Bytes shortOriginal = original;
  shortOriginal.resize(0x3FD);
  Bytes padded = signedCopy(shortOriginal);
  padded[0x3FE] = 1;
  EXPECT_EQ(difference(padded, shortOriginal), "is 3 bytes longer than the template, signatures left out");
  Bytes unsignedPadded = shortOriginal;
  unsignedPadded.resize(0x400, 0);
  EXPECT_EQ(difference(unsignedPadded, shortOriginal), "is 3 bytes longer than the template, signatures left out");
}

TEST(StampDifferences, OneLinePerFieldAtFault) {
  const HeaderSettings wanted{.channelId = 7, .appId = 9};
  EXPECT_TRUE(stampDifferences(wanted, wanted).empty());
  const std::vector<std::string> expected = {"channelId: the copy carries 8, the manifest says 7",
                                             "silent: the copy carries yes, the manifest says no",
                                             "showOnlyFirstInstallPage: the copy carries yes, the manifest says no"};
  EXPECT_EQ(stampDifferences({.channelId = 8, .appId = 9, .silent = true, .showOnlyFirstInstallPage = true}, wanted),
            expected);
}

}  // namespace
