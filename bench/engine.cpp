// The whole verification of a request, from its JSON text to the sealed
// record's text, on the demo's sample request and on large generated ones;
// then each stage of the large request alone, to show where the time goes.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/assemble.hpp"
#include "engine/decision.hpp"
#include "engine/graph.hpp"
#include "engine/pipeline.hpp"
#include "engine/pipeline_json.hpp"
#include "json/value.hpp"
#include "json/writer.hpp"
#include "records/read.hpp"
#include "records/seal.hpp"
#include "verifiers/intent.hpp"
#include "verifiers/numeric.hpp"
#include "verifiers/numeric_figures.hpp"
#include "verifiers/rule_set.hpp"
#include "verifiers/rules.hpp"
#include "verifiers/scope.hpp"

namespace {

using namespace qv;

std::string sample_request() {
  std::ifstream in(QV_EXAMPLES_DIR "/sample_request.json");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

constexpr const char* kRuleSet =
    R"({"id":"house","version":"1","rules":[{"id":"no-guarantees","scope":{"claim_kind":"statement"},)"
    R"("when":{"text_matches":"(?i)\\bguarantee"},"emit":"contradicted"},{"id":"pct","scope":{"claim_kind":"numeric"},)"
    R"("when":{"text_matches":"%","source_matches":"(?i)margin"},"emit":"supported"}]})";

// An answer of 10 KB times `scale` with 50 figures per 10 KB, and 2 sources
// of 10 KB per `scale`, most figures found in the sources, some off by a
// little, some nowhere.
std::string large_request(int scale) {
  std::uint32_t state = 12345;
  const auto next = [&state] { return state = state * 1103515245u + 12345u, (state >> 8) % 1000; };
  const char* units[] = {"EUR {} million", "{}%", "{} GWh", "{} customers", "USD {} billion"};
  const auto figure = [&](int i, unsigned v) {
    std::string f = units[i % 5];
    f.replace(f.find("{}"), 2, std::to_string(v) + "." + std::to_string(v % 10));
    return f;
  };
  std::vector<std::string> figures;
  for (int i = 0; i < 50 * scale; ++i) figures.push_back(figure(i, next()));

  json::Array sources;
  const int source_count = 2 * scale;
  for (int s = 0; s < source_count; ++s) {
    std::string text;
    for (int i = s; text.size() < 10'000; i += source_count) {
      const std::string& f = figures[static_cast<std::size_t>(i) % figures.size()];
      text += "In the reporting period the segment recorded " + (i % 7 == 0 ? figure(i, next()) : f) +
              ", according to the audited statements and the notes to the accounts. ";
    }
    json::Object provenance;
    provenance.insert_or_assign("company", json::Value("Northwind Energy"));
    json::Object source;
    source.insert_or_assign("id", json::Value("s" + std::to_string(s)));
    source.insert_or_assign("text", json::Value(std::move(text)));
    source.insert_or_assign("provenance", json::Value(std::move(provenance)));
    sources.emplace_back(std::move(source));
  }
  std::string answer;
  for (std::size_t i = 0; i < figures.size(); ++i) {
    answer += "Looking at the operating segment number " + std::to_string(i) + ", the company reported " +
              (i % 11 == 0 ? figure(static_cast<int>(i), next()) : figures[i]) +
              " for the year, which management described as in line with its plan for the period. ";
  }
  json::Object scope;
  scope.insert_or_assign("company", json::Value("Northwind Energy"));
  json::Object request;
  request.insert_or_assign("question", json::Value("How did the segments of Northwind Energy perform?"));
  request.insert_or_assign("answer", json::Value(std::move(answer)));
  request.insert_or_assign("sources", json::Value(std::move(sources)));
  request.insert_or_assign("scope", json::Value(std::move(scope)));
  request.insert_or_assign("rule_sets_json", json::Value(json::Array{json::Value(kRuleSet)}));
  return json::write_json_compact(json::Value(std::move(request)));
}

void verify(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    auto out = engine::verify_request_json(text, engine::RecordForm::Sealed, engine::Timed::No);
    if (!out) state.SkipWithError(records::display(out.error()).c_str());
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["requests/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_VerifySample(benchmark::State& state) { verify(state, sample_request()); }
BENCHMARK(BM_VerifySample)->Unit(benchmark::kMicrosecond);

// Scale 10 is the large request: a 100 KB answer with 500 figures and 20
// sources of 10 KB.
void BM_VerifyLarge(benchmark::State& state) { verify(state, large_request(static_cast<int>(state.range(0)))); }
BENCHMARK(BM_VerifyLarge)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// The stages of one request, each on the previous stages' output: the
// sample request (argument 0) and the large one (argument 1).
struct Stages {
  std::string text;
  engine::Policy policy = engine::parse_policy(engine::default_policy_text()).value();
  records::VerifyRequest request;
  records::VerificationContext context;
  std::vector<verifiers::VerifierPtr> verifiers;
  records::EvidenceGraph graph;
  records::RecordContent content;

  explicit Stages(std::string request_text) : text(std::move(request_text)) {
    request = records::deserialize_verify_request(text).value();
    context = engine::prepare_request_context(request);
    verifiers = build_verifiers().value();
    for (const auto& v : verifiers) {
      if (auto found = v->run(context)) engine::add_verifier_evidence(graph, v->info(), std::move(*found));
    }
    content.input_hash = records::compute_input_hash(context).value();
    content.graph = graph;
    content.outcome = decide().value();
  }
  core::Result<std::vector<verifiers::VerifierPtr>> build_verifiers() const {
    std::vector<verifiers::VerifierPtr> list;
    list.push_back(std::make_unique<verifiers::NumericVerifier>(request.numeric));
    list.push_back(std::make_unique<verifiers::ScopeVerifier>(verifiers::numeric_figures()));
    list.push_back(std::make_unique<verifiers::IntentVerifier>(verifiers::numeric_figures()));
    for (const std::string& text : request.rule_sets_json) {
      auto rules = verifiers::make_rules_verifier(verifiers::read_rule_set(text).value());
      if (!rules) return std::unexpected(rules.error());
      list.push_back(std::move(*rules));
    }
    return list;
  }
  core::Result<records::PolicyOutcome> decide() const {
    engine::ClaimKinds kinds;
    for (const auto& c : context.claims) kinds.emplace(c.id, c.kind);
    std::vector<std::string> keys;
    for (const auto& entry : context.scope) keys.push_back(entry.first);
    return engine::decide_outcome(policy, graph, kinds, keys, std::nullopt);
  }
};

const Stages& stages(std::int64_t which) {
  static const Stages sample(sample_request());
  static const Stages large(large_request(10));
  return which == 0 ? sample : large;
}

#define QV_STAGE(name) BENCHMARK(name)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)

void BM_StageReadRequest(benchmark::State& state) {
  const Stages& s = stages(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(records::deserialize_verify_request(s.text));
}
QV_STAGE(BM_StageReadRequest);

void BM_StagePolicy(benchmark::State& state) {
  const Stages& s = stages(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(engine::apply_policy_to_request(s.request, *engine::request_policy(s.request)));
}
QV_STAGE(BM_StagePolicy);

void BM_StageNormaliseAndExtract(benchmark::State& state) {
  const Stages& s = stages(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(engine::prepare_request_context(s.request));
  state.counters["claims"] = static_cast<double>(s.context.claims.size());
}
QV_STAGE(BM_StageNormaliseAndExtract);

void BM_StageBuildVerifiers(benchmark::State& state) {
  const Stages& s = stages(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(s.build_verifiers());
}
QV_STAGE(BM_StageBuildVerifiers);

void BM_StageVerifier(benchmark::State& state) {
  const Stages& s = stages(state.range(0));
  const auto& v = *s.verifiers[static_cast<std::size_t>(state.range(1))];
  state.SetLabel(v.info().id);
  for (auto _ : state) benchmark::DoNotOptimize(v.run(s.context));
}
BENCHMARK(BM_StageVerifier)->ArgsProduct({{0, 1}, {0, 1, 2, 3}})->Unit(benchmark::kMicrosecond);

void BM_StageDecide(benchmark::State& state) {
  const Stages& s = stages(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(s.decide());
}
QV_STAGE(BM_StageDecide);

// Input hash, record id, sealing and writing the record.
void BM_StageSeal(benchmark::State& state) {
  const Stages& s = stages(state.range(0));
  for (auto _ : state) {
    const auto key = crypto::generate_signing_key();
    auto input = records::compute_input_hash(s.context);
    auto id = engine::build_evidence_record(s.content);
    auto record = records::seal_hashed_evidence_record(s.content, id->content_hash, std::nullopt, id->record_id,
                                                       id->timestamp, key);
    benchmark::DoNotOptimize(input);
    benchmark::DoNotOptimize(records::write_evidence_record_json(record));
  }
}
QV_STAGE(BM_StageSeal);

}  // namespace

BENCHMARK_MAIN();
