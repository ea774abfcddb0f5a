#pragma once
// Preparing a request into the read-only context that every verifier, the
// judge prompt and the input hash look at.
#include <functional>
#include <string_view>
#include <vector>

#include "records/types.hpp"

namespace qv::engine {

// The claim extraction: the normalised answer, the locale and the numeric
// options to the claims, sorted by span and numbered "c0", "c1", ...
using ClaimExtractor = std::function<std::vector<records::Claim>(
    std::string_view answer, std::string_view locale, const records::NumericConfig& numeric)>;

// The context of a request to which the policy has already been applied:
// answer, question (when present) and every source text normalised; source
// ids, provenance and locators copied unchanged; claims extracted from the
// normalised answer; scope and metadata in ascending byte order of their
// keys; the locale copied. Cannot fail.
records::VerificationContext prepare_verification_context(const records::VerifyRequest& request,
                                                          const ClaimExtractor& extract_claims);

}  // namespace qv::engine
