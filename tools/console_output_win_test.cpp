// The console half of the tools' output, over a writer that collects what
// would go to WriteConsoleW (no console runs under ctest).
#include "tools/console_output_win.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/tool_text.h"

namespace {

struct Collected {
  std::vector<std::u16string> pieces;
  std::u16string all() const {
    std::u16string text;
    for (const std::u16string& piece : pieces) text += piece;
    return text;
  }
};

Utf8ToWideBuf::WideWriter collectInto(Collected& collected) {
  return [&collected](std::u16string_view text) {
    collected.pieces.emplace_back(text);
    return true;
  };
}

// 2-, 3- and 4-byte characters among ASCII.
const std::string kMixed = "set \xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 done\n";

// Each character arrives whole, however the bytes are cut: one byte per
// flush, and a buffer that fills inside a character (each of the 12 lengths
// of ASCII before the mixed text puts the buffer's end at another byte of it).
TEST(ConsoleOutput, CharactersCutByAFlushOrAFullBufferArriveWhole) {
  std::vector<std::pair<std::string, bool>> cases = {{kMixed, true}};
  for (size_t before = 1; before <= 12; ++before)
    cases.emplace_back(std::string(Utf8ToWideBuf::kBufferSize - before, 'a') + kMixed, false);
  for (const auto& [text, flushEachByte] : cases) {
    Collected collected;
    {
      Utf8ToWideBuf buf(collectInto(collected));
      std::ostream out(&buf);
      if (flushEachByte)
        for (const char byte : text) out << byte << std::flush;
      else
        out << text;
    }
    EXPECT_EQ(collected.all(), toUtf16(text)) << "flush after each byte: " << flushEachByte;
    for (const std::u16string& piece : collected.pieces)
      EXPECT_EQ(piece.find(u'\uFFFD'), std::u16string::npos) << "a character was cut";
  }
}

TEST(ConsoleOutput, AnUnfinishedCharacterAtTheEndIsNotDropped) {
  Collected collected;
  {
    Utf8ToWideBuf buf(collectInto(collected));
    std::ostream out(&buf);
    out << "ok \xE4\xB8" << std::flush;
    EXPECT_EQ(collected.all(), u"ok ") << "held back while the rest may come";
  }
  EXPECT_EQ(collected.all(), u"ok \uFFFD");
}

TEST(ConsoleOutput, AFailedConsoleWriteMakesTheStreamBad) {
  Utf8ToWideBuf buf([](std::u16string_view) { return false; });
  std::ostream out(&buf);
  out << "lost" << std::flush;
  EXPECT_TRUE(out.bad());
}

}  // namespace
