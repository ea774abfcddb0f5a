#pragma once
// The scope verifier: for every numeric claim, where its figure occurs among
// the sources: in a passage whose provenance agrees with the request's
// scope, in one that names another value for a scope key, or only in one
// whose provenance says nothing about the scope.
#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
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

// The sources of one run with their standings and figures (read without
// units), and where a claim's figure is first found among them.
class ScopeSources {
 public:
  // The locale must name a profile.
  ScopeSources(const FigureReader& figures, const VerificationContext& context);

  struct Match {
    std::size_t source = 0;  // index in the request's sources
    std::size_t start = 0;   // the matching figure's byte span
    std::size_t end = 0;
    bool operator==(const Match&) const = default;
  };
  // By the standing's index (inside, outside, unstated): the first source in
  // request order holding a figure that is the same figure as the claim's,
  // with the first such figure in it.
  using Matches = std::array<std::optional<Match>, 3>;

  // Looked up by the claim's exact values.
  Matches first_matches(const Figure& claim) const;
  // The same found by comparing the claim's figure with every figure of
  // every source in order.
  Matches first_matches_in_order(const Figure& claim) const;

  const ScopeStanding& standing(std::size_t source) const { return sources_[source].standing; }
  bool empty() const { return sources_.empty(); }

 private:
  struct SourceFigures {
    ScopeStanding standing;
    std::vector<Figure> figures;
  };
  // A figure's position: its source, then its place among that source's figures.
  using Position = std::pair<std::size_t, std::size_t>;
  struct ValueKey {
    FigureDimension kind;
    std::string currency;  // empty unless kind is Currency
    numeric::Decimal value;
    bool operator<(const ValueKey& other) const;
  };
  Match match_at(Position at) const;

  const FigureReader& reader_;
  std::vector<SourceFigures> sources_;
  // For each dimension and canonical value, the first figure holding it in
  // sources of each standing.
  std::map<ValueKey, std::array<std::optional<Position>, 3>> first_by_value_;
};

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
