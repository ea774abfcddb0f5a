#include "verifiers/numeric_derive.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

#include "verifiers/numeric_derive_shared.hpp"

namespace qv::verifiers {

using numeric::Fraction;
using numeric::i128;
using numeric::u128;

namespace {

// An unsigned integer of five 64-bit limbs, least significant first: room for
// a product of two 128-bit magnitudes and a factor below 2^32.
using Wide = std::array<std::uint64_t, 5>;

Wide wide_product(u128 a, u128 b, std::uint32_t k) {
  const std::uint64_t a0 = static_cast<std::uint64_t>(a), a1 = static_cast<std::uint64_t>(a >> 64);
  const std::uint64_t b0 = static_cast<std::uint64_t>(b), b1 = static_cast<std::uint64_t>(b >> 64);
  Wide w{};
  const auto add_at = [&w](std::size_t at, u128 v) {
    for (std::size_t i = at; i < w.size() && v != 0; ++i) {
      const u128 sum = static_cast<u128>(w[i]) + static_cast<std::uint64_t>(v);
      w[i] = static_cast<std::uint64_t>(sum);
      v = (v >> 64) + (sum >> 64);
    }
  };
  add_at(0, static_cast<u128>(a0) * b0);
  add_at(1, static_cast<u128>(a0) * b1);
  add_at(1, static_cast<u128>(a1) * b0);
  add_at(2, static_cast<u128>(a1) * b1);
  u128 carry = 0;
  for (std::uint64_t& limb : w) {
    const u128 p = static_cast<u128>(limb) * k + carry;
    limb = static_cast<std::uint64_t>(p);
    carry = p >> 64;
  }
  return w;
}

int compare_wide(const Wide& a, const Wide& b) {
  for (std::size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

int sign(i128 v) { return (v > 0) - (v < 0); }

}  // namespace

int compare_scaled(const Fraction& a, std::uint32_t ka, const Fraction& b, std::uint32_t kb) {
  const int sa = sign(a.numerator), sb = sign(b.numerator);
  if (sa != sb) return sa < sb ? -1 : 1;
  if (sa == 0) return 0;
  // Small parts, the common case: both products fit 128 bits.
  constexpr u128 kSmall = u128{1} << 56;
  const u128 an = numeric::magnitude(a.numerator), bn = numeric::magnitude(b.numerator);
  const u128 ad = static_cast<u128>(a.denominator), bd = static_cast<u128>(b.denominator);
  if (an < kSmall && bn < kSmall && ad < kSmall && bd < kSmall && ka < (1u << 16) && kb < (1u << 16)) {
    const u128 left = an * bd * ka, right = bn * ad * kb;
    const int c = left < right ? -1 : left > right ? 1 : 0;
    return sa > 0 ? c : -c;
  }
  const int c = compare_wide(wide_product(numeric::magnitude(a.numerator), static_cast<u128>(b.denominator), ka),
                             wide_product(numeric::magnitude(b.numerator), static_cast<u128>(a.denominator), kb));
  return sa > 0 ? c : -c;
}

std::optional<DerivedMatchKind> derived_value_match(const Fraction& candidate, const DerivationTarget& target,
                                                    core::RoundingRule rule) {
  if (candidate == target.value) return DerivedMatchKind::Exact;
  if (target.significant_digits < 2) return std::nullopt;
  if (target.step && numeric::rounds_to(candidate, target.value, *target.step, rule)) return DerivedMatchKind::Rounded;
  if (rule != core::RoundingRule::WithinLastDigit || candidate.numerator == 0 || target.by_chance) return std::nullopt;
  // |candidate − claim| × 200 ≤ |candidate|, on reduced fractions.
  const auto diff = numeric::fraction_sub(candidate, target.value);
  if (!diff) return std::nullopt;
  const auto gap = numeric::fraction_abs(*diff);
  if (!gap) return std::nullopt;
  const auto scaled = numeric::fraction_mul(*gap, Fraction{200, 1});
  const auto size = numeric::fraction_abs(candidate);
  if (!scaled || !size) return std::nullopt;
  const auto order = numeric::fraction_compare(*scaled, *size);
  if (!order || *order > 0) return std::nullopt;
  return DerivedMatchKind::Slip;
}

bool derived_dimension_applies(const numeric::Dimension& candidate, const numeric::Dimension& target) {
  if (candidate == target) return true;
  return candidate.kind == numeric::DimensionKind::Percent && target.kind == numeric::DimensionKind::Dimensionless;
}

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// The value f·kf/kv, kept unevaluated so that no bound overflows.
struct Bound {
  Fraction f;
  std::uint32_t kv = 1;
  std::uint32_t kf = 1;
};

// Sign of v − bound.
int compare_to(const Fraction& v, const Bound& b) { return compare_scaled(v, b.kv, b.f, b.kf); }

int compare_bounds(const Bound& a, const Bound& b) { return compare_scaled(a.f, a.kf * b.kv, b.f, b.kf * a.kv); }

// The closed interval that holds every value matching the target: the
// value itself, the rounding window and the slip window, each of which
// contains the value.
struct Window {
  Bound lo;
  Bound hi;
};

Window window_of(const DerivationTarget& target, core::RoundingRule rule) {
  const Fraction& t = target.value;
  Window w{Bound{t}, Bound{t}};
  const auto widen = [&w](const Bound& lo, const Bound& hi) {
    if (compare_bounds(lo, w.lo) < 0) w.lo = lo;
    if (compare_bounds(hi, w.hi) > 0) w.hi = hi;
  };
  if (target.significant_digits < 2) return w;
  if (target.step && target.step->denominator > 0 && target.step->denominator <= numeric::kI128Max / 2) {
    // The rounding window with its ends included, its bounds formed as the
    // rounding test forms them: half a step either side, a whole step under
    // within_last_digit; where they cannot be formed, the test never holds.
    const Fraction& step = *target.step;
    const auto half = numeric::normalize_fraction(step.numerator, step.denominator * 2);
    const Fraction* reach = !half ? nullptr : rule == core::RoundingRule::WithinLastDigit ? &step : &*half;
    const auto lo = reach ? numeric::fraction_sub(t, *reach) : std::nullopt;
    const auto hi = reach ? numeric::fraction_add(t, *reach) : std::nullopt;
    if (lo && hi) widen(Bound{*lo}, Bound{*hi});
  }
  if (rule == core::RoundingRule::WithinLastDigit && t.numerator != 0 && !target.by_chance) {
    const Bound low{t, t.numerator > 0 ? 201u : 199u, 200};
    const Bound high{t, t.numerator > 0 ? 199u : 201u, 200};
    widen(low, high);
  }
  return w;
}

// The open targets of one dimension: sorted by the low end of their
// windows, with a tree of the largest high end over ranges of that order, so
// that the windows holding a value are found in logarithmic time each.
class WindowSet {
 public:
  void add(std::size_t target, const Window& w) { items_.push_back({target, w}); }

  void build() {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const Item& a, const Item& b) { return compare_bounds(a.window.lo, b.window.lo) < 0; });
    size_ = 1;
    while (size_ < items_.size()) size_ *= 2;
    tree_.assign(2 * size_, kNone);
    for (std::size_t i = 0; i < items_.size(); ++i) tree_[size_ + i] = i;
    for (std::size_t i = size_; i-- > 1;) tree_[i] = higher(tree_[2 * i], tree_[2 * i + 1]);
  }

  // The targets whose windows hold v.
  void stab(const Fraction& v, std::vector<std::size_t>& hits) const {
    const std::size_t count = static_cast<std::size_t>(
        std::partition_point(items_.begin(), items_.end(),
                             [&](const Item& it) { return compare_to(v, it.window.lo) >= 0; }) -
        items_.begin());
    if (count == 0) return;
    // Depth-first over the tree, pruning nodes whose largest high end is
    // below v or whose range starts past the windows opening at or before v.
    // Each step pops one node and pushes at most two, so the stack stays
    // within twice the tree's height.
    struct Node {
      std::size_t node, from, to;
    };
    std::array<Node, 2 * 64 + 2> stack;
    std::size_t depth = 0;
    stack[depth++] = {1, 0, size_};
    while (depth > 0) {
      const Node n = stack[--depth];
      if (n.from >= count || tree_[n.node] == kNone || compare_to(v, items_[tree_[n.node]].window.hi) > 0) continue;
      if (n.node >= size_) {
        hits.push_back(n.node - size_);
        continue;
      }
      const std::size_t mid = (n.from + n.to) / 2;
      stack[depth++] = {2 * n.node + 1, mid, n.to};
      stack[depth++] = {2 * n.node, n.from, mid};
    }
  }

  std::size_t target(std::size_t item) const { return items_[item].target; }

  void remove(std::size_t item) {
    std::size_t i = size_ + item;
    tree_[i] = kNone;
    for (i >>= 1; i >= 1; i >>= 1) tree_[i] = higher(tree_[2 * i], tree_[2 * i + 1]);
  }

 private:
  struct Item {
    std::size_t target;
    Window window;
  };
  std::size_t higher(std::size_t a, std::size_t b) const {
    if (a == kNone) return b;
    if (b == kNone) return a;
    return compare_bounds(items_[b].window.hi, items_[a].window.hi) > 0 ? b : a;
  }

  std::vector<Item> items_;
  std::vector<std::size_t> tree_;
  std::size_t size_ = 1;
};

// A double near the fraction's value: within a few units of its last bit,
// and zero exactly when the fraction is.
double approximate(const Fraction& f) { return static_cast<double>(f.numerator) / static_cast<double>(f.denominator); }

// A range of doubles; an end may be infinite.
struct Range {
  double lo;
  double hi;
};

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The filters below work on doubles, a few units of their last bit off the
// exact values; every end they give is moved outwards by far more than that
// (a billionth of the magnitudes involved), so that a range holds every value
// it must and the exact test decides.
constexpr double kSlack = 1e-9;

double lower(double v, double scale = 0) { return std::isfinite(v) ? v - kSlack * (std::fabs(v) + scale) : v; }
double upper(double v, double scale = 0) { return std::isfinite(v) ? v + kSlack * (std::fabs(v) + scale) : v; }

Range approximate_window(const Window& w) {
  const auto value = [](const Bound& b) { return approximate(b.f) * b.kf / b.kv; };
  return {lower(value(w.lo)), upper(value(w.hi))};
}

// The windows of the open targets per dimension, as doubles, and their
// unions, formed again after a target has been settled.
class OpenWindows {
 public:
  OpenWindows(std::size_t dimensions, std::uint32_t dimensionless, std::size_t targets)
      : lists_(dimensions), unions_(2 * dimensions), closed_(targets, false), dimensionless_(dimensionless) {}

  void add(std::uint32_t dimension, std::size_t target, const Range& r) { lists_[dimension].push_back({r, target}); }

  void build() {
    for (auto& list : lists_) std::sort(list.begin(), list.end(), by_low_end);
  }

  void close(std::size_t target) {
    closed_[target] = true;
    ++version_;
  }

  // Disjoint ranges in increasing order covering the open windows of the
  // dimension and, when asked, of Dimensionless too.
  const std::vector<Range>& of(std::uint32_t dimension, bool with_dimensionless) {
    with_dimensionless = with_dimensionless && dimension != dimensionless_;
    Union& u = unions_[2 * dimension + (with_dimensionless ? 1 : 0)];
    if (u.version == version_) return u.ranges;
    u.version = version_;
    const auto open = [&](std::uint32_t d) -> const std::vector<Entry>& {
      std::erase_if(lists_[d], [&](const Entry& e) { return closed_[e.target]; });
      return lists_[d];
    };
    const std::vector<Entry>& own = open(dimension);
    const std::vector<Entry>& other = with_dimensionless ? open(dimensionless_) : none_;
    merged_.clear();
    std::merge(own.begin(), own.end(), other.begin(), other.end(), std::back_inserter(merged_), by_low_end);
    u.ranges.clear();
    for (const Entry& e : merged_) {
      if (!u.ranges.empty() && e.range.lo <= u.ranges.back().hi) {
        u.ranges.back().hi = std::max(u.ranges.back().hi, e.range.hi);
      } else {
        u.ranges.push_back(e.range);
      }
    }
    return u.ranges;
  }

 private:
  struct Entry {
    Range range;
    std::size_t target;
  };
  struct Union {
    std::uint64_t version = std::numeric_limits<std::uint64_t>::max();
    std::vector<Range> ranges;
  };
  static bool by_low_end(const Entry& a, const Entry& b) { return a.range.lo < b.range.lo; }

  std::vector<std::vector<Entry>> lists_;
  std::vector<Union> unions_;  // two per dimension: alone, and with Dimensionless
  std::vector<bool> closed_;
  std::uint32_t dimensionless_;
  std::uint64_t version_ = 0;
  std::vector<Entry> merged_;
  const std::vector<Entry> none_;
};

// The values of b for which x ÷ b lies in [rl, rh] (the ratio, and through
// it the scaled figure, the share and the change): one or two ranges, rays
// where the ratio range reaches zero. `zero`: x is exactly zero.
void quotient_ranges(double x, bool zero, double rl, double rh, std::vector<Range>& out) {
  rl = lower(rl);
  rh = upper(rh);
  if (rl > rh) return;
  if (zero) {
    if (rl <= 0 && rh >= 0) out.push_back({-kInfinity, kInfinity});
    return;
  }
  const auto between = [&](double r1, double r2) {
    const double e1 = x / r1, e2 = x / r2;
    out.push_back({lower(std::min(e1, e2)), upper(std::max(e1, e2))});
  };
  // The ratios above zero, then those below.
  if (rh > 0) {
    if (rl > 0) {
      between(rl, rh);
    } else {
      const double e = x / rh;
      out.push_back(x > 0 ? Range{lower(e), kInfinity} : Range{-kInfinity, upper(e)});
    }
  }
  if (rl < 0) {
    if (rh < 0) {
      between(rl, rh);
    } else {
      const double e = x / rl;
      out.push_back(x > 0 ? Range{-kInfinity, upper(e)} : Range{lower(e), kInfinity});
    }
  }
}

// Which pairs (a, b) can give a candidate in some open window. For each
// operation and window the values of b that put the candidate of a and b in
// the window form one or two ranges, looked up among the operands of b's
// dimension sorted by value. When there would be about as many ranges as
// operands, every operand is taken instead.
class PairFilter {
 public:
  PairFilter(std::span<const numeric::DerivationOperand> operands, derive_detail::DimensionIds& ids)
      : operands_(operands), dimensionless_(ids.dimensionless()), percent_(ids.percent()) {
    for (const auto& op : operands) dimension_.push_back(ids.id(op.dimension));
    by_dimension_.resize(ids.size());
    in_order_.resize(ids.size());
    for (std::uint32_t i = 0; i < operands.size(); ++i) {
      by_dimension_[dimension_[i]].push_back({approximate(operands[i].value), i});
      in_order_[dimension_[i]].push_back(i);
    }
    for (auto& list : by_dimension_) {
      std::sort(list.begin(), list.end(), [](const Partner& p, const Partner& q) { return p.value < q.value; });
    }
  }

  std::uint32_t dimension(std::uint32_t operand) const { return dimension_[operand]; }

  // The positions b ≠ a, in increasing order, whose pair with a may give a
  // candidate in an open window: never fewer than those that do. True when
  // every partner was taken.
  // `quotients`: the windows of the targets that ratios, shares, changes and
  // scaled figures may meet (all but those met only by sums).
  bool partners(std::uint32_t a, OpenWindows& windows, OpenWindows& quotients, std::vector<std::uint32_t>& out) {
    out.clear();
    const std::uint32_t dim = dimension_[a];
    const std::vector<Partner>& same = by_dimension_[dim];
    const std::vector<Partner>* scaled = dim != dimensionless_ ? &by_dimension_[dimensionless_] : nullptr;
    const std::vector<Range>& own = windows.of(dim, dim == percent_);
    const std::vector<Range>& ratios = quotients.of(dimensionless_, false);
    const std::vector<Range>& shares = quotients.of(percent_, true);
    const std::vector<Range>& scaled_own = quotients.of(dim, dim == percent_);
    // At most 5 ranges per window for the sum, mean and differences, 2 for
    // the ratio, 8 for the share and changes, 2 for a scaled figure.
    const std::size_t same_ranges = same.size() > 1 ? own.size() * 5 + ratios.size() * 2 + shares.size() * 8 : 0;
    const std::size_t scaled_ranges = scaled && !scaled->empty() ? scaled_own.size() * 2 : 0;
    if (same_ranges + scaled_ranges == 0) return false;
    // A pair formed costs about as much as fifty steps of a binary search.
    const std::size_t pool = same.size() + (scaled ? scaled->size() : 0);
    if ((same_ranges + scaled_ranges) * 2 * std::bit_width(pool) >= pool * 50) {
      const std::vector<std::uint32_t>& first = in_order_[dim];
      const std::vector<std::uint32_t>& second = scaled ? in_order_[dimensionless_] : no_positions_;
      std::merge(first.begin(), first.end(), second.begin(), second.end(), std::back_inserter(out));
      out.erase(std::find(out.begin(), out.end(), a));
      return true;
    }
    const double x = approximate_value(a);
    const bool zero = operands_[a].value.numerator == 0;
    ranges_.clear();
    if (same_ranges > 0) {
      for (const Range& w : own) {
        const double scale = std::fabs(x) + std::fabs(w.lo) + std::fabs(w.hi);
        ranges_.push_back({lower(w.lo - x, scale), upper(w.hi - x, scale)});                   // a + b
        ranges_.push_back({lower(2 * w.lo - x, 2 * scale), upper(2 * w.hi - x, 2 * scale)});   // (a + b) / 2
        ranges_.push_back({lower(x - w.hi, scale), upper(x - w.lo, scale)});                   // a − b
        if (w.hi >= 0) {                                                                       // |a − b|
          const double m = std::max(w.lo, 0.0);
          ranges_.push_back({lower(x - w.hi, scale), upper(x - m, scale)});
          ranges_.push_back({lower(x + m, scale), upper(x + w.hi, scale)});
        }
      }
      for (const Range& w : ratios) quotient_ranges(x, zero, w.lo, w.hi, ranges_);
      for (const Range& w : shares) {
        // a / b × 100, (a / b − 1) × 100 and its absolute value.
        quotient_ranges(x, zero, w.lo / 100, w.hi / 100, ranges_);
        const double scale = 1 + std::max(std::fabs(w.lo), std::fabs(w.hi)) / 100;
        quotient_ranges(x, zero, lower(1 + w.lo / 100, scale), upper(1 + w.hi / 100, scale), ranges_);
        if (w.hi >= 0) {
          const double m = std::max(w.lo, 0.0);
          quotient_ranges(x, zero, lower(1 + m / 100, scale), upper(1 + w.hi / 100, scale), ranges_);
          quotient_ranges(x, zero, lower(1 - w.hi / 100, scale), upper(1 - m / 100, scale), ranges_);
        }
      }
      for (const Range& r : ranges_) collect(same, r, out);
    }
    if (scaled_ranges > 0) {
      ranges_.clear();
      for (const Range& w : scaled_own) quotient_ranges(x, zero, w.lo, w.hi, ranges_);
      for (const Range& r : ranges_) collect(*scaled, r, out);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    if (const auto it = std::lower_bound(out.begin(), out.end(), a); it != out.end() && *it == a) out.erase(it);
    return false;
  }

 private:
  struct Partner {
    double value;
    std::uint32_t position;
  };

  double approximate_value(std::uint32_t a) const { return approximate(operands_[a].value); }

  static void collect(const std::vector<Partner>& list, const Range& r, std::vector<std::uint32_t>& out) {
    if (!(r.lo <= r.hi)) return;
    auto it = std::lower_bound(list.begin(), list.end(), r.lo, [](const Partner& p, double v) { return p.value < v; });
    for (; it != list.end() && it->value <= r.hi; ++it) out.push_back(it->position);
  }

  std::span<const numeric::DerivationOperand> operands_;
  std::uint32_t dimensionless_;
  std::uint32_t percent_;
  std::vector<std::uint32_t> dimension_;                // of each operand
  std::vector<std::vector<Partner>> by_dimension_;      // sorted by value
  std::vector<std::vector<std::uint32_t>> in_order_;    // by dimension, positions in list order
  std::vector<Range> ranges_;
  const std::vector<std::uint32_t> no_positions_;
};

}  // namespace

namespace derive_detail {

bool built_on(const numeric::DerivedFigures& figures, const numeric::DerivedFigure& f, std::string_view claim_id) {
  const auto labels = figures.operand_labels(f);
  return std::find(labels.begin(), labels.end(), claim_id) != labels.end();
}

DerivedMatch match_of(const numeric::DerivedFigures& figures, const numeric::DerivedFigure& f,
                      DerivedMatchKind kind) {
  return DerivedMatch{figures.order_key(f), kind, f.value, figures.expression(f), figures.operand_labels(f),
                      figures.operand_positions(f)};
}

std::vector<bool> claims_among_operands(std::span<const numeric::DerivationOperand> operands,
                                        std::span<const DerivationTarget> targets) {
  // The targets' claim ids sorted, each operand's label looked up among
  // them: the targets are mostly few.
  std::vector<std::pair<std::string_view, std::size_t>> ids;
  for (std::size_t t = 0; t < targets.size(); ++t) ids.emplace_back(targets[t].claim_id, t);
  std::sort(ids.begin(), ids.end());
  std::vector<bool> out(targets.size(), false);
  for (const auto& op : operands) {
    const std::string_view label = op.label;
    auto it = std::lower_bound(ids.begin(), ids.end(), label,
                               [](const auto& id, std::string_view l) { return id.first < l; });
    for (; it != ids.end() && it->first == label; ++it) out[it->second] = true;
  }
  return out;
}

}  // namespace derive_detail

std::vector<std::optional<DerivedMatch>> first_derived_matches(std::span<const numeric::DerivationOperand> operands,
                                                               std::span<const DerivationTarget> targets,
                                                               core::RoundingRule rule, DerivationWork* work,
                                                               const DerivedAccept& accept) {
  std::vector<std::optional<DerivedMatch>> found(targets.size());
  if (targets.empty() || operands.empty()) return found;
  DerivationWork counted;
  if (!work) work = &counted;
  const std::vector<bool> self = derive_detail::claims_among_operands(operands, targets);
  derive_detail::DimensionIds ids;
  PairFilter filter(operands, ids);
  // The operands' dimensions come first: a target of a later one has no
  // candidate (Dimensionless and Percent always come first).
  const std::size_t derivable = ids.size();
  std::vector<std::uint32_t> target_dimension(targets.size());
  for (std::size_t i = 0; i < targets.size(); ++i) target_dimension[i] = ids.id(targets[i].dimension);
  std::vector<WindowSet> sets(ids.size());
  OpenWindows windows(ids.size(), ids.dimensionless(), targets.size());
  // The windows ratios, shares, changes and scaled figures may reach: those
  // of every target unless some are met only by sums.
  const bool some_by_chance =
      std::any_of(targets.begin(), targets.end(), [](const DerivationTarget& t) { return t.by_chance; });
  std::optional<OpenWindows> quotient_windows;
  if (some_by_chance) quotient_windows.emplace(ids.size(), ids.dimensionless(), targets.size());
  OpenWindows& quotients = quotient_windows ? *quotient_windows : windows;
  std::size_t open = 0;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (target_dimension[i] >= derivable) continue;
    const Window w = window_of(targets[i], rule);
    sets[target_dimension[i]].add(i, w);
    windows.add(target_dimension[i], i, approximate_window(w));
    if (quotient_windows && !targets[i].by_chance) quotient_windows->add(target_dimension[i], i, approximate_window(w));
    ++open;
  }
  for (WindowSet& set : sets) set.build();
  windows.build();
  if (quotient_windows) quotient_windows->build();

  numeric::DerivedFigures figures(operands);
  std::vector<std::size_t> hits;
  // Each candidate is looked up among the windows of its unit, and a
  // percentage among the dimensionless ones too.
  const auto look_up = [&](const numeric::DerivedFigure& f, std::uint32_t dim) {
    WindowSet* also = dim == ids.percent() ? &sets[ids.dimensionless()] : nullptr;
    for (WindowSet* set : {&sets[dim], also}) {
      if (!set) continue;
      hits.clear();
      set->stab(f.value, hits);
      for (std::size_t item : hits) {
        const std::size_t t = set->target(item);
        if (self[t] && derive_detail::built_on(figures, f, targets[t].claim_id)) continue;
        if (targets[t].by_chance && !numeric::is_sum_or_difference(f.op)) continue;
        const auto kind = derived_value_match(f.value, targets[t], rule);
        if (!kind || (accept && !accept(figures, f, t))) continue;
        found[t] = derive_detail::match_of(figures, f, *kind);
        set->remove(item);
        windows.close(t);
        if (quotient_windows) quotient_windows->close(t);
        --open;
      }
    }
  };
  // The pairs in order, each a with only the partners the filter lets
  // through; then the groups.
  std::vector<std::uint32_t> partners;
  std::array<numeric::DerivedFigure, 8> pair;
  const auto n = static_cast<std::uint32_t>(operands.size());
  for (std::uint32_t a = 0; a < n && open > 0; ++a) {
    if (filter.partners(a, windows, quotients, partners)) ++work->operands_with_every_partner;
    for (std::uint32_t b : partners) {
      if (open == 0) break;
      ++work->pairs_formed;
      const std::size_t count = figures.pair_figures(a, b, pair);
      for (std::size_t k = 0; k < count && open > 0; ++k) look_up(pair[k], ids.of_pair(pair[k], filter.dimension(a)));
    }
  }
  figures.skip_pairs();
  while (open > 0) {
    const std::optional<numeric::DerivedFigure> f = figures.next();
    if (!f) break;
    look_up(*f, *ids.find(figures.dimension(*f)));
  }
  return found;
}

std::vector<std::optional<DerivedMatch>> first_derived_matches_in_order(
    std::span<const numeric::DerivationOperand> operands, std::span<const DerivationTarget> targets,
    core::RoundingRule rule, const DerivedAccept& accept) {
  numeric::DerivedFigures figures(operands);
  std::vector<numeric::DerivedFigure> all;
  while (const auto f = figures.next()) all.push_back(*f);
  std::vector<std::optional<DerivedMatch>> found(targets.size());
  for (std::size_t t = 0; t < targets.size(); ++t) {
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (!derived_dimension_applies(figures.dimension(all[i]), targets[t].dimension)) continue;
      if (derive_detail::built_on(figures, all[i], targets[t].claim_id)) continue;
      if (targets[t].by_chance && !numeric::is_sum_or_difference(all[i].op)) continue;
      if (accept && !accept(figures, all[i], t)) continue;
      if (const auto kind = derived_value_match(all[i].value, targets[t], rule)) {
        found[t] = derive_detail::match_of(figures, all[i], *kind);
        break;
      }
    }
  }
  return found;
}

}  // namespace qv::verifiers
