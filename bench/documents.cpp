// Signing and verifying documents, text in and text out, as the module's
// document functions call them, each beside SHA-256 of the content's bytes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "json_document.hpp"
#include "over_sha256.hpp"
#include "records/document.hpp"

namespace {

constexpr std::string_view kSeed = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";

// The 1 MB report signed: read once into the document's text and into its
// canonical text, hashed as that forms, and signed.
void BM_SignDocumentOverSha256(benchmark::State& state) {
  const std::string& content = qv::bench::document();
  measure_over_sha256(state, content, [&] {
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
  measure_over_sha256(state, qv::bench::document(), [&] { return qv::records::verify_document_json(doc).has_value(); });
}
BENCHMARK(BM_VerifyDocumentOverSha256)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(5)->DisplayAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
