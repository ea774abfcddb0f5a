// The numeric verifier on answers whose figures the sources mostly state,
// with some off by a little, some derived from others and some years.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "verifiers/extract.hpp"
#include "verifiers/numeric.hpp"

namespace {

using qv::records::VerificationContext;

struct Lcg {
  std::uint64_t state;
  std::uint64_t next(std::uint64_t bound) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (state >> 33) % bound;
  }
};

// Sources of `sentences` sentences of three figures each ("Segment 12
// revenue was 4512 USD and its margin 7.25%."), in passages of about 2 KB, and an
// answer of `answer_figures` figures: 70 % stated in the sources, 10 % off by
// one, 10 % sums of two earlier figures, 5 % years, 5 % percentages.
VerificationContext make_request(std::size_t answer_figures, std::size_t sentences) {
  Lcg rng{42};
  VerificationContext ctx;
  ctx.locale = "en";
  std::vector<std::uint64_t> amounts;
  std::string passage;
  for (std::size_t i = 10; amounts.size() < sentences; ++i) {
    const std::uint64_t amount = 1000 + rng.next(9000000);
    amounts.push_back(amount);
    passage += "Segment " + std::to_string(i) + " revenue was " + std::to_string(amount) + " USD and its margin " +
               std::to_string(rng.next(90)) + "." + std::to_string(10 + rng.next(90)) + "%. ";
    if (passage.size() > 2000) {
      ctx.sources.push_back({"s" + std::to_string(ctx.sources.size()), passage, std::nullopt, {}});
      passage.clear();
    }
  }
  if (!passage.empty()) ctx.sources.push_back({"s" + std::to_string(ctx.sources.size()), passage, std::nullopt, {}});

  std::vector<std::uint64_t> stated;
  for (std::size_t k = 0; k < answer_figures; ++k) {
    const std::uint64_t roll = rng.next(100);
    const std::uint64_t amount = amounts[rng.next(amounts.size())];
    std::string figure;
    if (roll < 70 || stated.size() < 2) {
      figure = "$" + std::to_string(amount);
      stated.push_back(amount);
    } else if (roll < 80) {
      figure = "$" + std::to_string(amount + 1);
    } else if (roll < 90) {
      figure = "$" + std::to_string(stated[rng.next(stated.size())] + stated[rng.next(stated.size())]);
    } else if (roll < 95) {
      figure = std::to_string(1990 + rng.next(40));
    } else {
      figure = std::to_string(rng.next(90)) + "." + std::to_string(10 + rng.next(90)) + "%";
    }
    ctx.answer += "The item came to " + figure + ". ";
  }
  ctx.claims = qv::verifiers::extract_claims(ctx.answer, ctx.locale, true);
  return ctx;
}

// Runs the numeric verifier on `ctx` in every iteration; counts its findings.
void time_verifier(benchmark::State& state, const VerificationContext& ctx,
                   const qv::records::NumericConfig& config = {}) {
  const qv::verifiers::NumericVerifier verifier(config);
  std::size_t findings = 0;
  for (auto _ : state) {
    auto evidence = verifier.run(ctx);
    findings = evidence ? evidence->size() : 0;
    benchmark::DoNotOptimize(evidence);
  }
  state.counters["findings"] = static_cast<double>(findings);
}

void run_numeric(benchmark::State& state, std::size_t answer_figures, std::size_t sentences,
                 const qv::records::NumericConfig& config = {}) {
  const VerificationContext ctx = make_request(answer_figures, sentences);
  std::size_t source_bytes = 0;
  for (const auto& s : ctx.sources) source_bytes += s.text.size();
  time_verifier(state, ctx, config);
  state.counters["source_kb"] = static_cast<double>(source_bytes) / 1024.0;
}

// 200 numeric claims against about 50 KB of sources.
void BM_NumericVerifier200Claims50KB(benchmark::State& state) { run_numeric(state, 200, 780); }
BENCHMARK(BM_NumericVerifier200Claims50KB)->Unit(benchmark::kMillisecond);

// 2,000 numeric claims against 10,000 source figures.
void BM_NumericVerifier2000Claims10000Figures(benchmark::State& state) { run_numeric(state, 2000, 3334); }
BENCHMARK(BM_NumericVerifier2000Claims10000Figures)->Unit(benchmark::kMillisecond)->Iterations(1);

// 4,000 numeric claims against 20,000 source figures with both matching
// options on (agreement at written precision, percentages as fractions);
// derivation off, so that the time is the first verdicts'.
void BM_NumericVerifier4000Claims20000FiguresMatchingOptions(benchmark::State& state) {
  qv::records::NumericConfig config;
  config.matching = {true, true};
  config.derive = false;
  run_numeric(state, 4000, 6667, config);
}
BENCHMARK(BM_NumericVerifier4000Claims20000FiguresMatchingOptions)->Unit(benchmark::kMillisecond)->Iterations(1);

// The derivation search without a match: 1,000 supported figures of one
// unit and ten figures of that unit that match no candidate, so that the
// search runs to the end; of the about eight million candidates only those
// of pairs that can reach the ten figures' windows are formed.
void BM_NumericVerifierDerivationWithoutMatch(benchmark::State& state) {
  VerificationContext ctx = make_request(0, 1000);
  for (std::size_t i = 0; i < 1000; ++i) {
    const std::string& text = ctx.sources[i * ctx.sources.size() / 1000].text;
    const std::size_t at = text.find(" revenue was ");
    const std::size_t end = text.find(' ', at + 13);
    ctx.answer += "It came to $" + text.substr(at + 13, end - at - 13) + ". ";
  }
  for (std::size_t i = 0; i < 10; ++i) ctx.answer += "Not $" + std::to_string(90000000000000ULL + i * 7919) + ". ";
  ctx.claims = qv::verifiers::extract_claims(ctx.answer, ctx.locale, true);
  const qv::verifiers::NumericVerifier verifier({});
  for (auto _ : state) benchmark::DoNotOptimize(verifier.run(ctx));
}
BENCHMARK(BM_NumericVerifierDerivationWithoutMatch)->Unit(benchmark::kMillisecond)->Iterations(1);

// An answer dense with figures the sources state, a revenue and a head
// count per sentence of about 150 bytes, and three figures that match
// nothing: a dollar amount and a bare count beyond every sum and ratio, and
// a fall beyond -100 % where the sources hold no percentage. Every
// supported figure is an operand of the derivation passes, the three keep
// them searching, and the last, unsupported, has the recomputation pass
// name the operands. The argument is the answer's size in kB.
VerificationContext make_dense_request(std::size_t answer_kb) {
  Lcg rng{7};
  VerificationContext ctx;
  ctx.locale = "en";
  std::string passage;
  for (std::size_t i = 0; ctx.answer.size() < answer_kb * 1024; ++i) {
    const std::string revenue = std::to_string(1000 + rng.next(9000000));
    const std::string staff = std::to_string(100 + rng.next(90000));
    passage += "Segment " + std::to_string(i) + " revenue was " + revenue + " USD and its staff " + staff + " people. ";
    if (passage.size() > 2000) {
      ctx.sources.push_back({"s" + std::to_string(ctx.sources.size()), passage, std::nullopt, {}});
      passage.clear();
    }
    ctx.answer += "In the year under review, segment " + std::to_string(i) + " of the group made $" + revenue +
                  " in revenue, with a workforce of " + staff + " people across all of its sites and offices. ";
    if (i == 100) ctx.answer += "Another item came to $3282892820. ";
    if (i == 200) ctx.answer += "Another item came to 7479284661 widgets. ";
    if (i == 300) ctx.answer += "Another item came to -345.523%. ";
  }
  if (!passage.empty()) ctx.sources.push_back({"s" + std::to_string(ctx.sources.size()), passage, std::nullopt, {}});
  ctx.claims = qv::verifiers::extract_claims(ctx.answer, ctx.locale, true);
  return ctx;
}

void BM_NumericVerifierDenseAnswer(benchmark::State& state) {
  time_verifier(state, make_dense_request(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_NumericVerifierDenseAnswer)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);

// "48,210" for 48210, "$48.21" for 48210 / 1000.
std::string grouped(std::uint64_t v) {
  const std::string digits = std::to_string(v);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}
std::string thousandths(std::uint64_t v) {
  std::string fraction = std::to_string(1000 + v % 1000).substr(1);
  return std::to_string(v / 1000) + "." + fraction;
}

// The rows of a table, in passages of about 2 KB, each opened by the header
// `header(k)` gives the k-th passage.
template <class Header>
void add_table_sources(VerificationContext& ctx, const std::vector<std::string>& rows, Header header) {
  std::string passage = header(0);
  for (const std::string& row : rows) {
    passage += row;
    if (passage.size() > 2000) {
      ctx.sources.push_back({"s" + std::to_string(ctx.sources.size()), passage, std::nullopt, {}});
      passage = header(ctx.sources.size());
    }
  }
  ctx.sources.push_back({"s" + std::to_string(ctx.sources.size()), passage, std::nullopt, {}});
}

// An answer of `count` sentences "The item came to {figure()}." and its
// claims.
template <class Figure>
void add_claims(VerificationContext& ctx, std::size_t count, Figure figure) {
  for (std::size_t k = 0; k < count; ++k) ctx.answer += "The item came to " + figure() + ". ";
  ctx.claims = qv::verifiers::extract_claims(ctx.answer, ctx.locale, true);
}

// Tables that declare their scale, every third with exceptions, of about
// 2 KB ("Segment 12 | $48,210" per row), five rows per claim, and claims
// that state a scale of their own: a row in millions (equal under the
// declared scale), in thousands (equal only as written), or in millions and
// off by a little (a difference, measured under the declared scale). The
// argument is the number of claims.
VerificationContext make_table_request(std::size_t claims) {
  Lcg rng{11};
  VerificationContext ctx;
  ctx.locale = "en";
  std::vector<std::uint64_t> amounts;
  std::vector<std::string> rows;
  while (amounts.size() < claims * 5) {
    const std::uint64_t amount = 1000 + rng.next(900000);
    amounts.push_back(amount);
    rows.push_back("Segment " + std::to_string(amounts.size()) + " | $" + grouped(amount) + "\n");
  }
  add_table_sources(ctx, rows, [](std::size_t k) {
    return k % 3 == 0 ? std::string("(in thousands, except per share data)\n") : std::string("(in thousands)\n");
  });
  add_claims(ctx, claims, [&] {
    const std::uint64_t roll = rng.next(3);
    const std::uint64_t amount = amounts[rng.next(amounts.size())];
    return roll == 0   ? "$" + thousandths(amount) + " million"
           : roll == 1 ? "$" + thousandths(amount) + " thousand"
                       : "$" + thousandths(amount + 7) + " million";
  });
  return ctx;
}

// Derivation off, so that the time is the first verdicts' and second
// chances'; the verdicts counted, to show each path taken.
void time_tables(benchmark::State& state, const VerificationContext& ctx) {
  qv::records::NumericConfig config;
  config.derive = false;
  time_verifier(state, ctx, config);
  const auto evidence = qv::verifiers::NumericVerifier(config).run(ctx);
  for (const auto& e : evidence ? *evidence : std::vector<qv::records::Evidence>{}) {
    state.counters[std::string(qv::records::to_word(e.result))] += 1;
  }
}

void BM_NumericVerifierDeclaredScaleTables(benchmark::State& state) {
  time_tables(state, make_table_request(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_NumericVerifierDeclaredScaleTables)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// Tables whose header is a context phrase ("(In millions)", "($ in
// millions)"), which scales their figures, of about 2 KB, five rows per
// claim, every fifth row a round figure without a currency ("Segment 10 |
// 5,000") and every other one of the rest with a dollar sign; claims with a
// currency and a scale word: a row in billions (equal, or equal under the
// scale), a round row with one significant digit (unconfirmed under the
// scale), or a row off by a little (a difference). The argument is the
// number of claims.
VerificationContext make_context_table_request(std::size_t claims) {
  Lcg rng{13};
  VerificationContext ctx;
  ctx.locale = "en";
  std::vector<std::uint64_t> amounts, round;
  std::vector<std::string> rows;
  for (std::size_t row = 1; row <= claims * 5; ++row) {
    const bool is_round = row % 5 == 0;
    const std::uint64_t amount = is_round ? 1000 * (1 + rng.next(9)) : 1000 + rng.next(900000);
    (is_round ? round : amounts).push_back(amount);
    std::string text = "Segment " + std::to_string(row) + " | ";
    if (row % 2 && !is_round) text += '$';
    rows.push_back(text + grouped(amount) + "\n");
  }
  add_table_sources(ctx, rows, [](std::size_t k) {
    return k % 2 == 0 ? std::string("(In millions)\n") : std::string("($ in millions)\n");
  });
  add_claims(ctx, claims, [&] {
    const std::uint64_t roll = rng.next(3);
    const std::uint64_t amount = amounts[rng.next(amounts.size())];
    return roll == 0   ? "$" + thousandths(amount) + " billion"
           : roll == 1 ? "$" + std::to_string(round[rng.next(round.size())] / 1000) + " billion"
                       : "$" + thousandths(amount + 7) + " billion";
  });
  return ctx;
}

void BM_NumericVerifierContextScaleTables(benchmark::State& state) {
  time_tables(state, make_context_table_request(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_NumericVerifierContextScaleTables)->Arg(1000)->Unit(benchmark::kMillisecond);

// Statement tables in millions, passages of about 2 KB headed "(In
// millions)", with a net sales row and a cost of sales row of three years per
// segment, and an answer of short sentences that restate row figures and
// compute from them: the change in cost of sales between two years, their
// sum, a year's gross profit, and the mean of the three years to the cent.
// Every 25th result is given in billions, beyond every sum and difference of
// the answer's figures: it stays contradicted and keeps the derivation
// passes searching. With `losses` the cost cells are written as losses
// ("(5,860)") while the answer gives their magnitudes, so that those
// operands match their cells only with the sign turned; without, the cells
// are written as the answer gives them ("$5,860").
VerificationContext make_statement_request(std::size_t segments, std::size_t sentences, bool losses) {
  Lcg rng{17};
  VerificationContext ctx;
  ctx.locale = "en";
  struct Segment {
    std::uint64_t sales[3];
    std::uint64_t cost[3];
  };
  // A year's figure from the one before: 90 % to 105 % of it, never equal.
  const auto next_year = [&](std::uint64_t v) {
    const std::uint64_t percent = 90 + rng.next(15);
    return v * (percent < 100 ? percent : percent + 1) / 100;
  };
  std::vector<Segment> table;
  std::vector<std::string> rows;
  for (std::size_t k = 0; k < segments; ++k) {
    Segment s{};
    s.sales[0] = 2000 + rng.next(8000);
    s.cost[0] = s.sales[0] * (55 + rng.next(16)) / 100;
    std::string sales = "| Net sales |", cost = "| Cost of sales |";
    for (std::size_t y = 0; y < 3; ++y) {
      if (y > 0) {
        s.sales[y] = next_year(s.sales[y - 1]);
        s.cost[y] = next_year(s.cost[y - 1]);
      }
      sales += " $" + grouped(s.sales[y]) + " |";
      cost += losses ? " (" + grouped(s.cost[y]) + ") |" : " $" + grouped(s.cost[y]) + " |";
    }
    rows.push_back(sales + "\n");
    rows.push_back(cost + "\n");
    table.push_back(s);
  }
  add_table_sources(ctx, rows, [](std::size_t) { return std::string("(In millions)\n"); });

  const auto millions = [](std::uint64_t v) { return "$" + grouped(v) + " million"; };
  for (std::size_t i = 0; i < sentences; ++i) {
    const Segment& s = table[rng.next(table.size())];
    const std::size_t y = rng.next(2);
    const std::uint64_t a = s.cost[y], b = s.cost[y + 1];
    const std::string scale = i % 25 == 24 ? " billion" : " million";
    const auto result = [&](std::uint64_t v) { return "$" + grouped(v) + scale; };
    switch (rng.next(4)) {
      case 0:
        ctx.answer += "Using " + millions(a) + " and " + millions(b) + ", the change in cost of sales was " +
                      result(a > b ? a - b : b - a) + ". ";
        break;
      case 1:
        ctx.answer += "Cost of sales was " + millions(a) + " and " + millions(b) + ", " + result(a + b) + " in all. ";
        break;
      case 2:
        ctx.answer += "Using " + millions(s.sales[y]) + " and " + millions(a) + ", gross profit was " +
                      result(s.sales[y] - a) + ". ";
        break;
      default: {
        const std::uint64_t cents = ((s.cost[0] + s.cost[1] + s.cost[2]) * 100 + 1) / 3;
        ctx.answer += "Cost of sales was " + millions(s.cost[0]) + ", " + millions(s.cost[1]) + " and " +
                      millions(s.cost[2]) + "; the average is $" + grouped(cents / 100) + "." +
                      std::to_string(100 + cents % 100).substr(1) + scale + ". ";
        break;
      }
    }
  }
  ctx.claims = qv::verifiers::extract_claims(ctx.answer, ctx.locale, true);
  return ctx;
}

// 150 segments (300 rows in 7 passages) and 800 sentences (2,593 figures),
// derivation on, as by default. The findings are counted by result and by
// the notes of the sign step and of the derivation and recomputation passes,
// so that each path taken shows. The argument is 1 with the cost cells
// written as losses, 0 without.
void BM_NumericVerifierStatementDerivation(benchmark::State& state) {
  const VerificationContext ctx = make_statement_request(150, 800, state.range(0) != 0);
  time_verifier(state, ctx);
  constexpr std::string_view kNotes[] = {"sign_differs", "derived", "last_digit_slip", "recomputation_mismatch"};
  for (std::string_view word : {"supported", "contradicted", "unsupported"}) state.counters[std::string(word)] = 0;
  for (std::string_view note : kNotes) state.counters[std::string(note)] = 0;
  const auto evidence = qv::verifiers::NumericVerifier({}).run(ctx);
  for (const auto& e : evidence ? *evidence : std::vector<qv::records::Evidence>{}) {
    state.counters[std::string(qv::records::to_word(e.result))] += 1;
    for (std::string_view note : kNotes) {
      if (std::find(e.receipt.notes.begin(), e.receipt.notes.end(), note) != e.receipt.notes.end()) {
        state.counters[std::string(note)] += 1;
      }
    }
  }
}
BENCHMARK(BM_NumericVerifierStatementDerivation)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
