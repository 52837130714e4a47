// Throughput of the record cipher's buffer functions beside a bare loop of the
// 16-cycle block function over the same number of bytes, so the cost of the
// container and the chaining shows against the cost of TEA itself.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "record_file/record_cipher.h"

namespace {

constexpr uint8_t kKey[kCipherKeySize] = {'p', 'l', 'u', 'm', 'T', 'r', 'o', 'w',
                                          'e', 'l', ' ', ' ', ' ', ' ', ' ', ' '};

std::vector<uint8_t> sampleMessage(int64_t size) {
  std::vector<uint8_t> message(static_cast<size_t>(size));
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i * 131 + 7);
  return message;
}

std::vector<uint8_t> enciphered(const std::vector<uint8_t>& message) {
  const auto n = static_cast<int32_t>(message.size());
  std::vector<uint8_t> cipher(static_cast<size_t>(encipheredLength(n)));
  int32_t length = 0;
  encipherBuffer(message.data(), n, kKey, cipher.data(), length);
  return cipher;
}

void BM_EncipherBuffer(benchmark::State& state) {
  const std::vector<uint8_t> message = sampleMessage(state.range(0));
  const auto n = static_cast<int32_t>(message.size());
  std::vector<uint8_t> output(static_cast<size_t>(encipheredLength(n)));
  for (auto _ : state) {
    int32_t length = 0;
    encipherBuffer(message.data(), n, kKey, output.data(), length);
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_DecipherBuffer(benchmark::State& state) {
  const std::vector<uint8_t> cipher = enciphered(sampleMessage(state.range(0)));
  std::vector<uint8_t> output(cipher.size());
  for (auto _ : state) {
    const auto length = static_cast<int32_t>(cipher.size());
    int32_t outputLength = length;
    if (decipherBuffer(cipher.data(), length, kKey, output.data(), outputLength) != 1) {
      state.SkipWithError("decipher failed");
      break;
    }
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The bare block function over the message bytes, block by block in place.
template <void (*blockFunction)(const uint8_t*, const uint8_t*, uint8_t*)>
void BM_BlockLoop(benchmark::State& state) {
  std::vector<uint8_t> bytes = sampleMessage(state.range(0));
  for (auto _ : state) {
    for (size_t offset = 0; offset + kCipherBlockSize <= bytes.size(); offset += kCipherBlockSize) {
      blockFunction(bytes.data() + offset, kKey, bytes.data() + offset);
    }
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void sizes(benchmark::internal::Benchmark* benchmark) {
  for (const int64_t size : {64, 4 << 10, 64 << 10, 1 << 20}) benchmark->Arg(size);
}

BENCHMARK(BM_EncipherBuffer)->Apply(sizes);
BENCHMARK(BM_DecipherBuffer)->Apply(sizes);
BENCHMARK_TEMPLATE(BM_BlockLoop, encipherBlock)->Apply(sizes);
BENCHMARK_TEMPLATE(BM_BlockLoop, decipherBlock)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
