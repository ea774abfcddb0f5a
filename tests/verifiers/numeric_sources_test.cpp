#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "numeric/locale.hpp"
#include "numeric/quantity.hpp"
#include "verifiers/numeric_sources.hpp"

namespace qv::verifiers {
namespace {

// Temperatures, whose sign in kelvin need not be the sign written.
std::string random_temperature(std::mt19937& rng) {
  static const std::vector<std::string> degrees = {"5",      "-5",     "268.15", "278.15", "-40",   "233.15",
                                                   "-273.15", "-300", "26.85",  "-13",    "248.15", "273.15", "0"};
  static const std::vector<std::string> scales = {" °C", " K", " °F"};
  return degrees[rng() % degrees.size()] + scales[rng() % scales.size()];
}

// Figures drawn from a small vocabulary, so that equal values, equal
// distances, zero, negatives, units and scales all come up often.
std::string random_figure(std::mt19937& rng, bool near_matches) {
  // Values that agree at some written precision or as a fraction.
  static const std::vector<std::string> near = {"4.2",  "4.213", "4,213,000", "0.042", "42", "12.4", "12.38", "0.124",
                                                "-4.2", "-4.25", "0.625",     "62.5",  "10", "12",   "0",     "1,000",
                                                // too large to round up or to be read as a percentage
                                                "79,228,162,514,264,337,593,543,950,335", "-990,000,000,000,000,000,000,000,000"};
  static const std::vector<std::string> near_units = {"", "", "%", "%", " million", " USD"};
  if (near_matches) return near[rng() % near.size()] + near_units[rng() % near_units.size()];
  static const std::vector<std::string> numbers = {"0",   "00",  "10",    "12",   "40",   "50",    "62.5", "100",
                                                   "1.5", "-30", "(20)",  "1,000", "60",  "0.10",  "99.99", "2.0",
                                                   "7.25", "-62.5", "1000", "0.5", "80", "79", "1e", "33.3333"};
  static const std::vector<std::string> units = {"", "", "", " USD", " kg", " g", "%", " million", " EUR", " k", " m",
                                                 " °C"};
  if (rng() % 8 == 0) return random_temperature(rng);
  return numbers[rng() % numbers.size()] + units[rng() % units.size()];
}

// Figures of tables that declare a scale and claims that state one of their
// own: the same digits as written, scaled and rounded.
std::string random_table_figure(std::mt19937& rng, bool claim) {
  static const std::vector<std::string> digits = {"4,213", "4.213", "4,200", "4.2", "42", "48,210", "48.21",
                                                  "48.2", "48", "0.5", "500", "4,213,000", "2024",
                                                  // a claim's value times 100, for percentages
                                                  "421,300", "50,000"};
  static const std::vector<std::string> figure_units = {"", "", "", "%", " million", " EUR"};
  static const std::vector<std::string> claim_units = {" thousand", " million", " billion", " k",       "",
                                                       "%",         " EUR",     " million%", " thousand%"};
  const std::vector<std::string>& units = claim ? claim_units : figure_units;
  return (rng() % 3 == 0 ? "$" : "") + digits[rng() % digits.size()] + units[rng() % units.size()];
}

// Lone digits of tables and claims that restate them: as written, under
// the scale, with the sign turned, and other figures of one digit.
std::string random_lone_figure(std::mt19937& rng, bool claim) {
  static const std::vector<std::string> cells = {"5", "(5)", "$(5)", "-5", "7", "0", "5.0", "$5", "48", "0.5"};
  static const std::vector<std::string> claims = {"5", "5.0", "-5", "0.005", "5,000", "5", "7", "0.5"};
  static const std::vector<std::string> claim_units = {" thousand", " million", " billion", "", "", " EUR"};
  if (!claim) return cells[rng() % cells.size()];
  return (rng() % 2 == 0 ? "$" : "") + claims[rng() % claims.size()] + claim_units[rng() % claim_units.size()];
}

struct Agreement {
  // Second chances found, and best figures that agree only as written.
  int requests = 0, one_sided = 0, declared = 0, at_precision = 0, only_as_written = 0, measured_under_scale = 0,
      equal_under_scale = 0, equal_under_context = 0, percent_with_scale = 0, turned_agreements = 0,
      turned_temperatures = 0, one_sided_under_source_scale = 0, lone_equal = 0, lone_copied = 0;
  std::array<int, 3> only_as_written_by_code{};  // how they agree as written
  std::array<int, 5> codes{};  // best figures by comparison code
};

// What the sources and claims are drawn from: figures of every kind, tables
// that declare a scale, or a few temperatures only (so that at times no
// figure has a reading of one sign while some value in kelvin has it).
enum class Draw { Figures, Tables, Temperatures, LoneDigits };

// Random requests of up to three sources and four claims, every lookup of
// the index compared with the in-order search under `matching`.
Agreement agree_on_random_requests(int count, const records::MatchOptions& matching, unsigned seed,
                                   Draw draw = Draw::Figures) {
  const bool tables = draw == Draw::Tables || draw == Draw::LoneDigits;
  std::mt19937 rng(seed);
  const bool near = matching.declared_precision || matching.percent_as_fraction;
  Agreement a;
  static const std::vector<std::string> plain_headers = {"", "", "(in thousands) ", "(€ in millions) ",
                                                         "in millions ", "amounts in thousand "};
  static const std::vector<std::string> table_headers = {"(in thousands) ",
                                                         "($ in thousands) ",
                                                         "($ in millions) ",
                                                         "(in billions) ",
                                                         "(in thousands, except per share)\n",
                                                         "(In millions, except per share data)\n",
                                                         "Amounts in millions, except per share\n",
                                                         ""};
  const std::vector<std::string>& headers = tables ? table_headers : plain_headers;
  const auto figure = [&](bool claim) {
    if (draw == Draw::Temperatures) return random_temperature(rng);
    if (draw == Draw::LoneDigits && rng() % 3 != 0) return random_lone_figure(rng, claim);
    return tables ? random_table_figure(rng, claim) : random_figure(rng, near);
  };
  for (; a.requests < count; ++a.requests) {
    const numeric::LocaleProfile profile = *numeric::locale_profile(a.requests % 2 ? "en" : "und");
    std::vector<records::Source> sources(1 + rng() % 3);
    for (auto& s : sources) {
      s.text = headers[rng() % headers.size()];
      const std::size_t n = draw == Draw::Temperatures ? rng() % 3 : rng() % 12;
      for (std::size_t k = 0; k < n; ++k) s.text += figure(false) + "; ";
    }
    std::vector<LoneFigure> lone;
    const auto figures = find_declared_scale(sources, profile, true, lone);
    EXPECT_EQ(figures.size(), find_declared_scale(sources, profile, true).size());
    const SourceFigureIndex index(figures, matching, lone);
    for (int c = 0; c < 4; ++c) {
      const auto claims = numeric::extract_quantities(figure(true), profile, true);
      if (claims.empty()) continue;
      const numeric::Quantity& claim = claims.front();
      const auto exact = numeric::quantity_exact_value(claim);
      EXPECT_EQ(index.first_one_sided(claim), first_one_sided_in_order(claim, figures));
      EXPECT_EQ(index.first_one_sided(claim, true), first_one_sided_in_order(claim, figures, true));
      EXPECT_EQ(index.lone().first_equal_under_scale(claim), first_lone_equal_under_scale_in_order(claim, lone));
      EXPECT_EQ(index.lone().first_copied(claim), first_lone_copied_in_order(claim, lone));
      a.one_sided_under_source_scale += index.first_one_sided(claim, true).has_value();
      a.lone_equal += index.lone().first_equal_under_scale(claim).has_value();
      a.lone_copied += index.lone().first_copied(claim).has_value();
      EXPECT_EQ(index.first_under_declared_scale(claim, exact), first_under_declared_scale_in_order(claim, exact, figures));
      EXPECT_EQ(index.first_at_precision_under_declared_scale(claim, exact),
                first_at_precision_under_declared_scale_in_order(claim, exact, figures));
      EXPECT_EQ(index.first_equal_under_declared_scale(claim), first_equal_under_declared_scale_in_order(claim, figures));
      const auto equal = index.first_equal_under_declared_scale(claim);
      a.equal_under_scale += equal.has_value();
      a.equal_under_context += equal && figures[*equal].quantity.scale_power != 0;
      a.percent_with_scale += claim.unit.dimension.kind == numeric::DimensionKind::Percent && claim.scale_power != 0;
      // The claim with its sign turned matches a figure in some way only
      // where the index says it may, or where the claim itself does (zero).
      const bool turned_matches = matches_some_figure_in_order(with_sign_turned(claim), figures, matching, lone);
      EXPECT_TRUE(!turned_matches || index.may_agree_with_sign_turned(claim) ||
                  matches_some_figure_in_order(claim, figures, matching, lone))
          << claim.text;
      a.turned_agreements += turned_matches;
      a.turned_temperatures += turned_matches && claim.unit.dimension.kind == numeric::DimensionKind::Temperature &&
                               !claim.readings.empty() && !claim.readings.front().is_zero();
      a.one_sided += index.first_one_sided(claim).has_value();
      a.declared += index.first_under_declared_scale(claim, exact).has_value();
      a.at_precision += index.first_at_precision_under_declared_scale(claim, exact).has_value();
      const auto got = index.best(claim);
      const auto want = best_figure_in_order(claim, figures, matching);
      EXPECT_EQ(got.has_value(), want.has_value());
      if (!got || !want) continue;
      const bool same = got->index == want->index && got->comparison.code == want->comparison.code &&
                        got->agrees_only_as_written == want->agrees_only_as_written &&
                        got->as_written == want->as_written &&
                        got->measured_under_scale == want->measured_under_scale &&
                        got->comparison.significant_digits == want->comparison.significant_digits &&
                        got->comparison.distance.to_string() == want->comparison.distance.to_string();
      EXPECT_TRUE(same) << "request " << a.requests << ": claim " << claim.text << " figure " << got->index << " vs "
                        << want->index << ", code " << static_cast<int>(got->comparison.code) << " vs "
                        << static_cast<int>(want->comparison.code) << ", distance " << got->comparison.distance.to_string()
                        << " vs " << want->comparison.distance.to_string();
      if (!same) return a;
      ++a.codes[static_cast<std::size_t>(got->comparison.code)];
      a.only_as_written += got->agrees_only_as_written;
      a.measured_under_scale += got->measured_under_scale;
      if (got->agrees_only_as_written) ++a.only_as_written_by_code.at(static_cast<std::size_t>(got->as_written));
    }
  }
  return a;
}

TEST(SourceIndex, LookupsAgreeWithTheInOrderSearches) {
  const Agreement a = agree_on_random_requests(3500, records::MatchOptions{}, 7);
  EXPECT_EQ(a.requests, 3500);
  EXPECT_GT(a.codes[0], 500);
  EXPECT_GT(a.codes[3], 1000);
  EXPECT_GT(a.codes[4], 100);
  EXPECT_GT(a.one_sided, 300);
  EXPECT_GT(a.declared, 100);
  EXPECT_GT(a.equal_under_scale, 50);
  EXPECT_GT(a.equal_under_context, 20);
  EXPECT_GT(a.turned_agreements, 300);
  EXPECT_GT(a.turned_temperatures, 20);
}

// With each matching option on, and both: the precision and fraction
// matches, and the nearest figure among percentages and bare numbers.
TEST(SourceIndex, LookupsAgreeWithTheInOrderSearchesUnderMatchingOptions) {
  for (const records::MatchOptions matching : {records::MatchOptions{true, false}, records::MatchOptions{false, true},
                                               records::MatchOptions{true, true}}) {
    const Agreement a = agree_on_random_requests(2000, matching, 11);
    EXPECT_EQ(a.requests, 2000);
    EXPECT_GT(a.codes[0], 300);
    EXPECT_GT(a.codes[3], 500);
    EXPECT_GT(a.codes[4], 50);
    EXPECT_GT(a.codes[1], matching.declared_precision ? 150 : -1);
    EXPECT_GT(a.codes[2], matching.percent_as_fraction ? 100 : -1);
  }
}

// Tables that declare a scale, under each option: the figures that agree
// with a claim stating its own scale only as written, and the match at the
// claim's precision under the declared scale.
TEST(SourceIndex, LookupsAgreeOnTablesThatDeclareAScale) {
  for (const records::MatchOptions matching : {records::MatchOptions{}, records::MatchOptions{true, false},
                                               records::MatchOptions{false, true}, records::MatchOptions{true, true}}) {
    const Agreement a = agree_on_random_requests(2500, matching, 13, Draw::Tables);
    EXPECT_EQ(a.requests, 2500);
    EXPECT_GT(a.codes[0], 500);
    EXPECT_GT(a.codes[1], matching.declared_precision ? 150 : -1);
    EXPECT_GT(a.codes[2], matching.percent_as_fraction ? 10 : -1);
    EXPECT_GT(a.codes[3], 3000);
    EXPECT_GT(a.declared, 400);
    EXPECT_GT(a.at_precision, 500);
    EXPECT_GT(a.only_as_written, 100);
    EXPECT_GT(a.measured_under_scale, 1000);
    EXPECT_GT(a.equal_under_scale, 300);
    EXPECT_GT(a.equal_under_context, 100);
    EXPECT_GT(a.percent_with_scale, 500);
    EXPECT_GT(a.only_as_written_by_code[1], matching.declared_precision ? 10 : -1);
    EXPECT_GT(a.only_as_written_by_code[2], matching.percent_as_fraction ? 10 : -1);
  }
}

// Tables of lone digits beside figures, under each option: the lookups of
// lone digits equal under their scale or copied as written, and of figures
// of one digit whose scale only the source states.
TEST(SourceIndex, LookupsAgreeOnLoneDigits) {
  for (const records::MatchOptions matching : {records::MatchOptions{}, records::MatchOptions{true, true}}) {
    const Agreement a = agree_on_random_requests(2500, matching, 19, Draw::LoneDigits);
    EXPECT_EQ(a.requests, 2500);
    EXPECT_GT(a.lone_equal, 500);
    EXPECT_GT(a.lone_copied, 500);
    EXPECT_GT(a.one_sided_under_source_scale, 200);
    EXPECT_GT(a.turned_agreements, 300);
  }
}

// A few temperatures against each other, under each option: the shortcut
// of the sign step where a reading's sign and its value's in kelvin differ.
TEST(SourceIndex, LookupsAgreeOnTemperatures) {
  for (const records::MatchOptions matching : {records::MatchOptions{}, records::MatchOptions{true, true}}) {
    const Agreement a = agree_on_random_requests(3000, matching, 17, Draw::Temperatures);
    EXPECT_EQ(a.requests, 3000);
    EXPECT_GT(a.codes[0], 300);
    EXPECT_GT(a.turned_temperatures, 300);
  }
}

// The ways a claim matches a figure or lone digit before derivation, as
// the in-order match joins them.
enum class Way {
  Agrees,
  OnlyAsWrittenWithExceptions,
  OneSided,
  UnderScale,
  AtPrecisionUnderScale,
  EqualUnderScale,
  LoneEqualUnderScale,
  LoneCopied
};

struct InOrderMatchCase {
  const char* claim;
  std::vector<std::string> sources;
  std::optional<Way> way;  // the only way that holds; none when no way does
  const char* locale = "en";
  records::MatchOptions matching = {};
};

// Each way of matching decides on its own: the in-order match holds
// through it, every other way failing, and fails where none holds.
TEST(SourceIndex, EachWayOfTheInOrderMatchDecidesOnItsOwn) {
  const InOrderMatchCase cases[] = {
      // The best figure agrees.
      {"$4.5 million", {"Revenue reached 4,500,000 dollars last year."}, Way::Agrees},
      // It agrees only as written, in a table that declares its scale with
      // exceptions.
      {"12 thousand", {"(in thousands, except employee data)\nRevenue | $48,210\nEmployees | 12,000"},
       Way::OnlyAsWrittenWithExceptions},
      // The same digits with a scale on one side only.
      {"4.2 million", {"Sales were 4.2 and 9.9"}, Way::OneSided},
      // Equal to a figure under its declared scale as exact values only: in
      // the canonical unit both are beyond the decimal range.
      {"100,000 trillion TB", {"(in thousands)\nStorage | 100,000,000,000,000 TB"}, Way::UnderScale},
      // Equal under the declared scale at the claim's precision.
      {"$48.2 million", {"(in thousands)\nRevenue | $48,210 | $45,390"}, Way::AtPrecisionUnderScale, "en",
       {true, false}},
      // Equal under the declared scale, but not as exact values (a unit with
      // an offset has none) ...
      {"0.125 million °C", {"(in thousands)\nTemp | 125 °C | 5 °C"}, Way::EqualUnderScale},
      // ... or only in another reading of the claim.
      {"$4,310 million", {"(in thousands)\nRevenue | $4,310"}, Way::EqualUnderScale, "und"},
      // A lone digit the claim equals under its scale, or copies.
      {"$3 million", {"(in millions)\nRevenue | $5,000\nOther items | 3"}, Way::LoneEqualUnderScale},
      {"$3", {"(in millions)\nRevenue | $5,000\nOther items | 3"}, Way::LoneCopied},
      // Matching only with its sign turned is no match.
      {"1.234 million", {"(in thousands)\nNet loss | (1,234) | (987)"}, std::nullopt},
      {"$7 million", {"(in millions)\nRevenue | $5,000\nOther items | (7)"}, std::nullopt},
  };
  int compared = 0;
  for (const InOrderMatchCase& c : cases) {
    const numeric::LocaleProfile profile = *numeric::locale_profile(c.locale);
    std::vector<records::Source> sources;
    for (const std::string& text : c.sources) {
      sources.push_back({"s" + std::to_string(sources.size()), text, std::nullopt, {}});
    }
    std::vector<LoneFigure> lone;
    const auto figures = find_declared_scale(sources, profile, true, lone);
    const auto claims = numeric::extract_quantities(c.claim, profile, true);
    ASSERT_FALSE(claims.empty()) << c.claim;
    const numeric::Quantity& claim = claims.front();
    const auto exact = numeric::quantity_exact_value(claim);
    const auto best = best_figure_in_order(claim, figures, c.matching);
    const std::array<bool, 8> holds = {
        best && best->comparison.code < numeric::ComparisonCode::Different,
        best && best->agrees_only_as_written && figures[best->index].declaration.with_exceptions,
        first_one_sided_in_order(claim, figures).has_value(),
        first_under_declared_scale_in_order(claim, exact, figures).has_value(),
        first_at_precision_under_declared_scale_in_order(claim, exact, figures).has_value(),
        first_equal_under_declared_scale_in_order(claim, figures).has_value(),
        first_lone_equal_under_scale_in_order(claim, lone).has_value(),
        first_lone_copied_in_order(claim, lone).has_value(),
    };
    std::array<bool, 8> expected{};
    if (c.way) expected[static_cast<std::size_t>(*c.way)] = true;
    EXPECT_EQ(holds, expected) << c.claim;
    EXPECT_EQ(matches_some_figure_in_order(claim, figures, c.matching, lone), c.way.has_value()) << c.claim;
    ++compared;
  }
  EXPECT_EQ(compared, 11);
}

}  // namespace
}  // namespace qv::verifiers
