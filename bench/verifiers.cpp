// The rules verifier on a large request: 50 rules against an answer of
// 100 KB with 5,000 word claims and 200 KB of sources, and the same with an
// answer ten times larger (time should grow about tenfold), and a small
// request evaluated per claim for comparison.
#include <benchmark/benchmark.h>

#include <string>

#include "verifiers/rules.hpp"

namespace {

using qv::verifiers::RuleSet;
using qv::verifiers::VerificationContext;

const char* const kWords[] = {"revenue", "growth",  "Europe",   "margin",   "analysts", "forecast", "quarter",
                              "decline", "company", "dividend", "guidance", "segment",  "Paris",    "naïve",
                              "März",    "outlook", "pricing",  "volume",   "capital",  "report"};

// An answer of about `size` bytes with one word claim per 20 bytes.
VerificationContext request(std::size_t size) {
  VerificationContext ctx;
  ctx.locale = "en";
  std::size_t i = 0;
  while (ctx.answer.size() < size) {
    const std::string word = kWords[(i * 7) % 20];
    qv::records::Claim c;
    c.id = "c" + std::to_string(i);
    c.kind = i % 10 == 0 ? qv::core::ClaimKind::Numeric : qv::core::ClaimKind::Word;
    c.text = word;
    c.span = {ctx.answer.size(), ctx.answer.size() + word.size()};
    if (c.kind == qv::core::ClaimKind::Numeric) c.attributes.insert_or_assign("dimension", "currency:EUR");
    ctx.claims.push_back(std::move(c));
    ctx.answer += word;
    ctx.answer.append(20 - word.size() % 20, ' ');
    ++i;
  }
  for (int s = 0; s < 20; ++s) {
    std::string text;
    for (std::size_t k = 0; text.size() < 10'000; ++k) text += std::string(kWords[(k * 3 + s) % 20]) + " and more. ";
    ctx.sources.push_back({"s" + std::to_string(s), std::move(text), std::nullopt, {}});
  }
  return ctx;
}

// Fifty rules: text patterns on the claim, answer and source patterns that
// scan their whole text without a match, kinds, attributes and `unless`.
RuleSet rules() {
  RuleSet set{"bench", "1", {}};
  for (int i = 0; i < 50; ++i) {
    qv::verifiers::Rule r;
    r.id = "r" + std::to_string(i);
    r.description = "rule number " + std::to_string(i);
    switch (i % 5) {
      case 0:
        r.when.text_matches = "(?i)^zz" + std::to_string(i) + "$";
        break;
      case 1:
        r.when.answer_matches = "never" + std::to_string(i) + "\\d";
        break;
      case 2:
        r.when.source_matches = "(?i)absent" + std::to_string(i);
        break;
      case 3:
        r.scope.claim_kind = qv::core::ClaimKind::Numeric;
        r.scope.attribute = {{"dimension", "currency:USD"}};
        break;
      default:
        r.when.text_matches = "\\bq\\w+" + std::to_string(i);
        r.unless = qv::verifiers::Condition{};
        r.unless->answer_matches = "nowhere";
        break;
    }
    r.emit = static_cast<qv::verifiers::RuleEmit>(i % 3);
    set.rules.push_back(std::move(r));
  }
  // A last rule that takes every claim left.
  qv::verifiers::Rule last;
  last.id = "rest";
  set.rules.back() = std::move(last);
  return set;
}

void BM_RulesVerifier(benchmark::State& state) {
  const VerificationContext ctx = request(static_cast<std::size_t>(state.range(0)) * 1024);
  auto verifier = qv::verifiers::make_rules_verifier(rules()).value();
  std::size_t findings = 0;
  for (auto _ : state) {
    auto found = verifier->run(ctx);
    findings = found->size();
    benchmark::DoNotOptimize(found);
  }
  state.counters["claims"] = static_cast<double>(ctx.claims.size());
  state.counters["findings"] = static_cast<double>(findings);
}
BENCHMARK(BM_RulesVerifier)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// For comparison: every condition evaluated afresh for every claim, the
// answer and sources searched again each time (quadratic in the answer).
void BM_RulesPerClaim(benchmark::State& state) {
  const VerificationContext ctx = request(static_cast<std::size_t>(state.range(0)) * 1024);
  auto verifier = qv::verifiers::make_rules_verifier(rules()).value();
  const auto& compiled = static_cast<const qv::verifiers::RulesVerifier&>(*verifier).rules();
  for (auto _ : state) {
    std::size_t taken = 0;
    for (const auto& claim : ctx.claims) {
      for (const auto& rule : compiled) {
        if (rule.claim_kind && *rule.claim_kind != claim.kind) continue;
        bool in_scope = true;
        for (const auto& [key, value] : rule.scope_attribute) {
          const std::string* have = claim.attributes.find(key);
          in_scope = in_scope && have != nullptr && (value == "*" || *have == value);
        }
        if (!in_scope) continue;
        if (!qv::verifiers::condition_holds(rule.when, claim, ctx)) continue;
        if (rule.unless && qv::verifiers::condition_holds(*rule.unless, claim, ctx)) continue;
        ++taken;
        break;
      }
    }
    benchmark::DoNotOptimize(taken);
  }
}
BENCHMARK(BM_RulesPerClaim)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
