#pragma once
// Numerals of a text read into exact decimals: "1,234.5", "1.234,5",
// "1 234", "(2,500)", "-3%", "€12". Under an undetermined locale a numeral
// such as "1.234" keeps both readings and says so in a note.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "numeric/decimal.hpp"

namespace qv::numeric {

// The numeral pattern, in verbose mode: an optional opening parenthesis,
// sign and currency symbol, the body (groups of three after a space-like
// separator, after an apostrophe, after "." or ",", or a plain run of
// digits, tried in that order, each with an optional fraction of up to nine
// digits), an optional percent sign and closing parenthesis.
inline constexpr std::string_view kNumeralPattern =
    "(?x)\n"
    "            (?P<open>\\()?\n"
    "            (?P<sign>[-−–+])?\n"
    "            (?:(?P<cur>[$€£¥₹])\\s?)?\n"
    "            (?P<body>\n"
    "                \\d{1,3}(?:[\\u{202F}\\u{00A0}\\u{2009}\\u{2007}\\ ]\\d{3}){1,8}(?:[.,]\\d{1,9})?\n"
    "              | \\d{1,3}(?:['’]\\d{3}){1,8}(?:[.,]\\d{1,9})?\n"
    "              | \\d{1,3}(?:[.,]\\d{3}){1,8}(?:[.,]\\d{1,9})?\n"
    "              | \\d+(?:[.,]\\d{1,9})?\n"
    "            )\n"
    "            (?P<pct>\\s?[%٪])?\n"
    "            (?P<close>\\))?\n"
    "            ";

// Digits with an optional fraction of up to nine digits, at the start of
// the text searched: re-reads a body that a grouped alternative cut short.
inline constexpr std::string_view kPlainNumeralPattern = "^\\d+(?:[.,]\\d{1,9})?";

inline constexpr std::string_view kGroupingVsDecimal = "grouping_vs_decimal";
inline constexpr std::string_view kGroupingMalformed = "grouping_malformed";
inline constexpr std::string_view kSeparatorRepeated = "separator_repeated";

struct Numeral {
  std::string text;                     // the match, white space trimmed
  std::vector<Decimal> readings;        // one, or two when ambiguous (grouping first)
  std::vector<std::string_view> notes;  // empty, or one of the three codes above
  std::size_t start = 0;                // byte span of `text`
  std::size_t end = 0;
  std::optional<char32_t> currency_symbol;
  std::uint32_t significant_digits = 0;  // ASCII digits less leading zeros; 1 when all are 0
  bool percent = false;
};

// Every numeral of `text`, in text order. `decimal` and `group` are a locale
// profile's separators (no decimal separator: undetermined, read both ways);
// bodies with fewer than `min_digits` ASCII digits are skipped. What does not
// read as an exact decimal is skipped without a trace.
std::vector<Numeral> read_numerals(std::string_view text, std::optional<char32_t> decimal,
                                   std::optional<char32_t> group, std::uint32_t min_digits);

}  // namespace qv::numeric
