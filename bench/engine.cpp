// The whole verification of a request, from its JSON text to the sealed
// record's text, on the demo's sample request and on a heavy generated one;
// then each stage of each alone, to show where the time goes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
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

// Words of a finance answer, for segment names and rule patterns.
constexpr const char* kWords[] = {
    "guarantee", "forecast", "outlook",  "dividend",  "impairment", "goodwill", "restructuring", "litigation",
    "covenant",  "hedge",    "pension",  "lease",     "provision",  "buyback",  "acquisition",   "divestment",
    "subsidy",   "tariff",   "emission", "carbon",    "capex",      "opex",     "EBITDA",        "margin",
    "revenue",   "debt",     "cash",     "liquidity", "rating",     "churn",    "customers",     "GWh",
    "billion",   "million",  "percent",  "quarter",   "segment",    "plan",     "record",        "growth",
    "decline",   "increase", "decrease", "target",    "guidance",   "audited",  "estimate",      "reported",
    "Northern",  "Southern"};
constexpr std::size_t kWordCount = std::size(kWords);

// Three rule sets of 50 rules, each rule scoped to a claim kind (or any),
// its `when` a pattern on the claim's text (some also on the answer or the
// sources, some with an `unless`), so that most claims go through many rules
// before one applies or none does.
std::vector<std::string> rule_sets() {
  const char* kinds[] = {"numeric", "statement", "temporal", "entity", nullptr};
  const char* emits[] = {"supported", "unsupported", "contradicted"};
  std::vector<std::string> sets;
  for (int set = 0; set < 3; ++set) {
    json::Array rules;
    for (std::size_t k = 0; k < 50; ++k) {
      const std::string word = kWords[(k * 7 + static_cast<std::size_t>(set) * 11) % kWordCount];
      json::Object when;
      switch ((k + static_cast<std::size_t>(set)) % 4) {
        case 0: when.insert_or_assign("text_matches", json::Value("(?i)\\b" + word + "s?\\b")); break;
        case 1: when.insert_or_assign("text_matches", json::Value("(?i)" + word + "\\D{0,20}\\d[\\d,.]*")); break;
        case 2:
          when.insert_or_assign("text_matches", json::Value("\\d+(?:\\.\\d+)?\\s*(?:%|" + word + ")"));
          when.insert_or_assign("source_matches", json::Value("(?i)audited statements"));
          break;
        default:
          when.insert_or_assign("text_matches", json::Value("(?i)^(?:.*\\s)?" + word));
          when.insert_or_assign("answer_matches", json::Value("(?i)in line with (?:its|the) plan"));
      }
      json::Object scope;
      if (const char* kind = kinds[k % 5]) scope.insert_or_assign("claim_kind", json::Value(kind));
      json::Object rule;
      rule.insert_or_assign("id", json::Value("r" + std::to_string(set) + "-" + std::to_string(k)));
      rule.insert_or_assign("description", json::Value("a claim about " + word));
      rule.insert_or_assign("scope", json::Value(std::move(scope)));
      rule.insert_or_assign("when", json::Value(std::move(when)));
      if (k % 6 == 5) {
        json::Object unless;
        unless.insert_or_assign("text_matches", json::Value("(?i)\\bestimated?\\b"));
        rule.insert_or_assign("unless", json::Value(std::move(unless)));
      }
      rule.insert_or_assign("emit", json::Value(emits[k % 3]));
      rules.emplace_back(std::move(rule));
    }
    json::Object rule_set;
    rule_set.insert_or_assign("id", json::Value("house" + std::to_string(set)));
    rule_set.insert_or_assign("version", json::Value("1." + std::to_string(set)));
    rule_set.insert_or_assign("rules", json::Value(std::move(rules)));
    sets.push_back(json::write_json_compact(json::Value(std::move(rule_set))));
  }
  return sets;
}

// The heavy request: an answer of about 50 KB with 500 figures, one per
// sentence, and 200 sources of about 2 KB that quote most of them (some off
// by a little, some nowhere), checked against three rule sets of 50 rules.
// Figures come in the forms answers and filings write them: currencies
// before the amount, scale words, thousands separators, percentages.
std::string heavy_request() {
  std::uint32_t state = 12345;
  const auto next = [&state] { return state = state * 1103515245u + 12345u, (state >> 8) % 100000; };
  const auto figure = [](std::size_t i, std::uint32_t v) {
    const std::string whole = std::to_string(v / 100);
    const std::string tenth = whole + "." + std::to_string(v % 10);
    std::string grouped = std::to_string(v);
    if (grouped.size() > 3) grouped.insert(grouped.size() - 3, ",");
    switch (i % 6) {
      case 0: return "EUR " + tenth + " million";
      case 1: return std::to_string(v % 100) + "." + std::to_string(v % 7) + "%";
      case 2: return grouped + " GWh";
      case 3: return grouped + " customers";
      case 4: return "USD " + std::to_string(v % 50) + "." + std::to_string(v % 100) + " billion";
      default: return "$" + whole + "m";
    }
  };
  constexpr std::size_t kFigures = 500;
  constexpr std::size_t kSources = 200;
  std::vector<std::string> figures;
  for (std::size_t i = 0; i < kFigures; ++i) figures.push_back(figure(i, next()));
  const auto segment = [](std::size_t i) { return std::string(kWords[(i * 13) % kWordCount]); };

  std::string answer;
  for (std::size_t i = 0; i < kFigures; ++i) {
    answer += "The " + segment(i) + " business reported " + (i % 11 == 0 ? figure(i, next()) : figures[i]) +
              " for the year, which management called in line with its plan. ";
  }
  json::Array sources;
  for (std::size_t s = 0; s < kSources; ++s) {
    std::string text;
    for (std::size_t i = s; text.size() < 2'000; i += kSources) {
      const std::size_t at = i % kFigures;
      text += "In the reporting period the " + segment(at) + " business recorded " +
              (i % 7 == 0 ? figure(at, next()) : figures[at]) + ", according to the audited statements. ";
    }
    json::Object provenance;
    provenance.insert_or_assign("company", json::Value("Northwind Energy"));
    json::Object source;
    source.insert_or_assign("id", json::Value("s" + std::to_string(s)));
    source.insert_or_assign("text", json::Value(std::move(text)));
    source.insert_or_assign("provenance", json::Value(std::move(provenance)));
    sources.emplace_back(std::move(source));
  }
  json::Array sets;
  for (std::string& set : rule_sets()) sets.emplace_back(std::move(set));
  json::Object scope;
  scope.insert_or_assign("company", json::Value("Northwind Energy"));
  json::Object request;
  request.insert_or_assign("question", json::Value("How did the businesses of Northwind Energy perform?"));
  request.insert_or_assign("answer", json::Value(std::move(answer)));
  request.insert_or_assign("sources", json::Value(std::move(sources)));
  request.insert_or_assign("scope", json::Value(std::move(scope)));
  request.insert_or_assign("rule_sets_json", json::Value(std::move(sets)));
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

void BM_VerifyLarge(benchmark::State& state) {
  const std::string text = heavy_request();
  verify(state, text);
  state.counters["request_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_VerifyLarge)->Unit(benchmark::kMillisecond);

// The stages of one request, each on the previous stages' output: the
// sample request (argument 0) and the heavy one (argument 1).
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
  static const Stages heavy(heavy_request());
  return which == 0 ? sample : heavy;
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
// The sample request has one rule set, the heavy one three.
BENCHMARK(BM_StageVerifier)->ArgsProduct({{0}, {0, 1, 2, 3}})->ArgsProduct({{1}, {0, 1, 2, 3, 4, 5}})->Unit(benchmark::kMicrosecond);

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

// `--write-heavy-request FILE` writes the heavy request and stops, so that
// the Python-side benchmark times the same bytes.
int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--write-heavy-request") {
    std::ofstream out(argv[2], std::ios::binary);
    out << heavy_request();
    return out.good() ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
