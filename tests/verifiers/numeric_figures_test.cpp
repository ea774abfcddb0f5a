// The verifiers on the numeric component's figures: the year test, and the
// scope and intent verifiers over real quantities.
#include "verifiers/numeric_figures.hpp"

#include <gtest/gtest.h>

#include "numeric/locale.hpp"
#include "verifiers/intent.hpp"
#include "verifiers/scope.hpp"
#include "verifiers/year.hpp"

namespace qv::verifiers {
namespace {

bool year(std::string_view text, bool with_units = false) {
  const auto q = numeric::extract_quantities(text, numeric::locale_profile("en").value(), with_units);
  EXPECT_EQ(q.size(), 1u) << text;
  return !q.empty() && is_year_like(q.front());
}

TEST(YearLike, BareFourDigitYearsOnly) {
  for (const char* y : {"2019", "(2019)", "\u22122019", "\u20132019", "1900", "2100"}) EXPECT_TRUE(year(y)) << y;
  for (const char* n : {"2019.0", "2,019", "2200", "1899", "0000"}) EXPECT_FALSE(year(n)) << n;
  EXPECT_FALSE(year("2019 million", true));
  EXPECT_FALSE(year("2019 km", true));
}

VerificationContext context(std::string question, std::vector<std::string> claims,
                            std::vector<std::pair<std::string, std::string>> sources) {
  VerificationContext ctx;
  ctx.question = std::move(question);
  ctx.locale = "en";
  ctx.scope = {{"company", "ACME"}};
  for (std::size_t i = 0; i < claims.size(); ++i)
    ctx.claims.push_back({"c" + std::to_string(i), ClaimKind::Numeric, claims[i], {}, {}});
  for (std::size_t i = 0; i < sources.size(); ++i) {
    ctx.sources.push_back(
        {"src" + std::to_string(i + 1), sources[i].first, std::nullopt, {{"company", sources[i].second}}});
  }
  return ctx;
}

std::string results(const std::vector<Evidence>& found) {
  std::string out;
  for (const Evidence& e : found) out += e.claim_id + ":" + std::string(records::to_word(e.result)) + " ";
  return out;
}

TEST(NumericFigures, ScopeOverRealQuantities) {
  const ScopeVerifier scope(numeric_figures());
  // Grouped figures compare by value; a bare 12 is not
  // significant outside the scope, €12 and 12% are.
  const auto ctx = context("", {"4500000", "€12", "12", "12%", "2019"},
                           {{"sales of 4,500,000 in 2019", "ACME"}, {"€12 and 12% and 12", "Globex"}});
  EXPECT_EQ(results(scope.run(ctx).value()), "c0:supported c1:contradicted c3:contradicted ");
  EXPECT_EQ(scope.run(ctx).value().at(0).receipt.source_text, "4,500,000");
}

TEST(NumericFigures, IntentOverRealUnits) {
  const IntentVerifier intent(numeric_figures());
  auto one = [&](std::string question, std::string claim) {
    const auto found = intent.run(context(std::move(question), {std::move(claim)}, {})).value();
    return found.empty() ? std::string() : found[0].rationale;
  };
  EXPECT_EQ(one("What was revenue in euros?", "$450"),
            "the question asks for euros (EUR); the answer's figure $450 is in USD");
  EXPECT_EQ(one("What percentage of sales?", "$4.5 million"),
            "the question asks for a percentage; the answer's figure $4.5 million is an amount in USD");
  EXPECT_EQ(one("How far, in km?", "12 km"),
            "the question asks for the unit asked for; the answer's figure 12 km is a length");
}

}  // namespace
}  // namespace qv::verifiers
