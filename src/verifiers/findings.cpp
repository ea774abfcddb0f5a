#include "verifiers/findings.hpp"

#include <algorithm>
#include <string_view>

#include "core/utf8.hpp"

namespace qv::verifiers {

namespace {

// Every character of the numeral's text is one of the year's characters and
// exactly four are ASCII digits.
bool year_numeral_text(std::string_view text) {
  int digits = 0;
  for (std::size_t i = 0; i < text.size();) {
    const core::Utf8Step step = core::utf8_step(text, i);
    i += step.length;
    const char32_t c = step.code_point;
    if (!step.valid) return false;
    if (c >= U'0' && c <= U'9') {
      ++digits;
    } else if (c != U'(' && c != U')' && c != U'-' && c != U'\u2212' && c != U'\u2013') {
      return false;
    }
  }
  return digits == 4;
}

}  // namespace

bool is_year_like(const numeric::Quantity& q) {
  if (!year_numeral_text(q.text)) return false;
  if (q.scale_power != 0 || !(q.unit.dimension.kind == numeric::DimensionKind::Dimensionless)) return false;
  if (q.readings.size() != 1) return false;
  const numeric::Decimal& r = q.readings.front();
  if (r.scale() != 0 || r.is_zero()) return false;
  const numeric::Decimal magnitude = r.abs();
  return magnitude >= numeric::Decimal::from_int(1900) && magnitude <= numeric::Decimal::from_int(2100);
}

void sort_findings_small(std::vector<records::Evidence>& findings) {
  if (findings.size() < 2) return;
  if (findings.size() < 21) {
    // Insertion sort: stable, and cheap on the short lists most requests give.
    for (std::size_t i = 1; i < findings.size(); ++i) {
      std::size_t j = i;
      while (j > 0 && records::evidence_before(findings[i], findings[j - 1])) --j;
      if (j != i) std::rotate(findings.begin() + static_cast<std::ptrdiff_t>(j),
                              findings.begin() + static_cast<std::ptrdiff_t>(i),
                              findings.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    return;
  }
  std::stable_sort(findings.begin(), findings.end(), records::evidence_before);
}

}  // namespace qv::verifiers
