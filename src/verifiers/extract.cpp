#include "verifiers/extract.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <utility>

#include "core/utf8.hpp"
#include "numeric/compare.hpp"
#include "numeric/locale.hpp"
#include "numeric/quantity.hpp"
#include "text/pattern_cache.hpp"
#include "unicode/case.hpp"
#include "unicode/properties.hpp"
#include "unicode/white_space.hpp"

namespace qv::verifiers {

using records::Claim;
using records::Span;

namespace {

constexpr std::string_view kWordPattern = "[^\\W\\d_](?:[\\w'’\\-]*[^\\W_])?|[^\\W\\d_]";

bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

// The text between two offsets, or the empty text when they do not fit it.
std::string_view slice(std::string_view text, std::size_t start, std::size_t end) {
  if (start > end || end > text.size()) return {};
  return text.substr(start, end - start);
}

bool ends_with_any(std::string_view text, std::span<const std::string_view> signs) {
  return std::any_of(signs.begin(), signs.end(), [&](std::string_view s) { return text.ends_with(s); });
}

bool starts_with_any(std::string_view text, std::span<const std::string_view> signs) {
  return std::any_of(signs.begin(), signs.end(), [&](std::string_view s) { return text.starts_with(s); });
}

constexpr std::array<std::string_view, 5> kMultiplySigns = {"*", "×", "·", "\\times", "\\cdot"};
constexpr std::array<std::string_view, 2> kDivideSigns = {"/", "÷"};

// Dimensionless, unscaled, one reading written without decimal places.
bool is_plain(const numeric::Quantity& q) {
  return (q.unit.dimension.kind == numeric::DimensionKind::Dimensionless) && q.scale_power == 0 && q.readings.size() == 1 &&
         q.readings.front().scale() == 0;
}

bool is_multiplier(const numeric::Quantity& q, std::string_view before, std::string_view after) {
  if (!is_plain(q)) return false;
  const numeric::Decimal& r = q.readings.front();
  if (r != numeric::Decimal::from_int(100) && r != numeric::Decimal::from_int(1000)) return false;
  return ends_with_any(before, kMultiplySigns) || starts_with_any(after, kMultiplySigns);
}

bool is_divisor(const numeric::Quantity& q, std::string_view before) {
  if (!is_plain(q)) return false;
  const numeric::Decimal& r = q.readings.front();
  if (r < numeric::Decimal::from_int(2) || r > numeric::Decimal::from_int(12)) return false;
  for (std::string_view sign : kDivideSigns) {
    if (before.ends_with(sign)) {
      return unicode::trim_end_white_space(before.substr(0, before.size() - sign.size())).ends_with(")");
    }
  }
  return false;
}

// A month word has at most ten characters, of at most four bytes each,
// besides its trailing full stops.
constexpr std::size_t kLongestMonthBytes = 40;

// Whether the last white-space-separated word of `text` is a month word.
// Only the word's trailing full stops and its last few bytes are read: a
// longer word is no month, and one long run of figures glued to letters
// must not be walked again for every figure in it.
bool last_word_is_month(std::string_view text) {
  text = unicode::trim_end_white_space(text);
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == '.') --end;
  std::size_t start = end;
  while (start > 0) {
    const core::Utf8Step step = core::utf8_step_back(text, start);
    if (unicode::is_white_space(step.code_point)) break;
    if (end - start + step.length > kLongestMonthBytes) return false;
    start -= step.length;
  }
  return is_month_word(text.substr(start));
}

// The word after a day: ordinal marks and full stops skipped, then white
// space, then one "de " or "of ", then the run of letters and full stops.
std::string_view next_word(std::string_view after) {
  std::size_t i = 0;
  while (i < after.size()) {
    const core::Utf8Step step = core::utf8_step(after, i);
    if (step.code_point != U'.' && step.code_point != U'\u00BA' && step.code_point != U'\u00AA') break;
    i += step.length;
  }
  after = unicode::trim_start_white_space(after.substr(i));
  if (after.starts_with("de ") || after.starts_with("of ")) after.remove_prefix(3);
  std::size_t end = 0;
  while (end < after.size()) {
    const core::Utf8Step step = core::utf8_step(after, end);
    if (step.code_point != U'.' && !(step.valid && unicode::is_alphabetic(step.code_point))) break;
    end += step.length;
  }
  return after.substr(0, end);
}

bool is_day_of_month(std::string_view answer, const numeric::Quantity& q, std::string_view after) {
  if (!(q.unit.dimension.kind == numeric::DimensionKind::Dimensionless)) return false;
  const std::string_view own = slice(answer, q.start, q.end);
  if (own.empty() || own.size() > 2 || !std::all_of(own.begin(), own.end(), is_ascii_digit)) return false;
  const int day = own.size() == 1 ? own[0] - '0' : (own[0] - '0') * 10 + (own[1] - '0');
  if (day < 1 || day > 31) return false;
  return last_word_is_month(answer.substr(0, q.start)) || is_month_word(next_word(after));
}

std::string dimension_attribute(const numeric::Dimension& d) {
  if (d.kind == numeric::DimensionKind::Currency) return "currency:" + d.code;
  return unicode::to_lowercase(numeric::dimension_text(d));
}

Claim numeric_claim(std::string_view answer, const numeric::Quantity& q) {
  Claim c;
  c.kind = records::ClaimKind::Numeric;
  c.span = Span{q.start, q.end};
  c.text = std::string(slice(answer, q.start, q.end));
  c.attributes.insert_or_assign("canonical", numeric::render_rescaled_values(q));
  c.attributes.insert_or_assign("dimension", dimension_attribute(q.unit.dimension));
  if (!q.unit.unit.empty()) c.attributes.insert_or_assign("unit", std::string(q.unit.unit));
  if (q.readings.size() >= 2) c.attributes.insert_or_assign("ambiguous", "true");
  return c;
}

std::vector<Claim> numeric_claims(std::string_view answer, std::string_view locale, bool with_units) {
  const numeric::LocaleProfile profile =
      numeric::locale_profile(locale).value_or(*numeric::locale_profile("und"));
  std::vector<Claim> claims;
  for (const numeric::Quantity& q : numeric::extract_quantities(answer, profile, with_units)) {
    if (q.start > q.end || q.end > answer.size()) continue;
    const std::string_view before = unicode::trim_end_white_space(answer.substr(0, q.start));
    const std::string_view after = unicode::trim_start_white_space(answer.substr(q.end));
    if (is_multiplier(q, before, after) || is_divisor(q, before) || is_day_of_month(answer, q, after)) continue;
    claims.push_back(numeric_claim(answer, q));
  }
  return claims;
}

// Whether a span overlaps one of the numeric claims. `starts` holds their
// starts in ascending order and `reach[k]` the largest end among the first k.
struct NumericSpans {
  std::vector<std::uint64_t> starts;
  std::vector<std::uint64_t> reach;

  explicit NumericSpans(const std::vector<Claim>& numeric) {
    std::vector<Span> spans;
    for (const Claim& c : numeric) spans.push_back(c.span);
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    reach.push_back(0);
    for (const Span& s : spans) {
      starts.push_back(s.start);
      reach.push_back(std::max(reach.back(), s.end));
    }
  }
  bool overlaps(std::uint64_t start, std::uint64_t end) const {
    const std::size_t before_end = static_cast<std::size_t>(std::lower_bound(starts.begin(), starts.end(), end) - starts.begin());
    return reach[before_end] > start;
  }
};

void word_claims(std::string_view answer, std::string_view locale, const NumericSpans& spans,
                 std::vector<Claim>& out) {
  for (const regex::Match& m : text::cached_regex(kWordPattern).find_all(answer)) {
    const std::string_view word = slice(answer, m.start, m.end);
    if (word.empty()) continue;
    if (is_stop_word(unicode::to_lowercase(word), locale)) continue;
    if (spans.overlaps(m.start, m.end)) continue;
    Claim c;
    c.kind = records::ClaimKind::Word;
    c.span = Span{m.start, m.end};
    c.text = std::string(word);
    out.push_back(std::move(c));
  }
}

bool ends_piece(char32_t c) {
  return c == U'\n' || c == U'!' || c == U'.' || c == U'?' || c == U'\u3002' || c == U'\uFF01' || c == U'\uFF1F';
}

void statement_claims(std::string_view answer, std::vector<Claim>& out) {
  const auto add = [&](std::size_t start, std::size_t end) {
    if (const auto span = claim_trimmed_span(answer, start, end)) {
      Claim c;
      c.kind = records::ClaimKind::Statement;
      c.span = *span;
      c.text = std::string(slice(answer, span->start, span->end));
      out.push_back(std::move(c));
    }
  };
  std::size_t piece = 0;
  for (std::size_t i = 0; i < answer.size();) {
    const core::Utf8Step step = core::utf8_step(answer, i);
    const std::size_t next = i + step.length;
    // A full stop between two ASCII digits is a decimal point, not an end.
    const bool decimal_point = step.code_point == U'.' && i > 0 && next < answer.size() &&
                               is_ascii_digit(answer[i - 1]) && is_ascii_digit(answer[next]);
    if (step.valid && ends_piece(step.code_point) && !decimal_point) {
      add(piece, next);
      piece = next;
    }
    i = next;
  }
  add(piece, answer.size());
}

}  // namespace

std::optional<Span> claim_trimmed_span(std::string_view answer, std::size_t start, std::size_t end) {
  if (start > end || end > answer.size()) return std::nullopt;
  const auto boundary = [&](std::size_t at) {
    return at == answer.size() || (static_cast<unsigned char>(answer[at]) & 0xC0) != 0x80;
  };
  if (!boundary(start) || !boundary(end)) return std::nullopt;
  const std::string_view piece = answer.substr(start, end - start);
  const std::string_view trimmed = unicode::trim_white_space(piece);
  if (trimmed.empty()) return std::nullopt;
  bool letter = false;
  for (std::size_t i = 0; i < trimmed.size() && !letter;) {
    const core::Utf8Step step = core::utf8_step(trimmed, i);
    letter = step.valid && unicode::is_alphabetic(step.code_point);
    i += step.length;
  }
  if (!letter) return std::nullopt;
  const std::size_t from = start + static_cast<std::size_t>(trimmed.data() - piece.data());
  return Span{from, from + trimmed.size()};
}

std::vector<Claim> extract_claims(std::string_view answer, std::string_view locale, bool with_units) {
  std::vector<Claim> claims = numeric_claims(answer, locale, with_units);
  const NumericSpans spans(claims);
  word_claims(answer, locale, spans, claims);
  statement_claims(answer, claims);
  std::stable_sort(claims.begin(), claims.end(), [](const Claim& a, const Claim& b) {
    return a.span.start != b.span.start ? a.span.start < b.span.start : a.span.end < b.span.end;
  });
  for (std::size_t i = 0; i < claims.size(); ++i) claims[i].id = "c" + std::to_string(i);
  return claims;
}

}  // namespace qv::verifiers
