#pragma once
// What every verifier that reads numbers shares: the test that tells a bare
// four-digit year from a figure, and the evidence order of a verifier's list
// of findings.
#include <vector>

#include "numeric/quantity.hpp"
#include "records/graph.hpp"

namespace qv::verifiers {

// A bare year: a numeral made of exactly four ASCII digits and any of
// "(", ")", "-", U+2212, U+2013; no scale; dimensionless; one reading without
// fraction digits, not zero, whose magnitude lies in 1900..2100.
bool is_year_like(const numeric::Quantity& quantity);

// Puts a verifier's findings in the evidence order (claim id, verifier id,
// result rank), stably: equal keys keep their order.
void sort_findings_small(std::vector<records::Evidence>& findings);

}  // namespace qv::verifiers
