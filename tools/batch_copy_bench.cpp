// The baseline of scripts/bench-batch.sh: copies TEMPLATE into DIR as
// copy-1.exe .. copy-COUNT.exe in this one process (std::filesystem::copy_file,
// replacing what is there, no flush to the disk) and prints the seconds taken.
//
// Usage: batch_copy_bench TEMPLATE DIR COUNT
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: batch_copy_bench TEMPLATE DIR COUNT\n");
    return 16;
  }
  const std::filesystem::path source = argv[1], folder = argv[2];
  const long count = std::strtol(argv[3], nullptr, 10);
  std::filesystem::create_directories(folder);
  const auto start = std::chrono::steady_clock::now();
  for (long i = 1; i <= count; ++i) {
    std::error_code error;
    std::filesystem::copy_file(source, folder / ("copy-" + std::to_string(i) + ".exe"),
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
      std::fprintf(stderr, "batch_copy_bench: copy %ld: %s\n", i, error.message().c_str());
      return 21;
    }
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%.3f\n", elapsed.count());
  return 0;
}
