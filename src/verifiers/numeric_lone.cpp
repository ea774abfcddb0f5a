#include "verifiers/numeric_lone.hpp"

#include <algorithm>
#include <utility>

#include "verifiers/numeric_sources.hpp"

namespace qv::verifiers {

using numeric::Decimal;
using numeric::Quantity;

void LoneDigitIndex::keep_first(std::vector<First>& list, const Quantity& q, std::uint32_t power, std::size_t i) {
  for (const First& f : list) {
    if (f.dimension == q.unit.dimension && f.scale_power == q.scale_power && f.table_power == power) return;
  }
  list.push_back({q.unit.dimension, q.scale_power, power, i});
}

LoneDigitIndex::LoneDigitIndex(std::vector<LoneFigure> digits) : digits_(std::move(digits)) {
  for (std::size_t i = 0; i < digits_.size(); ++i) {
    const Quantity& q = digits_[i].figure.quantity;
    const std::uint32_t power = table_scale_power(digits_[i].figure);
    for (const Decimal& r : q.readings) {
      keep_first(by_reading_[r], q, power, i);
      if (const auto v = canonical_at_power(r, power, q.unit)) keep_first(by_scaled_value_[*v], q, power, i);
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
  const auto value = [&](const Decimal& r) { return canonical_at_power(r, claim.scale_power, claim.unit); };
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
