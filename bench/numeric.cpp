#include <benchmark/benchmark.h>

#include <string>

#include "numeric/decimal.hpp"
#include "numeric/fraction.hpp"

namespace {

using qv::numeric::Decimal;
using qv::numeric::Fraction;

Decimal dec(const char* s) { return Decimal::parse(s).value(); }

void BM_DecimalParse(benchmark::State& state) {
  const std::string text = "1234567.891";
  for (auto _ : state) benchmark::DoNotOptimize(Decimal::parse(text));
}
BENCHMARK(BM_DecimalParse);

// A megabyte of leading zeros is read in one linear pass.
void BM_DecimalParseLeadingZeros(benchmark::State& state) {
  const std::string text = std::string(static_cast<std::size_t>(state.range(0)), '0') + "1.5";
  for (auto _ : state) benchmark::DoNotOptimize(Decimal::parse(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_DecimalParseLeadingZeros)->Arg(1 << 20);

void BM_DecimalToString(benchmark::State& state) {
  const Decimal x = dec("-7.9228162514264337593543950335");
  for (auto _ : state) benchmark::DoNotOptimize(x.to_string());
}
BENCHMARK(BM_DecimalToString);

void BM_DecimalAddAcrossScales(benchmark::State& state) {
  const Decimal a = dec("2658.35"), b = dec("0.45359237");
  for (auto _ : state) benchmark::DoNotOptimize(a.checked_add(b));
}
BENCHMARK(BM_DecimalAddAcrossScales);

void BM_DecimalMulSmall(benchmark::State& state) {
  const Decimal a = dec("4.5"), b = dec("1000000");
  for (auto _ : state) benchmark::DoNotOptimize(a.checked_mul(b));
}
BENCHMARK(BM_DecimalMulSmall);

// A product that must drop many digits to fit.
void BM_DecimalMulReduce(benchmark::State& state) {
  const Decimal a = dec("7.9228162514264337593543950335"), b = dec("0.3333333333333333333333333333");
  for (auto _ : state) benchmark::DoNotOptimize(a.checked_mul(b));
}
BENCHMARK(BM_DecimalMulReduce);

void BM_DecimalDivExact(benchmark::State& state) {
  const Decimal a = dec("4500000"), b = dec("1000");
  for (auto _ : state) benchmark::DoNotOptimize(a.checked_div(b));
}
BENCHMARK(BM_DecimalDivExact);

// A repeating quotient filled to 28 digits.
void BM_DecimalDivRepeating(benchmark::State& state) {
  const Decimal a = dec("2"), b = dec("3");
  for (auto _ : state) benchmark::DoNotOptimize(a.checked_div(b));
}
BENCHMARK(BM_DecimalDivRepeating);

void BM_DecimalRoundSf(benchmark::State& state) {
  const Decimal a = dec("4213000.125");
  for (auto _ : state) benchmark::DoNotOptimize(a.round_sf(2));
}
BENCHMARK(BM_DecimalRoundSf);

void BM_DecimalToFraction(benchmark::State& state) {
  const Decimal a = dec("-7.9228162514264337593543950335");
  for (auto _ : state) benchmark::DoNotOptimize(qv::numeric::decimal_to_fraction(a));
}
BENCHMARK(BM_DecimalToFraction);

void BM_FractionAdd(benchmark::State& state) {
  const Fraction a{1234567, 1000}, b{-98765, 333};
  for (auto _ : state) benchmark::DoNotOptimize(qv::numeric::fraction_add(a, b));
}
BENCHMARK(BM_FractionAdd);

void BM_RoundsTo(benchmark::State& state) {
  const Fraction value{33, 8}, target{412, 100}, step{1, 100};
  for (auto _ : state) {
    benchmark::DoNotOptimize(qv::numeric::rounds_to(value, target, step, qv::core::RoundingRule::HalfEven));
  }
}
BENCHMARK(BM_RoundsTo);

void BM_FractionText(benchmark::State& state) {
  const Fraction f{-250, 3};
  for (auto _ : state) benchmark::DoNotOptimize(qv::numeric::fraction_text(f));
}
BENCHMARK(BM_FractionText);

}  // namespace

BENCHMARK_MAIN();
