#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "numeric/locale.hpp"
#include "numeric/quantity.hpp"
#include "verifiers/numeric_sources.hpp"

namespace qv::verifiers {
namespace {

// Figures drawn from a small vocabulary, so that equal values, equal
// distances, zero, negatives, units and scales all come up often.
std::string random_figure(std::mt19937& rng) {
  static const std::vector<std::string> numbers = {"0",   "00",  "10",    "12",   "40",   "50",    "62.5", "100",
                                                   "1.5", "-30", "(20)",  "1,000", "60",  "0.10",  "99.99", "2.0",
                                                   "7.25", "-62.5", "1000", "0.5", "80", "79", "1e", "33.3333"};
  static const std::vector<std::string> units = {"", "", "", " USD", " kg", " g", "%", " million", " EUR", " k", " m",
                                                 " °C"};
  return numbers[rng() % numbers.size()] + units[rng() % units.size()];
}

TEST(SourceIndex, LookupsAgreeWithTheInOrderSearches) {
  std::mt19937 rng(7);
  int requests = 0, equal = 0, different = 0, incomparable = 0, one_sided = 0, declared = 0;
  for (; requests < 3000; ++requests) {
    const numeric::LocaleProfile profile = *numeric::locale_profile(requests % 2 ? "en" : "und");
    std::vector<records::Source> sources(1 + rng() % 3);
    static const std::vector<std::string> headers = {"", "", "(in thousands) ", "(€ in millions) ", "in millions ",
                                                     "amounts in thousand "};
    for (auto& s : sources) {
      s.text = headers[rng() % headers.size()];
      const std::size_t n = rng() % 12;
      for (std::size_t k = 0; k < n; ++k) s.text += random_figure(rng) + "; ";
    }
    const auto figures = find_declared_scale(sources, profile, true);
    const SourceFigureIndex index(figures, records::MatchOptions{});
    for (int c = 0; c < 4; ++c) {
      const auto claims = numeric::extract_quantities(random_figure(rng), profile, true);
      if (claims.empty()) continue;
      const numeric::Quantity& claim = claims.front();
      const auto exact = numeric::quantity_exact_value(claim);
      ASSERT_EQ(index.first_one_sided(claim), first_one_sided_in_order(claim, figures));
      ASSERT_EQ(index.first_under_declared_scale(claim, exact), first_under_declared_scale_in_order(claim, exact, figures));
      one_sided += index.first_one_sided(claim).has_value();
      declared += index.first_under_declared_scale(claim, exact).has_value();
      const auto a = index.best(claims.front());
      const auto b = best_figure_in_order(claims.front(), figures, records::MatchOptions{});
      ASSERT_EQ(a.has_value(), b.has_value());
      if (!a) continue;
      ASSERT_EQ(a->index, b->index) << "request " << requests;
      ASSERT_EQ(a->comparison.code, b->comparison.code);
      ASSERT_EQ(a->comparison.distance.to_string(), b->comparison.distance.to_string());
      equal += a->comparison.code == numeric::ComparisonCode::Equal;
      different += a->comparison.code == numeric::ComparisonCode::Different;
      incomparable += a->comparison.code == numeric::ComparisonCode::NotComparable;
    }
  }
  EXPECT_EQ(requests, 3000);
  EXPECT_GT(equal, 500);
  EXPECT_GT(different, 1000);
  EXPECT_GT(incomparable, 100);
  EXPECT_GT(one_sided, 300);
  EXPECT_GT(declared, 100);
}

}  // namespace
}  // namespace qv::verifiers
