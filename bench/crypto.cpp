#include <benchmark/benchmark.h>

#include <vector>

#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"
#include "crypto/random.hpp"

namespace {

void BM_HexEncode(benchmark::State& state) {
  std::vector<unsigned char> bytes(static_cast<std::size_t>(state.range(0)));
  qv::crypto::os_random_bytes(bytes);
  for (auto _ : state) benchmark::DoNotOptimize(qv::crypto::hex_encode(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_HexEncode)->Arg(1 << 20);

void BM_GenerateSigningKey(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qv::crypto::generate_signing_key().public_key());
}
BENCHMARK(BM_GenerateSigningKey);

}  // namespace

BENCHMARK_MAIN();
