#pragma once
// The lone digits of the sources that a scale reaches (a table cell "| 3 |"
// under "(in millions)"), looked up for the chances that never support a
// claim: equality under that scale, and the digits as written of a claim
// that copies the cell. A lone digit is no figure of its own: it takes part
// in no other comparison.
#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "numeric/decimal.hpp"
#include "numeric/quantity.hpp"
#include "verifiers/declared_scale.hpp"

namespace qv::verifiers {

// Where a figure or a lone digit stands among all of them: the lone digit
// that comes after `figures_before` figures stands before the figure of
// that position.
struct FigureOrder {
  std::size_t figures_before = 0;
  bool lone = false;
  std::size_t position = 0;  // in its own list
  friend bool operator<(const FigureOrder& a, const FigureOrder& b) {
    const std::size_t ka = a.lone ? a.figures_before : a.position;
    const std::size_t kb = b.lone ? b.figures_before : b.position;
    if (ka != kb) return ka < kb;
    if (a.lone != b.lone) return a.lone;
    return a.position < b.position;
  }
};

// Whether the claim copies a lone digit as the source writes it: no scale
// word of its own, the digit's unit or a unit on one side only, and a
// reading equal to the digit's.
bool copies_lone_digit(const numeric::Quantity& claim, const SourceFigure& digit);

class LoneDigitIndex {
 public:
  explicit LoneDigitIndex(std::vector<LoneFigure> digits);

  const std::vector<LoneFigure>& digits() const { return digits_; }
  FigureOrder order(std::size_t i) const { return {digits_[i].figures_before, true, i}; }

  // The first lone digit that the claim equals under the digit's scale
  // (`equal_under_declared_scale`).
  std::optional<std::size_t> first_equal_under_scale(const numeric::Quantity& claim) const;
  // The first that the claim copies (`copies_lone_digit`).
  std::optional<std::size_t> first_copied(const numeric::Quantity& claim) const;

  // The signs (negative, zero, positive) of the digits' readings, and of
  // their values in the canonical unit where the unit has an offset.
  const std::array<bool, 3>& signs() const { return signs_; }

 private:
  // The first lone digit of each dimension and scale under a key.
  struct First {
    numeric::Dimension dimension;
    std::uint32_t scale_power;
    std::uint32_t table_power;
    std::size_t digit;
  };
  static void keep_first(std::vector<First>& list, const LoneFigure& d, std::size_t i);
  // The first digit passing `test` among those kept under the key of one
  // of the claim's readings.
  using Key = std::function<std::optional<numeric::Decimal>(const numeric::Decimal&)>;
  using Test = std::function<bool(const numeric::Quantity&, const SourceFigure&)>;
  std::optional<std::size_t> first_under(const std::map<numeric::Decimal, std::vector<First>>& by,
                                         const numeric::Quantity& claim, const Key& key, const Test& test) const;

  std::vector<LoneFigure> digits_;
  std::array<bool, 3> signs_{};
  // By reading as written, and by the value under the digit's scale in the
  // canonical unit.
  std::map<numeric::Decimal, std::vector<First>> by_reading_;
  std::map<numeric::Decimal, std::vector<First>> by_scaled_value_;
};

}  // namespace qv::verifiers
