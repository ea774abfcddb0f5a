#pragma once
// The prepared request every verifier, the judge prompt and the input hash
// look at. Preparing it is the engine's work; this is the plain value.
#include <optional>
#include <string>
#include <vector>

#include "records/claim.hpp"
#include "records/request.hpp"

namespace qv::records {

struct VerificationContext {
  std::string answer;                   // normalised
  std::optional<std::string> question;  // normalised; absent when the request has none
  std::vector<Source> sources;          // request order, texts normalised
  std::vector<Claim> claims;            // in id order
  SortedMap scope;
  SortedMap metadata;
  std::string locale;  // as given, not lower-cased
  bool operator==(const VerificationContext&) const = default;
};

}  // namespace qv::records
