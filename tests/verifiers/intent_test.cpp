// The intent verifier: the asked kind in each language, the asked unit, and
// the finding's result, notes and texts.
#include <gtest/gtest.h>

#include "fake_figures.hpp"
#include "verifiers/intent.hpp"

namespace qv::verifiers {
namespace {

using records::Claim;
using records::EvidenceResult;

const testing::FakeFigures kFigures;

TEST(IntentAskedKind, SignalsPerLanguage) {
  struct Case {
    const char* question;
    std::optional<AskedKind> kind;
  };
  const Case cases[] = {
      {"What percentage of sales came from Europe?", AskedKind::Percent},
      {"How many stores, as a percent?", AskedKind::Percent},  // percent is tried first
      {"What is the growth rate?", AskedKind::Percent},
      {"What was the rate of return?", AskedKind::Percent},
      {"Revenue in %?", AskedKind::Percent},
      {"¿Qué porcentaje de ventas?", AskedKind::Percent},       // es
      {"¿Cuál es la proporción?", AskedKind::Percent},          // es
      {"Quin percentatge de vendes?", AskedKind::Percent},      // ca
      {"Quel pourcentage des ventes ?", AskedKind::Percent},    // fr
      {"Wie hoch ist der Prozentsatz?", AskedKind::Percent},    // de, open-ended boundary
      {"Qual è la percentuale?", AskedKind::Percent},           // it
      {"Qual é a percentagem?", AskedKind::Percent},            // pt
      {"How many stores are open?", AskedKind::Count},
      {"What is the NUMBER OF stores?", AskedKind::Count},
      {"¿Cuántas tiendas hay?", AskedKind::Count},              // es
      {"Wie viele Filialen gibt es?", AskedKind::Count},        // de
      {"How much did it cost?", AskedKind::Amount},
      {"Revenue in millions?", AskedKind::Amount},
      {"What is the total?", AskedKind::Amount},
      {"¿Cuánto costó?", AskedKind::Amount},                    // es
      {"Ventas en millones", AskedKind::Amount},                // es
      {"Combien coûte-t-il ?", AskedKind::Amount},              // fr
      {"Wie viel kostet es?", AskedKind::Amount},               // de
      {"Who founded the company?", std::nullopt},
      {"Is the ratio-free totals list ready?", AskedKind::Percent},  // "ratio" stands alone before "-"
      {"List the totals", std::nullopt},                         // "total" needs its closing boundary
  };
  for (const Case& c : cases) EXPECT_EQ(classify_question(c.question), c.kind) << c.question;
}

TEST(IntentAskedKind, TokensAndDescriptions) {
  EXPECT_EQ(question_tokens("revenue, in $/€ (2024)?"),
            (std::vector<std::string_view>{"revenue", "in", "$", "€", "2024"}));
  EXPECT_EQ(question_tokens("¿años²?"), (std::vector<std::string_view>{"años²"}));
  EXPECT_EQ(describe_figure_kind({FigureDimension::Dimensionless, ""}), "a bare number");
  EXPECT_EQ(describe_figure_kind({FigureDimension::Currency, "EUR"}), "an amount in EUR");
  EXPECT_EQ(describe_figure_kind({FigureDimension::Energy, ""}), "a energy");
  EXPECT_EQ(describe_dimension({FigureDimension::Area, ""}), "area");
}

Claim numeric(std::string id, std::string text) {
  Claim c;
  c.id = std::move(id);
  c.kind = ClaimKind::Numeric;
  c.text = std::move(text);
  return c;
}

core::Result<std::vector<Evidence>> run(std::optional<std::string> question, std::vector<Claim> claims,
                                        std::string locale = "en") {
  VerificationContext ctx;
  ctx.question = std::move(question);
  ctx.claims = std::move(claims);
  ctx.locale = std::move(locale);
  return IntentVerifier(kFigures).run(ctx);
}

// The single finding, or a failed test.
Evidence one(std::optional<std::string> question, std::vector<Claim> claims) {
  auto r = run(std::move(question), std::move(claims));
  EXPECT_TRUE(r.has_value());
  EXPECT_EQ(r.value_or(std::vector<Evidence>{}).size(), 1u);
  return r.value_or(std::vector<Evidence>{Evidence{}}).at(0);
}

using Notes = std::vector<std::string>;

TEST(IntentVerifier, KindChecks) {
  const Evidence share = one("What share of revenue came from Europe?", {numeric("c0", "12%")});
  EXPECT_EQ(share.result, EvidenceResult::Supported);
  EXPECT_EQ(share.score, 1.0);
  EXPECT_EQ(share.rationale, "the question asks for a percentage; the answer's figure 12% is a percentage");
  EXPECT_EQ(share.receipt.notes, Notes{"asked:percent"});
  EXPECT_EQ(share.verifier_id, "quillaveen.intent");
  EXPECT_EQ(share.verifier_version, "1.1.0");
  EXPECT_FALSE(share.receipt.source_id.has_value());

  EXPECT_EQ(one("What percentage?", {numeric("c0", "12")}).result, EvidenceResult::Supported);
  const Evidence scaled = one("What percentage?", {numeric("c0", "5 million")});
  EXPECT_EQ(scaled.result, EvidenceResult::Unsupported);
  EXPECT_EQ(scaled.score, 0.0);
  EXPECT_EQ(scaled.rationale, "the question asks for a percentage; the answer's figure 5 million is a bare number");
  EXPECT_EQ(scaled.receipt.notes, (Notes{"intent_mismatch", "asked:percent"}));
  EXPECT_EQ(one("What percentage?", {numeric("c0", "$12")}).rationale,
            "the question asks for a percentage; the answer's figure $12 is an amount in USD");

  const Evidence count = one("How many stores?", {numeric("c0", "12%")});
  EXPECT_EQ(count.rationale, "the question asks for a count; the answer's figure 12% is a percentage");
  EXPECT_EQ(count.receipt.notes, (Notes{"intent_mismatch", "asked:count"}));
  EXPECT_EQ(one("How much?", {numeric("c0", "$12")}).result, EvidenceResult::Supported);
}

TEST(IntentVerifier, UnitChecks) {
  const Evidence other = one("What was revenue in euros?", {numeric("c0", "$450")});
  EXPECT_EQ(other.rationale, "the question asks for euros (EUR); the answer's figure $450 is in USD");
  EXPECT_EQ(other.receipt.notes, (Notes{"unit_mismatch", "asked_unit:EUR"}));
  const Evidence bare = one("What was revenue in euros?", {numeric("c0", "450")});
  EXPECT_EQ(bare.rationale, "the question asks for euros; the answer's figure 450 has no unit");
  EXPECT_EQ(bare.receipt.notes, (Notes{"unit_missing", "asked_unit:EUR"}));
  const Evidence same = one("Distance in KM?", {numeric("c0", "5 km")});
  EXPECT_EQ(same.result, EvidenceResult::Supported);
  EXPECT_EQ(same.rationale, "the question asks for the unit asked for; the answer's figure 5 km is a length");
  EXPECT_EQ(same.receipt.notes, Notes{"asked_unit:length"});
  EXPECT_EQ(one("Revenue in $?", {numeric("c0", "€3")}).receipt.notes, (Notes{"unit_mismatch", "asked_unit:USD"}));

  // Both issues, the kind first.
  const Evidence both = one("How many roads, measured in km?", {numeric("c0", "12%")});
  EXPECT_EQ(both.rationale,
            "the question asks for a count; the answer's figure 12% is a percentage; "
            "the question asks for km (length); the answer's figure 12% is a percentage");
  EXPECT_EQ(both.receipt.notes, (Notes{"intent_mismatch", "unit_mismatch", "asked:count", "asked_unit:length"}));
  // A percentage asked for and given, with a unit asked: no unit issue.
  EXPECT_EQ(one("What percentage, in km?", {numeric("c0", "12%")}).result, EvidenceResult::Supported);
}

TEST(IntentVerifier, WhenNothingIsJudged) {
  EXPECT_TRUE(run(" \u3000 ", {numeric("c0", "12%")}).value().empty());
  EXPECT_TRUE(run(std::nullopt, {numeric("c0", "12%")}).value().empty());
  // Too far from "in", a one-letter unit, "$" without an introducing word.
  EXPECT_TRUE(run("Revenue in the very big old km", {numeric("c0", "12")}).value().empty());
  EXPECT_TRUE(run("Length in m", {numeric("c0", "12")}).value().empty());
  EXPECT_TRUE(run("Revenue $", {numeric("c0", "12")}).value().empty());
  // Nothing asked: no locale check.
  EXPECT_TRUE(run("Who?", {numeric("c0", "12")}, "xx").value().empty());
  auto bad = run("How many?", {numeric("c0", "12")}, "xx");
  ASSERT_FALSE(bad.has_value());
  EXPECT_EQ(bad.error().display(), "invalid input: unknown locale xx");
  // Years are passed over; the last other figure is judged.
  const Evidence e = one("How many stores?", {numeric("c0", "12"), numeric("c1", "30%"), numeric("c2", "2023")});
  EXPECT_EQ(e.claim_id, "c1");
  EXPECT_TRUE(run("How many stores?", {numeric("c0", "2023"), numeric("c1", "1999")}).value().empty());
}

}  // namespace
}  // namespace qv::verifiers
