#include "numeric/derived.hpp"

#include <bit>

namespace qv::numeric {
namespace {

const Dimension kDimensionless{DimensionKind::Dimensionless, {}};
const Dimension kPercent{DimensionKind::Percent, {}};

constexpr std::uint32_t kSmallestGroup = 3;
constexpr std::uint32_t kLargestGroup = 10;

constexpr std::string_view kMinus = " \u2212 ";
constexpr std::string_view kTimesHundred = " \u00D7 100";

}  // namespace

std::optional<DerivationOperand> make_derivation_operand(std::string_view claim_id, std::string_view claim_text,
                                                         const Quantity& figure) {
  return make_derivation_operand(claim_id, claim_text, figure, quantity_exact_value(figure));
}

std::optional<DerivationOperand> make_derivation_operand(std::string_view claim_id, std::string_view claim_text,
                                                         const Quantity& figure, const std::optional<Fraction>& value) {
  if (!value || figure.readings.empty()) return std::nullopt;
  const auto reading = decimal_to_fraction(figure.readings.front());
  if (!reading) return std::nullopt;
  return DerivationOperand{*value, *reading, figure.unit.dimension, std::string(claim_id), std::string(claim_text)};
}

DerivedFigures::DerivedFigures(std::span<const DerivationOperand> operands) : operands_(operands) {
  // Dimensions in order of first appearance, each with its operands.
  std::vector<Group> all;
  for (std::uint32_t i = 0; i < operands_.size(); ++i) {
    bool placed = false;
    for (Group& g : all) {
      if (operands_[g.members.front()].dimension == operands_[i].dimension) {
        g.members.push_back(i);
        placed = true;
        break;
      }
    }
    if (!placed) all.push_back(Group{{i}});
  }
  for (Group& g : all) {
    if (g.members.size() >= kSmallestGroup && g.members.size() <= kLargestGroup) groups_.push_back(std::move(g));
  }
}

std::size_t DerivedFigures::pair_figures(std::uint32_t a, std::uint32_t b, std::array<DerivedFigure, 8>& out) const {
  std::size_t count = 0;
  const auto push = [&](const std::optional<Fraction>& value, DerivedOp op) {
    if (value) out[count++] = DerivedFigure{*value, op, a, b, 0, 0};
  };
  const DerivationOperand& x = operands_[a];
  const DerivationOperand& y = operands_[b];
  const bool y_nonzero = y.value.numerator != 0;
  if (x.dimension.kind != DimensionKind::Dimensionless && y.dimension.kind == DimensionKind::Dimensionless) {
    if (y_nonzero) push(fraction_div(x.value, y.value), DerivedOp::Scaled);
    return count;
  }
  if (!(x.dimension == y.dimension)) return count;
  if (a < b) {
    const auto sum = fraction_add(x.value, y.value);
    push(sum, DerivedOp::Sum);
    if (sum) push(fraction_div(*sum, Fraction{2, 1}), DerivedOp::Mean);
  }
  const auto difference = fraction_sub(x.value, y.value);
  push(difference, DerivedOp::Difference);
  if (difference) push(fraction_abs(*difference), DerivedOp::AbsoluteDifference);
  if (!y_nonzero) return count;
  const auto ratio = fraction_div(x.value, y.value);
  push(ratio, DerivedOp::Ratio);
  if (ratio) push(fraction_mul(*ratio, Fraction{100, 1}), DerivedOp::Percentage);
  if (!difference) return count;
  const auto relative = fraction_div(*difference, y.value);
  const auto change = relative ? fraction_mul(*relative, Fraction{100, 1}) : std::nullopt;
  push(change, DerivedOp::Change);
  if (change) push(fraction_abs(*change), DerivedOp::AbsoluteChange);
  return count;
}

void DerivedFigures::fill_group_subset(std::uint32_t g, std::uint32_t mask) {
  const std::uint32_t m = static_cast<std::uint32_t>(std::popcount(mask));
  if (m < kSmallestGroup) return;
  const auto& members = groups_[g].members;
  std::optional<Fraction> sum = Fraction{0, 1};
  for (std::uint32_t k = 0; k < members.size(); ++k) {
    if (!(mask & (1u << k))) continue;
    sum = fraction_add(*sum, operands_[members[k]].value);
    if (!sum) return;
  }
  const auto mean = fraction_div(*sum, Fraction{static_cast<i128>(m), 1});
  buffer_[buffered_++] = DerivedFigure{*sum, DerivedOp::GroupSum, 0, 0, g, mask};
  if (mean) buffer_[buffered_++] = DerivedFigure{*mean, DerivedOp::GroupMean, 0, 0, g, mask};
}

std::optional<DerivedFigure> DerivedFigures::next() {
  const auto n = static_cast<std::uint32_t>(operands_.size());
  while (taken_ == buffered_) {
    taken_ = buffered_ = 0;
    if (a_ < n) {
      if (b_ == n) {
        ++a_;
        b_ = 0;
      } else if (b_ == a_) {
        ++b_;
      } else {
        buffered_ = pair_figures(a_, b_++, buffer_);
      }
      continue;
    }
    if (g_ < groups_.size()) {
      if (mask_ >> groups_[g_].members.size()) {
        ++g_;
        mask_ = 1;
      } else {
        fill_group_subset(g_, mask_++);
      }
      continue;
    }
    return std::nullopt;
  }
  return buffer_[taken_++];
}

void DerivedFigures::skip_pairs() {
  a_ = static_cast<std::uint32_t>(operands_.size());
  b_ = 0;
  taken_ = buffered_ = 0;
}

std::uint64_t DerivedFigures::order_key(const DerivedFigure& f) const {
  // Pairs by (a, b), then by operation, whose values follow the order in
  // which a pair gives them; then groups by (group, mask), sum before mean.
  const std::uint64_t n = operands_.size();
  constexpr std::uint64_t kOps = 16;
  if (f.op != DerivedOp::GroupSum && f.op != DerivedOp::GroupMean) {
    return (f.a * n + f.b) * kOps + static_cast<std::uint64_t>(f.op);
  }
  const std::uint64_t subset = (std::uint64_t{f.group} << kLargestGroup) + f.mask;
  return n * n * kOps + subset * 2 + (f.op == DerivedOp::GroupMean ? 1 : 0);
}

const Dimension& DerivedFigures::dimension(const DerivedFigure& f) const {
  if (f.op == DerivedOp::GroupSum || f.op == DerivedOp::GroupMean) {
    return operands_[groups_[f.group].members.front()].dimension;
  }
  switch (pair_unit(f.op)) {
    case PairUnit::Dimensionless:
      return kDimensionless;
    case PairUnit::Percent:
      return kPercent;
    case PairUnit::FirstOperand:
      break;
  }
  return operands_[f.a].dimension;
}

std::string DerivedFigures::joined_texts(const DerivedFigure& f) const {
  std::string out;
  bool first = true;
  const auto& members = groups_[f.group].members;
  for (std::uint32_t k = 0; k < members.size(); ++k) {
    if (!(f.mask & (1u << k))) continue;
    if (!first) out += " + ";
    out += operands_[members[k]].text;
    first = false;
  }
  return out;
}

std::string DerivedFigures::expression(const DerivedFigure& f) const {
  if (f.op == DerivedOp::GroupSum) return joined_texts(f);
  if (f.op == DerivedOp::GroupMean) {
    return "(" + joined_texts(f) + ") / " + std::to_string(std::popcount(f.mask));
  }
  const std::string& a = operands_[f.a].text;
  const std::string& b = operands_[f.b].text;
  std::string out;
  switch (f.op) {
    case DerivedOp::Scaled:
    case DerivedOp::Ratio:
      out.append(a).append(" / ").append(b);
      break;
    case DerivedOp::Sum:
      out.append(a).append(" + ").append(b);
      break;
    case DerivedOp::Mean:
      out.append("(").append(a).append(" + ").append(b).append(") / 2");
      break;
    case DerivedOp::Difference:
      out.append(a).append(kMinus).append(b);
      break;
    case DerivedOp::AbsoluteDifference:
      out.append("|").append(a).append(kMinus).append(b).append("|");
      break;
    case DerivedOp::Percentage:
      out.append(a).append(" / ").append(b).append(kTimesHundred);
      break;
    case DerivedOp::Change:
      out.append("(").append(a).append(kMinus).append(b).append(") / ").append(b).append(kTimesHundred);
      break;
    case DerivedOp::AbsoluteChange:
      out.append("|(").append(a).append(kMinus).append(b).append(") / ").append(b).append("|").append(kTimesHundred);
      break;
    default:
      break;
  }
  return out;
}

std::vector<std::uint32_t> DerivedFigures::operand_positions(const DerivedFigure& f) const {
  if (f.op != DerivedOp::GroupSum && f.op != DerivedOp::GroupMean) return {f.a, f.b};
  std::vector<std::uint32_t> positions;
  const auto& members = groups_[f.group].members;
  for (std::uint32_t k = 0; k < members.size(); ++k) {
    if (f.mask & (1u << k)) positions.push_back(members[k]);
  }
  return positions;
}

std::vector<std::string> DerivedFigures::operand_labels(const DerivedFigure& f) const {
  std::vector<std::string> labels;
  for (const std::uint32_t i : operand_positions(f)) labels.push_back(operands_[i].label);
  return labels;
}

DerivedCandidate DerivedFigures::candidate(const DerivedFigure& f) const {
  return DerivedCandidate{f.value, dimension(f), expression(f), operand_labels(f)};
}

std::vector<DerivedCandidate> find_derived_figure(std::span<const DerivationOperand> operands) {
  std::vector<DerivedCandidate> out;
  DerivedFigures figures(operands);
  while (const auto f = figures.next()) out.push_back(figures.candidate(*f));
  return out;
}

}  // namespace qv::numeric
