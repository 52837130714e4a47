// Writes the seed corpus of record_cipher_fuzz: messages enciphered with the
// fuzz key, each with a length field that matches and a capacity field that
// fits (and one that is a byte short). Usage: record_cipher_seeds OUT_DIR
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "record_file/record_cipher.h"
#include "record_file/record_cipher_fuzz_input.h"

namespace {

struct Seed {
  const char* name;
  std::string message;
  int capacityShortBy;
};

// The text as UTF-16LE bytes behind the mark FF FE.
std::string utf16WithMark(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

bool writeSeed(const std::string& directory, const Seed& seed) {
  const auto n = static_cast<int32_t>(seed.message.size());
  std::vector<uint8_t> bytes(kCipherFuzzHeaderSize + static_cast<size_t>(encipheredLength(n)));
  int32_t length = 0;
  encipherBuffer(reinterpret_cast<const uint8_t*>(seed.message.data()), n, kCipherFuzzKey,
                 bytes.data() + kCipherFuzzHeaderSize, length);
  writeFuzzField(n - seed.capacityShortBy, bytes.data());
  writeFuzzField(length, bytes.data() + 4);
  const std::string path = directory + "/" + seed.name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  std::srand(1);  // the same seeds on every run
  const Seed seeds[] = {
      {"empty", "", 0},
      {"one-byte", "1", 0},
      {"fill-zero", "sixsix", 0},
      {"fill-seven", "seven77", 0},
      {"install-channel-utf8", "\xEF\xBB\xBF\r\n[installchannel]\r\nmaincid=1101010001\r\n\r\n", 0},
      {"install-channel-utf16", utf16WithMark(u"\r\n[\u5B89\u88C5]\r\nmaincid=1101010001\r\n"), 0},
      {"capacity-short", "maincid=1101010001", 1},
  };
  for (const Seed& seed : seeds) {
    if (!writeSeed(argv[1], seed)) {
      std::fprintf(stderr, "cannot write %s/%s\n", argv[1], seed.name);
      return 1;
    }
  }
  return 0;
}
