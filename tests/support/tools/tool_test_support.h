// For the tools' tests: small PE images made byte by byte, scratch folders,
// and a fixture that runs a tool and keeps what it printed.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "file_io/file_io.h"

using Bytes = std::vector<uint8_t>;

inline void putWord(Bytes& bytes, size_t at, uint16_t value) {
  bytes[at] = uint8_t(value);
  bytes[at + 1] = uint8_t(value >> 8);
}

inline void putDword(Bytes& bytes, size_t at, uint32_t value) {
  putWord(bytes, at, uint16_t(value));
  putWord(bytes, at + 2, uint16_t(value >> 16));
}

// A PE image of 0x400 bytes: MS-DOS header with e_lfanew 0x80, "PE\0\0", a
// COFF header and an optional header (PE32, or PE32+ when `plus`) with 16
// data directories, all empty. Everything else is filler.
inline Bytes peImage(bool plus = false) {
  Bytes bytes(0x400, 0xCC);
  std::fill(bytes.begin() + 2, bytes.begin() + 0x200, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  putDword(bytes, 0x3C, 0x80);
  bytes[0x80] = 'P';
  bytes[0x81] = 'E';
  putWord(bytes, 0x84, plus ? 0x8664 : 0x14C);     // machine
  putWord(bytes, 0x84 + 16, plus ? 0xF0 : 0xE0);   // SizeOfOptionalHeader
  const size_t optional = 0x98;
  putWord(bytes, optional, plus ? 0x20B : 0x10B);  // magic
  putDword(bytes, optional + (plus ? 108 : 92), 16);  // NumberOfRvaAndSizes
  return bytes;
}

// Where the certificate table's data directory entry is, in an image whose
// e_lfanew is `peAt` (0x80 in peImage).
inline size_t certificateEntry(bool plus, size_t peAt = 0x80) { return peAt + 24 + (plus ? 112 : 96) + 4 * 8; }

// Appends a WIN_CERTIFICATE (PKCS#7 type, revision 2) of `payload` bytes to
// `image` and points the certificate table entry at `entryAt` to it, as
// signing does.
inline void appendCertificate(Bytes& image, size_t entryAt, size_t payload = 40) {
  const size_t at = image.size();
  const size_t length = (8 + payload + 7) / 8 * 8;
  image.resize(at + length, 0x30);
  putDword(image, at, uint32_t(length));
  putWord(image, at + 4, 0x0200);
  putWord(image, at + 6, 0x0002);
  putDword(image, entryAt, uint32_t(at));
  putDword(image, entryAt + 4, uint32_t(length));
}

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("tools-test-" + std::to_string(stamp) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // The UTF-8 path of `name` in this folder.
  std::string path(const std::string& name) const {
    const std::u8string text = (path_ / std::filesystem::path(std::u8string(name.begin(), name.end()))).u8string();
    return std::string(text.begin(), text.end());
  }
  // Writes `bytes` to `name`; returns its path.
  std::string write(const std::string& name, const Bytes& bytes) const {
    const std::string target = path(name);
    std::ofstream(std::filesystem::path(std::u8string(target.begin(), target.end())), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return target;
  }
  std::string write(const std::string& name, const std::string& text) const {
    return write(name, Bytes(text.begin(), text.end()));
  }
  // The bytes of the file at `path`; empty when there is none.
  static Bytes read(const std::string& path) {
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static bool exists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::path(std::u8string(path.begin(), path.end())));
  }
  // Names of the files in this folder and its subfolders.
  size_t fileCount() const {
    size_t count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) count += entry.is_regular_file();
    return count;
  }

 private:
  std::filesystem::path path_;
};

// Runs one tool (runChannelStamp, runChannelRecord) with a scratch folder.
class ToolTest : public ::testing::Test {
 protected:
  using Runner = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&, const FileOperations&);
  explicit ToolTest(Runner runner) : runner_(runner) {}

  // Runs the tool with `arguments`, writing through `files`; its output and
  // errors replace the last run's.
  int run(const std::vector<std::string>& arguments, const FileOperations& files = systemFileOperations()) {
    out_.str("");
    err_.str("");
    return runner_(arguments, out_, err_, files);
  }
  bool printed(const std::string& text) const { return out_.str().find(text) != std::string::npos; }
  bool complained(const std::string& text) const { return err_.str().find(text) != std::string::npos; }

  ScratchDirectory folder_;
  std::ostringstream out_, err_;

 private:
  Runner runner_;
};
