// Signing and verifying documents, text in and text out, as the module's
// document functions call them, each beside SHA-256 of the content's bytes
// in every iteration: `ratio` is the document path's rate over SHA-256's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>

#include "crypto/digest.hpp"
#include "json_document.hpp"
#include "records/document.hpp"

namespace {

constexpr std::string_view kSeed = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";

// Runs `path` and SHA-256 of `content` one after the other in every
// iteration, so that the machine's load weighs on both alike.
template <class Path>
void over_sha256(benchmark::State& state, const std::string& content, Path path) {
  double path_s = 0;
  double sha_s = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!path()) state.SkipWithError("document call failed");
    const auto t1 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(qv::crypto::text_digest(content));
    const auto t2 = std::chrono::steady_clock::now();
    path_s += std::chrono::duration<double>(t1 - t0).count();
    sha_s += std::chrono::duration<double>(t2 - t1).count();
  }
  const double bytes = static_cast<double>(state.iterations()) * static_cast<double>(content.size());
  state.counters["path_MB_per_s"] = bytes / path_s / 1e6;
  state.counters["sha256_MB_per_s"] = bytes / sha_s / 1e6;
  state.counters["ratio"] = sha_s / path_s;
}

// The 1 MB report signed: read once into the document's text and into its
// canonical text, hashed as that forms, and signed.
void BM_SignDocumentOverSha256(benchmark::State& state) {
  const std::string& content = qv::bench::document();
  over_sha256(state, content, [&] {
    auto text = qv::records::sign_document_json("report", content, kSeed);
    benchmark::DoNotOptimize(text);
    return text.has_value();
  });
}
BENCHMARK(BM_SignDocumentOverSha256)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(5)->DisplayAggregatesOnly(true);

// A signed document holding the report as it was written elsewhere (its
// floats in their own forms, not the engine's), as a stored document may
// come: the content read into its canonical text, hashed as that forms and
// compared, the signature checked.
const std::string& signed_document() {
  static const std::string doc = [] {
    const std::string& content = qv::bench::document();
    std::string text = qv::records::sign_document_json("report", content, kSeed).value();
    // The written content runs from after "content": to the ,"content_hash" member.
    const std::size_t start = text.find(R"("content":)") + 10;
    const std::size_t end = text.find(R"(,"content_hash":)");
    text.replace(start, end - start, content);
    if (!qv::records::verify_document_json(text)) std::abort();
    return text;
  }();
  return doc;
}

void BM_VerifyDocumentOverSha256(benchmark::State& state) {
  const std::string& doc = signed_document();
  over_sha256(state, qv::bench::document(), [&] { return qv::records::verify_document_json(doc).has_value(); });
}
BENCHMARK(BM_VerifyDocumentOverSha256)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(5)->DisplayAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
