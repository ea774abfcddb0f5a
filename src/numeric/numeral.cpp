#include "numeric/numeral.hpp"

#include <utility>

#include "core/panic.hpp"
#include "numeric/scan.hpp"
#include "regex/regex.hpp"
#include "unicode/white_space.hpp"

namespace qv::numeric {
namespace {

struct NumeralRegex {
  regex::Regex re;
  std::size_t open, sign, cur, body, pct, close;
};

const NumeralRegex& numeral_regex() {
  static const NumeralRegex compiled = [] {
    auto re = regex::Regex::compile(kNumeralPattern);
    if (!re) core::panic("numeral regex");
    const auto group = [&](std::string_view name) {
      const auto index = re->group_index(name);
      if (!index) core::panic("numeral regex");
      return *index;
    };
    return NumeralRegex{*re, group("open"), group("sign"), group("cur"), group("body"), group("pct"), group("close")};
  }();
  return compiled;
}

const regex::Regex& plain_numeral_regex() {
  static const regex::Regex compiled = [] {
    auto re = regex::Regex::compile(kPlainNumeralPattern);
    if (!re) core::panic("plain numeral regex");
    return *re;
  }();
  return compiled;
}

// The body without its space-like and apostrophe separators: digits, "."
// and "," remain.
std::string compact(std::string_view body) {
  std::string out;
  out.reserve(body.size());
  for (std::size_t i = 0; i < body.size();) {
    const scan::Char ch = scan::at(body, i);
    switch (ch.c) {
      case U' ': case U'\'': case U'\u00A0': case U'\u2007': case U'\u2009': case U'\u2019': case U'\u202F':
        break;
      default:
        out.append(body.substr(i, ch.length));
    }
    i += ch.length;
  }
  return out;
}

std::string without(std::string_view s, char drop) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    if (c != drop) out.push_back(c);
  }
  return out;
}

std::string replaced(std::string s, std::string_view from, char to) {
  if (from.empty()) return s;
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (s.compare(i, from.size(), from) == 0) {
      out.push_back(to);
      i += from.size();
    } else {
      out.push_back(s[i++]);
    }
  }
  return out;
}

std::string utf8_of(char32_t c) {
  std::string out;
  core::append_utf8(out, c);
  return out;
}

std::optional<Decimal> read_decimal(std::string_view s) {
  auto d = Decimal::parse(s);
  return d ? std::optional<Decimal>(*d) : std::nullopt;
}

// Readings under a profile with a decimal separator: the profile's
// separators applied as they are, whatever the body shows.
void read_with_profile(const std::string& body, char32_t decimal, std::optional<char32_t> group, Numeral& out) {
  std::string s = body;
  if (group) {
    const std::string g = utf8_of(*group);
    std::string kept;
    kept.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
      if (s.compare(i, g.size(), g) == 0) {
        i += g.size();
      } else {
        kept.push_back(s[i++]);
      }
    }
    s = std::move(kept);
  }
  s = replaced(std::move(s), utf8_of(decimal), '.');
  if (auto d = read_decimal(s)) out.readings.push_back(*d);
}

// Readings under the undetermined locale, from the "." and "," the body holds.
void read_undetermined(const std::string& body, Numeral& out) {
  std::size_t dots = 0, commas = 0, last_dot = 0, last_comma = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '.') ++dots, last_dot = i;
    if (body[i] == ',') ++commas, last_comma = i;
  }
  if (dots == 0 && commas == 0) {
    if (auto d = read_decimal(body)) out.readings.push_back(*d);
    return;
  }
  if (dots > 0 && commas > 0) {
    const char dec = last_dot > last_comma ? '.' : ',';
    const char grp = dec == '.' ? ',' : '.';
    std::string s = without(body, grp);
    if (dec == ',') s = replaced(std::move(s), ",", '.');
    if (auto d = read_decimal(s)) out.readings.push_back(*d);
    return;
  }
  const char sep = dots > 0 ? '.' : ',';
  const std::size_t count = dots + commas;
  const std::size_t at = dots > 0 ? last_dot : last_comma;
  if (count == 1 && body.size() - at - 1 == 3) {
    const auto grouping = read_decimal(without(body, sep));
    const auto decimal = read_decimal(replaced(body, std::string_view(&sep, 1), '.'));
    if (grouping) out.readings.push_back(*grouping);
    if (decimal) out.readings.push_back(*decimal);
    if (grouping && decimal) out.notes.push_back(kGroupingVsDecimal);
    if (grouping.has_value() != decimal.has_value()) out.notes.push_back(kGroupingMalformed);
    return;
  }
  if (count == 1) {
    if (auto d = read_decimal(replaced(body, std::string_view(&sep, 1), '.'))) out.readings.push_back(*d);
    return;
  }
  if (auto d = read_decimal(without(body, sep))) {
    out.readings.push_back(*d);
    out.notes.push_back(kSeparatorRepeated);
  }
}

struct DigitCount {
  std::uint32_t digits = 0;
  std::uint32_t significant = 0;
};

DigitCount count_digits(std::string_view body) {
  DigitCount n;
  std::uint32_t leading_zeros = 0;
  bool nonzero_seen = false;
  for (const char c : body) {
    if (c < '0' || c > '9') continue;
    ++n.digits;
    if (c != '0') nonzero_seen = true;
    if (!nonzero_seen) ++leading_zeros;
  }
  n.significant = nonzero_seen ? n.digits - leading_zeros : 1;
  return n;
}

}  // namespace

std::vector<Numeral> read_numerals(std::string_view text, std::optional<char32_t> decimal,
                                   std::optional<char32_t> group, std::uint32_t min_digits) {
  const NumeralRegex& nr = numeral_regex();
  std::vector<Numeral> out;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto caps = nr.re.captures(text, at);
    if (!caps) break;
    const regex::Match whole = *(*caps)[0];
    regex::Match body = *(*caps)[nr.body];
    std::size_t end = whole.end;
    // A grouped alternative that stopped inside a longer run of digits
    // ("1,2345") is read again as plain digits, which end the numeral.
    if (scan::is_ascii_digit(text, whole.end)) {
      if (const auto plain = plain_numeral_regex().find(text.substr(body.start))) {
        body.end = body.start + plain->end;
        end = body.end;
        if (scan::is_ascii_digit(text, end)) {
          at = end;  // a fraction of more than nine digits
          continue;
        }
      }
    }
    at = end;

    const std::string_view body_text = text.substr(body.start, body.end - body.start);
    const DigitCount digits = count_digits(body_text);
    if (digits.digits < min_digits) continue;

    Numeral n;
    const std::string compacted = compact(body_text);
    if (decimal) {
      read_with_profile(compacted, *decimal, group, n);
    } else {
      read_undetermined(compacted, n);
    }
    if (n.readings.empty()) continue;

    // A minus sign negates, and so do parentheses without a sign (accounting
    // notation); an explicit "+" keeps the value positive even inside
    // parentheses, as in a change written beside a figure: "(+8.2%)".
    const auto& sign = (*caps)[nr.sign];
    const bool negative = sign ? text.substr(sign->start, sign->end - sign->start) != "+"
                               : (*caps)[nr.open] && (*caps)[nr.close];
    if (negative) {
      for (Decimal& r : n.readings) r = -r;
    }

    const std::string_view span = text.substr(whole.start, end - whole.start);
    const std::string_view trimmed = unicode::trim_white_space(span);
    n.start = whole.start + static_cast<std::size_t>(trimmed.data() - span.data());
    n.end = n.start + trimmed.size();
    n.text = std::string(trimmed);
    if (const auto& cur = (*caps)[nr.cur]) n.currency_symbol = scan::at(text, cur->start).c;
    n.significant_digits = digits.significant;
    n.percent = (*caps)[nr.pct].has_value();
    out.push_back(std::move(n));
  }
  return out;
}

}  // namespace qv::numeric
