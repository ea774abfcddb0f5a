// Reading, canonicalising and hashing a 1 MB document, beside plain SHA-256
// of the same bytes.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "json/canonical.hpp"
#include "json/reader.hpp"
#include "json/writer.hpp"

namespace {

// A record-like document of about 1 MB: objects with ids, texts with
// escapes and non-ASCII, integers, floats and short lists.
const std::string& document() {
  static const std::string doc = [] {
    std::mt19937_64 rng(7);
    qv::json::Array items;
    std::string text;
    while (true) {
      qv::json::Object ev;
      ev.insert_or_assign("verifier_id", "quillaveen.numeric");
      std::string claim = "c";
      claim += std::to_string(items.size());
      ev.insert_or_assign("claim_id", std::move(claim));
      ev.insert_or_assign("result", "supported");
      ev.insert_or_assign("score", static_cast<double>(rng() % 1000000) / 999983.0);
      ev.insert_or_assign("confidence", 0.5 + static_cast<double>(rng() % 1000) / 2000.0);
      qv::json::Object receipt;
      std::string source = "doc-";
      source += std::to_string(rng() % 1000);
      receipt.insert_or_assign("source_id", std::move(source));
      receipt.insert_or_assign("source_span", qv::json::Array{rng() % 5000, rng() % 5000 + 5000});
      text = "Revenue rose 12.5% to \xE2\x82\xAC";
      text += std::to_string(rng() % 100000);
      text += " million in \"Q3\"\n(restated).";
      receipt.insert_or_assign("source_text", text);
      receipt.insert_or_assign("notes", qv::json::Array{"unit_match", "scale_million"});
      ev.insert_or_assign("receipt", std::move(receipt));
      ev.insert_or_assign("determinism", qv::json::Object{});
      items.emplace_back(std::move(ev));
      if (items.size() % 64 == 0 && qv::json::write_json_compact(items).size() > (1u << 20)) break;
    }
    return qv::json::write_json_compact(items);
  }();
  return doc;
}

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

}  // namespace

BENCHMARK_MAIN();
