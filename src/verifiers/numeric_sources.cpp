#include "verifiers/numeric_sources.hpp"

#include <algorithm>
#include <array>
#include <limits>

#include "verifiers/year.hpp"

namespace qv::verifiers {

using numeric::ComparisonCode;
using numeric::Decimal;
using numeric::Quantity;

namespace {

// The rank of a comparison in the search for the best figure: agreements by
// their code, then agreements only as written, then differences, then
// figures of another dimension.
constexpr int kOnlyAsWritten = 3;
constexpr int kDifference = 4;
int rank_of(const BestFigure& c) {
  if (c.agrees_only_as_written) return kOnlyAsWritten;
  const int code = static_cast<int>(c.comparison.code);
  return code < static_cast<int>(ComparisonCode::Different) ? code : code + 1;
}

}  // namespace

std::optional<BestFigure> best_figure_in_order(const Quantity& claim, const std::vector<SourceFigure>& figures,
                                               const records::MatchOptions& matching) {
  std::optional<BestFigure> best;
  for (std::size_t i = 0; i < figures.size(); ++i) {
    BestFigure c = compare_with_figure(claim, figures, i, matching);
    const int rank = rank_of(c);
    const int best_rank = best ? rank_of(*best) : 0;
    const bool better = !best || rank < best_rank ||
                        (rank == best_rank && rank == kOnlyAsWritten && c.as_written < best->as_written) ||
                        (rank == best_rank && rank == kDifference && c.comparison.distance < best->comparison.distance);
    if (better) best = std::move(c);
    if (best->comparison.code == ComparisonCode::Equal) break;
  }
  return best;
}

namespace {

constexpr std::size_t kNoFigure = std::numeric_limits<std::size_t>::max();

// Magnitudes from which a difference of two canonical values might not fit
// the decimal type (the comparison then passes the pair over): claims and
// figures of such a dimension are compared figure by figure.
const Decimal& wide_limit() {
  static const Decimal limit = *Decimal::parse("10000000000000000000000000");
  return limit;
}

// The relative distance as the comparison computes it.
std::optional<Decimal> relative_distance(const Decimal& x, const Decimal& y) {
  static const Decimal one = Decimal::from_int(1);
  const auto difference = x.checked_sub(y);
  if (!difference) return std::nullopt;
  return difference->abs().checked_div(x.abs().max(y.abs()).max(one));
}

std::size_t tree_min(const std::vector<std::size_t>& tree, std::size_t lo, std::size_t hi) {
  const std::size_t n = tree.size() / 2;
  std::size_t best = kNoFigure;
  for (lo += n, hi += n; lo < hi; lo >>= 1, hi >>= 1) {
    if (lo & 1) best = std::min(best, tree[lo++]);
    if (hi & 1) best = std::min(best, tree[--hi]);
  }
  return best;
}

// The first k in [lo, hi) for which `holds(k)` is true, where it is false
// up to some point and true from there on; hi when it never holds.
template <class Pred>
std::size_t first_where(std::size_t lo, std::size_t hi, Pred holds) {
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (holds(mid)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

bool is_dimensionless(const numeric::Dimension& d) { return d.kind == numeric::DimensionKind::Dimensionless; }

// 0 for a negative value, 1 for zero, 2 for a positive one.
std::size_t sign_of(const Decimal& v) { return v.is_zero() ? 1 : v.is_sign_negative() ? 0 : 2; }

// Whether a unit's canonical value can have another sign than its value (a
// temperature in °C or °F); without an offset both have the same sign.
bool has_offset(const numeric::UnitInfo& unit) { return !unit.offset.is_zero(); }

bool has_note(const Quantity& q, std::string_view note) {
  return std::find(q.notes.begin(), q.notes.end(), note) != q.notes.end();
}

// Whether a context phrase's scale applies to the figure.
bool context_scaled(const Quantity& q) { return q.scale_power != 0 && has_note(q, numeric::kScaleFromContext); }

// The exact value a claim must have for this figure to stand for it under a
// scale: its own exact value when a context scale applies to it, its exact
// value times the declared power when its source declares one and it has no
// scale of its own; none for a year or when the value cannot be formed.
std::optional<numeric::Fraction> declared_value(const SourceFigure& s) {
  const Quantity& q = s.quantity;
  if (q.scale_power != 0 && !context_scaled(q)) return std::nullopt;
  if (q.scale_power == 0 && !s.declared) return std::nullopt;
  if (is_year_like(q)) return std::nullopt;
  const auto value = numeric::quantity_exact_value(q);
  if (!value || q.scale_power != 0) return value;
  const auto power = numeric::pow10_fraction(static_cast<std::int32_t>(s.declaration.power));
  if (!power) return std::nullopt;
  return numeric::fraction_mul(*value, *power);
}

// The scale a source's declaration gives a figure without one of its own;
// 0 when no declaration applies.
std::uint32_t header_power(const SourceFigure& s) {
  return s.declared && s.quantity.scale_power == 0 ? s.declaration.power : 0;
}

// Ten to a scale's power; the largest scale word's is 18, and no larger
// power is formed.
std::optional<Decimal> ten_to(std::uint32_t power) {
  if (power > 18) return std::nullopt;
  std::int64_t factor = 1;
  for (std::uint32_t k = 0; k < power; ++k) factor *= 10;
  return Decimal::from_int(factor);
}

// Ten to the power a source's declaration gives the figure (1 when none
// applies).
Decimal header_factor(const SourceFigure& s) { return ten_to(header_power(s)).value_or(Decimal::from_int(1)); }

// A figure under a declared scale, read as written, and a claim with a
// scale word of its own: their digits agreeing says nothing of the amount.
bool only_as_written(const Quantity& claim, const SourceFigure& s) {
  return claim.scale_power != 0 && header_power(s) != 0;
}

// The values of a figure under the scale its table declares, each times
// the declared power of ten, a product beyond the decimal range left out;
// none for a figure a declaration does not apply to, or a year.
std::optional<std::vector<Decimal>> values_under_declared_scale(const SourceFigure& s) {
  if (header_power(s) == 0 || is_year_like(s.quantity)) return std::nullopt;
  const Decimal factor = header_factor(s);
  std::vector<Decimal> values;
  for (const Decimal& v : s.quantity.values) {
    if (const auto scaled = v.checked_mul(factor)) values.push_back(*scaled);
  }
  return values;
}

// The canonical value of a figure that stands for a value under a scale
// (one `declared_value` gives), as a decimal: its own when a context scale
// applies to it, times the power of ten its source declares when it has no
// scale of its own.
std::optional<Decimal> scaled_canonical_value(const SourceFigure& s) {
  const Quantity& q = s.quantity;
  if (q.values.empty()) return std::nullopt;
  const auto value = numeric::canonical_value(q.values.front(), q.unit);
  return value ? value->checked_mul(header_factor(s)) : std::nullopt;
}

// The claim's first value in its canonical unit, rounded to its significant
// digits; none without an exact value.
std::optional<Decimal> claim_at_precision(const Quantity& claim, const std::optional<numeric::Fraction>& claim_exact) {
  if (!claim_exact || claim.values.empty()) return std::nullopt;
  const auto value = numeric::canonical_value(claim.values.front(), claim.unit);
  return value ? value->round_sf(claim.significant_digits) : std::nullopt;
}

}  // namespace

BestFigure compare_with_figure(const Quantity& claim, const std::vector<SourceFigure>& figures, std::size_t index,
                               const records::MatchOptions& matching) {
  const SourceFigure& s = figures[index];
  BestFigure c{index, numeric::compare_quantities(claim, s.quantity, matching.declared_precision,
                                                  matching.percent_as_fraction)};
  if (!only_as_written(claim, s)) return c;
  if (c.comparison.code < ComparisonCode::Different) {
    c.as_written = c.comparison.code;
    c.comparison = {ComparisonCode::Different, 0,
                    numeric::smallest_relative_distance(claim, s.quantity, matching.percent_as_fraction)};
    c.agrees_only_as_written = true;
  } else if (c.comparison.code == ComparisonCode::Different) {
    if (const std::optional<Quantity> scaled = figure_under_declared_scale(s)) {
      c.comparison.distance = numeric::smallest_relative_distance(claim, *scaled, matching.percent_as_fraction);
      c.measured_under_scale = true;
    }
  }
  return c;
}

std::optional<Quantity> figure_under_declared_scale(const SourceFigure& s) {
  std::optional<std::vector<Decimal>> values = values_under_declared_scale(s);
  if (!values) return std::nullopt;
  Quantity q = s.quantity;
  q.values = std::move(*values);
  return q;
}

bool one_sided_unit_or_scale(const Quantity& claim, const SourceFigure& s) {
  const Quantity& figure = s.quantity;
  // The header says which scale the figure's digits are in: a claim that
  // states another one is not the same figure with its scale left out.
  const std::uint32_t header = header_power(s);
  if (header != 0 && claim.scale_power != 0 && claim.scale_power != header) return false;
  const bool one_zero = (claim.scale_power == 0) != (figure.scale_power == 0);
  const bool unit_case = claim.unit.dimension == figure.unit.dimension && one_zero;
  const bool dimension_case = is_dimensionless(claim.unit.dimension) != is_dimensionless(figure.unit.dimension) &&
                              (claim.scale_power == figure.scale_power || claim.scale_power == 0 ||
                               figure.scale_power == 0);
  if (!unit_case && !dimension_case) return false;
  for (const Decimal& a : claim.readings) {
    for (const Decimal& b : figure.readings) {
      if (a == b) return true;
    }
  }
  return false;
}

bool under_declared_scale(const Quantity& claim, const std::optional<numeric::Fraction>& claim_exact,
                          const SourceFigure& s) {
  const std::optional<numeric::Fraction> key = declared_value(s);
  return key && claim_exact && *key == *claim_exact &&
         (claim.unit.dimension == s.quantity.unit.dimension || is_dimensionless(s.quantity.unit.dimension));
}

bool at_precision_under_declared_scale(const Quantity& claim, const std::optional<numeric::Fraction>& claim_exact,
                                       const SourceFigure& s) {
  if (!(claim.unit.dimension == s.quantity.unit.dimension || is_dimensionless(s.quantity.unit.dimension))) {
    return false;
  }
  const std::optional<Decimal> value = declared_value(s) ? scaled_canonical_value(s) : std::nullopt;
  const std::optional<Decimal> target = claim_at_precision(claim, claim_exact);
  if (!value || !target) return false;
  const std::optional<Decimal> rounded = value->round_sf(claim.significant_digits);
  return rounded && *rounded == *target;
}

std::uint32_t table_scale_power(const SourceFigure& s) {
  if (context_scaled(s.quantity)) return s.quantity.scale_power;
  const std::uint32_t header = header_power(s);
  return header == 0 || is_year_like(s.quantity) ? 0 : header;
}

std::optional<Decimal> canonical_at_power(const Decimal& value, std::uint32_t power, const numeric::UnitInfo& unit) {
  const auto factor = ten_to(power);
  const auto scaled = factor ? value.checked_mul(*factor) : std::nullopt;
  return scaled ? numeric::canonical_value(*scaled, unit) : std::nullopt;
}

std::optional<EqualReadings> equal_under_declared_scale(const Quantity& claim, const SourceFigure& s) {
  const Quantity& figure = s.quantity;
  const std::uint32_t power = table_scale_power(s);
  if (power == 0) return std::nullopt;
  if (!(claim.unit.dimension == figure.unit.dimension || is_dimensionless(figure.unit.dimension))) return std::nullopt;
  for (std::size_t i = 0; i < claim.readings.size(); ++i) {
    const auto x = canonical_at_power(claim.readings[i], claim.scale_power, claim.unit);
    if (!x) continue;
    for (std::size_t j = 0; j < figure.readings.size(); ++j) {
      const auto y = canonical_at_power(figure.readings[j], power, figure.unit);
      if (y && *x == *y) return EqualReadings{i, j};
    }
  }
  return std::nullopt;
}

Quantity with_sign_turned(const Quantity& q) {
  Quantity turned = q;
  for (Decimal& r : turned.readings) r = -r;
  for (Decimal& v : turned.values) v = -v;
  return turned;
}

std::string figure_text(const SourceFigure& figure) {
  const std::string_view source = figure.source_text;
  const std::size_t start = figure.quantity.start, end = figure.quantity.end;
  const auto boundary = [&](std::size_t at) {
    return at == source.size() || (at < source.size() && (static_cast<unsigned char>(source[at]) & 0xC0) != 0x80);
  };
  if (start > end || end > source.size() || !boundary(start) || !boundary(end)) return {};
  return std::string(source.substr(start, end - start));
}

bool scaled_by_context(const Quantity& q) { return context_scaled(q); }

bool scale_from_source(const SourceFigure& s) { return table_scale_power(s) != 0; }

std::optional<std::size_t> first_one_sided_in_order(const Quantity& claim, const std::vector<SourceFigure>& figures,
                                                    bool source_scale_only) {
  for (std::size_t i = 0; i < figures.size(); ++i) {
    if (source_scale_only && !scale_from_source(figures[i])) continue;
    if (one_sided_unit_or_scale(claim, figures[i])) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> first_under_declared_scale_in_order(const Quantity& claim,
                                                               const std::optional<numeric::Fraction>& claim_exact,
                                                               const std::vector<SourceFigure>& figures) {
  for (std::size_t i = 0; i < figures.size(); ++i) {
    if (under_declared_scale(claim, claim_exact, figures[i])) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> first_at_precision_under_declared_scale_in_order(
    const Quantity& claim, const std::optional<numeric::Fraction>& claim_exact,
    const std::vector<SourceFigure>& figures) {
  for (std::size_t i = 0; i < figures.size(); ++i) {
    if (at_precision_under_declared_scale(claim, claim_exact, figures[i])) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> first_equal_under_declared_scale_in_order(const Quantity& claim,
                                                                     const std::vector<SourceFigure>& figures) {
  for (std::size_t i = 0; i < figures.size(); ++i) {
    if (equal_under_declared_scale(claim, figures[i])) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> first_lone_equal_under_scale_in_order(const Quantity& claim,
                                                                 const std::vector<LoneFigure>& lone) {
  for (std::size_t i = 0; i < lone.size(); ++i) {
    if (equal_under_declared_scale(claim, lone[i].figure)) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> first_lone_copied_in_order(const Quantity& claim, const std::vector<LoneFigure>& lone) {
  for (std::size_t i = 0; i < lone.size(); ++i) {
    if (copies_lone_digit(claim, lone[i].figure)) return i;
  }
  return std::nullopt;
}

bool matches_some_figure_in_order(const Quantity& claim, const std::vector<SourceFigure>& figures,
                                  const records::MatchOptions& matching, const std::vector<LoneFigure>& lone) {
  const auto best = best_figure_in_order(claim, figures, matching);
  const auto exact = numeric::quantity_exact_value(claim);
  return (best && best->comparison.code < ComparisonCode::Different && !best->agrees_only_as_written) ||
         (best && best->agrees_only_as_written && figures[best->index].declaration.with_exceptions) ||
         first_one_sided_in_order(claim, figures) || first_under_declared_scale_in_order(claim, exact, figures) ||
         first_at_precision_under_declared_scale_in_order(claim, exact, figures) ||
         first_equal_under_declared_scale_in_order(claim, figures) ||
         first_lone_equal_under_scale_in_order(claim, lone) || first_lone_copied_in_order(claim, lone);
}

namespace {

// Figures alike in unit, scale and declared scale pass the same tests: only
// the first of them is kept.
void keep_first(std::vector<SourceFigureIndex::FirstOfUnit>& list, const SourceFigureIndex::FirstOfUnit& first) {
  for (const auto& f : list) {
    if (f.dimension == first.dimension && f.scale_power == first.scale_power &&
        f.header_power == first.header_power && f.table_power == first.table_power) {
      return;
    }
  }
  list.push_back(first);
}

}  // namespace

std::optional<std::size_t> SourceFigureIndex::first_one_sided(const Quantity& claim, bool source_scale_only) const {
  std::optional<std::size_t> first;
  for (const Decimal& r : claim.readings) {
    const auto it = by_reading_.find(r);
    if (it == by_reading_.end()) continue;
    for (const FirstOfUnit& f : it->second) {
      if (first && *first <= f.figure) continue;
      if (source_scale_only && f.table_power == 0) continue;
      if (one_sided_unit_or_scale(claim, figures_[f.figure])) first = f.figure;
    }
  }
  return first;
}

std::optional<std::size_t> SourceFigureIndex::first_under_declared_scale(
    const Quantity& claim, const std::optional<numeric::Fraction>& claim_exact) const {
  if (!claim_exact) return std::nullopt;
  const auto it = by_declared_value_.find({claim_exact->numerator, claim_exact->denominator});
  if (it == by_declared_value_.end()) return std::nullopt;
  std::optional<std::size_t> first;
  for (const FirstOfUnit& f : it->second) {
    if (first && *first <= f.figure) continue;
    if (f.dimension == claim.unit.dimension || is_dimensionless(f.dimension)) first = f.figure;
  }
  return first;
}

std::optional<std::size_t> SourceFigureIndex::first_at_precision_under_declared_scale(
    const Quantity& claim, const std::optional<numeric::Fraction>& claim_exact) const {
  const std::optional<Decimal> target = claim_at_precision(claim, claim_exact);
  if (!target) return std::nullopt;
  const std::uint32_t digits = claim.significant_digits;
  const auto rounded = [digits](const Decimal& v) { return v.round_sf(digits); };
  std::size_t first = kNoFigure;
  const numeric::Dimension bare{};
  for (const Group* g : {group_of(scaled_groups_, claim.unit.dimension), group_of(scaled_groups_, bare)}) {
    if (g) first = std::min(first, first_with_key(*g, g->tree, *target, rounded));
  }
  if (first == kNoFigure) return std::nullopt;
  return first;
}

bool SourceFigureIndex::may_agree_with_sign_turned(const Quantity& claim) const {
  const auto turned_sign_held = [&](const Decimal& turned) { return signs_[sign_of(turned)]; };
  for (const Decimal& r : claim.readings) {
    if (!r.is_zero() && turned_sign_held(-r)) return true;
  }
  if (!has_offset(claim.unit)) return false;
  for (const Decimal& v : claim.values) {
    if (v.is_zero()) continue;
    const std::optional<Decimal> turned = numeric::canonical_value(-v, claim.unit);
    if (turned && turned_sign_held(*turned)) return true;
  }
  return false;
}

std::optional<std::size_t> SourceFigureIndex::first_equal_under_declared_scale(const Quantity& claim) const {
  const auto same = [](const Decimal& v) { return std::optional<Decimal>(v); };
  std::size_t first = kNoFigure;
  // In the claim's dimension and the dimensionless one, the figures whose
  // `tree_of` their group holds, by the group's values.
  const auto search = [&](const std::vector<Group>& groups, const auto& tree_of) {
    const Group* own = group_of(groups, claim.unit.dimension);
    const Group* dimensionless = is_dimensionless(claim.unit.dimension) ? nullptr : group_of(groups, {});
    if (!own && !dimensionless) return;
    for (const Decimal& v : claim.values) {
      const std::optional<Decimal> x = numeric::canonical_value(v, claim.unit);
      if (!x) continue;
      for (const Group* g : {own, dimensionless}) {
        if (g) first = std::min(first, first_with_key(*g, tree_of(*g), *x, same));
      }
    }
  };
  // The figures under a declaration by their values under it (no group
  // without a declaration), and those a context phrase scaled by their own.
  search(measured_groups_, [](const Group& g) -> const std::vector<std::size_t>& { return g.scaled_tree; });
  if (any_context_) {
    search(groups_, [this](const Group& g) -> const std::vector<std::size_t>& { return context_tree(g); });
  }
  if (first == kNoFigure) return std::nullopt;
  return first;
}

namespace {

// The group of a dimension, added at the end when there is none yet.
template <class Group>
Group& group_for(std::vector<Group>& groups, const numeric::Dimension& d, std::size_t figure) {
  const auto it = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.dimension == d; });
  if (it != groups.end()) return *it;
  groups.push_back(Group{d, figure, {}, {}, {}, {}, {}, std::nullopt, false});
  return groups.back();
}

// A tree of the smallest figure over ranges of the value order, of the
// figures `kept` lets in.
template <class Entry, class Keep>
std::vector<std::size_t> min_tree(const std::vector<Entry>& by_value, Keep kept) {
  const std::size_t n = by_value.size();
  std::vector<std::size_t> tree(2 * n, kNoFigure);
  for (std::size_t k = 0; k < n; ++k) tree[n + k] = kept(by_value[k].figure) ? by_value[k].figure : kNoFigure;
  for (std::size_t k = n; k-- > 1;) tree[k] = std::min(tree[2 * k], tree[2 * k + 1]);
  return tree;
}

// Adds figure `i`'s values, in the canonical unit, to its group; a figure
// none of whose values converts is the group's first without values. Notes
// the signs of the values of a unit with an offset in `signs` (those of
// other units are the signs of their readings).
template <class Group>
void add_values(Group& g, const std::vector<Decimal>& values, const numeric::UnitInfo& unit, std::size_t i,
                std::array<bool, 3>& signs) {
  bool any = false;
  for (const Decimal& v : values) {
    const auto c = numeric::canonical_value(v, unit);
    if (!c) continue;
    any = true;
    if (has_offset(unit)) signs[sign_of(*c)] = true;
    if (c->abs() >= wide_limit()) g.wide = true;
    g.by_value.push_back({*c, i});
  }
  if (!any && !g.first_without_values) g.first_without_values = i;
}

}  // namespace

const std::vector<std::size_t>& SourceFigureIndex::context_tree(const Group& g) const {
  if (context_trees_.empty()) {
    for (const Group& group : groups_) {
      context_trees_.push_back(
          min_tree(group.by_value, [&](std::size_t figure) { return context_scaled(figures_[figure].quantity); }));
    }
  }
  return context_trees_[static_cast<std::size_t>(&g - groups_.data())];
}

SourceFigureIndex::SourceFigureIndex(const std::vector<SourceFigure>& figures, const records::MatchOptions& matching,
                                     std::vector<LoneFigure> lone)
    : figures_(figures), matching_(matching), lone_(std::move(lone)) {
  // The lone digits' signs count as figures': their readings', and those of
  // their values in a unit with an offset, as written and under their
  // scale.
  for (const LoneFigure& d : lone_.digits()) {
    const Quantity& q = d.figure.quantity;
    for (const Decimal& r : q.readings) {
      signs_[sign_of(r)] = true;
      if (!has_offset(q.unit)) continue;
      for (const std::uint32_t power : {q.scale_power, table_scale_power(d.figure)}) {
        if (const auto v = canonical_at_power(r, power, q.unit)) signs_[sign_of(*v)] = true;
      }
    }
  }
  bool any_header = false;
  for (std::size_t i = 0; i < figures.size(); ++i) {
    const Quantity& q = figures[i].quantity;
    const FirstOfUnit first{q.unit.dimension, q.scale_power, header_power(figures[i]),
                            table_scale_power(figures[i]), i};
    for (const Decimal& r : q.readings) {
      keep_first(by_reading_[r], first);
      signs_[sign_of(r)] = true;
    }
    any_context_ = any_context_ || context_scaled(q);
    if (const auto key = declared_value(figures[i])) {
      keep_first(by_declared_value_[{key->numerator, key->denominator}], first);
      if (const auto value = scaled_canonical_value(figures[i])) {
        group_for(scaled_groups_, q.unit.dimension, i).by_value.push_back(Entry{*value, i});
      }
    }
    any_header = any_header || header_power(figures[i]) != 0;
    add_values(group_for(groups_, q.unit.dimension, i), q.values, q.unit, i, signs_);
  }
  // Figures under a declared scale as a claim with a scale word measures
  // them; only needed when there are some.
  std::vector<bool> under_scale(any_header ? figures.size() : 0);
  for (std::size_t i = 0; any_header && i < figures.size(); ++i) {
    const Quantity& q = figures[i].quantity;
    const std::optional<std::vector<Decimal>> scaled = values_under_declared_scale(figures[i]);
    under_scale[i] = scaled.has_value();
    add_values(group_for(measured_groups_, q.unit.dimension, i), scaled ? *scaled : q.values, q.unit, i, signs_);
  }
  const auto every = [](std::size_t) { return true; };
  for (std::vector<Group>* list : {&groups_, &scaled_groups_, &measured_groups_}) {
    for (Group& g : *list) {
      std::stable_sort(g.by_value.begin(), g.by_value.end(),
                       [](const Entry& a, const Entry& b) { return a.value < b.value; });
      g.tree = min_tree(g.by_value, every);
    }
  }
  // Without a figure under a declared scale the open trees would be the
  // same as the full ones, and are left empty.
  if (!any_header) return;
  for (Group& g : groups_) {
    g.open_tree = min_tree(g.by_value, [&](std::size_t figure) { return header_power(figures[figure]) == 0; });
    g.declared_tree = min_tree(g.by_value, [&](std::size_t figure) { return header_power(figures[figure]) != 0; });
  }
  for (Group& g : measured_groups_) {
    g.scaled_tree = min_tree(g.by_value, [&](std::size_t figure) { return under_scale[figure]; });
  }
}

const SourceFigureIndex::Group* SourceFigureIndex::group_of(const std::vector<Group>& groups,
                                                            const numeric::Dimension& d) {
  for (const Group& g : groups) {
    if (g.dimension == d) return &g;
  }
  return nullptr;
}

const SourceFigureIndex::Group* SourceFigureIndex::fraction_partner(const std::vector<Group>& groups,
                                                                    const numeric::Dimension& d) const {
  if (!matching_.percent_as_fraction) return nullptr;
  if (d.kind == numeric::DimensionKind::Percent) return group_of(groups, numeric::Dimension{});
  if (is_dimensionless(d)) return group_of(groups, numeric::Dimension{numeric::DimensionKind::Percent, {}});
  return nullptr;
}

template <class Key>
std::size_t SourceFigureIndex::first_with_key(const Group& g, const std::vector<std::size_t>& tree,
                                              const Decimal& target, Key key) const {
  const std::vector<Entry>& e = g.by_value;
  // Whether key(e[k]) is above the target (or, with `or_equal`, not below).
  const auto beyond = [&](std::size_t k, bool or_equal) {
    const std::optional<Decimal> v = key(e[k].value);
    if (!v) return !(e[k].value < Decimal());
    return or_equal ? !(*v < target) : target < *v;
  };
  const std::size_t lo = first_where(0, e.size(), [&](std::size_t k) { return beyond(k, true); });
  const std::size_t hi = first_where(lo, e.size(), [&](std::size_t k) { return beyond(k, false); });
  return tree_min(tree, lo, hi);
}

std::optional<SourceFigureIndex::Nearest> SourceFigureIndex::nearest(const Group& g, const Decimal& x) {
  const std::vector<Entry>& e = g.by_value;
  const auto position = [&](const Decimal& v, bool after_equal) {
    return static_cast<std::size_t>(
        (after_equal ? std::upper_bound(e.begin(), e.end(), v, [](const Decimal& a, const Entry& b) { return a < b.value; })
                     : std::lower_bound(e.begin(), e.end(), v, [](const Entry& a, const Decimal& b) { return a.value < b; })) -
        e.begin());
  };
  const auto distance_at = [&](std::size_t k) { return relative_distance(x, e[k].value); };
  const Decimal one = Decimal::from_int(1);
  const Decimal m = x.abs().max(one);
  const bool positive = !(x < Decimal());
  // The value order cut into three runs on each of which the distance is
  // monotone: rising with the position ("up") or falling ("down").
  const std::size_t at = position(x, false);
  struct Run {
    std::size_t from, to;
    bool up;
  };
  std::array<Run, 3> runs{};
  if (positive) {
    const std::size_t far = position(-m, false);  // values below −m
    runs = {Run{0, far, true}, Run{far, at, false}, Run{at, e.size(), true}};
  } else {
    const std::size_t far = position(m, true);  // values above m
    runs = {Run{0, at, false}, Run{at, far, true}, Run{far, e.size(), false}};
  }
  std::optional<Nearest> best;
  for (const Run& r : runs) {
    if (r.from >= r.to) continue;
    // The smallest distance sits at the run's low end when it rises, at its
    // high end when it falls; the positions at that same distance follow
    // it without a gap.
    const std::size_t edge = r.up ? r.from : r.to - 1;
    const auto d = distance_at(edge);
    if (!d) continue;
    const auto beyond = [&](std::size_t k) {
      const auto dk = distance_at(k);
      return !dk || *dk > *d;
    };
    std::size_t lo = r.from, hi = r.to;
    if (r.up) {
      hi = first_where(r.from, r.to, beyond);
    } else {
      lo = first_where(r.from, r.to, [&](std::size_t k) { return !beyond(k); });
    }
    const std::size_t figure = tree_min(g.tree, lo, hi);
    if (!best || *d < best->distance || (*d == best->distance && figure < best->figure)) best = Nearest{*d, figure};
  }
  return best;
}

std::optional<BestFigure> SourceFigureIndex::best(const Quantity& claim) const {
  if (figures_.empty()) return std::nullopt;
  const auto in_order = [&] { return best_figure_in_order(claim, figures_, matching_); };
  const auto compare_with = [&](std::size_t i) { return compare_with_figure(claim, figures_, i, matching_); };
  // The figures the claim can compare with: those of its unit, and with
  // `percent_as_fraction` those it meets as a fraction.
  const Group* g = group(claim.unit.dimension);
  const Group* partner = fraction_partner(groups_, claim.unit.dimension);
  std::array<const Group*, 2> comparable{g, partner};
  // No figure of the claim's unit: every figure is incomparable, and the
  // first one stays the best.
  if (!g && !partner) return compare_with(0);

  std::vector<Decimal> xs;
  for (const Decimal& v : claim.values) {
    if (const auto c = numeric::canonical_value(v, claim.unit)) xs.push_back(*c);
  }
  // A claim without comparable values is different from every comparable
  // figure at distance 1: the first of them stays the best.
  if (xs.empty()) return compare_with(std::min(g ? g->first : kNoFigure, partner ? partner->first : kNoFigure));

  // A claim with a scale word agrees only with figures outside a declared
  // scale; one that agrees with a figure under a declared scale as written
  // names it before any difference, and the others are measured under
  // their scale.
  const bool open_only = claim.scale_power != 0;
  const bool any_declared = !measured_groups_.empty();
  enum class Trees { All, Open, Declared };
  // The first figure agreeing with the claim, by code, among the figures of
  // each group's tree; none when no figure agrees.
  const auto first_agreeing = [&](Trees trees) -> std::size_t {
    const auto first_of = [&](const Group& group, auto target_of, auto key) {
      const std::vector<std::size_t>& tree = trees == Trees::Open       ? group.open_tree
                                             : trees == Trees::Declared ? group.declared_tree
                                                                        : group.tree;
      std::size_t first = kNoFigure;
      for (const Decimal& x : xs) {
        if (const std::optional<Decimal> target = target_of(x)) {
          first = std::min(first, first_with_key(group, tree, *target, key));
        }
      }
      return first;
    };
    const auto same = [](const Decimal& v) { return std::optional<Decimal>(v); };
    const auto times_100 = [](const Decimal& v) { return v.checked_mul(Decimal::from_int(100)); };
    // An equal figure: the first one in order among those holding a value
    // equal to one of the claim's.
    if (g) {
      if (const std::size_t equal = first_of(*g, same, same); equal != kNoFigure) return equal;
    }
    // Equal at the claim's written precision.
    if (g && matching_.declared_precision) {
      const std::uint32_t digits = claim.significant_digits;
      const auto rounded = [digits](const Decimal& v) { return v.round_sf(digits); };
      if (const std::size_t at = first_of(*g, rounded, rounded); at != kNoFigure) return at;
    }
    // Equal as a fraction: the bare side's value times 100 is the percentage.
    if (partner) {
      return claim.unit.dimension.kind == numeric::DimensionKind::Percent ? first_of(*partner, same, times_100)
                                                                          : first_of(*partner, times_100, same);
    }
    return kNoFigure;
  };
  if (const std::size_t at = first_agreeing(open_only && any_declared ? Trees::Open : Trees::All); at != kNoFigure) {
    return compare_with(at);
  }
  if (open_only && any_declared) {
    if (const std::size_t at = first_agreeing(Trees::Declared); at != kNoFigure) return compare_with(at);
    g = group_of(measured_groups_, claim.unit.dimension);
    partner = fraction_partner(measured_groups_, claim.unit.dimension);
    comparable = {g, partner};
  }

  // Differences only: the smallest relative distance over every pair of
  // values, the first figure on a tie; a figure without values stands at
  // distance 1. Values too large for every difference (or the product by
  // 100 of a fraction) to fit are compared figure by figure.
  const auto wide = [](const Decimal& x) { return x.abs() >= wide_limit(); };
  if (std::any_of(xs.begin(), xs.end(), wide)) return in_order();
  std::optional<Nearest> best;
  const auto keep = [&](const std::optional<Nearest>& n) {
    if (n && (!best || n->distance < best->distance || (n->distance == best->distance && n->figure < best->figure))) {
      best = n;
    }
  };
  for (const Group* c : comparable) {
    if (!c) continue;
    if (c->wide) return in_order();
    if (c->first_without_values) keep(Nearest{Decimal::from_int(1), *c->first_without_values});
    for (const Decimal& x : xs) keep(nearest(*c, x));
  }
  if (!best) return in_order();
  return compare_with(best->figure);
}

}  // namespace qv::verifiers
