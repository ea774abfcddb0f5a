// The intent verifier: the asked kind in each language, the asked unit, and
// the finding's result, notes and texts, on the numeric component's figures.
#include "verifiers/intent.hpp"

#include <gtest/gtest.h>

#include "verifiers/numeric_figures.hpp"

namespace qv::verifiers {
namespace {

using records::EvidenceResult;
using Notes = std::vector<std::string>;

TEST(IntentAskedKind, SignalsPerLanguage) {
  const std::pair<const char*, std::optional<AskedKind>> cases[] = {
      {"What percentage of sales?", AskedKind::Percent},
      {"How many, as a percent?", AskedKind::Percent},
      {"What is the growth rate?", AskedKind::Percent},
      {"The rate of return?", AskedKind::Percent},
      {"Revenue in %?", AskedKind::Percent},
      {"¿Qué porcentaje de ventas?", AskedKind::Percent},
      {"¿Cuál es la proporción?", AskedKind::Percent},
      {"Quin percentatge de vendes?", AskedKind::Percent},
      {"Quel pourcentage ?", AskedKind::Percent},
      {"Wie hoch ist der Prozentsatz?", AskedKind::Percent},
      {"Qual è la percentuale?", AskedKind::Percent},
      {"Qual é a percentagem?", AskedKind::Percent},
      {"How many stores?", AskedKind::Count},
      {"The NUMBER OF stores?", AskedKind::Count},
      {"¿Cuántas tiendas hay?", AskedKind::Count},
      {"Wie viele Filialen?", AskedKind::Count},
      {"How much did it cost?", AskedKind::Amount},
      {"Revenue in millions?", AskedKind::Amount},
      {"What is the total?", AskedKind::Amount},
      {"¿Cuánto costó?", AskedKind::Amount},
      {"Ventas en millones", AskedKind::Amount},
      {"Combien coûte-t-il ?", AskedKind::Amount},
      {"Wie viel kostet es?", AskedKind::Amount},
      {"Who founded the company?", std::nullopt},
      {"List the totals", std::nullopt},
  };
  for (const auto& [question, kind] : cases) EXPECT_EQ(classify_question(question), kind) << question;
  EXPECT_EQ(question_tokens("revenue, in $/€ (2024) años²?"),
            (std::vector<std::string_view>{"revenue", "in", "$", "€", "2024", "años²"}));
}

core::Result<std::vector<Evidence>> run(std::optional<std::string> question, std::vector<std::string> claims,
                                        std::string locale = "en") {
  const FigureReader& figures = numeric_figures();
  VerificationContext ctx;
  ctx.question = std::move(question);
  ctx.locale = std::move(locale);
  for (std::size_t i = 0; i < claims.size(); ++i) {
    ctx.claims.push_back({"c" + std::to_string(i), ClaimKind::Numeric, claims[i], {}, {}});
  }
  return IntentVerifier(figures).run(ctx);
}

// The one finding's result, rationale and notes, as one text.
std::string judged(std::string question, std::vector<std::string> claims) {
  const auto found = run(std::move(question), std::move(claims)).value();
  if (found.size() != 1) return "findings: " + std::to_string(found.size());
  std::string out =
      found[0].claim_id + " " + std::string(records::to_word(found[0].result)) + " | " + found[0].rationale + " |";
  for (const std::string& n : found[0].receipt.notes) out += " " + n;
  return out;
}

TEST(IntentVerifier, KindChecks) {
  EXPECT_EQ(
      judged("What share of revenue?", {"12%"}),
      "c0 supported | the question asks for a percentage; the answer's figure 12% is a percentage | asked:percent");
  EXPECT_EQ(
      judged("What percentage?", {"12"}),
      "c0 supported | the question asks for a percentage; the answer's figure 12 is a bare number | asked:percent");
  EXPECT_EQ(judged("What percentage?", {"5 million"}),
            "c0 unsupported | the question asks for a percentage; the answer's figure 5 million is a bare number | "
            "intent_mismatch asked:percent");
  EXPECT_EQ(judged("What percentage?", {"$12"}),
            "c0 unsupported | the question asks for a percentage; the answer's figure $12 is an amount in USD | "
            "intent_mismatch asked:percent");
  EXPECT_EQ(judged("How many stores?", {"12%"}),
            "c0 unsupported | the question asks for a count; the answer's figure 12% is a percentage | "
            "intent_mismatch asked:count");
  EXPECT_EQ(judged("How much?", {"5 km"}),
            "c0 supported | the question asks for an amount; the answer's figure 5 km is a length | asked:amount");
}

TEST(IntentVerifier, UnitChecks) {
  EXPECT_EQ(judged("What was revenue in euros?", {"$450"}),
            "c0 unsupported | the question asks for euros (EUR); the answer's figure $450 is in USD | "
            "unit_mismatch asked_unit:EUR");
  EXPECT_EQ(judged("What was revenue in euros?", {"450"}),
            "c0 unsupported | the question asks for euros; the answer's figure 450 has no unit | "
            "unit_missing asked_unit:EUR");
  EXPECT_EQ(judged("Distance in KM?", {"5 km"}),
            "c0 supported | the question asks for the unit asked for; the answer's figure 5 km is a length | "
            "asked_unit:length");
  EXPECT_EQ(judged("How many roads, measured in km?", {"12%"}),
            "c0 unsupported | the question asks for a count; the answer's figure 12% is a percentage; the question "
            "asks for km (length); the answer's figure 12% is a percentage | "
            "intent_mismatch unit_mismatch asked:count asked_unit:length");
  EXPECT_EQ(judged("What percentage, in km?", {"12%"}).substr(0, 12), "c0 supported");
  // Too far after "in", one letter, "$" without an introducing word.
  EXPECT_EQ(judged("Revenue in the very big old km", {"12"}), "findings: 0");
  EXPECT_EQ(judged("Length in m", {"12"}), "findings: 0");
  EXPECT_EQ(judged("Revenue $", {"12"}), "findings: 0");
  EXPECT_EQ(judged("Revenue of $?", {"€3"}).substr(0, 14), "c0 unsupported");
}

TEST(IntentVerifier, WhatIsJudged) {
  EXPECT_TRUE(run(" \u3000 ", {"12%"}).value().empty());
  EXPECT_TRUE(run(std::nullopt, {"12%"}).value().empty());
  EXPECT_TRUE(run("Who?", {"12"}, "xx").value().empty());  // nothing asked: no locale check
  EXPECT_EQ(run("How many?", {"12"}, "xx").error().display(), "invalid input: unknown locale xx");
  // Years are passed over; the last other figure is judged.
  EXPECT_EQ(judged("How many stores?", {"12", "30%", "2023"}).substr(0, 2), "c1");
  EXPECT_EQ(judged("How many stores?", {"2023", "1999"}), "findings: 0");
}

}  // namespace
}  // namespace qv::verifiers
