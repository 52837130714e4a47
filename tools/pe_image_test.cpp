#include "tools/pe_image.h"

#include <gtest/gtest.h>

#include "tests/support/tools/tool_test_support.h"

namespace {

TEST(InspectExecutable, FindsTheCertificateTableOfPe32AndPe32Plus) {
  for (bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    Bytes image = peImage(plus);
    ExecutableInfo info = inspectExecutable(image);
    EXPECT_EQ(info.kind, plus ? ExecutableInfo::Kind::Pe32Plus : ExecutableInfo::Kind::Pe32) << info.problem;
    EXPECT_EQ(info.peHeaderOffset, 0x80u);
    EXPECT_EQ(info.checksumOffset, 0x98u + 64);
    EXPECT_EQ(info.certificateEntryOffset, certificateEntry(plus));
    EXPECT_FALSE(info.isSigned());

    appendCertificate(image, certificateEntry(plus));
    info = inspectExecutable(image);
    EXPECT_TRUE(info.isExecutable());
    EXPECT_TRUE(info.isSigned());
    EXPECT_EQ(info.certificateTableOffset, 0x400u);
    EXPECT_EQ(info.certificateTableSize, 48u);
  }
}

TEST(InspectExecutable, CertificateTableBeyondTheDirectoryCountOrHeaderIsNotThere) {
  // A signature entry that the directory count or the header size leaves out
  // is no part of the image.
  Bytes fewDirectories = peImage();
  appendCertificate(fewDirectories, certificateEntry(false));
  putDword(fewDirectories, 0x98 + 92, 4);
  Bytes shortHeader = peImage(true);
  appendCertificate(shortHeader, certificateEntry(true));
  putWord(shortHeader, 0x84 + 16, uint16_t(112 + 4 * 8));
  for (const Bytes& image : {fewDirectories, shortHeader}) {
    const ExecutableInfo info = inspectExecutable(image);
    EXPECT_TRUE(info.isExecutable()) << info.problem;
    EXPECT_FALSE(info.isSigned());
  }
}

TEST(InspectExecutable, RefusesWhatIsNotAPeExecutable) {
  const auto changed = [](auto change) {
    Bytes image = peImage();
    change(image);
    return image;
  };
  const Bytes image = peImage();
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"shorter than the MS-DOS header", Bytes(image.begin(), image.begin() + 0x3F)},
      {"no MZ", changed([](Bytes& b) { b[1] = 'X'; })},
      {"e_lfanew past the end", changed([](Bytes& b) { putDword(b, 0x3C, 0x3F0); })},
      {"e_lfanew far past the end", changed([](Bytes& b) { putDword(b, 0x3C, 0xFFFFFFF0); })},
      {"PE header inside the stamp", changed([](Bytes& b) { putDword(b, 0x3C, 0x20); })},
      {"no PE signature", changed([](Bytes& b) { b[0x82] = 'X'; })},
      {"unknown optional header magic", changed([](Bytes& b) { putWord(b, 0x98, 0x107); })},
      {"no optional header", changed([](Bytes& b) { putWord(b, 0x84 + 16, 0); })},
      {"optional header past the end", changed([](Bytes& b) { putWord(b, 0x84 + 16, 0xFFFF); })},
      {"MS-DOS program only", Bytes(image.begin(), image.begin() + 0x80)},
  };
  for (const auto& c : cases) {
    const ExecutableInfo info = inspectExecutable(c.bytes);
    EXPECT_FALSE(info.isExecutable()) << c.what;
    EXPECT_FALSE(info.problem.empty()) << c.what;
  }
}

TEST(PeChecksum, KnownAnswersAndAnUnsetChecksumLeftAlone) {
  Bytes image = peImage();
  putDword(image, 0x98 + 64, 1);  // a CheckSum the linker set
  putDword(image, 0x1C, 77);      // then a stamp
  refreshChecksum(image, inspectExecutable(image));
  EXPECT_EQ(image[0xD8] | image[0xD9] << 8 | image[0xDA] << 16 | image[0xDB] << 24, 0x747E);  // pefile's answer
  image.push_back(7);
  EXPECT_EQ(peChecksum(image, inspectExecutable(image)), 0x7486u) << "an odd length";
  Bytes unset = peImage();
  refreshChecksum(unset, inspectExecutable(unset));
  EXPECT_EQ(unset, peImage());
}

}  // namespace
