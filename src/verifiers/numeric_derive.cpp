#include "verifiers/numeric_derive.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <utility>

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
  if (rule != core::RoundingRule::WithinLastDigit || candidate.numerator == 0) return std::nullopt;
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
  if (rule == core::RoundingRule::WithinLastDigit && t.numerator != 0) {
    const Bound low{t, t.numerator > 0 ? 201u : 199u, 200};
    const Bound high{t, t.numerator > 0 ? 199u : 201u, 200};
    widen(low, high);
  }
  return w;
}

// A few entries keyed by dimension (there are at most a dozen kinds and six
// currencies), searched in place: no key is built per candidate.
template <class V>
class ByDimension {
 public:
  V& operator[](const numeric::Dimension& d) {
    if (V* v = find(d)) return *v;
    return entries_.emplace_back(d, V{}).second;
  }
  V* find(const numeric::Dimension& d) {
    for (auto& [key, value] : entries_) {
      if (key == d) return &value;
    }
    return nullptr;
  }
  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }

 private:
  std::vector<std::pair<numeric::Dimension, V>> entries_;
};

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

// Whether the target's claim id is the label of some operand: only then can
// a candidate be built on the claim itself.
std::vector<bool> claims_among_operands(std::span<const numeric::DerivationOperand> operands,
                                        std::span<const DerivationTarget> targets) {
  std::vector<std::string_view> labels;
  for (const auto& op : operands) labels.push_back(op.label);
  std::sort(labels.begin(), labels.end());
  std::vector<bool> out;
  for (const auto& t : targets) out.push_back(std::binary_search(labels.begin(), labels.end(), t.claim_id));
  return out;
}

// Whether some candidate could have this dimension: pairs and groups give
// their operands' dimensions, ratios are dimensionless, shares and changes
// percentages.
bool may_be_derived(const numeric::Dimension& d, std::span<const numeric::DerivationOperand> operands) {
  if (d.kind == numeric::DimensionKind::Dimensionless || d.kind == numeric::DimensionKind::Percent) return true;
  return std::any_of(operands.begin(), operands.end(), [&](const auto& op) { return op.dimension == d; });
}

bool built_on(const numeric::DerivedFigures& figures, const numeric::DerivedFigure& f, std::string_view claim_id) {
  const auto labels = figures.operand_labels(f);
  return std::find(labels.begin(), labels.end(), claim_id) != labels.end();
}

DerivedMatch match_of(const numeric::DerivedFigures& figures, const numeric::DerivedFigure& f, std::size_t position,
                      DerivedMatchKind kind) {
  return DerivedMatch{position, kind, f.value, figures.expression(f), figures.operand_labels(f)};
}

}  // namespace

std::vector<std::optional<DerivedMatch>> first_derived_matches(std::span<const numeric::DerivationOperand> operands,
                                                               std::span<const DerivationTarget> targets,
                                                               core::RoundingRule rule) {
  std::vector<std::optional<DerivedMatch>> found(targets.size());
  if (targets.empty() || operands.empty()) return found;
  const std::vector<bool> self = claims_among_operands(operands, targets);
  ByDimension<WindowSet> sets;
  std::size_t open = 0;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (!may_be_derived(targets[i].dimension, operands)) continue;
    sets[targets[i].dimension].add(i, window_of(targets[i], rule));
    ++open;
  }
  for (auto& [key, set] : sets) set.build();
  WindowSet* const dimensionless = sets.find(numeric::Dimension{});

  numeric::DerivedFigures figures(operands);
  std::vector<std::size_t> hits;
  for (std::size_t position = 0; open > 0; ++position) {
    const std::optional<numeric::DerivedFigure> f = figures.next();
    if (!f) break;
    const numeric::Dimension& dim = figures.dimension(*f);
    WindowSet* own = sets.find(dim);
    WindowSet* also = dim.kind == numeric::DimensionKind::Percent ? dimensionless : nullptr;
    for (WindowSet* set : {own, also}) {
      if (!set) continue;
      hits.clear();
      set->stab(f->value, hits);
      for (std::size_t item : hits) {
        const std::size_t t = set->target(item);
        if (self[t] && built_on(figures, *f, targets[t].claim_id)) continue;
        const auto kind = derived_value_match(f->value, targets[t], rule);
        if (!kind) continue;
        found[t] = match_of(figures, *f, position, *kind);
        set->remove(item);
        --open;
      }
    }
  }
  return found;
}

std::vector<std::optional<DerivedMatch>> first_derived_matches_in_order(
    std::span<const numeric::DerivationOperand> operands, std::span<const DerivationTarget> targets,
    core::RoundingRule rule) {
  numeric::DerivedFigures figures(operands);
  std::vector<numeric::DerivedFigure> all;
  while (const auto f = figures.next()) all.push_back(*f);
  std::vector<std::optional<DerivedMatch>> found(targets.size());
  for (std::size_t t = 0; t < targets.size(); ++t) {
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (built_on(figures, all[i], targets[t].claim_id)) continue;
      if (!derived_dimension_applies(figures.dimension(all[i]), targets[t].dimension)) continue;
      if (const auto kind = derived_value_match(all[i].value, targets[t], rule)) {
        found[t] = match_of(figures, all[i], i, *kind);
        break;
      }
    }
  }
  return found;
}

std::vector<std::vector<bool>> operands_named_by_unit(std::span<const numeric::DerivationOperand> operands,
                                                      std::span<const DerivationTarget> targets) {
  std::vector<std::vector<bool>> named(targets.size());
  if (targets.empty() || operands.empty()) return named;
  const std::vector<bool> self = claims_among_operands(operands, targets);
  std::map<std::string_view, std::size_t> position_of;
  for (std::size_t i = 0; i < operands.size(); ++i) position_of.emplace(operands[i].label, i);
  // Operand positions used per unit, for the targets whose claim no operand
  // carries; the others (only with repeated claim ids) keep their own.
  ByDimension<std::vector<bool>> by_unit;
  std::vector<std::size_t> own_targets;
  for (std::size_t t = 0; t < targets.size(); ++t) {
    if (!may_be_derived(targets[t].dimension, operands)) continue;
    if (self[t]) {
      own_targets.push_back(t);
    } else {
      by_unit[targets[t].dimension];
    }
  }
  if (own_targets.empty() && by_unit.begin() == by_unit.end()) return named;
  std::vector<std::vector<bool>> own(targets.size());
  numeric::DerivedFigures figures(operands);
  const auto mark = [&](std::vector<bool>& used, const numeric::DerivedFigure& f) {
    if (used.empty()) used.assign(operands.size(), false);
    if (f.op != numeric::DerivedOp::GroupSum && f.op != numeric::DerivedOp::GroupMean) {
      used[f.a] = used[f.b] = true;
      return;
    }
    for (const std::string& label : figures.operand_labels(f)) used[position_of.at(label)] = true;
  };
  while (const auto f = figures.next()) {
    const numeric::Dimension& dim = figures.dimension(*f);
    if (std::vector<bool>* used = by_unit.find(dim)) mark(*used, *f);
    for (std::size_t t : own_targets) {
      if (dim == targets[t].dimension && !built_on(figures, *f, targets[t].claim_id)) mark(own[t], *f);
    }
  }
  for (std::size_t t = 0; t < targets.size(); ++t) {
    const std::vector<bool>* used = self[t] ? &own[t] : by_unit.find(targets[t].dimension);
    if (!used || used->empty()) continue;
    // Every operand whose label is the label of a used one.
    std::vector<std::string_view> labels;
    for (std::size_t i = 0; i < operands.size(); ++i) {
      if ((*used)[i]) labels.push_back(operands[i].label);
    }
    std::sort(labels.begin(), labels.end());
    named[t].assign(operands.size(), false);
    for (std::size_t i = 0; i < operands.size(); ++i) {
      named[t][i] = std::binary_search(labels.begin(), labels.end(), operands[i].label);
    }
  }
  return named;
}

}  // namespace qv::verifiers
