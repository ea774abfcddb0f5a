// The year test on quantities read by the numeric component.
#include "verifiers/year.hpp"

#include <gtest/gtest.h>

#include "numeric/locale.hpp"

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

}  // namespace
}  // namespace qv::verifiers
