// Matching throughput: a rule-like pattern over prose, the numeral pattern's
// find loop over figures, adversarial patterns that must stay linear, and
// captures of a pattern with thousands of groups.
#include <benchmark/benchmark.h>

#include <string>

#include "numeric/numeral.hpp"
#include "regex/regex.hpp"

namespace {

std::string prose(std::size_t size) {
  const std::string words[] = {"the ", "company ", "reported ", "revenue ", "growth ", "of ", "März ", "naïve ",
                               "results, ", "while ", "analysts ", "expected ", "a ", "modest ", "decline. "};
  std::string out;
  std::size_t i = 0;
  while (out.size() < size) out += words[(i++ * 7) % 15];
  return out;
}

std::string figures(std::size_t size) {
  std::string out;
  std::size_t i = 0;
  while (out.size() < size) {
    out += "in 2023 sales rose to " + std::to_string(1000 + (i * 7919) % 90000) + "," + std::to_string(100 + i % 900) +
           " units (" + std::to_string(i % 97) + ".5%) ";
    ++i;
  }
  return out;
}

const std::string_view kNumeral = qv::numeric::kNumeralPattern;

void BM_RuleIsMatch(benchmark::State& state) {
  const auto re = *qv::regex::Regex::compile("(?i)\\bguarantee[sd]?\\b");
  const std::string text = prose(1 << 20);
  for (auto _ : state) benchmark::DoNotOptimize(re.is_match(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_RuleIsMatch)->Unit(benchmark::kMillisecond);

void BM_NumeralFindLoop(benchmark::State& state) {
  const auto re = *qv::regex::Regex::compile(kNumeral);
  const std::string text = figures(1 << 20);
  for (auto _ : state) {
    std::size_t n = 0, at = 0;
    while (auto m = re.find(text, at)) {
      ++n;
      at = m->end > m->start ? m->end : m->end + 1;
    }
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_NumeralFindLoop)->Unit(benchmark::kMillisecond);

void BM_RuleIsMatchDenseCandidates(benchmark::State& state) {
  // Every word starts like the pattern, so the DFA reads every byte.
  const auto re = *qv::regex::Regex::compile("(?i)\\bguarantee[sd]?\\b");
  std::string text;
  while (text.size() < (1 << 20)) text += "guaranty guard Gauge GUARANTEEX gu guarantor ";
  for (auto _ : state) benchmark::DoNotOptimize(re.is_match(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_RuleIsMatchDenseCandidates)->Unit(benchmark::kMillisecond);

void BM_NumeralCapturesLoop(benchmark::State& state) {
  const auto re = *qv::regex::Regex::compile(kNumeral);
  const std::string text = figures(1 << 20);
  for (auto _ : state) benchmark::DoNotOptimize(re.captures_all(text).size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_NumeralCapturesLoop)->Unit(benchmark::kMillisecond);

void BM_AdversarialNestedPlus(benchmark::State& state) {
  const auto re = *qv::regex::Regex::compile("(a+)+$");
  std::string text(static_cast<std::size_t>(state.range(0)), 'a');
  text += 'b';
  for (auto _ : state) benchmark::DoNotOptimize(re.is_match(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_AdversarialNestedPlus)->Arg(25 << 10)->Arg(100 << 10)->Unit(benchmark::kMillisecond);

void BM_AdversarialWideRepetition(benchmark::State& state) {
  const auto re = *qv::regex::Regex::compile("\\w{200}x");
  const std::string text = prose(1 << 20);
  for (auto _ : state) benchmark::DoNotOptimize(re.is_match(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_AdversarialWideRepetition)->Unit(benchmark::kMillisecond);

void BM_CapturesManyGroups(benchmark::State& state) {
  // Optional groups by the thousand over a long match: reading the groups
  // must not cost the number of groups at every character.
  std::string pattern;
  for (std::int64_t i = 0; i < state.range(0); ++i) pattern += "(a)?";
  const auto re = *qv::regex::Regex::compile(pattern + "(a*)");
  const std::string text(20000, 'a');
  for (auto _ : state) benchmark::DoNotOptimize(re.captures(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CapturesManyGroups)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

// Compiling the patterns of a typical rule set, which happens per request.
void BM_CompileRulePatterns(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(qv::regex::Regex::compile("(?i)\\bguarantee(d|s)?\\b"));
    benchmark::DoNotOptimize(qv::regex::Regex::compile("%"));
    benchmark::DoNotOptimize(qv::regex::Regex::compile("(?i)operating margin"));
  }
}
BENCHMARK(BM_CompileRulePatterns)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
