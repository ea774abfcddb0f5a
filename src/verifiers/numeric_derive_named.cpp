// Which operands the candidates of a unit are built on, for the
// recomputation pass. An operand is named when one pair it belongs to gives
// a candidate of the unit (or one group subset does): so instead of listing
// the candidates, each operand looks for one partner it can pair with. The
// partners that can pair at all are those whose arithmetic with it does not
// overflow, which bounds their numerators and denominators; the partner with
// the smallest denominator under those bounds is found by binary search and
// its pair is formed to confirm it.
#include <algorithm>
#include <limits>
#include <map>
#include <string>

#include "verifiers/numeric_derive.hpp"
#include "verifiers/numeric_derive_shared.hpp"

namespace qv::verifiers {

using numeric::u128;

namespace {

using derive_detail::DimensionIds;

constexpr u128 kTwoTo127 = u128{1} << 127;
constexpr u128 kUnbounded = std::numeric_limits<u128>::max();

// ⌊limit / v⌋, unbounded for v = 0.
u128 quotient(u128 limit, u128 v) { return v == 0 ? kUnbounded : limit / v; }

// Operands (of one dimension) sorted by the magnitude of their numerators,
// with, for each prefix of that order, the two smallest denominators at
// different positions: enough to find the partner with the smallest
// denominator among those under a numerator bound, other than one position.
class Partners {
 public:
  void add(const numeric::Fraction& v, std::uint32_t position) {
    entries_.push_back({numeric::magnitude(v.numerator), static_cast<u128>(v.denominator), position});
  }

  void build() {
    std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
      return a.numerator != b.numerator ? a.numerator < b.numerator : a.position < b.position;
    });
    firsts_.resize(entries_.size());
    seconds_.resize(entries_.size());
    std::size_t first = kNone, second = kNone;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (first == kNone || entries_[i].denominator < entries_[first].denominator) {
        second = first;
        first = i;
      } else if (second == kNone || entries_[i].denominator < entries_[second].denominator) {
        second = i;
      }
      firsts_[i] = first;
      seconds_[i] = second;
    }
  }

  // How many entries have a numerator magnitude of at most `bound`.
  std::size_t within(u128 bound) const {
    return static_cast<std::size_t>(
        std::upper_bound(entries_.begin(), entries_.end(), bound,
                         [](u128 v, const Entry& e) { return v < e.numerator; }) -
        entries_.begin());
  }

  // Among the first `count` entries, the one with the smallest denominator
  // whose position is not `except`; none when there is none.
  std::optional<std::size_t> smallest_denominator(std::size_t count, std::uint32_t except) const {
    if (count == 0) return std::nullopt;
    const std::size_t first = firsts_[count - 1];
    const std::size_t pick = entries_[first].position != except ? first : seconds_[count - 1];
    if (pick == kNone) return std::nullopt;
    return pick;
  }

  u128 denominator(std::size_t entry) const { return entries_[entry].denominator; }
  std::uint32_t position(std::size_t entry) const { return entries_[entry].position; }

 private:
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  struct Entry {
    u128 numerator;
    u128 denominator;
    std::uint32_t position;
  };
  std::vector<Entry> entries_;
  std::vector<std::size_t> firsts_;
  std::vector<std::size_t> seconds_;
};

// The search for a partner of each operand, per unit.
class PartnerSearch {
 public:
  PartnerSearch(std::span<const numeric::DerivationOperand> operands, DimensionIds& ids, DerivationWork& work)
      : operands_(operands), figures_(operands), ids_(ids), work_(work) {
    for (const auto& op : operands) dimension_.push_back(ids.id(op.dimension));
    all_.resize(ids.size());
    nonzero_.resize(ids.size());
    for (std::uint32_t i = 0; i < operands.size(); ++i) {
      all_[dimension_[i]].add(operands[i].value, i);
      if (operands[i].value.numerator != 0) nonzero_[dimension_[i]].add(operands[i].value, i);
    }
    for (auto& p : all_) p.build();
    for (auto& p : nonzero_) p.build();
  }

  numeric::DerivedFigures& figures() { return figures_; }

  // Whether some pair of operand i gives a candidate of `unit`, leaving out
  // the pairs with an operand labelled `excluded` (empty: none is).
  bool pairs_into(std::uint32_t i, std::uint32_t unit, std::string_view excluded) {
    const std::uint32_t dim = dimension_[i];
    const numeric::Fraction& v = operands_[i].value;
    const u128 n = numeric::magnitude(v.numerator), d = static_cast<u128>(v.denominator);
    const std::uint32_t bare = ids_.dimensionless();
    const bool ratio_unit = unit == bare || unit == ids_.percent();
    // Every candidate of a pair multiplies each numerator by the other's
    // denominator, one way or the other: |n|·d' and |n'|·d stay within 2^127.
    const u128 max_numerator = quotient(kTwoTo127, d), max_denominator = quotient(kTwoTo127, n);
    if (dim == unit || ratio_unit) {
      // A sum, mean or difference (same unit) also multiplies the
      // denominators; a ratio, share or change needs a non-zero divisor.
      const u128 sum_denominator = std::min(max_denominator, quotient(numeric::kI128Max, d));
      const bool additive_only = dim == unit && !ratio_unit;
      const Partners& pool = (dim != unit && n == 0) ? nonzero_[dim] : all_[dim];
      if (find(pool, max_numerator, additive_only ? sum_denominator : max_denominator, i, excluded,
               [&](std::uint32_t j) { return gives(i, j, unit) || gives(j, i, unit); })) {
        return true;
      }
    }
    if (unit == bare) return false;
    // A figure scaled by a pure number: i of the unit over a non-zero bare
    // operand, or a bare i dividing an operand of the unit.
    if (dim == unit) {
      return find(nonzero_[bare], max_numerator, max_denominator, i, excluded,
                  [&](std::uint32_t j) { return gives(i, j, unit); });
    }
    if (dim == bare && n != 0) {
      return find(all_[unit], max_numerator, max_denominator, i, excluded,
                  [&](std::uint32_t j) { return gives(j, i, unit); });
    }
    return false;
  }

 private:
  // Whether the pair (a, b) gives a candidate of `unit`.
  bool gives(std::uint32_t a, std::uint32_t b, std::uint32_t unit) {
    ++work_.pairs_formed;
    const std::size_t count = figures_.pair_figures(a, b, pair_);
    for (std::size_t k = 0; k < count; ++k) {
      if (ids_.of_pair(pair_[k], dimension_[a]) == unit) return true;
    }
    return false;
  }

  // A partner j ≠ i in `pool` under the bounds (and not labelled
  // `excluded`) for which `pairs` holds. The bounds are necessary, so when
  // the partner with the smallest denominator under them does not pair, the
  // others under them are tried in turn: that happens only at the edges of
  // the 128-bit range (a product of exactly 2^127, the minimum value, a
  // share or change beyond the range). With a label left out (a claim that
  // is also an operand, which only repeated claim ids give) they are tried
  // in turn from the start.
  template <class Pairs>
  bool find(const Partners& pool, u128 max_numerator, u128 max_denominator, std::uint32_t i,
            std::string_view excluded, Pairs pairs) {
    const std::size_t count = pool.within(max_numerator);
    if (excluded.empty()) {
      const auto best = pool.smallest_denominator(count, i);
      if (!best || pool.denominator(*best) > max_denominator) return false;
      if (pairs(pool.position(*best))) return true;
      ++work_.operands_with_every_partner;
    }
    for (std::size_t e = 0; e < count; ++e) {
      const std::uint32_t j = pool.position(e);
      if (j == i || pool.denominator(e) > max_denominator) continue;
      if (!excluded.empty() && operands_[j].label == excluded) continue;
      if (pairs(j)) return true;
    }
    return false;
  }

  std::span<const numeric::DerivationOperand> operands_;
  numeric::DerivedFigures figures_;
  DimensionIds& ids_;
  DerivationWork& work_;
  std::vector<std::uint32_t> dimension_;
  std::vector<Partners> all_;      // per dimension
  std::vector<Partners> nonzero_;  // per dimension, the operands other than zero
  std::array<numeric::DerivedFigure, 8> pair_{};
};

}  // namespace

std::vector<std::vector<bool>> operands_named_by_unit(std::span<const numeric::DerivationOperand> operands,
                                                      std::span<const DerivationTarget> targets,
                                                      DerivationWork* work) {
  std::vector<std::vector<bool>> named(targets.size());
  if (targets.empty() || operands.empty()) return named;
  DerivationWork counted;
  const std::vector<bool> self = derive_detail::claims_among_operands(operands, targets);
  DimensionIds ids;
  PartnerSearch search(operands, ids, work ? *work : counted);
  const std::size_t derivable = ids.size();
  // Operand positions used per unit, for the targets whose claim no operand
  // carries; the others (only with repeated claim ids) keep their own, and
  // leave out the operands and partners labelled with their claim.
  std::map<std::uint32_t, std::vector<bool>> by_unit;
  std::vector<std::vector<bool>> own(targets.size());
  std::vector<std::uint32_t> unit_of(targets.size());
  for (std::size_t t = 0; t < targets.size(); ++t) {
    unit_of[t] = ids.id(targets[t].dimension);
    if (unit_of[t] >= derivable) continue;
    const std::string_view excluded = self[t] ? std::string_view(targets[t].claim_id) : std::string_view();
    if (!self[t] && by_unit.contains(unit_of[t])) continue;
    std::vector<bool> used(operands.size(), false);
    for (std::uint32_t i = 0; i < operands.size(); ++i) {
      if (self[t] && operands[i].label == excluded) continue;
      used[i] = search.pairs_into(i, unit_of[t], excluded);
    }
    (self[t] ? own[t] : by_unit[unit_of[t]]) = std::move(used);
  }
  // Group subsets: at most 968 per dimension, listed. A group candidate
  // marks the first operand of each of its labels; the labels count below.
  std::map<std::string_view, std::uint32_t> position_of;
  for (std::uint32_t i = 0; i < operands.size(); ++i) position_of.emplace(operands[i].label, i);
  numeric::DerivedFigures& figures = search.figures();
  figures.skip_pairs();
  while (const auto f = figures.next()) {
    const std::uint32_t unit = *ids.find(figures.dimension(*f));
    const std::vector<std::string> labels = figures.operand_labels(*f);
    const auto mark = [&](std::vector<bool>& used) {
      for (const std::string& label : labels) used[position_of.at(label)] = true;
    };
    if (const auto it = by_unit.find(unit); it != by_unit.end()) mark(it->second);
    for (std::size_t t = 0; t < targets.size(); ++t) {
      if (!self[t] || own[t].empty() || unit_of[t] != unit) continue;
      if (std::find(labels.begin(), labels.end(), targets[t].claim_id) == labels.end()) mark(own[t]);
    }
  }
  for (std::size_t t = 0; t < targets.size(); ++t) {
    const std::vector<bool>* used = nullptr;
    if (self[t]) {
      used = &own[t];
    } else if (const auto it = by_unit.find(unit_of[t]); it != by_unit.end()) {
      used = &it->second;
    }
    if (!used || std::none_of(used->begin(), used->end(), [](bool b) { return b; })) continue;
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
