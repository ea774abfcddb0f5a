// Decimal reading and arithmetic on arbitrary text: two operands separated
// by a line feed. Every result must be a valid decimal that prints and reads
// back to itself, and comparisons must agree with each other.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "numeric/decimal.hpp"
#include "numeric/fraction.hpp"

namespace {

using qv::numeric::Decimal;

void require(bool ok) {
  if (!ok) std::abort();
}

void check_valid(const Decimal& x) {
  require(x.mantissa() <= Decimal::kMaxMantissa && x.scale() <= Decimal::kMaxScale);
  const auto back = Decimal::parse(x.to_string());
  require(back.has_value());
  require(back->mantissa() == x.mantissa() && back->scale() == x.scale());
  require(back->is_sign_negative() == (x.is_sign_negative() && !x.is_zero()));
  require(x == x.normalize() && x.abs().scale() == x.scale() && !x.abs().is_sign_negative());
  require(qv::numeric::decimal_to_fraction(x).has_value());
}

void check_result(const std::optional<Decimal>& r) {
  if (r) check_valid(*r);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\n');
  const auto a = Decimal::parse(input.substr(0, cut));
  if (!a) return 0;
  check_valid(*a);
  const unsigned places = size > 0 ? data[0] % 32 : 0;
  check_valid(a->round_dp(places));
  check_valid(a->round_dp(places, qv::numeric::MidpointRule::AwayFromZero));
  check_result(a->round_sf(places));
  if (cut == std::string_view::npos) return 0;
  const auto b = Decimal::parse(input.substr(cut + 1));
  if (!b) return 0;
  check_valid(*b);
  check_result(a->checked_add(*b));
  check_result(a->checked_sub(*b));
  check_result(a->checked_mul(*b));
  check_result(a->checked_div(*b));
  require((*a < *b) == (*b > *a) && (*a == *b) == (*b == *a) && ((*a <=> *b) == 0) == (*a == *b));
  const auto fa = qv::numeric::decimal_to_fraction(*a);
  const auto fb = qv::numeric::decimal_to_fraction(*b);
  // Exact values order the same way as the decimals.
  if (const auto diff = qv::numeric::fraction_sub(*fa, *fb)) {
    require((diff->numerator < 0) == (*a < *b) && (diff->numerator == 0) == (*a == *b));
  }
  return 0;
}
