// Scratch folders and whole-file helpers for the tests of the file layer
// and of what is built on it.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  explicit TempFolder(std::u16string_view leaf = u"store") {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() / ("record-" + std::to_string(stamp) + "-" + std::to_string(++counter));
    path_ /= fs::path(std::u16string(leaf));
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_.parent_path(), ignored);
  }
  fs::path file(std::u16string_view name = u"InsChannel.as") const { return path_ / fs::path(std::u16string(name)); }
  std::vector<fs::path> contents() const {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename());
    return names;
  }

 private:
  fs::path path_;
};

inline void writeFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

