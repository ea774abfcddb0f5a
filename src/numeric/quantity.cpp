#include "numeric/quantity.hpp"

#include <utility>

#include "numeric/numeral.hpp"
#include "numeric/scale_exceptions.hpp"
#include "numeric/scale_word.hpp"
#include "numeric/scan.hpp"

namespace qv::numeric {
namespace {

// Only a unit word this short can be in the unit tables (the longest has
// ten characters, and lower-casing never lowers the number of characters).
constexpr std::size_t kLongestUnitRun = 16;

bool is_unit_sign(char32_t c) {
  switch (c) {
    case U'$': case U'%': case U'£': case U'¥': case U'°': case U'²': case U'³': case U'º': case U'€': case U'₹':
      return true;
    default:
      return false;
  }
}

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Whether a phrase may begin at `p`: not right after a letter or digit
// ("within", "begin").
bool phrase_may_start(std::string_view text, std::size_t p) {
  return p == 0 || !scan::is_alphanumeric(scan::before(text, p).c);
}

// The end of the connector "de ", "d'" or "of " at `pos`, or `pos`.
std::size_t skip_connector(std::string_view text, std::size_t pos, bool with_elision) {
  if (const std::size_t e = scan::match_phrase(text, pos, "de ")) return e;
  if (with_elision) {
    if (const std::size_t e = scan::match_phrase(text, pos, "d'")) return e;
  }
  if (const std::size_t e = scan::match_phrase(text, pos, "of ")) return e;
  return pos;
}

// A three-letter upper-case code written right before the numeral (spaces
// between allowed), as in "EUR 300": its unit and first offset.
std::optional<UnitWord> code_before(std::string_view text, std::size_t numeral_start) {
  std::size_t i = numeral_start;
  while (i > 0 && text[i - 1] == ' ') --i;
  std::size_t j = i;
  while (j > 0 && i - j < 4 && is_ascii_letter(text[j - 1])) --j;
  if (i - j != 3 || (j > 0 && is_ascii_letter(text[j - 1]))) return std::nullopt;
  for (std::size_t k = j; k < i; ++k) {
    if (text[k] < 'A' || text[k] > 'Z') return std::nullopt;
  }
  auto unit = unit_lookup(text.substr(j, 3));
  if (!unit) return std::nullopt;
  return UnitWord{std::move(*unit), j};
}

std::size_t ascii_digits(std::string_view s) {
  std::size_t n = 0;
  for (const char c : s) n += (c >= '0' && c <= '9') ? 1 : 0;
  return n;
}

std::size_t alphabetic_chars(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size();) {
    const scan::Char ch = scan::at(s, i);
    n += unicode::is_alphabetic(ch.c) ? 1 : 0;
    i += ch.length;
  }
  return n;
}

Quantity from_numeral(Numeral&& n) {
  Quantity q;
  q.text = std::move(n.text);
  q.readings = std::move(n.readings);
  q.numeral_notes = std::move(n.notes);
  q.numeral_start = n.start;
  q.numeral_end = n.end;
  q.currency_symbol = n.currency_symbol;
  q.significant_digits = n.significant_digits;
  q.percent = n.percent;
  q.notes = q.numeral_notes;
  q.start = n.start;
  q.end = n.end;
  return q;
}

std::optional<Decimal> power_of_ten(std::uint32_t power) {
  u128 p = 1;
  for (std::uint32_t i = 0; i < power; ++i) {
    if (p > Decimal::kMaxMantissa / 10) return std::nullopt;
    p *= 10;
  }
  return Decimal::from_parts(p, 0, false);
}

void scale_values(Quantity& q) {
  const auto multiplier = power_of_ten(q.scale_power);
  bool lost = false;
  q.values.reserve(q.readings.size());
  for (const Decimal& r : q.readings) {
    const auto v = multiplier ? r.checked_mul(*multiplier) : std::nullopt;
    if (v) {
      q.values.push_back(*v);
    } else {
      lost = true;
    }
  }
  if (lost) q.notes.push_back(kScaleOverflow);
}

}  // namespace

std::size_t skip_spaces(std::string_view text, std::size_t position) {
  while (const std::size_t n = scan::phrase_space_length(text, position)) position += n;
  return position;
}

std::optional<UnitWord> match_unit_word(std::string_view text, std::size_t position) {
  std::size_t end = position;
  std::size_t chars = 0;
  while (end < text.size()) {
    const scan::Char ch = scan::at(text, end);
    if (!scan::is_alphanumeric(ch.c) && !is_unit_sign(ch.c)) break;
    if (++chars > kLongestUnitRun) return std::nullopt;
    end += ch.length;
  }
  if (end == position) return std::nullopt;
  auto unit = unit_lookup(text.substr(position, end - position));
  if (!unit) return std::nullopt;
  return UnitWord{std::move(*unit), end};
}

namespace {

// Hands each context of a text to `take`, by position, until it returns
// false. No phrase can overlap another occurrence of itself, and no two
// phrases begin at one offset, so one pass finds each phrase's occurrences
// in order.
template <class Take>
void visit_contexts(std::string_view text, ScaleFamily family, Take take, std::size_t before = std::string_view::npos) {
  ScaleExceptions exceptions(text);
  for (std::size_t p = 0; p < text.size() && p < before; ++p) {
    char first = text[p];
    if (first >= 'A' && first <= 'Z') first = static_cast<char>(first + ('a' - 'A'));
    if (first != 'i' && first != 'e' && first != 'f' && first != 'c' && first != 'a') continue;
    for (const std::string_view phrase : kScaleContextPhrases) {
      if (phrase.front() != first) continue;
      const std::size_t after = scan::match_phrase(text, p, phrase);
      if (after == 0) continue;
      if (!phrase_may_start(text, p)) break;
      const auto scale = match_scale_word(text, after, family);
      if (!scale) break;
      const std::size_t at = skip_connector(text, skip_spaces(text, scale->end), false);
      auto unit = match_unit_word(text, at);
      if (!take(ScaleContext{p, scale->power, unit ? std::optional<UnitInfo>(std::move(unit->unit)) : std::nullopt,
                             exceptions.follow(scale->end)})) {
        return;
      }
      break;
    }
  }
}

}  // namespace

std::vector<ScaleContext> scale_contexts(std::string_view text, ScaleFamily family) {
  std::vector<ScaleContext> contexts;
  visit_contexts(text, family, [&](ScaleContext&& c) {
    contexts.push_back(std::move(c));
    return true;
  });
  return contexts;
}

std::optional<ScaleContext> first_scale_context_with_exceptions(std::string_view text, ScaleFamily family) {
  // A phrase makes exceptions only before the last "except" of the text:
  // the last run of its letters in any case (no other character folds to
  // one of them). Most texts have none and are passed over at once.
  constexpr std::size_t npos = std::string_view::npos;
  std::size_t last = npos;
  for (const char x : {'x', 'X'}) {
    for (std::size_t at = text.find(x, 1); at != npos && at + 5 <= text.size(); at = text.find(x, at + 1)) {
      bool word = true;
      for (std::size_t k = 0; word && k < 6; ++k) word = (text[at - 1 + k] | 0x20) == "except"[k];
      if (word && (last == npos || at - 1 > last)) last = at - 1;
    }
  }
  std::optional<ScaleContext> first;
  if (last == npos) return first;
  visit_contexts(
      text, family,
      [&](ScaleContext&& c) {
        if (c.with_exceptions) first = std::move(c);
        return !first;
      },
      last);
  return first;
}

namespace {

// Both kinds of extraction; lone digits are collected only when asked for.
std::vector<Quantity> extract(std::string_view text, const LocaleProfile& profile, bool with_units,
                              std::vector<LoneDigit>* lone_digits) {
  std::vector<Quantity> out;
  if (!with_units) {
    // Without units a numeral needs two digits; any other is a lone digit
    // unless a letter comes right before it.
    for (Numeral& n : read_numerals(text, profile.decimal, profile.group, lone_digits ? 1 : 2)) {
      Quantity q = from_numeral(std::move(n));
      q.values = q.readings;
      if (ascii_digits(q.text) >= 2) {
        out.push_back(std::move(q));
      } else if (q.numeral_start == 0 || !unicode::is_alphabetic(scan::before(text, q.numeral_start).c)) {
        lone_digits->push_back(LoneDigit{std::move(q), out.size()});
      }
    }
    return out;
  }

  const std::vector<ScaleContext> contexts = scale_contexts(text, profile.family);
  std::size_t contexts_before = 0;  // contexts whose position is before the numeral
  std::vector<Numeral> numerals = read_numerals(text, profile.decimal, profile.group, 1);
  out.reserve(numerals.size());
  for (Numeral& n : numerals) {
    Quantity q = from_numeral(std::move(n));
    const bool multi_digit = ascii_digits(q.text) >= 2;

    // Unit before or at the numeral.
    std::optional<UnitInfo> unit;
    if (q.percent) {
      unit = unit_lookup("%");
    } else if (q.currency_symbol) {
      std::string symbol;
      core::append_utf8(symbol, *q.currency_symbol);
      unit = unit_lookup(symbol);
    } else if (auto code = code_before(text, q.numeral_start)) {
      unit = std::move(code->unit);
      q.start = code->end;
    }

    // Scale word, then a connector ("3 millones de euros").
    std::size_t pos = skip_spaces(text, q.numeral_end);
    bool long_scale = false;
    if (auto scale = match_scale_word(text, pos, profile.family)) {
      q.scale_power = scale->power;
      q.notes.insert(q.notes.end(), scale->notes.begin(), scale->notes.end());
      q.end = scale->end;
      long_scale = alphabetic_chars(text.substr(pos, scale->end - pos)) > 2;
      pos = skip_connector(text, skip_spaces(text, scale->end), true);
    }

    // Unit after.
    if (auto word = match_unit_word(text, pos)) {
      if (!unit) {
        unit = std::move(word->unit);
        q.end = word->end;
      } else if (unit->dimension == word->unit.dimension) {
        q.end = word->end;
      }
    }

    // Keep or drop: a numeral glued to a letter needs two digits; any other
    // lone digit needs a unit or a long scale word of its own.
    const bool after_letter = q.numeral_start > 0 && unicode::is_alphabetic(scan::before(text, q.numeral_start).c);
    const bool keep = after_letter ? multi_digit : multi_digit || long_scale || unit.has_value();
    while (contexts_before < contexts.size() && contexts[contexts_before].position < q.numeral_start) {
      ++contexts_before;
    }
    const bool lone = !keep && !after_letter && q.scale_power == 0;
    if (!keep && !(lone && lone_digits)) continue;

    // Scale from context; a percentage (by sign or by unit word) takes none,
    // nor does a figure after a phrase that makes exceptions.
    const bool is_percentage = q.percent || (unit && unit->dimension.kind == DimensionKind::Percent);
    if (q.scale_power == 0 && !is_percentage && contexts_before > 0 &&
        !contexts[contexts_before - 1].with_exceptions) {
      const ScaleContext& context = contexts[contexts_before - 1];
      q.scale_power = context.power;
      q.notes.push_back(kScaleFromContext);
      if (!unit && context.unit) unit = *context.unit;
    }
    if (unit) q.unit = std::move(*unit);
    scale_values(q);
    if (keep) {
      out.push_back(std::move(q));
    } else {
      lone_digits->push_back(LoneDigit{std::move(q), out.size()});
    }
  }
  return out;
}

}  // namespace

std::vector<Quantity> extract_quantities(std::string_view text, const LocaleProfile& profile, bool with_units) {
  return extract(text, profile, with_units, nullptr);
}

std::vector<Quantity> extract_quantities(std::string_view text, const LocaleProfile& profile, bool with_units,
                                         std::vector<LoneDigit>& lone_digits) {
  return extract(text, profile, with_units, &lone_digits);
}

std::optional<ValueAndMultiplier> quantity_value_and_multiplier(const Quantity& q) {
  return value_and_multiplier(q.readings, q.values.size(), q.unit.factor, q.unit.divisor, q.unit.offset,
                              q.scale_power);
}

std::optional<Fraction> quantity_exact_value(const Quantity& q) {
  return exact_value(q.readings, q.values.size(), q.unit.factor, q.unit.divisor, q.unit.offset, q.scale_power);
}

}  // namespace qv::numeric
