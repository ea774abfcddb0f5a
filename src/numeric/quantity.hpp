#pragma once
// Quantities of a text: each numeral with the scale word after it, its unit
// or currency, and, for numerals without a scale word of their own, the
// scale that an earlier phrase ("amounts in millions") declares.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/decimal.hpp"
#include "numeric/fraction.hpp"
#include "numeric/locale.hpp"
#include "numeric/units.hpp"

namespace qv::numeric {

inline constexpr std::string_view kScaleFromContext = "scale_from_context";
inline constexpr std::string_view kScaleOverflow = "scale_overflow";

// Phrases that declare a scale for the figures after them, when a scale
// word follows at once. Each space also matches U+202F.
inline constexpr std::array<std::string_view, 8> kScaleContextPhrases = {
    "in ", "en ", "figures in ", "cifras en ", "amounts in ", "importes en ", "expressed in ", "expresado en ",
};

struct Quantity {
  // The numeral as read, before any scale.
  std::string text;
  std::vector<Decimal> readings;
  std::vector<std::string_view> numeral_notes;
  std::size_t numeral_start = 0;
  std::size_t numeral_end = 0;
  std::optional<char32_t> currency_symbol;
  std::uint32_t significant_digits = 0;
  bool percent = false;
  // Each reading × 10^scale_power, in order; a product beyond the decimal
  // range is left out (and noted).
  std::vector<Decimal> values;
  // The numeral's notes, then "scale_word_foreign_to_locale",
  // "scale_from_context", "scale_overflow" as they apply.
  std::vector<std::string_view> notes;
  UnitInfo unit;  // Dimensionless with an empty unit text when none was found
  // From a currency code written before the numeral (else the numeral) to
  // the end of the last part taken: numeral, scale word or unit word.
  std::size_t start = 0;
  std::size_t end = 0;
  std::uint32_t scale_power = 0;
};

// A scale declared by a phrase at `position`. A phrase that makes
// exceptions ("in millions, except per share data") scales no figure: the
// figures after it, up to the next phrase, are read as written.
struct ScaleContext {
  std::size_t position = 0;
  std::uint32_t power = 0;
  std::optional<UnitInfo> unit;
  bool with_exceptions = false;
};

// The quantities of `text`, in text order. Without units: every numeral of
// two or more ASCII digits, as written, without unit or scale. With units:
// numerals with their scale words, units, currencies and context scales
// (none from a phrase that makes exceptions);
// a lone digit stays only with a unit, currency, percent sign or long scale
// word of its own. Cannot fail: what does not read is skipped.
std::vector<Quantity> extract_quantities(std::string_view text, const LocaleProfile& profile, bool with_units);

// A lone digit of a text: a numeral of one digit, not right after a letter,
// that has no unit, currency, percent sign or scale word of its own, so
// that `extract_quantities` drops it (a table cell "| 3 |"). It is read as
// a kept figure would be, a context scale included, and stands after
// `figures_before` of the kept quantities.
struct LoneDigit {
  Quantity quantity;
  std::size_t figures_before = 0;
};

// `extract_quantities`, and the text's lone digits in text order.
std::vector<Quantity> extract_quantities(std::string_view text, const LocaleProfile& profile, bool with_units,
                                         std::vector<LoneDigit>& lone_digits);

// The scale contexts of a text, by position.
std::vector<ScaleContext> scale_contexts(std::string_view text, ScaleFamily family);
// The first of them that makes exceptions, if any.
std::optional<ScaleContext> first_scale_context_with_exceptions(std::string_view text, ScaleFamily family);

// The first offset at or after `position` whose character is neither U+0020
// nor U+202F.
std::size_t skip_spaces(std::string_view text, std::size_t position);

struct UnitWord {
  UnitInfo unit;
  std::size_t end = 0;
};
// The unit named by the longest run, from `position`, of letters, digits and
// the signs $ % £ ¥ ° ² ³ º € ₹; none for an empty run or an unknown word.
std::optional<UnitWord> match_unit_word(std::string_view text, std::size_t position);

// The first reading as a fraction and the multiplier that carries it into
// the canonical unit (10^scale_power × factor ÷ divisor). None for a unit
// with an offset, a quantity that lost a value to overflow or has no
// readings, and on overflow.
std::optional<ValueAndMultiplier> quantity_value_and_multiplier(const Quantity& q);
// The quantity's exact value in its canonical unit.
std::optional<Fraction> quantity_exact_value(const Quantity& q);

}  // namespace qv::numeric
