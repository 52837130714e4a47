// Fuzzes the store's byte half: the input (enciphered first when its first
// byte is odd) is loaded as a file's bytes — decipher, detect, convert,
// parse — then written back and loaded again, which must give the same
// encoding and the same entries. With the second bit of the first byte set,
// the install channel is set before writing.
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "record_file/channel_record_file.h"
#include "tests/support/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t mode = data[0];
  std::vector<uint8_t> bytes(data + 1, data + size);

  ChannelRecordFile store;
  if (mode & 1) {
    require(store.loadBytes({}).ok());  // sets the key
    std::optional<std::vector<uint8_t>> enciphered = encipherRecordBytes(bytes, store.cipherKey());
    require(enciphered.has_value());
    bytes = std::move(*enciphered);
  }
  require(store.loadBytes(bytes).ok());
  if (mode & 2) store.saveInstallChannel(u"1101010001");
  require(!store.canSave());  // never loaded from a path: nothing may be written

  ChannelRecordFile again;
  std::vector<uint8_t> image;
  require(store.fileImage(image).ok());
  require(again.loadBytes(image).ok());
  require(again.encoding() == store.encoding());
  require(again.hasBom() == store.hasBom());
  require(again.entries() == store.entries());
  return 0;
}
