// Cost of one install-channel update on files of 16 KiB, 128 KiB and 1 MiB:
// load + saveInstallChannel on a real file (read, decipher, convert, parse,
// build, convert, encipher, write a new file, flush, rename), and the same
// work without the file system (loadBytes + fileImage). Bytes per second are
// counted in file bytes, so a constant ns/byte across sizes means linear cost.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "record_file/channel_record_file.h"

namespace {

namespace fs = std::filesystem;

// The enciphered bytes of a code page 936 file of about `size` bytes: sections
// of entries with ASCII names and Chinese values, as the store writes them.
std::vector<uint8_t> sampleFile(size_t size) {
  std::string text = "[InstallChannel]\r\nMainCid=7\r\n";
  for (int i = 0; text.size() < size; ++i) {
    if (i % 20 == 0) text += "[section" + std::to_string(i / 20) + "]\r\n";
    text += "entry" + std::to_string(i) + "=\xC4\xE3\xBA\xC3 value " + std::to_string(i * 7919) + "\r\n";
  }
  ChannelRecordFile store;
  store.loadBytes(std::vector<uint8_t>(text.begin(), text.end()));
  std::vector<uint8_t> image;
  store.fileImage(image);
  return image;
}

fs::path writeSample(size_t size) {
  fs::path path = fs::temp_directory_path() / ("channel_record_bench_" + std::to_string(size) + ".as");
  std::vector<uint8_t> bytes = sampleFile(size);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

void loadAndSave(benchmark::State& state) {
  fs::path path = writeSample(static_cast<size_t>(state.range(0)));
  std::u16string widePath = path.u16string();
  size_t bytes = fs::file_size(path);
  for (auto _ : state) {
    ChannelRecordFile store;
    benchmark::DoNotOptimize(store.load(widePath));
    if (!store.saveInstallChannel(u"1101010001")) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["file_bytes"] = static_cast<double>(bytes);
  fs::remove(path);
}

void loadAndSaveInMemory(benchmark::State& state) {
  std::vector<uint8_t> file = sampleFile(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    ChannelRecordFile store;
    benchmark::DoNotOptimize(store.loadBytes(file));
    store.saveInstallChannel(u"1101010001");
    std::vector<uint8_t> image;
    benchmark::DoNotOptimize(store.fileImage(image));
    benchmark::DoNotOptimize(image);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
  state.counters["file_bytes"] = static_cast<double>(file.size());
}

BENCHMARK(loadAndSave)->Arg(16 << 10)->Arg(128 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(loadAndSaveInMemory)->Arg(16 << 10)->Arg(128 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
