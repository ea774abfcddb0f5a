// A chain check and the bare Ed25519 verification of the same signatures, one
// after the other in every iteration: `ratio` is the chain's rate over the
// bare rate.
#pragma once

#include <benchmark/benchmark.h>
#include <sodium.h>

#include <chrono>
#include <cstddef>

// `chain` holds `messages`, `signatures` and `keys` of its `count` records;
// `verify()` checks the whole chain and returns the record count (or none).
template <class Chain, class Verify>
void measure_over_bare(benchmark::State& state, const Chain& chain, std::size_t count, Verify verify) {
  double chain_s = 0;
  double bare_s = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const auto n = verify();
    const auto t1 = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < count; ++i) {
      const auto& m = chain.messages[i];
      benchmark::DoNotOptimize(crypto_sign_verify_detached(chain.signatures[i].data(),
                                                           reinterpret_cast<const unsigned char*>(m.data()),
                                                           m.size(), chain.keys[i].data()));
    }
    const auto t2 = std::chrono::steady_clock::now();
    if (!n || *n != count) state.SkipWithError("not verified");
    chain_s += std::chrono::duration<double>(t1 - t0).count();
    bare_s += std::chrono::duration<double>(t2 - t1).count();
  }
  const double runs = static_cast<double>(state.iterations()) * static_cast<double>(count);
  state.counters["records_per_s"] = runs / chain_s;
  state.counters["bare_per_s"] = runs / bare_s;
  state.counters["ratio"] = bare_s / chain_s;
}
