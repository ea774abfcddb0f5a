// The scope verifier: the standing of a source, the three findings with
// their texts and receipts, and the claims that get none, on the numeric
// component's figures.
#include "verifiers/scope.hpp"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "verifiers/numeric_figures.hpp"

namespace qv::verifiers {
namespace {

using records::EvidenceResult;
using Notes = std::vector<std::string>;

TEST(ScopeStanding, EachStanding) {
  const records::SortedMap scope = {{"company", "ACME"}};
  EXPECT_EQ(scope_standing(scope, {{"company", " ACME\u3000"}}), ScopeStanding(Inside{}));
  EXPECT_EQ(scope_standing(scope, {{"company", "acme"}}), ScopeStanding(Outside{"company", "ACME", "acme"}));
  EXPECT_EQ(scope_standing(scope, {{"year", "2024"}}), ScopeStanding(Unstated{}));
  EXPECT_EQ(scope_standing(scope, {}), ScopeStanding(Unstated{}));
  EXPECT_EQ(scope_standing({{"a", "1"}, {"b", "2"}}, {{"b", "2"}}), ScopeStanding(Inside{}));
  // Byte order of the scope's keys: a matches, then b differs; values kept untrimmed.
  EXPECT_EQ(scope_standing({{"b", " 2"}, {"a", "1"}}, {{"b", "3"}, {"a", "1"}}),
            ScopeStanding(Outside{"b", " 2", "3"}));
}

// Numeric claims c0, c1, ... on the texts; sources src1, src2, ... with
// the company each states ("" for a provenance without it).
core::Result<std::vector<Evidence>> run(std::vector<std::string> claims,
                                        std::vector<std::pair<std::string, std::string>> sources,
                                        std::string locale = "en") {
  const FigureReader& figures = numeric_figures();
  VerificationContext ctx;
  ctx.locale = std::move(locale);
  ctx.scope = {{"company", "ACME"}};
  for (std::size_t i = 0; i < claims.size(); ++i) {
    ctx.claims.push_back({"c" + std::to_string(i), ClaimKind::Numeric, claims[i], {}, {}});
  }
  for (std::size_t i = 0; i < sources.size(); ++i) {
    records::InsertionMap provenance = {{"region", "EU"}};
    if (!sources[i].second.empty()) provenance.insert_or_assign("company", sources[i].second);
    ctx.sources.push_back({"src" + std::to_string(i + 1), sources[i].first, std::nullopt, provenance});
  }
  return ScopeVerifier(figures).run(ctx);
}

TEST(ScopeVerifier, SupportedOnTheFirstInsideSource) {
  const auto found = run({"revenue 450"}, {{"revenue 450", "Globex"}, {"none", "ACME"}, {"was 450", "ACME"}}).value();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].result, EvidenceResult::Supported);
  EXPECT_EQ(found[0].score, 1.0);
  EXPECT_EQ(found[0].rationale, "revenue 450 found in src3, inside the request scope");
  EXPECT_EQ(found[0].receipt, (records::Receipt{"src3", records::Span{4, 7}, "450", {}}));
  EXPECT_EQ(found[0].verifier_id, "quillaveen.scope");
  EXPECT_EQ(found[0].verifier_version, "1.2.0");
}

TEST(ScopeVerifier, ContradictedOnlyWhenSignificantElseUnstated) {
  const auto found = run({"450", "€12", "12", "12%"}, {{"450 and €12 and 12%", "Globex"}}).value();
  ASSERT_EQ(found.size(), 3u);  // the bare 12 is not significant
  EXPECT_EQ(found[0].rationale,
            "450 found only in src1, outside the request scope (company is Globex, the request is about ACME)");
  EXPECT_EQ(found[0].receipt.notes, Notes{"out_of_scope_source"});
  EXPECT_EQ(found[1].claim_id + found[2].claim_id, "c1c3");
  EXPECT_EQ(found[2].result, EvidenceResult::Contradicted);

  const auto unstated = run({"12"}, {{"12", "Globex"}, {"also 12", ""}}).value();
  ASSERT_EQ(unstated.size(), 1u);
  EXPECT_EQ(unstated[0].result, EvidenceResult::Unsupported);
  EXPECT_EQ(unstated[0].rationale, "12 found only in src2, whose provenance does not state the scope");
  EXPECT_EQ(unstated[0].receipt, (records::Receipt{"src2", records::Span{5, 7}, "12", {"provenance_missing"}}));
}

TEST(ScopeVerifier, NoFindingAndLocale) {
  // A year, a single digit, a figure found nowhere; no sources at all.
  EXPECT_TRUE(run({"2019", "7", "88"}, {{"2019 7 7", "ACME"}}).value().empty());
  EXPECT_TRUE(run({"450"}, {}).value().empty());
  EXPECT_EQ(run({"450"}, {{"450", "ACME"}}, "xx").error().display(), "invalid input: unknown locale xx");
  VerificationContext unscoped;
  unscoped.locale = "xx";
  EXPECT_TRUE(ScopeVerifier(numeric_figures()).run(unscoped).value().empty());
}

// Figures drawn from a small vocabulary, so that equal values in other
// notations (1,000 and 1000, 12.50 and 12.5, 1.000 in German) come up often.
std::string random_figures(std::mt19937& rng, std::size_t count) {
  static const std::vector<std::string> numbers = {"10",   "10.0",  "12",  "12.5", "12.50", "-12", "(12)",  "1,000",
                                                   "1000", "1.000", "99",  "0.5",  "450",   "45",  "4.50",  "2019",
                                                   "007",  "7",     "1e3", "100",  "1 000", "€12", "12%",   "3,5"};
  std::string text;
  for (std::size_t k = 0; k < count; ++k) text += numbers[rng() % numbers.size()] + (rng() % 2 ? "; " : " and ");
  return text;
}

TEST(ScopeSources, LookupsAgreeWithTheInOrderWalk) {
  std::mt19937 rng(11);
  const FigureReader& figures = numeric_figures();
  int claims = 0;
  std::array<int, 3> found{};
  for (int request = 0; request < 2000; ++request) {
    VerificationContext ctx;
    ctx.locale = request % 3 == 0 ? "de" : "en";
    ctx.scope = {{"company", "ACME"}};
    static const std::vector<std::string> companies = {"", "ACME", " ACME", "Globex"};
    for (std::size_t i = rng() % 6; i > 0; --i) {
      records::InsertionMap provenance;
      if (const std::string& c = companies[rng() % companies.size()]; !c.empty()) provenance.insert_or_assign("company", c);
      ctx.sources.push_back({"s" + std::to_string(i), random_figures(rng, rng() % 10), std::nullopt, provenance});
    }
    const ScopeSources sources(figures, ctx);
    for (int c = 0; c < 4; ++c) {
      const std::vector<Figure> read = figures.read(random_figures(rng, 1), ctx.locale, false);
      if (read.empty()) continue;
      ++claims;
      const ScopeSources::Matches fast = sources.first_matches(read.front());
      ASSERT_EQ(fast, sources.first_matches_in_order(read.front())) << "request " << request;
      for (std::size_t k = 0; k < 3; ++k) found[k] += fast[k].has_value();
    }
  }
  EXPECT_GT(claims, 5000);
  for (int n : found) EXPECT_GT(n, 1000);
}

}  // namespace
}  // namespace qv::verifiers
