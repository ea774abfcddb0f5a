// A path over a text and SHA-256 of the same bytes, one after the other in
// every iteration, so that the machine's load weighs on both alike: `ratio`
// is the path's rate over SHA-256's.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "crypto/digest.hpp"

// `path()` runs once per iteration and returns whether it succeeded; it keeps
// its own result from being optimised away.
template <class Path>
void measure_over_sha256(benchmark::State& state, const std::string& bytes, Path path) {
  double path_s = 0;
  double sha_s = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!path()) state.SkipWithError("path failed");
    const auto t1 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(qv::crypto::text_digest(bytes));
    const auto t2 = std::chrono::steady_clock::now();
    path_s += std::chrono::duration<double>(t1 - t0).count();
    sha_s += std::chrono::duration<double>(t2 - t1).count();
  }
  const double total = static_cast<double>(state.iterations()) * static_cast<double>(bytes.size());
  state.counters["path_MB_per_s"] = total / path_s / 1e6;
  state.counters["sha256_MB_per_s"] = total / sha_s / 1e6;
  state.counters["ratio"] = sha_s / path_s;
}
