#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <string_view>

#include "text/normalize.hpp"
#include "unicode/case.hpp"
#include "unicode/nfkc.hpp"

namespace {

constexpr std::size_t kMegabyte = 1u << 20;

// About 1 MB of prose in several scripts, with the characters normalisation
// deals with: CR LF, tabs and runs of spaces, no-break spaces, soft hyphens,
// ligatures, full-width digits, decomposed accents.
std::string mixed_prose() {
  static constexpr std::array<std::string_view, 8> kParagraphs = {
      "Revenue rose 4.5% to EUR 1\u00a0234 million in 2023, while operating costs fell by 2 %.\r\n",
      "Le chiffre d\u2019affaires a atteint 12\u202f345,6 millions d\u2019euros ; la marge s\u2019\u00e9l\u00e8ve \u00e0 "
      "18,2\u00a0%.\r\n",
      "Die Stra\u00dfe wurde f\u00fcr 3,5 Mio. \u20ac saniert \u2013 deutlich g\u00fcnstiger als geplant.\n\n\n",
      "\u0397 \u03b5\u03c4\u03b1\u03b9\u03c1\u03b5\u03af\u03b1 \u03b1\u03cd\u03be\u03b7\u03c3\u03b5 \u03c4\u03b1 "
      "\u03ad\u03c3\u03bf\u03b4\u03b1 \u03ba\u03b1\u03c4\u03ac 7%.\t\tTotal:  \uff11\uff12 units.\n",
      "\u58f2\u4e0a\u9ad8\u306f\u524d\u5e74\u6bd4\uff15\uff05\u5897\u306e\uff11\uff12\u5104\u5186\u3067\u3057\u305f\u3002\n",
      "The \ufb01nal \ufb02ow was re\u00adported as cafe\u0301 and na\u0131\u0308ve co\u00f6peration.   \n",
      "Q3 results: \u2460 growth, \u00bd of targets met, \u2163 priorities; see p.\u00a012.\r",
      "Plain ASCII sentences make up most of a typical answer, with figures such as 1,234.56 and 7.8 billion.\n",
  };
  std::string text;
  text.reserve(kMegabyte + 512);
  for (std::size_t i = 0; text.size() < kMegabyte; ++i) text += kParagraphs[i % kParagraphs.size()];
  return text;
}

// About `size` bytes made of one base letter and a single run of combining marks whose
// classes alternate (230, 220, 1, 240, 202), so that every mark must move.
std::string combining_marks(std::size_t size) {
  static constexpr std::array<std::string_view, 5> kMarks = {"\u0301", "\u0323", "\u0334", "\u0345", "\u0327"};
  std::string text = "a";
  text.reserve(size + 8);
  for (std::size_t i = 0; text.size() < size; ++i) text += kMarks[i % kMarks.size()];
  return text;
}

void run(benchmark::State& state, const std::string& text, std::string (*fn)(std::string_view)) {
  for (auto _ : state) benchmark::DoNotOptimize(fn(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void BM_NormalizeTextProse(benchmark::State& state) { run(state, mixed_prose(), qv::text::normalize_text); }
BENCHMARK(BM_NormalizeTextProse)->Unit(benchmark::kMillisecond);

void BM_NormalizeTextCombiningMarks(benchmark::State& state) {
  run(state, combining_marks(static_cast<std::size_t>(state.range(0))), qv::text::normalize_text);
}
// 1 MB, with 256 KB and 4 MB beside it to show the growth is not quadratic.
BENCHMARK(BM_NormalizeTextCombiningMarks)->Arg(kMegabyte / 4)->Arg(kMegabyte)->Arg(4 * kMegabyte)->Unit(benchmark::kMillisecond);

void BM_NfkcProse(benchmark::State& state) { run(state, mixed_prose(), qv::unicode::nfkc); }
BENCHMARK(BM_NfkcProse)->Unit(benchmark::kMillisecond);

void BM_ToLowercaseProse(benchmark::State& state) { run(state, mixed_prose(), qv::unicode::to_lowercase); }
BENCHMARK(BM_ToLowercaseProse)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
