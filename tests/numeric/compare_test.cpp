// Comparison codes, the printed relative distance, the canonical text, and
// pairs whose arithmetic does not fit the decimal type.
#include <gtest/gtest.h>

#include <string>

#include "numeric/compare.hpp"

namespace {

using qv::numeric::ComparisonCode;
using qv::numeric::compare_quantities;
using qv::numeric::Decimal;
using qv::numeric::extract_quantities;
using qv::numeric::locale_profile;
using qv::numeric::Quantity;
using qv::numeric::QuantityComparison;
using qv::numeric::render_rescaled_values;
using qv::numeric::unit_lookup;

Quantity figure(std::string_view text, std::string_view tag = "en") {
  const auto q = extract_quantities(text, locale_profile(tag).value(), true);
  EXPECT_EQ(q.size(), 1u) << text;
  return q.at(0);
}

// A figure with these values, as a bare number or in the unit of `word`.
Quantity made(std::initializer_list<const char*> values, std::string_view word = "", std::uint32_t digits = 1) {
  Quantity q;
  for (const char* v : values) {
    q.readings.push_back(Decimal::parse(v).value());
    q.values.push_back(q.readings.back());
  }
  if (!word.empty()) q.unit = unit_lookup(word).value();
  q.significant_digits = digits;
  return q;
}

std::string code(const QuantityComparison& c) {
  std::string out = std::to_string(static_cast<int>(c.code));
  if (c.code == ComparisonCode::EqualAtPrecision) out += ":" + std::to_string(c.significant_digits);
  if (c.code == ComparisonCode::Different) out += ":" + c.distance.to_string();
  return out;
}

std::string compare(const Quantity& a, const Quantity& b, bool precision = false, bool fraction = false) {
  return code(compare_quantities(a, b, precision, fraction));
}

TEST(Comparison, Codes) {
  // $4.5 million against 4,500,000 dollars, 4.2 million at two digits and 42%
  // against 0.42 with and without the fraction reading: the numeric verifier's tests.
  EXPECT_EQ(compare(figure("4.5 million EUR"), figure("4,500,000 USD")), "4");
  EXPECT_EQ(compare(figure("1.5 km"), figure("1500 m")), "0");
  EXPECT_EQ(compare(figure("20 °C"), figure("293.15 K")), "0");
  EXPECT_EQ(compare(figure("1.234", "und"), made({"1.234"})), "0");
  EXPECT_EQ(compare(figure("1.234", "und"), made({"1234"})), "0");
  const Quantity approx = figure("4.2 million");
  EXPECT_EQ(compare(approx, made({"4213000"})), "3:0.0030856871587942084025634939");
  EXPECT_EQ(compare(made({"0.42"}), figure("42%"), false, true), "2");
  EXPECT_EQ(compare(figure("42%"), figure("42%")), "0");
  EXPECT_EQ(compare(figure("42%"), figure("$42"), false, true), "4");
  // No values: different from everything, distance 1.
  EXPECT_EQ(compare(made({}), made({"1"})), "3:1");
  EXPECT_EQ(compare(made({"1"}), made({})), "3:1");
}

// The distance's written form follows the quotient's scale, which depends on
// which operand max keeps on a tie (the second).
TEST(Comparison, RelativeDistanceText) {
  EXPECT_EQ(compare(made({"105"}), made({"100"})), "3:0.0476190476190476190476190476");
  EXPECT_EQ(compare(made({"0.2"}), made({"0.1"})), "3:0.1");
  EXPECT_EQ(compare(made({"1.00"}), made({"0.50"})), "3:0.50");  // max(1.00, 1) keeps 1
  EXPECT_EQ(compare(made({"2.0"}), made({"-2"})), "3:2.0");      // max(2.0, 2) keeps 2
  EXPECT_EQ(compare(made({"10", "3"}), made({"4"})), "3:0.25");  // the smallest over all pairs
  // 5 ÷ 10 prints 0.50, 2.5 ÷ 5 prints 0.5: an equal later distance does not replace the first.
  EXPECT_EQ(compare(made({"5"}), made({"10", "2.5"})), "3:0.50");
}

// Pairs whose arithmetic leaves the decimal range are passed over instead of
// failing the call or comparing two missing values as equal.
TEST(Comparison, PairsBeyondTheDecimalRange) {
  const char* max = "79228162514264337593543950335";
  EXPECT_EQ(compare(made({max}), made({"-79228162514264337593543950335"})), "3:1");
  EXPECT_EQ(compare(made({max, "10"}), made({"-79228162514264337593543950335", "8"})), "3:0.20");
  // ×100 of the bare side overflows: no code 2, and no distance from that pair.
  EXPECT_EQ(compare(made({max}), made({"1"}, "%"), false, true), "3:1");
  // Both roundings to one significant digit overflow: not equal at precision.
  const auto c = compare_quantities(made({max}, "", 1), made({"79228162514264337593543950334"}), true, false);
  EXPECT_EQ(c.code, ComparisonCode::Different);
}

TEST(Comparison, CanonicalText) {
  EXPECT_EQ(render_rescaled_values(figure("$4.5 million")), "4500000 USD");
  EXPECT_EQ(render_rescaled_values(figure("12.50 kg")), "12.5 kg");
  EXPECT_EQ(render_rescaled_values(made({"7"})), "7");
  EXPECT_EQ(render_rescaled_values(figure("1.234", "und")), "1234 | 1.234");
  EXPECT_EQ(render_rescaled_values(figure("20 °C")), "293.15 K");
  EXPECT_EQ(render_rescaled_values(figure("-0.00 kg")), "0 kg");
  EXPECT_EQ(render_rescaled_values(made({})), "");
  // A value that does not convert is written as it is.
  EXPECT_EQ(render_rescaled_values(made({"79228162514264337593543950335"}, "km")),
            "79228162514264337593543950335 m");
}

}  // namespace
