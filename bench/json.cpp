// Reading, canonicalising and hashing a 1 MB document, beside plain SHA-256
// of the same bytes.
#include <benchmark/benchmark.h>

#include <string>

#include "json/canonical.hpp"
#include "json/reader.hpp"
#include "json/stream.hpp"
#include "json/writer.hpp"
#include "json_document.hpp"

namespace {

using qv::bench::document;

void BM_ReadCanonicalText(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) {
    auto value = qv::json::read_json(doc);
    auto text = qv::json::canonical_text(*value);
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_ReadCanonicalText);

void BM_Read(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) benchmark::DoNotOptimize(qv::json::read_json(doc));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_Read);

// The same without a value tree: read as events into the canonical writer.
void BM_StreamCanonicalText(benchmark::State& state) {
  const std::string& doc = document();
  qv::json::CanonicalOut out;
  for (auto _ : state) {
    out.reset();
    benchmark::DoNotOptimize(qv::json::stream_json(doc, out));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_StreamCanonicalText);

}  // namespace

BENCHMARK_MAIN();
