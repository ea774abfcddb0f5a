// Quantity extraction over number-dense text: throughput on 1 MB (bytes
// and figures per second) and the same text at 256 KB, 1 MB and 4 MB, whose
// times must grow linearly. Also the derived candidates of a larger answer.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "numeric/derived.hpp"
#include "numeric/quantity.hpp"

namespace {

using qv::numeric::extract_quantities;
using qv::numeric::locale_profile;

// Report-like prose with a figure every few words: currencies, scale words,
// units, percentages, accounting negatives, ambiguous groupings and a scale
// context now and then.
std::string number_dense(std::size_t size) {
  const std::string pieces[] = {
      "Revenue was $4.5 million in 2023, ",
      "up 12.5% from 3,980,000 dollars. ",
      "(amounts in millions) Operating costs 1.234 and ",
      "a loss of (2,500) against EUR 300 budgeted; ",
      "the plant used 1 234 567 kWh and 42 t of steel, ",
      "shipping 3 billones de euros ",
      "over 1,200 km at 20 °C on 14 days. ",
      "Staff: 1’250 people, 7 sites and 15 pct turnover. ",
  };
  std::string out;
  std::size_t i = 0;
  while (out.size() < size) {
    out += pieces[i % 8];
    out += std::to_string((i * 7919) % 100000) + " units. ";
    ++i;
  }
  out.resize(size);
  return out;
}

void extract(benchmark::State& state, std::size_t size) {
  const std::string text = number_dense(size);
  const auto profile = locale_profile("und").value();
  std::size_t figures = 0;
  for (auto _ : state) {
    const auto q = extract_quantities(text, profile, true);
    figures = q.size();
    benchmark::DoNotOptimize(q.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["figures"] = static_cast<double>(figures);
  state.counters["figures_per_s"] =
      benchmark::Counter(static_cast<double>(figures * state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ExtractQuantities1MB(benchmark::State& state) { extract(state, 1 << 20); }
BENCHMARK(BM_ExtractQuantities1MB)->Unit(benchmark::kMillisecond);

// 256 KB, 1 MB and 4 MB: linear growth.
void BM_ExtractQuantitiesScaling(benchmark::State& state) { extract(state, static_cast<std::size_t>(state.range(0))); }
BENCHMARK(BM_ExtractQuantitiesScaling)->Arg(256 << 10)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

void BM_ExtractBareNumerals1MB(benchmark::State& state) {
  const std::string text = number_dense(1 << 20);
  const auto profile = locale_profile("en").value();
  for (auto _ : state) benchmark::DoNotOptimize(extract_quantities(text, profile, false).size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ExtractBareNumerals1MB)->Unit(benchmark::kMillisecond);

// Every candidate of 60 operands of one currency (about 28,000), values
// only, as a consumer indexing them would take them.
void BM_DerivedCandidates(benchmark::State& state) {
  std::vector<qv::numeric::DerivationOperand> ops;
  for (int i = 0; i < 60; ++i) {
    const int v = 1000 + (i * 7919) % 90000;
    const qv::numeric::Fraction f{v, 1};
    ops.push_back({f, f, qv::numeric::Dimension::currency("USD"), "c" + std::to_string(i), "$" + std::to_string(v)});
  }
  std::size_t count = 0;
  for (auto _ : state) {
    qv::numeric::DerivedFigures figures(ops);
    count = 0;
    while (const auto f = figures.next()) count += f->value.denominator > 0;
    benchmark::DoNotOptimize(count);
  }
  state.counters["candidates"] = static_cast<double>(count);
}
BENCHMARK(BM_DerivedCandidates)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
