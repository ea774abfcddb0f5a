#pragma once
// The test that tells a bare four-digit year from a figure.
#include "numeric/quantity.hpp"

namespace qv::verifiers {

// True when the numeral is four ASCII digits with nothing else but
// parentheses, "-", U+2212 or U+2013, has no scale and no unit, one whole
// non-zero reading, and that reading's absolute value is 1900 to 2100.
bool is_year_like(const numeric::Quantity& quantity);

}  // namespace qv::verifiers
