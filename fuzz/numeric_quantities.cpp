// Numeral reading, quantity extraction, comparison and derived figures on
// arbitrary text. The first byte picks the locale profile and the mode.
// Spans must lie inside the text, in order, on character boundaries of
// well-formed text; a figure must equal itself; candidates must come out.
// The scan for exceptions that resumes where it stopped answers as a fresh
// one does, and the first context phrase with exceptions found by its
// shortcut is the first the full scan finds. Keeping lone digits apart
// changes no quantity.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "core/utf8.hpp"
#include "numeric/compare.hpp"
#include "numeric/derived.hpp"
#include "numeric/numeral.hpp"
#include "numeric/quantity.hpp"
#include "numeric/scale_exceptions.hpp"

namespace {

using namespace qv::numeric;

void require(bool ok) {
  if (!ok) std::abort();
}

bool boundary(std::string_view text, std::size_t at) {
  return at == text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
}

void check_numerals(std::string_view text, const LocaleProfile& p, bool valid) {
  std::size_t previous_end = 0;
  for (const Numeral& n : read_numerals(text, p.decimal, p.group, 1)) {
    require(n.start < n.end && n.end <= text.size() && n.start >= previous_end);
    require(text.substr(n.start, n.end - n.start) == n.text);
    require(!n.readings.empty() && n.readings.size() <= 2 && n.notes.size() <= 1);
    require(n.significant_digits >= 1);
    require(!valid || (boundary(text, n.start) && boundary(text, n.end)));
    previous_end = n.end;
  }
}

void check_quantities(std::string_view text, const LocaleProfile& p, bool with_units) {
  const auto quantities = extract_quantities(text, p, with_units);
  std::vector<DerivationOperand> operands;
  std::size_t previous = 0;
  for (const Quantity& q : quantities) {
    require(q.start <= q.numeral_start && q.numeral_start < q.numeral_end && q.numeral_end <= q.end);
    require(q.end <= text.size() && q.numeral_start >= previous);
    require(q.values.size() <= q.readings.size());
    previous = q.numeral_end;
    const auto self = compare_quantities(q, q, true, true);
    bool convertible = !q.values.empty();
    for (const Decimal& v : q.values) convertible = convertible && canonical_value(v, q.unit).has_value();
    require(!convertible || self.code == ComparisonCode::Equal);
    (void)render_rescaled_values(q);
    if (operands.size() < 12) {
      if (auto op = make_derivation_operand("c", q.text, q)) operands.push_back(std::move(*op));
    }
  }
  // With the lone digits kept apart, the same quantities; each lone digit
  // a numeral of one digit, between the kept ones it is said to follow.
  std::vector<LoneDigit> lone;
  const auto with_lone = extract_quantities(text, p, with_units, lone);
  require(with_lone.size() == quantities.size());
  for (std::size_t i = 0; i < quantities.size(); ++i) {
    require(with_lone[i].text == quantities[i].text && with_lone[i].start == quantities[i].start &&
            with_lone[i].end == quantities[i].end && with_lone[i].values == quantities[i].values);
  }
  for (const LoneDigit& d : lone) {
    require(d.figures_before <= quantities.size());
    // Its scale, if any, comes from a context phrase.
    require(d.quantity.scale_power == 0 || std::find(d.quantity.notes.begin(), d.quantity.notes.end(),
                                                     kScaleFromContext) != d.quantity.notes.end());
    require(d.figures_before == quantities.size() || d.quantity.numeral_start < quantities[d.figures_before].numeral_start);
    require(d.figures_before == 0 || quantities[d.figures_before - 1].numeral_start < d.quantity.numeral_start);
  }
  DerivedFigures figures(operands);
  std::size_t taken = 0;
  while (const auto f = figures.next()) {
    require(f->value.denominator >= 1);
    if (taken++ % 97 == 0) require(!figures.candidate(*f).operands.empty());
  }
}

void check_exceptions(std::string_view text, ScaleFamily family) {
  ScaleExceptions resumed(text);
  for (std::size_t at = 0; at <= text.size(); at += 1 + at / 8) {
    require(resumed.follow(at) == ScaleExceptions(text).follow(at));
  }
  std::optional<std::size_t> full;
  for (const ScaleContext& c : scale_contexts(text, family)) {
    if (c.with_exceptions) {
      full = c.position;
      break;
    }
  }
  const auto shortcut = first_scale_context_with_exceptions(text, family);
  require(full == (shortcut ? std::optional<std::size_t>(shortcut->position) : std::nullopt));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const LocaleProfile& profile = kLocaleProfiles[data[0] % kLocaleProfiles.size()];
  const bool with_units = (data[0] / kLocaleProfiles.size()) % 2 == 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  check_numerals(text, profile, qv::core::is_valid_utf8(text));
  check_quantities(text, profile, with_units);
  check_exceptions(text, profile.family);
  return 0;
}
