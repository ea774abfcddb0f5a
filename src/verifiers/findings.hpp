#pragma once
// The evidence order of a verifier's list of findings.
#include <vector>

#include "records/types.hpp"

namespace qv::verifiers {

// Puts a verifier's findings in the evidence order (claim id, verifier id,
// result rank), stably: equal keys keep their order.
void sort_findings_small(std::vector<records::Evidence>& findings);

}  // namespace qv::verifiers
