#pragma once
// The scope verifier: for every numeric claim, where its figure occurs among
// the sources: in a passage whose provenance agrees with the request's
// scope, in one that names another value for a scope key, or only in one
// whose provenance says nothing about the scope.
#include <string>
#include <variant>
#include <vector>

#include "records/types.hpp"
#include "verifiers/figures.hpp"

namespace qv::verifiers {

// A source's standing against the scope.
struct Inside {
  bool operator==(const Inside&) const = default;
};
struct Outside {
  std::string key;        // the first scope key the provenance contradicts
  std::string requested;  // the scope's value, untrimmed
  std::string stated;     // the provenance's value, untrimmed
  bool operator==(const Outside&) const = default;
};
struct Unstated {
  bool operator==(const Unstated&) const = default;
};
using ScopeStanding = std::variant<Inside, Outside, Unstated>;

// Walks the scope in key order: the first key whose trimmed values differ
// makes the source Outside; else Inside when a key matched, else Unstated.
ScopeStanding scope_standing(const records::SortedMap& scope, const records::InsertionMap& provenance);

// id quillaveen.scope, version "1.2.0", exact, determinism exact, numeric.
VerifierInfo scope_verifier_info();

class ScopeVerifier final : public FigureVerifier {
 public:
  explicit ScopeVerifier(const FigureReader& figures) : FigureVerifier(scope_verifier_info(), figures) {}
  // InvalidInput "unknown locale {}" when the scope is not empty and the
  // locale names no profile.
  core::Result<std::vector<Evidence>> run(const VerificationContext& context) const override;
};

}  // namespace qv::verifiers
