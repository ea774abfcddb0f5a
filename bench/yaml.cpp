// yaml_to_json on a 1 MB policy-like text, beside libyaml's bare event
// parse of the same bytes (the floor any reader on it stands on).
#include <benchmark/benchmark.h>
#include <yaml.h>

#include <cstdlib>
#include <string>

#include "yaml/to_json.hpp"
#include "yaml/tree.hpp"

namespace {

// Policies one after another under their own keys: folded descriptions,
// flow and block lists, sections, quoted texts and regulatory controls.
const std::string& document() {
  static const std::string doc = [] {
    std::string out;
    for (int i = 0; out.size() < (1u << 20); ++i) {
      const std::string n = std::to_string(i);
      out += "policy_" + n + ":\n";
      out += "  id: org_policy_" + n + "\n";
      out += "  version: \"1." + n + ".0\"\n";
      out += "  extends: quillaveen_default_v1\n";
      out += "  description: >\n";
      out += "    Numeric claims must be exactly supported by the retrieved sources. Any\n";
      out += "    numeric contradiction fails the answer, and so does a figure taken from a\n";
      out += "    passage outside the request's scope (another company, contract or version).\n";
      out += "  pass_means: every figure is backed by a cited passage\n";
      out += "  locale: de-CH\n";
      out += "  rounding: half_even\n";
      out += "  scope:\n    required: [company, fiscal_year, currency]\n    missing_scope: REVIEW\n";
      out += "  risk_classes:\n    default: standard\n    routine: [low, standard]\n    mandatory_review: [high]\n";
      out += "  judge:\n    required: false\n    contradicted: FAIL\n    unsupported: REVIEW\n";
      out += "  verifiers:\n";
      out += "    required: [quillaveen.numeric]\n";
      out += "    recommended: [quillaveen.scope, quillaveen.intent, quillaveen.rules.*]\n";
      out += "    forbidden:\n    - llm_judge.*\n";
      out += "  determinism:\n    minimum_to_decide: reproducible\n";
      out += "  decision:\n";
      out += "    any_contradiction_from: [quillaveen.numeric, quillaveen.scope, quillaveen.rules.*]\n";
      out += "    unsupported_from: [quillaveen.numeric, quillaveen.scope, quillaveen.intent]\n";
      out += "    tolerate_notes: [year_not_in_sources]\n";
      out += "    unresolved_claims: REVIEW\n    conflicts: REVIEW\n";
      out += "    tolerate_unresolved_kinds: [word, statement]\n";
      out += "  regulatory_mapping:\n";
      out += "  - framework: EU-AI-Act-2024/1689\n";
      out += "    article: \"Art. 15(1)\"\n";
      out += "    control: accuracy-of-outputs\n";
      out += "    requirement: \"High-risk AI systems shall achieve an appropriate level of accuracy.\"\n";
      out += "    triggered_by: [FAIL]\n";
      out += "  - framework: EU-AI-Act-2024/1689\n";
      out += "    article: \"Art. 12(1)\"\n";
      out += "    control: automatic-record-keeping\n";
      out += "    requirement: \"Automatic recording of events (logs) over the lifetime of the system.\"\n";
      out += "    triggered_by: [PASS, REVIEW, FAIL]\n";
    }
    return out;
  }();
  return doc;
}

// One policy of about 1.6 KB, near the size of the default policy.
const std::string& one_policy() {
  static const std::string one = [] {
    const std::string& doc = document();
    const std::size_t from = doc.find('\n') + 1;
    return doc.substr(from, doc.find("policy_1:") - from);
  }();
  return one;
}

// libyaml's events of a text, each made and freed: the count of events.
std::size_t libyaml_parse(const std::string& text) {
  yaml_parser_t parser;
  yaml_parser_initialize(&parser);
  yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  std::size_t events = 0;
  for (bool done = false; !done; ++events) {
    yaml_event_t event;
    if (yaml_parser_parse(&parser, &event) == 0) std::abort();
    done = event.type == YAML_STREAM_END_EVENT;
    yaml_event_delete(&event);
  }
  yaml_parser_delete(&parser);
  return events;
}

void BM_YamlToJson(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) {
    auto json = qv::yaml::yaml_to_json(doc);
    if (!json) std::abort();
    benchmark::DoNotOptimize(json);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_YamlToJson)->Unit(benchmark::kMillisecond);

void BM_LibyamlEventParse(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) benchmark::DoNotOptimize(libyaml_parse(doc));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_LibyamlEventParse)->Unit(benchmark::kMillisecond);

// Reading one policy-sized text as a tree, beside libyaml's parse of it.
void BM_ReadTreePolicy(benchmark::State& state) {
  const std::string& one = one_policy();
  for (auto _ : state) {
    auto tree = qv::yaml::read_tree(one);
    if (!tree) std::abort();
    benchmark::DoNotOptimize(tree);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * one.size()));
}
BENCHMARK(BM_ReadTreePolicy)->Unit(benchmark::kMicrosecond);

void BM_LibyamlEventParsePolicy(benchmark::State& state) {
  const std::string& one = one_policy();
  for (auto _ : state) benchmark::DoNotOptimize(libyaml_parse(one));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * one.size()));
}
BENCHMARK(BM_LibyamlEventParsePolicy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
