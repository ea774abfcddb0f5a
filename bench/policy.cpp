// Loading and linting policies, as every verify call does, and the policy
// hash and resolved text.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/lint.hpp"
#include "engine/policy.hpp"

namespace {

using namespace qv;

// What a verify call does with a request that brings no policy: load the
// default policy text and lint it against the built-in verifiers.
void BM_LoadAndLintDefault(benchmark::State& state) {
  const auto known = engine::builtin_verifier_infos();
  for (auto _ : state) {
    auto policy = engine::parse_policy(engine::default_policy_text());
    if (!policy) state.SkipWithError("default policy unreadable");
    auto problems = engine::lint_policy(*policy, known);
    benchmark::DoNotOptimize(problems);
  }
}
BENCHMARK(BM_LoadAndLintDefault)->Unit(benchmark::kMicrosecond);

// A request policy that extends the EU policy: read, merge, write back and
// read the merged text.
void BM_LoadAndLintExtending(benchmark::State& state) {
  const std::string text =
      "id: acme-credit\nversion: 3\nextends: eu_ai_act_high_risk_v1\npass_means: every figure is sourced\n"
      "decision: {unresolved_claims: FAIL}\nrisk_classes: {default: standard, mandatory_review: [high]}\n";
  const auto known = engine::builtin_verifier_infos();
  for (auto _ : state) {
    auto policy = engine::parse_policy(text);
    if (!policy) state.SkipWithError("policy unreadable");
    auto problems = engine::lint_policy(*policy, known);
    benchmark::DoNotOptimize(problems);
  }
}
BENCHMARK(BM_LoadAndLintExtending)->Unit(benchmark::kMicrosecond);

void BM_PolicyHashDefault(benchmark::State& state) {
  const auto policy = *engine::parse_policy(engine::default_policy_text());
  for (auto _ : state) benchmark::DoNotOptimize(engine::compute_policy_hash(policy));
}
BENCHMARK(BM_PolicyHashDefault)->Unit(benchmark::kMicrosecond);

void BM_ResolveEu(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(engine::resolve_policy_text("eu_ai_act_high_risk_v1"));
}
BENCHMARK(BM_ResolveEu)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
