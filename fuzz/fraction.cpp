// Fraction operations on arbitrary 128-bit parts: no overflow may go
// unnoticed, and every result must be canonical.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>

#include "numeric/fraction.hpp"

namespace {

using qv::numeric::Fraction;
using qv::numeric::i128;
using qv::numeric::u128;

void require(bool ok) {
  if (!ok) std::abort();
}

void check_canonical(const std::optional<Fraction>& f) {
  if (!f) return;
  require(f->denominator >= 1);
  u128 a = qv::numeric::magnitude(f->numerator), b = static_cast<u128>(f->denominator);
  while (b != 0) {
    const u128 t = a % b;
    a = b;
    b = t;
  }
  require(a == 1);
  require(!qv::numeric::fraction_text(*f).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  i128 v[6] = {};
  std::memcpy(v, data, std::min(size, sizeof v));
  const Fraction a{v[0], v[1]}, b{v[2], v[3]}, c{v[4], v[5]};
  check_canonical(qv::numeric::normalize_fraction(v[0], v[1]));
  check_canonical(qv::numeric::fraction_add(a, b));
  check_canonical(qv::numeric::fraction_sub(a, b));
  check_canonical(qv::numeric::fraction_mul(a, b));
  check_canonical(qv::numeric::fraction_div(a, b));
  check_canonical(qv::numeric::pow10_fraction(static_cast<std::int32_t>(v[4])));
  for (const auto rule : {qv::core::RoundingRule::HalfUp, qv::core::RoundingRule::HalfEven,
                          qv::core::RoundingRule::WithinLastDigit}) {
    (void)qv::numeric::rounds_to(a, b, c, rule);
  }
  (void)qv::numeric::fraction_text(a);
  return 0;
}
