// Tables fed by hostile keys: texts built to share one value of the unkeyed
// std::hash, read where callers' keys fill tables. The object keys of a
// signed document (verify_document_json) and the record hashes of a chain
// (record_verify_chains, which gathers them even when no seal holds) grow
// linearly with the count, as ordinary keys do; a table on std::hash, shown
// for contrast, grows quadratically with the same keys.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/flood_keys.hpp"
#include "json/writer.hpp"
#include "records/chain.hpp"
#include "records/document.hpp"
#include "records/write.hpp"

namespace {

using namespace qv::records;

// Ordinary keys of the same length, for comparison.
std::vector<std::string> plain_keys(std::size_t count) {
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < count; ++i) keys.push_back("key-" + std::to_string(100000000000 + i));
  return keys;
}

std::vector<std::string> keys_for(bool crafted, std::size_t count) {
  return crafted ? qv::testing::std_hash_colliding_keys(count) : plain_keys(count);
}

// verify_document_json of a document whose content is an object of `count`
// members keyed by the keys.
void BM_DocumentKeys(benchmark::State& state, bool crafted) {
  const auto count = static_cast<std::size_t>(state.range(0));
  std::string content = "{";
  for (const std::string& k : keys_for(crafted, count)) {
    if (content.size() > 1) content += ',';
    qv::json::write_json_string(k, content);
    content += ":0";
  }
  content += '}';
  const auto doc = sign_document_json("report", content, std::string(64, '1'));
  if (!doc) {
    state.SkipWithError("not signed");
    return;
  }
  for (auto _ : state) {
    if (!verify_document_json(*doc)) state.SkipWithError("not verified");
  }
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK_CAPTURE(BM_DocumentKeys, crafted, true)->Arg(25000)->Arg(50000)->Arg(100000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DocumentKeys, plain, false)->Arg(25000)->Arg(50000)->Arg(100000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

// record_verify_chains of one chain of `count` record lines whose record
// hashes are the keys; no seal holds, so it fails, after every line is read
// and every hash gathered for the shared-record check.
void BM_ChainRecordHashes(benchmark::State& state, bool crafted) {
  const auto count = static_cast<std::size_t>(state.range(0));
  EvidenceRecord record;
  record.record_id = "rec_1";
  record.timestamp = "2026-01-02T03:04:05Z";
  record.content.schema = "quillaveen.evidence/v1";
  record.content_hash = "sha256:" + std::string(64, 'a');
  record.signature = std::string(128, '0');
  record.signer_public_key = std::string(64, '0');
  std::vector<std::string> texts(1);
  for (std::string& k : keys_for(crafted, count)) {
    record.record_hash = std::move(k);
    texts[0] += write_evidence_record_json(record);
    texts[0] += '\n';
  }
  for (auto _ : state) {
    const auto n = verify_jsonl_chains(texts, true);
    if (n) state.SkipWithError("a broken chain verified");
  }
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK_CAPTURE(BM_ChainRecordHashes, crafted, true)->Arg(25000)->Arg(50000)->Arg(100000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChainRecordHashes, plain, false)->Arg(25000)->Arg(50000)->Arg(100000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

// The same crafted keys in a std::unordered_set on std::hash: the flood the
// keyed hash prevents.
void BM_UnkeyedSetCrafted(benchmark::State& state) {
  const auto keys = qv::testing::std_hash_colliding_keys(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::unordered_set<std::string> set(keys.begin(), keys.end());
    benchmark::DoNotOptimize(set.size());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_UnkeyedSetCrafted)->Arg(5000)->Arg(10000)->Arg(20000)->Complexity(benchmark::oNSquared)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
