#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "verifiers/extract.hpp"
#include "verifiers/numeric.hpp"

namespace qv::verifiers {
namespace {

using records::Evidence;
using records::EvidenceResult;
using Notes = std::vector<std::string>;

records::VerificationContext make_context(std::string answer, std::vector<std::string> sources,
                                          std::optional<std::string> question = std::nullopt,
                                          std::string locale = "en") {
  records::VerificationContext ctx;
  ctx.answer = std::move(answer);
  ctx.question = std::move(question);
  ctx.locale = std::move(locale);
  for (std::size_t i = 0; i < sources.size(); ++i) {
    records::Source s;
    s.id = "s" + std::to_string(i);
    s.text = std::move(sources[i]);
    ctx.sources.push_back(std::move(s));
  }
  ctx.claims = extract_claims(ctx.answer, ctx.locale, true);
  return ctx;
}

struct Outcome {
  records::VerificationContext context;
  std::vector<Evidence> evidence;

  // The finding on the numeric claim with this text.
  const Evidence& on(std::string_view claim_text) const {
    for (const auto& c : context.claims) {
      if (c.kind != records::ClaimKind::Numeric || c.text != claim_text) continue;
      for (const auto& e : evidence) {
        if (e.claim_id == c.id) return e;
      }
    }
    ADD_FAILURE() << "no finding on " << claim_text;
    static const Evidence none;
    return none;
  }
  std::string id_of(std::string_view claim_text) const {
    for (const auto& c : context.claims) {
      if (c.text == claim_text) return c.id;
    }
    return {};
  }
};

Outcome verify(records::VerificationContext ctx, records::NumericConfig options = {}) {
  const NumericVerifier verifier(options);
  auto result = verifier.run(ctx);
  EXPECT_TRUE(result.has_value());
  return Outcome{std::move(ctx), result ? std::move(*result) : std::vector<Evidence>{}};
}

// "result | rationale | notes" of one finding.
std::string summary(const Evidence& e) {
  std::string out = std::string(records::to_word(e.result)) + " | " + e.rationale + " |";
  for (const std::string& n : e.receipt.notes) out += " " + n;
  return out;
}

records::NumericConfig with_options(bool declared_precision, bool percent_as_fraction, bool derive = true,
                                    core::RoundingRule rounding = core::RoundingRule::WithinLastDigit) {
  records::NumericConfig c;
  c.matching.declared_precision = declared_precision;
  c.matching.percent_as_fraction = percent_as_fraction;
  c.derive = derive;
  c.rounding = rounding;
  return c;
}

// One answer against one source: the summary of the finding on one claim.
struct SummaryCase {
  const char *answer, *source, *claim, *summary;
  const char* locale = "en";
  records::NumericConfig options = {};
};

void expect_summaries(std::span<const SummaryCase> cases) {
  for (const SummaryCase& c : cases) {
    EXPECT_EQ(summary(verify(make_context(c.answer, {c.source}, std::nullopt, c.locale), c.options).on(c.claim)),
              c.summary)
        << c.answer << " against " << c.source;
  }
}

TEST(NumericIdentity, InfoAndEvidenceFields) {
  const NumericVerifier verifier({});
  const VerifierInfo& info = verifier.info();
  EXPECT_EQ(info.id, "quillaveen.numeric");
  EXPECT_EQ(info.version, "1.3.0");
  EXPECT_EQ(info.kind, records::VerifierKind::Exact);
  EXPECT_EQ(info.determinism, records::Determinism::exact());
  EXPECT_EQ(info.applies_to, std::vector<records::ClaimKind>{records::ClaimKind::Numeric});
  EXPECT_TRUE(info.artefacts.empty());
  EXPECT_FALSE(info.needs_network);

  auto ctx = make_context("Revenue was $4.5 million.", {"Revenue reached 4,500,000 dollars last year."});
  ctx.locale = "xx";
  const auto failed = verifier.run(ctx);
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(failed.error().display(), "invalid input: unknown locale xx");
}

TEST(FirstVerdict, Equal) {
  const auto out = verify(make_context("Revenue was $4.5 million.", {"Revenue reached 4,500,000 dollars last year."}));
  ASSERT_EQ(out.evidence.size(), 1u);
  const Evidence e = out.on("$4.5 million");
  EXPECT_EQ(e.result, EvidenceResult::Supported);
  EXPECT_EQ(e.score, 1.0);
  EXPECT_EQ(e.confidence, 1.0);
  EXPECT_EQ(e.verifier_id, "quillaveen.numeric");
  EXPECT_EQ(e.verifier_version, "1.3.0");
  EXPECT_EQ(e.rationale, "$4.5 million = 4,500,000 dollars in s0 (4500000 USD)");
  EXPECT_EQ(e.receipt.source_id, "s0");
  EXPECT_EQ(e.receipt.source_span, (records::Span{16, 33}));
  EXPECT_EQ(e.receipt.source_text, "4,500,000 dollars");
  EXPECT_TRUE(e.receipt.notes.empty());
}

TEST(FirstVerdict, NoSourceFigure) {
  const auto out = verify(make_context("Revenue was $4.5 million.", {"No figures here."}));
  const Evidence e = out.on("$4.5 million");
  EXPECT_EQ(e.result, EvidenceResult::Unsupported);
  EXPECT_EQ(e.score, 0.0);
  EXPECT_EQ(e.rationale, "$4.5 million : no numeral in any source");
  EXPECT_EQ(e.receipt, records::Receipt{});
}

TEST(FirstVerdict, DeclaredPrecisionAndPercentAsFraction) {
  const auto ctx = make_context("Sales were 4.2 million.", {"Sales were 4,213,000."});
  EXPECT_EQ(verify(ctx).on("4.2 million").result, EvidenceResult::Contradicted);
  EXPECT_EQ(summary(verify(ctx, with_options(true, false)).on("4.2 million")),
            "supported | 4.2 million matches 4213000 at 2 significant digits | matches_at_declared_precision");
  const auto pct = make_context("The margin was 42%.", {"The margin was 0.42."});
  EXPECT_EQ(verify(pct).on("42%").receipt.notes, Notes{"dimension_mismatch"});
  EXPECT_EQ(summary(verify(pct, with_options(false, true)).on("42%")),
            "supported | 42% matches 0.42 read as a fraction | percent_as_fraction");
}

TEST(FirstVerdict, DifferentWithDistanceText) {
  const SummaryCase cases[] = {
      {"Sales were 105 units.", "Sales were 100 units.", "105",
       "contradicted | 105 not in sources; nearest 100 in s0 (relative distance 0.048) |"},
      // The divisor is at least 1; a value already within three places stays
      // as it is; a tie at the third place goes to the even digit.
      {"The rate was 0.2.", "The rate was 0.1.", "0.2",
       "contradicted | 0.2 not in sources; nearest 0.1 in s0 (relative distance 0.1) |"},
      {"It was 80 units.", "It was 79 units.", "80",
       "contradicted | 80 not in sources; nearest 79 in s0 (relative distance 0.012) |"},
      // Equal distances: the earlier figure is reported. The quotient 10 ÷ 50
      // keeps one trailing zero, as the decimal division leaves it.
      {"It was 50 units.", "It was 40 or 62.5, or 40 again.", "50",
       "contradicted | 50 not in sources; nearest 40 in s0 (relative distance 0.20) |"},
  };
  expect_summaries(cases);
  EXPECT_EQ(verify(make_context("Sales were 105 units.", {"Sales were 100 units."})).on("105").receipt.source_text,
            "100");
}

// How a source writes the sign of a figure: a rise in parentheses with a plus
// sign, accounting parentheses, a minus sign inside parentheses, and a
// parenthesis that is not closed around the figure.
TEST(FirstVerdict, SignsAndParenthesesOfSourceFigures) {
  const SummaryCase cases[] = {
      {"Revenue grew 8.2%.", "Revenue EUR 4.31 billion (+8.2%).", "8.2%",
       "supported | 8.2% = (+8.2%) in s0 (8.2 %) |"},
      {"Der Umsatz stieg um 3,5 %.", "Umsatz 4,31 Mrd. EUR (+3,5 %).", "3,5 %",
       "supported | 3,5 % = (+3,5 %) in s0 (3.5 %) |", "de"},
      {"Revenue grew 8.2%.", "Revenue EUR 4.31 billion (-8.2%).", "8.2%",
       "unsupported | 8.2% differs from (-8.2%) in s0 only in its sign | sign_differs"},
      {"The result was -2,500.", "Net result (2,500).", "-2,500",
       "supported | -2,500 = (2,500) in s0 (-2500) |"},
      {"The result was -2,500.", "Net result (-2,500).", "-2,500",
       "supported | -2,500 = (-2,500) in s0 (-2500) |"},
      // A claim that matches a figure but for its sign, in any way a claim is
      // supported before derivation, is unsupported and noted: a magnitude
      // given for a loss, and a sign error alike.
      {"The result was 2,500.", "Net result (2,500).", "2,500",
       "unsupported | 2,500 differs from (2,500) in s0 only in its sign | sign_differs"},
      {"The net loss was 1,234.", "(in thousands)\nNet loss | (1,234) | (987)", "1,234",
       "unsupported | 1,234 differs from (1,234) in s0 only in its sign | sign_differs"},
      {"The net loss was 1,234.", "(in thousands)\nNet loss | -1,234 | -987", "1,234",
       "unsupported | 1,234 differs from -1,234 in s0 only in its sign | sign_differs"},
      {"The result was -2,500.", "Net result 2,500 and 1,900.", "-2,500",
       "unsupported | -2,500 differs from 2,500 in s0 only in its sign | sign_differs"},
      {"The net loss was 1.234 million.", "(in thousands)\nNet loss | (1,234) | (987)", "1.234 million",
       "unsupported | 1.234 million differs from (1,234) in s0 only in its sign | sign_differs"},
      {"The net loss was 1,234 thousand.", "Net loss | (1,234) | (987)", "1,234 thousand",
       "unsupported | 1,234 thousand differs from (1,234) in s0 only in its sign | sign_differs"},
      {"The net loss was 1.2 thousand.", "Net loss | (1,234) | (987)", "1.2 thousand",
       "unsupported | 1.2 thousand differs from (1,234) in s0 only in its sign | sign_differs", "en",
       with_options(true, false)},
      {"Revenue declined 5.2%.", "Revenue change | (5.2)%", "5.2%",
       "unsupported | 5.2% differs from (5.2)% in s0 only in its sign | sign_differs"},
      {"Net income was 1,234.", "Net income | (1,234)", "1,234",
       "unsupported | 1,234 differs from (1,234) in s0 only in its sign | sign_differs"},
      // No recomputation refutes it: the source holds it.
      {"Revenue was 600.5 and costs 400.5; the loss was 1,234.", "Revenue 600.5, costs 400.5, net loss (1,234)",
       "1,234", "unsupported | 1,234 differs from (1,234) in s0 only in its sign | sign_differs"},
      // The turned claim need only match the figure, supported by it or not:
      // unconfirmed one-sided (two digits), equal under a declared or context
      // scale (one digit).
      {"The Foreign exchange contracts in 2018 was $0.4 million.",
       "($ in millions) | 2019 | 2018 | 2017 |\n| Commodity contracts | $45.4 | $41.4 | $9.4 |\n"
       "| Foreign exchange contracts | (0.9) | (0.4) | (0.1) |\n| Total | $44.5 | $41.0 | $9.3 |",
       "$0.4 million", "unsupported | $0.4 million differs from (0.4) in s0 only in its sign | sign_differs"},
      {"Other items were $0.5 thousand.", "(in thousands)\nTotal revenue | $49,856 | $49,863\nOther items | -$0.5 | 907",
       "$0.5 thousand", "unsupported | $0.5 thousand differs from -$0.5 in s0 only in its sign | sign_differs"},
      {"Other items were -$0.26.", "Total revenue | $70,185 | $70,192\nOther items | 0.26 | 479", "-$0.26",
       "unsupported | -$0.26 differs from 0.26 in s0 only in its sign | sign_differs"},
      {"The loss was 87.", "In millions: loss (87)", "87",
       "unsupported | 87 differs from (87) in s0 only in its sign | sign_differs"},
      {"The net loss was $5 million.", "(in thousands)\nNet loss | $(5,000) | $7,000", "$5 million",
       "unsupported | $5 million differs from (5,000) in s0 only in its sign | sign_differs"},
      // A claim without a figure of its dimension is tried turned as well.
      {"Net cash used was $312.", "Net cash used in investing activities | (312) | (280)", "$312",
       "unsupported | $312 differs from (312) in s0 only in its sign | dimension_mismatch sign_differs"},
      {"Revenue was $5 million.", "(in thousands)\nRevenue | (5,000) | 7,000", "$5 million",
       "unsupported | $5 million differs from (5,000) in s0 only in its sign | dimension_mismatch sign_differs"},
      // A unit with an offset: the sign that counts is the value's in kelvin.
      {"The temperature was 5 °C.", "Temperature 268.15 K", "5 °C",
       "unsupported | 5 °C differs from 268.15 K in s0 only in its sign | sign_differs"},
      {"The temperature was -5 °C.", "Temperature 278.15 K", "-5 °C",
       "unsupported | -5 °C differs from 278.15 K in s0 only in its sign | sign_differs"},
      {"The temperature was 13 °F.", "Temperature 248.15 K", "13 °F",
       "unsupported | 13 °F differs from 248.15 K in s0 only in its sign | sign_differs"},
      {"It was -5.15 K.", "It was -268 °C and -300 °C.", "-5.15 K",
       "unsupported | -5.15 K differs from -268 °C in s0 only in its sign | sign_differs"},
      {"The temperature was 273.15 °C.", "Temperature 0 K or 7 K", "273.15 °C",
       "unsupported | 273.15 °C differs from 0 K in s0 only in its sign | sign_differs"},
      // The sign step keeps the precision option.
      {"The net loss was 1.23 million.", "(in thousands)\nNet loss | (1,234) | (987)", "1.23 million",
       "unsupported | 1.23 million differs from (1,234) in s0 only in its sign | sign_differs", "en",
       with_options(true, false)},
      // Unchanged beside them: a claim supported as it stands, a turned sign
      // that matches nothing, an unsupported finding, the one-digit rule
      // under a declared scale, and a year.
      {"The net loss was (1,234).", "Net loss | (1,234) | (987)", "(1,234)",
       "supported | (1,234) = (1,234) in s0 (-1234) |"},
      {"The net loss was 1,500.", "Net loss | (1,234) | (987)", "1,500",
       "contradicted | 1,500 not in sources; nearest -987 in s0 (relative distance 1.658) |"},
      {"Other items were $0.6.", "Total revenue | $66,371 | $66,378\nOther items | (0.6) | 755", "$0.6",
       "contradicted | $0.6 not in sources; nearest 66371 USD in s0 (relative distance 1.000) |"},
      {"The net loss was $6 million.", "(in thousands)\nNet loss | $(5,000) | $7,000", "$6 million",
       "contradicted | $6 million not in sources; nearest 7000000 USD in s0, $7,000 in thousands as its table declares "
       "(relative distance 0.143) |"},
      {"The temperature was 5 °C.", "Temperature 5 K", "5 °C",
       "contradicted | 5 °C not in sources; nearest 5 K in s0 (relative distance 0.982) |"},
      {"Revenue in 2023 was 5,000.", "Revenue (2023) | 5,000", "2023",
       "unsupported | 2023 reads as a year and appears in no source | year_not_in_sources"},
      // A lone parenthesis, in the answer or the source, does not negate.
      {"Costs were (12 net of tax.", "Costs 12", "(12", "supported | (12 = 12 in s0 (12) |"},
      {"Costs were 12 (net of tax).", "(12 in total, net of tax)", "12", "supported | 12 = (12 in s0 (12) |"},
  };
  expect_summaries(cases);
  // The receipt is the figure that differs only in its sign, not the nearest.
  const Evidence e = verify(make_context("The net loss was 1,234.", {"Other | 1,300\nNet loss | (1,234)"})).on("1,234");
  EXPECT_EQ(e.receipt.source_text, "(1,234)");
  EXPECT_EQ(e.receipt.source_span, (records::Span{25, 32}));
  // Equality under a declared scale comes before the sign step, even where
  // another source supports the turned claim.
  const Evidence scaled = verify(make_context("Revenue was $5 million.", {"(in thousands)\nRevenue | $5,000 | $7,000",
                                                                           "Net loss -$5 million"}))
                              .on("$5 million");
  EXPECT_EQ(summary(scaled), "unsupported | $5 million matches $5,000 in s0 under the scale its table declares, "
                             "thousands, but one significant digit does not confirm it |");
  EXPECT_EQ(scaled.receipt.source_id, "s0");
  // A turned claim that matches only unconfirmed puts the receipt on the
  // figure it matches, not on the nearest one.
  const Evidence two = verify(make_context("Other items were -$0.26.", {"Other items | 0.26 | $0.25"})).on("-$0.26");
  EXPECT_EQ(summary(two), "unsupported | -$0.26 differs from 0.26 in s0 only in its sign | sign_differs");
  EXPECT_EQ(two.receipt.source_text, "0.26");
  // Under und each (4,300) reads first as -4300, then as -4.3: the turned
  // claim is the second source's figure under its declared thousands, and
  // the first source's only in that figure's second reading; the exact match
  // names the figure, and the receipt and the rationale follow it there.
  const Evidence und = verify(make_context("The net loss was $4.3 million.",
                                           {"(in millions)\nNet loss | (4,300)", "(in thousands)\nNet loss | (4,300)"},
                                           std::nullopt, "und"))
                           .on("$4.3 million");
  EXPECT_EQ(summary(und),
            "unsupported | $4.3 million differs from (4,300) in s1 only in its sign | dimension_mismatch sign_differs");
  EXPECT_EQ(und.receipt.source_id, "s1");
  EXPECT_EQ(und.receipt.source_span, (records::Span{26, 33}));
  EXPECT_EQ(und.receipt.source_text, "(4,300)");
}

TEST(FirstVerdict, DimensionMismatchOnlyWithoutSameUnitFigure) {
  const Evidence e = verify(make_context("It cost $5 million.", {"It weighs 12 kg."})).on("$5 million");
  EXPECT_EQ(summary(e), "unsupported | $5 million has no source value of the same dimension | dimension_mismatch");
  EXPECT_EQ(e.receipt.source_text, "12 kg");
  EXPECT_EQ(verify(make_context("It cost $5 million.", {"It weighs 12 kg and cost 7 USD."})).on("$5 million").result,
            EvidenceResult::Contradicted);
}

// A context that names a unit gives its scale, but not its unit, to a
// figure with a unit of its own.
TEST(FirstVerdict, ContextScaleKeepsTheFiguresOwnUnit) {
  const Evidence e = verify(make_context("It was 70000000 kg.", {"Figures in millions of dollars: 70 kg."}))
                         .on("70000000 kg");
  EXPECT_EQ(summary(e), "supported | 70000000 kg = 70 kg in s0 (70000000 kg) |");
  EXPECT_EQ(verify(make_context("It was $70000000.", {"Figures in millions of dollars: 70 kg."})).on("$70000000").result,
            EvidenceResult::Unsupported);
}

TEST(FirstVerdict, FirstSourceWinsAndQuantityNotesComeFirst) {
  const auto out = verify(make_context("It was 1.234 in all.", {"Only 12.", "It was 1234.", "It was 1234."},
                                       std::string("Was it 1.234?"), "und"));
  const Evidence e = out.on("1.234");
  EXPECT_EQ(e.result, EvidenceResult::Supported);
  EXPECT_EQ(e.receipt.source_id, "s1");
  EXPECT_EQ(e.receipt.notes, (Notes{"grouping_vs_decimal", "numeral_ambiguous", "echoes_question"}));
}

TEST(SecondChance, UnitOrScaleOnOneSideOrDeclaredByTable) {
  constexpr const char* kThousands = "(in thousands)\nRevenue | $48,210 | $45,390";
  constexpr const char* kExcept = "(in thousands, except employee data)\nRevenue | $48,210\nEmployees | 12,000";
  constexpr const char* kPerShare =
      "(In millions, except per share data)\nNet income | $455 | $398\nDiluted EPS | $0.87 | $0.75\n"
      "Dividends per share | $0.05 | $0.04\nEmployees | 12,500 | 11,900";
  const records::NumericConfig precise = with_options(true, false);
  EXPECT_EQ(summary(verify(make_context("Revenue was $4.25 million.", {"Revenue 4.25"})).on("$4.25 million")),
            "supported | $4.25 million = 4.25 in s0; the unit or scale is stated on one side only | "
            "dimension_mismatch unit_or_scale_on_one_side");
  const Evidence e =
      verify(make_context("Revenue was 4.2 million.", {"Other 12", "Revenue (in thousands): 4,200"})).on("4.2 million");
  EXPECT_EQ(summary(e), "supported | 4.2 million = 4,200 in s1, under the scale its table declares | scale_from_header");
  EXPECT_EQ(e.receipt.source_text, "4,200");
  // A context scale that makes the values equal.
  const Evidence ctx = verify(make_context("It was $4.2 million.", {"(in millions) 4.2"})).on("$4.2 million");
  EXPECT_EQ(ctx.receipt.notes, (Notes{"dimension_mismatch", "scale_from_header"}));
  // A declaration in another source does not apply.
  EXPECT_EQ(verify(make_context("Revenue was 4.2 million.", {"(in thousands)", "Revenue 4,200"})).on("4.2 million").result,
            EvidenceResult::Contradicted);
  // A declared scale says which scale a bare figure's digits are in: the
  // same digits stated at another scale are not the figure with its scale
  // left out, while the declared scale itself, or no declaration, still is.
  const SummaryCase cases[] = {
      {"Revenue was 4,310 million.", "(in thousands) Revenue | 4,310", "4,310 million",
       "contradicted | 4,310 million not in sources; nearest 4310000 in s0, 4,310 in thousands as its table declares "
       "(relative distance 0.999) |"},
      {"Revenue was $4,310 million.", "(in thousands) Revenue | 4,310", "$4,310 million",
       "unsupported | $4,310 million has no source value of the same dimension | dimension_mismatch"},
      {"Revenue was 4,310 thousand.", "(in thousands) Revenue | 4,310", "4,310 thousand",
       "supported | 4,310 thousand = 4,310 in s0; the unit or scale is stated on one side only | "
       "unit_or_scale_on_one_side"},
      {"Revenue was $4,310.", "(in thousands) Revenue | 4,310", "$4,310",
       "supported | $4,310 = 4,310 in s0; the unit or scale is stated on one side only | "
       "dimension_mismatch unit_or_scale_on_one_side"},
      {"Revenue was $4.31 billion.", "(in millions) Revenue | 4,310", "$4.31 billion",
       "supported | $4.31 billion = 4,310 in s0, under the scale its table declares | "
       "dimension_mismatch scale_from_header"},
      {"Revenue was 4,310 million.", "Revenue | 4,310", "4,310 million",
       "supported | 4,310 million = 4,310 in s0; the unit or scale is stated on one side only | "
       "unit_or_scale_on_one_side"},
      // A figure with a scale word of its own is not in the declared scale.
      {"Revenue was $4,310 million.", "(in thousands) Revenue | 4,310 million", "$4,310 million",
       "supported | $4,310 million = 4,310 million in s0; the unit or scale is stated on one side only | "
       "dimension_mismatch unit_or_scale_on_one_side"},
      // A bare figure under a declared scale stands for its value under it:
      // a claim with a scale word of its own gets no agreement from its
      // digits as written, with the precision option or without it ...
      {"Revenue was $48.21 thousand.", kThousands, "$48.21 thousand",
       "contradicted | $48.21 thousand not in sources; $48,210 in s0 is in thousands, the scale its table declares |"},
      {"Revenue was $48.2 thousand.", kThousands, "$48.2 thousand",
       "contradicted | $48.2 thousand not in sources; $48,210 in s0 is in thousands, the scale its table declares |",
       "en", precise},
      // ... and agrees with its value under the scale at the claim's
      // precision, when the option is on; an exact match comes first.
      {"Revenue was $48.2 million.", kThousands, "$48.2 million",
       "supported | $48.2 million matches $48,210 in s0 at 3 significant digits, under the scale its table declares | "
       "scale_from_header matches_at_declared_precision",
       "en", precise},
      {"Revenue was $4.3 billion.", "($ in millions)\nRevenue | 4,310", "$4.3 billion",
       "supported | $4.3 billion matches 4,310 in s0 at 2 significant digits, under the scale its table declares | "
       "dimension_mismatch scale_from_header matches_at_declared_precision",
       "en", precise},
      {"Revenue was $4.3 billion.", "Amounts in millions: revenue 4,310", "$4.3 billion",
       "supported | $4.3 billion matches 4,310 in s0 at 2 significant digits, under the scale its table declares | "
       "dimension_mismatch scale_from_header matches_at_declared_precision",
       "en", precise},
      {"Revenue was $48.2 million.", "(in thousands)\nRevenue | $48,210 | $48,200", "$48.2 million",
       "supported | $48.2 million = $48,200 in s0, under the scale its table declares | scale_from_header", "en",
       precise},
      // Unchanged beside them: the option off, a written figure, another
      // step, scale or currency, one significant digit, a figure with its
      // own scale word, a percentage, a claim without a scale word, and the
      // one-sided and exact declared-scale chances.
      {"Revenue was $48.2 million.", kThousands, "$48.2 million",
       "contradicted | $48.2 million not in sources; nearest 48210000 USD in s0, $48,210 in thousands as its table "
       "declares (relative distance 0.000) |"},
      {"Revenue was $48.2 million.", "Revenue was $48,210,000 in 2024.", "$48.2 million",
       "supported | $48.2 million matches 48210000 USD at 3 significant digits | matches_at_declared_precision", "en",
       precise},
      {"Revenue was $48.3 million.", kThousands, "$48.3 million",
       "contradicted | $48.3 million not in sources; nearest 48210000 USD in s0, $48,210 in thousands as its table "
       "declares (relative distance 0.002) |",
       "en",
       precise},
      {"Revenue was $48.2 billion.", kThousands, "$48.2 billion",
       "contradicted | $48.2 billion not in sources; nearest 48210000 USD in s0, $48,210 in thousands as its table "
       "declares (relative distance 0.999) |",
       "en",
       precise},
      {"Revenue was EUR 48.2 million.", kThousands, "EUR 48.2 million",
       "unsupported | EUR 48.2 million has no source value of the same dimension | dimension_mismatch", "en", precise},
      {"Revenue was $50 million.", kThousands, "$50 million",
       "contradicted | $50 million not in sources; nearest 48210000 USD in s0, $48,210 in thousands as its table "
       "declares (relative distance 0.036) |",
       "en",
       precise},
      {"Revenue was $48 million.", "(in thousands)\nRevenue | $48.2 million | $45,390", "$48 million",
       "supported | $48 million matches 48200000 USD at 2 significant digits | matches_at_declared_precision", "en",
       precise},
      {"Margin was 12.5%.", "(in thousands)\nRevenue | $48,210 | margin 12.5%", "12.5%",
       "supported | 12.5% = 12.5% in s0 (12.5 %) |", "en", precise},
      {"Revenue was $48,210.", kThousands, "$48,210", "supported | $48,210 = $48,210 in s0 (48210 USD) |", "en",
       precise},
      {"Revenue was 48,210 thousand.", kThousands, "48,210 thousand",
       "supported | 48,210 thousand = $48,210 in s0; the unit or scale is stated on one side only | "
       "dimension_mismatch unit_or_scale_on_one_side",
       "en", precise},
      {"Revenue was $48.21 million.", kThousands, "$48.21 million",
       "supported | $48.21 million = $48,210 in s0, under the scale its table declares | scale_from_header", "en",
       precise},
      // One significant digit gets no rounded agreement under the scale.
      {"Revenue was $5 million.", "(in thousands)\nRevenue | $4,800", "$5 million",
       "contradicted | $5 million not in sources; nearest 4800000 USD in s0, $4,800 in thousands as its table "
       "declares (relative distance 0.04) |",
       "en", precise},
      // The rationale names the declaration's own scale.
      {"Revenue was 4.31 thousand.", "(in billions)\nRevenue | 4,310", "4.31 thousand",
       "contradicted | 4.31 thousand not in sources; 4,310 in s0 is in billions, the scale its table declares |"},
      // A claim's value in its canonical unit is what is rounded.
      {"The route was 4.8 million miles.", "(in thousands)\nRoute | 7,725 km", "4.8 million miles",
       "supported | 4.8 million miles matches 7,725 km in s0 at 2 significant digits, under the scale its table "
       "declares | scale_from_header matches_at_declared_precision",
       "en", precise},
      // A declaration with exceptions leaves the scale of a figure agreeing
      // only as written unknown; everything else is as without them.
      {"The company had 12 thousand employees.", kExcept, "12 thousand",
       "unsupported | 12 thousand matches 12,000 in s0 only as written; its table declares its scale, thousands, "
       "with exceptions |"},
      {"The company had 12 thousand employees.", kExcept, "12 thousand",
       "unsupported | 12 thousand matches 12,000 in s0 only as written; its table declares its scale, thousands, "
       "with exceptions |",
       "en", precise},
      // No recomputation refutes it either.
      {"The company had 12 thousand employees, 48 offices and 52 stores.",
       "(in thousands, except employee data)\nEmployees | 12,000\nOffices | 48\nStores | 52", "12 thousand",
       "unsupported | 12 thousand matches 12,000 in s0 only as written; its table declares its scale, thousands, "
       "with exceptions |"},
      {"The company had 12 thousand employees.", "(in thousands)\nRevenue | $48,210\nEmployees | 12,000",
       "12 thousand",
       "contradicted | 12 thousand not in sources; 12,000 in s0 is in thousands, the scale its table declares |"},
      {"The company had 12 thousand employees.",
       "(in thousands)\nRevenue except one-offs | $48,210\nEmployees | 12,000", "12 thousand",
       "contradicted | 12 thousand not in sources; 12,000 in s0 is in thousands, the scale its table declares |"},
      {"The company had 12 thousand employees.",
       "Segment results\n(in thousands of U.S. dollars)\nRevenue except one-offs | $48,210\nEmployees | 12,000",
       "12 thousand",
       "contradicted | 12 thousand not in sources; 12,000 in s0 is in thousands, the scale its table declares |"},
      // Only a claim agreeing only as written is left unconfirmed.
      {"Revenue was $50 million.", kExcept, "$50 million",
       "contradicted | $50 million not in sources; nearest 48210000 USD in s0, $48,210 in thousands as its table "
       "declares (relative distance 0.036) |"},
      {"The company had 12,000 employees.", kExcept, "12,000", "supported | 12,000 = 12,000 in s0 (12000) |"},
      // A context phrase that makes exceptions scales no figure: it declares
      // its scale with exceptions instead, with or without parentheses.
      {"Earnings were $2.31 per share.", "(In millions, except per share amounts)\nRevenue | $4,310\nEPS | $2.31",
       "$2.31", "supported | $2.31 = $2.31 in s0 (2.31 USD) |"},
      {"Dividends were $0.05 per share.", kPerShare, "$0.05", "supported | $0.05 = $0.05 in s0 (0.05 USD) |"},
      {"Diluted EPS was $0.87.", kPerShare, "$0.87", "supported | $0.87 = $0.87 in s0 (0.87 USD) |"},
      {"Net income was $398.", kPerShare, "$398", "supported | $398 = $398 in s0 (398 USD) |"},
      {"Net income was $0.455 billion.", kPerShare, "$0.455 billion",
       "supported | $0.455 billion = $455 in s0, under the scale its table declares | scale_from_header"},
      // The declared scale's own word meets the one-sided chance first.
      {"Net income was $455 million.", kPerShare, "$455 million",
       "supported | $455 million = $455 in s0; the unit or scale is stated on one side only | "
       "unit_or_scale_on_one_side"},
      {"The company had 12.5 thousand employees.", kPerShare, "12.5 thousand",
       "unsupported | 12.5 thousand matches 12,500 in s0 only as written; its table declares its scale, millions, "
       "with exceptions |"},
      {"Net income was $455 thousand.", kPerShare, "$455 thousand",
       "contradicted | $455 thousand not in sources; nearest 750000 USD in s0, $0.75 in millions as its table "
       "declares (relative distance 0.393) |"},
      {"Diluted EPS was $0.87.", "Amounts in millions, except per share data\nNet income | $455\nDiluted EPS | $0.87",
       "$0.87", "supported | $0.87 = $0.87 in s0 (0.87 USD) |"},
      {"Net income was $0.455 billion.",
       "Amounts in millions, except per share data\nNet income | $455\nDiluted EPS | $0.87", "$0.455 billion",
       "supported | $0.455 billion = $455 in s0, under the scale its table declares | scale_from_header"},
      {"Revenue was 12 thousand.", "in trillion, except per share\nRevenue | 12,000 | 5", "12 thousand",
       "unsupported | 12 thousand matches 12,000 in s0 only as written; its table declares its scale, trillions, "
       "with exceptions |"},
      // Without "except" after its scale word, a context phrase scales.
      {"Diluted EPS was $0.87.", "(In millions)\nNet income except one-offs | $455\nDiluted EPS | $0.87", "$0.87",
       "unsupported | $0.87 matches $0.87 in s0 only if the unit or scale stated on one side applies to the other | "
       "unit_or_scale_on_one_side_unconfirmed"},
      {"Revenue was $48.21 million.", kExcept, "$48.21 million",
       "supported | $48.21 million = $48,210 in s0, under the scale its table declares | scale_from_header"},
      {"Revenue was $48.2 million.", kExcept, "$48.2 million",
       "supported | $48.2 million matches $48,210 in s0 at 3 significant digits, under the scale its table declares | "
       "scale_from_header matches_at_declared_precision",
       "en", precise},
      {"Revenue was 48,210 thousand.", kExcept, "48,210 thousand",
       "supported | 48,210 thousand = $48,210 in s0; the unit or scale is stated on one side only | "
       "unit_or_scale_on_one_side"},
      {"Margin was 12.5%.", "(in thousands, except percentages)\nRevenue | $48,210 | margin 12.5%", "12.5%",
       "supported | 12.5% = 12.5% in s0 (12.5 %) |"},
      // A difference is measured to a declaring table's figure under its
      // scale, for a claim with a scale word; without one, as written.
      {"Revenue was $4.3 million.", "(in thousands)\nRevenue | $4,310", "$4.3 million",
       "contradicted | $4.3 million not in sources; nearest 4310000 USD in s0, $4,310 in thousands as its table "
       "declares (relative distance 0.002) |"},
      {"Revenue was $4.3 million.", "(in thousands)\nRevenue | $4,300,100 | $4,500", "$4.3 million",
       "contradicted | $4.3 million not in sources; nearest 4500000 USD in s0, $4,500 in thousands as its table "
       "declares (relative distance 0.044) |"},
      {"Revenue was $4.3 million.", "(in thousands)\nRevenue | $4.0 million | $4,400", "$4.3 million",
       "contradicted | $4.3 million not in sources; nearest 4400000 USD in s0, $4,400 in thousands as its table "
       "declares (relative distance 0.023) |"},
      {"Revenue was $4,300.", "(in thousands)\nRevenue | $4,310", "$4,300",
       "contradicted | $4,300 not in sources; nearest 4310 USD in s0 (relative distance 0.002) |"},
      {"Revenue was $4.3 trillion.", "(in billions)\nRevenue | $4,310", "$4.3 trillion",
       "contradicted | $4.3 trillion not in sources; nearest 4310000000000 USD in s0, $4,310 in billions as its table "
       "declares (relative distance 0.002) |"},
      // A claim equal to a figure under its declared scale is never
      // contradicted by it: without a chance to support it (one significant
      // digit, equality only in another reading, no exact value), it is
      // unsupported, and its receipt is that figure.
      {"Revenue was $5 million.", "(in thousands)\nRevenue | $5,000 | $7,000", "$5 million",
       "unsupported | $5 million matches $5,000 in s0 under the scale its table declares, thousands, but one "
       "significant digit does not confirm it |"},
      {"Revenue was $5 million.", "(in thousands, except per share)\nRevenue | $7,000 | $5,000", "$5 million",
       "unsupported | $5 million matches $5,000 in s0 under the scale its table declares, thousands, but one "
       "significant digit does not confirm it |"},
      {"Revenue was $5 million; segments made $48.21 million and $45.39 million.",
       "(in thousands)\nRevenue | $5,000 | $48,210 | $45,390", "$5 million",
       "unsupported | $5 million matches $5,000 in s0 under the scale its table declares, thousands, but one "
       "significant digit does not confirm it |"},
      {"Revenue was $5 thousand.", "(in thousands)\nRevenue | $5,000 | $5", "$5 thousand",
       "unsupported | $5 thousand matches $5 in s0 under the scale its table declares, thousands, but one "
       "significant digit does not confirm it |"},
      {"Revenue was $4,310 million.", "(in thousands)\nRevenue | $4,310", "$4,310 million",
       "unsupported | $4,310 million matches $4,310 in s0 under the scale its table declares, thousands, but only if "
       "$4,310 reads as 4.310 | grouping_vs_decimal numeral_ambiguous",
       "und"},
      {"Revenue was $4,310 million.", "(in thousands)\nRevenue | $4,310", "$4,310 million",
       "contradicted | $4,310 million not in sources; nearest 4310000 USD in s0, $4,310 in thousands as its table "
       "declares (relative distance 0.999) |"},
      {"Revenue was $0.00431 million.", "(in thousands)\nRevenue | $4.310", "$0.00431 million",
       "unsupported | $0.00431 million matches $4.310 in s0 under the scale its table declares, thousands, but only "
       "if $4.310 reads as 4.310 |",
       "und"},
      {"It was 0.125 million °C.", "(in thousands)\nTemp | 125 °C | 5 °C", "0.125 million °C",
       "unsupported | 0.125 million °C matches 125 °C in s0 under the scale its table declares, thousands, but not "
       "as exact values |"},
      {"Revenue was $5 million.", "(in thousands)\nRevenue | $4,800 | $5", "$5 million",
       "contradicted | $5 million not in sources; nearest 4800000 USD in s0, $4,800 in thousands as its table "
       "declares (relative distance 0.04) |"},
      {"Revenue was 5 trillones.", "(in billions)\nRevenue | 5,000,000,000 | 7", "5 trillones",
       "unsupported | 5 trillones matches 5,000,000,000 in s0 under the scale its table declares, billions, but one "
       "significant digit does not confirm it | scale_word_foreign_to_locale"},
      // The same whatever gave the figure its scale: a context phrase, with
      // or without a parenthesis or a currency, is a declaration here too.
      {"Revenue was $5 billion.", "(In millions)\nRevenue | 5,000 | $7,000", "$5 billion",
       "unsupported | $5 billion matches 5,000 in s0 under the scale its table declares, millions, but one "
       "significant digit does not confirm it |"},
      {"Other items were $9 billion.", "($ in millions)\nTotal revenue | $53,855 | $53,862\nOther items | 9,000 | 347",
       "$9 billion",
       "unsupported | $9 billion matches 9,000 in s0 under the scale its table declares, millions, but one "
       "significant digit does not confirm it |"},
      {"Revenue was $0.4 million.", "(In millions)\nRevenue | 0.4 | $7,000", "$0.4 million",
       "unsupported | $0.4 million matches 0.4 in s0 under the scale its table declares, millions, but one "
       "significant digit does not confirm it |"},
      {"Other items were -$0.5 million.",
       "($ in millions)\nTotal revenue | $69,159 | $69,166\nOther items | $(0.5) | 264", "-$0.5 million",
       "unsupported | -$0.5 million matches (0.5) in s0 under the scale its table declares, millions, but one "
       "significant digit does not confirm it |"},
      {"Revenue was $5 billion.", "Amounts in millions: revenue 5,000 and 7,000 EUR", "$5 billion",
       "unsupported | $5 billion matches 5,000 in s0 under the scale its table declares, millions, but one "
       "significant digit does not confirm it | dimension_mismatch"},
      {"Revenue was $5 trillones.", "en trillones\nRevenue | 5.0 | 7", "$5 trillones",
       "unsupported | $5 trillones matches 5.0 in s0 under the scale its table declares, quintillions, but one "
       "significant digit does not confirm it | scale_word_foreign_to_locale dimension_mismatch"},
      // Unchanged beside them: a claim equal as it stands, one the context
      // scale supports, another value, a claim without the figure's
      // currency, and one significant digit without any scale.
      {"Revenue was 5 billion.", "(In millions)\nRevenue | 5,000 | $7,000", "5 billion",
       "supported | 5 billion = 5,000 in s0 (5000000000) |"},
      {"Revenue was $4.5 million.", "(In millions)\nRevenue | 4.5 | $7,000", "$4.5 million",
       "supported | $4.5 million = 4.5 in s0, under the scale its table declares | scale_from_header"},
      {"Revenue was $0.5 million.", "(In millions)\nRevenue | 0.4 | $7,000", "$0.5 million",
       "contradicted | $0.5 million not in sources; nearest 7000000000 USD in s0 (relative distance 1.000) |"},
      {"Revenue was 5 billion.", "(In millions)\nRevenue | $5,000 | 7,000", "5 billion",
       "contradicted | 5 billion not in sources; nearest 7000000000 in s0 (relative distance 0.286) |"},
      {"Other items were -$0.6.", "Total revenue | $66,371 | $66,378\nOther items | (0.6) | 755", "-$0.6",
       "contradicted | -$0.6 not in sources; nearest 66378 USD in s0 (relative distance 1.000) |"},
      // No source figure of the claim's dimension: the same rationale, and
      // no recomputation refutes it.
      {"Revenue was $5 million; segments made $48.21 million and $45.39 million.",
       "(in thousands)\nRevenue | 5,000 | 48,210 | 45,390", "$5 million",
       "unsupported | $5 million matches 5,000 in s0 under the scale its table declares, thousands, but one "
       "significant digit does not confirm it | dimension_mismatch"},
      // A figure agreeing only as written is named before any difference,
      // even a nearer one.
      {"Revenue was $4.3 thousand.", "(in thousands)\nRevenue | $4,250.5 | $4.35 thousand", "$4.3 thousand",
       "contradicted | $4.3 thousand not in sources; $4,250.5 in s0 is in thousands, the scale its table declares |",
       "en", precise},
      // A year is not in the table's scale.
      {"Revenue was 2 million.", "(in thousands)\nIn 2024 revenue was 9,000", "2 million",
       "contradicted | 2 million not in sources; nearest 9000000 in s0, 9,000 in thousands as its table declares "
       "(relative distance 0.778) |"},
  };
  expect_summaries(cases);
  // A later figure of a source without a declaration still serves.
  const Evidence later =
      verify(make_context("Revenue was 4,310 million.", {"(in thousands) Revenue | 4,310", "Revenue 4,310"}))
          .on("4,310 million");
  EXPECT_EQ(summary(later), "supported | 4,310 million = 4,310 in s1; the unit or scale is stated on one side only | "
                            "unit_or_scale_on_one_side");
}

TEST(SecondChance, UnconfirmedOneSidedWithTwoDigits) {
  const Evidence e = verify(make_context("Sales were 4.2 million.", {"Sales were 4.2 and 9.9"})).on("4.2 million");
  EXPECT_EQ(summary(e), "unsupported | 4.2 million matches 4.2 in s0 only if the unit or scale stated on one side "
                        "applies to the other | unit_or_scale_on_one_side_unconfirmed");
  EXPECT_EQ(e.score, 0.0);
  EXPECT_EQ(e.receipt.source_text, "9.9");  // the receipt stays with the nearest figure
  // Under a declared scale the two digits are in that scale: another stated
  // scale is contradicted, the declared one is supported by the table.
  const SummaryCase cases[] = {
      {"Sales were 43 million.", "(in thousands) Sales 43 and 99", "43 million",
       "contradicted | 43 million not in sources; nearest 99000 in s0, 99 in thousands as its table declares "
       "(relative distance 0.998) |"},
      {"Sales were 43 million.", "Sales 43 and 99", "43 million",
       "unsupported | 43 million matches 43 in s0 only if the unit or scale stated on one side applies to the other | "
       "unit_or_scale_on_one_side_unconfirmed"},
      {"Sales were 43 thousand.", "(in thousands) Sales 43 and 99", "43 thousand",
       "supported | 43 thousand = 43 in s0, under the scale its table declares | scale_from_header"},
      // A temperature at the declared scale's own word has no exact value (its
      // unit has an offset) for the table to support it by: its two digits stay
      // an unconfirmed one-sided match, which equality under the declared scale
      // does not take over.
      {"The furnace reached 15 thousand °C.", "(in thousands)\nTemperature | 15 °C | 20 °C", "15 thousand °C",
       "unsupported | 15 thousand °C matches 15 °C in s0 only if the unit or scale stated on one side applies to the "
       "other | unit_or_scale_on_one_side_unconfirmed"},
  };
  expect_summaries(cases);
}

// A lone digit that a declaration or a context phrase scales (a table cell
// "| 3 |") is no figure, but a claim equal to it under that scale, or but
// for its sign, or copying it as written, is unsupported, never supported
// by it; the receipt on that cell where the claim equals it. A claim of one
// digit copying a figure whose scale only the source states is unsupported
// too.
TEST(SecondChance, LoneDigitsAndOneDigitCopiesUnderAScale) {
  constexpr const char* kOther = "(in millions)\nRevenue | $5,000 | $4,800\nOther items | 3 | 55";
  constexpr const char* kLoss = "(In millions)\nRevenue | $5,000 | $4,800\nOther items | $(7) | 55";
  constexpr const char* kDebt = "(dollars in millions)\n| Long-term debt | $4 | $1,230 |";
  const records::NumericConfig bare = [] {
    records::NumericConfig c;
    c.units = false;
    return c;
  }();
  const SummaryCase cases[] = {
      {"Other items were $3 million.", kOther, "$3 million",
       "unsupported | $3 million matches 3 in s0 under the scale its table declares, millions, but one significant "
       "digit does not confirm it |"},
      {"Other items were 3 million.", kOther, "3 million",
       "unsupported | 3 million matches 3 in s0 under the scale its table declares, millions, but one significant "
       "digit does not confirm it |"},
      // The cell's one digit is what does not confirm it.
      {"Other items were $3,000 thousand.", kOther, "$3,000 thousand",
       "unsupported | $3,000 thousand matches 3 in s0 under the scale its table declares, millions, but one "
       "significant digit does not confirm it |"},
      {"Other items were $3.00 million.", kOther, "$3.00 million",
       "unsupported | $3.00 million matches 3 in s0 under the scale its table declares, millions, but one "
       "significant digit does not confirm it |"},
      {"Revenue was 6 billion.", "(in billions)\nRevenue | 6 | 570,662", "6 billion",
       "unsupported | 6 billion matches 6 in s0 under the scale its table declares, billions, but one significant "
       "digit does not confirm it |"},
      {"Other items were $3 million.", "(In millions, except per share data)\nRevenue | $5,000\nOther items | 3",
       "$3 million",
       "unsupported | $3 million matches 3 in s0 under the scale its table declares, millions, but one significant "
       "digit does not confirm it |"},
      // The only number of its source.
      {"Other items were $3 million.", "(in millions)\nOther items | 3", "$3 million",
       "unsupported | $3 million matches 3 in s0 under the scale its table declares, millions, but one significant "
       "digit does not confirm it |"},
      // Without units, under a declaration.
      {"Other items were 3,000.", "(in thousands)\nOther | 3 | 55", "3,000",
       "unsupported | 3,000 matches 3 in s0 under the scale its table declares, thousands, but one significant "
       "digit does not confirm it |",
       "en", bare},
      // Its sign: a currency symbol before a parenthesis is not read.
      {"Other items were -$7 million.", kLoss, "-$7 million",
       "unsupported | -$7 million matches (7) in s0 under the scale its table declares, millions, but one "
       "significant digit does not confirm it |"},
      {"Other items were $7 million.", kLoss, "$7 million",
       "unsupported | $7 million differs from (7) in s0 only in its sign | sign_differs"},
      // Copied as written, by a claim without a scale word.
      {"Other items were $3.", kOther, "$3",
       "unsupported | $3 matches 3 in s0 only if the unit or scale stated on one side applies to the other | "
       "unit_or_scale_on_one_side_unconfirmed"},
      {"Long-term debt was $4.", "(in billions)\n| Long-term debt | 4 | $1,230 |", "$4",
       "unsupported | $4 matches 4 in s0 only if the unit or scale stated on one side applies to the other | "
       "unit_or_scale_on_one_side_unconfirmed"},
      // A figure of one digit whose scale only the source states, copied.
      {"Long-term debt due in 2009 was $4.", kDebt, "$4",
       "unsupported | $4 matches $4 in s0 only if the unit or scale stated on one side applies to the other | "
       "unit_or_scale_on_one_side_unconfirmed"},
      {"Capital leases due in 2020 were 0.2.", "(in millions)\n| Capital leases | 0.2 | 26.5 |", "0.2",
       "unsupported | 0.2 matches 0.2 in s0 only if the unit or scale stated on one side applies to the other | "
       "unit_or_scale_on_one_side_unconfirmed"},
      {"Long-term debt was -$4.", kDebt, "-$4", "unsupported | -$4 differs from $4 in s0 only in its sign | sign_differs"},
      // Unchanged: a wrong figure beside the cell, no declaration, a digit
      // after a letter or with a scale word of its own, a claim stating
      // another scale, a figure with its own scale word, a declaration that
      // leaves the cell as written.
      {"Other items were $4 million.", kOther, "$4 million",
       "contradicted | $4 million not in sources; nearest 4800000000 USD in s0 (relative distance 0.999) |"},
      {"Other items were $3 million.", "Revenue | $5,000 | $4,800\nOther items | 3 | 55", "$3 million",
       "contradicted | $3 million not in sources; nearest 5000 USD in s0 (relative distance 0.998) |"},
      {"Paper was $4 million.", "(in millions)\nRevenue | $5,000\nA4 | 55", "$4 million",
       "contradicted | $4 million not in sources; nearest 5000000000 USD in s0 (relative distance 0.999) |"},
      {"It was $5 million.", "(in millions)\nRevenue | $5,000\nOther | 5 M | 55", "$5 million",
       "contradicted | $5 million not in sources; nearest 5000000000 USD in s0 (relative distance 0.999) |"},
      {"Long-term debt was $4 thousand.", kDebt, "$4 thousand",
       "contradicted | $4 thousand not in sources; nearest 4000000 USD in s0 (relative distance 0.999) |"},
      {"Long-term debt was $4.", "Long-term debt | $4 million | $1,230", "$4",
       "contradicted | $4 not in sources; nearest 1230 USD in s0 (relative distance 0.997) |"},
      {"Capital leases due in 2020 were 0.2.", "(in thousands)\n| Capital leases | 0.2 | 26.5 |", "0.2",
       "supported | 0.2 = 0.2 in s0 (0.2) |"},
  };
  expect_summaries(cases);
  const Evidence cell = verify(make_context("Other items were $3 million.", {kOther})).on("$3 million");
  EXPECT_EQ(cell.receipt.source_text, "3");
  // An unconfirmed operand is left to its source: the recomputation pass
  // refutes none that met a figure.
  const auto out = verify(make_context("Using 392 and $77, the total is $469 million.",
                                       {"| In millions of dollars | Carrying amount | Allowance |\n| Balance | $469 | $77 |",
                                        "Purchases were $392 million."}));
  EXPECT_EQ(summary(out.on("$77")),
            "unsupported | $77 matches $77 in s0 only if the unit or scale stated on one side applies to the other | "
            "unit_or_scale_on_one_side_unconfirmed");
}

TEST(YearHandling, YearsNotInSources) {
  const auto out = verify(make_context("In 2023 revenue was 5 million.", {"Revenue was 5 million in 2022."}));
  EXPECT_EQ(summary(out.on("2023")), "unsupported | 2023 reads as a year and appears in no source | year_not_in_sources");
  EXPECT_EQ(out.on("2023").receipt.source_text, "2022");
  EXPECT_EQ(out.on("5 million").result, EvidenceResult::Supported);
  // A stated year is a plain match.
  EXPECT_EQ(verify(make_context("In 2022 it grew.", {"In 2022 it grew."})).on("2022").result,
            EvidenceResult::Supported);
}

TEST(Derivation, RestatesAnswerFigure) {
  const auto out = verify(make_context("Revenue was $4.25 million, that is 4,250,000 USD.", {"Revenue 4.25"}));
  EXPECT_EQ(summary(out.on("4,250,000 USD")), "supported | 4,250,000 USD restates $4.25 million (" +
                                                  out.id_of("$4.25 million") +
                                                  "), which the sources support | dimension_mismatch restates_answer_figure");
  // A bare number restates a figure whose reading, as written, it repeats.
  const auto bare = verify(make_context("Revenue was $4.25 million, or 4.25 in millions.", {"Revenue 4,250,000 USD"}));
  EXPECT_EQ(bare.on("4.25").rationale,
            "4.25 restates $4.25 million (" + bare.id_of("$4.25 million") + "), which the sources support");
}

TEST(Derivation, ExactDifferenceAndLaterPasses) {
  const auto out = verify(make_context("Revenue was $120 and costs $100, a gap of $20.", {"Revenue 120 USD, costs 100 USD."}));
  EXPECT_EQ(summary(out.on("$20")),
            "supported | $20 = $120 − $100 = 20 | derived derived_from:" + out.id_of("$120") + "," + out.id_of("$100"));
  EXPECT_EQ(out.on("$20").receipt.source_text, "100 USD");  // the receipt stays
  // Later passes use newly supported figures.
  const auto later = verify(make_context("Revenue $600.5, costs $400.5, profit $200, and $800.5 with it.",
                                         {"Revenue 600.5 and costs 400.5."}));
  EXPECT_EQ(later.on("$200").rationale, "$200 = $600.5 − $400.5 = 200");
  EXPECT_EQ(later.on("$800.5").rationale, "$800.5 = $600.5 + $200 = 800.5");
}

// A stated total of up to ten supported figures of one unit is derived;
// eleven form no group.
TEST(Derivation, GroupSumsReachTenOperandsAndNoMore) {
  for (const int n : {10, 11}) {
    std::string list;
    int total = 0;
    for (int k = 11; k < 11 + n; ++k) {
      list += (list.empty() ? "$" : ", $") + std::to_string(k);
      total += k;
    }
    const std::string claim = "$" + std::to_string(total);
    const auto out = verify(make_context("Costs were " + list + ", " + claim + " in total.", {"Costs: " + list + "."}));
    if (n == 10) {
      std::string labels;
      for (int k = 11; k < 21; ++k) labels += (labels.empty() ? "" : ",") + out.id_of("$" + std::to_string(k));
      std::string sum = list;
      for (std::size_t at; (at = sum.find(", ")) != std::string::npos;) sum.replace(at, 2, " + ");
      EXPECT_EQ(summary(out.on(claim)), "supported | $155 = " + sum + " = 155 | derived derived_from:" + labels);
    } else {
      EXPECT_EQ(summary(out.on(claim)), "contradicted | $176 not in sources; nearest 21 USD in s0 (relative distance "
                                        "0.881) |");
    }
  }
}

TEST(Derivation, RoundedUnderEachRule) {
  const auto ctx = make_context("A budget of $100 for 30 people is $3.33 each.", {"The budget was 100 USD for 30 people."});
  for (auto rule : {core::RoundingRule::HalfUp, core::RoundingRule::HalfEven, core::RoundingRule::WithinLastDigit}) {
    const auto out = verify(ctx, with_options(false, false, true, rule));
    const std::string name(core::to_word(rule));
    EXPECT_EQ(summary(out.on("$3.33")), "supported | $3.33 = $100 / 30 = 3.333333, rounded " + name +
                                            " | derived derived_from:" + out.id_of("$100") + "," + out.id_of("30") +
                                            " rounding:" + name);
  }
}

TEST(Derivation, LastDigitSlipOnlyWithinLastDigit) {
  const auto ctx = make_context("Sales of 600 and 400 make 1,005 in total.", {"Sales were 600 and 400."});
  const auto out = verify(ctx);
  EXPECT_EQ(summary(out.on("1,005")), "supported | 1,005 = 600 + 400 = 1000, rounded within_last_digit | derived "
                                      "derived_from:" + out.id_of("600") + "," + out.id_of("400") +
                                      " rounding:within_last_digit last_digit_slip");
  EXPECT_EQ(verify(ctx, with_options(false, false, true, core::RoundingRule::HalfUp)).on("1,005").result,
            EvidenceResult::Contradicted);
  EXPECT_EQ(verify(make_context("Sales of 600 and 400 make 1,006 in total.", {"Sales were 600 and 400."}))
                .on("1,006")
                .result,
            EvidenceResult::Contradicted);
}

TEST(Derivation, RecomputationMismatchAndDeriveOff) {
  const auto ctx = make_context("Revenue was $600.5 and costs $400.5, so profit was $250.", {"Revenue 600.5 and costs 400.5."});
  const Evidence e = verify(ctx).on("$250");
  EXPECT_EQ(summary(e), "contradicted | $250 is in no source and matches no sum, difference, ratio or change of "
                        "$600.5, $400.5 | dimension_mismatch recomputation_mismatch");
  EXPECT_EQ(e.score, 0.0);
  const Evidence off = verify(ctx, with_options(false, false, false)).on("$250");
  EXPECT_EQ(summary(off).substr(0, 12), "unsupported ");
  EXPECT_EQ(off.receipt.notes, Notes{"dimension_mismatch"});
}

// A figure the answer computes from claims that met their figures, however
// they met them, is never contradicted: with the values the sources state
// (their signs, their scales) and the chances a source figure gives, it is
// supported where every step would support a claim against a source figure;
// otherwise unsupported, with what kept it from support. Wrong results stay
// contradicted.
TEST(Derivation, SecondChancesOfDerivedFigures) {
  constexpr const char* kStatement =
      "(In millions)\n| | 2019 | 2018 | 2017 |\n| Net sales | $9,120 | $8,877 | $7,937 |\n"
      "| Cost of sales | (5,860) | (5,803) | (5,075) |";
  constexpr const char* kImpact = "| After-tax impact | $971 | $892 | $101 |";
  constexpr const char* kThousands = "(in thousands)\n| After-tax impact | 971 | 892 | 101 |";
  const SummaryCase cases[] = {
      // Operands the sources state with the other sign: as stated, the
      // result is unsupported; with the table's own signs, supported.
      {"Using $5,860 million, $5,803 million and $5,075 million, the average cost of sales is $5,579.33 million.",
       kStatement, "$5,579.33 million",
       "unsupported | $5,579.33 million = ($5,860 million + $5,803 million + $5,075 million) / 3 = "
       "5579333333.333333, rounded within_last_digit; the sources do not confirm $5,860 million, $5,803 million, "
       "$5,075 million as stated | derived derived_from:c2,c3,c4 rounding:within_last_digit sign_differs"},
      {"Cost of sales was $5,860 million and $5,803 million, $11,663 million in all.", kStatement,
       "$11,663 million",
       "unsupported | $11,663 million = $5,860 million + $5,803 million = 11663000000; the sources do not confirm "
       "$5,860 million, $5,803 million as stated | derived derived_from:c3,c4 sign_differs"},
      {"Using $9,120 million and $5,860 million, gross profit was $3,260 million.", kStatement, "$3,260 million",
       "unsupported | $3,260 million = $9,120 million − $5,860 million = 3260000000; the sources do not confirm "
       "$5,860 million as stated | derived derived_from:c2,c3 sign_differs"},
      {"Using $5,860 million and $5,803 million, the change in cost of sales was -$57 million.", kStatement,
       "-$57 million",
       "supported | -$57 million = (5,860) − (5,803) = -57000000, under the scale its table declares | derived "
       "derived_from:c2,c3 scale_from_header"},
      {"Using $5,860 million, $5,803 million and $5,075 million, the average cost of sales is $5,969.88 million.",
       kStatement, "$5,969.88 million",
       "contradicted | $5,969.88 million not in sources; nearest 7937000000 USD in s0 (relative distance 0.248) |"},
      // A result with its unit, scale or currency on one side only, or
      // under the operands' declared scale.
      {"Using $971 and $101, the range is 870.", kImpact, "870",
       "supported | 870 = $971 − $101 = 870; the unit or scale is stated on one side only | dimension_mismatch "
       "derived derived_from:c2,c3 unit_or_scale_on_one_side"},
      {"Using $97 and $11, the range is 86.", "| After-tax impact | $97 | $89 | $11 |", "86",
       "unsupported | 86 = $97 − $11 = 86, only if the unit or scale stated on one side applies to the other | "
       "dimension_mismatch derived derived_from:c2,c3 unit_or_scale_on_one_side_unconfirmed"},
      {"Using 971 and 101, the range is 870 thousand.", kThousands, "870 thousand",
       "supported | 870 thousand = 971 − 101 = 870; the unit or scale is stated on one side only | derived "
       "derived_from:c2,c3 unit_or_scale_on_one_side"},
      {"Using 971 and 101, the range is $0.87 million.", kThousands, "$0.87 million",
       "supported | $0.87 million = 971 − 101 = 870, under the scale its table declares | dimension_mismatch derived "
       "derived_from:c2,c3 scale_from_header"},
      {"Using 900 and 100, the range is $0.8 million.", "(in thousands)\n| After-tax impact | 900 | 892 | 100 |",
       "$0.8 million",
       "unsupported | $0.8 million = 900 − 100 = 800, under the scale its table declares, but one significant digit "
       "does not confirm it | dimension_mismatch derived derived_from:c2,c3"},
      {"Using $971 and $101, the range is $870 million.", "(in millions)\n| After-tax impact | $971 | $892 | $101 |",
       "$870 million", "supported | $870 million = $971 − $101 = 870000000 | derived derived_from:c2,c3"},
      {"Using $971 and $101, the range is 880.", kImpact, "880",
       "contradicted | 880 is in no source and matches no sum, difference, ratio or change of $971, $101 | "
       "dimension_mismatch recomputation_mismatch"},
      {"Using 971 and 101, the range is 870 million.", kThousands, "870 million",
       "contradicted | 870 million not in sources; nearest 971000 in s0, 971 in thousands as its table declares "
       "(relative distance 0.999) |"},
      // A currency on one operand only gives the candidates of one
      // currency, unsupported; on both, or neither, supported.
      {"Using $1,664 and 315, the ratio of removal costs to other costs is 5.3.",
       "| Removal costs | $1,664 | $1,500 |\n| Other | 315 | 300 |", "5.3",
       "unsupported | 5.3 = $1,664 / 315 = 5.282539, rounded within_last_digit; a currency is stated for some of its "
       "operands only | derived derived_from:c2,c3 rounding:within_last_digit dimension_mismatch"},
      {"Using $40,678 and 2,526, the remainder is $38,152.", "| Total | $40,678 | $38,000 |\n| Fuel | 2,526 | 2,100 |",
       "$38,152",
       "unsupported | $38,152 = $40,678 − 2,526 = 38152; a currency is stated for some of its operands only | derived "
       "derived_from:c2,c3 dimension_mismatch"},
      {"Using 1,664 and 315, the ratio of removal costs to other costs is 5.3.",
       "| Removal costs | 1,664 | 1,500 |\n| Other | 315 | 300 |", "5.3",
       "supported | 5.3 = 1,664 / 315 = 5.282539, rounded within_last_digit | derived derived_from:c2,c3 "
       "rounding:within_last_digit"},
  };
  expect_summaries(cases);
  // A total of a cell the sources leave unconfirmed is supported as the
  // sources state the cell; it does not support that cell in turn.
  for (const auto& [answer, source, cell, total] : {
           std::tuple{"Other items were $3 million and $55 million, $58 million in all.",
                      "(in millions)\nRevenue | $5,000 | $4,800\nOther items | 3 | 55", "$3 million", "$58 million"},
           std::tuple{"Debt was $4 and $1,230, $1,234 in all.", "(dollars in millions)\n| Long-term debt | $4 | $1,230 |",
                      "$4", "$1,234"},
           std::tuple{"Revenue was $5 million and $55 million, $60 million in all.",
                      "(in thousands)\nRevenue | $5,000 | $55,000", "$5 million", "$60 million"}}) {
    const auto out = verify(make_context(answer, {source}));
    EXPECT_EQ(out.on(cell).result, EvidenceResult::Unsupported) << answer;
    EXPECT_EQ(out.on(total).result, EvidenceResult::Supported) << answer;
  }
  // No recomputation refutes a reproduced figure.
  const auto out = verify(make_context("Cost of sales was $5,860 million and $5,803 million, $11,663 million in all, "
                                       "and $9,120 million.",
                                       {kStatement}));
  EXPECT_EQ(out.on("$11,663 million").result, EvidenceResult::Unsupported);
}

// The verifier's own order (the graph sorts again, so only this test sees it).
TEST(NumericOrder, ClaimIdsCompareAsBytes) {
  const auto out = verify(make_context("10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20", {"10"}));
  ASSERT_EQ(out.evidence.size(), 11u);
  EXPECT_EQ(out.evidence[1].claim_id + " " + out.evidence[2].claim_id + " " + out.evidence[3].claim_id, "c1 c10 c2");
}

}  // namespace
}  // namespace qv::verifiers
