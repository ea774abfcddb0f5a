// Writing, hashing and reading evidence records of realistic size.
#include <benchmark/benchmark.h>

#include <string>

#include "records/digest.hpp"
#include "records/write.hpp"
#include "records/read.hpp"

namespace {

using namespace qv::records;

// A content with `n` findings spread over n/4 claims and four verifiers.
RecordContent sample_content(int n) {
  RecordContent c;
  c.schema = std::string(kRecordSchema);
  c.engine_version = "6.0.5";
  c.bundle_hash = std::string(kUnbundledHash);
  c.input_hash = "sha256:" + std::string(64, 'a');
  c.locale = "en";
  for (const char* id : {"quillaveen.numeric", "quillaveen.scope", "quillaveen.intent", "quillaveen.rules.acme"}) {
    c.graph.verifiers.push_back(VerifierInfo{id, "1.0.0", VerifierKind::Symbolic, Determinism::exact(),
                                             {ClaimKind::Numeric, ClaimKind::Statement}, {}, false});
  }
  for (int i = 0; i < n; ++i) {
    Evidence e;
    e.verifier_id = c.graph.verifiers[i % 4].id;
    e.verifier_version = "1.0.0";
    e.claim_id = "c" + std::to_string(i / 4);
    e.result = EvidenceResult::Supported;
    e.score = 0.875;
    e.confidence = 1.0;
    e.rationale = "figure 12.5% matches source s1 after rounding to one decimal place";
    e.receipt = Receipt{"s1", Span{static_cast<std::uint64_t>(i), static_cast<std::uint64_t>(i + 5)}, "12.5%",
                        {"rounded"}};
    c.graph.evidence.push_back(std::move(e));
  }
  c.outcome.policy_id = "quillaveen_default_v1";
  c.outcome.policy_version = "1";
  c.outcome.policy_hash = "sha256:" + std::string(64, 'b');
  for (int i = 0; i < n / 4; ++i) c.outcome.claims.push_back({"c" + std::to_string(i), Decision::Pass, {}});
  return c;
}

EvidenceRecord sample_record(int n) {
  EvidenceRecord r;
  r.record_id = "rec_0123456789ab_0123456789ab";
  r.timestamp = "2026-01-02T03:04:05Z";
  r.content = sample_content(n);
  r.content_hash = *compute_content_hash(r.content);
  r.record_hash = "sha256:" + std::string(64, 'c');
  r.signature = std::string(128, 'd');
  r.signer_public_key = std::string(64, 'e');
  return r;
}

void BM_WriteRecord(benchmark::State& state) {
  const EvidenceRecord r = sample_record(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = write_evidence_record_json(r);
    bytes += text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteRecord)->Arg(8)->Arg(200);

void BM_ContentHash(benchmark::State& state) {
  const RecordContent c = sample_content(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(compute_content_hash(c));
}
BENCHMARK(BM_ContentHash)->Arg(8)->Arg(200);

void BM_ContentToValue(benchmark::State& state) {
  const RecordContent c = sample_content(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(record_content_to_value(c));
}
BENCHMARK(BM_ContentToValue)->Arg(200);

void BM_ReadRecord(benchmark::State& state) {
  const std::string text = write_evidence_record_json(sample_record(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(read_evidence_record_json(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadRecord)->Arg(8)->Arg(200);

void BM_ReadRequest(benchmark::State& state) {
  std::string text = R"({"answer":")" + std::string(2000, 'x') + R"(","sources":[)";
  for (int i = 0; i < 20; ++i) {
    if (i) text += ',';
    text += R"({"id":"s)" + std::to_string(i) + R"(","text":")" + std::string(4000, 'y') +
            R"(","provenance":{"url":"https://example.org","page":"3"}})";
  }
  text += R"(],"question":"q","scope":{"year":"2024","company":"X"},"metadata":{"k":"v"},)"
          R"("numeric":{"rounding":"half_even"}})";
  for (auto _ : state) benchmark::DoNotOptimize(deserialize_verify_request(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadRequest);

}  // namespace

BENCHMARK_MAIN();
