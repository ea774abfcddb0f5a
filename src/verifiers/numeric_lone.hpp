#pragma once
// The lone digits of the sources that a scale reaches (a table cell "| 3 |"
// under "(in millions)"), looked up for the chances that never support a
// claim: equality under that scale, and the digits as written of a claim
// that copies the cell. A lone digit is no figure of its own: it takes part
// in no other comparison.
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "numeric/decimal.hpp"
#include "numeric/quantity.hpp"
#include "verifiers/declared_scale.hpp"

namespace qv::verifiers {

// Whether the claim copies a lone digit as the source writes it: no scale
// word of its own, the digit's unit or a unit on one side only, and a
// reading equal to the digit's.
bool copies_lone_digit(const numeric::Quantity& claim, const SourceFigure& digit);

class LoneDigitIndex {
 public:
  explicit LoneDigitIndex(std::vector<LoneFigure> digits);

  const std::vector<LoneFigure>& digits() const { return digits_; }
  // Whether lone digit `digit` stands before source figure `figure`, in the
  // order of the sources and of each source's text.
  bool before(std::size_t digit, std::size_t figure) const { return digits_[digit].figures_before <= figure; }

  // The first lone digit that the claim equals under the digit's scale
  // (`equal_under_declared_scale`).
  std::optional<std::size_t> first_equal_under_scale(const numeric::Quantity& claim) const;
  // The first that the claim copies (`copies_lone_digit`).
  std::optional<std::size_t> first_copied(const numeric::Quantity& claim) const;

 private:
  // The first lone digit of each dimension and scale under a key.
  struct First {
    numeric::Dimension dimension;
    std::uint32_t scale_power;
    std::uint32_t table_power;
    std::size_t digit;
  };
  // Keeps digit `i` (its quantity `q`, under `power`) unless one alike is
  // kept already.
  static void keep_first(std::vector<First>& list, const numeric::Quantity& q, std::uint32_t power, std::size_t i);
  // The first digit passing `test` among those kept under the key of one
  // of the claim's readings.
  using Key = std::function<std::optional<numeric::Decimal>(const numeric::Decimal&)>;
  using Test = std::function<bool(const numeric::Quantity&, const SourceFigure&)>;
  std::optional<std::size_t> first_under(const std::map<numeric::Decimal, std::vector<First>>& by,
                                         const numeric::Quantity& claim, const Key& key, const Test& test) const;

  std::vector<LoneFigure> digits_;
  // By reading as written, and by the value under the digit's scale in the
  // canonical unit.
  std::map<numeric::Decimal, std::vector<First>> by_reading_;
  std::map<numeric::Decimal, std::vector<First>> by_scaled_value_;
};

}  // namespace qv::verifiers
