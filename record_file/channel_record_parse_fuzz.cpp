// Fuzzes parseText with the input taken as UTF-16LE code units: every entry
// key holds a "#", and the text written from the table parses back to the
// same table.
#include <cstdlib>
#include <string>

#include "record_file/channel_record_file.h"
#include "tests/support/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);

  ChannelRecordFile store;
  store.parseText(text.data(), text.size());
  for (const auto& [key, value] : store.entries()) {
    require(key.find(u'#') != std::u16string::npos);
    require(value.find_first_of(std::u16string_view(u"\0\r\n", 3)) == std::u16string::npos);
  }

  std::u16string written = recordText(store.entries());
  ChannelRecordFile again;
  again.parseText(written.data(), written.size());
  require(again.entries() == store.entries());
  return 0;
}
