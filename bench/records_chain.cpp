// Verifying a stored chain of 10,000 sealed records (reading the JSON Lines
// text, recomputing every content and record hash, checking every link and
// Ed25519 signature), beside the bare libsodium verification of the same
// signatures, which bounds it from above.
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/digest.hpp"
#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"
#include "crypto/sha256.hpp"
#include "json/canonical.hpp"
#include "json/stream.hpp"
#include "json/writer.hpp"
#include "json_document.hpp"
#include "over_bare.hpp"
#include "over_sha256.hpp"
#include "record_content.hpp"
#include "records/chain.hpp"
#include "records/digest.hpp"
#include "records/read.hpp"
#include "records/write.hpp"
#include "records/seal.hpp"
#include "records/verify.hpp"

namespace {

using namespace qv::records;

constexpr std::size_t kRecords = 10000;

using qv::bench::content_of;

struct Chain {
  std::string jsonl;
  std::vector<std::string> messages;
  std::vector<std::array<unsigned char, 64>> signatures;
  std::vector<std::array<unsigned char, 32>> keys;
};

const Chain& chain() {
  static const Chain c = [] {
    Chain out;
    std::optional<std::string> previous;
    for (std::size_t i = 0; i < kRecords; ++i) {
      const SigningKey key = generate_signing_key();
      auto record = seal_evidence_record(content_of(i), previous, "rec_" + std::to_string(100000000000 + i),
                                         "2026-01-02T03:04:05Z", key)
                        .value();
      out.jsonl += write_evidence_record_json(record);
      out.jsonl += '\n';
      out.messages.push_back(record.record_hash);
      std::array<unsigned char, 64> sig{};
      (void)qv::crypto::decode_hex_into(record.signature, sig);
      out.signatures.push_back(sig);
      out.keys.push_back(key.public_key());
      previous = record.record_hash;
    }
    return out;
  }();
  return c;
}

// What record_verify runs: each line read, its seal and link checked.
void BM_RecordVerify10k(benchmark::State& state) {
  const Chain& c = chain();
  const std::vector<std::string> texts = {c.jsonl};
  for (auto _ : state) {
    const auto n = verify_jsonl_chains(texts, false);
    if (!n || *n != kRecords) state.SkipWithError("not verified");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.jsonl.size()));
}
BENCHMARK(BM_RecordVerify10k)->Unit(benchmark::kMillisecond);

// The floor: libsodium's Ed25519 verification of the same 10,000 signatures.
void BM_BareLibsodiumVerify10k(benchmark::State& state) {
  const Chain& c = chain();
  for (auto _ : state) {
    for (std::size_t i = 0; i < kRecords; ++i) {
      const std::string& m = c.messages[i];
      if (crypto_sign_verify_detached(c.signatures[i].data(), reinterpret_cast<const unsigned char*>(m.data()),
                                      m.size(), c.keys[i].data()) != 0) {
        state.SkipWithError("not verified");
      }
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}
BENCHMARK(BM_BareLibsodiumVerify10k)->Unit(benchmark::kMillisecond);

// Both, one after the other in every iteration, so that the machine's load
// weighs on them alike: `ratio` is record_verify's rate over the bare rate.
// Five repetitions each, here and below: the median is the figure.
void BM_RecordVerifyOverBare10k(benchmark::State& state) {
  const Chain& c = chain();
  const std::vector<std::string> texts = {c.jsonl};
  measure_over_bare(state, c, kRecords, [&] { return verify_jsonl_chains(texts, false); });
}
BENCHMARK(BM_RecordVerifyOverBare10k)->Unit(benchmark::kMillisecond)->MinTime(3.0)->Repetitions(5)->DisplayAggregatesOnly(true);

// Reading, canonicalising and hashing beside SHA-256 of the same bytes: a
// generic document (1 MB), read as events into the canonical writer, then
// hashed, as signed documents are.
void BM_GenericCanonicalDigestOverSha256(benchmark::State& state) {
  const std::string& text = qv::bench::document();
  measure_over_sha256(state, text, [&] {
    thread_local qv::json::CanonicalOut out;
    out.reset();
    if (!qv::json::stream_json(text, out)) return false;
    benchmark::DoNotOptimize(qv::crypto::text_digest(out.text()));
    return true;
  });
}
BENCHMARK(BM_GenericCanonicalDigestOverSha256)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(5)->DisplayAggregatesOnly(true);

// The chain's records (24 MB): each line read as a record, its content's
// canonical digest taken, as record_verify does before the signature check
// (one reader for all lines, as there).
void BM_TypedCanonicalDigestOverSha256(benchmark::State& state) {
  const std::string& text = chain().jsonl;
  measure_over_sha256(state, text, [&] {
    EvidenceRecordReader reader;
    JsonLines lines(text);
    while (const auto line = lines.next()) {
      if (!reader.read(*line) || !reader.content_hash()) return false;
    }
    return true;
  });
}
BENCHMARK(BM_TypedCanonicalDigestOverSha256)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(5)->DisplayAggregatesOnly(true);

// Where the rest of the time goes: reading alone, and the checks alone.
void BM_ReadChain10k(benchmark::State& state) {
  const Chain& c = chain();
  for (auto _ : state) benchmark::DoNotOptimize(parse_evidence_records_jsonl(c.jsonl));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}
BENCHMARK(BM_ReadChain10k)->Unit(benchmark::kMillisecond);

// Reading each line with the full reader: one record at a time, dropped
// after use.
void BM_ReadEach10k(benchmark::State& state) {
  const Chain& c = chain();
  for (auto _ : state) {
    JsonLines lines(c.jsonl);
    while (const auto line = lines.next()) benchmark::DoNotOptimize(read_evidence_record_json(*line));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.jsonl.size()));
}
BENCHMARK(BM_ReadEach10k)->Unit(benchmark::kMillisecond);

void BM_ContentHash10k(benchmark::State& state) {
  const auto records = parse_evidence_records_jsonl(chain().jsonl).value();
  for (auto _ : state) {
    for (const auto& r : records) benchmark::DoNotOptimize(compute_content_hash(r.content));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}
BENCHMARK(BM_ContentHash10k)->Unit(benchmark::kMillisecond);

// The same over 64 records again and again, in cache as when each record
// is hashed right after it was read.
void BM_ContentHashInCache(benchmark::State& state) {
  auto records = parse_evidence_records_jsonl(chain().jsonl).value();
  records.resize(64);
  for (auto _ : state) {
    for (const auto& r : records) benchmark::DoNotOptimize(compute_content_hash(r.content));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * records.size()));
}
BENCHMARK(BM_ContentHashInCache)->Unit(benchmark::kMicrosecond);

// The content hash in its two parts: writing the canonical text, and
// SHA-256 over it.
void BM_CanonicalText10k(benchmark::State& state) {
  const auto records = parse_evidence_records_jsonl(chain().jsonl).value();
  qv::json::CanonicalOut out;
  for (auto _ : state) {
    for (const auto& r : records) {
      out.reset();
      emit::value(out, r.content);
      benchmark::DoNotOptimize(out.text().data());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}
BENCHMARK(BM_CanonicalText10k)->Unit(benchmark::kMillisecond);

void BM_CanonicalDigest10k(benchmark::State& state) {
  const auto records = parse_evidence_records_jsonl(chain().jsonl).value();
  std::vector<std::string> texts;
  qv::json::CanonicalOut out;
  for (const auto& r : records) {
    out.reset();
    emit::value(out, r.content);
    texts.emplace_back(out.text());
  }
  for (auto _ : state) {
    for (const auto& t : texts) benchmark::DoNotOptimize(qv::crypto::text_digest(t));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}
BENCHMARK(BM_CanonicalDigest10k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
