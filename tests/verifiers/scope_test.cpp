// The scope verifier: standings of sources, the three findings with their
// texts and receipts, and the cases that give no finding.
#include <gtest/gtest.h>

#include "fake_figures.hpp"
#include "verifiers/scope.hpp"

namespace qv::verifiers {
namespace {

using records::Claim;
using records::EvidenceResult;

const testing::FakeFigures kFigures;

TEST(ScopeStanding, EachStanding) {
  const records::SortedMap scope = {{"company", "ACME"}};
  EXPECT_EQ(scope_standing(scope, {{"company", " ACME\u3000"}}), ScopeStanding(Inside{}));
  EXPECT_EQ(scope_standing(scope, {{"company", "acme"}}), ScopeStanding(Outside{"company", "ACME", "acme"}));
  EXPECT_EQ(scope_standing(scope, {{"year", "2024"}}), ScopeStanding(Unstated{}));
  EXPECT_EQ(scope_standing(scope, {}), ScopeStanding(Unstated{}));
  // Keys the provenance does not state do not matter.
  EXPECT_EQ(scope_standing({{"a", "1"}, {"b", "2"}}, {{"b", "2"}}), ScopeStanding(Inside{}));
  // Byte order of the scope's keys: a matches, then b differs.
  EXPECT_EQ(scope_standing({{"b", "2"}, {"a", "1"}}, {{"b", "3"}, {"a", "1"}}), ScopeStanding(Outside{"b", "2", "3"}));
  // Untrimmed values are kept in the standing.
  EXPECT_EQ(scope_standing({{"k", " x"}}, {{"k", "y "}}), ScopeStanding(Outside{"k", " x", "y "}));
}

Claim numeric(std::string id, std::string text) {
  Claim c;
  c.id = std::move(id);
  c.kind = ClaimKind::Numeric;
  c.text = std::move(text);
  return c;
}

VerificationContext context(std::vector<Claim> claims, std::vector<std::pair<std::string, records::InsertionMap>> sources) {
  VerificationContext ctx;
  ctx.locale = "en";
  ctx.scope = {{"company", "ACME"}};
  ctx.claims = std::move(claims);
  for (std::size_t i = 0; i < sources.size(); ++i) {
    ctx.sources.push_back({"src" + std::to_string(i + 1), sources[i].first, std::nullopt, sources[i].second});
  }
  return ctx;
}

std::vector<Evidence> run(const VerificationContext& ctx) {
  ScopeVerifier v(kFigures);
  auto r = v.run(ctx);
  EXPECT_TRUE(r.has_value());
  return r.value_or(std::vector<Evidence>{});
}

const records::InsertionMap kAcme = {{"company", "ACME"}};
const records::InsertionMap kOther = {{"company", "Globex"}};
const records::InsertionMap kNone = {{"region", "EU"}};

TEST(ScopeVerifier, InfoAndSupportedFinding) {
  ScopeVerifier v(kFigures);
  EXPECT_EQ(v.info().id, "quillaveen.scope");
  EXPECT_EQ(v.info().version, "1.2.0");
  EXPECT_EQ(v.info().kind, records::VerifierKind::Exact);
  EXPECT_EQ(v.info().applies_to, std::vector<ClaimKind>{ClaimKind::Numeric});

  // Outside in the first source, inside in the third: supported on the third.
  const auto found = run(context({numeric("c0", "revenue 450")},
                                 {{"revenue 450", kOther}, {"nothing", kAcme}, {"was 450 then", kAcme}}));
  ASSERT_EQ(found.size(), 1u);
  const Evidence& e = found[0];
  EXPECT_EQ(e.result, EvidenceResult::Supported);
  EXPECT_EQ(e.score, 1.0);
  EXPECT_EQ(e.rationale, "revenue 450 found in src3, inside the request scope");
  EXPECT_EQ(e.receipt.source_id, "src3");
  EXPECT_EQ(e.receipt.source_span, (records::Span{4, 7}));
  EXPECT_EQ(e.receipt.source_text, "450");
  EXPECT_TRUE(e.receipt.notes.empty());
  EXPECT_EQ(e.verifier_id, "quillaveen.scope");
  EXPECT_EQ(e.confidence, 1.0);
}

TEST(ScopeVerifier, ContradictedOnlyWhenSignificant) {
  const auto found = run(context({numeric("c0", "450"), numeric("c1", "€12"), numeric("c2", "12"), numeric("c3", "12%")},
                                 {{"450 and €12 and 12%", kOther}}));
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].claim_id, "c0");
  EXPECT_EQ(found[0].result, EvidenceResult::Contradicted);
  EXPECT_EQ(found[0].rationale,
            "450 found only in src1, outside the request scope (company is Globex, the request is about ACME)");
  EXPECT_EQ(found[0].receipt.notes, std::vector<std::string>{"out_of_scope_source"});
  EXPECT_EQ(found[1].claim_id, "c1");
  EXPECT_EQ(found[1].result, EvidenceResult::Contradicted);
  EXPECT_EQ(found[2].claim_id, "c3");

  // A bare 12 found outside and in an unstated source is unsupported.
  const auto unstated = run(context({numeric("c0", "12")}, {{"12", kOther}, {"also 12", kNone}}));
  ASSERT_EQ(unstated.size(), 1u);
  EXPECT_EQ(unstated[0].result, EvidenceResult::Unsupported);
  EXPECT_EQ(unstated[0].rationale, "12 found only in src2, whose provenance does not state the scope");
  EXPECT_EQ(unstated[0].receipt.notes, std::vector<std::string>{"provenance_missing"});
  EXPECT_EQ(unstated[0].receipt.source_span, (records::Span{5, 7}));
}

TEST(ScopeVerifier, NoFindingCases) {
  // Years, single digits, figures found nowhere, and no sources.
  EXPECT_TRUE(run(context({numeric("c0", "2019"), numeric("c1", "7"), numeric("c2", "88")}, {{"2019 7 7", kAcme}})).empty());
  EXPECT_TRUE(run(context({numeric("c0", "450")}, {})).empty());
  // Word claims are not looked at.
  auto words = context({numeric("c0", "450")}, {{"450", kAcme}});
  words.claims[0].kind = ClaimKind::Word;
  EXPECT_TRUE(run(words).empty());
}

TEST(ScopeVerifier, LocaleCheckedOnlyWithAScope) {
  auto ctx = context({numeric("c0", "450")}, {{"450", kAcme}});
  ctx.locale = "xx";
  ScopeVerifier v(kFigures);
  auto r = v.run(ctx);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().display(), "invalid input: unknown locale xx");
  ctx.scope.clear();
  EXPECT_TRUE(v.run(ctx).value().empty());
}

TEST(ScopeVerifier, FindingsInEvidenceOrder) {
  std::vector<Claim> claims;
  for (int i = 0; i < 12; ++i) claims.push_back(numeric("c" + std::to_string(i), "450"));
  const auto found = run(context(claims, {{"450", kAcme}}));
  ASSERT_EQ(found.size(), 12u);
  EXPECT_EQ(found[1].claim_id, "c1");
  EXPECT_EQ(found[2].claim_id, "c10");
}

}  // namespace
}  // namespace qv::verifiers
