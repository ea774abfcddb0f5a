#include "verifiers/numeric_lone.hpp"

#include <algorithm>
#include <utility>

#include "numeric/compare.hpp"
#include "verifiers/numeric_sources.hpp"

namespace qv::verifiers {

using numeric::Decimal;
using numeric::Quantity;

namespace {

// 0 for a negative value, 1 for zero, 2 for a positive one.
std::size_t sign_of(const Decimal& v) { return v.is_zero() ? 1 : v.is_sign_negative() ? 0 : 2; }

// Ten to a scale's power, for the powers a scale word or declaration names.
std::optional<Decimal> ten_to(std::uint32_t power) {
  if (power > 18) return std::nullopt;
  std::int64_t factor = 1;
  for (std::uint32_t k = 0; k < power; ++k) factor *= 10;
  return Decimal::from_int(factor);
}

// A value as written times ten to `power`, in the canonical unit of `unit`.
std::optional<Decimal> scaled_canonical(const Decimal& v, std::uint32_t power, const numeric::UnitInfo& unit) {
  const std::optional<Decimal> factor = ten_to(power);
  const std::optional<Decimal> scaled = factor ? v.checked_mul(*factor) : std::nullopt;
  return scaled ? numeric::canonical_value(*scaled, unit) : std::nullopt;
}

}  // namespace

void LoneDigitIndex::keep_first(std::vector<First>& list, const LoneFigure& d, std::size_t i) {
  const Quantity& q = d.figure.quantity;
  const std::uint32_t power = table_scale_power(d.figure);
  for (const First& f : list) {
    if (f.dimension == q.unit.dimension && f.scale_power == q.scale_power && f.table_power == power) return;
  }
  list.push_back({q.unit.dimension, q.scale_power, power, i});
}

LoneDigitIndex::LoneDigitIndex(std::vector<LoneFigure> digits) : digits_(std::move(digits)) {
  for (std::size_t i = 0; i < digits_.size(); ++i) {
    const Quantity& q = digits_[i].figure.quantity;
    const std::uint32_t power = table_scale_power(digits_[i].figure);
    const bool offset = !q.unit.offset.is_zero();
    for (const Decimal& r : q.readings) {
      signs_[sign_of(r)] = true;
      keep_first(by_reading_[r], digits_[i], i);
      if (const auto v = scaled_canonical(r, power, q.unit)) {
        keep_first(by_scaled_value_[*v], digits_[i], i);
        if (offset) signs_[sign_of(*v)] = true;
      }
      if (const auto v = offset ? scaled_canonical(r, q.scale_power, q.unit) : std::nullopt) signs_[sign_of(*v)] = true;
    }
  }
}

std::optional<std::size_t> LoneDigitIndex::first_under(const std::map<Decimal, std::vector<First>>& by,
                                                       const Quantity& claim, const Key& key, const Test& test) const {
  if (by.empty()) return std::nullopt;
  std::optional<std::size_t> first;
  for (const Decimal& r : claim.readings) {
    const auto k = key(r);
    const auto it = k ? by.find(*k) : by.end();
    if (it == by.end()) continue;
    for (const First& f : it->second) {
      if (first && *first <= f.digit) continue;
      if (test(claim, digits_[f.digit].figure)) first = f.digit;
    }
  }
  return first;
}

std::optional<std::size_t> LoneDigitIndex::first_equal_under_scale(const Quantity& claim) const {
  const auto value = [&](const Decimal& r) { return scaled_canonical(r, claim.scale_power, claim.unit); };
  return first_under(by_scaled_value_, claim, value, [](const Quantity& q, const SourceFigure& d) {
    return equal_under_declared_scale(q, d).has_value();
  });
}

bool copies_lone_digit(const Quantity& claim, const SourceFigure& digit) {
  const Quantity& d = digit.quantity;
  if (claim.scale_power != 0) return false;
  const bool bare = d.unit.dimension.kind == numeric::DimensionKind::Dimensionless;
  const bool claim_bare = claim.unit.dimension.kind == numeric::DimensionKind::Dimensionless;
  if (!(claim.unit.dimension == d.unit.dimension || bare != claim_bare)) return false;
  return std::any_of(claim.readings.begin(), claim.readings.end(), [&](const Decimal& r) {
    return std::find(d.readings.begin(), d.readings.end(), r) != d.readings.end();
  });
}

std::optional<std::size_t> LoneDigitIndex::first_copied(const Quantity& claim) const {
  if (claim.scale_power != 0) return std::nullopt;
  const auto reading = [](const Decimal& r) { return std::optional<Decimal>(r); };
  return first_under(by_reading_, claim, reading, copies_lone_digit);
}

}  // namespace qv::verifiers
